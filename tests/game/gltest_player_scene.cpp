// The shipped living room under Xvfb: the player spawns on the scene's spawn point, and holding UP
// for one second drives it forward and opens the fog around it (fewer fog-coloured pixels, read back).
// While the player manager is not part of the build, a stand-in system spawns the "Player" archetype
// on "Set Player Spawn", as the manager does.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <memory>
#include <string>

#include "GlFrame.h"
#include "TestFiles.h"
#include "core/Engine.h"
#include "app/GameLoop.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "game/BehaviorPlayer.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/Window.h"
#include "ui/EditorSystem.h"
#include "world/Scene.h"
#include "world/SceneSystem.h"

using namespace testsupport;

namespace {

// Spawns the player where the scene asks, once per scene.
class PlayerSpawner : public ISystem {
public:
    std::string GetName() override { return "PlayerSpawner"; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}
    void HandleMessage(Message* message) override
    {
        // Once the player manager is part of the build it spawns the player itself.
        if (!message || !message->Is(28) || !gGameObjectFactory || !gGameObjectManager ||
            Scene::FindSystem("PlayerManager"))
            return;
        GameObject* player = gGameObjectManager->FindGameObject("Player");
        if (!player)
            player = gGameObjectFactory->CreateGameObject("archetypes/Player", true);
        if (player && player->GetTransform())
            player->GetTransform()->SetTranslation(message->vector[0], message->vector[1]);
    }
};

void FogThenCapture()
{
    LightingSystemDrawFog();
    CaptureFrame();
}

int FogPixels()
{
    int count = 0;
    for (int y = 0; y < WindowHeight; y += 4)
        for (int x = 0; x < WindowWidth; x += 4)
            count += IsColour(At(x, y), 13, 13, 13, 2) ? 1 : 0;
    return count;
}

TEST(LivingRoom, PlayerSpawnsDrivesAndRevealsTheFog)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    ScratchDir scratch("player_scene");
    TestSaveDir save(scratch.root / "appdata");
    const fs::path previous = fs::current_path();
    fs::current_path(ShippedGameFolder());
    TraceReset();
    TraceInit();
    auto keys = std::make_shared<ScriptedKeySource>();
    SetDefaultKeySource(keys);

    Engine* engine = new Engine();
    gEngine = engine;
    {
        std::unique_ptr<Window> window(OpenWindow());
        ASSERT_NE(window, nullptr);
        Stream main("main", StreamMode_Data, false);
        engine->AddSystems(main);
        engine->AddSystem(new PlayerSpawner());
        engine->AddSystem(std::string("EditorSystem"));
        GraphicsLibrary::SetEditorSystem(dynamic_cast<EditorSystem*>(engine->GetSystem("EditorSystem")));
        engine->Init();
        engine->window = window.get();
        WindowDrawFogHook = FogThenCapture;

        GameLoop loop(engine, window.get());
        float now = 0.0f;
        loop.clock = [&now]() { return now += 1.0f / 60.0f; };
        loop.shouldClose = []() { return false; };
        loop.escapeDown = []() { return false; };
        loop.Start();
        gSceneSystem->SetNextScene("LivingRoomScene");
        for (int i = 0; i < 400 && (SceneSystem::GetCurrentScene() != "LivingRoomScene" ||
                                    gSceneSystem->GetFadeAlpha() < 1.0f); ++i) {
            engine->paused = 0;
            loop.Frame();
        }
        ASSERT_EQ(SceneSystem::GetCurrentScene(), "LivingRoomScene");
        GameObject* player = gGameObjectManager->FindGameObject("Player");
        ASSERT_NE(player, nullptr);
        Transform* transform = player->GetTransform();
        EXPECT_FLOAT_EQ(transform->TranslationX, 5.0f);
        EXPECT_FLOAT_EQ(transform->TranslationY, 13.0f);
        ASSERT_NE(player->FindChild("PlayerEyes"), nullptr);
        ASSERT_NE(player->FindChild("BatteryBar"), nullptr);

        loop.Frame();
        ASSERT_TRUE(HaveFrame());
        const int fogBefore = FogPixels();
        keys->SetKey(GLFW_KEY_UP, true);
        for (int i = 0; i < 60; ++i) {
            engine->paused = 0;
            loop.Frame();
        }
        keys->SetKey(GLFW_KEY_UP, false);
        loop.Frame();
        EXPECT_GT(transform->TranslationX, 5.5f);
        EXPECT_NEAR(transform->TranslationY, 13.0f, 1e-3);
        const int fogAfter = FogPixels();
        EXPECT_LT(fogAfter, fogBefore);
        RecordProperty("fog", std::to_string(fogBefore) + " -> " + std::to_string(fogAfter));

        WindowDrawFogHook = LightingSystemDrawFog;
        engine->running = 0;
        engine->DeleteSystems();
    }
    delete engine;
    gEngine = nullptr;
    SetDefaultKeySource(nullptr);
    EXPECT_NE(TraceLogFile, nullptr) << "an assertion closed the trace log";
    EXPECT_EQ(ReadFile(save.LogPath()).find("Assertion"), std::string::npos) << ReadFile(save.LogPath());
    TraceReset();
    fs::current_path(previous);
}

} // namespace

// ---- The exit door's animation times, with the textures loaded -------------------------------------

#include "game/BehaviorExitDoor.h"
#include "game_world.h"
#include "graphics/SpriteSheet.h"

namespace {

class DoorAnimations : public gametest::GameWorld {};

TEST_F(DoorAnimations, FrameTimesSpreadTheCountdownsOrFallBackToTheTexture)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    const fs::path previous = fs::current_path();
    fs::current_path(ShippedGameFolder());
    std::unique_ptr<Window> window(OpenWindow());
    ASSERT_NE(window, nullptr);
    struct Case { float timer, doorTimer, counterFrame, doorFrame; };
    // The counter spreads "Timer" over its frames less one; the doors spread "Door Timer" over theirs.
    for (const Case& c : {Case{3.0f, 2.0f, 1.0f, 0.5f}, Case{0.0f, 0.0f, 0.5f, 0.25f}, Case{-1.0f, -2.0f, 0.5f, 0.25f}}) {
        core.reset();
        core = std::make_unique<testsupport::CoreEngine>();
        MakePlayer(0.0f, 0.0f);
        MakeBattery();
        GameObject* door = core->factory->CreateGameObject("archetypes/ExitDoor", true);
        ASSERT_NE(door, nullptr);
        auto* behavior = dynamic_cast<BehaviorExitDoor*>(door->GetBehavior());
        ASSERT_NE(behavior, nullptr);
        behavior->timerSetting = c.timer;
        behavior->doorTimerSetting = c.doorTimer;
        TraceReset();
        const std::string out = CaptureConsole([&] { Frame(4); });
        EXPECT_EQ(out.find("Assertion"), std::string::npos) << out;
        ASSERT_NE(behavior->GetCounter(), nullptr);
        EXPECT_FLOAT_EQ(behavior->GetCounter()->GetSpriteSheet()->frameTime, c.counterFrame) << c.timer;
        if (c.timer <= 0.0f) {
            EXPECT_FLOAT_EQ(door->GetSpriteSheet()->frameTime, c.doorFrame) << c.doorTimer;
        }
        core.reset();
    }
    window.reset();
    fs::current_path(previous);
}

} // namespace
