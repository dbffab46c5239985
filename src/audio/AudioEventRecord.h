#pragma once
// One audio command of an object bound to a trigger: the record of an "AudioEvents" list, able to fire.
// It is an Object of its own, so its commands go out with the record as their sender.
#include <string>

#include "core/AudioEvent.h"
#include "core/Object.h"

class AudioEventRecord : public Object, public AudioEvent {
public:
    AudioEventRecord() = default;
    AudioEventRecord(const AudioEventRecord& other) : Object(), AudioEvent(other) {}
    AudioEventRecord& operator=(const AudioEventRecord& other)
    {
        AudioEvent::operator=(other);
        return *this;
    }

    std::string GetName() override { return audioEventID; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}

    // Fires the record for the trigger: a sound starts or stops, or a parameter is set.
    void HandleTrigger(AudioEventTrigger trigger);
    // The trigger named so; -1, traced, for any other name.
    static AudioEventTrigger ParseTrigger(const std::string& name);
    // A sound emitter's answer to a trigger, sent by sender: on its start trigger a sound that is not
    // playing starts (a one-shot is released at once, a looped one plays on); then, on its stop
    // trigger, a playing sound stops and is released.
    static void FollowTrigger(Object& sender, const std::string& event, bool looped, bool isStart, bool isStop,
                              bool& playing);
};
