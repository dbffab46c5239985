#pragma once
// Keyboard and mouse input, polled once per frame. A press that is released again before the next
// poll is not lost: the key source remembers it, and the poll reports the key down for that one frame
// (triggered), then up on the next (released).
//
// The InputManager keeps this frame's and the previous frame's key states in two byte arrays indexed
// by the engine's own key index (not GLFW's key code; see the table in InputManager.cpp and the
// KEY_* constants below), the cursor position with its change since the last frame, and one table
// of action bindings per player (up to four key indices per action).
//
// Where the states come from is a seam: the game reads GLFW (the window of the current OpenGL
// context); tests hand in a ScriptedKeySource and press keys by GLFW key code:
//
//     auto keys = std::make_shared<ScriptedKeySource>();
//     SetDefaultKeySource(keys);          // every InputManager built from now on reads it
//     InputManager input;  input.Init();  // Init publishes InputManagerInstance
//     keys->SetKey(GLFW_KEY_W, true);
//     input.Update(1.0f / 60.0f);         // now InputManager::IsActionDown(input.bindings[0], ACTION_UP)
//
// The frame loop's close rule (Escape while the debug modifier "/" is held) is
// InputManager::IsDebugCloseRequested().
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/ISystem.h"

struct GLFWwindow;

// Where key, mouse-button and cursor states come from. Codes are GLFW's (GLFW_KEY_*, mouse button
// 0 = left, 1 = right).
class KeySource {
public:
    virtual ~KeySource() = default;
    virtual bool IsKeyDown(int glfwKey) = 0;
    virtual bool IsMouseButtonDown(int button) = 0;
    // Writes the cursor position in window pixels; returns false (and leaves x, y alone) when
    // there is nothing to read.
    virtual bool GetCursorPos(double& x, double& y) = 0;
    // Whether the key (button) went down since the last time this was asked, and forgets it.
    virtual bool TakeKeyPress(int glfwKey);
    virtual bool TakeMouseButtonPress(int button);
    // Remembers a press until it is taken. Codes outside GLFW's range are ignored.
    void NoteKeyPress(int glfwKey);
    void NoteMouseButtonPress(int button);

private:
    std::map<int, bool> keyPresses_;
    std::map<int, bool> buttonPresses_;
};

// Reads GLFW's polled state for the window of the current OpenGL context. Without a current
// context every key and button reads up and there is no cursor. The presses come from GLFW's key
// and mouse-button callbacks (InputKeyCallback, InputMouseButtonCallback), which every GLFW source
// hears.
class GlfwKeySource : public KeySource {
public:
    bool IsKeyDown(int glfwKey) override;
    bool IsMouseButtonDown(int button) override;
    bool GetCursorPos(double& x, double& y) override;
    bool TakeKeyPress(int glfwKey) override;
    bool TakeMouseButtonPress(int button) override;
};

// GLFW's key and mouse-button callbacks (the window installs them): a press is remembered for the
// next poll of the GLFW key sources.
void InputKeyCallback(GLFWwindow* window, int key, int scancode, int action, int mods);
void InputMouseButtonCallback(GLFWwindow* window, int button, int action, int mods);

// A key source that tests drive by hand.
class ScriptedKeySource : public KeySource {
public:
    void SetKey(int glfwKey, bool down);
    void SetMouseButton(int button, bool down);
    void SetCursor(double x, double y);
    // Every key and button up (the cursor stays where it is).
    void ReleaseAll();
    // A press and release before the next poll (a tap quicker than a frame).
    void TapKey(int glfwKey);
    void TapMouseButton(int button);

    bool IsKeyDown(int glfwKey) override;
    bool IsMouseButtonDown(int button) override;
    bool GetCursorPos(double& x, double& y) override;

private:
    std::map<int, bool> keys_;
    std::map<int, bool> buttons_;
    double x_ = 0.0;
    double y_ = 0.0;
};

// The source that InputManagers built from now on read; null puts back GLFW.
void SetDefaultKeySource(std::shared_ptr<KeySource> source);
std::shared_ptr<KeySource> GetDefaultKeySource();

// Game actions.
enum InputAction : int {
    ACTION_UP = 0,
    ACTION_DOWN = 1,
    ACTION_LEFT = 2,
    ACTION_RIGHT = 3,
    ACTION_INTERACT = 4,
    // Query value only: any of actions 0..4. It has no entry of its own.
    ACTION_ANY = 6,
};

// Per player: the map from an action to up to four key indices; -1 = no key. An action queried
// without an entry gets {0, -1, 218, -1} on its first query (218 names no key state and reads up).
class ActionBindings {
public:
    using Keys = std::array<int, 4>;
    static constexpr Keys UNBOUND = {0, -1, 218, -1};

    // The entry of an action, created as UNBOUND when missing.
    const Keys& Get(int action) const;
    void Set(int action, const Keys& keys);
    bool Has(int action) const { return map_.count(action) != 0; }
    const std::map<int, Keys>& Map() const { return map_; }

private:
    // Queries through a const table still add the entry of an unknown action.
    mutable std::map<int, Keys> map_;
};

class InputManager : public ISystem {
public:
    // Number of key states (indices 0..217). Indices 122..217 are never written and always read up.
    static constexpr int KEY_COUNT = 218;
    // Keyboard indices 0..119 are polled from the key table; 120 and 121 are the mouse buttons.
    static constexpr int KEYBOARD_KEYS = 120;
    static constexpr int PLAYERS = 4;

    InputManager();
    // Reads from the given source instead of the process-wide default (null: the default).
    explicit InputManager(std::shared_ptr<KeySource> source);
    ~InputManager() override;

    std::string GetName() override { return "InputSystem"; }
    // Publishes this manager as InputManagerInstance.
    void Init() override;
    // Polls keys 0..119, the two mouse buttons and the cursor. dt is not used.
    void Update(float dt) override;
    void Draw() override {}

    // Switches the source this manager polls (null: the process-wide default).
    void SetKeySource(std::shared_ptr<KeySource> source);
    KeySource* GetKeySource() const { return source_.get(); }

    // The bindings of a player (0..3); null for any other number.
    ActionBindings* GetBindings(int player);

    // State of one key index this frame; indices outside 0..217 read as up.
    bool IsKeyDown(int index) const;
    bool IsKeyTriggered(int index) const;  // down now, up last frame
    bool IsKeyReleased(int index) const;   // up now, down last frame

    // Whether an action is down in the given player's table (callers pass bindings[player]).
    // False without an InputManagerInstance.
    static bool IsActionDown(const ActionBindings& playerBindings, int action);
    // Player 0's action pressed this frame / released this frame. False without an instance.
    static bool IsActionTriggered(int action);
    static bool IsActionReleased(int action);

    // The frame loop's close rule: Escape is down in the key source while the debug modifier key
    // (DebugModifierKey) is down in this frame's states. False without an instance or when
    // DebugModifierKey is -1 or out of range.
    static bool IsDebugCloseRequested();

    // The key index of a GLFW key code (mouse buttons are not keys), or -1 when it has none.
    static int KeyIndexFromGlfw(int glfwKey);
    // The GLFW key code polled into an index 0..119, or -1 (index 16 and 120+).
    static int GlfwKeyFromIndex(int index);

    ActionBindings bindings[PLAYERS];
    float cursorX = 0.0f;
    float cursorDX = 0.0f;
    float cursorY = 0.0f;
    float cursorDY = 0.0f;
    std::uint8_t previous[KEY_COUNT] = {};
    std::uint8_t current[KEY_COUNT] = {};

private:
    void SetDefaultBindings();
    std::shared_ptr<KeySource> source_;
};

// Key indices used by name around the engine.
enum KeyIndex : int {
    KEY_SPACE = 0,
    KEY_APOSTROPHE = 1,
    KEY_COMMA = 2,
    KEY_SLASH = 5,
    KEY_0 = 6,            // digits 0..9 are 6..15
    KEY_1 = 7,
    KEY_A = 18,           // letters A..Z are 18..43
    KEY_D = 21,
    KEY_S = 36,
    KEY_W = 40,
    KEY_Z = 43,
    KEY_ESCAPE = 50,
    KEY_ENTER = 51,
    KEY_RIGHT = 56,
    KEY_LEFT = 57,
    KEY_DOWN = 58,
    KEY_UP = 59,
    KEY_F1 = 69,
    KEY_LEFT_SHIFT = 111,
    KEY_MOUSE_LEFT = 120,
    KEY_MOUSE_RIGHT = 121,
};

// The published manager (set by Init, cleared when that manager is destroyed); may be null.
extern InputManager* InputManagerInstance;
// The key index the debug keys require held: 5 (the "/" key), set by the constructor; -1 = none.
extern int DebugModifierKey;
