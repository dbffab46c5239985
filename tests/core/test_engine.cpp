// The Engine: its system list, the system factory, frame passes, message broadcast and pausing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "audio/StudioSystem.h"
#include "core/Engine.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/JobSystem.h"
#include "core/ObjectFactory.h"
#include "game/PlayerManager.h"
#include "game/ScoreManager.h"
#include "game/TreasureManager.h"
#include "graphics/CameraSystem.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "script/LuaAPI_System.h"
#include "script/MoonBoot_System.h"
#include "ui/EditorSystem.h"
#include "ui/MenuSystem.h"
#include "world/LevelSystem.h"
#include "world/PhysicsSystem.h"
#include "world/SceneSystem.h"
#include "world/TileMapSystem.h"
#include "core/ISystem.h"
#include "core/Message.h"
#include "core/MessageSystem.h"
#include "core/Stream.h"
#include "TestFiles.h"
#include "core/Trace.h"

using namespace testsupport;

namespace {

// A system that writes what happens to it into a shared log.
class Probe : public ISystem {
public:
    Probe(std::string systemName, std::vector<std::string>* eventLog) : name(std::move(systemName)), log(eventLog) {}
    ~Probe() override { log->push_back("delete " + name); }
    std::string GetName() override { return name; }
    void Init() override
    {
        log->push_back("init " + name);
        if (onInit)
            onInit();
    }
    void Update(float dt) override
    {
        log->push_back("update " + name + " " + std::to_string(dt));
        if (onUpdate)
            onUpdate();
    }
    void Draw() override { log->push_back("draw " + name); }
    void HandleMessage(Message* message) override
    {
        log->push_back("message " + name + " " + message->name);
        messages.push_back(*message);
    }
    std::string name;
    std::vector<std::string>* log;
    std::vector<Message> messages;
    std::function<void()> onInit;
    std::function<void()> onUpdate;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceReset();
        engine = new Engine();
        gEngine = engine;
    }
    void TearDown() override
    {
        delete engine;
        TraceReset();
    }
    Probe* Add(const std::string& name)
    {
        Probe* probe = new Probe(name, &log);
        engine->AddSystem(probe);
        return probe;
    }
    Engine* engine = nullptr;
    std::vector<std::string> log;
};

} // namespace

TEST(SystemFactory, BuildsSystemsByFactoryNameWithTheirOwnLookupNames)
{
    TraceReset();
    struct Case {
        const char* factoryName;
        const char* lookupName;
    };
    for (const Case& c : {Case{"MessageSystem", "MessageSystem"}, Case{"EditorSystem", "EditorSystem"},
                          Case{"InputManager", "InputSystem"}, Case{"InputSystem", "InputSystem"},
                          Case{"JobSystem", "Job System"}}) {
        ISystem* system = CreateSystem(c.factoryName);
        ASSERT_NE(system, nullptr) << c.factoryName;
        EXPECT_EQ(system->GetName(), c.lookupName);
        EXPECT_EQ(system->exposed, 0);
        EXPECT_EQ(system->active, 1);
        delete system;
    }
}

template <typename T>
bool IsA(ISystem* system)
{
    return dynamic_cast<T*>(system) != nullptr;
}

TEST(SystemFactory, EveryFactoryNameGivesItsOwnSystemInTableOrder)
{
    struct Name {
        const char* factoryName;
        const char* lookupName;
        bool (*isItsClass)(ISystem*);
    };
    const Name names[] = {
        {"AudioSystem", "StudioSystem", IsA<StudioSystem>},
        {"StudioSystem", "StudioSystem", IsA<StudioSystem>},
        {"EditorSystem", "EditorSystem", IsA<EditorSystem>},
        {"GameObjectFactory", "GameObjectFactory", IsA<GameObjectFactory>},
        {"GameObjectManager", "GameObjectManager", IsA<GameObjectManager>},
        {"InputManager", "InputSystem", IsA<InputManager>},
        {"InputSystem", "InputSystem", IsA<InputManager>},
        {"LightingSystem", "LightingSystem", IsA<LightingSystem>},
        {"LevelSystem", "LevelSystem", IsA<LevelSystem>},
        {"MessageSystem", "MessageSystem", IsA<MessageSystem>},
        {"ObjectFactory", "ObjectFactory", IsA<ObjectFactory>},
        {"PlayerManager", "PlayerManager", IsA<PlayerManager>},
        {"ScoreManager", "ScoreManager", IsA<ScoreManager>},
        {"TileMapSystem", "TileMapSystem", IsA<TileMapSystem>},
        {"TreasureManager", "TreasureManager", IsA<TreasureManager>},
        {"CameraSystem", "Camera System", IsA<CameraSystem>},
        {"JobSystem", "Job System", IsA<JobSystem>},
        {"SceneSystem", "Scene System", IsA<SceneSystem>},
        {"LuaAPI", "LuaAPI", IsA<LuaAPI_System>},
        {"MenuSystem", "MenuSystem", IsA<MenuSystem>},
        {"MoonBoot", "MoonBoot", IsA<MoonBoot_System>},
        {"PhysicsSystem", "PhysicsSystem", IsA<PhysicsSystem>},
    };
    std::vector<std::string> expectedOrder;
    for (const Name& name : names)
        expectedOrder.push_back(name.factoryName);
    EXPECT_EQ(RegisteredSystemNames(), expectedOrder);
    TraceReset();
    for (const Name& name : names) {
        ISystem* system = nullptr;
        CaptureConsole([&] { system = CreateSystem(name.factoryName); });
        ASSERT_NE(system, nullptr) << name.factoryName;
        EXPECT_TRUE(name.isItsClass(system)) << name.factoryName;
        EXPECT_EQ(system->GetName(), name.lookupName) << name.factoryName;
        EXPECT_EQ(system->exposed, 0) << name.factoryName;
        EXPECT_EQ(system->active, 1) << name.factoryName;
        CaptureConsole([&] { delete system; });
    }
}

TEST(SystemFactory, UnknownNamesGiveNoSystemAndNoMessage)
{
    TraceReset();
    std::string out = CaptureConsole([] {
        EXPECT_EQ(CreateSystem("Bogus"), nullptr);
        EXPECT_EQ(CreateSystem("messagesystem"), nullptr);
        EXPECT_EQ(CreateSystem("MessageSystem "), nullptr);
        EXPECT_EQ(CreateSystem(""), nullptr);
        EXPECT_EQ(CreateSystem("Camera System"), nullptr); // a lookup name, not a factory name
    });
    EXPECT_EQ(out, "");
}

TEST_F(EngineTest, StartsRunningUnpausedWithNoSystems)
{
    EXPECT_EQ(engine->GetName(), "Engine");
    EXPECT_EQ(engine->running, 1);
    EXPECT_EQ(engine->paused, 0);
    EXPECT_EQ(engine->dt, 0.0f);
    EXPECT_EQ(engine->fps, 0.0f);
    EXPECT_EQ(engine->showCursor, 0);
    EXPECT_EQ(engine->window, nullptr);
    EXPECT_TRUE(engine->systems.empty());
    EXPECT_EQ(engine->exposed, 0);
    EXPECT_EQ(engine->active, 1);
}

TEST_F(EngineTest, AddSystemTracesAndSkipsNamesTheFactoryDoesNotKnow)
{
    const std::string out = CaptureConsole([&] {
        EXPECT_NE(engine->AddSystem(std::string("MessageSystem")), nullptr);
        EXPECT_EQ(engine->AddSystem(std::string("NoSuchSystem")), nullptr);
        EXPECT_NE(engine->AddSystem(std::string("InputManager")), nullptr);
    });
    EXPECT_EQ(out, "Adding MessageSystem...\nAdding NoSuchSystem...\nAdding InputManager...\n");
    ASSERT_EQ(engine->systems.size(), 2u);
    EXPECT_EQ(engine->systems[0]->GetName(), "MessageSystem");
    EXPECT_EQ(engine->systems[1]->GetName(), "InputSystem");
}

TEST_F(EngineTest, GetSystemFindsByLookupNameOnly)
{
    CaptureConsole([&] {
        engine->AddSystem(std::string("InputManager"));
        engine->AddSystem(std::string("JobSystem"));
    });
    ISystem* input = engine->systems[0];
    std::string out = CaptureConsole([&] {
        EXPECT_EQ(engine->GetSystem("InputSystem"), input);
        EXPECT_EQ(engine->GetSystem("Job System"), engine->systems[1]);
    });
    EXPECT_EQ(out, "");
    out = CaptureConsole([&] {
        EXPECT_EQ(engine->GetSystem("InputManager"), nullptr);
        EXPECT_EQ(engine->GetSystem("JobSystem"), nullptr);
    });
    EXPECT_EQ(out, "System InputManager not found\nSystem JobSystem not found\n");
}

TEST_F(EngineTest, GetSystemGivesTheFirstOfTwoWithOneName)
{
    Probe* first = Add("Twin");
    Add("Twin");
    EXPECT_EQ(engine->GetSystem("Twin"), first);
}

TEST_F(EngineTest, InitRunsInListOrderIncludingSystemsAddedMeanwhile)
{
    Probe* a = Add("A");
    Add("B");
    a->onInit = [&] {
        Probe* late = new Probe("Late", &log);
        late->onInit = [&] { engine->AddSystem(new Probe("Later", &log)); };
        engine->AddSystem(late);
    };
    engine->running = 0;
    const std::string out = CaptureConsole([&] { engine->Init(); });
    EXPECT_EQ(out, "Initializing A...\nInitializing B...\nInitializing Late...\nInitializing Later...\n"
                   "System MessageSystem not found\n");
    EXPECT_EQ(log, (std::vector<std::string>{"init A", "init B", "init Late", "init Later"}));
    EXPECT_EQ(engine->running, 1);
}

TEST_F(EngineTest, InitHandsTheEngineToTheMessageSystem)
{
    CaptureConsole([&] { engine->AddSystem(std::string("MessageSystem")); });
    MessageSystem* messages = static_cast<MessageSystem*>(engine->systems[0]);
    EXPECT_EQ(messages->GetEngine(), nullptr);
    CaptureConsole([&] { engine->Init(); });
    EXPECT_EQ(messages->GetEngine(), engine);
    EXPECT_EQ(gMessageSystem, messages);
}

TEST_F(EngineTest, InitWithoutAMessageSystemSkipsTheHandOver)
{
    Add("A");
    const std::string out = CaptureConsole([&] { engine->Init(); });
    EXPECT_EQ(out, "Initializing A...\nSystem MessageSystem not found\n");
    EXPECT_EQ(engine->running, 1);
}

TEST_F(EngineTest, UpdateRunsActiveSystemsAndDrawRunsAll)
{
    Add("A");
    Probe* b = Add("B");
    Add("C");
    b->active = 0;
    engine->Update(0.5f);
    engine->Draw();
    EXPECT_EQ(log, (std::vector<std::string>{"update A 0.500000", "update C 0.500000", "draw A", "draw B",
                                             "draw C"}));
}

TEST_F(EngineTest, SystemsAppendedDuringUpdateRunInTheSamePass)
{
    Probe* a = Add("A");
    a->onUpdate = [&] {
        a->onUpdate = nullptr;
        engine->AddSystem(new Probe("New", &log));
    };
    engine->Update(0.25f);
    EXPECT_EQ(log, (std::vector<std::string>{"update A 0.250000", "update New 0.250000"}));
}

TEST_F(EngineTest, MessagesGoToActiveSystemsInListOrder)
{
    CaptureConsole([&] { engine->AddSystem(std::string("MessageSystem")); });
    Probe* a = Add("A");
    Probe* b = Add("B");
    Probe* c = Add("C");
    b->active = 0;
    CaptureConsole([&] { engine->Init(); });
    log.clear();
    a->SendMessage(std::string("Ping"), 1, nullptr);
    engine->Update(0.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"message A Ping", "message C Ping", "update A 0.000000",
                                             "update C 0.000000"}));
    EXPECT_TRUE(b->messages.empty());
    ASSERT_EQ(c->messages.size(), 1u);
    EXPECT_EQ(c->messages[0].sender, a);
}

TEST_F(EngineTest, SetBGColorReachesNoSystemAndSetsTheClearColour)
{
    CaptureConsole([&] { engine->AddSystem(std::string("MessageSystem")); });
    Probe* a = Add("A");
    CaptureConsole([&] { engine->Init(); });
    EXPECT_EQ(engine->GetClearColor(), (std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}));
    a->SendMessage(std::string("SetBGColor"), 0.25f, 0.5f, 0.75f, 1.0f, nullptr);
    a->SendMessage(std::string("After"), nullptr);
    engine->Update(0.0f);
    EXPECT_EQ(engine->GetClearColor(), (std::array<float, 4>{0.25f, 0.5f, 0.75f, 1.0f}));
    ASSERT_EQ(a->messages.size(), 1u);
    EXPECT_EQ(a->messages[0].name, "After");
}

TEST_F(EngineTest, HandleMessageCalledDirectlyBroadcastsToo)
{
    Probe* a = Add("A");
    Message message("Direct", a, nullptr, MessageType::None);
    engine->HandleMessage(&message);
    engine->HandleMessage(nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"message A Direct"}));
}

TEST_F(EngineTest, RemoveSystemDeletesTheFirstMatchAndKeepsTheOrder)
{
    Add("A");
    Add("B");
    Add("C");
    Add("B");
    engine->RemoveSystem("B");
    EXPECT_EQ(log, (std::vector<std::string>{"delete B"}));
    ASSERT_EQ(engine->systems.size(), 3u);
    EXPECT_EQ(engine->systems[0]->GetName(), "A");
    EXPECT_EQ(engine->systems[1]->GetName(), "C");
    EXPECT_EQ(engine->systems[2]->GetName(), "B");

    const std::string out = CaptureConsole([&] { engine->RemoveSystem("Missing"); });
    EXPECT_EQ(out, "System Missing was not found and therefore could not be deleted\n");
    EXPECT_EQ(engine->systems.size(), 3u);
}

TEST_F(EngineTest, DestroyingTheEngineDeletesSystemsLastToFirst)
{
    Add("A");
    Add("B");
    Add("C");
    delete engine;
    engine = nullptr;
    EXPECT_EQ(log, (std::vector<std::string>{"delete C", "delete B", "delete A"}));
    EXPECT_EQ(gEngine, nullptr);
}

TEST_F(EngineTest, PauseAndUnpauseSendThePausedParameterOnceEach)
{
    CaptureConsole([&] { engine->AddSystem(std::string("MessageSystem")); });
    Probe* audio = Add("Audio");
    CaptureConsole([&] { engine->Init(); });

    PauseGame();
    EXPECT_EQ(engine->paused, 1);
    PauseGame(); // already paused: nothing more
    engine->Update(0.0f);
    ASSERT_EQ(audio->messages.size(), 1u);
    const Message& pause = audio->messages[0];
    EXPECT_EQ(pause.name, "Change_Global_Param");
    EXPECT_EQ(pause.type, MessageType::AudioClip);
    EXPECT_EQ(pause.sender, engine);
    EXPECT_EQ(pause.target, nullptr);
    EXPECT_EQ(pause.audioClip.paramName, "Paused");
    EXPECT_EQ(pause.audioClip.paramValue, 0.0f);
    EXPECT_EQ(pause.audioClip.eventName, "");
    EXPECT_EQ(pause.audioClip.busName, "");

    engine->showCursor = 1;
    UnpauseGame();
    UnpauseGame(); // not paused any more: nothing more
    EXPECT_EQ(engine->paused, 0);
    EXPECT_EQ(engine->showCursor, 0);
    engine->Update(0.0f);
    ASSERT_EQ(audio->messages.size(), 2u);
    EXPECT_EQ(audio->messages[1].name, "Change_Global_Param");
    EXPECT_EQ(audio->messages[1].audioClip.paramName, "Paused");
    EXPECT_EQ(audio->messages[1].audioClip.paramValue, 1.0f);
}

TEST_F(EngineTest, UnpauseWhenNotPausedKeepsTheCursorFlag)
{
    engine->showCursor = 1;
    UnpauseGame();
    EXPECT_EQ(engine->showCursor, 1);
}

TEST(EnginePause, WithoutAnEngineNothingHappens)
{
    // The scene is not even asked whether it may pause.
    static int asked;
    asked = 0;
    bool (*const oldPausable)() = ScenePausableHook;
    ScenePausableHook = [] { return ++asked > 0; };
    gEngine = nullptr;
    PauseGame();
    UnpauseGame();
    EXPECT_EQ(asked, 0);
    ScenePausableHook = oldPausable;
}

// Reading the system list of a "main" file.
class SystemListTest : public EngineTest {
protected:
    // Writes the file into the save directory and adds its systems.
    std::string AddFrom(const std::string& json, int* added = nullptr)
    {
        saveDir_.Write("systems", json);
        Stream stream("systems", StreamMode_SaveDir, false);
        return CaptureConsole([&] {
            const int n = engine->AddSystems(stream);
            if (added)
                *added = n;
        });
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (ISystem* s : engine->systems)
            names.push_back(s->GetName());
        return names;
    }
    TestSaveDir saveDir_;
};

TEST_F(SystemListTest, AddsTheFirstNumSystemsNamesInOrder)
{
    int added = 0;
    const std::string out = AddFrom(
        R"({"numSystems": 2, "Systems": ["MessageSystem", "InputSystem", "JobSystem"]})", &added);
    EXPECT_EQ(out, "Adding MessageSystem...\nAdding InputSystem...\n");
    EXPECT_EQ(added, 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"MessageSystem", "InputSystem"}));
}

TEST_F(SystemListTest, UnknownNamesAreSkippedWithoutAnEntry)
{
    const std::string out =
        AddFrom(R"({"numSystems": 3, "Systems": ["MessageSystem", "WeatherSystem", "EditorSystem"]})");
    EXPECT_EQ(out, "Adding MessageSystem...\nAdding WeatherSystem...\nAdding EditorSystem...\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"MessageSystem", "EditorSystem"}));
}

TEST_F(SystemListTest, ACountBeyondTheArrayUsesTheArrayLength)
{
    int added = 0;
    const std::string out = AddFrom(R"({"numSystems": 9, "Systems": ["MessageSystem", "EditorSystem"]})", &added);
    EXPECT_EQ(out, "numSystems is 9 but \"Systems\" holds 2 names; using 2\n"
                   "Adding MessageSystem...\nAdding EditorSystem...\n");
    EXPECT_EQ(added, 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"MessageSystem", "EditorSystem"}));
}

TEST_F(SystemListTest, NonStringEntriesAreSkipped)
{
    const std::string out =
        AddFrom(R"({"numSystems": 4, "Systems": ["MessageSystem", 7, {"a": 1}, "EditorSystem"]})");
    EXPECT_EQ(out, "Adding MessageSystem...\nSystems entry 1 is not a name; skipped\n"
                   "Systems entry 2 is not a name; skipped\nAdding EditorSystem...\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"MessageSystem", "EditorSystem"}));
}

TEST_F(SystemListTest, MissingOrMistypedSystemsAddNothing)
{
    int added = -1;
    AddFrom(R"({"numSystems": 2, "Systems": "MessageSystem"})", &added);
    EXPECT_EQ(added, 0);
    AddFrom(R"({"numSystems": 2})", &added);
    EXPECT_EQ(added, 0);
    AddFrom(R"({"numSystems": -3, "Systems": ["MessageSystem"]})", &added);
    EXPECT_EQ(added, 0);
    AddFrom(R"([1, 2, 3])", &added);
    EXPECT_EQ(added, 0);
    AddFrom(R"({"numSystems": 2, "Systems": ["MessageSystem")", &added);
    EXPECT_EQ(added, 0);
    EXPECT_TRUE(engine->systems.empty());
}

TEST_F(SystemListTest, AMissingFileAddsNothing)
{
    Stream stream("no_such_file", StreamMode_SaveDir, false);
    EXPECT_FALSE(stream.IsValid());
    int added = -1;
    CaptureConsole([&] { added = engine->AddSystems(stream); });
    EXPECT_EQ(added, 0);
    EXPECT_TRUE(engine->systems.empty());
}
