#include "platform/lua/LuaFunction.h"

#include <exception>
#include <string>

#include "platform/lua/LuaState.h"

namespace lua {

namespace {

const char* const kCallableMetatable = "lua.Callable";

int CollectCallable(lua_State* L)
{
    auto* callable = static_cast<Callable*>(lua_touserdata(L, 1));
    if (callable)
        callable->~Callable();
    return 0;
}

// Every bound call goes through here: the exception barrier between the engine and Lua. Lua's own
// errors (thrown by the C++ build of Lua) are not std::exceptions and pass through untouched.
int CallCallable(lua_State* L)
{
    auto* callable = static_cast<Callable*>(lua_touserdata(L, lua_upvalueindex(1)));
    bool failed = false;
    try {
        return callable->Call(L);
    } catch (const std::exception& error) {
        State* state = State::From(L);
        State::ExceptionHandler handler = state ? state->GetExceptionHandler() : nullptr;
        if (!handler)
            handler = &State::DefaultExceptionHandler;
        const int pushed = handler(L, &error, error.what());
        if (pushed <= 0)
            lua_pushstring(L, error.what());
        failed = true;
    }
    // Raised outside the handler, so the exception object is already gone.
    if (failed)
        return lua_error(L);
    return 0;
}

} // namespace

void SetCallableMetatable(lua_State* L)
{
    if (luaL_newmetatable(L, kCallableMetatable)) {
        lua_pushcfunction(L, &CollectCallable);
        lua_setfield(L, -2, "__gc");
        lua_pushboolean(L, 0);
        lua_setfield(L, -2, "__metatable");
    }
    lua_setmetatable(L, -2);
}

void PushCallableClosure(lua_State* L, int extraUpvalues)
{
    lua_pushcclosure(L, &CallCallable, 1 + extraUpvalues);
}

} // namespace lua
