#include "graphics/InputManager.h"

#include <GLFW/glfw3.h>

#include <mutex>

InputManager* InputManagerInstance = nullptr;
int DebugModifierKey = 5;

// ---------------------------------------------------------------------------------------------
// Key sources

namespace {
// Takes the press noted for the key or button, if any.
bool TakePress(std::map<int, bool>& presses, int code)
{
    auto it = presses.find(code);
    if (it == presses.end() || !it->second)
        return false;
    it->second = false;
    return true;
}
} // namespace

bool KeySource::TakeKeyPress(int glfwKey)
{
    return TakePress(keyPresses_, glfwKey);
}

bool KeySource::TakeMouseButtonPress(int button)
{
    return TakePress(buttonPresses_, button);
}

void KeySource::NoteKeyPress(int glfwKey)
{
    if (glfwKey >= GLFW_KEY_SPACE && glfwKey <= GLFW_KEY_LAST)
        keyPresses_[glfwKey] = true;
}

void KeySource::NoteMouseButtonPress(int button)
{
    if (button >= 0 && button <= GLFW_MOUSE_BUTTON_LAST)
        buttonPresses_[button] = true;
}

namespace {
// Presses GLFW reported through its callbacks and no poll has taken yet (main thread only).
bool gGlfwKeyPresses[GLFW_KEY_LAST + 1] = {};
bool gGlfwButtonPresses[GLFW_MOUSE_BUTTON_LAST + 1] = {};
} // namespace

void InputKeyCallback(GLFWwindow*, int key, int, int action, int)
{
    if (action == GLFW_PRESS && key >= 0 && key <= GLFW_KEY_LAST)
        gGlfwKeyPresses[key] = true;
}

void InputMouseButtonCallback(GLFWwindow*, int button, int action, int)
{
    if (action == GLFW_PRESS && button >= 0 && button <= GLFW_MOUSE_BUTTON_LAST)
        gGlfwButtonPresses[button] = true;
}

bool GlfwKeySource::TakeKeyPress(int glfwKey)
{
    if (glfwKey < 0 || glfwKey > GLFW_KEY_LAST || !gGlfwKeyPresses[glfwKey])
        return KeySource::TakeKeyPress(glfwKey);
    gGlfwKeyPresses[glfwKey] = false;
    KeySource::TakeKeyPress(glfwKey);
    return true;
}

bool GlfwKeySource::TakeMouseButtonPress(int button)
{
    if (button < 0 || button > GLFW_MOUSE_BUTTON_LAST || !gGlfwButtonPresses[button])
        return KeySource::TakeMouseButtonPress(button);
    gGlfwButtonPresses[button] = false;
    KeySource::TakeMouseButtonPress(button);
    return true;
}

bool GlfwKeySource::IsKeyDown(int glfwKey)
{
    GLFWwindow* window = glfwGetCurrentContext();
    if (!window || glfwKey < GLFW_KEY_SPACE || glfwKey > GLFW_KEY_LAST)
        return false;
    return glfwGetKey(window, glfwKey) == GLFW_PRESS;
}

bool GlfwKeySource::IsMouseButtonDown(int button)
{
    GLFWwindow* window = glfwGetCurrentContext();
    if (!window || button < 0 || button > GLFW_MOUSE_BUTTON_LAST)
        return false;
    return glfwGetMouseButton(window, button) == GLFW_PRESS;
}

bool GlfwKeySource::GetCursorPos(double& x, double& y)
{
    GLFWwindow* window = glfwGetCurrentContext();
    if (!window)
        return false;
    glfwGetCursorPos(window, &x, &y);
    return true;
}

void ScriptedKeySource::SetKey(int glfwKey, bool down) { keys_[glfwKey] = down; }
void ScriptedKeySource::SetMouseButton(int button, bool down) { buttons_[button] = down; }
void ScriptedKeySource::SetCursor(double x, double y)
{
    x_ = x;
    y_ = y;
}
void ScriptedKeySource::ReleaseAll()
{
    keys_.clear();
    buttons_.clear();
}
void ScriptedKeySource::TapKey(int glfwKey)
{
    NoteKeyPress(glfwKey);
    keys_[glfwKey] = false;
}
void ScriptedKeySource::TapMouseButton(int button)
{
    NoteMouseButtonPress(button);
    buttons_[button] = false;
}
bool ScriptedKeySource::IsKeyDown(int glfwKey)
{
    auto it = keys_.find(glfwKey);
    return it != keys_.end() && it->second;
}
bool ScriptedKeySource::IsMouseButtonDown(int button)
{
    auto it = buttons_.find(button);
    return it != buttons_.end() && it->second;
}
bool ScriptedKeySource::GetCursorPos(double& x, double& y)
{
    x = x_;
    y = y_;
    return true;
}

namespace {
std::mutex gDefaultSourceMutex;
std::shared_ptr<KeySource> gDefaultSource;

std::shared_ptr<KeySource> MakeDefaultSource()
{
    std::lock_guard<std::mutex> lock(gDefaultSourceMutex);
    if (gDefaultSource)
        return gDefaultSource;
    return std::make_shared<GlfwKeySource>();
}

// GLFW key codes polled into key indices 0..119, in index order. 58 is no GLFW key: its index (16)
// is never polled and always reads up.
constexpr int NO_KEY = -1;
constexpr int KEY_TABLE_SIZE = InputManager::KEYBOARD_KEYS;

struct KeyTable {
    int codes[KEY_TABLE_SIZE];
    constexpr KeyTable() : codes{}
    {
        int i = 0;
        auto run = [&](int first, int last) {
            for (int code = first; code <= last; ++code)
                codes[i++] = code;
        };
        run(32, 32);    // SPACE
        run(39, 39);    // APOSTROPHE
        run(44, 59);    // COMMA .. SEMICOLON (index 16 = code 58)
        run(65, 93);    // A..Z, [, \, ]
        run(96, 96);    // GRAVE_ACCENT
        run(161, 162);  // WORLD_1, WORLD_2
        run(256, 269);  // ESCAPE .. END
        run(280, 284);  // CAPS_LOCK .. PAUSE
        run(290, 314);  // F1 .. F25
        run(320, 336);  // KP_0 .. KP_EQUAL
        run(340, 348);  // LEFT_SHIFT .. MENU
        codes[16] = NO_KEY;
    }
};
constexpr KeyTable kKeys;

bool InRange(int index) { return index >= 0 && index < InputManager::KEY_COUNT; }
} // namespace

void SetDefaultKeySource(std::shared_ptr<KeySource> source)
{
    std::lock_guard<std::mutex> lock(gDefaultSourceMutex);
    gDefaultSource = std::move(source);
}

std::shared_ptr<KeySource> GetDefaultKeySource()
{
    std::lock_guard<std::mutex> lock(gDefaultSourceMutex);
    return gDefaultSource;
}

// ---------------------------------------------------------------------------------------------
// ActionBindings

const ActionBindings::Keys& ActionBindings::Get(int action) const
{
    auto it = map_.find(action);
    if (it == map_.end())
        it = map_.emplace(action, UNBOUND).first;
    return it->second;
}

void ActionBindings::Set(int action, const Keys& keys) { map_[action] = keys; }

// ---------------------------------------------------------------------------------------------
// InputManager

InputManager::InputManager() : InputManager(nullptr) {}

InputManager::InputManager(std::shared_ptr<KeySource> source)
{
    exposed = 0;
    active = 1;
    source_ = source ? std::move(source) : MakeDefaultSource();
    SetDefaultBindings();
    double x = 0.0, y = 0.0;
    if (source_->GetCursorPos(x, y)) {
        cursorX = static_cast<float>(x);
        cursorY = static_cast<float>(y);
    }
    cursorDX = 0.0f;
    cursorDY = 0.0f;
    DebugModifierKey = KEY_SLASH;
}

InputManager::~InputManager()
{
    if (InputManagerInstance == this)
        InputManagerInstance = nullptr;
}

void InputManager::SetDefaultBindings()
{
    // Every player starts from player 0's set; players 1..3 then get their own for actions 0..4.
    for (ActionBindings& table : bindings) {
        table.Set(ACTION_UP, {KEY_UP, KEY_W, 122, -1});
        table.Set(ACTION_DOWN, {KEY_DOWN, KEY_S, 123, -1});
        table.Set(ACTION_LEFT, {KEY_LEFT, KEY_A, 136, -1});
        table.Set(ACTION_RIGHT, {KEY_RIGHT, KEY_D, 137, -1});
        table.Set(ACTION_INTERACT, {KEY_SPACE, KEY_Z, 124, -1});
    }
    // Player 1: W S A D, interact O.
    bindings[1].Set(ACTION_UP, {40, -1, 166, -1});
    bindings[1].Set(ACTION_DOWN, {36, -1, 167, -1});
    bindings[1].Set(ACTION_LEFT, {18, -1, 169, -1});
    bindings[1].Set(ACTION_RIGHT, {21, -1, 168, -1});
    bindings[1].Set(ACTION_INTERACT, {32, -1, 147, -1});
    // Player 2: I K J L, interact O.
    bindings[2].Set(ACTION_UP, {26, -1, 190, -1});
    bindings[2].Set(ACTION_DOWN, {28, -1, 191, -1});
    bindings[2].Set(ACTION_LEFT, {27, -1, 193, -1});
    bindings[2].Set(ACTION_RIGHT, {29, -1, 192, -1});
    bindings[2].Set(ACTION_INTERACT, {32, -1, 171, -1});
    // Player 3: T H G F, interact Y.
    bindings[3].Set(ACTION_UP, {37, -1, 214, -1});
    bindings[3].Set(ACTION_DOWN, {25, -1, 214, -1});
    bindings[3].Set(ACTION_LEFT, {24, -1, 217, -1});
    bindings[3].Set(ACTION_RIGHT, {23, -1, 216, -1});
    bindings[3].Set(ACTION_INTERACT, {42, -1, 195, -1});
}

void InputManager::Init() { InputManagerInstance = this; }

void InputManager::SetKeySource(std::shared_ptr<KeySource> source)
{
    source_ = source ? std::move(source) : MakeDefaultSource();
}

void InputManager::Update(float)
{
    // A key counts as down when it is held now or went down since the last poll, so a press
    // released in between gives one frame down (triggered) and then its release.
    KeySource& keys = *source_;
    for (int i = 0; i < KEYBOARD_KEYS; ++i) {
        previous[i] = current[i];
        const int code = kKeys.codes[i];
        if (code == NO_KEY) {
            current[i] = 0;
            continue;
        }
        const bool pressed = keys.TakeKeyPress(code);
        current[i] = (keys.IsKeyDown(code) || pressed) ? 1 : 0;
    }
    for (int button = 0; button < 2; ++button) {
        const int i = KEY_MOUSE_LEFT + button;
        previous[i] = current[i];
        const bool pressed = keys.TakeMouseButtonPress(button);
        current[i] = (keys.IsMouseButtonDown(button) || pressed) ? 1 : 0;
    }
    double x = 0.0, y = 0.0;
    if (keys.GetCursorPos(x, y)) {
        cursorDX = static_cast<float>(x - static_cast<double>(cursorX));
        cursorDY = static_cast<float>(y - static_cast<double>(cursorY));
        cursorX = static_cast<float>(x);
        cursorY = static_cast<float>(y);
    } else {
        cursorDX = 0.0f;
        cursorDY = 0.0f;
    }
}

ActionBindings* InputManager::GetBindings(int player)
{
    if (player < 0 || player >= PLAYERS)
        return nullptr;
    return &bindings[player];
}

bool InputManager::IsKeyDown(int index) const { return InRange(index) && current[index] != 0; }

bool InputManager::IsKeyTriggered(int index) const
{
    return InRange(index) && current[index] != 0 && previous[index] == 0;
}

bool InputManager::IsKeyReleased(int index) const
{
    return InRange(index) && current[index] == 0 && previous[index] != 0;
}

namespace {

// Whether a key bound to the action (to any of actions 0..4 for ACTION_ANY) passes the test.
bool AnyBoundKey(const InputManager& input, const ActionBindings& table, int action,
                 bool (InputManager::*test)(int) const)
{
    const int first = action == ACTION_ANY ? int(ACTION_UP) : action;
    const int last = action == ACTION_ANY ? int(ACTION_INTERACT) : action;
    for (int a = first; a <= last; ++a)
        for (int key : table.Get(a))
            if (key != -1 && (input.*test)(key))
                return true;
    return false;
}

}  // namespace

bool InputManager::IsActionDown(const ActionBindings& playerBindings, int action)
{
    const InputManager* input = InputManagerInstance;
    return input && AnyBoundKey(*input, playerBindings, action, &InputManager::IsKeyDown);
}

bool InputManager::IsActionTriggered(int action)
{
    const InputManager* input = InputManagerInstance;
    return input && AnyBoundKey(*input, input->bindings[0], action, &InputManager::IsKeyTriggered);
}

bool InputManager::IsActionReleased(int action)
{
    const InputManager* input = InputManagerInstance;
    return input && AnyBoundKey(*input, input->bindings[0], action, &InputManager::IsKeyReleased);
}

bool InputManager::IsDebugCloseRequested()
{
    InputManager* input = InputManagerInstance;
    if (!input || DebugModifierKey == -1 || !input->IsKeyDown(DebugModifierKey))
        return false;
    return input->source_ && input->source_->IsKeyDown(GLFW_KEY_ESCAPE);
}

int InputManager::KeyIndexFromGlfw(int glfwKey)
{
    if (glfwKey == NO_KEY)
        return -1;
    for (int i = 0; i < KEYBOARD_KEYS; ++i)
        if (kKeys.codes[i] == glfwKey)
            return i;
    return -1;
}

int InputManager::GlfwKeyFromIndex(int index)
{
    if (index < 0 || index >= KEYBOARD_KEYS)
        return -1;
    return kKeys.codes[index];
}
