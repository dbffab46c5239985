#include "ui/Slider.h"

#include <algorithm>
#include <cmath>

#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/Sprite.h"
#include "ui/MenuEntry.h"
#include "ui/MenuSystem.h"
#include "ui/WidgetInput.h"

Slider::Slider(const Slider& other) : Behavior(other), value(other.value), knob(other.knob)
{
    std::copy(other.lineTint, other.lineTint + 4, lineTint);
    std::copy(other.circleTint, other.circleTint + 4, circleTint);
    // A copy refers to the same knob but never deletes it.
}

Slider::~Slider()
{
    if (!ownsKnob || !gGameObjectManager || gGameObjectManager->GetState() == GameObjectManager::STATE_DELETING)
        return;
    if (GameObject* made = knob.Get())
        made->RequestDestroy();
}

void Slider::ReadMenuObject(Stream& stream, int index)
{
    MenuEntry entry(stream, index);
    if (entry.GetFloat("StartingPercentage", value))
        value = std::clamp(value, 0.0f, 1.0f);
    const char* const lineKeys[] = {"LineTintR", "LineTintG", "LineTintB", "LineTintA"};
    const char* const circleKeys[] = {"CircleTintR", "CircleTintG", "CircleTintB", "CircleTintA"};
    for (int i = 0; i < 4; ++i) {
        entry.GetFloat(lineKeys[i], lineTint[i]);
        entry.GetFloat(circleKeys[i], circleTint[i]);
    }
}

void Slider::OnEnter()
{
    if (currentState != NO_STATE)
        return;
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    if (!transform)
        return;  // stays unset up; the update then does nothing
    widget::SetIfChanged(transform, transform->ScaleX, transform->ScaleX * 0.25f);
    widget::SetIfChanged(transform, transform->ScaleY, transform->ScaleX * 0.025f);
    if (!knob.Get() && gGameObjectFactory) {
        GameObject* made = widget::MakeFromArchetype("Circle");
        knob.Set(made);
        ownsKnob = made != nullptr;
    }
    GameObject* circle = knob.Get();
    if (Transform* knobTransform = circle ? circle->GetTransform() : nullptr) {
        widget::SetIfChanged(knobTransform, knobTransform->TranslationX, transform->TranslationX);
        widget::SetIfChanged(knobTransform, knobTransform->TranslationY, transform->TranslationY);
        widget::SetIfChanged(knobTransform, knobTransform->ScaleX, transform->ScaleX * 0.125f);
        widget::SetIfChanged(knobTransform, knobTransform->ScaleY, transform->ScaleX * 0.125f);
    }
    if (Sprite* sprite = owner->GetSprite())
        std::copy(lineTint, lineTint + 4, sprite->color);
    if (Sprite* knobSprite = circle ? circle->GetSprite() : nullptr) {
        knobSprite->ui = 1;
        std::copy(circleTint, circleTint + 4, knobSprite->color);
    }
    SetNextState(0);
}

void Slider::OnUpdate(float)
{
    GameObject* circle = knob.Get();
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    Transform* knobTransform = circle ? circle->GetTransform() : nullptr;
    if (!transform || !knobTransform || currentState == NO_STATE)
        return;  // no knob: nothing to drag
    const float left = transform->TranslationX;
    const float reach = transform->ScaleX;
    const widget::Cursor cursor = widget::CursorInInterface();
    const float dx = cursor.x - knobTransform->TranslationX;
    const float dy = (cursor.y - 0.02f) - knobTransform->TranslationY;
    if (currentState == 0) {
        const float radius = knobTransform->ScaleX;
        const bool onKnob = radius * radius >= dx * dx + dy * dy;
        // A press on the line itself takes the knob there at once: a click sets the value where it lands.
        // The line's box spans the knob's whole height at every place the knob can rest.
        const bool onLine = std::fabs(cursor.x - left) <= reach + std::fabs(radius) &&
                            std::fabs(cursor.y - transform->TranslationY) <= std::fabs(radius);
        const bool press = (onKnob || onLine) && widget::MousePressed();
        if (press)
            SetNextState(1);
        const float rest = 2.0f * reach * (value - 0.5f) + left;
        const float x = press && !onKnob ? std::min(std::max(cursor.x, left - reach), left + reach) : rest;
        widget::SetIfChanged(knobTransform, knobTransform->TranslationX, x);
    } else if (currentState == 1) {
        if (widget::MouseReleased()) {
            // A line of no length has no position to read: the value stays.
            if (reach > 0.0f) {
                value = std::clamp((knobTransform->TranslationX - left) * 0.5f / reach + 0.5f, 0.0f, 1.0f);
                Trace("Slider value set to %f.", static_cast<double>(value));
                MenuSystem::WriteMenuValue(owner->GetName(), "StartingPercentage", Stream::StreamData(value));
            }
            SetNextState(0);
        } else {
            widget::SetIfChanged(knobTransform, knobTransform->TranslationX,
                                 std::min(std::max(cursor.x, left - reach), left + reach));
        }
    }
    widget::SetIfChanged(knobTransform, knobTransform->TranslationY, transform->TranslationY);
}
