#include "audio/BehaviorSoundEmitter.h"

#include "audio/AudioEventRecord.h"
#include "core/GameObject.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Transform.h"

BehaviorSoundEmitter::~BehaviorSoundEmitter()
{
    SendMessage(std::string("Event_Stop"), audioEvent.c_str(), nullptr);
    SendMessage(std::string("Event_Destroy"), audioEvent.c_str(), nullptr);
}

Object* BehaviorSoundEmitter::Clone()
{
    return new BehaviorSoundEmitter(*this);
}

void BehaviorSoundEmitter::Read(Stream& stream)
{
    audioEvent = stream.ReadString("Behavior", "audioEvent");
    loopedEvent = stream.ReadBool("Behavior", "loopedEvent");
    eventStartTrigger = stream.ReadInt("Behavior", "eventStartTrigger");
    // Without a stop trigger in the file the emitter keeps "never stops" (-1) rather than reading 0,
    // which would stop a looped sound the moment it starts.
    if (stream.HasMember("Behavior", "eventStopTrigger"))
        eventStopTrigger = stream.ReadInt("Behavior", "eventStopTrigger");
    HandleTrigger(0);
    spatializedEvent = stream.ReadBool("Behavior", "spatializedEvent");
}

void BehaviorSoundEmitter::HandleTrigger(int trigger)
{
    AudioEventRecord::FollowTrigger(*this, audioEvent, loopedEvent, eventStartTrigger == trigger,
                                    eventStopTrigger == trigger, playing);
}

void BehaviorSoundEmitter::OnUpdate(float)
{
    if (!spatializedEvent)
        return;
    if (Transform* transform = owner ? owner->GetTransform() : nullptr) {
        position.x = transform->TranslationX;
        position.y = transform->TranslationY;
    }
    AudioClip clip;
    clip.eventName = audioEvent;
    clip.position = {position.x, position.y, position.z, position.w};
    SendMessage(std::string("Event_Position_Vector"), clip, nullptr);
}

void BehaviorSoundEmitter::OnCollisionEnter(Collider*)
{
    HandleTrigger(1);
}
