#pragma once
// A wall the collision pass does not push against (a trigger, or a wall drawn by data): while the
// player overlaps it, the player is blocked on the sides that face it.
#include <string>

#include "game/ContactBehavior.h"

class BehaviorWall : public ContactBehavior {
public:
    std::string GetName() override { return "BehaviorWall"; }
    Object* Clone() override;
    // 27 "Serialize" offers the fields to the editor.
    void HandleMessage(Message* message) override;
    // "Width", "Height".
    void Read(Stream& stream) override;
    void OnContact(Collider* other) override;

    float width = 0.0f;
    float height = 0.0f;
};
