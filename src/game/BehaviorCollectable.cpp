#include "game/BehaviorCollectable.h"

#include "core/GameObject.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "game/BehaviorFields.h"
#include "graphics/Sprite.h"

void BehaviorCollectable::Init()
{
    reserved = false;
}

Object* BehaviorCollectable::Clone()
{
    auto* copy = new BehaviorCollectable(*this);
    return copy;
}

void BehaviorCollectable::HandleMessage(Message* message)
{
    if (message && message->Is(MessageId::Serialize) && (!message->target || message->target == this))
        ExposeFields();
}

void BehaviorCollectable::Read(Stream& stream)
{
    scoreValue = stream.ReadInt("Behavior", "ScoreValue");
    tier = stream.ReadInt("Behavior", "Tier");
    width = stream.ReadFloat("Behavior", "Width");
    height = stream.ReadFloat("Behavior", "Height");
    float chain = 0.0f;
    if (behaviorfields::OptionalFloat(stream, "NormalChainLength", chain))
        SendMessage(std::string("NormalChainLengthSet"), chain, nullptr);
    if (behaviorfields::OptionalFloat(stream, "ShortChainLength", chain))
        SendMessage(std::string("ShortChainLengthSet"), chain, nullptr);
}

void BehaviorCollectable::OnEnter()
{
    if (currentState == NO_STATE)
        nextState = 0;
}

void BehaviorCollectable::OnCollisionEnter(Collider* other)
{
    if (!behaviorfields::OtherNamed(other, "Player"))
        return;
    Sprite* sprite = owner ? owner->GetSprite() : nullptr;
    if (!sprite) {
        Trace("Collectable %s has no Sprite; the pickup is ignored", owner ? owner->GetName().c_str() : "");
        return;
    }
    if (sprite->color[3] == 0.0f)
        return;
    SendMessage(MessageId::TreasurePickUp);
    SendMessage(MessageId::AddPlayerPoints, scoreValue, nullptr);
    SendMessage(MessageId::IncreaseBuffer);
    SendMessage(MessageId::SetPlayerBufferFreeze, 1, nullptr);
    sprite->color[3] = 0.0f;
}
