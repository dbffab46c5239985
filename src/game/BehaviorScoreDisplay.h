#pragma once
// An on-screen score: a coin icon drawn every frame and a row of digit objects made from
// "archetypes/Number". The display registers itself with the ScoreManager when it enters a state.
#include <string>
#include <vector>

#include "core/Behavior.h"
#include "core/GameObjectHandle.h"

class BehaviorScoreDisplay : public Behavior {
public:
    BehaviorScoreDisplay() = default;
    // Unregisters from the ScoreManager when registered there.
    ~BehaviorScoreDisplay() override;

    std::string GetName() override { return "BehaviorScoreDisplay"; }
    // No keys: the origin is the owner's translation, the digit width twice its scale x.
    void Read(Stream& stream) override;
    BehaviorScoreDisplay* Clone() override;

    // Forgets the digit objects (they stay) and registers with the ScoreManager; without a state
    // yet, state 0 is chosen.
    void OnEnter() override;
    void OnExit() override;
    // Queues the coin icon.
    void OnUpdate(float dt) override;

    // Lays out the digits of n, reusing the listed digit objects and making the missing ones.
    void SetScore(int n);

    std::vector<GameObjectHandle> digits;   // left to right; owned by the GameObjectManager
    float originX = 0.0f;
    float originY = 0.0f;
    float digitWidth = 0.0f;

private:
    bool numberMissing_ = false;   // "archetypes/Number" was not found (reported once)
};
