#pragma once
// The menu's choice list. The entry's object is the head; each option is an object of its own (made
// from the "Dropdown" archetype, named "Dropdown_<text>", showing the texture named by its text) with
// a Dropdown of its own that points back at the head. Closed, only the selected option (index 0)
// shows, at the head's place; clicking it opens the list downwards; clicking an option selects it,
// moves it to the top and closes the list. The head runs its script once per click on the head, and
// keeps the selection in its menu entry as "selected" (the option's text); "options" stays as written,
// and the next load brings the selected option to the front.
#include <string>
#include <vector>

#include "core/Behavior.h"
#include "core/GameObjectHandle.h"
#include "ui/WidgetScript.h"

class Stream;

class Dropdown : public Behavior {
public:
    Dropdown() = default;
    // A copy shares the head and lists the same options but owns none of them.
    Dropdown(const Dropdown& other);
    // A head that made its options asks them to be destroyed (not while the manager is clearing
    // everything, and only those still alive).
    ~Dropdown() override;

    std::string GetName() override { return "Dropdown"; }
    Dropdown* Clone() override { return new Dropdown(*this); }

    // The keys of entry index; with "numOptions" this becomes a head and makes its options.
    void ReadMenuObject(Stream& stream, int index);
    // On a head: the option showing that texture name moves to the front, then the list opens or
    // closes. Nothing on an option.
    void SetSelected(const std::string& text);
    // The text (texture name) of the selected option; "" when there is none.
    std::string GetSelectedText() const;
    void LoadScript();

    void OnEnter() override;
    void OnUpdate(float dt) override;

    // The live option objects in order (gone ones are skipped).
    std::vector<GameObject*> GetOptions() const;
    Dropdown* GetHead() const;

    int interactType = 0;
    bool isOption = true;
    bool open = false;
    std::vector<GameObjectHandle> options;
    GameObjectHandle head;  // an option's head object
    float hoverTint[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float clickTint[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    WidgetScript script;

private:
    static std::string TextOf(GameObject* option);
    void PlaceOptions();
    bool ownsOptions = false;
};
