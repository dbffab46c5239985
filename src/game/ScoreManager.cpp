#include "game/ScoreManager.h"

#include "core/Trace.h"
#include "game/BehaviorScoreDisplay.h"

ScoreManager* gScoreManager = nullptr;

namespace {
constexpr int MSG_ADD_SCORE = 4;
}

ScoreManager::ScoreManager()
{
    gScoreManager = this;
}

ScoreManager::~ScoreManager()
{
    if (gScoreManager == this)
        gScoreManager = nullptr;
}

void ScoreManager::Init()
{
    display = nullptr;
    total = 0;
    score = 0;
    reserved = 0;
    scoreSum = 0.0f;
    base = 0;
}

void ScoreManager::Update(float)
{
    if (!active)
        return;
    total = base + score;
    if (display)
        display->SetScore(score);
}

void ScoreManager::HandleMessage(Message* message)
{
    if (!active || !message || !message->Is(MSG_ADD_SCORE))
        return;
    if (message->type != MessageType::Int) {
        Trace("ScoreManager: \"Add Score\" carries no whole number; ignored");
        return;
    }
    score += message->number.i;
    scoreSum += static_cast<float>(message->number.i);
    if (display)
        display->SetScore(score);
}
