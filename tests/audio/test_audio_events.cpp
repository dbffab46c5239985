// The audio pieces of game objects: AudioEventManager records and their triggers, AudioListener and
// BehaviorSoundEmitter, read from object files and seen through the commands they post.
#include <gtest/gtest.h>

#include "CoreEngine.h"
#include "FolderTest.h"
#include "audio/AudioEventManager.h"
#include "audio/AudioListener.h"
#include "audio/BehaviorSoundEmitter.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Transform.h"
#include "world/Collider.h"

using namespace testsupport;

namespace {

class AudioEvents : public FolderTest {
protected:
    // Builds archetypes/<name> from the given JSON members and returns the registered object.
    GameObject* Make(const std::string& name, const std::string& members)
    {
        folder.Write("assets/data/archetypes/" + name + ".json",
                     R"({"Name": ")" + name + R"(", "Transform": {"TranslationX": 2.0, "TranslationY": 3.0}, )" +
                         members + "}");
        GameObject* object = nullptr;
        trace += CaptureConsole([&] { object = core.factory->CreateGameObject("archetypes/" + name, true); });
        return object;
    }
    // Delivers and returns the commands seen since the last call, as "Name text/event param value".
    std::vector<std::string> Commands()
    {
        trace += CaptureConsole([&] { core.Deliver(); });
        std::vector<std::string> out;
        for (const SeenMessage& m : core.recorder->seen) {
            if (m.type == MessageType::AudioClip)
                out.push_back(m.name + " " + m.clip.eventName + " " + m.clip.paramName + " " +
                              std::to_string(static_cast<int>(m.clip.paramValue)) + " " +
                              std::to_string(static_cast<int>(m.clip.position[0])));
            else if (m.type == MessageType::Vector)
                out.push_back(m.name + " " + std::to_string(static_cast<int>(m.vector[0])) + " " +
                              std::to_string(static_cast<int>(m.vector[1])));
            else if (m.name.find("Event_") == 0)
                out.push_back(m.name + " " + m.text);
        }
        core.recorder->Clear();
        return out;
    }

    CoreEngine core;
    std::string trace;
};

using Lines = std::vector<std::string>;

TEST_F(AudioEvents, RecordsFireOnTheirTriggers)
{
    GameObject* object = Make("Speaker", R"(
        "AudioEventManager": {"numberOfAudioEvents": 6},
        "AudioEvents": [
            {"audioEventType": "soundEmitter", "audioEventID": "Hum", "loopedEvent": 1,
             "eventStartTrigger": "onStart", "eventStopTrigger": "onDestroy", "spatializedEvent": true},
            {"audioEventType": "soundEmitter", "audioEventID": "Bump", "loopedEvent": false,
             "eventStartTrigger": "onCollision", "spatializedEvent": false},
            {"audioEventType": "changeParameter", "audioEventID": "Hum", "audioParameterID": "Distance",
             "parameterValue": 1.0, "eventStartTrigger": "onCollision"},
            {"audioEventType": "changeGlobalParameter", "audioParameterID": "Charge", "parameterValue": 3.0,
             "eventStartTrigger": "onCollisionExit"},
            {"audioEventType": "soundEmitter", "audioEventID": "Odd", "loopedEvent": false,
             "eventStartTrigger": "onLanding", "spatializedEvent": false},
            {"audioEventType": "shout"}
        ])");
    ASSERT_NE(object, nullptr);
    ASSERT_NE(object->GetAudioEventManager(), nullptr) << trace;
    EXPECT_TRUE(Contains(trace, "There are no Audio Event Triggers named, \"onLanding\", check documentation."));
    EXPECT_TRUE(Contains(trace, "There are no Audio Event Types named, \"shout\", check documentation."));
    EXPECT_EQ(object->GetAudioEventManager()->events.size(), 6u) << "every record is kept, valid or not";
    EXPECT_EQ(Commands(), Lines({"Event_Play Hum"}));

    core.manager->Update(0.0f);
    EXPECT_EQ(Commands(), Lines({"Event_Position_Vector Hum  0 2"}));
    ASSERT_NE(Collider::AudioTriggerHook, nullptr);
    Collider::AudioTriggerHook(object->GetAudioEventManager(), AudioEventTrigger_OnCollision);
    Collider::AudioTriggerHook(object->GetAudioEventManager(), AudioEventTrigger_OnCollisionExit);
    EXPECT_EQ(Commands(), Lines({"Event_Play Bump", "Event_Destroy Bump", "Change_Event_Param Hum Distance 1 0",
                                 "Change_Global_Param  Charge 3 0"}));

    // A clone keeps the playing flag, so its own start does nothing until it is stopped.
    GameObject* clone = core.factory->CloneAndRegister(object);
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(clone->GetAudioEventManager()->events[0].playing);
    core.manager->ClearGameObjects();
    Lines gone = Commands();
    EXPECT_EQ(std::count(gone.begin(), gone.end(), "Event_Stop Hum"), 2);
    EXPECT_EQ(std::count(gone.begin(), gone.end(), "Event_Play Hum"), 0);
}

TEST_F(AudioEvents, BrokenRecordsAreSkippedWithATrace)
{
    struct Case {
        const char* members;
        std::size_t records;
        const char* traced;
    };
    const Case cases[] = {
        {R"("AudioEventManager": {"numberOfAudioEvents": 3}, "AudioEvents": [{"audioEventType": "changeGlobalParameter",
            "audioParameterID": "Paused", "parameterValue": 1, "eventStartTrigger": "onStart"}])",
         1, "numberOfAudioEvents is 3 but \"AudioEvents\" holds 1; reading 1"},
        {R"("AudioEventManager": {"numberOfAudioEvents": 1}, "AudioEvents": [{"audioEventType": "soundEmitter",
            "audioEventID": 4, "loopedEvent": true, "eventStartTrigger": "onStart", "spatializedEvent": false}])",
         0, "lacks a valid \"audioEventID\"; skipped"},
        {R"("AudioEventManager": {"numberOfAudioEvents": 2}, "AudioEvents": {"audioEventType": 1})", 0,
         "has no \"AudioEvents\" list"},
        {R"("AudioEventManager": {"numberOfAudioEvents": 1}, "AudioEvents": [7])", 0, "has no \"audioEventType\""},
    };
    int n = 0;
    for (const Case& c : cases) {
        trace.clear();
        GameObject* object = Make("Broken" + std::to_string(n++), c.members);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->GetAudioEventManager()->events.size(), c.records) << c.members;
        EXPECT_TRUE(Contains(trace, c.traced)) << trace;
    }
}

TEST_F(AudioEvents, NumericFlagsAreSetAboveZero)
{
    // The same number as "loopedEvent" and "spatializedEvent": a looped sound plays on and a
    // spatialized one sends its position; otherwise the sound is released at once and stays put.
    const struct {
        const char* flag;
        bool set;
    } cases[] = {{"0", false}, {"1", true}, {"2", true}, {"-1", false}};
    int n = 0;
    for (const auto& c : cases) {
        GameObject* object = Make("Flags" + std::to_string(n++),
                                  std::string(R"("AudioEventManager": {"numberOfAudioEvents": 1}, "AudioEvents": [
            {"audioEventType": "soundEmitter", "audioEventID": "Tick", "eventStartTrigger": "onStart",
             "eventStopTrigger": "onDestroy", "loopedEvent": )") +
                                      c.flag + R"(, "spatializedEvent": )" + c.flag + "}]");
        ASSERT_EQ(object->GetAudioEventManager()->events.size(), 1u) << trace;
        EXPECT_EQ(Commands(), c.set ? Lines({"Event_Play Tick"}) : Lines({"Event_Play Tick", "Event_Destroy Tick"}))
            << c.flag;
        object->GetAudioEventManager()->Update(0.0f);
        EXPECT_EQ(Commands(), c.set ? Lines({"Event_Position_Vector Tick  0 2"}) : Lines({})) << c.flag;
    }
}

TEST_F(AudioEvents, ListenerAndSoundEmitter)
{
    GameObject* listener = Make("Ears", R"("AudioListener": {})");
    ASSERT_NE(listener->GetAudioListener(), nullptr);
    GameObject* emitter = Make("Radio", R"("Behavior": {"BehaviorType": "BehaviorSoundEmitter",
        "audioEvent": "Tune", "loopedEvent": true, "eventStartTrigger": 0, "eventStopTrigger": 1,
        "spatializedEvent": true})");
    ASSERT_NE(dynamic_cast<BehaviorSoundEmitter*>(emitter->GetBehavior()), nullptr);
    EXPECT_EQ(Commands(), Lines({"Event_Play Tune"})) << "trigger 0 fires while the file is read";
    listener->GetTransform()->TranslationX = 7.0f;
    core.manager->Update(1.0f / 60.0f);
    EXPECT_EQ(Commands(), Lines({"studioListener_PositionVector 7 3", "Event_Position_Vector Tune  0 2"}));
    emitter->GetBehavior()->OnCollisionEnter(nullptr);
    EXPECT_EQ(Commands(), Lines({"Event_Stop Tune", "Event_Destroy Tune"}));
    emitter->GetBehavior()->OnCollisionEnter(nullptr);
    EXPECT_EQ(Commands(), Lines({})) << "stopped, not playing: trigger 1 only stops";
    core.manager->ClearGameObjects();
    EXPECT_EQ(Commands(), Lines({"Event_Stop Tune", "Event_Destroy Tune"}));
}

} // namespace
