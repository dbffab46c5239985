#pragma once
// The program's start-up, frame loop and shutdown. main() only calls RunGame(); tests drive GameLoop
// directly with their own clock and their own "should close".
#include <csignal>
#include <functional>


class Engine;
class GameObject;
class Window;

// Frames start no closer than this many seconds apart.
constexpr float FRAME_STEP_MIN = 0.016666668f;

// Set by SIGINT/SIGTERM; the frame loop treats it like "the window should close".
extern volatile std::sig_atomic_t StopRequested;
// Installs the SIGINT and SIGTERM handlers that set StopRequested.
void InstallStopSignalHandlers();

// Seconds since the first call (the frame clock used by the game). Kept in double: a float count of
// seconds loses the sixtieth of a second after some hours and the pacing would drift.
double ReadFrameClock();

class GameLoop {
public:
    // Works on the engine and the window given (either may be null; a missing window draws nothing).
    GameLoop(Engine* engine, Window* window);
    // The default seams refer to this loop, so a loop is not copied.
    GameLoop(const GameLoop&) = delete;
    GameLoop& operator=(const GameLoop&) = delete;

    // Reads the clock once: the previous frame time before the first frame.
    void Start();
    // One frame: Escape rule or clear, update, draw, render, pacing, fps count, pause handling.
    // Returns false (doing nothing) when the loop should end before this frame.
    bool Frame();
    // Runs frames until the loop should end, or at most maxFrames frames when maxFrames >= 0.
    // Returns the number of frames run.
    int Run(int maxFrames = -1);
    // True when the engine stopped running or the window (or a signal) asked to close.
    bool ShouldEnd() const;

    // The frame clock in seconds (ReadFrameClock by default).
    std::function<double()> clock;
    // "The window should close" (GLFW's flag or StopRequested by default).
    std::function<bool()> shouldClose;
    // Escape down for the window (GLFW by default).
    std::function<bool()> escapeDown;
    // The developer modifier key ("/") down in the input manager's current key states.
    std::function<bool()> modifierDown;
    // Asks the window to close (GLFW by default).
    std::function<void()> requestClose;

    Engine* engine = nullptr;
    Window* window = nullptr;
    double previousTime = 0.0; // clock reading at the end of the previous frame
    float frameStep = 0.0f;    // step handed to the next Engine::Update
    float fpsTime = 0.0f;      // accumulated frame steps
    int fpsFrames = 0;         // frames counted since the last fps store
};

// The whole program: start-up, frame loop, orderly shutdown. Returns the process exit status
// (0 normally, 1 when the window or OpenGL could not come up).
int RunGame();
// The start-up RunGame does before its first frame: the systems listed in "assets/data/main.json",
// then the EditorSystem, initialised, with the window handed to the engine; then the options saved by
// the options screen are applied.
void StartSystems(Engine& engine, Window& window);
