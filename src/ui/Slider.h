#pragma once
// A script-free horizontal slider: a thin line (the owner's sprite) and a round knob (an object made
// from the "Circle" archetype) that the mouse drags, giving a value from 0 (left end) to 1 (right
// end). A press on the line moves the knob there, so a click sets the value at the cursor. A value
// set by a drag or a click is traced and written back into the menu file as "StartingPercentage".
#include <string>

#include "core/Behavior.h"
#include "core/GameObjectHandle.h"

class Stream;

class Slider : public Behavior {
public:
    Slider() = default;
    Slider(const Slider& other);
    // Asks the knob this slider made to be destroyed (not while the manager is clearing everything).
    ~Slider() override;

    std::string GetName() override { return "Slider"; }
    Slider* Clone() override { return new Slider(*this); }

    // "StartingPercentage" (clamped to 0..1) and the line and knob tints of entry index.
    void ReadMenuObject(Stream& stream, int index);

    void OnEnter() override;
    void OnUpdate(float dt) override;

    GameObject* GetKnob() const { return knob.Get(); }

    float value = 0.5f;
    float lineTint[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float circleTint[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    GameObjectHandle knob;

private:
    bool ownsKnob = false;  // only the slider that made the knob deletes it
};
