#include "game/BehaviorLaser.h"

#include "core/GameObject.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Transform.h"
#include "game/BehaviorFields.h"
#include "game/BehaviorPlayer.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"

float ClosestLaserDistance = -1.0f;
GameObjectHandle ClosestLaser;
int LasersInHumRange = 0;
int LaserHumState = -1;

void ResetLaserGlobals()
{
    ClosestLaserDistance = -1.0f;
    ClosestLaser.Reset();
    LasersInHumRange = 0;
    LaserHumState = -1;
}

namespace {
const char* const HUM = "Obstacle_LaserHum";
} // namespace

BehaviorLaser::BehaviorLaser()
{
    ClosestLaserDistance = -1.0f;
    LaserHumState = -1;
}

BehaviorLaser::~BehaviorLaser()
{
    if (inHumRange_ && LasersInHumRange > 0)
        --LasersInHumRange;
    // The laser's own end-of-life sound record stops and frees the shared hum: what the lasers asked
    // of it no longer holds, so the next laser in range starts it again.
    LaserHumState = -1;
    ForgetAsClosest();
}

void BehaviorLaser::ForgetAsClosest()
{
    if (measuredId_ != 0 && ClosestLaser.IsSet() && ClosestLaser.GetId() == measuredId_) {
        ClosestLaser.Reset();
        ClosestLaserDistance = -1.0f;
    }
}

void BehaviorLaser::MeasureClosest(float d)
{
    // The nearest laser that is on keeps the measure up to date as the player moves; when it switches
    // off or goes, the next laser on takes over and any nearer one takes it from there.
    GameObject* closest = ClosestLaser.Get();
    if (closest == owner || !closest || ClosestLaserDistance < 0.0f || d < ClosestLaserDistance) {
        ClosestLaser.Set(owner);
        ClosestLaserDistance = d;
        measuredId_ = ClosestLaser.GetId();
    }
}

Object* BehaviorLaser::Clone()
{
    auto* copy = new BehaviorLaser();
    CopyContactFields(*copy);
    copy->persistent = persistent;
    copy->rotating = rotating;
    copy->timeActive = timeActive;
    copy->timeDecrease = timeDecrease;
    copy->on = on;
    copy->phaseTimer = phaseTimer;
    copy->player = player;
    return copy;
}

void BehaviorLaser::HandleMessage(Message* message)
{
    if (!message)
        return;
    if (message->Is(MessageId::Serialize)) {
        ExposeFields();
        return;
    }
    if (message->target && message->target != this)
        return;
    if (message->Is(MessageId::RequestReturnPlayer)) {
        // The answer names the player object; one that is gone or has no behaviour is refused and
        // the laser asks again on its next update.
        GameObject* object = behaviorfields::ObjectFromPayload(message);
        if (object && object->GetBehavior()) {
            player.Set(object);
            askAgain_ = false;
        } else {
            askAgain_ = true;
        }
    }
}

void BehaviorLaser::Read(Stream& stream)
{
    using namespace behaviorfields;
    OptionalBool(stream, "Persistant", persistent);
    OptionalBool(stream, "Rotation", rotating);
    OptionalFloat(stream, "TimeActive", timeActive);
    OptionalFloat(stream, "TimeDecrease", timeDecrease);
}

void BehaviorLaser::AskForPlayer()
{
    SendMessage(MessageId::RequestPlayer);
}

void BehaviorLaser::OnEnter()
{
    ContactBehavior::OnEnter();
    GameObject* playerObject = player.Get();
    if (!playerObject)
        AskForPlayer();
    if (currentState == STATE_ON) {
        SpriteSheet* sheet = owner ? owner->GetSpriteSheet() : nullptr;
        if (sheet && !sheet->playing)
            sheet->PlayAnimation("Sprite_LaserOn", false, "");
        if (!playerObject) {
            AskForPlayer();
            ClosestLaserDistance = -1.0f;
            return;
        }
        const float d = DistanceToPlayer();
        if (d < 0.0f)
            return;
        if (ClosestLaserDistance >= 0.0f && ClosestLaserDistance > d)
            ClosestLaser.Set(owner);
        ClosestLaserDistance = d;
        SetInHumRange(d < HUM_RANGE);
    } else if (currentState == STATE_OFF) {
        SetInHumRange(false);
    }
}

float BehaviorLaser::DistanceToPlayer() const
{
    GameObject* playerObject = player.Get();
    Transform* mine = owner ? owner->GetTransform() : nullptr;
    Transform* theirs = playerObject ? playerObject->GetTransform() : nullptr;
    if (!mine || !theirs)
        return -1.0f;
    const float dx = theirs->TranslationX - mine->TranslationX;
    const float dy = theirs->TranslationY - mine->TranslationY;
    return dx * dx + dy * dy;
}

void BehaviorLaser::SetInHumRange(bool near)
{
    if (near != inHumRange_) {
        inHumRange_ = near;
        if (near)
            ++LasersInHumRange;
        else if (LasersInHumRange > 0)
            --LasersInHumRange;
    }
    // Another laser on nearby keeps the hum going; the first one in range starts it again.
    const int wanted = LasersInHumRange > 0 ? 1 : 0;
    if (wanted == LaserHumState)
        return;
    LaserHumState = wanted;
    if (wanted)
        SendMessage(MessageId::EventPlay, HUM, nullptr);
    else
        SendMessage(MessageId::EventStop, HUM, nullptr);
}

void BehaviorLaser::OnUpdate(float dt)
{
    if (askAgain_ && !player.Get()) {
        askAgain_ = false;
        AskForPlayer();
    }
    SpriteSheet* sheet = owner ? owner->GetSpriteSheet() : nullptr;
    if (currentState == STATE_ON) {
        // The player moves: the laser counts in or out of the hum's range as it comes and goes.
        const float d = DistanceToPlayer();
        if (d >= 0.0f) {
            SetInHumRange(d < HUM_RANGE);
            MeasureClosest(d);
        }
        if (ClosestLaserDistance >= 0.0f)
            SendMessage(std::string("LaserDistance"), ClosestLaserDistance, nullptr);
        if (sheet && !sheet->playing)
            sheet->PlayAnimation("Sprite_Laser", true, "");
        if (rotating) {
            if (Transform* transform = owner ? owner->GetTransform() : nullptr)
                transform->SetRotation(transform->Rotation + TURN_PER_FRAME);
        }
        if (!persistent) {
            if (phaseTimer > 0.0f)
                phaseTimer -= dt;
            if (phaseTimer <= 0.0f) {
                phaseTimer = timeActive;
                on = false;
                nextState = STATE_OFF;
            }
        }
    } else if (currentState == STATE_OFF) {
        if (phaseTimer > 0.0f)
            phaseTimer -= dt;
        if (phaseTimer <= 0.0f) {
            phaseTimer = timeActive;
            on = true;
            nextState = STATE_ON;
        }
        // The switch-off animation holds its last frame while the laser is off.
        if (sheet && !sheet->playing && sheet->animationName == "Sprite_LaserOff") {
            Sprite* sprite = sheet->GetSprite();
            if (sprite && sprite->texture && sprite->texture->numFrames > 0)
                sheet->currentFrame = sprite->texture->numFrames - 1;
        }
    }
}

void BehaviorLaser::OnExit()
{
    if (currentState == STATE_ON) {
        if (SpriteSheet* sheet = owner ? owner->GetSpriteSheet() : nullptr)
            sheet->PlayAnimation("Sprite_LaserOff", false, "Sprite_LaserOff");
    }
    if (currentState == STATE_ON || currentState == STATE_OFF)
        SetInHumRange(false);
    if (currentState == STATE_ON)
        ForgetAsClosest();
}

void BehaviorLaser::OnContact(Collider* other)
{
    if (!on || TimerInvincible)
        return;
    if (BehaviorPlayer* target = behaviorfields::PlayerOf(other))
        SendMessage(MessageId::PlayerDecreaseTime, timeDecrease, target);
}
