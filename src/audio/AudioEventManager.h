#pragma once
// The component (type 7) holding an object's audio-event records: it fires "onStart" when its object
// starts, "onDestroy" when it goes, and the collision triggers the collision pass hands it; spatialized
// records send their object's position every frame.
#include <vector>

#include "audio/AudioEventRecord.h"
#include "core/Component.h"

class AudioEventManager : public Component {
public:
    // Lets the collision pass reach the records.
    AudioEventManager();
    // Fires "onDestroy" on every record, in order.
    ~AudioEventManager() override;

    std::string GetName() override { return "AudioEventManager"; }
    // Fires "onStart" on every record, in order.
    void Init() override;
    void Update(float dt) override;
    void Draw() override {}
    Object* Clone() override;
    // "AudioEventManager" {"numberOfAudioEvents"} and the root list "AudioEvents"; replaces the records.
    void Read(Stream& stream) override;
    void ExposeFields() override;

    void HandleTrigger(AudioEventTrigger trigger);
    // For the writers.
    std::vector<AudioEvent*> GetEvents();

    std::vector<AudioEventRecord> events;
};
