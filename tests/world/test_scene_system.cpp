// SceneSystem: the fading change frame by frame, reloads, the scene cache, the pending "Win", the
// initial scene, messages it answers, the developer keys and the window's questions.
#include "test_scene_fixture.h"

#include <GLFW/glfw3.h>

#include <memory>

#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/Sprite.h"
#include "graphics/Window.h"
#include "world/LevelSystem.h"

using scenetest::CountOf;
using scenetest::Recorder;
using scenetest::SceneTest;
using scenetest::Seen;
using scenetest::StandIn;
using scenetest::TraceCapture;

namespace {

// A player manager stand-in that makes the "Player" object whenever it is switched on, as the real
// one does.
class PlayerMaker : public StandIn {
public:
    PlayerMaker() : StandIn("PlayerManager") {}
    void OnEnable() override
    {
        StandIn::OnEnable();
        if (gGameObjectFactory)
            gGameObjectFactory->CreateGameObject("archetypes/Player", true);
    }
};

// Frames the fade-in takes from an alpha to 1, with the system's arithmetic.
int FadeInFrames(float alpha)
{
    int frames = 0;
    while (alpha < 1.0f) {
        alpha = static_cast<float>(static_cast<double>(alpha) + 0.02);
        ++frames;
    }
    return frames;
}

class Changes : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        WriteData("archetypes/Player", R"({ "Name": "Player", "Transform": { "TranslationX": 50, "TranslationY": 60,
            "ScaleX": 1, "ScaleY": 1 } })");
        WriteScene("A", R"({ "Scene Type": "Menu", "Tilemap Name": "", "Init GameObjects": ["archetypes/Box"] })");
        WriteScene("B", R"({ "Scene Type": "Gameplay", "Tilemap Name": "MapB", "Player Spawn Position": [2, 3],
            "Scene GameObjects": ["archetypes/Box"], "Scene Positions": [[9, 9]], "Scene Scales": [[1, 1]],
            "Scene Rotation": [0] })");
        WriteScene("Win", R"({ "Scene Type": "Menu", "Scene Name": "Win", "Tilemap Name": "" })");
        // Stand-ins for the gameplay systems, so a gameplay scene finds them present.
        players = new PlayerMaker();
        engine->AddSystem(players);
        engine->AddSystem(new StandIn("ScoreManager"));
        engine->AddSystem(new StandIn("TileMapSystem"));
        system = AddSceneSystem();
    }

    // One frame: the system's update, then delivery. Returns the names delivered in that frame.
    std::vector<std::string> Frame(float dt)
    {
        const std::size_t before = recorder->seen.size();
        system->Update(dt);
        Deliver();
        std::vector<std::string> names;
        for (std::size_t i = before; i < recorder->seen.size(); ++i)
            names.push_back(recorder->seen[i].name);
        return names;
    }
    // Frames until the fade-in is over; returns how many posted "ContinueMovement".
    int FadeIn(float dt)
    {
        int frames = 0;
        for (int guard = 0; guard < 500; ++guard) {
            const auto names = Frame(dt);
            if (names != std::vector<std::string>{"ContinueMovement"})
                break;
            ++frames;
        }
        return frames;
    }
    // The first scene, loaded and faded in.
    void StartIn(const std::string& name)
    {
        system->SetNextScene(name);
        Frame(0.25f);
        FadeIn(0.25f);
        ASSERT_EQ(SceneSystem::GetCurrentScene(), name);
        ASSERT_GE(system->GetFadeAlpha(), 1.0f);
        recorder->seen.clear();
    }

    SceneSystem* system = nullptr;
    PlayerMaker* players = nullptr;
};

TEST_F(Changes, FirstInstanceStartsFromBlackAndLoadsOnTheFirstFrame)
{
    EXPECT_EQ(gSceneSystem, system);
    EXPECT_EQ(system->startMarker, -1);
    EXPECT_FLOAT_EQ(system->GetFadeAlpha(), 0.0f);
    EXPECT_EQ(SceneSystem::GetCurrentScene(), "");
    EXPECT_EQ(system->GetName(), "Scene System");

    // Nothing happens before a scene is requested.
    EXPECT_TRUE(Frame(0.25f).empty());
    EXPECT_FLOAT_EQ(system->GetFadeAlpha(), 0.0f);

    system->SetNextScene("A");
    EXPECT_EQ(system->startMarker, 0);
    EXPECT_TRUE(system->IsChangePending());
    EXPECT_EQ(SceneSystem::GetCurrentScene(), "") << "only queued so far";
    const auto first = Frame(0.25f);
    EXPECT_EQ(SceneSystem::GetCurrentScene(), "A");
    EXPECT_EQ(CountOf(std::string(), "x"), 0);
    for (const std::string& name : first)
        EXPECT_NE(name, "StopMovement");
    EXPECT_EQ(ObjectNames(), std::vector<std::string>{"Box"});
    EXPECT_FLOAT_EQ(system->fadeTimer, 1.0f);

    // Then it fades in from 0 by 0.02 a frame: about 50 frames.
    EXPECT_EQ(FadeIn(0.25f), FadeInFrames(0.0f));
    EXPECT_GE(system->GetFadeAlpha(), 1.0f);
}

TEST_F(Changes, ChangeFadesOutFourFramesLoadsOnTheFifthAndFadesIn)
{
    StartIn("A");
    Scene* a = system->FindScene("A");
    float alpha = system->GetFadeAlpha();
    system->SetNextScene("B");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Frame(0.25f), std::vector<std::string>{"StopMovement"}) << "frame " << i + 1;
        alpha -= 0.02f;
    }
    EXPECT_FLOAT_EQ(system->GetFadeAlpha(), alpha);
    EXPECT_EQ(SceneSystem::GetCurrentScene(), "A");

    const std::size_t at = recorder->seen.size();
    const auto fifth = Frame(0.25f);
    EXPECT_EQ(SceneSystem::GetCurrentScene(), "B");
    EXPECT_EQ(fifth, (std::vector<std::string>{"Event_Stop", "Event_StopDestroy", "Event_Stop", "Event_StopDestroy",
                                               "Event_StopDestroy", "Event_StopDestroy", "On Manager Clear",
                                               "LoadTileMap", "DisplayTileMap", "Set Player Spawn"}));
    const std::vector<Seen> seen(recorder->seen.begin() + static_cast<long>(at), recorder->seen.end());
    ASSERT_GE(seen.size(), 8u);
    const char* const stopped[] = {"Ambience_RoomTone", "Player_BatteryLow", "Player_Motor",
                                   "Player_Idle", "Player_Movement", "Player_Turning"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(seen[i].text, stopped[i]);
        EXPECT_EQ(seen[i].sender, a) << "the old scene stops its sounds";
    }
    EXPECT_EQ(seen[7].text, "MapB");
    EXPECT_EQ(seen[7].sender, system->FindScene("B"));
    EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Player", "Box"})) << "the old objects went";
    EXPECT_FLOAT_EQ(manager->GetObjectAt(0)->GetTransform()->TranslationX, 2.0f) << "player on the spawn point";
    EXPECT_FLOAT_EQ(manager->GetObjectAt(1)->GetTransform()->TranslationX, 9.0f);
    EXPECT_FLOAT_EQ(system->fadeTimer, 1.0f);
    EXPECT_FALSE(system->IsChangePending());

    // Fading in from there until the alpha reaches 1.
    EXPECT_EQ(FadeIn(0.25f), FadeInFrames(alpha));
    EXPECT_GE(system->GetFadeAlpha(), 1.0f);

    // Leaving a gameplay scene unloads its tile map after the sound stops.
    recorder->seen.clear();
    system->SetNextScene("A");
    for (int i = 0; i < 4; ++i)
        Frame(0.25f);
    EXPECT_EQ(Frame(0.25f), (std::vector<std::string>{"Event_Stop", "Event_StopDestroy", "Event_Stop",
                                                       "Event_StopDestroy", "Event_StopDestroy",
                                                       "Event_StopDestroy", "UnloadTileMap", "On Manager Clear"}));
}

TEST_F(Changes, SixtyFramesASecondFadeOutForOneSecond)
{
    StartIn("A");
    system->SetNextScene("B");
    int stops = 0;
    while (SceneSystem::GetCurrentScene() == "A" && stops < 200) {
        const auto names = Frame(1.0f / 60.0f);
        if (!names.empty() && names[0] == "StopMovement")
            ++stops;
        else
            break;
    }
    EXPECT_GE(stops, 60);
    EXPECT_LE(stops, 61);
    EXPECT_LT(system->GetFadeAlpha(), 0.0f) << "the stored alpha is not floored";
}

TEST_F(Changes, RequestingTheCurrentSceneRestartsIt)
{
    StartIn("B");
    EXPECT_EQ(players->enables, 1);
    GameObject* player = manager->FindGameObject("Player");
    ASSERT_NE(player, nullptr);
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationX, 2.0f) << "a new scene puts the player on its spawn";
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationY, 3.0f);

    const std::size_t scenes = system->scenes.size();
    system->SetNextScene("B");
    EXPECT_TRUE(system->reload);
    EXPECT_TRUE(system->IsChangePending());
    EXPECT_EQ(system->next, system->current);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Frame(0.25f), std::vector<std::string>{"StopMovement"});
    const auto fifth = Frame(0.25f);
    EXPECT_EQ(players->disables, 1) << "Restart, not SetUpSystems";
    EXPECT_EQ(players->enables, 2);
    EXPECT_FALSE(system->reload);
    EXPECT_EQ(system->scenes.size(), scenes);
    player = manager->FindGameObject("Player");
    ASSERT_NE(player, nullptr);
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationX, 50.0f) << "a reload does not move the player";
    EXPECT_EQ(CountOf([&] {
                  std::string all;
                  for (const auto& n : fifth)
                      all += n + "\n";
                  return all;
              }(),
                      "LoadTileMap"),
              1)
        << "Init runs again";
}

TEST_F(Changes, EachSceneIsConstructedOnce)
{
    system->SetNextScene("A");
    system->SetNextScene("A");
    EXPECT_EQ(system->scenes.size(), 1u);
    Scene* a = system->scenes[0];
    EXPECT_EQ(a->GetOwner(), system);
    Frame(0.25f);
    system->SetNextScene("B");
    Scene* b = system->FindScene("B");
    system->SetNextScene("A");
    EXPECT_TRUE(system->reload) << "A is current: a reload is marked and next stays B";
    EXPECT_EQ(system->next, b);
    EXPECT_EQ(system->scenes.size(), 2u);
    EXPECT_EQ(system->FindScene("A"), a);

    // A scene built elsewhere under a listed name gives way to the listed one.
    system->QueueNextScene(new Scene("B"));
    EXPECT_EQ(system->scenes.size(), 2u);
    EXPECT_EQ(system->next, b);
}

TEST_F(Changes, RequestsDuringAPendingWinAreDropped)
{
    StartIn("A");
    system->SetNextScene("Win");
    Deliver();
    EXPECT_EQ(recorder->Names(), (std::vector<std::string>{"Final Collect", "StartDance"}));
    EXPECT_EQ(recorder->seen[0].sender, system);
    EXPECT_TRUE(system->winPending);
    EXPECT_FLOAT_EQ(system->fadeTimer, 4.2f);
    EXPECT_FLOAT_EQ(system->fadeStep, 0.0044f);
    Scene* win = system->next;
    ASSERT_NE(win, nullptr);

    recorder->seen.clear();
    system->SetNextScene("B");
    system->SetNextScene("Win");
    system->SetNextScene("A");
    Deliver();
    EXPECT_TRUE(recorder->seen.empty());
    EXPECT_EQ(system->next, win);
    EXPECT_FALSE(system->reload);
    EXPECT_EQ(system->FindScene("B"), nullptr);

    int stops = 0;
    while (SceneSystem::GetCurrentScene() != "Win" && stops < 100) {
        const auto names = Frame(0.25f);
        if (names == std::vector<std::string>{"StopMovement"})
            ++stops;
    }
    EXPECT_EQ(stops, 17) << "4.2 s at 0.25 s a frame";
    EXPECT_FALSE(system->winPending);
    EXPECT_FLOAT_EQ(system->fadeStep, 0.02f);
    EXPECT_EQ(recorder->Count("CreateTreasureDisplay"), 1);

    // Requests are taken again.
    system->SetNextScene("B");
    EXPECT_EQ(system->next, system->FindScene("B"));
}

TEST_F(Changes, NullSceneIsReported)
{
    TraceCapture capture;
    system->QueueNextScene(nullptr);
    const std::string out = capture.Take();
    EXPECT_NE(out.find("Assertion `nextScene` failed.Location: src/SceneSystem Line 337: "
                       "The scene which passed in was empty\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(system->next, nullptr);
    EXPECT_EQ(system->startMarker, -1);
}

TEST_F(Changes, SpecialLoadTimerAndLogoCancel)
{
    StartIn("A");
    engine->SendMessage(std::string("Scene_SpecialLoadTimer"), 2.5f, nullptr);
    Deliver();
    EXPECT_FLOAT_EQ(system->fadeTimer, 2.5f);
    engine->SendMessage(std::string("Scene_SpecialLoadTimer"), "soon", nullptr);
    Deliver();
    EXPECT_FLOAT_EQ(system->fadeTimer, 2.5f) << "no number, no change";

    recorder->seen.clear();
    engine->SendMessage(std::string("Audio_LogoCancel"));
    Deliver();
    ASSERT_EQ(recorder->Names(), (std::vector<std::string>{"Audio_LogoCancel", "Event_Play", "Event_Destroy"}));
    EXPECT_EQ(recorder->seen[1].text, "Trans_LogoSkip");
    EXPECT_EQ(recorder->seen[2].text, "Trans_LogoSkip");

    // The special timer lengthens the next fade-out: 2.5 s at 0.25 s a frame.
    system->SetNextScene("B");
    int stops = 0;
    while (SceneSystem::GetCurrentScene() == "A" && stops < 100) {
        if (Frame(0.25f) == std::vector<std::string>{"StopMovement"})
            ++stops;
    }
    EXPECT_EQ(stops, 10);
}

TEST_F(Changes, InitialSceneFromItsFile)
{
    WriteScene("InitialScene", R"({ "Initial Scene": "B" })");
    system->Init();
    ASSERT_NE(system->next, nullptr);
    EXPECT_EQ(system->next->GetName(), "B");
}

TEST_F(Changes, MissingInitialSceneEndsInAnEmptyScene)
{
    TraceCapture capture;
    system->Init();
    const std::string out = capture.Take();
    EXPECT_NE(out.find("Unable to find scene with name ."), std::string::npos) << out;
    ASSERT_NE(system->next, nullptr);
    EXPECT_EQ(system->next->GetName(), "");
}

TEST_F(Changes, WindowQuestionsAndTheGlobals)
{
    // What the window asks of gSceneSystem: the current scene is pausable, a change is pending.
    auto currentPausable = [] {
        return gSceneSystem && gSceneSystem->current && gSceneSystem->current->IsPausable();
    };
    ASSERT_EQ(gSceneSystem, system);
    EXPECT_FALSE(currentPausable());
    EXPECT_FALSE(system->IsChangePending());
    WriteScene("P", R"({ "Tilemap Name": "", "Pausable": true })");
    system->SetNextScene("P");
    EXPECT_TRUE(system->IsChangePending());
    EXPECT_FALSE(currentPausable()) << "not current yet";
    Frame(0.25f);
    EXPECT_TRUE(currentPausable());
    EXPECT_FALSE(system->IsChangePending());

    // A second system leaves the global alone; the first one clears it when it goes.
    auto* second = new SceneSystem();
    EXPECT_EQ(gSceneSystem, system);
    EXPECT_EQ(second->startMarker, 0);
    delete second;
    EXPECT_EQ(gSceneSystem, system);
    engine->RemoveSystem("Scene System");
    EXPECT_EQ(gSceneSystem, nullptr);
    EXPECT_EQ(SceneSystem::GetCurrentScene(), "");
}

// ---- Developer keys ---------------------------------------------------------------------------------

struct TreasureLog {
    std::vector<std::string> calls;
    std::vector<GameObjectHandle> room2;
};
TreasureLog* gTreasure = nullptr;

class DevKeys : public Changes {
protected:
    void SetUp() override
    {
        Changes::SetUp();
        keys = std::make_shared<ScriptedKeySource>();
        input = new InputManager(keys);
        engine->AddSystem(input);
        input->Init();
        WriteScene("MainMenuScene", R"({ "Scene Type": "Menu", "Tilemap Name": "" })");
        WriteScene("SplashScreen", R"({ "Scene Type": "Menu", "Tilemap Name": "" })");
        WriteScene("LivingRoomScene", R"({ "Scene Type": "Gameplay", "Tilemap Name": "" })");
        gTreasure = &treasure;
        ScenePingRoomHook = [](ISystem*, float h, float f, float s) {
            gTreasure->calls.push_back("ping " + std::to_string(h) + " " + std::to_string(f) + " " +
                                       std::to_string(s));
        };
        SceneRoomNumHook = [](ISystem*, float x, float) { return x < 0.0f ? -1 : 7; };
        SceneRoomRemainingHook = [](ISystem*, int room) { return room == 2 ? 2 : 0; };
        SceneRoomObjectsHook = [](ISystem*, int room) {
            return room == 2 ? gTreasure->room2 : std::vector<GameObjectHandle>{};
        };
        SceneCollectTreasureHook = [](ISystem*) { gTreasure->calls.push_back("collect"); };
        SceneCloseRoomHook = [](ISystem*, int room) { gTreasure->calls.push_back("close " + std::to_string(room)); };
    }
    void TearDown() override
    {
        ScenePingRoomHook = nullptr;
        SceneRoomNumHook = nullptr;
        SceneRoomRemainingHook = nullptr;
        SceneRoomObjectsHook = nullptr;
        SceneCollectTreasureHook = nullptr;
        SceneCloseRoomHook = nullptr;
        gTreasure = nullptr;
        Changes::TearDown();
    }
    // Presses (or releases) keys, polls them and runs one scene-system frame.
    void Keys(std::initializer_list<int> down)
    {
        keys->ReleaseAll();
        for (int key : down)
            keys->SetKey(key, true);
        input->Update(0.0f);
        Frame(0.25f);
    }
    GameObject* AddPlayer(float x, float y)
    {
        GameObject* player = gGameObjectFactory->CreateGameObject("archetypes/Player", true);
        player->GetTransform()->TranslationX = x;
        player->GetTransform()->TranslationY = y;
        return player;
    }

    // A real level system in the engine whose level 0 has a 2 x 2 grid, every cell revealed.
    LevelSystem* AddLevels()
    {
        auto* levels = new LevelSystem();
        engine->AddSystem(levels);
        levels->grids[0].width = 2;
        levels->grids[0].height = 2;
        levels->grids[0].cells.assign(4, 1);
        return levels;
    }
    static int Revealed(const LevelSystem& levels)
    {
        int count = 0;
        for (std::uint8_t cell : levels.grids[0].cells)
            count += cell;
        return count;
    }

    std::shared_ptr<ScriptedKeySource> keys;
    InputManager* input = nullptr;
    TreasureLog treasure;
};

TEST_F(DevKeys, NothingWithoutTheSlashKey)
{
    StartIn("A");
    Keys({GLFW_KEY_1});
    Keys({GLFW_KEY_M});
    EXPECT_EQ(system->next, system->current);
    EXPECT_EQ(recorder->Count("Set_Bus_Mute"), 0);
}

TEST_F(DevKeys, SceneJumps)
{
    LevelSystem* levels = AddLevels();
    StartIn("A");
    ASSERT_EQ(Revealed(*levels), 4);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_1, GLFW_KEY_6});
    ASSERT_NE(system->next, nullptr);
    EXPECT_EQ(system->next->GetName(), "MainMenuScene") << "only the first held key of 1 to 6 acts";
    EXPECT_EQ(Revealed(*levels), 0) << "the level grid is cleared";

    levels->grids[0].cells.assign(4, 1);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_6});
    EXPECT_EQ(system->next->GetName(), "SplashScreen");
    EXPECT_EQ(Revealed(*levels), 0);
    levels->grids[0].cells.assign(4, 1);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_5});
    EXPECT_EQ(Revealed(*levels), 0);
    EXPECT_EQ(system->next->GetName(), "Win");
    EXPECT_TRUE(system->winPending);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_1});
    EXPECT_EQ(system->next->GetName(), "Win") << "dropped while the win is pending";
}

TEST_F(DevKeys, PointJumpsInTheLivingRoom)
{
    auto* lighting = new LightingSystem();
    engine->AddSystem(lighting);
    {
        TraceCapture quiet;
        lighting->cols = 64;
        lighting->rows = 64;
        lighting->Init();
    }
    // One world unit per cell; world x 0 is column 10.
    lighting->gridSize = 1.0f;
    lighting->originX = 10.0f;
    LevelSystem* levels = AddLevels(); // level 0: cells (0..1, 0..1) revealed
    levels->currentLevel = 2;
    engine->AddSystem(new StandIn("TreasureManager"));
    StartIn("A");

    // Elsewhere: level 0 becomes current, its grid is loaded, and the living room is requested.
    Keys({GLFW_KEY_SLASH, GLFW_KEY_3});
    EXPECT_TRUE(treasure.calls.empty());
    EXPECT_EQ(levels->currentLevel, 0);
    EXPECT_EQ(lighting->GetCell(1, 1), 1) << "level 0's grid, loaded after it became current";
    EXPECT_EQ(lighting->CountRevealed(), 4);
    ASSERT_NE(system->next, nullptr);
    EXPECT_EQ(system->next->GetName(), "LivingRoomScene");
    for (int i = 0; i < 5; ++i)
        Keys({});
    ASSERT_EQ(SceneSystem::GetCurrentScene(), "LivingRoomScene");

    // In the living room without a player: nothing.
    manager->FindGameObject("Player")->RequestDestroy();
    Deliver();
    manager->Update(0.0f);
    ASSERT_EQ(manager->FindGameObject("Player"), nullptr);
    treasure.calls.clear();
    Keys({GLFW_KEY_SLASH, GLFW_KEY_2});
    EXPECT_TRUE(treasure.calls.empty());
    EXPECT_EQ(lighting->CountRevealed(), 4);

    // With a player: moved every frame the keys are held.
    GameObject* player = AddPlayer(0.0f, 0.0f);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_2});
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationX, 5.0f);
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationY, 13.0f);
    EXPECT_EQ(treasure.calls, (std::vector<std::string>{"ping 0.500000 1.000000 0.750000"}));
    // A circle of radius 10 cells around (5, 13), i.e. cell (15, 13), here and in the level grid.
    EXPECT_EQ(lighting->GetCell(15, 13), 1);
    EXPECT_EQ(lighting->GetCell(25, 13), 1);
    EXPECT_EQ(lighting->GetCell(26, 13), 0);
    EXPECT_EQ(lighting->GetCell(15, 24), 0);
    EXPECT_EQ(levels->GetCell(15, 13), 0) << "outside the 2 x 2 level grid";
    EXPECT_EQ(levels->GetCell(1, 1), 1);
    player->GetTransform()->TranslationX = 1.0f;
    Keys({GLFW_KEY_SLASH, GLFW_KEY_2});
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationX, 5.0f);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_4});
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationX, 43.0f);
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationY, 26.5f);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_3});
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationX, 36.25f);
    EXPECT_FLOAT_EQ(player->GetTransform()->TranslationY, 13.5f);
    EXPECT_FALSE(system->IsChangePending());
}

TEST_F(DevKeys, MuteActsOncePerPress)
{
    StartIn("A");
    Keys({GLFW_KEY_SLASH, GLFW_KEY_M});
    Keys({GLFW_KEY_SLASH, GLFW_KEY_M});
    Keys({GLFW_KEY_SLASH});
    Keys({GLFW_KEY_SLASH, GLFW_KEY_M});
    EXPECT_EQ(recorder->Count("Set_Bus_Mute"), 2);
    EXPECT_EQ(recorder->Find("Set_Bus_Mute")->text, "Music");
    // E without a window does nothing (and does not crash).
    Keys({GLFW_KEY_SLASH, GLFW_KEY_E});
}

TEST_F(DevKeys, FogToggle)
{
    auto* lighting = new LightingSystem();
    engine->AddSystem(lighting);
    WriteScene("Foggy", R"({ "Tilemap Name": "", "LightingSystem": {} })");
    StartIn("Foggy");
    EXPECT_EQ(lighting->enabled, 1);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_L});
    EXPECT_EQ(lighting->enabled, 0);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_L});
    EXPECT_EQ(lighting->enabled, 0) << "held, not pressed again";
    Keys({GLFW_KEY_SLASH});
    Keys({GLFW_KEY_SLASH, GLFW_KEY_L});
    EXPECT_EQ(lighting->enabled, 1);
}

TEST_F(DevKeys, CollectTheRoomSkipsCollectedEntries)
{
    engine->AddSystem(new StandIn("TreasureManager"));
    StartIn("A");

    auto* shiny = new GameObject();
    shiny->SetName("Collectable");
    auto* sprite = new Sprite();
    shiny->SetComponent(sprite);
    manager->AddGameObject(shiny);
    auto* gone = new GameObject();   // deleted before the key: its entry must not be used
    gone->SetName("Lost");
    manager->AddGameObject(gone);
    treasure.room2 = {GameObjectHandle(), GameObjectHandle(shiny), GameObjectHandle(gone)};
    manager->DeleteGameObject("Lost");

    // Without a player nothing is done.
    Keys({GLFW_KEY_SLASH, GLFW_KEY_X});
    EXPECT_TRUE(treasure.calls.empty());
    Keys({GLFW_KEY_SLASH});

    // The player's room is 7; the search wraps to room 2, the first with treasure left.
    AddPlayer(1.0f, 1.0f);
    Keys({GLFW_KEY_SLASH, GLFW_KEY_X});
    EXPECT_EQ(treasure.calls, (std::vector<std::string>{"collect", "close 2"}));
    EXPECT_FLOAT_EQ(sprite->color[3], 0.0f);

    // Outside every room: nothing.
    treasure.calls.clear();
    manager->FindGameObject("Player")->GetTransform()->TranslationX = -5.0f;
    Keys({GLFW_KEY_SLASH});
    Keys({GLFW_KEY_SLASH, GLFW_KEY_X});
    EXPECT_TRUE(treasure.calls.empty());
}

} // namespace
