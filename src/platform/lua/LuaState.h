#pragma once
// One Lua state: created with luaL_newstate, closed with lua_close. It installs a panic handler, owns
// the globals table reference, opens the libraries the game allows, runs files and strings protected
// (text only: precompiled chunks are refused), and makes script environments.
#include <exception>
#include <memory>
#include <string>

#include "platform/lua/LuaTable.h"
#include "platform/lua/LuaUsertype.h"

namespace lua {

class State {
public:
    // Called when a std::exception escapes a bound function: `error` is the exception, `description`
    // its text. The handler pushes the value to raise as the Lua error and returns 1.
    using ExceptionHandler = int (*)(lua_State* L, const std::exception* error, const char* description);

    State();
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    lua_State* Raw() const { return L; }
    bool IsOpen() const { return L != nullptr; }
    // Frees the globals reference and closes the state; tables made from it go inert. Idempotent.
    void Close();
    // The State that owns a lua_State (null for states made elsewhere).
    static State* From(lua_State* L);

    // Opens base, package, string, math and table (each also a global of its name) and nothing else.
    // load, loadfile, dofile and require read text only, and require loads no C libraries.
    void OpenLibraries();

    void SetExceptionHandler(ExceptionHandler handler) { exceptionHandler = handler; }
    ExceptionHandler GetExceptionHandler() const { return exceptionHandler; }
    // The handler installed by default: pushes the description.
    static int DefaultExceptionHandler(lua_State* L, const std::exception* error, const char* description);

    // Runs a text file (or a string as one chunk) to its end, with `environment` as its _ENV (the
    // globals when null). Returns true on success; on failure false, with the Lua message in `error`.
    // Nothing is thrown; the values the chunk returns are dropped.
    bool RunFile(const std::string& path, const Table* environment, std::string& error);
    bool RunString(const std::string& code, const Table* environment, std::string& error);

    Table& Globals() { return *globals; }
    // A new environment (null when the state is closed).
    std::shared_ptr<Table> NewEnvironment();

    // Registers a global function; registering a name again replaces it.
    template <class F>
    void SetFunction(const std::string& name, F function)
    {
        globals->SetFunction(name, std::move(function));
    }
    // Registers a usertype under a global name; add its members through the result.
    template <class T>
    Usertype<T> NewUsertype(const std::string& name)
    {
        return Usertype<T>(L, name);
    }

private:
    bool Run(int loadStatus, const Table* environment, std::string& error);

    lua_State* L = nullptr;
    std::unique_ptr<Table> globals;
    std::shared_ptr<bool> open;
    ExceptionHandler exceptionHandler = &DefaultExceptionHandler;
};

} // namespace lua
