#pragma once
// The groups of global script functions that RegisterLuaAPI adds, and the small rules they share.
// Each group registers plain globals; registering a name again (for example once a system that a
// group only stands in for joins the build) replaces it.
#include <string>
#include <vector>

namespace lua {
class State;
}

// "IsPlayerActionPressed", "IsPlayerActionReleased", "IsPlayerActionHeld", "IsEscapePressed",
// "IsPlayerActionClick", "SetMouseDisplay".
void RegisterInputFunctions(lua::State& state);
// "SetNextScene", "GetCurrentScene", "Pause", "Unpause", "IsGamePaused", "Quit".
void RegisterSceneFunctions(lua::State& state);
// "GetNumTreasureCollected", "GetTotalNumTreasure", "GetRoomNum", "PingTreasure", "PingRoom",
// "GetTreasureRemaining".
void RegisterTreasureFunctions(lua::State& state);
// "EnableLightingSystem", "DisableLightingSystem", "PingBox", "PingRadius", "PingCounter".
void RegisterLightingFunctions(lua::State& state);
// "ReadMenu", "GetReopenPauseMenu", "SetReopenPauseMenu", "DeleteMenuObject",
// "DeleteMenuObjectsFromMenu", "DeleteAllMenuObjects", "CreditsAreOver".
void RegisterMenuFunctions(lua::State& state);
// "GameObjectManagerGetObject", "GameObjectManagerGetAllObjects".
void RegisterObjectFunctions(lua::State& state);
// "PlaySound", "GetCurrentlyLoopedSounds", "StopLoopedSound", "PauseAudioBus", "MuteAudioBus",
// "SetVolume", "GetVolume".
void RegisterAudioFunctions(lua::State& state);
// "SetGlobalAlpha", "IsFullscreen", "SetWindowed", "SetFullscreen", "DoesTableContain",
// "GetPlayerEyesTranslation".
void RegisterWindowFunctions(lua::State& state);

// The event names PlaySound started as looped, in order (a name may stand in it more than once).
extern std::vector<std::string> gLoopedSounds;

namespace luaapi {

// Every character through tolower, as the input, type and bus words are compared.
std::string Lower(std::string word);
// A scene change is pending on the scene system (false without one).
bool SceneChangePending();
// The action number of a lower-cased word ("up" 0 ... "interact" 4), or -1.
int ActionFromWord(const std::string& lowerWord);

} // namespace luaapi
