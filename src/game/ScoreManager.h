#pragma once
// Adds up the score turned in during a level ("Add Score") and keeps the on-screen score display,
// when one has registered itself, showing it.
#include <string>

#include "core/ISystem.h"

class BehaviorScoreDisplay;

class ScoreManager : public ISystem {
public:
    // Becomes gScoreManager.
    ScoreManager();
    // Clears gScoreManager when it points here.
    ~ScoreManager() override;

    std::string GetName() override { return "ScoreManager"; }
    // Every field 0 and no display (OnEnable runs it again).
    void Init() override;
    void OnEnable() override { Init(); }
    // Only while active: total := base + score, and the display shows the score.
    void Update(float dt) override;
    void Draw() override {}
    // Only while active: 4 "Add Score" (Int) adds to the score and refreshes the display.
    void HandleMessage(Message* message) override;

    BehaviorScoreDisplay* display = nullptr;   // not owned; the display clears it when it goes
    int total = 0;
    int score = 0;
    int reserved = 0;
    float scoreSum = 0.0f;
    int base = 0;
};

// The score manager made last, or null.
extern ScoreManager* gScoreManager;
