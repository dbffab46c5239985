#pragma once
// A behaviour that plays one audio event: trigger 0 fires when it is read, trigger 1 on each collision
// enter. It can follow its object in 3D, and stops and releases its event when it goes.
#include <string>

#include "core/Behavior.h"
#include "core/Vector4f.h"

class BehaviorSoundEmitter : public Behavior {
public:
    BehaviorSoundEmitter() = default;
    BehaviorSoundEmitter(const BehaviorSoundEmitter& other) = default;
    // Sends "Event_Stop" and "Event_Destroy" with its event, playing or not.
    ~BehaviorSoundEmitter() override;

    std::string GetName() override { return "BehaviorSoundEmitter"; }
    Object* Clone() override;
    // "audioEvent", "loopedEvent", "eventStartTrigger", "eventStopTrigger" of the "Behavior" block, then
    // trigger 0, then "spatializedEvent".
    void Read(Stream& stream) override;
    void OnUpdate(float dt) override;
    void OnCollisionEnter(Collider* other) override;

    void HandleTrigger(int trigger);

    std::string audioEvent;
    bool loopedEvent = false;
    int eventStartTrigger = 0;
    int eventStopTrigger = -1;
    bool playing = false;
    bool spatializedEvent = false;
    Vector4f position;
};
