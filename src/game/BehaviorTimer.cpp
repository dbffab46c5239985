#include "game/BehaviorTimer.h"

#include "core/GameObject.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "game/BehaviorFields.h"
#include "game/BehaviorPlayer.h"
#include "graphics/Sprite.h"
#include "world/SceneSystem.h"

float TimerMaxTime = 1.0f;
float TimerBarScale = 0.0f;
float TimerBarOffset = 0.0f;

void ResetTimerGlobals()
{
    TimerMaxTime = 1.0f;
    TimerBarScale = 0.0f;
    TimerBarOffset = 0.0f;
}

Object* BehaviorTimer::Clone()
{
    auto* copy = new BehaviorTimer();
    CopyComponentFields(*copy);
    copy->nextState = nextState;
    copy->lowBattery = lowBattery;
    return copy;
}

void BehaviorTimer::HandleMessage(Message* message)
{
    if (!message || (message->target && message->target != this))
        return;
    if (message->Is(MessageId::SetCountdown)) {
        if (currentState == 1)
            counting = TimerInvincible ? true : behaviorfields::NumberOf(message) != 0.0f;
    } else if (message->Is(MessageId::AskForTimer)) {
        SendMessage(MessageId::ReturnTimer, message->sender);
    }
}

void BehaviorTimer::Read(Stream& stream)
{
    float maxTime = 0.0f;
    if (behaviorfields::OptionalFloat(stream, "MaxTime", maxTime)) {
        if (maxTime > 0.0f)
            TimerMaxTime = maxTime;
        else
            Trace("BehaviorTimer: \"MaxTime\" %f is not above 0; it stays %f", static_cast<double>(maxTime),
                  static_cast<double>(TimerMaxTime));
    }
    if (Transform* transform = owner ? owner->GetTransform() : nullptr) {
        TimerBarOffset = transform->TranslationX;
        TimerBarScale = transform->ScaleX;
    }
}

void BehaviorTimer::ExposeFields()
{
    Behavior::ExposeFields();
}

void BehaviorTimer::SetColour(float r, float g, float b)
{
    if (Sprite* sprite = owner ? owner->GetSprite() : nullptr) {
        sprite->color[0] = r;
        sprite->color[1] = g;
        sprite->color[2] = b;
    }
}

void BehaviorTimer::OnEnter()
{
    if (Sprite* sprite = owner ? owner->GetSprite() : nullptr)
        sprite->color[3] = 0.0f;
    if (Transform* transform = owner ? owner->GetTransform() : nullptr) {
        transform->ScaleX = TimerBarScale;
        transform->dirty = true;
    }
    if (currentState == 0)
        SetColour(0.0f, 0.0f, 0.0f);
    else if (currentState == 1)
        value = maximum = TimerMaxTime;
}

void BehaviorTimer::OnUpdate(float)
{
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    float shift = 0.0f;
    if (currentState == 1) {
        const float ratio = value / TimerMaxTime;
        const float width = TimerBarScale * ratio;
        if (value > maximum)
            SetColour(0.0f, 0.0f, 1.0f);
        else
            shift = (width - TimerBarScale) * 0.5f;
        if (transform && transform->ScaleX != width) {
            transform->ScaleX = width;
            transform->dirty = true;
        }

        if (!TimerInvincible) {
            if (counting && value >= 0.0f && value <= maximum) {
                if (ratio > 0.5f) {
                    SetColour(2.0f - 2.0f * ratio, 1.0f, 0.0f);
                } else {
                    SetColour(1.0f, 2.0f * ratio, 0.0f);
                    if (!mediumWarningGiven) {
                        mediumWarningGiven = true;
                        SendMessage(MessageId::EventPlay, "Player_BatteryMedium", nullptr);
                    }
                }
            } else if (counting && value > maximum) {
                SetColour(0.0f, 0.0f, 1.0f);
                shift = 0.0f;
            } else if (counting && value < 0.0f) {
                if (transform) {
                    transform->ScaleX = 0.0f;
                    transform->dirty = true;
                }
                Trace("Time's up!");
                if (gSceneSystem)
                    gSceneSystem->SetNextScene("GameOver");
            } else if (!counting) {
                SetColour(0.0f, 0.0f, 1.0f);
            }
        }
    }

    // The bar sits at its offset along the heading of the object it hangs from. A child's translation
    // is turned by its parent's rotation when the transform is composed, so the offset is stored
    // unturned; without a parent the heading is 0 and the same value is the world offset.
    if (transform) {
        const float x = TimerBarOffset + shift;
        if (transform->TranslationX != x) {
            transform->TranslationX = x;
            transform->dirty = true;
        }
        if (transform->TranslationY != 0.0f) {
            transform->TranslationY = 0.0f;
            transform->dirty = true;
        }
    }
}
