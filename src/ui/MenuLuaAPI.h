#pragma once
// The script functions that reach the menus and their widgets, registered from the menu side (the
// scripting layer knows nothing of the menus): the menu group ("ReadMenu", "GetReopenPauseMenu",
// "SetReopenPauseMenu", "DeleteMenuObject", "DeleteMenuObjectsFromMenu", "DeleteAllMenuObjects",
// "CreditsAreOver") and the widget members of the "GameObject" script type ("GetInteractType",
// "DropdownGetSelected", "DropdownSetSelected", "VCVGetValue", "VCVGetValueAsPercent", "VCVSetValue",
// and "SliderGetValue"). Registering again replaces earlier registrations of the same names.
#include <string>

class GameObject;
namespace lua {
class State;
}

void RegisterMenuLuaAPI(lua::State& state);

// The widget answers behind the script functions; each traces and gives its default when the object
// is gone or is not that widget.
int WidgetGetInteractType(GameObject* object);
std::string WidgetDropdownGetSelected(GameObject* object);
void WidgetDropdownSetSelected(GameObject* object, int index);
int WidgetVCVGetValue(GameObject* object);
float WidgetVCVGetValueAsPercent(GameObject* object);
void WidgetVCVSetValue(GameObject* object, int value);
float WidgetSliderGetValue(GameObject* object);
