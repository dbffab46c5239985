#pragma once
// The level's battery: a value that starts at the maximum time when the timer enters state 1, is
// lowered by damage and raised by charging (the player writes the value directly), and shows itself
// as a bar that shrinks, changes colour from green through yellow to red, plays the medium-battery
// warning once per discharge and ends the level with "GameOver" when the value falls below zero.
// State 0 is a dark, stopped bar; state 1 the running battery. The first state comes from the
// object's "StateNext".
#include <string>

#include "core/Behavior.h"

// Shared by every timer (the last Read wins).
extern float TimerMaxTime;     // "MaxTime"; always above 0
extern float TimerBarScale;    // the bar's full width: its Transform scale x when read
extern float TimerBarOffset;   // the bar's offset from its parent: its translation x when read
// Puts the three values back to their starting ones (tests).
void ResetTimerGlobals();

class BehaviorTimer : public Behavior {
public:
    static constexpr float DEFAULT_LOW_BATTERY = 0.2f;

    BehaviorTimer() = default;

    std::string GetName() override { return "BehaviorTimer"; }
    // Keeps only the next state and the threshold.
    Object* Clone() override;
    // 5 "Set Countdown" (int; state 1 only) and 8 "AskForTimer" (answered with 9 "ReturnTimer" to the
    // asker, in every state).
    void HandleMessage(Message* message) override;
    // "MaxTime" (above 0, else refused with a trace), then the bar's width and offset from the
    // owner's Transform.
    void Read(Stream& stream) override;
    void ExposeFields() override;

    void OnEnter() override;
    void OnUpdate(float dt) override;

    float value = 0.0f;                         // seconds left
    bool counting = false;
    float maximum = 1.0f;                       // seconds
    float lowBattery = DEFAULT_LOW_BATTERY;     // fraction of the maximum
    bool mediumWarningGiven = false;

private:
    void SetColour(float r, float g, float b);
};
