#pragma once
// The whole game in this process, as the program runs it (the shipped main file, every system, the
// shipped data), with a seeded generator, a frame clock that steps 1/60 s a frame, keys pressed
// through a scripted key source, and screenshots of chosen frames. The runs in gltest_*_run.cpp
// drive it like a player: an autopilot turns and drives the player through a list of points.
//
// Screenshots and the save directory (with the trace log) go to /tmp/dustrun_run_<run name>_<checkout>/
// (with "_asan" added in the sanitizer build; <checkout> a number made from the source folder's path,
// so checkouts that run the same run at once on one machine keep apart) and stay there after the run,
// so a person can look at them when it fails.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "GlFrame.h"
#include "TestFiles.h"
#include "core/Engine.h"
#include "app/GameLoop.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Random.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "game/BehaviorPlayer.h"
#include "game/BehaviorTimer.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/Window.h"
#include "world/SceneSystem.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace gamerun {

using namespace testsupport;

constexpr double FRAME = 1.0 / 60.0 + 1e-6;   // a hair above the loop's minimum step

// The sanitizer build keeps its pictures apart from the release build's.
#ifdef __SANITIZE_ADDRESS__
constexpr const char* BUILD_TAG = "_asan";
#else
constexpr const char* BUILD_TAG = "";
#endif

// A short number for this checkout (from its source folder's path).
inline std::string CheckoutTag()
{
    return std::to_string(std::hash<std::string>{}(RepoDir().string()) % 100000);
}

// Where the frame hook writes the next screenshot; empty: none asked for.
inline std::string& PendingShot()
{
    static std::string path;
    return path;
}

// The last screenshot's pixels at full size (RGBA, rows from the bottom) and its size.
struct ShotPixels {
    std::vector<unsigned char> rgba;
    int width = 0, height = 0;
};
inline ShotPixels& LastShot()
{
    static ShotPixels shot;
    return shot;
}

// Draws the fog as the window does, then, when a screenshot is asked for, reads the finished frame
// back (before the swap) and writes it at half size as a PNG.
inline void FogAndShot()
{
    LightingSystemDrawFog();
    std::string& path = PendingShot();
    if (path.empty())
        return;
    const int w = WindowWidth, h = WindowHeight;
    std::vector<unsigned char>& full = LastShot().rgba;
    full.assign(static_cast<std::size_t>(w) * h * 4, 0);
    LastShot().width = w;
    LastShot().height = h;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, full.data());
    const int hw = w / 2, hh = h / 2;
    std::vector<unsigned char> half(static_cast<std::size_t>(hw) * hh * 3);
    for (int y = 0; y < hh; ++y)
        for (int x = 0; x < hw; ++x)
            for (int c = 0; c < 3; ++c)   // rows from the top; GL reads them from the bottom
                half[(static_cast<std::size_t>(y) * hw + x) * 3 + c] =
                    full[(static_cast<std::size_t>(h - 1 - 2 * y) * w + 2 * x) * 4 + c];
    stbi_write_png(path.c_str(), hw, hh, 3, half.data(), hw * 3);
    path.clear();
}

struct Point {
    float x, y;
};

class GameRun {
public:
    // Starts the game. With a first scene, that scene is loaded on the first frame in place of the
    // one "scenes/InitialScene" names.
    explicit GameRun(const std::string& runName, const std::string& firstScene = "")
        : folder(fs::temp_directory_path() / ("dustrun_run_" + runName + "_" + CheckoutTag() + BUILD_TAG)),
          save(folder / "appdata")
    {
        fs::remove_all(folder);
        fs::create_directories(folder);
        previousDir = fs::current_path();
        fs::current_path(ShippedGameFolder());
        TraceReset();
        TraceInit();
        Random::Seed(20261208);
        keys = std::make_shared<ScriptedKeySource>();
        SetDefaultKeySource(keys);

        engine = new Engine();
        gEngine = engine;
        window = OpenWindow();
        if (!window)
            return;
        StartSystems(*engine, *window);
        if (!firstScene.empty() && gSceneSystem)
            gSceneSystem->SetNextScene(firstScene);
        Random::Seed(20261208);   // again: start-up may have seeded it from the time

        WindowDrawFogHook = FogAndShot;
        loop = std::make_unique<GameLoop>(engine, window);
        loop->clock = [this]() { return static_cast<float>(now += FRAME); };
        loop->shouldClose = []() { return false; };
        loop->escapeDown = [this]() { return keys->IsKeyDown(GLFW_KEY_ESCAPE); };
        loop->Start();
    }

    ~GameRun()
    {
        loop.reset();
        if (engine) {
            engine->running = 0;
            engine->DeleteSystems();
            delete engine;
            gEngine = nullptr;
        }
        delete window;
        WindowDrawFogHook = LightingSystemDrawFog;
        SetDefaultKeySource(nullptr);
        TraceClose();
        fs::current_path(previousDir);
    }

    bool Ready() const { return window != nullptr && loop != nullptr; }

    // One frame of the game.
    void Frame()
    {
        loop->Frame();
        ++frames;
        if (onFrame)
            onFrame();
    }
    // Runs frames until the condition holds (checked before each frame) or the limit is reached.
    bool RunUntil(const std::function<bool()>& done, int maxFrames, const std::function<void()>& each = {})
    {
        for (int i = 0; i < maxFrames; ++i) {
            if (done())
                return true;
            if (each)
                each();
            Frame();
        }
        return done();
    }
    void Run(int count)
    {
        for (int i = 0; i < count; ++i)
            Frame();
    }

    // The next rendered frame is saved as <folder>/<nn>_<label>.png.
    void Shot(const std::string& label)
    {
        ShotNext(label);
        Frame();
    }
    // The next frame rendered is saved (without running one now).
    void ShotNext(const std::string& label)
    {
        char name[16];
        std::snprintf(name, sizeof name, "%02d_", ++shots);
        PendingShot() = (folder / (name + label + ".png")).string();
    }

    // Pixels of the last screenshot within `tolerance` of the colour on every channel, in the middle
    // fifth of the picture each way (where the camera keeps the player).
    int ShotPixelsNearCentre(int r, int g, int b, int tolerance = 16) const
    {
        // Read at the saved picture's half size: every other pixel of every other row.
        const ShotPixels& shot = LastShot();
        const int hw = shot.width / 2, hh = shot.height / 2;
        int count = 0;
        for (int y = hh * 2 / 5; y < hh * 3 / 5; ++y)
            for (int x = hw * 2 / 5; x < hw * 3 / 5; ++x) {
                const unsigned char* p =
                    &shot.rgba[(static_cast<std::size_t>(shot.height - 1 - 2 * y) * shot.width + 2 * x) * 4];
                count += std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance;
            }
        return count;
    }

    void Key(int glfwKey, bool down) { keys->SetKey(glfwKey, down); }
    // Holds the keys for the frames, then lets them go.
    void Hold(std::initializer_list<int> held, int count)
    {
        for (int k : held)
            Key(k, true);
        Run(count);
        for (int k : held)
            Key(k, false);
    }
    void Tap(int glfwKey)
    {
        Hold({glfwKey}, 3);
        Run(2);
    }
    void ReleaseDriveKeys()
    {
        for (int k : {GLFW_KEY_W, GLFW_KEY_A, GLFW_KEY_D, GLFW_KEY_S})
            Key(k, false);
    }

    // Puts the mouse on a place of the interface (x right, y up, the picture's height 2 units).
    void MoveTo(float ix, float iy)
    {
        float x = 0.0f, y = 0.0f;
        InterfaceToWindow(ix, iy, x, y);
        keys->SetCursor(x, y);
    }
    // The window pixel of a place of the interface.
    static void InterfaceToWindow(float ix, float iy, float& x, float& y)
    {
        const float w = static_cast<float>(PICTURE_WIDTH), h = static_cast<float>(PICTURE_HEIGHT);
        x = (ix * h / w + 1.0f) * w * 0.5f;
        y = (1.0f - iy) * h * 0.5f;
        PictureToWindow(x, y);
    }
    // The pixel of the last screenshot at window pixel (x, y) from the top left; black outside it.
    Pixel ShotAt(int x, int y) const
    {
        const ShotPixels& shot = LastShot();
        Pixel p;
        const int row = shot.height - 1 - y;
        if (x < 0 || row < 0 || x >= shot.width || y < 0)
            return p;
        const std::size_t i = (static_cast<std::size_t>(row) * shot.width + x) * 4;
        p.r = shot.rgba[i];
        p.g = shot.rgba[i + 1];
        p.b = shot.rgba[i + 2];
        return p;
    }
    // Clicks the named menu object with a press and release quicker than a frame; false when there is
    // no such object.
    bool QuickClick(const std::string& objectName)
    {
        GameObject* object = gGameObjectManager ? gGameObjectManager->FindGameObject(objectName) : nullptr;
        if (!object || !object->GetTransform())
            return false;
        MoveTo(object->GetTransform()->TranslationX, object->GetTransform()->TranslationY);
        Run(4);
        keys->TapMouseButton(GLFW_MOUSE_BUTTON_LEFT);
        Run(4);
        return true;
    }

    // Moves the mouse from a far corner onto the named menu object and clicks it in that same frame
    // (as "xdotool mousemove x y click 1" does); false when there is no such object.
    bool ArriveAndClick(const std::string& objectName)
    {
        GameObject* object = gGameObjectManager ? gGameObjectManager->FindGameObject(objectName) : nullptr;
        if (!object || !object->GetTransform())
            return false;
        MoveTo(-1.7f, 0.98f);
        Run(3);
        MoveTo(object->GetTransform()->TranslationX, object->GetTransform()->TranslationY);
        keys->TapMouseButton(GLFW_MOUSE_BUTTON_LEFT);
        Run(4);
        return true;
    }

    // Moves the mouse onto the centre of the named menu object (its place in the interface: x right,
    // y up, the picture's height 2 units) and clicks it; false when there is no such object.
    bool Click(const std::string& objectName)
    {
        GameObject* object = gGameObjectManager ? gGameObjectManager->FindGameObject(objectName) : nullptr;
        if (!object || !object->GetTransform())
            return false;
        MoveTo(object->GetTransform()->TranslationX, object->GetTransform()->TranslationY);
        Run(4);
        keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, true);
        Run(4);
        keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, false);
        Run(4);
        return true;
    }
    // Runs frames until the scene is current with no change pending and faded in.
    bool SettleIn(const std::string& scene, int maxFrames = 600)
    {
        return RunUntil(
            [&] {
                return SceneSystem::GetCurrentScene() == scene && gSceneSystem && !gSceneSystem->IsChangePending() &&
                       gSceneSystem->GetFadeAlpha() >= 1.0f;
            },
            maxFrames);
    }

    GameObject* Player() const
    {
        return gGameObjectManager ? gGameObjectManager->FindGameObject("Player") : nullptr;
    }
    BehaviorPlayer* PlayerBehavior() const
    {
        GameObject* player = Player();
        return player ? dynamic_cast<BehaviorPlayer*>(player->GetBehavior()) : nullptr;
    }
    BehaviorTimer* Battery() const
    {
        GameObject* player = Player();
        GameObject* bar = player ? player->FindChild("BatteryBar") : nullptr;
        return bar ? dynamic_cast<BehaviorTimer*>(bar->GetBehavior()) : nullptr;
    }
    float BatteryValue() const
    {
        BehaviorTimer* battery = Battery();
        return battery ? battery->value : -1000.0f;
    }

    // Presses the keys that turn the player towards the point and drive it there; true (with the drive
    // keys up) once it is within reach.
    bool SteerTo(Point target, float reach = 0.3f)
    {
        ReleaseDriveKeys();
        GameObject* player = Player();
        if (!player || !player->GetTransform())
            return false;
        const Transform* t = player->GetTransform();
        const float dx = target.x - t->TranslationX;
        const float dy = target.y - t->TranslationY;
        if (std::hypot(dx, dy) <= reach)
            return true;
        float turn = std::atan2(dy, dx) - t->Rotation;
        turn = std::remainder(turn, 2.0f * static_cast<float>(M_PI));
        if (turn > 0.06f)
            Key(GLFW_KEY_A, true);
        else if (turn < -0.06f)
            Key(GLFW_KEY_D, true);
        if (std::fabs(turn) < 0.5f)
            Key(GLFW_KEY_W, true);
        return false;
    }
    // Drives through the points in order; false when a point is not reached within the frames given
    // for it.
    ::testing::AssertionResult Drive(const std::vector<Point>& route, int framesPerPoint = 600)
    {
        for (const Point& p : route) {
            int spent = 0;
            while (!SteerTo(p)) {
                if (++spent > framesPerPoint) {
                    ReleaseDriveKeys();
                    const Transform* t = Player() ? Player()->GetTransform() : nullptr;
                    return ::testing::AssertionFailure()
                           << "the player did not reach (" << p.x << ", " << p.y << "); it is at ("
                           << (t ? t->TranslationX : 0) << ", " << (t ? t->TranslationY : 0) << ") after "
                           << frames << " frames";
                }
                Frame();
            }
        }
        ReleaseDriveKeys();
        return ::testing::AssertionSuccess();
    }

    std::string TraceLog() const { return ReadFile(save / "Quorvex/PemmetsDustrun/trace/trace.log"); }

    // The trace lines that tell of an assertion or of a texture, sound, archetype, script, mesh or
    // other data file that could not be found.
    std::vector<std::string> ProblemLines() const
    {
        static const std::regex problem(
            "Assertion|Trace log ended|not found|could not be found|Couldn't find|Failed to load|"
            "No field exists|No object exists|Error loading|error loading|cannot open|No such file|"
            "No treasure was deleted!");
        // The first gameplay scene looks for the gameplay systems before it adds them.
        static const std::regex expected("^System (PlayerManager|ScoreManager|TileMapSystem) not found$");
        std::vector<std::string> lines;
        std::istringstream in(TraceLog());
        for (std::string line; std::getline(in, line);) {
            if (std::regex_search(line, problem) && !std::regex_search(line, expected))
                lines.push_back(line);
        }
        return lines;
    }

    const fs::path folder;
    const fs::path save;
    TestSaveDir saveDir{save};
    std::shared_ptr<ScriptedKeySource> keys;
    Engine* engine = nullptr;
    Window* window = nullptr;
    std::unique_ptr<GameLoop> loop;
    double now = 0.0;
    int frames = 0;
    int shots = 0;
    // Called after every frame (to watch what happens along the way).
    std::function<void()> onFrame;

private:
    fs::path previousDir;
};

inline std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

} // namespace gamerun
