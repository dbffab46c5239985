#pragma once
// A one-way ledge: while the player overlaps it, the player is blocked on the sides its flags name, so
// it can cross only one way ("TowardsLeft" blocks moving right, "TowardsRight" left, "TowardsDown" up,
// "TowardsUp" down).
#include <string>

#include "game/ContactBehavior.h"

class BehaviorLedge : public ContactBehavior {
public:
    // The rectangles must overlap by more than this on both axes.
    static constexpr float MIN_OVERLAP = 0.01f;

    std::string GetName() override { return "BehaviorLedge"; }
    Object* Clone() override;
    void Read(Stream& stream) override;
    void OnContact(Collider* other) override;

    bool towardsLeft = false;
    bool towardsUp = false;
    bool towardsDown = false;
    bool towardsRight = false;
};
