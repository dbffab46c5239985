#include "game/BehaviorPlayer.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

#include "core/GameObject.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "game/BehaviorFields.h"
#include "game/BehaviorTimer.h"
#include "game/TreasureManager.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/Sprite.h"
#include "graphics/Window.h"
#include "world/Collider.h"
#include "world/Physics.h"

float LaserHumDistance = 0.0f;
bool TimerInvincible = false;

void ResetPlayerGlobals()
{
    LaserHumDistance = 0.0f;
    TimerInvincible = false;
}

namespace {
// Charging stops once the battery is this far above its maximum.
constexpr float CHARGE_OVERSHOOT = 0.08f;
// The ping: how long the room count shows, how long it fades, how strong it starts.
constexpr float PING_HOLD = 1.0f;
constexpr float PING_FADE = 1.5f;
constexpr float PING_STRENGTH = 0.75f;
} // namespace

BehaviorPlayer::BehaviorPlayer()
{
    TimerInvincible = false;
}

BehaviorPlayer::BehaviorPlayer(const BehaviorPlayer& other) : Behavior(other)
{
    playerId = other.playerId;
    rotationSpeed = other.rotationSpeed;
    stunned = other.stunned;
    onStairs = other.onStairs;
    stairsDirection = other.stairsDirection;
    timerObject = other.timerObject;
    baseSpeed = other.baseSpeed;
    stairsSpeed = other.stairsSpeed;
    speedDecreaseRate = other.speedDecreaseRate;
    storedPoints = other.storedPoints;
    bufferFrozen = other.bufferFrozen;
    charged = other.charged;
    damageSound = other.damageSound;
    slipSound = other.slipSound;
    mediumBatterySound = other.mediumBatterySound;
    lowBatterySound = other.lowBatterySound;
    finishChargeSound = other.finishChargeSound;
    invincible = other.invincible;
    invincibleTimer = other.invincibleTimer;
    invincibleTime = other.invincibleTime;
    exposed = 0;
    TimerInvincible = false;
}

BehaviorPlayer::~BehaviorPlayer()
{
    // The editor's labels go with the behaviour; the editor keeps no list of its own yet.
    exposed = 0;
}

Object* BehaviorPlayer::Clone()
{
    return new BehaviorPlayer(*this);
}

const std::vector<std::string>& BehaviorPlayer::EditorLabels()
{
    static const std::vector<std::string> labels = {
        "Player Id", "Rotation Speed", "Stunned", "Base Speed", "Speed Decrease Rate", "Stored Points",
        "Timer Frozen", "Player Damage SFX", "Player Slip SFX", "Player Medium Battery SFX",
        "Player Low Battery SFX", "Player Finish Charge SFX", "Invincibility", "Invi Timer", "Invi Timer Max"};
    return labels;
}

void BehaviorPlayer::ExposeFields()
{
    Behavior::ExposeFields();
}

void BehaviorPlayer::Read(Stream& stream)
{
    baseSpeed = stairsSpeed = stream.ReadFloat("Behavior", "PlayerSpeed");
    speedDecreaseRate = stream.ReadFloat("Behavior", "PlayerSpeedDecreaseRate");
    rotationSpeed = stream.ReadFloat("Behavior", "RotationSpeed");
    invincibleTime = stream.ReadFloat("Behavior", "InvincibleTimer");
    using behaviorfields::OptionalString;
    OptionalString(stream, "Player Damage SFX", damageSound);
    OptionalString(stream, "Player Slip SFX", slipSound);
    OptionalString(stream, "Player Medium Battery SFX", mediumBatterySound);
    OptionalString(stream, "Player Low Battery SFX", lowBatterySound);
    OptionalString(stream, "Player Finish Charge SFX", finishChargeSound);
}

BehaviorTimer* BehaviorPlayer::GetTimer() const
{
    GameObject* object = timerObject.Get();
    return object ? dynamic_cast<BehaviorTimer*>(object->GetBehavior()) : nullptr;
}

bool BehaviorPlayer::ActionDown(int action) const
{
    if (!InputManagerInstance)
        return false;
    const ActionBindings* bindings = InputManagerInstance->GetBindings(playerId);
    return bindings && InputManager::IsActionDown(*bindings, action);
}

void BehaviorPlayer::OnEnter()
{
    if (currentState == NO_STATE) {
        nextState = STATE_IDLE;
        SendMessage(MessageId::AskForTimer);
        return;
    }
    if (currentState == STATE_IDLE && !GetTimer())
        SendMessage(MessageId::AskForTimer);
    // A state change cuts a hit short; the countdown that the hit held back runs again, as it does
    // when the invincibility runs out by itself.
    if (invincible) {
        if (BehaviorTimer* battery = GetTimer())
            SendMessage(MessageId::SetCountdown, 1, battery);
    }
    invincibleTimer = invincibleTime;
    invincible = false;
}

void BehaviorPlayer::OnUpdate(float dt)
{
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    if (transform)
        SendMessage(std::string("studioListener_PositionVector"), transform->TranslationX, transform->TranslationY,
                    0.0f, 0.0f, nullptr);

    BehaviorTimer* battery = GetTimer();
    if (!battery) {
        // Not known yet, or its object is gone: ask (again).
        timerObject.Reset();
        SendMessage(MessageId::AskForTimer);
        return;
    }

    AudioClip hum;
    hum.eventName = "Obstacle_LaserHum";
    hum.paramName = "Distance";
    hum.paramValue = LaserHumDistance;
    SendMessage(std::string("Event_Change_Param"), hum, nullptr);

    if (transform && LightingSystemInstance)
        LightingSystemInstance->RevealCircle(transform->TranslationX, transform->TranslationY,
                                             LightingSystemInstance->playerWalkRadius);

    if (InputManagerInstance && InputManagerInstance->IsKeyTriggered(KEY_SPACE)) {
        if (gTreasureManager)
            gTreasureManager->PingTreasure(PING_HOLD, PING_FADE, PING_STRENGTH);
        // The ping's sound, as a one-shot.
        SendMessage(MessageId::EventPlay, "Player_Ping", nullptr);
        SendMessage(std::string("Event_Destroy"), "Player_Ping", nullptr);
    }

    Invincibility(dt, battery);
    // The invincibility step may have posted nothing that removes the battery; it is still valid.

    Physics* physics = owner ? owner->GetPhysics() : nullptr;
    switch (currentState) {
    case NO_STATE:
        return;
    case STATE_IDLE:
        if (ActionDown(ACTION_ANY))
            nextState = STATE_MOVING;
        BatteryCheck(*battery);
        break;
    case STATE_MOVING:
        Turn();
        Drive(baseSpeed);
        if (!ActionDown(ACTION_ANY))
            nextState = STATE_IDLE;
        if (stunned)
            nextState = STATE_STUNNED;
        if (onStairs)
            nextState = STATE_STAIRS;
        BatteryCheck(*battery);
        SendMessage(std::string("TileSurfaceReading"), 1, nullptr);
        break;
    case STATE_IDLE_LOW:
        // Moving off with a low battery goes to the low-battery moving state, as idle goes to moving.
        if (ActionDown(ACTION_ANY))
            nextState = STATE_MOVING_LOW;
        BatteryCheck(*battery);
        break;
    case STATE_MOVING_LOW: {
        Turn();
        const float ratio = battery->maximum > 0.0f ? battery->value / battery->maximum : 0.0f;
        const float threshold = battery->lowBattery;
        Drive(threshold > 0.0f ? baseSpeed * ratio / threshold : 0.0f);
        BatteryCheck(*battery);
        break;
    }
    case STATE_STUNNED:
        SendMessage(std::string("TileSurfaceReading"), 0, nullptr);
        if (physics) {
            physics->RotationalVelocity = 4.0f * rotationSpeed;
            physics->SetKeepVelocity(true);
        }
        if (!stunned)
            nextState = STATE_IDLE;
        stunned = false;
        break;
    case STATE_STAIRS:
        if (physics)
            physics->SetVelocity(0.0f, 0.0f);
        if (transform) {
            const float step = dt * stairsSpeed;
            float x = transform->TranslationX;
            float y = transform->TranslationY;
            switch (stairsDirection) {
            case 0: y -= step; break;
            case 1: y += step; break;
            case 2: x += step; break;
            case 3: x -= step; break;
            default: break;
            }
            if (x != transform->TranslationX || y != transform->TranslationY)
                transform->SetTranslation(x, y);
        }
        if (!onStairs)
            nextState = STATE_IDLE;
        break;
    default:
        break;
    }

    DebugKeys();
    onStairs = false;
    PlaceEyes();
}

void BehaviorPlayer::Invincibility(float dt, BehaviorTimer* battery)
{
    Sprite* sprite = owner ? owner->GetSprite() : nullptr;
    if (!invincible) {
        if (sprite) {
            sprite->color[0] = sprite->color[1] = sprite->color[2] = 1.0f;
            sprite->color[3] = 1.0f;
        }
        return;
    }
    SendMessage(MessageId::SetCountdown, 0, battery);
    if (invincibleTimer > 0.0f)
        invincibleTimer -= dt;
    if (invincibleTimer <= 0.0f) {
        invincibleTimer = invincibleTime;
        invincible = false;
        SendMessage(MessageId::SetCountdown, 1, battery);
    }
    if (!sprite)
        return;
    sprite->color[0] = 1.0f;
    sprite->color[1] = 0.0f;
    sprite->color[2] = 0.0f;
    // Two blinks a second over the fractional part of the time left.
    const float f = invincibleTimer - std::trunc(invincibleTimer);
    if (f >= 0.75f)
        sprite->color[3] = 0.5f;
    else if (f >= 0.5f)
        sprite->color[3] = 1.0f;
    else if (f >= 0.25f)
        sprite->color[3] = 0.5f;
    else if (f >= 0.0f)
        sprite->color[3] = 1.0f;
}

void BehaviorPlayer::Turn()
{
    Physics* physics = owner ? owner->GetPhysics() : nullptr;
    if (!physics)
        return;
    if (ActionDown(ACTION_RIGHT))
        physics->RotationalVelocity = -rotationSpeed;
    else if (ActionDown(ACTION_LEFT))
        physics->RotationalVelocity = rotationSpeed;
    else
        physics->RotationalVelocity = 0.0f;
}

void BehaviorPlayer::Drive(float speed)
{
    Physics* physics = owner ? owner->GetPhysics() : nullptr;
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    if (!physics || !transform)
        return;
    const float direction = ActionDown(ACTION_UP) ? 1.0f : (ActionDown(ACTION_DOWN) ? -1.0f : 0.0f);
    const float r = transform->Rotation;
    physics->SetVelocity(std::cos(r) * speed * direction, std::sin(r) * speed * direction);
}

void BehaviorPlayer::BatteryCheck(BehaviorTimer& battery)
{
    const float ratio = battery.maximum > 0.0f ? battery.value / battery.maximum : 0.0f;
    const float threshold = battery.lowBattery;
    if (currentState == STATE_IDLE || currentState == STATE_MOVING) {
        if (ratio <= threshold && !bufferFrozen) {
            nextState = nextState == STATE_MOVING ? STATE_MOVING_LOW : STATE_IDLE_LOW;
            SendMessage(std::string("Event_Play_!Destroy"), lowBatterySound.c_str(), nullptr);
        } else if (ratio > threshold) {
            SendMessage(std::string("Event_StopDestroy"), lowBatterySound.c_str(), nullptr);
        }
    } else if (currentState == STATE_IDLE_LOW || currentState == STATE_MOVING_LOW) {
        if (ratio > threshold || bufferFrozen)
            nextState = nextState == STATE_MOVING_LOW ? STATE_MOVING : STATE_IDLE;
    }
}

void BehaviorPlayer::DebugKeys()
{
    InputManager* input = InputManagerInstance;
    if (!input || !input->IsKeyDown(DebugModifierKey))
        return;
    if (input->IsKeyTriggered(InputManager::KeyIndexFromGlfw(GLFW_KEY_Q))) {
        TimerInvincible = !TimerInvincible;
        if (!TimerInvincible)
            Trace("Turned off timer invincibility");
    }
    if (input->IsKeyTriggered(InputManager::KeyIndexFromGlfw(GLFW_KEY_M))) {
        Transform* transform = owner ? owner->GetTransform() : nullptr;
        const Vector4f mouse = ScreenToWorld(Vector4f(input->cursorX, input->cursorY, 0.0f, 1.0f));
        Trace("%f %f, versus actual %f %f", transform ? static_cast<double>(transform->TranslationX) : 0.0,
              transform ? static_cast<double>(transform->TranslationY) : 0.0, static_cast<double>(mouse.x),
              static_cast<double>(mouse.y));
    }
}

void BehaviorPlayer::PlaceEyes()
{
    // The eyes' translation is turned by the player's rotation when their transform is composed with
    // the player's, so the offset is stored along the unturned x axis.
    GameObject* eyes = behaviorfields::FindChildByBase(owner, "PlayerEyes");
    Transform* transform = eyes ? eyes->GetTransform() : nullptr;
    if (!transform)
        return;
    if (transform->TranslationX != EYES_OFFSET || transform->TranslationY != 0.0f)
        transform->SetTranslation(EYES_OFFSET, 0.0f);
}

void BehaviorPlayer::RearmMediumWarning(BehaviorTimer& battery, float amount)
{
    if (amount < 0.0f && battery.mediumWarningGiven && battery.maximum > 0.0f &&
        battery.value / battery.maximum > 0.5f)
        battery.mediumWarningGiven = false;
}

void BehaviorPlayer::HandleMessage(Message* message)
{
    if (!message || (message->target && message->target != this))
        return;

    if (message->Is(MessageId::ReturnTimer)) {
        if (message->target != this)
            return;
        GameObject* timerOwner = behaviorfields::OwnerOfBehavior(message->sender);
        if (timerOwner && dynamic_cast<BehaviorTimer*>(timerOwner->GetBehavior())) {
            timerObject.Set(timerOwner);
            SendMessage(MessageId::Serialize, timerOwner->GetBehavior());
        }
        return;
    }
    if (message->Is(MessageId::AddPlayerPoints)) {
        storedPoints += static_cast<int>(behaviorfields::NumberOf(message));
        return;
    }
    if (message->Is(MessageId::ClearPlayerPoints)) {
        storedPoints = 0;
        return;
    }
    if (message->Is(MessageId::SetPlayerBufferFreeze))
        bufferFrozen = behaviorfields::NumberOf(message) != 0.0f;
    if (message->IsNamed("StunPlayer")) {
        stunned = true;
        return;
    }
    if (message->IsNamed("LaserDistance")) {
        LaserHumDistance = std::clamp(behaviorfields::NumberOf(message) / 45.0f, 0.0f, 1.0f);
        return;
    }
    if (message->Is(MessageId::PlayerDecreaseTime)) {
        BehaviorTimer* battery = GetTimer();
        if (invincible || !battery)
            return;
        const float amount = behaviorfields::NumberOf(message);
        if (owner) {
            owner->SendMessage(MessageId::ZeroBuffer);
            owner->SendMessage(MessageId::ShakeCamera, 0.1f, 0.1f, 0.0f, 0.0f, nullptr);
        }
        battery->value -= amount;
        RearmMediumWarning(*battery, amount);
        invincible = true;
        return;
    }
    if (message->Is(MessageId::PlayerIncreaseTime)) {
        BehaviorTimer* battery = GetTimer();
        if (!battery || battery->value > battery->maximum + CHARGE_OVERSHOOT)
            return;
        const float amount = behaviorfields::NumberOf(message);
        battery->value -= amount;
        RearmMediumWarning(*battery, amount);
        if (!charged && battery->value >= battery->maximum)
            charged = true;
        return;
    }
    if (message->Is(MessageId::StairsActive)) {
        onStairs = true;
        stairsDirection = static_cast<int>(behaviorfields::NumberOf(message));
    }
}

void BehaviorPlayer::OnCollisionExit(Collider* other)
{
    if (behaviorfields::OtherNamed(other, "Charging Station"))
        charged = false;
}
