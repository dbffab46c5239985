// StudioSystem over the studio layer (silent output): the shipped banks, the command table, the player's
// movement sounds, the credits music, the lookups' byte order, and broken sound data.
#include <gtest/gtest.h>

#include "CoreEngine.h"
#include "FolderTest.h"
#include "TestObjects.h"
#include "audio/StudioSystem.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "platform/studio/Studio.h"
#include "world/Physics.h"
#include "world/Scene.h"
#include "world/SceneSystem.h"

using namespace testsupport;
namespace inspect = studio::inspect;

namespace {

// An engine with the core systems and a StudioSystem reading the data of the working folder.
struct AudioWorld {
    AudioWorld()
    {
        inspect::SetSilentClockStep(0.1f);
        inspect::ClearCallLog();
        loadTrace = CaptureConsole([&] {
            studioSystem = new StudioSystem();
            core.engine->AddSystem(studioSystem);
            studioSystem->Init();
        });
    }
    ~AudioWorld() { inspect::SetSilentClockStep(0.0f); }
    void Send(const std::string& name, const std::string& text)
    {
        core.engine->SendMessage(name, text.c_str(), nullptr);
    }
    void Send(const std::string& name, const AudioClip& clip) { core.engine->SendMessage(name, clip, nullptr); }
    std::string Run(const std::function<void()>& action)
    {
        return CaptureConsole([&] {
            action();
            core.Deliver();
        });
    }
    int Starts(const std::string& event) { return inspect::CountCalls("EventInstance::start " + event); }

    CoreEngine core;
    StudioSystem* studioSystem = nullptr;
    std::string loadTrace;
};

AudioClip Param(const std::string& event, const std::string& parameter, float value)
{
    AudioClip clip;
    clip.eventName = event;
    clip.paramName = parameter;
    clip.paramValue = value;
    return clip;
}

const char* const kInventory[] = {
    "Music_Controller", "Ambience_RoomTone", "Player_Idle", "Player_Movement", "Player_Turning", "Player_Motor",
    "Player_Ping", "Player_Damage", "Player_BatteryMedium", "Player_BatteryLow", "Player_Content", "Player_Happy",
    "Player_Collision", "Puddle_Slip", "ChargingStaion_PowerOn", "ChargingStaion_PowerOff",
    "ChargingStation_Charging", "ChargingStation_Ding", "Obstacle_LaserHum", "Elevator_Countdown",
    "Chute_TreasureTurnIn", "Menu_ButtonHover", "Menu_PauseOn", "Trans_ConfettiStinger", "Trans_LogoSkip",
    "Dance_Twirl", "Dance_Clap", "Dance_Finale"};

TEST(StudioSystemShipped, LoadsEveryBankAndResolvesTheWholeInventory)
{
    AudioWorld world;
    if (!inspect::HasDevice()) {
        EXPECT_TRUE(Contains(world.loadTrace, "Studio: no audio device could be opened; sound is silent\n"));
    }
    EXPECT_TRUE(Contains(world.loadTrace, "Successfully opened from file path assets/data/audio/GUIDs.txt\n"));
    for (const char* bank : {"Master", "Music", "SFX"})
        EXPECT_TRUE(Contains(world.loadTrace, std::string(bank) + " bank successfully read and added to list of banks!"));
    const std::string played = world.Run([&] {
        for (const char* event : kInventory) {
            world.Send("Event_Play", event);
            world.Send("Event_Destroy", event);
        }
        for (const char* bus : {"", "Music", "SFX", "Ambience"})
            world.Send("Set_Bus_Mute", bus);
        for (const char* global : {"Paused", "PickUp_Chain", "Charge", "MusicSlider", "SFXSlider"})
            EXPECT_GE(inspect::GlobalParameter(global), 0.0f) << global;
    });
    EXPECT_FALSE(Contains(played, "Couldn't find")) << played;
    int starts = 0;
    for (const std::string& call : inspect::CallLog())
        starts += call.rfind("EventInstance::start event:/", 0) == 0 ? 1 : 0;
    EXPECT_EQ(starts, static_cast<int>(std::size(kInventory)));
    EXPECT_EQ(inspect::CountCalls("Bus::setMute bus:/ true"), 1);
    // No key of a registry contains another: a name finds its own entry.
    for (const auto& [key, handle] : gEventDescriptions)
        EXPECT_EQ(StudioSystem::FindEventDescription(key), handle) << key;
    for (const auto& [key, handle] : gBuses)
        EXPECT_EQ(StudioSystem::FindBus(key), handle) << key;
}

TEST(StudioSystemShipped, CommandTableAndAliases)
{
    AudioWorld world;
    // Play twice: one instance, two starts. Destroy, then play: a new instance.
    world.Run([&] {
        world.Send("Event_Play", "Obstacle_LaserHum");
        world.Send("Event_Play", "Obstacle_LaserHum");
    });
    ASSERT_EQ(inspect::InstancesOf("Obstacle_LaserHum").size(), 1u);
    EXPECT_EQ(inspect::InstancesOf("Obstacle_LaserHum")[0].starts, 2);
    const std::uint64_t first = inspect::InstancesOf("Obstacle_LaserHum")[0].id;
    world.Run([&] {
        world.Send("Event_Change_Param", Param("Obstacle_LaserHum", "Distance", 0.5f));
        AudioClip at = Param("Obstacle_LaserHum", "", 0.0f);
        at.position = {3.0f, 4.0f, 0.0f, 0.0f};
        world.Send("Event_Position_Vector", at);
    });
    auto hum = inspect::InstancesOf("Obstacle_LaserHum");
    EXPECT_FLOAT_EQ(hum[0].parameters["Distance"], 0.5f);
    EXPECT_FLOAT_EQ(hum[0].attributes.position.x, -3.0f);
    EXPECT_FLOAT_EQ(hum[0].attributes.position.y, 4.0f);
    world.Run([&] {
        world.Send("Event_StopDestroy", "Obstacle_LaserHum");
        world.Send("Event_Play_!Destroy", "Obstacle_LaserHum");
    });
    hum = inspect::InstancesOf("Obstacle_LaserHum");
    ASSERT_EQ(hum.size(), 2u) << "the released one is freed at the next update";
    EXPECT_NE(hum[1].id, first);
    EXPECT_TRUE(gEventInstances.count("Obstacle_LaserHum"));
    world.studioSystem->Update(0.0f);
    EXPECT_EQ(inspect::InstancesOf("Obstacle_LaserHum").size(), 1u);

    // A parameter sent every frame to an instance that is gone is told once, and again only after an
    // instance has existed in between.
    const std::string missing = "Instance, \"Obstacle_LaserHum\" does not exist.\n";
    auto humFrames = [&] {
        return world.Run([&] {
            for (int f = 0; f < 30; ++f)
                world.Send("Change_Event_Param", Param("Obstacle_LaserHum", "Distance", 0.5f));
        });
    };
    world.Run([&] { world.Send("Event_StopDestroy", "Obstacle_LaserHum"); });
    EXPECT_EQ(humFrames() + humFrames(), missing);
    for (const char* make : {"Event_Play", "Event_CreateInstance"}) {
        world.Run([&] {
            world.Send(make, "Obstacle_LaserHum");
            world.Send("Event_StopDestroy", "Obstacle_LaserHum");
        });
        EXPECT_EQ(humFrames(), missing) << make;
    }

    // Mute toggles; Force_Pause pauses Music and SFX only; the listener is at (-X, Y).
    world.Run([&] {
        world.Send("Set_Bus_Mute", "Music");
        world.Send("Force_Pause", "");
        world.core.engine->SendMessage(std::string("studioListener_PositionVector"), 5.0f, 6.0f, 0.0f, 0.0f, nullptr);
        world.Send("Global_Change_Param", Param("", "Charge", 0.75f));
    });
    EXPECT_TRUE(inspect::BusState("bus:/Music").mute);
    for (const auto& [bus, paused] : std::map<std::string, bool>{
             {"bus:/Music", true}, {"bus:/SFX", true}, {"bus:/Ambience", false}, {"bus:/", false}})
        EXPECT_EQ(inspect::BusState(bus).paused, paused) << bus;
    EXPECT_FLOAT_EQ(inspect::GlobalParameter("Charge"), 0.75f);
    world.studioSystem->Update(0.0f);
    EXPECT_FLOAT_EQ(inspect::Listener().position.x, -5.0f);
    EXPECT_FLOAT_EQ(inspect::Listener().position.y, 6.0f);
    world.Run([&] {
        world.Send("Set_Bus_Mute", "Music");
        world.Send("Force_Unpause", "");
    });
    EXPECT_FALSE(inspect::BusState("bus:/Music").mute);
    EXPECT_FALSE(inspect::BusState("bus:/SFX").paused);
    EXPECT_FLOAT_EQ(StudioSystem::GetMixerVolume("Music"), 10.0f);
    EXPECT_FLOAT_EQ(StudioSystem::GetMixerVolume("music"), 0.0f);
    // Each bus reads its own slider.
    world.Run([&] {
        world.Send("Change_Global_Param", Param("", "MusicSlider", 3.0f));
        world.Send("Change_Global_Param", Param("", "SFXSlider", 7.0f));
    });
    EXPECT_FLOAT_EQ(StudioSystem::GetMixerVolume("Music"), 3.0f);
    EXPECT_FLOAT_EQ(StudioSystem::GetMixerVolume("SFX"), 7.0f);

    // Credits: the music's state is kept and given back; without an instance it comes back as 0.
    world.Run([&] { world.Send("Event_Play", "Music_Controller"); });
    world.Run([&] { world.Send("Change_Event_Param", Param("Music_Controller", "GameState", 2.0f)); });
    world.studioSystem->Update(0.0f);
    EXPECT_EQ(inspect::InstancesOf("Music_Controller")[0].variation, 2) << "GameState picks the music";
    world.Run([&] { world.Send("EnterCreditsAudio", ""); });
    EXPECT_FLOAT_EQ(inspect::InstancesOf("Music_Controller")[0].parameters["GameState"], 4.0f);
    world.Run([&] { world.Send("ExitCreditsAudio", ""); });
    EXPECT_FLOAT_EQ(inspect::InstancesOf("Music_Controller")[0].parameters["GameState"], 2.0f);
}

TEST(StudioSystemShipped, OneShotsFinishBeforeTheyAreFreedAndLoopsEndWithTheirParameter)
{
    AudioWorld world;
    world.Run([&] {
        world.Send("Event_Play", "Player_Ping");   // 0.8 s
        world.Send("Event_Destroy", "Player_Ping");
        world.Send("Event_Play", "Player_Movement");
    });
    ASSERT_EQ(inspect::InstancesOf("Player_Ping").size(), 1u);
    EXPECT_TRUE(inspect::InstancesOf("Player_Ping")[0].released);
    for (int i = 0; i < 5; ++i)
        world.studioSystem->Update(0.0f);   // 0.5 s on the silent clock
    EXPECT_EQ(inspect::InstancesOf("Player_Ping").size(), 1u) << "still sounding";
    for (int i = 0; i < 5; ++i)
        world.studioSystem->Update(0.0f);
    EXPECT_TRUE(inspect::InstancesOf("Player_Ping").empty());
    // A released loop plays on until "Moving" ends its loop; then its last pass finishes.
    world.Run([&] {
        world.Send("Event_Destroy", "Player_Movement");
        for (int i = 0; i < 20; ++i)
            world.studioSystem->Update(0.0f);
    });
    ASSERT_EQ(inspect::InstancesOf("Player_Movement").size(), 1u);
    world.Run([&] {
        world.Send("Event_Play", "Player_Movement");
        world.Send("Change_Event_Param", Param("Player_Movement", "Moving", 1.0f));
        world.Send("Event_Destroy", "Player_Movement");
    });
    for (int i = 0; i < 10; ++i)
        world.studioSystem->Update(0.0f);
    EXPECT_EQ(inspect::InstancesOf("Player_Movement").size(), 1u) << "the earlier loop, never ended";
}

TEST(StudioSystemShipped, PlayerMovementSoundsFollowThePlayersPhysics)
{
    struct Case {
        float dt;
        float velocity;   // on the player's first frame
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {1.0f / 60.0f, 1.0f, {"Event_Stop Player_Idle", "Event_Destroy Player_Idle", "Event_Play Player_Movement",
                              "Event_Play Player_Turning"}},
        {0.0f, 1.0f, {}},
        // A player standing still hums from its first frame.
        {1.0f / 60.0f, 0.0f, {"Event_Play Player_Idle"}},
    };
    for (const Case& c : cases) {
        AudioWorld world;
        world.studioSystem->Update(c.dt);   // no player yet: nothing
        GameObject* player = MakePlacedObject("Player", 0.0f, 0.0f);
        player->SetComponent(new Physics());
        world.core.manager->AddGameObject(player);
        world.core.Deliver();
        world.core.recorder->Clear();
        player->GetPhysics()->VelocityX = c.velocity;
        player->GetPhysics()->RotationalVelocity = 90.0f * c.velocity;
        world.studioSystem->Update(c.dt);
        world.core.Deliver();
        std::vector<std::string> seen;
        for (const auto& message : world.core.recorder->seen) {
            if (message.name.rfind("Event_", 0) == 0)
                seen.push_back(message.name + " " + message.text);
        }
        EXPECT_EQ(seen, c.expected) << "dt " << c.dt;
        if (c.velocity == 0.0f) {
            world.studioSystem->Update(c.dt);
            world.core.Deliver();
            EXPECT_EQ(world.core.recorder->Count("Event_Play"), 1) << "once, not every frame";
            EXPECT_TRUE(inspect::InstancesOf("Player_Idle").at(0).playing);
            continue;
        }
        // Stopping: the movement loop is told to end and released, the idle loop plays.
        world.core.recorder->Clear();
        player->GetPhysics()->VelocityX = 0.0f;
        player->GetPhysics()->RotationalVelocity = 0.0f;
        world.studioSystem->Update(c.dt);
        world.core.Deliver();
        EXPECT_EQ(world.core.recorder->Count("Event_Play"), 1);
        EXPECT_EQ(world.core.recorder->Count("Change_Event_Param"), 2);
        // Leaving the level: once the released loops have finished their pass, none of them sounds.
        SceneSystem scenes;
        world.Run([&] { scenes.scenes = {scenes.current = new Scene("Level"), scenes.next = new Scene("After")}; });
        ASSERT_TRUE(inspect::InstancesOf("Player_Idle").at(0).playing);
        world.Run([&] { scenes.LoadNextScene(); });
        for (int i = 0; i < 8; ++i)
            world.studioSystem->Update(c.dt);
        for (const char* loop : {"Player_Idle", "Player_Movement", "Player_Turning"})
            for (const auto& instance : inspect::InstancesOf(loop))
                EXPECT_FALSE(instance.playing) << loop;
    }
}

// ---- Our own small data: byte-order lookups, the mends, broken files ----------------------------------------

class StudioSystemData : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        fs::create_directories(folder.root / "assets/audio/banks");
        fs::copy(RepoDir() / "assets/audio/sounds/Player_Ping.wav", folder.root / "ping.wav");
    }
    static std::string Guid(int n)
    {
        char text[40];
        std::snprintf(text, sizeof text, "{00000000-0000-0000-0000-%012d}", n);
        return text;
    }
    void WriteBank(const std::string& name, const std::string& events)
    {
        folder.Write("assets/audio/banks/" + name + ".bank",
                     R"({"buses": [{"guid": ")" + Guid(1) + R"(", "path": "bus:/"}], "events": [)" + events + "]}");
    }
    std::string Event(int n, const std::string& path, const std::string& sound = "ping.wav")
    {
        return R"({"guid": ")" + Guid(n) + R"(", "path": ")" + path + R"(", "bus": ")" + Guid(1) +
               R"(", "loop": true, "sound": ")" + sound + R"("})";
    }
};

TEST_F(StudioSystemData, LookupsFollowByteOrderAndDestroyForgetsWhatItReleased)
{
    WriteBank("Test", Event(2, "event:/Beta_Idle") + "," + Event(3, "event:/Alpha_Idle") + "," +
                          Event(4, "event:/A/Twice") + "," + Event(5, "event:/B/Twice"));
    folder.Write("assets/data/audio/GUIDs.txt", Guid(9) + " bank:/Test\r\n" + Guid(1) + " bus:/\r\n" + Guid(2) +
                                                    " event:/Beta_Idle\n" + Guid(3) + " event:/Alpha_Idle\n" + Guid(4) +
                                                    " event:/A/Twice\n" + Guid(5) + " event:/B/Twice\n{short} bus:/\n" +
                                                    Guid(7) + " vca:/Skipped");
    AudioWorld world;
    EXPECT_TRUE(Contains(world.loadTrace, "Test bank successfully read")) << world.loadTrace;
    EXPECT_TRUE(Contains(world.loadTrace, "is too short to name anything; skipped")) << world.loadTrace;
    EXPECT_EQ(gBuses.size(), 1u);
    EXPECT_TRUE(gBuses.count(""));
    EXPECT_EQ(StudioSystem::FindEventDescription("Twice"), gEventDescriptions["Twice"]);
    EXPECT_EQ(world.Starts("event:/B/Twice"), 0);
    world.Run([&] { world.Send("Event_Play", "Twice"); });
    EXPECT_EQ(world.Starts("event:/B/Twice"), 1) << "the later line wins";

    world.Run([&] {
        world.Send("Event_Play", "Beta_Idle");
        world.Send("Event_Play", "Alpha_Idle");
        world.Send("Event_Stop", "Idle");
        world.Send("Event_Destroy", "Idle");
    });
    EXPECT_EQ(inspect::CountCalls("EventInstance::stop event:/Alpha_Idle"), 1);
    EXPECT_EQ(inspect::CountCalls("EventInstance::stop event:/Beta_Idle"), 0);
    EXPECT_FALSE(gEventInstances.count("Alpha_Idle")) << "the entry released is the one erased";
    world.Run([&] { world.Send("Event_Play", "Alpha_Idle"); });
    EXPECT_EQ(world.Starts("event:/Alpha_Idle"), 2) << "so the sound plays again";
}

TEST_F(StudioSystemData, BrokenDataGivesTracesAndSilence)
{
    struct Case {
        const char* label;
        std::string guids;
        std::string bank;
        const char* expected;
    };
    const std::string lines = Guid(9) + " bank:/Test\n" + Guid(1) + " bus:/\n" + Guid(2) + " event:/Player_Ping\n";
    const std::string good = Event(2, "event:/Player_Ping");
    const Case cases[] = {
        {"missing GUIDs", "", good, "Failed to open from file path assets/data/audio/GUIDs.txt"},
        {"truncated bank", lines, good.substr(0, 30), "is not a bank"},
        {"missing sound", lines, Event(2, "event:/Player_Ping", "nowhere.wav"), "sound file \"nowhere.wav\" can't be read"},
        {"event without guid", lines, R"({"path": 3})", "an event without \"guid\" or \"path\" is skipped"},
        {"bus gain not a number", lines, Event(2, "event:/Player_Ping", "nowhere.wav"),
         "bus:/: \"gain\" is not a number of 0 or more; 1 used"},
    };
    for (const Case& c : cases) {
        fs::remove_all(folder.root / "assets/data/audio");
        if (!c.guids.empty())
            folder.Write("assets/data/audio/GUIDs.txt", c.guids);
        WriteBank("Test", c.bank);
        if (std::string(c.label) == "truncated bank")
            folder.Write("assets/audio/banks/Test.bank", R"({"buses": [{"guid": ")");
        if (std::string(c.label) == "bus gain not a number")
            folder.Write("assets/audio/banks/Test.bank", R"({"buses": [{"guid": ")" + Guid(1) +
                                                             R"(", "path": "bus:/", "gain": "loud"}], "events": [)" +
                                                             c.bank + "]}");
        AudioWorld world;
        const std::string trace = world.loadTrace + world.Run([&] {
            world.Send("Event_Play", "Player_Ping");
            world.Send("Set_Bus_Mute", "");
            world.studioSystem->Update(1.0f / 60.0f);
        });
        EXPECT_TRUE(Contains(trace, c.expected)) << c.label << "\n" << trace;
        for (const auto& instance : inspect::Instances())
            EXPECT_FALSE(instance.playing) << c.label;
    }
    // Stale and null handles answer with an error.
    WriteBank("Test", good);
    folder.Write("assets/data/audio/GUIDs.txt", lines);
    AudioWorld world;
    world.Run([&] { world.Send("Event_Play", "Player_Ping"); });
    studio::EventInstance stale = gEventInstances["Player_Ping"];
    EXPECT_EQ(stale.release(), studio::OK);
    EXPECT_EQ(stale.release(), studio::ERR_INVALID_HANDLE);
    EXPECT_EQ(stale.start(), studio::ERR_INVALID_HANDLE);
    EXPECT_EQ(stale.stop(studio::STOP_IMMEDIATE), studio::OK) << "a released loop plays until it is stopped";
    world.studioSystem->Update(1.0f);
    EXPECT_EQ(stale.stop(studio::STOP_IMMEDIATE), studio::ERR_INVALID_HANDLE);
    EXPECT_EQ(studio::Bus{}.setMute(true), studio::ERR_INVALID_HANDLE);
    EXPECT_EQ(studio::EventDescription{}.createInstance(&stale), studio::ERR_INVALID_HANDLE);
    EXPECT_EQ(studio::System{}.update(), studio::ERR_INVALID_HANDLE);
}

} // namespace
