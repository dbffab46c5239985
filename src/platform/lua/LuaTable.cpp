#include "platform/lua/LuaTable.h"

#include "core/Trace.h"

namespace lua {

namespace {

struct ProtectedCall {
    int ref;
    void (*call)(lua_State*, void*);
    void* data;
};

int RunCall(lua_State* L)
{
    const auto* call = static_cast<const ProtectedCall*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    lua_rawgeti(L, LUA_REGISTRYINDEX, call->ref);
    call->call(L, call->data);
    return 0;
}

} // namespace

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
    bool present = false;
    Protected(name, [&](lua_State* state) { present = lua_getfield(state, 1, name.c_str()) != LUA_TNIL; });
    return present;
}

bool Table::RunProtected(const std::string& name, void (*call)(lua_State*, void*), void* data) const
{
    ProtectedCall protectedCall{ref, call, data};
    const int top = lua_gettop(L);
    lua_pushcfunction(L, &RunCall);
    lua_pushlightuserdata(L, &protectedCall);
    if (lua_pcall(L, 1, 0, 0) == LUA_OK)
        return true;
    // Only a text is read: converting a number would take memory, outside every protected call.
    const char* message = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
    Trace("[Lua] Error: \"%s\" of a script table could not be reached: %s", name.c_str(),
          message ? message : "(error object is not a text)");
    lua_settop(L, top);
    return false;
}

} // namespace lua
