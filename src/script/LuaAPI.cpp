#include "script/LuaAPI.h"

#include "platform/lua/Lua.h"
#include "script/GameObjectType.h"
#include "script/LuaAPI_Functions.h"
#include "script/Vector2fType.h"

void RegisterLuaAPI(lua::State& state)
{
    // Types first: the functions below take and return them.
    RegisterVector2fType(state);
    RegisterGameObjectType(state);
    // Then the global functions, group by group.
    RegisterInputFunctions(state);
    RegisterSceneFunctions(state);
    RegisterTreasureFunctions(state);
    RegisterLightingFunctions(state);
    RegisterMenuFunctions(state);
    RegisterObjectFunctions(state);
    RegisterAudioFunctions(state);
    RegisterWindowFunctions(state);
}
