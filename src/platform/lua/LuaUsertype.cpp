#include "platform/lua/LuaUsertype.h"

namespace lua {

int IndexUsertype(lua_State* L)
{
    lua_settop(L, 2);
    lua_pushvalue(L, 2);
    if (lua_rawget(L, lua_upvalueindex(1)) != LUA_TNIL)
        return 1;  // a method
    lua_pop(L, 1);
    lua_pushvalue(L, 2);
    if (lua_rawget(L, lua_upvalueindex(2)) == LUA_TNIL)
        return 1;  // no such member: nil, as for any table
    lua_pushvalue(L, 1);
    lua_call(L, 1, 1);
    return 1;
}

int NewIndexUsertype(lua_State* L)
{
    lua_settop(L, 3);
    lua_pushvalue(L, 2);
    if (lua_rawget(L, lua_upvalueindex(1)) == LUA_TNIL) {
        const char* key = lua_type(L, 2) == LUA_TSTRING ? lua_tostring(L, 2) : luaL_typename(L, 2);
        return luaL_error(L, "%s has no writable property '%s'", lua_tostring(L, lua_upvalueindex(2)), key);
    }
    lua_pushvalue(L, 1);
    lua_pushvalue(L, 3);
    lua_call(L, 2, 0);
    return 0;
}

void CreateUsertype(lua_State* L, const std::string& name, lua_CFunction collect, int refs[4])
{
    for (int i = 0; i < 4; ++i) {
        lua_newtable(L);
        lua_pushvalue(L, -1);
        refs[i] = luaL_ref(L, LUA_REGISTRYINDEX);
    }
    // Stack: methods, getters, setters, type table.
    lua_pushvalue(L, -1);
    lua_setglobal(L, name.c_str());
    lua_pop(L, 1);

    lua_newtable(L);  // the metatable, replacing any earlier one of that name
    lua_pushstring(L, name.c_str());
    lua_setfield(L, -2, "__name");
    lua_pushvalue(L, -4);
    lua_pushvalue(L, -4);
    lua_pushcclosure(L, &IndexUsertype, 2);
    lua_setfield(L, -2, "__index");
    lua_pushvalue(L, -2);
    lua_pushstring(L, name.c_str());
    lua_pushcclosure(L, &NewIndexUsertype, 2);
    lua_setfield(L, -2, "__newindex");
    lua_pushcfunction(L, collect);
    lua_setfield(L, -2, "__gc");
    lua_pushboolean(L, 0);
    lua_setfield(L, -2, "__metatable");  // scripts can't swap the metatable of a value
    lua_setfield(L, LUA_REGISTRYINDEX, name.c_str());
    lua_pop(L, 3);
}

} // namespace lua
