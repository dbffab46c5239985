#include "game/BehaviorDropOff.h"

#include "core/GameObject.h"
#include "core/Message.h"
#include "game/BehaviorFields.h"
#include "game/BehaviorPlayer.h"

void BehaviorDropOff::Init()
{
    if (owner && owner->GetCollider())
        armed = true;
}

Object* BehaviorDropOff::Clone()
{
    auto* copy = new BehaviorDropOff();
    CopyContactFields(*copy);
    copy->turnInSound = turnInSound;
    return copy;
}

void BehaviorDropOff::Read(Stream& stream)
{
    behaviorfields::OptionalString(stream, "Turn In SFX", turnInSound);
}

void BehaviorDropOff::OnEnter()
{
    if (currentState == NO_STATE)
        nextState = 0;
}

void BehaviorDropOff::OnContact(Collider* other)
{
    BehaviorPlayer* player = behaviorfields::PlayerOf(other);
    if (!player || player->storedPoints <= 0)
        return;
    SendMessage(MessageId::AddScore, player->storedPoints, nullptr);
    SendMessage(MessageId::EventPlay, turnInSound.c_str(), nullptr);
    SendMessage(MessageId::ClearPlayerPoints, player);
}
