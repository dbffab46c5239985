#pragma once
// The chute where treasure is turned in: the player touching it with stored points turns them into
// score ("Add Score"), plays the turn-in sound and has its points cleared.
#include <string>

#include "game/ContactBehavior.h"

class BehaviorDropOff : public ContactBehavior {
public:
    std::string GetName() override { return "BehaviorTemplate"; }
    // Arms the contact reaction when the object has a collider.
    void Init() override;
    Object* Clone() override;
    // "Turn In SFX".
    void Read(Stream& stream) override;

    // Only moves from -1 to 0.
    void OnEnter() override;
    void OnContact(Collider* other) override;

    std::string turnInSound = "Chute_TreasureTurnIn";
};
