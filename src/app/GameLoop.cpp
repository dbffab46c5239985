#include "app/GameLoop.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "app/DataNames.h"
#include "app/SavedOptions.h"
#include "core/CreditsScroll.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/InputManager.h"
#include "graphics/Window.h"
#include "script/LuaAPI_System.h"
#include "ui/EditorSystem.h"

volatile std::sig_atomic_t StopRequested = 0;

namespace {

const char* const MAIN_DATA_FILE = "assets/data/main.json";

extern "C" void OnStopSignal(int)
{
    StopRequested = 1;
}

// Data paths are relative to the working directory. When the data is not there, the folder of the
// executable and its parents are tried, and the first that holds it becomes the working directory.
void FindDataFolder()
{
    std::error_code ec;
    if (std::filesystem::exists(MAIN_DATA_FILE, ec))
        return;
    std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return;
    folder = folder.parent_path();
    while (!folder.empty()) {
        if (std::filesystem::exists(folder / MAIN_DATA_FILE, ec)) {
            std::filesystem::current_path(folder, ec);
            return;
        }
        if (folder == folder.parent_path())
            break;
        folder = folder.parent_path();
    }
}

// Adds the systems that "assets/data/main.json" names, in its order.
void AddListedSystems(Engine& engine)
{
    Stream systems("main", StreamMode_Data, false);
    if (!systems.IsValid())
        AssertionFailed("systems->IsValid()", "src/main", 62, "File \"assets/data/main.json\" not found!");
    engine.AddSystems(systems);
}

} // namespace

void StartSystems(Engine& engine, Window& window)
{
    AddListedSystems(engine);
    engine.AddSystem(std::string("EditorSystem"));
    GraphicsLibrary::SetEditorSystem(dynamic_cast<EditorSystem*>(engine.GetSystem("EditorSystem")));
    engine.Init();
    engine.window = &window;
    ApplySavedOptions();
}

void InstallStopSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

double ReadFrameClock()
{
    static const auto start = std::chrono::steady_clock::now();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

GameLoop::GameLoop(Engine* engine_, Window* window_) : engine(engine_), window(window_)
{
    clock = ReadFrameClock;
    shouldClose = [this]() {
        if (StopRequested)
            return true;
        return window && window->window && glfwWindowShouldClose(window->window);
    };
    escapeDown = [this]() {
        return window && window->window && glfwGetKey(window->window, GLFW_KEY_ESCAPE) == GLFW_PRESS;
    };
    modifierDown = []() {
        return InputManagerInstance && DebugModifierKey >= 0 && DebugModifierKey < InputManager::KEY_COUNT &&
               InputManagerInstance->current[DebugModifierKey] != 0;
    };
    requestClose = [this]() {
        if (window && window->window)
            glfwSetWindowShouldClose(window->window, GLFW_TRUE);
    };
}

void GameLoop::Start()
{
    previousTime = clock();
    frameStep = 0.0f;
    fpsTime = 0.0f;
    fpsFrames = 0;
}

bool GameLoop::ShouldEnd() const
{
    if (!engine || !engine->running)
        return true;
    return shouldClose && shouldClose();
}

bool GameLoop::Frame()
{
    if (ShouldEnd())
        return false;

    const bool drawable = window && window->IsReady();
    // Escape closes the game only while the developer modifier key is held; that frame skips the clear.
    if (escapeDown && escapeDown() && modifierDown && modifierDown()) {
        if (requestClose)
            requestClose();
    } else if (drawable) {
        window->BeginFrame();
    }

    engine->Update(frameStep);
    engine->Draw();
    if (drawable)
        window->Render();

    // Frame pacing: wait (busy) until a full 1/60 s has passed since the previous frame.
    double now = clock();
    float step = static_cast<float>(now - previousTime);
    while (step < FRAME_STEP_MIN) {
        now = clock();
        step = static_cast<float>(now - previousTime);
    }

    fpsTime += step;
    fpsFrames += 1;
    if (fpsTime >= 1.0f) {
        engine->fps = static_cast<float>(fpsFrames);
        fpsTime = 0.0f;
        fpsFrames = 0;
    }

    previousTime = now;
    engine->dt = step;
    frameStep = step;

    // A paused game updates with dt 0 while drawing goes on; the credits scroll moves meanwhile.
    if (engine->paused) {
        AdvanceCredits(CreditsScrollState, step);
        frameStep = 0.0f;
    }
    return true;
}

int GameLoop::Run(int maxFrames)
{
    int frames = 0;
    while (maxFrames < 0 || frames < maxFrames) {
        if (!Frame())
            break;
        ++frames;
    }
    return frames;
}

int RunGame()
{
    InstallStopSignalHandlers();
    FindDataFolder();
    TraceInit();
    RegisterDataNames();

    // Read before the window starts GLFW, so the second frame's step covers the whole start-up.
    const double startTime = ReadFrameClock();

    Engine* engine = new Engine();
    gEngine = engine;
    int status = 0;
    {
        Window window;
        if (!window.IsReady()) {
            status = 1;
        } else {
            StartSystems(*engine, window);
            glfwSetInputMode(window.window, GLFW_CURSOR, GLFW_CURSOR_HIDDEN);
            if (StartupScriptHook)
                StartupScriptHook("print('[Lua]: Hello, World!')");

            GameLoop loop(engine, &window);
            loop.Start();
            loop.previousTime = startTime;
            loop.Run();
        }

        engine->running = 0;
        engine->DeleteSystems();
        delete engine;
        gEngine = nullptr;
    }
    TraceClose();
    return status;
}
