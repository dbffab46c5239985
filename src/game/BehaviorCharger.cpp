#include "game/BehaviorCharger.h"

#include "core/Message.h"
#include "game/BehaviorFields.h"
#include "game/BehaviorPlayer.h"
#include "game/BehaviorTimer.h"

namespace {
const char* const CHARGING_LOOP = "ChargingStation_Charging";
} // namespace

Object* BehaviorCharger::Clone()
{
    auto* copy = new BehaviorCharger();
    CopyContactFields(*copy);
    copy->powerOnSound = powerOnSound;
    copy->powerOffSound = powerOffSound;
    return copy;
}

void BehaviorCharger::Read(Stream& stream)
{
    behaviorfields::OptionalString(stream, "Power On SFX", powerOnSound);
    behaviorfields::OptionalString(stream, "Power Off SFX", powerOffSound);
}

void BehaviorCharger::OnExit()
{
    if (currentState == 0)
        SendMessage(MessageId::EventStop, CHARGING_LOOP, nullptr);
}

void BehaviorCharger::OnCollisionEnter(Collider* other)
{
    if (!behaviorfields::OtherNamed(other, "Player"))
        return;
    SendMessage(MessageId::EventPlay, powerOnSound.c_str(), nullptr);
    AudioClip charge;
    charge.paramName = "Charge";
    BehaviorPlayer* player = behaviorfields::PlayerOf(other);
    if (BehaviorTimer* battery = player ? player->GetTimer() : nullptr)
        charge.paramValue = battery->maximum > 0.0f ? battery->value / battery->maximum : 0.0f;
    SendMessage(std::string("Global_Change_Param"), charge, nullptr);
    SendMessage(std::string("Event_Play_!Destroy"), CHARGING_LOOP, nullptr);
    ContactBehavior::OnCollisionEnter(other);
}

void BehaviorCharger::OnCollisionExit(Collider* other)
{
    if (!behaviorfields::OtherNamed(other, "Player"))
        return;
    SendMessage(MessageId::EventPlay, powerOffSound.c_str(), nullptr);
    SendMessage(MessageId::EventStop, CHARGING_LOOP, nullptr);
}

void BehaviorCharger::OnContact(Collider* other)
{
    if (BehaviorPlayer* player = behaviorfields::PlayerOf(other))
        SendMessage(MessageId::PlayerIncreaseTime, -CHARGE_PER_FRAME, player);
}
