#include "ui/WidgetInput.h"

#include <cmath>
#include <string>

#include "core/Engine.h"
#include "core/GameObjectFactory.h"
#include "core/Transform.h"
#include "graphics/Sprite.h"
#include "graphics/InputManager.h"
#include "graphics/Window.h"

namespace widget {

Cursor CursorInInterface()
{
    Cursor cursor;
    if (!InputManagerInstance || WindowWidth <= 0 || WindowHeight <= 0)
        return cursor;
    // The interface is laid out in the picture, which the window shows scaled and centred.
    float x = InputManagerInstance->cursorX;
    float y = InputManagerInstance->cursorY;
    WindowToPicture(x, y);
    const float w = static_cast<float>(PICTURE_WIDTH);
    const float h = static_cast<float>(PICTURE_HEIGHT);
    cursor.x = (2.0f * x / w - 1.0f) * w / h;
    cursor.y = 1.0f - 2.0f * y / h;
    return cursor;
}

bool KeyPressed(int index)
{
    return InputManagerInstance && InputManagerInstance->IsKeyTriggered(index);
}

bool KeyReleased(int index)
{
    return InputManagerInstance && InputManagerInstance->IsKeyReleased(index);
}

bool MousePressed()
{
    return KeyPressed(KEY_MOUSE_LEFT);
}

bool MouseReleased()
{
    return KeyReleased(KEY_MOUSE_LEFT);
}

bool WindowHasFocus()
{
    return !CurrentWindow || CurrentWindow->focused != 0;
}

float FrameTime()
{
    return gEngine ? gEngine->dt : 0.0f;
}

bool InsideBox(const Transform* transform, float x, float y, float sx, float sy)
{
    if (!transform)
        return false;
    return std::fabs(x - transform->TranslationX) <= sx * transform->ScaleX &&
           std::fabs(y - transform->TranslationY) <= sy * transform->ScaleY;
}

bool BoxesOverlap(const Transform* a, const Transform* b, float bx, float by)
{
    if (!a || !b)
        return false;
    const float ax0 = a->TranslationX - a->ScaleX, ax1 = a->TranslationX + a->ScaleX;
    const float ay0 = a->TranslationY - a->ScaleY, ay1 = a->TranslationY + a->ScaleY;
    const float bx0 = b->TranslationX - bx * b->ScaleX, bx1 = b->TranslationX + bx * b->ScaleX;
    const float by0 = b->TranslationY - by * b->ScaleY, by1 = b->TranslationY + by * b->ScaleY;
    return ax0 < bx1 && ax1 > bx0 && ay0 < by1 && ay1 > by0;
}

GameObject* MakeFromArchetype(const char* name)
{
    if (!gGameObjectFactory)
        return nullptr;
    const std::string folder = gGameObjectFactory->archetypePath ? gGameObjectFactory->archetypePath : "";
    return gGameObjectFactory->CreateGameObject(folder + name, true);
}

void SetIfChanged(Transform* transform, float& field, float value)
{
    if (!transform || field == value)
        return;
    field = value;
    transform->dirty = true;
}

void PlaceOnLayer(Sprite* sprite, int interactType)
{
    if (!sprite)
        return;
    if (interactType == 0) {
        sprite->SetLayer("UI");
        sprite->ui = 1;
    } else if (interactType == 1) {
        sprite->SetLayer("Props");
        sprite->ui = 0;
    }
}

} // namespace widget
