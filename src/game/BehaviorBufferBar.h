#pragma once
// The pickup buffer: a pickup ("Increase Buffer") fills it and pauses the battery's countdown, damage
// ("Zero Buffer") empties it, lifts the player's buffer freeze and resumes the countdown. The buffer
// is never counted down; it acts through the messages it sends.
#include <string>

#include "core/Behavior.h"
#include "core/Transform.h"

class Mesh;

// Shared by every buffer bar, read from its "Behavior" block (the last Read wins).
extern float BufferMaxTime;      // "MaxTime"
extern float BufferIncrement;    // "TimerIncrementOnPickup"
extern float BufferCircleRadius; // "CircleRadius" (kept, not used)
extern int BufferNumSegments;    // "NumSegments" (kept, not used)
extern float BufferSegmentScaleX;
extern float BufferSegmentScaleY;
// Puts the shared values back to their starting ones (tests).
void ResetBufferBarGlobals();

class BehaviorBufferBar : public Behavior {
public:
    BehaviorBufferBar();

    std::string GetName() override { return "BehaviorBufferBar"; }
    // Looks the "empty_mesh" up when the graphics library is there.
    void Init() override;
    Object* Clone() override;
    // 6 "Increase Buffer" and 23 "Zero Buffer", whatever their target.
    void HandleMessage(Message* message) override;
    void Read(Stream& stream) override;

    void OnEnter() override;

    float buffer;             // seconds
    bool reserved = true;
    Mesh* mesh = nullptr;     // owned by the graphics library
    Transform transform;      // a transform of its own, attached to no object
};
