#pragma once
// A piece of treasure: touched by the player it posts the pickup messages ("Treasure Pick Up",
// "Add Player Points", "Increase Buffer", "Set Player Buffer Freeze") and hides itself (sprite alpha
// 0), which marks it as picked up and keeps a second touch from counting again.
#include <string>

#include "core/Behavior.h"

class BehaviorCollectable : public Behavior {
public:
    BehaviorCollectable() = default;

    std::string GetName() override { return "Collectable"; }
    // Clears the reserved flag.
    void Init() override;
    Object* Clone() override;
    // 27 "Serialize" (for everybody or for this behaviour) offers the fields to the editor.
    void HandleMessage(Message* message) override;
    // "ScoreValue", "Tier", "Width", "Height"; "NormalChainLength" and "ShortChainLength" are passed
    // on as "NormalChainLengthSet" / "ShortChainLengthSet".
    void Read(Stream& stream) override;

    void OnEnter() override;
    // The pickup.
    void OnCollisionEnter(Collider* other) override;

    int scoreValue = 0;
    int tier = 1;
    bool reserved = false;
    float width = 0.0f;
    float height = 0.0f;
};
