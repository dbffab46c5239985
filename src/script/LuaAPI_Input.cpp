// Input and scene functions of the script API, and the word rules they share with the other groups.
#include <cctype>

#include "core/Engine.h"
#include "graphics/InputManager.h"
#include "graphics/Window.h"
#include "platform/lua/Lua.h"
#include "script/LuaAPI_Functions.h"
#include "world/SceneSystem.h"

#include <GLFW/glfw3.h>

namespace luaapi {

std::string Lower(std::string word)
{
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

bool SceneChangePending()
{
    return gSceneSystem && gSceneSystem->IsChangePending();
}

int ActionFromWord(const std::string& lowerWord)
{
    static const char* const kActions[] = {"up", "down", "left", "right", "interact"};
    for (int action = ACTION_UP; action <= ACTION_INTERACT; ++action)
        if (lowerWord == kActions[action])
            return action;
    return -1;
}

} // namespace luaapi

namespace {

using luaapi::ActionFromWord;
using luaapi::Lower;

bool IsPlayerActionPressed(std::string word)
{
    const int action = ActionFromWord(Lower(std::move(word)));
    if (action < 0 || !InputManagerInstance)
        return false;
    if (action == ACTION_INTERACT)
        return InputManager::IsActionTriggered(action);
    return InputManager::IsActionDown(InputManagerInstance->bindings[0], action);
}

bool IsPlayerActionReleased(std::string word)
{
    const int action = ActionFromWord(Lower(std::move(word)));
    return action >= 0 && InputManager::IsActionReleased(action);
}

bool IsPlayerActionHeld(std::string word)
{
    const std::string lower = Lower(std::move(word));
    if (lower == "any") {
        if (!InputManagerInstance)
            return false;
        for (int key = 0; key < InputManager::KEY_COUNT; ++key)
            if (InputManagerInstance->current[key])
                return true;
        return false;
    }
    const int action = ActionFromWord(lower);
    return action >= 0 && InputManager::IsActionTriggered(action);
}

bool IsEscapePressed()
{
    return InputManagerInstance && InputManagerInstance->IsKeyTriggered(KEY_ESCAPE);
}

bool IsPlayerActionClick(std::string word)
{
    const std::string lower = Lower(std::move(word));
    if (!InputManagerInstance)
        return false;
    if (lower == "down")
        return InputManagerInstance->IsKeyTriggered(KEY_MOUSE_LEFT);
    if (lower == "click" || lower == "up")
        return InputManagerInstance->IsKeyDown(KEY_MOUSE_LEFT);
    return false;
}

void SetMouseDisplay(bool show)
{
    if (gEngine)
        gEngine->showCursor = show ? 1 : 0;
}

void SetNextSceneFromScript(std::string sceneName)
{
    if (gSceneSystem)
        gSceneSystem->SetNextScene(std::move(sceneName));
}

void Pause()
{
    if (!luaapi::SceneChangePending())
        PauseGame();
}

bool IsGamePaused()
{
    return !luaapi::SceneChangePending() && gEngine && gEngine->paused != 0;
}

void Quit()
{
    if (CurrentWindow && CurrentWindow->window)
        glfwSetWindowShouldClose(CurrentWindow->window, GLFW_TRUE);
}

} // namespace

void RegisterInputFunctions(lua::State& state)
{
    state.SetFunction("IsPlayerActionPressed", &IsPlayerActionPressed);
    state.SetFunction("IsPlayerActionReleased", &IsPlayerActionReleased);
    state.SetFunction("IsPlayerActionHeld", &IsPlayerActionHeld);
    state.SetFunction("IsEscapePressed", &IsEscapePressed);
    state.SetFunction("IsPlayerActionClick", &IsPlayerActionClick);
    state.SetFunction("SetMouseDisplay", &SetMouseDisplay);
}

void RegisterSceneFunctions(lua::State& state)
{
    state.SetFunction("SetNextScene", &SetNextSceneFromScript);
    state.SetFunction("GetCurrentScene", []() { return SceneSystem::GetCurrentScene(); });
    state.SetFunction("Pause", &Pause);
    state.SetFunction("Unpause", []() { UnpauseGame(); });
    state.SetFunction("IsGamePaused", &IsGamePaused);
    state.SetFunction("Quit", &Quit);
}
