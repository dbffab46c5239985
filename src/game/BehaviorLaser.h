#pragma once
// A laser that switches on and off every "TimeActive" seconds (always on when "Persistant"), turning
// slowly when "Rotation" is set. While it is on, touching the player costs battery ("TimeDecrease").
// It learns the player by asking ("Request Player") and reports its distance for the hum's
// parameter. The hum is heard while at least one laser that is on has the player within range.
// States: 0 on, 1 off.
#include <cstdint>
#include <string>

#include "core/GameObjectHandle.h"
#include "game/ContactBehavior.h"

// Squared distance from the player to the nearest laser that is on (set by the laser that last switched
// on, then kept by the nearest one each frame); -1 while not measured.
extern float ClosestLaserDistance;
// The laser that was nearest by that measure (its object).
extern GameObjectHandle ClosestLaser;
// How many lasers are on with the player within hum range. All lasers share one hum: it plays while
// this is above 0 and stops when it falls to 0.
extern int LasersInHumRange;
// What the lasers last asked of the hum: 1 playing, 0 stopped, -1 not yet (a laser's start event may
// have started it; reset when a laser is created).
extern int LaserHumState;
// Puts them all back to their starting values (tests).
void ResetLaserGlobals();

class BehaviorLaser : public ContactBehavior {
public:
    enum State : int { STATE_ON = 0, STATE_OFF = 1 };
    // Radians added to the laser's rotation every frame while it is on and turning.
    static constexpr float TURN_PER_FRAME = 0.01f;
    // The hum's range: squared distances from the player below this.
    static constexpr float HUM_RANGE = 45.0f;

    // Resets ClosestLaserDistance and LaserHumState.
    BehaviorLaser();
    // A laser that goes while counted in hum range leaves the count; the hum's state is forgotten.
    ~BehaviorLaser() override;

    std::string GetName() override { return "BehaviorTemplate"; }
    Object* Clone() override;
    // 27 "Serialize"; then, for messages to everybody or this laser, 1 "Request Return Player".
    void HandleMessage(Message* message) override;
    // "Persistant", "Rotation" (bools), "TimeActive", "TimeDecrease" (floats).
    void Read(Stream& stream) override;

    void OnEnter() override;
    void OnUpdate(float dt) override;
    void OnExit() override;
    void OnContact(Collider* other) override;

    // The player's object while it lives.
    GameObject* GetPlayer() const { return player.Get(); }

    bool persistent = false;
    bool rotating = false;
    float timeActive = 0.0f;
    float timeDecrease = 1.0f;
    bool on = true;
    float phaseTimer = 0.0f;
    GameObjectHandle player;

private:
    void AskForPlayer();
    // Whether this laser is on with the player within hum range; counts it in or out and starts or
    // stops the shared hum when the count reaches or leaves 0.
    void SetInHumRange(bool near);
    // Squared distance to the player; -1 when the player or a transform is missing.
    float DistanceToPlayer() const;
    // While on: becomes ClosestLaser when no laser is, or when nearer than it; as ClosestLaser, keeps
    // ClosestLaserDistance at its own distance.
    void MeasureClosest(float d);
    // As ClosestLaser: leaves it empty (and the distance unmeasured) for the next laser that is on.
    void ForgetAsClosest();
    bool askAgain_ = false;
    bool inHumRange_ = false;
    std::uint32_t measuredId_ = 0;   // the owner's id, once it has been ClosestLaser
};
