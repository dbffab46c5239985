#pragma once
// The player character. Each frame it steers its object from the player's input actions, reveals the
// fog around it, pings the room's treasure on SPACE, drives its battery (a BehaviorTimer found with
// "AskForTimer" / "ReturnTimer") through damage and charging, blinks red while invincible after a
// hit, and keeps its eyes (the child "PlayerEyes") on its heading. It keeps the points of picked-up
// treasure until they are turned in.
//
// States: -1 not started, 0 idle, 1 moving, 2 idle with a low battery, 3 moving with a low battery,
// 4 stunned, 5 on stairs.
#include <string>
#include <vector>

#include "core/Behavior.h"
#include "core/GameObjectHandle.h"

class BehaviorTimer;

// The last laser distance reported to the player, 0..1 (the hum's "Distance" parameter).
extern float LaserHumDistance;
// Developer switch: the battery can't run out and lasers don't hurt. Cleared whenever a player
// behaviour is made.
extern bool TimerInvincible;
// Puts both back to their starting values (tests).
void ResetPlayerGlobals();

class BehaviorPlayer : public Behavior {
public:
    enum State : int {
        STATE_IDLE = 0,
        STATE_MOVING = 1,
        STATE_IDLE_LOW = 2,
        STATE_MOVING_LOW = 3,
        STATE_STUNNED = 4,
        STATE_STAIRS = 5,
    };
    // The eyes sit this far ahead of the player's centre, along its heading.
    static constexpr float EYES_OFFSET = 0.19f;

    BehaviorPlayer();
    // Copies every field (the timer included); clears TimerInvincible.
    BehaviorPlayer(const BehaviorPlayer& other);
    ~BehaviorPlayer() override;

    std::string GetName() override { return "BehaviorPlayer"; }
    Object* Clone() override;
    void HandleMessage(Message* message) override;
    void Read(Stream& stream) override;
    void ExposeFields() override;

    void OnEnter() override;
    void OnUpdate(float dt) override;
    // Leaving a "Charging Station" clears the charged flag.
    void OnCollisionExit(Collider* other) override;

    // The battery while its object lives; null before "ReturnTimer" and after the timer is gone.
    BehaviorTimer* GetTimer() const;
    // The labels the editor shows for the fields.
    static const std::vector<std::string>& EditorLabels();

    int playerId = 0;
    float rotationSpeed = 100.0f;      // degrees per second
    bool stunned = false;
    bool onStairs = false;
    int stairsDirection = 0;           // 0 down, 1 up, 2 right, 3 left
    GameObjectHandle timerObject;      // the object of the battery
    float baseSpeed = 2.0f;
    float stairsSpeed = 2.0f;
    float speedDecreaseRate = 0.1f;
    int storedPoints = 0;
    bool bufferFrozen = false;
    bool charged = false;
    std::string damageSound = "Player_Damage";
    std::string slipSound = "Puddle_Slip";
    std::string mediumBatterySound = "Player_BatteryMedium";
    std::string lowBatterySound = "Player_BatteryLow";
    std::string finishChargeSound = "ChargingStation_Ding";
    bool invincible = false;
    float invincibleTimer = 0.0f;      // seconds left
    float invincibleTime = 0.0f;       // "InvincibleTimer"

private:
    void Turn();
    void Drive(float speed);
    void BatteryCheck(BehaviorTimer& battery);
    void Invincibility(float dt, BehaviorTimer* battery);
    void DebugKeys();
    void PlaceEyes();
    bool ActionDown(int action) const;
    // The medium warning may sound again once a recharge lifts the battery above half.
    static void RearmMediumWarning(BehaviorTimer& battery, float amount);
};
