#pragma once
// One audio command bound to a trigger, as read from an object's "AudioEvents" list and written back
// through a Stream. The record holds data only; firing it belongs to the audio code.
#include <cstdint>
#include <string>

#include "core/Vector4f.h"

enum AudioEventType : int32_t {
    AudioEventType_None = -1,
    AudioEventType_SoundEmitter = 0,
    AudioEventType_ChangeParameter = 1,
    AudioEventType_ChangeGlobalParameter = 2,
};

enum AudioEventTrigger : int32_t {
    AudioEventTrigger_None = -1,
    AudioEventTrigger_OnStart = 0,
    AudioEventTrigger_OnDestroy = 1,
    AudioEventTrigger_OnCollision = 2,
    AudioEventTrigger_OnCollisionExit = 3,
};

class AudioEvent {
public:
    AudioEventType type = AudioEventType_None;
    std::string audioEventID;
    std::string audioParameterID;
    float parameterValue = 0.0f;
    bool loopedEvent = false;
    AudioEventTrigger eventStartTrigger = AudioEventTrigger_None;
    AudioEventTrigger eventStopTrigger = AudioEventTrigger_None;
    bool playing = false;
    bool spatializedEvent = false;
    Vector4f position;

    // "changeParameter" for 1, "changeGlobalParameter" for 2, "soundEmitter" for anything else.
    static const char* TypeName(int32_t type)
    {
        switch (type) {
        case AudioEventType_ChangeParameter: return "changeParameter";
        case AudioEventType_ChangeGlobalParameter: return "changeGlobalParameter";
        default: return "soundEmitter";
        }
    }
    // "onStart", "onDestroy", "onCollision", "onCollisionExit" for 0..3, "invalidTrigger" otherwise.
    static const char* TriggerName(int32_t trigger)
    {
        switch (trigger) {
        case AudioEventTrigger_OnStart: return "onStart";
        case AudioEventTrigger_OnDestroy: return "onDestroy";
        case AudioEventTrigger_OnCollision: return "onCollision";
        case AudioEventTrigger_OnCollisionExit: return "onCollisionExit";
        default: return "invalidTrigger";
        }
    }

    std::string GetTypeName() const { return TypeName(type); }
    std::string GetStartTriggerName() const { return TriggerName(eventStartTrigger); }
    std::string GetStopTriggerName() const { return TriggerName(eventStopTrigger); }
};
