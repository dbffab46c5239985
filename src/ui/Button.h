#pragma once
// The menu button: shows a normal, hover or pressed look on its object's Sprite, decides hover and
// press from the mouse (interface buttons) or from the player's body (buttons placed in the world),
// plays "Menu_ButtonHover" when the cursor brings it into hover, and runs its Lua script in its own
// environment every frame while idle or hovered and once when a press is released over it (the
// click). The script sees its object as "Button" (GetStateCurr() is 2 only on the click run) and the
// frame time as "DeltaTime".
#include <string>

#include "core/Behavior.h"
#include "ui/WidgetScript.h"

class Stream;
class Texture;

class Button : public Behavior {
public:
    enum InteractType : int { Screen = 0, World = 1, Invalid = -1 };
    enum State : int { Idle = 0, Hovered = 1, Pressed = 2 };

    Button() = default;
    Button(const Button& other) = default;
    ~Button() override = default;

    std::string GetName() override { return "Button"; }
    Button* Clone() override;

    // "Screen" 0, "World" 1; anything else is reported and gives -1.
    static int ParseInteractType(const std::string& name);
    // The button keys of entry index of the menu file.
    void ReadMenuObject(Stream& stream, int index);
    // The cursor (interface units) is over the owner's box (full scale, inclusive); false while the
    // window has lost the focus.
    bool IsMouseOver(float x, float y) const;
    void LoadScript();

    void OnEnter() override;
    void OnUpdate(float dt) override;
    void OnCollisionEnter(Collider* other) override;

    int interactType = Screen;
    Texture* normalTexture = nullptr;
    Texture* hoverTexture = nullptr;
    Texture* clickTexture = nullptr;
    float hoverTint[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float clickTint[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    WidgetScript script;

private:
    // Over, press and release for this frame by interact type.
    void Sense(bool& over, bool& press, bool& release) const;
    void Look(Texture* texture, const float* tint);
};
