#include "audio/AudioEventManager.h"

#include <rapidjson/document.h>

#include "core/GameObject.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "world/Collider.h"

namespace {

void FireFromCollision(Component* audioEvents, int trigger)
{
    if (auto* manager = dynamic_cast<AudioEventManager*>(audioEvents))
        manager->HandleTrigger(static_cast<AudioEventTrigger>(trigger));
}

const rapidjson::Value* Member(const rapidjson::Value& object, const char* key)
{
    auto it = object.FindMember(key);
    return it == object.MemberEnd() ? nullptr : &it->value;
}

// The keys a record of each type needs, with the JSON type each one has to be.
enum class Kind { String, Number, Flag };
struct Key {
    const char* name;
    Kind kind;
};

bool HasKind(const rapidjson::Value* value, Kind kind)
{
    if (!value)
        return false;
    switch (kind) {
    case Kind::String: return value->IsString();
    case Kind::Number: return value->IsNumber();
    case Kind::Flag: return value->IsBool() || value->IsNumber();
    }
    return false;
}

bool Flag(const rapidjson::Value& value)
{
    return value.IsBool() ? value.GetBool() : value.IsNumber() && value.GetDouble() > 0.0;
}

std::string Text(const rapidjson::Value& value)
{
    return std::string(value.GetString(), value.GetStringLength());
}

// Reads record `index`; false (traced) when it lacks a key its type needs.
bool ReadRecord(const rapidjson::Value& entry, int index, AudioEventRecord& record)
{
    const std::string where = "Audio event " + std::to_string(index);
    if (!entry.IsObject() || !HasKind(Member(entry, "audioEventType"), Kind::String)) {
        Trace("%s has no \"audioEventType\"; skipped", where.c_str());
        return false;
    }
    const std::string typeName = Text(entry["audioEventType"]);
    if (typeName == "soundEmitter")
        record.type = AudioEventType_SoundEmitter;
    else if (typeName == "changeParameter")
        record.type = AudioEventType_ChangeParameter;
    else if (typeName == "changeGlobalParameter")
        record.type = AudioEventType_ChangeGlobalParameter;
    else {
        Trace("There are no Audio Event Types named, \"%s\", check documentation.", typeName.c_str());
        return true;
    }

    std::vector<Key> keys;
    if (record.type == AudioEventType_SoundEmitter) {
        keys = {{"audioEventID", Kind::String}, {"loopedEvent", Kind::Flag}, {"eventStartTrigger", Kind::String},
                {"spatializedEvent", Kind::Flag}};
        if (HasKind(Member(entry, "loopedEvent"), Kind::Flag) && Flag(entry["loopedEvent"]))
            keys.push_back({"eventStopTrigger", Kind::String});
    } else if (record.type == AudioEventType_ChangeParameter) {
        keys = {{"audioEventID", Kind::String}, {"audioParameterID", Kind::String}, {"parameterValue", Kind::Number},
                {"eventStartTrigger", Kind::String}};
    } else {
        keys = {{"audioParameterID", Kind::String}, {"parameterValue", Kind::Number}, {"eventStartTrigger", Kind::String}};
    }
    for (const Key& key : keys) {
        if (!HasKind(Member(entry, key.name), key.kind)) {
            Trace("%s (%s) lacks a valid \"%s\"; skipped", where.c_str(), typeName.c_str(), key.name);
            return false;
        }
    }

    if (const rapidjson::Value* id = Member(entry, "audioEventID"); id && record.type != AudioEventType_ChangeGlobalParameter)
        record.audioEventID = Text(*id);
    if (record.type == AudioEventType_SoundEmitter) {
        record.loopedEvent = Flag(entry["loopedEvent"]);
        record.eventStartTrigger = AudioEventRecord::ParseTrigger(Text(entry["eventStartTrigger"]));
        if (record.loopedEvent)
            record.eventStopTrigger = AudioEventRecord::ParseTrigger(Text(entry["eventStopTrigger"]));
        record.spatializedEvent = Flag(entry["spatializedEvent"]);
    } else {
        record.audioParameterID = Text(entry["audioParameterID"]);
        record.parameterValue = entry["parameterValue"].GetFloat();
        record.eventStartTrigger = AudioEventRecord::ParseTrigger(Text(entry["eventStartTrigger"]));
    }
    return true;
}

} // namespace

AudioEventManager::AudioEventManager() : Component(ComponentType::AudioEventManager)
{
    Collider::AudioTriggerHook = FireFromCollision;
}

AudioEventManager::~AudioEventManager()
{
    HandleTrigger(AudioEventTrigger_OnDestroy);
}

void AudioEventManager::Init()
{
    HandleTrigger(AudioEventTrigger_OnStart);
}

void AudioEventManager::HandleTrigger(AudioEventTrigger trigger)
{
    for (AudioEventRecord& record : events)
        record.HandleTrigger(trigger);
}

void AudioEventManager::Update(float)
{
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    for (AudioEventRecord& record : events) {
        if (!record.spatializedEvent)
            continue;
        if (transform) {
            record.position.x = transform->TranslationX;
            record.position.y = transform->TranslationY;
        }
        AudioClip clip;
        clip.eventName = record.audioEventID;
        clip.position = {record.position.x, record.position.y, record.position.z, record.position.w};
        record.SendMessage(std::string("Event_Position_Vector"), clip, nullptr);
    }
}

Object* AudioEventManager::Clone()
{
    auto* copy = new AudioEventManager();
    CopyComponentFields(*copy);
    copy->events = events;
    return copy;
}

void AudioEventManager::Read(Stream& stream)
{
    events.clear();
    const int wanted = stream.ReadInt("AudioEventManager", "numberOfAudioEvents");
    const rapidjson::Value* list = stream.data.IsObject() ? Member(stream.data, "AudioEvents") : nullptr;
    if (wanted > 0 && (!list || !list->IsArray())) {
        Trace("Object file lists %d audio events but has no \"AudioEvents\" list; none read", wanted);
        return;
    }
    const int available = list && list->IsArray() ? static_cast<int>(list->Size()) : 0;
    int count = wanted < 0 ? 0 : wanted;
    if (count > available) {
        Trace("numberOfAudioEvents is %d but \"AudioEvents\" holds %d; reading %d", wanted, available, available);
        count = available;
    }
    for (int i = 0; i < count; ++i) {
        AudioEventRecord record;
        if (ReadRecord((*list)[static_cast<rapidjson::SizeType>(i)], i, record))
            events.push_back(record);
    }
}

void AudioEventManager::ExposeFields()
{
    if (!exposed)
        exposed = 1;
}

std::vector<AudioEvent*> AudioEventManager::GetEvents()
{
    std::vector<AudioEvent*> list;
    for (AudioEventRecord& record : events)
        list.push_back(&record);
    return list;
}

AudioEventManager* GameObject::GetAudioEventManager() const
{
    return static_cast<AudioEventManager*>(GetComponent(ComponentType::AudioEventManager));
}
