#include "game/BehaviorWall.h"

#include "core/GameObject.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "game/BehaviorFields.h"
#include "world/Collider.h"

Object* BehaviorWall::Clone()
{
    auto* copy = new BehaviorWall();
    CopyContactFields(*copy);
    copy->width = width;
    copy->height = height;
    return copy;
}

void BehaviorWall::HandleMessage(Message* message)
{
    if (message && message->Is(MessageId::Serialize) && (!message->target || message->target == this))
        ExposeFields();
}

void BehaviorWall::Read(Stream& stream)
{
    width = stream.ReadFloat("Behavior", "Width");
    height = stream.ReadFloat("Behavior", "Height");
}

void BehaviorWall::OnContact(Collider* other)
{
    // The blocking geometry of the collision pass: only the player's sides that face the wall.
    Collider* mine = owner ? owner->GetCollider() : nullptr;
    if (mine && behaviorfields::OtherNamed(other, "Player"))
        Collider::PushApart(other, mine);
}
