#pragma once
// The script functions that reach the menus and their widgets, registered from the menu side (the
// scripting layer knows nothing of the menus): the menu group ("ReadMenu", "GetReopenPauseMenu",
// "SetReopenPauseMenu", "DeleteMenuObject", "DeleteMenuObjectsFromMenu", "DeleteAllMenuObjects",
// "CreditsAreOver") and the "MenuWidget" type, the handle each script-owning widget publishes in its
// environment. Registering again replaces earlier registrations of the same names.
#include <string>

#include "core/GameObjectHandle.h"

class GameObject;
namespace lua {
class State;
}

// A script's handle on a menu object, by id: a deleted object reads as empty. Scripts make one with
// MenuWidget.new("name") or get their own widget's.
struct MenuWidgetHandle {
    MenuWidgetHandle() = default;
    explicit MenuWidgetHandle(GameObject* object) : object(object) {}
    explicit MenuWidgetHandle(const std::string& name);

    GameObjectHandle object;
};

void RegisterMenuLuaAPI(lua::State& state);

// The widget answers behind the script functions; each traces and gives its default when the object
// is gone or is not that widget.
int WidgetGetStateCurr(GameObject* object);
int WidgetGetInteractType(GameObject* object);
std::string WidgetDropdownGetSelected(GameObject* object);
void WidgetDropdownSetSelected(GameObject* object, int index);
int WidgetVCVGetValue(GameObject* object);
float WidgetVCVGetValueAsPercent(GameObject* object);
void WidgetVCVSetValue(GameObject* object, int value);
float WidgetSliderGetValue(GameObject* object);
