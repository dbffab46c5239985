#include "ui/Button.h"

#include <algorithm>

#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"
#include "ui/MenuEntry.h"
#include "ui/WidgetInput.h"
#include "world/Collider.h"

namespace {
const float WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
}

Button* Button::Clone()
{
    return new Button(*this);
}

int Button::ParseInteractType(const std::string& name)
{
    if (name == "Screen")
        return Screen;
    if (name == "World")
        return World;
    AssertionFailed("false", "src/Button", __LINE__, "Button::InteractType::" + name + "does not exist!");
    return Invalid;
}

void Button::ReadMenuObject(Stream& stream, int index)
{
    MenuEntry entry(stream, index);
    std::string text;
    if (entry.GetString("interacttype", text))
        interactType = ParseInteractType(text);
    if (entry.GetString("lua", text))
        script.SetScriptName(text);
    if (entry.GetString("HoverTexture", text))
        hoverTexture = GraphicsLibrary::GetTexture(text, -1);
    const char* const hoverKeys[] = {"HoverTintR", "HoverTintG", "HoverTintB", "HoverTintA"};
    for (int i = 0; i < 4; ++i)
        entry.GetFloat(hoverKeys[i], hoverTint[i]);
    if (entry.GetString("ClickTexture", text))
        clickTexture = GraphicsLibrary::GetTexture(text, -1);
    const char* const clickKeys[] = {"ClickTintR", "ClickTintG", "ClickTintB", "ClickTintA"};
    for (int i = 0; i < 4; ++i)
        entry.GetFloat(clickKeys[i], clickTint[i]);
}

bool Button::IsMouseOver(float x, float y) const
{
    if (!widget::WindowHasFocus())
        return false;
    return owner && widget::InsideBox(owner->GetTransform(), x, y);
}

void Button::LoadScript()
{
    script.Load(owner, "Button");
}

void Button::Look(Texture* texture, const float* tint)
{
    Sprite* sprite = owner ? owner->GetSprite() : nullptr;
    if (!sprite)
        return;
    if (texture) {
        sprite->texture = texture;
        sprite->textureIndex = GraphicsLibrary::GetTextureIndex(texture->name);
    }
    std::copy(tint, tint + 4, sprite->color);
}

void Button::OnEnter()
{
    Sprite* sprite = owner ? owner->GetSprite() : nullptr;
    widget::PlaceOnLayer(sprite, interactType);
    switch (currentState) {
    case NO_STATE:
        normalTexture = sprite ? sprite->texture : nullptr;
        if (!hoverTexture)
            hoverTexture = normalTexture;
        if (!clickTexture)
            clickTexture = normalTexture;
        if (!script.GetPath().empty())
            LoadScript();
        SetNextState(Idle);
        break;
    case Idle:
        Look(normalTexture, WHITE);
        break;
    case Hovered: {
        Look(hoverTexture, hoverTint);
        const widget::Cursor cursor = widget::CursorInInterface();
        if (IsMouseOver(cursor.x, cursor.y)) {
            SendMessage(std::string("Event_Play"), "Menu_ButtonHover", nullptr);
            SendMessage(std::string("Event_Destroy"), "Menu_ButtonHover", nullptr);
        }
        break;
    }
    case Pressed:
        Look(clickTexture, clickTint);
        break;
    default:
        break;
    }
}

void Button::Sense(bool& over, bool& press, bool& release) const
{
    over = press = release = false;
    if (!owner)
        return;
    if (interactType == Screen) {
        const widget::Cursor cursor = widget::CursorInInterface();
        over = IsMouseOver(cursor.x, cursor.y);
        press = widget::MousePressed();
        release = widget::MouseReleased();
    } else if (interactType == World) {
        GameObject* player = gGameObjectManager ? gGameObjectManager->FindGameObject("Player") : nullptr;
        over = player && widget::BoxesOverlap(player->GetTransform(), owner->GetTransform(), 0.6f, 0.75f);
        press = widget::KeyPressed(KEY_SPACE);
        release = widget::KeyReleased(KEY_SPACE);
    }
}

void Button::OnUpdate(float)
{
    bool over = false, press = false, release = false;
    Sense(over, press, release);
    script.SetDeltaTime(widget::FrameTime());
    switch (currentState) {
    case Idle:
        script.Run(owner);
        // A cursor that arrives with the press in the same frame presses the button at once: hovering
        // first would drop that press.
        if (over)
            SetNextState(press ? Pressed : Hovered);
        break;
    case Hovered:
        script.Run(owner);
        if (!over)
            SetNextState(Idle);
        else if (press)
            SetNextState(Pressed);
        break;
    case Pressed:
        if (!over) {
            SetNextState(Idle);
        } else if (release) {
            script.Run(owner);
            SetNextState(Hovered);
        }
        break;
    default:
        break;
    }
}

void Button::OnCollisionEnter(Collider* other)
{
    if (interactType != World || !other || !owner)
        return;
    GameObject* otherObject = other->GetOwner();
    if (!otherObject || otherObject->GetName() != "Player")
        return;
    Transform* transform = owner->GetTransform();
    if (transform && LightingSystemInstance)
        LightingSystemInstance->RevealCircle(transform->TranslationX, transform->TranslationY,
                                             static_cast<int>(std::max(transform->ScaleX, transform->ScaleY)));
    if (Sprite* sprite = owner->GetSprite())
        sprite->drawThroughFog = 0;
}
