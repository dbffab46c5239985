#include "script/LuaAPI.h"

#include "platform/lua/Lua.h"
#include "script/Vector2fType.h"

void RegisterLuaAPI(lua::State& state)
{
    // Types first: the functions below take and return them.
    RegisterVector2fType(state);
    // Then the global functions, group by group (input, scene, treasure, lighting, menus, objects,
    // audio, window and others).
}
