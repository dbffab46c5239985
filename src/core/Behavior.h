#pragma once
// The base of every component that runs a small state machine: the game's behaviours, the scripted
// behaviour, the sound emitter and the menu widgets. The shared Update switches state (OnExit on the
// old state, OnEnter on the new one), counts the timer down and calls OnUpdate.
#include <string>
#include <vector>

#include "core/Component.h"

class Collider;
class Stream;

class Behavior : public Component {
public:
    static constexpr int NO_STATE = -1;

    // Component type 4, no owner, both states -1, timer 0.
    Behavior();
    ~Behavior() override = default;

    void Init() override {}
    // When the next state differs from the current one, or there is no current state yet: OnExit,
    // current = next, OnEnter. Then timer -= dt (not clamped) and OnUpdate(dt).
    void Update(float dt) override;
    void Draw() override {}
    // Behaviours read their own settings from the "Behavior" block; the base reads nothing.
    void Read(Stream&) override {}
    // Sets the exposed flag the first time.
    void ExposeFields() override;

    // The current state is already the new one.
    virtual void OnEnter() {}
    virtual void OnUpdate(float) {}
    // The current state is still the old one.
    virtual void OnExit() {}
    // Called by the collision pass with the other object's collider.
    virtual void OnCollisionEnter(Collider*) {}
    virtual void OnCollisionStay(Collider*) {}
    virtual void OnCollisionExit(Collider*) {}

    int GetCurrentState() const { return currentState; }
    int GetNextState() const { return nextState; }
    void SetNextState(int state) { nextState = state; }
    float GetTimer() const { return timer; }
    void SetTimer(float seconds) { timer = seconds; }

    int currentState = NO_STATE;
    int nextState = NO_STATE;
    float timer = 0.0f;  // seconds; decreased by dt every update, may go negative
};

// Makes a new behaviour of one class.
using BehaviorMaker = Behavior* (*)();
// Adds a "BehaviorType" name; registering a name again replaces its maker. The program registers
// every name at start-up (app/DataNames).
void RegisterBehavior(const std::string& typeName, BehaviorMaker make);
// The registered "BehaviorType" names, in registration order.
std::vector<std::string> RegisteredBehaviorNames();
// Makes a behaviour from the "BehaviorType" name of an object file; null for a name that is not one of
// the registered behaviour classes (no report: the caller tries the object factory next).
Behavior* CreateBehaviorByName(const std::string& typeName);
