// Scenes under Xvfb: a run of the shipped data through every shipped scene reports no assertion and
// rewrites no scene file; the fade alpha reaches the shaders within 0..1.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "TestFiles.h"
#include "core/Engine.h"
#include "app/GameLoop.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Window.h"
#include "ui/EditorSystem.h"
#include "world/Scene.h"
#include "world/SceneSystem.h"

namespace fs = std::filesystem;

namespace {

bool HaveDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// ---- Fade alpha in the shaders ----------------------------------------------------------------------

std::vector<unsigned char> captured;

void CaptureFrame()
{
    captured.assign(static_cast<std::size_t>(WindowWidth) * static_cast<std::size_t>(WindowHeight) * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WindowWidth, WindowHeight, GL_RGBA, GL_UNSIGNED_BYTE, captured.data());
}

std::vector<int> Centre()
{
    const std::size_t i =
        (static_cast<std::size_t>(WindowHeight / 2) * static_cast<std::size_t>(WindowWidth) + WindowWidth / 2) * 4;
    return {captured[i], captured[i + 1], captured[i + 2]};
}

TEST(SceneFade, AlphaOutsideZeroToOneReachesTheShadersClamped)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    const fs::path previous = fs::current_path();
    fs::current_path(testsupport::ShippedGameFolder());
    {
        Window window;
        ASSERT_TRUE(window.IsReady());
        auto* previousHook = WindowDrawFogHook;
        WindowDrawFogHook = CaptureFrame;

        DrawCommand command;
        command.mesh = GraphicsLibrary::GetMesh("empty_mesh");
        ASSERT_NE(command.mesh, nullptr);
        command.color[0] = 0.5f;
        command.color[1] = 0.0f;
        command.color[2] = 0.0f;
        command.color[3] = 1.0f;
        command.model[0] = 500.0f;
        command.model[5] = 500.0f;

        auto drawWith = [&](float alpha) {
            glClearColor(0.0f, 0.0f, 0.5f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
            window.globalAlpha = alpha;
            window.QueueDrawCommand(DRAW_LAYER_BACKGROUND, command);
            window.Render();
            return Centre();
        };

        // Within range: half red over half blue.
        std::vector<int> half = drawWith(0.5f);
        EXPECT_NEAR(half[0], 64, 2);
        EXPECT_NEAR(half[2], 64, 2);
        // Above 1 draws as 1: the panel's own colour, nothing of the background.
        std::vector<int> high = drawWith(1.5f);
        EXPECT_NEAR(high[0], 128, 2);
        EXPECT_EQ(high[2], 0);
        // Below 0 draws as 0: the background untouched.
        std::vector<int> low = drawWith(-0.5f);
        EXPECT_EQ(low[0], 0);
        EXPECT_NEAR(low[2], 128, 2);

        WindowDrawFogHook = previousHook;
    }
    fs::current_path(previous);
}

// ---- A run through the shipped scenes ---------------------------------------------------------------

class ShippedScenes : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        previous_ = fs::current_path();
        fs::current_path(testsupport::ShippedGameFolder());
        save_ = fs::temp_directory_path() / ("dustrun_scenes_run_" + std::to_string(::getpid()));
        fs::remove_all(save_);
        fs::create_directories(save_);
        setenv("APPDATA", save_.c_str(), 1);
        TraceReset();
        TraceInit();
    }
    void TearDown() override
    {
        TraceReset();
        unsetenv("APPDATA");
        std::error_code ec;
        fs::remove_all(save_, ec);
        if (!previous_.empty())
            fs::current_path(previous_);
    }
    std::string Log() const { return ReadFile(save_ / "Quorvex/PemmetsDustrun/trace/trace.log"); }

    fs::path previous_;
    fs::path save_;
};

TEST_F(ShippedScenes, EveryShippedSceneRunsWithoutAnAssertion)
{
    // The scene files as shipped: a normal run must leave them as they are.
    std::map<fs::path, std::string> shipped;
    for (const auto& entry : fs::directory_iterator("assets/data/scenes"))
        shipped[entry.path()] = ReadFile(entry.path());
    ASSERT_GE(shipped.size(), 7u);

    Engine* engine = new Engine();
    gEngine = engine;
    {
        Window window;
        ASSERT_TRUE(window.IsReady());

        // The systems of the shipped main file, plus those the scenes need that it does not list yet.
        Stream main("main", StreamMode_Data, false);
        ASSERT_TRUE(main.IsValid());
        engine->AddSystems(main);
        const std::pair<const char*, const char*> needed[] = {{"ObjectFactory", "ObjectFactory"},
                                                              {"GameObjectFactory", "GameObjectFactory"},
                                                              {"GameObjectManager", "GameObjectManager"},
                                                              {"SceneSystem", "Scene System"}};
        for (const auto& [factoryName, lookupName] : needed) {
            if (!Scene::FindSystem(lookupName))
                engine->AddSystem(std::string(factoryName));
        }
        engine->AddSystem(std::string("EditorSystem"));
        GraphicsLibrary::SetEditorSystem(dynamic_cast<EditorSystem*>(engine->GetSystem("EditorSystem")));
        engine->Init();
        engine->window = &window;
        ASSERT_NE(gSceneSystem, nullptr);
        ASSERT_NE(gSceneSystem->next, nullptr) << "Init requests the initial scene";
        EXPECT_EQ(gSceneSystem->next->GetName(), "SplashScreen");

        GameLoop loop(engine, &window);
        // Quarter-second frames keep the fade-outs short (four frames, seventeen for "Win").
        float now = 0.0f;
        loop.clock = [&now]() { return now += 0.25f; };
        loop.shouldClose = []() { return false; };
        loop.escapeDown = []() { return false; };
        loop.Start();

        // Runs frames until the scene is current (and, when asked, faded in), then a few more; the
        // next change may start while the fade-in is still running.
        auto settleIn = [&](const std::string& name, bool fadedIn) {
            int frames = 0;
            while (frames < 400 && (SceneSystem::GetCurrentScene() != name || gSceneSystem->IsChangePending() ||
                                    (fadedIn && gSceneSystem->GetFadeAlpha() < 1.0f))) {
                engine->paused = 0;   // no focus games under Xvfb
                loop.Frame();
                ++frames;
            }
            for (int i = 0; i < 5; ++i)
                loop.Frame();
            return SceneSystem::GetCurrentScene() == name && !gSceneSystem->IsChangePending();
        };

        ASSERT_TRUE(settleIn("SplashScreen", false));
        EXPECT_NE(gGameObjectManager->FindGameObject("SplashTitle"), nullptr);
        const char* const walk[] = {"TitleMenuScene", "MainMenuScene", "LivingRoomScene", "LivingRoomScene",
                                    "GameOver", "LivingRoomScene", "Win", "SplashScreen"};
        for (const char* name : walk) {
            gSceneSystem->SetNextScene(name);
            EXPECT_TRUE(settleIn(name, false)) << name;
            if (std::string(name) == "LivingRoomScene") {
                EXPECT_NE(gGameObjectManager->FindGameObject("Room3Boundary"), nullptr);
                GameObject* charger = gGameObjectManager->FindGameObject("Charging Station");
                ASSERT_NE(charger, nullptr);
                EXPECT_FLOAT_EQ(charger->GetTransform()->TranslationX, 11.0f);
            }
            if (std::string(name) == "GameOver" || std::string(name) == "Win") {
                // A menu scene after a level draws no tile map.
                ISystem* tiles = Scene::FindSystem("TileMapSystem");
                ASSERT_NE(tiles, nullptr);
                EXPECT_EQ(tiles->active, 0) << name;
            }
            if (std::string(name) == "MainMenuScene") {
                EXPECT_NE(gGameObjectManager->FindGameObject("MainMenuPlay"), nullptr);
            }
        }
        EXPECT_EQ(gSceneSystem->scenes.size(), 6u) << "each scene constructed once";
        // The last one fades in completely.
        EXPECT_TRUE(settleIn("SplashScreen", true));
        EXPECT_GE(gSceneSystem->GetFadeAlpha(), 1.0f);

        engine->running = 0;
        engine->DeleteSystems();
    }
    delete engine;
    gEngine = nullptr;

    EXPECT_NE(TraceLogFile, nullptr) << "an assertion closed the trace log";
    const std::string log = Log();
    EXPECT_EQ(log.find("Assertion"), std::string::npos) << log;
    EXPECT_NE(log.find("Initializing Scene System..."), std::string::npos) << log;
    // The sound data of the shipped scenes is all there: the banks load and no audio lookup misses.
    EXPECT_NE(log.find("Successfully opened from file path assets/data/audio/GUIDs.txt"), std::string::npos);
    EXPECT_NE(log.find("SFX bank successfully read and added to list of banks!"), std::string::npos);
    EXPECT_EQ(log.find("Couldn't find"), std::string::npos) << log;
    // Parameter changes for a sound that isn't playing (the player tunes the laser hum every frame,
    // with or without a laser in earshot) are traced and harmless; any other instance miss is not.
    for (std::size_t at = log.find("does not exist."); at != std::string::npos; at = log.find("does not exist.", at + 1)) {
        const std::size_t lineStart = log.rfind('\n', at) + 1;
        EXPECT_NE(log.substr(lineStart, at - lineStart).find("Obstacle_LaserHum"), std::string::npos)
            << log.substr(lineStart, at - lineStart);
    }
    for (const auto& [path, text] : shipped)
        EXPECT_EQ(ReadFile(path), text) << path << " was rewritten";
}

} // namespace
