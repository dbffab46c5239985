#include "ui/Checkbox.h"

#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/InputManager.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"
#include "ui/MenuEntry.h"
#include "ui/MenuSystem.h"
#include "ui/WidgetInput.h"

int Checkbox::ParseInteractType(const std::string& name)
{
    if (name == "Screen")
        return Screen;
    if (name == "World")
        return World;
    AssertionFailed("false", "src/Checkbox", __LINE__, "Checkbox::InteractType::" + name + " does not exist!");
    return Invalid;
}

void Checkbox::ReadMenuObject(Stream& stream, int index)
{
    MenuEntry entry(stream, index);
    std::string text;
    if (entry.GetString("interacttype", text))
        interactType = ParseInteractType(text);
    bool checked = false;
    if (entry.GetBool("checked", checked))
        SetNextState(checked ? 1 : 0);
    entry.GetString("Texture", textureBase);
}

void Checkbox::OnEnter()
{
    Sprite* sprite = owner ? owner->GetSprite() : nullptr;
    widget::PlaceOnLayer(sprite, interactType);
    if (currentState == NO_STATE) {
        SetNextState(0);
        return;
    }
    if (!sprite || (currentState != 0 && currentState != 1))
        return;
    sprite->texture = GraphicsLibrary::GetTexture(textureBase + (currentState == 1 ? "_Checked" : "_Unchecked"), -1);
    sprite->textureIndex = sprite->texture ? GraphicsLibrary::GetTextureIndex(sprite->texture->name) : -1;
}

void Checkbox::OnUpdate(float)
{
    if (!owner)
        return;
    bool over = false, click = false;
    if (interactType == Screen) {
        const widget::Cursor cursor = widget::CursorInInterface();
        over = widget::InsideBox(owner->GetTransform(), cursor.x, cursor.y, 1.5f, 1.5f);
        click = widget::MouseReleased();
    } else if (interactType == World) {
        GameObject* player = gGameObjectManager ? gGameObjectManager->FindGameObject("Player") : nullptr;
        over = player && widget::BoxesOverlap(player->GetTransform(), owner->GetTransform());
        click = widget::KeyReleased(KEY_SPACE);
    }
    Sprite* sprite = owner->GetSprite();
    if (over) {
        if (sprite)
            sprite->color[0] = sprite->color[1] = sprite->color[2] = 1.0f;
        if (click) {
            const int next = currentState == 0 ? 1 : 0;
            SetNextState(next);
            MenuSystem::WriteMenuValue(owner->GetName(), "checked", Stream::StreamData(next == 1));
        }
    } else if (sprite) {
        sprite->color[0] = 0.18f;
        sprite->color[1] = 0.859f;
        sprite->color[2] = 0.18f;
    }
}
