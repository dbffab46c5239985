#pragma once
// A charging station. While the player touches it the battery is raised every frame ("Player Increase
// Time" with -0.075); touching and leaving it play the power-on and power-off sounds and start and
// stop the charging loop, whose "Charge" parameter follows the battery.
#include <string>

#include "game/ContactBehavior.h"

class BehaviorCharger : public ContactBehavior {
public:
    // The battery rises by this much per frame of contact.
    static constexpr float CHARGE_PER_FRAME = 0.075f;

    std::string GetName() override { return "BehaviorCharger"; }
    Object* Clone() override;
    // "Power On SFX", "Power Off SFX", each when present.
    void Read(Stream& stream) override;

    void OnExit() override;
    void OnCollisionEnter(Collider* other) override;
    void OnCollisionExit(Collider* other) override;
    void OnContact(Collider* other) override;

    std::string powerOnSound = "ChargingStaion_PowerOn";
    std::string powerOffSound = "ChargingStaion_PowerOff";
};
