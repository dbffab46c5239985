#pragma once
// Stairs: the player touching them is carried along "Direction" (0 down, 1 up, 2 right, 3 left) at its
// own speed while the contact lasts.
#include <string>

#include "game/ContactBehavior.h"

class BehaviorStairs : public ContactBehavior {
public:
    std::string GetName() override { return "BehaviorStairs"; }
    Object* Clone() override;
    // "Direction", 0..3 (anything else is traced and read as 0).
    void Read(Stream& stream) override;
    void OnContact(Collider* other) override;

    int direction = 0;
};
