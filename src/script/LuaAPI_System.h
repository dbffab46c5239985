#pragma once
// The system that owns the process's Lua state: it opens the libraries, registers the script API, and
// offers running a script file, running a string and making a script environment to every script owner.
// It also empties the static script variables ("scripts/variables/StaticVars") at start.
#include <exception>
#include <memory>
#include <string>

#include "core/ISystem.h"
#include "platform/lua/Lua.h"

class LuaAPI_System : public ISystem {
public:
    // Creates the state; the first instance becomes gLuaAPI, clears the static variables and makes
    // "<save>/scripts/lua" when "<save>/scripts" exists. Later instances are bare states.
    LuaAPI_System();
    // Clears gLuaAPI when it points here and closes the state: environments released after that do
    // nothing.
    ~LuaAPI_System() override;

    std::string GetName() override { return "LuaAPI"; }
    // Libraries, exception handler, RegisterLuaAPI, then the static variables once more.
    void Init() override;
    // Starts a frame: the object variables cached in the last one are read from their files again.
    void Update(float) override;
    void Draw() override {}

    // Runs the file to its end in the environment (the globals when null) on gLuaAPI's state. A load
    // or run error is reported as an assertion at "src/LuaAPI_System Line 200" with the Lua message;
    // the caller carries on. Returns "".
    static std::string RunScriptFile(const std::string& path, const lua::Environment* environment);
    // Runs the code as one chunk in the globals, reported like RunScriptFile. Returns "".
    static std::string RunString(const std::string& code);
    // A new environment that reads through to the globals; null without gLuaAPI. Released when its
    // last owner lets go of it.
    static std::shared_ptr<lua::Environment> NewEnvironment();

    lua::State state;
    bool flag = false;  // kept for the layout of the system; nothing reads it
};

// The first LuaAPI_System, while it lives.
extern LuaAPI_System* gLuaAPI;

// Traces "[LuaAPI] An Exception Occured: " and the exception's text, pushes the description and returns 1.
int LuaExceptionHandler(lua_State* L, const std::exception* error, const char* description);

// Runs one line of Lua once at start-up; set while a scripting system exists, else null.
extern void (*StartupScriptHook)(const char* code);
