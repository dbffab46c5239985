#include "ui/Dropdown.h"

#include <algorithm>

#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"
#include "ui/MenuEntry.h"
#include "ui/MenuSystem.h"
#include "ui/WidgetInput.h"

Dropdown::Dropdown(const Dropdown& other)
    : Behavior(other), interactType(other.interactType), isOption(other.isOption), open(other.open),
      options(other.options), head(other.head), script(other.script)
{
    std::copy(other.hoverTint, other.hoverTint + 4, hoverTint);
    std::copy(other.clickTint, other.clickTint + 4, clickTint);
}

Dropdown::~Dropdown()
{
    if (!ownsOptions || !gGameObjectManager || gGameObjectManager->GetState() == GameObjectManager::STATE_DELETING)
        return;
    for (const GameObjectHandle& option : options) {
        if (GameObject* object = option.Get())
            object->RequestDestroy();
    }
    options.clear();
}

void Dropdown::ReadMenuObject(Stream& stream, int index)
{
    MenuEntry entry(stream, index);
    std::string text;
    if (entry.GetString("lua", text))
        script.SetScriptName(text);
    const char* const hoverKeys[] = {"HoverTintR", "HoverTintG", "HoverTintB", "HoverTintA"};
    const char* const clickKeys[] = {"ClickTintR", "ClickTintG", "ClickTintB", "ClickTintA"};
    for (int i = 0; i < 4; ++i)
        entry.GetFloat(hoverKeys[i], hoverTint[i]);
    for (int i = 0; i < 4; ++i)
        entry.GetFloat(clickKeys[i], clickTint[i]);
    int count = 0;
    if (!entry.GetInt("numOptions", count))
        return;
    isOption = false;
    const rapidjson::Value* list = entry.GetArray("options");
    const int available = list ? static_cast<int>(list->Size()) : 0;
    if (count > available) {
        Trace("Menu \"%s\" entry %d: numOptions is %d but \"options\" holds %d; using %d", entry.menuName.c_str(),
              index, count, available, available);
        count = available;
    }
    for (int j = 0; j < count; ++j) {
        const rapidjson::Value& element = (*list)[static_cast<rapidjson::SizeType>(j)];
        if (!element.IsString()) {
            Trace("Menu \"%s\" entry %d: option %d is not a text; skipped", entry.menuName.c_str(), index, j);
            continue;
        }
        const std::string optionText(element.GetString(), element.GetStringLength());
        GameObject* object = widget::MakeFromArchetype("Dropdown");
        if (!object)
            continue;
        object->SetName("Dropdown_" + optionText);
        if (Sprite* sprite = object->GetSprite()) {
            sprite->texture = GraphicsLibrary::GetTexture(optionText, -1);
            sprite->textureIndex = sprite->texture ? GraphicsLibrary::GetTextureIndex(sprite->texture->name) : -1;
            sprite->color[3] = options.empty() ? 1.0f : 0.0f;
        }
        auto* option = new Dropdown();
        option->head.Set(owner);
        std::copy(hoverTint, hoverTint + 4, option->hoverTint);
        std::copy(clickTint, clickTint + 4, option->clickTint);
        if (!object->SetComponent(option))
            delete option;
        options.push_back(GameObjectHandle(object));
    }
    ownsOptions = true;
    // A selection kept by an earlier run comes to the front, the list still closed.
    std::string selected;
    if (entry.GetString("selected", selected)) {
        for (std::size_t i = 1; i < options.size(); ++i) {
            if (TextOf(options[i].Get()) != selected)
                continue;
            std::rotate(options.begin(), options.begin() + static_cast<std::ptrdiff_t>(i),
                        options.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            break;
        }
        for (std::size_t i = 0; i < options.size(); ++i) {
            if (Sprite* sprite = options[i].Get() ? options[i].Get()->GetSprite() : nullptr)
                sprite->color[3] = i == 0 ? 1.0f : 0.0f;
        }
    }
}

std::vector<GameObject*> Dropdown::GetOptions() const
{
    std::vector<GameObject*> live;
    for (const GameObjectHandle& option : options) {
        if (GameObject* object = option.Get())
            live.push_back(object);
    }
    return live;
}

Dropdown* Dropdown::GetHead() const
{
    GameObject* object = head.Get();
    return object ? dynamic_cast<Dropdown*>(object->GetBehavior()) : nullptr;
}

std::string Dropdown::TextOf(GameObject* option)
{
    Sprite* sprite = option ? option->GetSprite() : nullptr;
    if (sprite && sprite->texture)
        return sprite->texture->name;
    // An option without a texture is still known by the text in its name.
    const std::string name = option ? option->GetName() : std::string();
    return name.rfind("Dropdown_", 0) == 0 ? name.substr(9) : std::string();
}

std::string Dropdown::GetSelectedText() const
{
    const std::vector<GameObject*> live = GetOptions();
    return live.empty() ? std::string() : TextOf(live.front());
}

void Dropdown::PlaceOptions()
{
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    if (!transform)
        return;
    const std::vector<GameObject*> live = GetOptions();
    for (std::size_t i = 0; i < live.size(); ++i) {
        Transform* optionTransform = live[i]->GetTransform();
        if (!optionTransform)
            continue;
        widget::SetIfChanged(optionTransform, optionTransform->TranslationX, transform->TranslationX);
        widget::SetIfChanged(optionTransform, optionTransform->TranslationY,
                             transform->TranslationY - 2.0f * transform->ScaleY * static_cast<float>(i));
        widget::SetIfChanged(optionTransform, optionTransform->ScaleX, transform->ScaleX);
        widget::SetIfChanged(optionTransform, optionTransform->ScaleY, transform->ScaleY);
    }
}

void Dropdown::SetSelected(const std::string& text)
{
    if (isOption)
        return;
    // Options that are gone drop out first.
    options.erase(std::remove_if(options.begin(), options.end(), [](const GameObjectHandle& h) { return !h.Get(); }),
                  options.end());
    std::size_t k = options.size();
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (TextOf(options[i].Get()) == text) {
            k = i;
            break;
        }
    }
    const bool moved = k > 0 && k < options.size();
    if (moved) {
        std::rotate(options.begin(), options.begin() + static_cast<std::ptrdiff_t>(k),
                    options.begin() + static_cast<std::ptrdiff_t>(k) + 1);
        PlaceOptions();
    }
    const bool wasOpen = open;
    open = !open;
    const std::vector<GameObject*> live = GetOptions();
    for (std::size_t i = 0; i < live.size(); ++i) {
        Sprite* sprite = live[i]->GetSprite();
        if (!sprite)
            continue;
        if (!wasOpen)
            sprite->color[3] = 1.0f;
        else if (i > 0)
            sprite->color[3] = 0.0f;
    }
    if (moved && owner) {
        // The selection is kept in the menu entry as "selected"; "options" is left as written.
        MenuSystem::WriteMenuValue(owner->GetName(), "selected", Stream::StreamData(GetSelectedText()));
    }
}

void Dropdown::LoadScript()
{
    script.Load(owner, owner ? owner->GetName() : std::string());
}

void Dropdown::OnEnter()
{
    Sprite* sprite = owner ? owner->GetSprite() : nullptr;
    if (sprite) {
        sprite->SetLayer("UI");
        sprite->ui = 1;
    }
    switch (currentState) {
    case NO_STATE:
        if (!isOption)
            PlaceOptions();
        if (!script.GetPath().empty())
            LoadScript();
        SetNextState(0);
        break;
    case 0:
        if (sprite) {
            sprite->color[0] = sprite->color[1] = sprite->color[2] = 1.0f;
            if (!isOption)
                sprite->color[3] = 1.0f;
        }
        break;
    case 1:
    case 2: {
        const float* tint = currentState == 1 ? hoverTint : clickTint;
        if (sprite) {
            std::copy(tint, tint + 3, sprite->color);
            if (!isOption)
                sprite->color[3] = tint[3];
        }
        if (currentState == 2 && isOption) {
            if (Dropdown* headDropdown = GetHead())
                headDropdown->SetSelected(TextOf(owner));
        }
        break;
    }
    default:
        break;
    }
}

void Dropdown::OnUpdate(float)
{
    if (!owner)
        return;
    const widget::Cursor cursor = widget::CursorInInterface();
    const bool over = widget::InsideBox(owner->GetTransform(), cursor.x, cursor.y);
    switch (currentState) {
    case 0:
        // A press made as the cursor arrives counts (see Button).
        if (over)
            SetNextState(widget::MousePressed() ? 2 : 1);
        break;
    case 1:
        if (!over)
            SetNextState(0);
        else if (widget::MousePressed())
            SetNextState(2);
        break;
    case 2:
        if (!over) {
            SetNextState(0);
        } else if (widget::MouseReleased()) {
            script.Run(owner);
            SetNextState(1);
        }
        break;
    default:
        break;
    }
}
