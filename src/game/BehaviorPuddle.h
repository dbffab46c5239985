#pragma once
// A puddle: the player touching it is stunned (spins) while the contact lasts.
#include <string>

#include "game/ContactBehavior.h"

class BehaviorPuddle : public ContactBehavior {
public:
    std::string GetName() override { return "BehaviorTemplate"; }
    Object* Clone() override;
    void OnContact(Collider* other) override;
};
