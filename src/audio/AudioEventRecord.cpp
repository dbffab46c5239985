#include "audio/AudioEventRecord.h"

#include "core/Message.h"
#include "core/Trace.h"

void AudioEventRecord::FollowTrigger(Object& sender, const std::string& event, bool looped, bool isStart,
                                     bool isStop, bool& playing)
{
    if (isStart && !playing) {
        sender.SendMessage(std::string("Event_Play"), event.c_str(), nullptr);
        if (looped)
            playing = true;
        else
            sender.SendMessage(std::string("Event_Destroy"), event.c_str(), nullptr);
    }
    if (isStop && playing) {
        sender.SendMessage(std::string("Event_Stop"), event.c_str(), nullptr);
        sender.SendMessage(std::string("Event_Destroy"), event.c_str(), nullptr);
        playing = false;
    }
}

void AudioEventRecord::HandleTrigger(AudioEventTrigger trigger)
{
    switch (type) {
    case AudioEventType_SoundEmitter:
        FollowTrigger(*this, audioEventID, loopedEvent, eventStartTrigger == trigger, eventStopTrigger == trigger,
                      playing);
        break;
    case AudioEventType_ChangeParameter:
        if (eventStartTrigger == trigger) {
            AudioClip clip;
            clip.eventName = audioEventID;
            clip.paramName = audioParameterID;
            clip.paramValue = parameterValue;
            SendMessage(std::string("Change_Event_Param"), clip, nullptr);
        }
        break;
    case AudioEventType_ChangeGlobalParameter:
        if (eventStartTrigger == trigger) {
            AudioClip clip;
            clip.paramName = audioParameterID;
            clip.paramValue = parameterValue;
            SendMessage(std::string("Change_Global_Param"), clip, nullptr);
        }
        break;
    default:
        break;
    }
}

AudioEventTrigger AudioEventRecord::ParseTrigger(const std::string& name)
{
    for (int trigger = AudioEventTrigger_OnStart; trigger <= AudioEventTrigger_OnCollisionExit; ++trigger) {
        if (name == TriggerName(trigger))
            return static_cast<AudioEventTrigger>(trigger);
    }
    Trace("There are no Audio Event Triggers named, \"%s\", check documentation.", name.c_str());
    return AudioEventTrigger_None;
}
