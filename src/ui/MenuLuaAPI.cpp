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

GameObject* Live(const MenuWidgetHandle& handle)
{
    GameObject* object = handle.object.Get();
    if (!object)
        Trace("[Lua] Error: Object Does Not Exist");
    return object;
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

MenuWidgetHandle::MenuWidgetHandle(const std::string& name)
{
    GameObject* found = gGameObjectManager ? gGameObjectManager->FindGameObject(name) : nullptr;
    if (!found)
        Trace("[C++]: Lua Controlled Object '%s' does not exist", name.c_str());
    object.Set(found);
}

int WidgetGetStateCurr(GameObject* object)
{
    if (!object)
        return -1;
    Behavior* behavior = object->GetBehavior();
    if (!behavior) {
        Trace("[Lua] Error: Object '%s' has no Behavior Component.", object->GetName().c_str());
        return -1;
    }
    return behavior->GetCurrentState();
}

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
    state.SetFunction("ReadMenu", [](std::string name) {
        if (!SceneChangePending())
            MenuSystem::LoadMenu(name);
    });
    state.SetFunction("GetReopenPauseMenu", []() { return MenuSystem::GetReopenPauseMenu(); });
    state.SetFunction("SetReopenPauseMenu", [](bool reopen) { MenuSystem::SetReopenPauseMenu(reopen); });
    state.SetFunction("DeleteMenuObject", [](std::string name) { MenuSystem::DeleteMenuObject(name); });
    state.SetFunction("DeleteMenuObjectsFromMenu", [](std::string name) { MenuSystem::DeleteFromMenu(name); });
    state.SetFunction("DeleteAllMenuObjects", []() { MenuSystem::DeleteAllMenuObjects(); });
    state.SetFunction("CreditsAreOver", []() { return MenuSystem::CreditsAreOver(); });

    state.NewUsertype<MenuWidgetHandle>("MenuWidget")
        .Constructor<std::string>()
        .Method("AM_I_ALIVE", [](const MenuWidgetHandle& self) { return self.object.Get() != nullptr; })
        .Method("GetName",
                [](const MenuWidgetHandle& self) {
                    GameObject* object = Live(self);
                    return object ? object->GetName() : std::string();
                })
        .Method("GetStateCurr", [](const MenuWidgetHandle& self) { return WidgetGetStateCurr(Live(self)); })
        .Method("SetStateNext",
                [](const MenuWidgetHandle& self, int next) {
                    GameObject* object = Live(self);
                    Behavior* behavior = object ? object->GetBehavior() : nullptr;
                    if (behavior)
                        behavior->SetNextState(next);
                    else if (object)
                        Trace("[Lua] Error: Object '%s' has no Behavior Component.", object->GetName().c_str());
                })
        .Method("GetInteractType",
                [](const MenuWidgetHandle& self) { return WidgetGetInteractType(Live(self)); })
        .Method("DropdownGetSelected",
                [](const MenuWidgetHandle& self) { return WidgetDropdownGetSelected(Live(self)); })
        .Method("DropdownSetSelected",
                [](const MenuWidgetHandle& self, int index) { WidgetDropdownSetSelected(Live(self), index); })
        .Method("VCVGetValue", [](const MenuWidgetHandle& self) { return WidgetVCVGetValue(Live(self)); })
        .Method("VCVGetValueAsPercent",
                [](const MenuWidgetHandle& self) { return WidgetVCVGetValueAsPercent(Live(self)); })
        .Method("VCVSetValue",
                [](const MenuWidgetHandle& self, int value) { WidgetVCVSetValue(Live(self), value); })
        .Method("SliderGetValue", [](const MenuWidgetHandle& self) { return WidgetSliderGetValue(Live(self)); })
        .Method("SetAlpha",
                [](const MenuWidgetHandle& self, float alpha) {
                    GameObject* object = Live(self);
                    if (Sprite* sprite = object ? object->GetSprite() : nullptr)
                        sprite->color[3] = std::clamp(alpha, 0.0f, 1.0f);
                })
        .Method("SetTexture", [](const MenuWidgetHandle& self, std::string name) {
            GameObject* object = Live(self);
            Sprite* sprite = object ? object->GetSprite() : nullptr;
            if (!sprite)
                return;
            Texture* texture = GraphicsLibrary::GetTexture(name, -1);
            if (!texture) {
                Trace("[Lua] Error: Texture '%s' does not exist.", name.c_str());
                return;
            }
            sprite->texture = texture;
            sprite->textureIndex = GraphicsLibrary::GetTextureIndex(texture->name);
        });
}
