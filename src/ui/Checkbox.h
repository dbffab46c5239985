#pragma once
// A script-free menu checkbox: unchecked (state 0) or checked (state 1), toggled by a click while the
// cursor (or, for a world checkbox, the player) is over it, showing "<base>_Checked" or
// "<base>_Unchecked". A toggle is written back into the menu file as the entry's "checked".
#include <string>

#include "core/Behavior.h"

class Stream;

class Checkbox : public Behavior {
public:
    enum InteractType : int { Screen = 0, World = 1, Invalid = -1 };

    Checkbox() = default;
    ~Checkbox() override = default;

    std::string GetName() override { return "Checkbox"; }
    Checkbox* Clone() override { return new Checkbox(*this); }

    // "Screen" 0, "World" 1; anything else is reported and gives -1.
    static int ParseInteractType(const std::string& name);
    // "interacttype", "checked", "Texture" of entry index.
    void ReadMenuObject(Stream& stream, int index);

    void OnEnter() override;
    void OnUpdate(float dt) override;

    int interactType = Screen;
    std::string textureBase;
};
