#include "ui/MenuLuaAPI.h"

#include <algorithm>

#include "core/Behavior.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Trace.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"
#include "platform/lua/Lua.h"
#include "script/GameObjectType.h"
#include "script/Safe_GameObject.h"
#include "ui/Button.h"
#include "ui/Checkbox.h"
#include "ui/Dropdown.h"
#include "ui/MenuSystem.h"
#include "ui/Slider.h"
#include "ui/Volume_CoolVersion.h"
#include "world/SceneSystem.h"

namespace {

bool SceneChangePending()
{
    return gSceneSystem && gSceneSystem->IsChangePending();
}

template <class W>
W* WidgetOf(GameObject* object, const char* kind)
{
    W* found = dynamic_cast<W*>(object->GetBehavior());
    if (!found)
        Trace("[Lua] Error: Object '%s' is not a %s.", object->GetName().c_str(), kind);
    return found;
}

} // namespace

int WidgetGetInteractType(GameObject* object)
{
    if (!object)
        return -1;
    Behavior* behavior = object->GetBehavior();
    if (auto* button = dynamic_cast<Button*>(behavior))
        return button->interactType;
    if (auto* checkbox = dynamic_cast<Checkbox*>(behavior))
        return checkbox->interactType;
    if (auto* dropdown = dynamic_cast<Dropdown*>(behavior))
        return dropdown->interactType;
    Trace("[Lua] Error: Object '%s' is not a Dropdown.", object->GetName().c_str());
    return -1;
}

std::string WidgetDropdownGetSelected(GameObject* object)
{
    if (!object)
        return "";
    Dropdown* dropdown = WidgetOf<Dropdown>(object, "Dropdown");
    if (!dropdown)
        return "";
    if (dropdown->isOption) {
        Trace("Error - Make sure to call GetSelected() on the head dropdown!");
        return "";
    }
    if (dropdown->GetOptions().empty()) {
        Trace("Error - Options list is empty!");
        return "";
    }
    return dropdown->GetSelectedText();
}

void WidgetDropdownSetSelected(GameObject* object, int index)
{
    if (!object)
        return;
    Dropdown* dropdown = WidgetOf<Dropdown>(object, "Dropdown");
    if (!dropdown)
        return;
    if (dropdown->isOption) {
        Trace("Error - Make sure to call SetSelected(int) on the head dropdown!");
        return;
    }
    const std::vector<GameObject*> options = dropdown->GetOptions();
    const int count = static_cast<int>(options.size());
    if (index < 0 || index >= count) {
        Trace("Error - Option #%i does not exist, input between 0 and %i (inclusive).", index, count - 1);
        return;
    }
    Sprite* sprite = options[static_cast<std::size_t>(index)]->GetSprite();
    std::string text = sprite && sprite->texture ? sprite->texture->name : std::string();
    if (text.empty()) {
        const std::string name = options[static_cast<std::size_t>(index)]->GetName();
        text = name.rfind("Dropdown_", 0) == 0 ? name.substr(9) : name;
    }
    dropdown->SetSelected(text);
}

int WidgetVCVGetValue(GameObject* object)
{
    if (!object)
        return 0;
    Volume_CoolVersion* volume = WidgetOf<Volume_CoolVersion>(object, "Volume_CoolVersion");
    return volume ? volume->value : -1;
}

float WidgetVCVGetValueAsPercent(GameObject* object)
{
    if (!object)
        return 0.0f;
    Volume_CoolVersion* volume = WidgetOf<Volume_CoolVersion>(object, "Volume_CoolVersion");
    if (!volume)
        return -1.0f;
    // No bars: no fraction to give.
    return volume->GetNumBars() > 0 ? static_cast<float>(volume->value) / static_cast<float>(volume->GetNumBars())
                                    : 0.0f;
}

void WidgetVCVSetValue(GameObject* object, int value)
{
    if (!object)
        return;
    if (Volume_CoolVersion* volume = WidgetOf<Volume_CoolVersion>(object, "Volume_CoolVersion"))
        volume->SetValue(value);
}

float WidgetSliderGetValue(GameObject* object)
{
    if (!object)
        return 0.0f;
    Slider* slider = WidgetOf<Slider>(object, "Slider");
    return slider ? slider->value : -1.0f;
}

void RegisterMenuLuaAPI(lua::State& state)
{
    // True when the menu was read (a script keeps its own menu when it was not).
    state.SetFunction("ReadMenu", [](std::string name) {
        return !SceneChangePending() && MenuSystem::LoadMenu(name);
    });
    state.SetFunction("GetReopenPauseMenu", []() { return MenuSystem::GetReopenPauseMenu(); });
    state.SetFunction("SetReopenPauseMenu", [](bool reopen) { MenuSystem::SetReopenPauseMenu(reopen); });
    state.SetFunction("DeleteMenuObject", [](std::string name) { MenuSystem::DeleteMenuObject(name); });
    state.SetFunction("DeleteMenuObjectsFromMenu", [](std::string name) { MenuSystem::DeleteFromMenu(name); });
    state.SetFunction("DeleteAllMenuObjects", []() { MenuSystem::DeleteAllMenuObjects(); });
    state.SetFunction("CreditsAreOver", []() { return MenuSystem::CreditsAreOver(); });

    // The widget members of "GameObject": the object default when the handle is empty (after its
    // trace), the widget's answer otherwise.
    SetGameObjectMember(state, "GetInteractType",
                        [](Safe_GameObject& self) { return WidgetGetInteractType(self.ObjectOrReport()); });
    SetGameObjectMember(state, "DropdownGetSelected",
                        [](Safe_GameObject& self) { return WidgetDropdownGetSelected(self.ObjectOrReport()); });
    SetGameObjectMember(state, "DropdownSetSelected", [](Safe_GameObject& self, int index) {
        WidgetDropdownSetSelected(self.ObjectOrReport(), index);
    });
    SetGameObjectMember(state, "VCVGetValue",
                        [](Safe_GameObject& self) { return WidgetVCVGetValue(self.ObjectOrReport()); });
    SetGameObjectMember(state, "VCVGetValueAsPercent",
                        [](Safe_GameObject& self) { return WidgetVCVGetValueAsPercent(self.ObjectOrReport()); });
    SetGameObjectMember(state, "VCVSetValue",
                        [](Safe_GameObject& self, int value) { WidgetVCVSetValue(self.ObjectOrReport(), value); });
    SetGameObjectMember(state, "SliderGetValue",
                        [](Safe_GameObject& self) { return WidgetSliderGetValue(self.ObjectOrReport()); });
}
