#include "ui/Volume_CoolVersion.h"

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
#include "graphics/Window.h"
#include "ui/MenuEntry.h"
#include "ui/MenuSystem.h"
#include "ui/WidgetInput.h"

Volume_CoolVersion::Volume_CoolVersion(const Volume_CoolVersion& other)
    : Behavior(other), value(other.value), plus(other.plus), minus(other.minus), bars(other.bars),
      script(other.script)
{
}

Volume_CoolVersion::~Volume_CoolVersion()
{
    if (!ownsParts || !gGameObjectManager || gGameObjectManager->GetState() == GameObjectManager::STATE_DELETING)
        return;
    if (GameObject* object = plus.Get())
        object->RequestDestroy();
    if (GameObject* object = minus.Get())
        object->RequestDestroy();
    for (const GameObjectHandle& bar : bars) {
        if (GameObject* object = bar.Get())
            object->RequestDestroy();
    }
    bars.clear();
}

void Volume_CoolVersion::ReadMenuObject(Stream& stream, int index)
{
    MenuEntry entry(stream, index);
    std::string text;
    if (entry.GetString("lua", text))
        script.SetScriptName(text);
    int count = 0;
    if (entry.GetInt("NumBars", count)) {
        if (count < 0) {
            Trace("Menu \"%s\" entry %d: NumBars %d counts as 0", entry.menuName.c_str(), index, count);
            count = 0;
        }
        // A bar count from data is bounded so a typo can't make a million objects.
        if (count > 64) {
            Trace("Menu \"%s\" entry %d: NumBars %d counts as 64", entry.menuName.c_str(), index, count);
            count = 64;
        }
        bars.assign(static_cast<std::size_t>(count), GameObjectHandle());
    }
    int start = 0;
    if (entry.GetInt("StartingValue", start)) {
        // The value is a count of lit bars: one from outside 0 .. bars would make "+" or "-" step
        // through numbers that show nothing, and write them back.
        value = std::clamp(start, 0, GetNumBars());
        if (value != start)
            Trace("Menu \"%s\" entry %d: StartingValue %d counts as %d", entry.menuName.c_str(), index, start, value);
    }
}

void Volume_CoolVersion::SetValue(int newValue)
{
    value = std::clamp(newValue, 0, GetNumBars());
}

void Volume_CoolVersion::LoadScript()
{
    script.Load(owner, "Volume_CoolVersion");
}

GameObject* Volume_CoolVersion::MakeButton(GameObjectHandle& handle, const char* textureName)
{
    if (GameObject* existing = handle.Get())
        return existing;
    if (handle.IsSet() || !gGameObjectFactory)
        return nullptr;  // made once and gone since: not made again
    GameObject* object = widget::MakeFromArchetype("Circle");
    handle.Set(object);
    ownsParts = true;
    if (Sprite* sprite = object ? object->GetSprite() : nullptr) {
        sprite->texture = GraphicsLibrary::GetTexture(textureName, -1);
        sprite->textureIndex = sprite->texture ? GraphicsLibrary::GetTextureIndex(sprite->texture->name) : -1;
        sprite->ui = 1;
    }
    return object;
}

void Volume_CoolVersion::OnEnter()
{
    if (!owner)
        return;
    if (owner->GetSprite())
        delete owner->RemoveComponent(static_cast<int>(ComponentType::Sprite));
    Transform* transform = owner->GetTransform();
    if (!transform)
        return;
    const float x = transform->TranslationX, y = transform->TranslationY;
    const float sx = transform->ScaleX, sy = transform->ScaleY;
    GameObject* parts[2] = {MakeButton(plus, "Volume_CoolVersion_Plus"), MakeButton(minus, "Volume_CoolVersion_Minus")};
    const float offsets[2] = {3.0f * sx, -3.0f * sx};
    for (int i = 0; i < 2; ++i) {
        Transform* part = parts[i] ? parts[i]->GetTransform() : nullptr;
        if (!part)
            continue;
        widget::SetIfChanged(part, part->TranslationX, x + offsets[i]);
        widget::SetIfChanged(part, part->TranslationY, y);
        widget::SetIfChanged(part, part->ScaleX, 0.5f * sx);
        widget::SetIfChanged(part, part->ScaleY, 0.5f * sy);
    }
    const int n = GetNumBars();
    if (n > 0 && !bars[0].IsSet() && gGameObjectFactory) {
        const float w = (6.4f * sx) / static_cast<float>(2 * n - 1) * 0.25f;
        float barX = x - 1.6f * sx;
        ownsParts = true;
        for (int i = 0; i < n; ++i) {
            GameObject* bar = widget::MakeFromArchetype("Bar");
            bars[static_cast<std::size_t>(i)].Set(bar);
            if (Transform* barTransform = bar ? bar->GetTransform() : nullptr) {
                widget::SetIfChanged(barTransform, barTransform->TranslationX, barX);
                widget::SetIfChanged(barTransform, barTransform->TranslationY, y);
                widget::SetIfChanged(barTransform, barTransform->ScaleX, w);
                widget::SetIfChanged(barTransform, barTransform->ScaleY, 0.75f * sy);
            }
            barX += 4.0f * w;
        }
    }
    // Bound once: the handle and the traces are those of every later binding.
    if (!scriptBound && !script.GetPath().empty()) {
        LoadScript();
        scriptBound = true;
    }
}

void Volume_CoolVersion::OnUpdate(float)
{
    // The widget stays in its first state, so the behaviour runs its set-up (OnEnter) at every update.
    const widget::Cursor cursor = widget::CursorInInterface();
    const float x = cursor.x;
    const float y = cursor.y - 0.02f - (IsFullscreen() ? 0.05f : 0.0f);
    const bool click = widget::MouseReleased();
    GameObject* parts[2] = {plus.Get(), minus.Get()};
    for (int i = 0; i < 2; ++i) {
        Transform* part = parts[i] ? parts[i]->GetTransform() : nullptr;
        if (!part)
            continue;
        const float dx = x - part->TranslationX, dy = y - part->TranslationY;
        const bool over = dx * dx + dy * dy <= 5.0f * part->ScaleX * part->ScaleX;
        Sprite* sprite = parts[i]->GetSprite();
        if (sprite) {
            const float shade[3] = {over ? 1.0f : 0.18f, over ? 1.0f : 0.859f, over ? 1.0f : 0.18f};
            std::copy(shade, shade + 3, sprite->color);
        }
        if (over && click) {
            const int before = value;
            if (i == 0 && value < GetNumBars())
                ++value;
            else if (i == 1 && value > 0)
                --value;
            script.Run(owner);
            if (value != before && owner)
                MenuSystem::WriteMenuValue(owner->GetName(), "StartingValue", Stream::StreamData(value));
        }
    }
    for (std::size_t i = 0; i < bars.size(); ++i) {
        GameObject* bar = bars[i].Get();
        if (Sprite* sprite = bar ? bar->GetSprite() : nullptr)
            sprite->color[3] = static_cast<int>(i) < value ? 1.0f : 0.3f;
    }
}
