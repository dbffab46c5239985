#pragma once
// The Engine owns the ordered list of systems, runs their Init, Update and Draw, broadcasts delivered
// messages to them, finds them by name and keeps the pause state.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ISystem.h"

class Stream;
class Window;

class Engine : public Object {
public:
    Engine();
    // Deletes the remaining systems, last to first; clears gEngine when it points here.
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    std::string GetName() override { return "Engine"; }
    // Traces "Initializing %s..." and initialises each system in list order (systems appended
    // meanwhile included), sets running and hands this engine to the "MessageSystem".
    void Init() override;
    // Updates every active system in list order (systems appended meanwhile included), then sets
    // the window's cursor mode.
    void Update(float dt) override;
    // Draws every system, active or not.
    void Draw() override;
    // "SetBGColor" sets the clear colour and goes no further; anything else goes to every active
    // system in list order.
    void HandleMessage(Message* message) override;

    // Traces "Adding %s...", creates the system by factory name and appends it. Returns the new
    // system, or null for a name the factory does not know (nothing is appended then).
    ISystem* AddSystem(std::string name);
    // Adds the systems a "main" file lists: the first "numSystems" names of "Systems", in order.
    // A count beyond the array uses the array's length and a non-string entry is skipped (one trace
    // line each); unknown names add nothing. Returns how many systems were added.
    int AddSystems(Stream& stream);
    // Appends a system made elsewhere; the engine owns it from now on. Null is ignored.
    ISystem* AddSystem(ISystem* system);
    // Deletes the first system whose GetName equals name and removes it from the list.
    void RemoveSystem(std::string name);
    // The first system whose GetName equals name, or null (traced).
    ISystem* GetSystem(std::string name);
    // Deletes every system, last to first.
    void DeleteSystems();

    const std::vector<ISystem*>& GetSystems() const { return systems; }

    // The colour the frame is cleared with (red, green, blue, alpha), set by "SetBGColor".
    const std::array<float, 4>& GetClearColor() const { return clearColor; }
    void SetClearColor(const std::array<float, 4>& colour);

    std::uint8_t running = 1;
    std::uint8_t paused = 0;
    float dt = 0.0f;
    float fps = 0.0f;
    std::uint8_t showCursor = 0;
    Window* window = nullptr;
    std::vector<ISystem*> systems;   // owned, in the order they were added

private:
    std::array<float, 4> clearColor{0.0f, 0.0f, 0.0f, 1.0f};
};

// The one engine, or null.
extern Engine* gEngine;

// Pauses gEngine (when the scene is pausable, there is no window, or the window has the focus) and
// sends "Change_Global_Param" {"Paused", 0.0}. Does nothing when already paused or with no engine.
void PauseGame();
// Unpauses gEngine, sends "Change_Global_Param" {"Paused", 1.0} and clears showCursor.
void UnpauseGame();

// Hooks the window and the scenes set while they exist, so the engine can reach them from below:
// show or hide the cursor after each update, take the clear colour, tell whether the window has the
// focus, whether the current scene is pausable and whether a scene change is pending. Null while
// nobody answers (no window: no cursor, the colour is only kept, and the focus counts as held; no
// scene: not pausable, no change pending).
extern void (*EngineCursorHook)(bool shown);
extern void (*EngineClearColorHook)(const std::array<float, 4>& colour);
extern bool (*WindowHasFocusHook)();
extern bool (*ScenePausableHook)();
extern bool (*SceneChangePendingHook)();

// Makes a system, given the settings stream read from "assets/data/<name>.json" (which may be empty).
using SystemCreator = ISystem* (*)(Stream* settings);
// Adds a factory name, after the names registered before it; registering a name again replaces its
// creator in place. The program registers every name at start-up (app/DataNames).
void RegisterSystem(const std::string& name, SystemCreator create);
// The registered factory names, in registration order.
std::vector<std::string> RegisteredSystemNames();
// The system factory: a new system for a registered name, or null for a name it does not know.
ISystem* CreateSystem(std::string name);
