#pragma once
// The elevator exit. While the player stands in it the door counts "Timer" seconds down on its
// counter (a child "ExitDoorCounter" it finds or makes), then "Door Timer" seconds more while the doors
// open, then requests the scene "Win". Leaving it stops the count; the next visit starts over.
#include <string>

#include "core/GameObjectHandle.h"
#include "game/ContactBehavior.h"

class BehaviorExitDoor : public ContactBehavior {
public:
    std::string GetName() override { return "BehaviorExitDoor"; }
    Object* Clone() override;
    // 27 "Serialize" offers the fields to the editor.
    void HandleMessage(Message* message) override;
    // "Timer", and "Door Timer" when present; both countdowns start from "Timer".
    void Read(Stream& stream) override;

    // The first state comes from the data ("StateNext"); entering 0 arms the contact reaction.
    void OnEnter() override;
    void OnUpdate(float dt) override;
    // Only the object named "Player" activates the door.
    void OnContact(Collider* other) override;

    // The counter child while it lives (null before the first update).
    GameObject* GetCounter() const { return counter.Get(); }

    float timerSetting = 0.0f;      // "Timer"
    float doorTimerSetting = 1.0f;  // "Door Timer"
    float countdown = 0.0f;
    bool activated = false;
    float doorCountdown = 0.0f;
    GameObjectHandle counter;

private:
    GameObject* FindOrMakeCounter();
};
