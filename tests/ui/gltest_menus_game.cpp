// The shipped game with its shipped data, headless under Xvfb and driven by our own key and mouse
// source: from the splash through the title and the main menu into the living room with clicks on
// buttons, the pause menu by Escape and by focus loss, the credits, the options screen's widgets and
// their settings kept across a restart. No assertion is reported on the way.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "GlFrame.h"
#include "TestFiles.h"
#include "core/Engine.h"
#include "app/GameLoop.h"
#include "core/CreditsScroll.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/CameraSystem.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/Sprite.h"
#include "graphics/Window.h"
#include "platform/studio/Studio.h"
#include "ui/MenuSystem.h"
#include "ui/Slider.h"
#include "ui/Volume_CoolVersion.h"
#include "world/SceneSystem.h"

using namespace testsupport;

namespace {

std::vector<unsigned char> frame;
void Grab()
{
    frame.assign(static_cast<std::size_t>(WindowWidth) * static_cast<std::size_t>(WindowHeight) * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WindowWidth, WindowHeight, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
}

// With DUSTRUN_SHOTS set to a folder, the last frame goes there as <name>.ppm (to look at by eye).
void Shot(const std::string& name)
{
    const char* folder = std::getenv("DUSTRUN_SHOTS");
    if (!folder || frame.empty())
        return;
    std::string ppm = "P6\n" + std::to_string(WindowWidth) + " " + std::to_string(WindowHeight) + "\n255\n";
    for (int y = WindowHeight - 1; y >= 0; --y)
        for (int x = 0; x < WindowWidth; ++x)
            for (int c = 0; c < 3; ++c)
                ppm += static_cast<char>(frame[(static_cast<std::size_t>(y) * WindowWidth + x) * 4 + c]);
    WriteFile(fs::path(folder) / (name + ".ppm"), ppm);
}

// The last frame's pixels inside the named interface object's quad (its scale is the half size).
std::vector<unsigned char> PixelsUnder(const std::string& name)
{
    std::vector<unsigned char> out;
    GameObject* object = gGameObjectManager ? gGameObjectManager->FindGameObject(name) : nullptr;
    const Transform* t = object ? object->GetTransform() : nullptr;
    const float half = WindowHeight / 2.0f;   // interface units to pixels
    for (int y = 0; t && y < WindowHeight; ++y)
        for (int x = 0; x < WindowWidth; ++x)
            if (std::abs((x - WindowWidth / 2.0f) / half - t->TranslationX) < t->ScaleX &&
                std::abs((y - half) / half - t->TranslationY) < t->ScaleY) {
                const auto at = frame.begin() + (static_cast<std::ptrdiff_t>(y) * WindowWidth + x) * 4;
                out.insert(out.end(), at, at + 3);
            }
    return out;
}

// Distinct colours of the last frame (every second pixel of every second row).
std::size_t Colours()
{
    std::set<unsigned> seen;
    for (int y = 0; y < WindowHeight; y += 2)
        for (int x = 0; x < WindowWidth; x += 2) {
            const std::size_t i = (static_cast<std::size_t>(y) * WindowWidth + x) * 4;
            seen.insert(frame[i] << 16 | frame[i + 1] << 8 | frame[i + 2]);
        }
    return seen.size();
}

// One run of the game as the program starts it, in a copy of the shipped assets.
class Game {
public:
    explicit Game(std::shared_ptr<ScriptedKeySource> source) : keys(std::move(source))
    {
        SetDefaultKeySource(keys);
        engine = new Engine();
        gEngine = engine;
        window = OpenWindow();
        if (!window)
            return;
        StartSystems(*engine, *window);
        WindowDrawFogHook = Grab;
        loop = std::make_unique<GameLoop>(engine, window);
        loop->clock = [this]() { return now += 0.05f; };
        loop->shouldClose = []() { return false; };
        loop->escapeDown = []() { return false; };
        loop->Start();
    }
    ~Game()
    {
        loop.reset();
        if (engine) {
            engine->running = 0;
            engine->DeleteSystems();
        }
        delete window;
        delete engine;
        gEngine = nullptr;
        SetDefaultKeySource(nullptr);
    }

    bool Ready() const { return window && loop; }

    void Frames(int n)
    {
        for (int i = 0; i < n; ++i) {
            window->focused = focus;  // Xvfb has no window manager to give the focus
            loop->Frame();
        }
    }
    // Runs frames until the scene is current, faded in and settled.
    bool SettleIn(const std::string& name)
    {
        for (int i = 0; i < 400; ++i) {
            if (SceneSystem::GetCurrentScene() == name && !gSceneSystem->IsChangePending() &&
                gSceneSystem->GetFadeAlpha() >= 1.0f)
                break;
            Frames(1);
        }
        Frames(3);
        return SceneSystem::GetCurrentScene() == name && !gSceneSystem->IsChangePending();
    }
    // The cursor over an interface point.
    void MoveTo(float x, float y)
    {
        const float w = static_cast<float>(WindowWidth), h = static_cast<float>(WindowHeight);
        keys->SetCursor((x * h / w + 1.0f) * w / 2.0f, (1.0f - y) * h / 2.0f);
    }
    // Hovers the named object and clicks it; false when it is not there.
    bool Click(const std::string& name, float dx = 0.0f)
    {
        GameObject* object = gGameObjectManager->FindGameObject(name);
        if (!object || !object->GetTransform())
            return false;
        MoveTo(object->GetTransform()->TranslationX + dx, object->GetTransform()->TranslationY);
        Frames(3);
        keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, true);
        Frames(2);
        keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, false);
        Frames(2);
        return true;
    }
    void Tap(int glfwKey)
    {
        keys->SetKey(glfwKey, true);
        Frames(1);
        keys->SetKey(glfwKey, false);
        Frames(2);
    }

    std::shared_ptr<ScriptedKeySource> keys;
    Engine* engine = nullptr;
    Window* window = nullptr;
    std::unique_ptr<GameLoop> loop;
    float now = 0.0f;
    uint8_t focus = 1;
};

bool Has(const std::string& name)
{
    return gGameObjectManager && gGameObjectManager->FindGameObject(name) != nullptr;
}

class MenusGame : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        scratch.CopyFromRepo("assets");
        scratch.Enter();
        TraceReset();
        TraceInit();
    }
    void TearDown() override
    {
        if (!HaveDisplay())
            return;
        EXPECT_NE(TraceLogFile, nullptr) << "an assertion closed the trace log";
        TraceClose();
        const std::string log = ReadFile(save.LogPath());
        EXPECT_EQ(log.find("Assertion"), std::string::npos) << log;
        EXPECT_EQ(log.find("could not be found"), std::string::npos) << log;
    }

    ScratchDir scratch{"menus"};
    TestSaveDir save{scratch.root / "appdata"};
    std::shared_ptr<ScriptedKeySource> keys = std::make_shared<ScriptedKeySource>();
};

TEST_F(MenusGame, SplashToLivingRoomPauseAndCredits)
{
    Game game(keys);
    ASSERT_TRUE(game.Ready());
    std::string out;
    ::testing::internal::CaptureStdout();

    ASSERT_TRUE(game.SettleIn("SplashScreen"));
    EXPECT_TRUE(Has("SplashTitle"));
    const std::size_t flat = 8;
    EXPECT_GT(Colours(), 20 * flat) << "splash";
    Shot("splash");
    game.Frames(10);
    EXPECT_EQ(SceneSystem::GetCurrentScene(), "SplashScreen") << "the splash waits for the player";
    game.Tap(GLFW_KEY_SPACE);
    ASSERT_TRUE(game.SettleIn("TitleMenuScene"));
    EXPECT_GT(Colours(), 20 * flat) << "title";
    Shot("title");

    ASSERT_TRUE(game.Click("TitleStart"));
    ASSERT_TRUE(game.SettleIn("MainMenuScene"));
    EXPECT_TRUE(game.engine->showCursor) << "menus show the cursor";
    EXPECT_GT(Colours(), 20 * flat) << "main menu";
    Shot("main_menu");
    ASSERT_TRUE(game.Click("MainMenuPlay"));
    ASSERT_TRUE(game.SettleIn("LivingRoomScene"));
    EXPECT_FALSE(game.engine->paused);
    EXPECT_FALSE(game.engine->showCursor) << "the level hides it";

    // Escape pauses behind the pause menu; its Resume button goes on.
    game.Tap(GLFW_KEY_ESCAPE);
    EXPECT_TRUE(game.engine->paused);
    EXPECT_TRUE(Has("PauseResume"));
    EXPECT_GT(Colours(), 20 * flat) << "pause menu";
    Shot("pause_menu");
    {
        // The fogged level stays hidden behind the panel: with the view moved elsewhere beneath it,
        // none of the panel's pixels change.
        WindowDrawFogHook = [] {
            LightingSystemDrawFog();
            Grab();
        };
        game.Frames(1);
        const std::vector<unsigned char> here = PixelsUnder("PausePanel");
        ASSERT_NE(CameraSystemInstance, nullptr);
        Transform* followed = CameraSystemInstance->GetTarget();
        Transform elsewhere;
        elsewhere.SetTranslation(followed->TranslationX + 9.0f, followed->TranslationY - 4.0f);
        CameraSystemInstance->SetTarget(&elsewhere);
        game.Frames(40);
        Shot("pause_menu_moved");
        ASSERT_GT(here.size(), 100000u);
        EXPECT_TRUE(PixelsUnder("PausePanel") == here) << "the level shows through the pause panel";
        CameraSystemInstance->SetTarget(followed);
        WindowDrawFogHook = Grab;
        game.Frames(40);
    }
    game.Frames(5);
    EXPECT_TRUE(game.engine->paused) << "the menu stays open";
    ASSERT_TRUE(game.Click("PauseResume"));
    game.Frames(2);
    EXPECT_FALSE(game.engine->paused);
    EXPECT_FALSE(Has("PauseResume"));

    // Escape twice: open and close.
    game.Tap(GLFW_KEY_ESCAPE);
    EXPECT_TRUE(game.engine->paused);
    game.Tap(GLFW_KEY_ESCAPE);
    game.Frames(2);
    EXPECT_FALSE(game.engine->paused);
    EXPECT_FALSE(Has("PauseResume"));

    // Losing the focus opens it too; with the focus back, Resume goes on.
    game.focus = 0;
    WindowFocusCallback(game.window->window, 0);
    game.Frames(2);
    EXPECT_TRUE(game.engine->paused);
    EXPECT_TRUE(Has("PauseResume"));
    game.focus = 1;
    WindowFocusCallback(game.window->window, 1);
    game.Frames(2);
    EXPECT_TRUE(game.engine->paused) << "the pause menu holds the game";
    ASSERT_TRUE(game.Click("PauseResume"));
    game.Frames(2);
    EXPECT_FALSE(game.engine->paused);

    // Pause menu to the main menu, then the credits scroll and stop.
    game.Tap(GLFW_KEY_ESCAPE);
    ASSERT_TRUE(game.Click("PauseMainMenu"));
    ASSERT_TRUE(game.SettleIn("MainMenuScene"));
    ASSERT_TRUE(game.Click("MainMenuCredits"));
    EXPECT_TRUE(game.engine->paused);
    EXPECT_TRUE(CreditsScrollState.running);
    EXPECT_GT(Colours(), 20 * flat) << "credits";
    Shot("credits");
    ASSERT_TRUE(Has("CreditsLine13"));
    const float startY = gGameObjectManager->FindGameObject("CreditsLine13")->GetTransform()->TranslationY;
    game.Frames(100);
    EXPECT_GT(gGameObjectManager->FindGameObject("CreditsLine13")->GetTransform()->TranslationY, startY + 0.5f);
    game.Frames(200);
    EXPECT_FALSE(CreditsScrollState.running);
    EXPECT_FALSE(game.engine->paused);
    EXPECT_FALSE(Has("CreditsLine01"));
    EXPECT_TRUE(Has("MainMenuPlay")) << "the credits hand back to the main menu";
    out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Added CreditsLine01 to credits scroll"), std::string::npos);
    EXPECT_NE(out.find("Credits stopped"), std::string::npos);
}

TEST_F(MenusGame, OptionsWidgetsKeepTheirSettingsAcrossARestart)
{
    {
        Game game(keys);
        ASSERT_TRUE(game.Ready());
        ASSERT_TRUE(game.SettleIn("SplashScreen"));
        gSceneSystem->SetNextScene("MainMenuScene");
        ASSERT_TRUE(game.SettleIn("MainMenuScene"));
        ASSERT_TRUE(game.Click("MainMenuOptions"));
        game.Frames(2);
        ASSERT_TRUE(Has("MusicVolume"));
        EXPECT_GT(Colours(), 160u) << "options";
    Shot("options");
        auto* music = dynamic_cast<Volume_CoolVersion*>(gGameObjectManager->FindGameObject("MusicVolume")->GetBehavior());
        ASSERT_NE(music, nullptr);
        ASSERT_EQ(music->value, 8);
        // Five clicks on minus (the circle at X - 3 SX) bring the music down to 3.
        GameObject* minus = music->minus.Get();
        ASSERT_TRUE(minus && minus->GetTransform());
        const std::string step = "EventInstance::start event:/Menu/Menu_VolumeMusic";
        const int steps = studio::inspect::CountCalls(step);
        for (int i = 0; i < 5; ++i) {
            game.MoveTo(minus->GetTransform()->TranslationX, minus->GetTransform()->TranslationY + 0.02f);
            game.Frames(1);
            keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, true);
            game.Frames(1);
            keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, false);
            game.Frames(1);
        }
        EXPECT_EQ(music->value, 3);
        game.Frames(1);   // the last click's sound is delivered
        EXPECT_EQ(studio::inspect::CountCalls(step) - steps, 5) << "each click sounds a step";
        // The master slider dragged from its right end to the middle of its line.
        auto* slider = dynamic_cast<Slider*>(gGameObjectManager->FindGameObject("MasterSlider")->GetBehavior());
        ASSERT_NE(slider, nullptr);
        GameObject* knob = slider->GetKnob();
        ASSERT_NE(knob, nullptr);
        game.MoveTo(knob->GetTransform()->TranslationX, knob->GetTransform()->TranslationY + 0.02f);
        game.Frames(1);
        keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, true);
        game.Frames(2);
        const Transform* line = gGameObjectManager->FindGameObject("MasterSlider")->GetTransform();
        game.MoveTo(line->TranslationX, line->TranslationY);
        game.Frames(2);
        keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, false);
        game.Frames(2);
        EXPECT_NEAR(slider->value, 0.5f, 0.01f);
        // The ambience dropdown: open it, pick "Muted".
        ASSERT_TRUE(game.Click("Dropdown_Ambience_On"));
        ASSERT_TRUE(game.Click("Dropdown_Ambience_Muted"));
        // The fullscreen checkbox.
        ASSERT_TRUE(game.Click("FullscreenCheckbox"));
        game.Frames(3);
        EXPECT_FALSE(IsFullscreen());
        ASSERT_TRUE(game.Click("OptionsBack"));
        game.Frames(2);
        EXPECT_TRUE(Has("MainMenuPlay"));
        EXPECT_FALSE(Has("MusicVolume"));
    }
    // A new run reads the options back from the menu file and plays by them from the start: music 3
    // and sound 8 of 10 at half the master volume, the ambience muted, windowed.
    Game game(keys);
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.SettleIn("SplashScreen"));
    game.Tap(GLFW_KEY_SPACE);
    ASSERT_TRUE(game.SettleIn("TitleMenuScene"));
    auto savedSettingsHold = [&](const char* when) {
        EXPECT_FLOAT_EQ(studio::inspect::GlobalParameter("MusicSlider"), 1.5f) << when;
        EXPECT_FLOAT_EQ(studio::inspect::GlobalParameter("SFXSlider"), 4.0f) << when;
        EXPECT_TRUE(studio::inspect::BusState("bus:/Ambience").mute) << when;
        EXPECT_FALSE(IsFullscreen()) << when;
    };
    savedSettingsHold("title screen");
    bool titleMusic = false;
    for (const studio::inspect::InstanceInfo& info : studio::inspect::Instances())
        titleMusic = titleMusic || (info.playing && info.eventPath.find("Music") != std::string::npos);
    EXPECT_TRUE(titleMusic) << "the title music plays";
    MenuSystem::LoadMenu("Options");
    game.Frames(2);
    savedSettingsHold("options screen");
    auto* music = dynamic_cast<Volume_CoolVersion*>(gGameObjectManager->FindGameObject("MusicVolume")->GetBehavior());
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->value, 3);
    auto* slider = dynamic_cast<Slider*>(gGameObjectManager->FindGameObject("MasterSlider")->GetBehavior());
    ASSERT_NE(slider, nullptr);
    EXPECT_NEAR(slider->value, 0.5f, 0.01f);
    EXPECT_EQ(gGameObjectManager->FindGameObject("FullscreenCheckbox")->GetBehavior()->GetCurrentState(), 0);
    GameObject* shown = gGameObjectManager->FindGameObject("Dropdown_Ambience_Muted");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->GetSprite()->color[3], 1.0f);
    GameObject* hidden = gGameObjectManager->FindGameObject("Dropdown_Ambience_On");
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(hidden->GetSprite()->color[3], 0.0f) << "the list shows only its saved choice while closed";
}

} // namespace
