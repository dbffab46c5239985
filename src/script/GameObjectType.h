#pragma once
// Registration of the script type "GameObject" (the engine's Safe_GameObject) and its members.
#include "platform/lua/Lua.h"
#include "script/Safe_GameObject.h"

// Registers "GameObject": constructors (name) and (another GameObject), and every member, the widget
// members included.
void RegisterGameObjectType(lua::State& state);

// The members that reach the menu widgets ("GetInteractType", "DropdownGetSelected",
// "DropdownSetSelected", "VCVGetValue", "VCVGetValueAsPercent", "VCVSetValue") in the form this layer
// can give: every behaviour is "not a Dropdown" / "not a Volume_CoolVersion". The menu layer replaces
// them with the widgets' own answers when it registers its script functions (RegisterMenuLuaAPI).
void RegisterWidgetMembers(lua::State& state);

// Adds or replaces one member of the registered "GameObject" type, for values old and new. The
// function takes Safe_GameObject& first (a lambda, or a member function pointer). Nothing happens
// when the type is not registered on the state.
template <class F>
void SetGameObjectMember(lua::State& state, const char* name, F function)
{
    lua_State* L = state.Raw();
    if (!L)
        return;
    const int top = lua_gettop(L);
    // The methods table is the first upvalue of the type's "__index" closure.
    if (luaL_getmetatable(L, "GameObject") == LUA_TTABLE && lua_getfield(L, -1, "__index") == LUA_TFUNCTION &&
        lua_getupvalue(L, -1, 1) && lua_type(L, -1) == LUA_TTABLE) {
        lua::PushFunction(L, lua::detail::AsCallable(function));
        lua_setfield(L, -2, name);
    }
    lua_settop(L, top);
}
