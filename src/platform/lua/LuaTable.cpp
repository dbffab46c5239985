#include "platform/lua/LuaTable.h"

namespace lua {

Table::Table(lua_State* state, int reference, std::shared_ptr<const bool> isOpen)
    : L(state), ref(reference), open(std::move(isOpen))
{
}

Table::~Table()
{
    // A state closed before its tables took their references with it.
    if (IsOpen() && ref != LUA_NOREF && ref != LUA_REFNIL)
        luaL_unref(L, LUA_REGISTRYINDEX, ref);
}

bool Table::Has(const std::string& name) const
{
    if (!IsOpen())
        return false;
    Push();
    const bool present = lua_getfield(L, -1, name.c_str()) != LUA_TNIL;
    lua_pop(L, 2);
    return present;
}

} // namespace lua
