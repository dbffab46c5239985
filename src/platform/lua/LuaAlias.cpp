#include "platform/lua/LuaAlias.h"

namespace lua {

void Alias::Detach()
{
    if (ref != LUA_NOREF && IsOpen()) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
        if (auto* box = static_cast<ObjectBox*>(lua_touserdata(L, -1)))
            box->object = nullptr;
        lua_pop(L, 1);
        luaL_unref(L, LUA_REGISTRYINDEX, ref);
    }
    L = nullptr;
    ref = LUA_NOREF;
    open.reset();
}

} // namespace lua
