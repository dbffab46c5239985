#include "script/LuaAPI_System.h"

#include <filesystem>
#include <system_error>

#include "core/Stream.h"
#include "core/Trace.h"
#include "script/LuaAPI.h"
#include "script/Safe_GameObject.h"
#include "script/ScriptVariables.h"

void (*StartupScriptHook)(const char* code) = nullptr;

LuaAPI_System* gLuaAPI = nullptr;

namespace {

// Empties the static script variables of the last run. A file of zero length is left alone, and so is
// one that does not hold a JSON object (a file is never lost).
void ClearStaticVariables()
{
    Stream stream("scripts/variables/StaticVars", StreamMode_SaveDir, true);
    if (!stream.IsValid())
        return;
    if (!stream.data.IsObject()) {
        Trace("[LuaAPI]: Static Variables file is not a JSON object; it was left as it is");
        return;
    }
    stream.data.SetObject();
    stream.Save();
    Trace("[LuaAPI]: Static Variables Cleared");
}

// The folder of compiled scripts, made only inside an existing "<save>/scripts".
void MakeScriptFolder()
{
    const std::string saveDir = GetSaveDirectory();
    if (saveDir.empty())
        return;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(saveDir + "/scripts", ec))
        return;
    const std::string folder = saveDir + "/scripts/lua";
    fs::create_directories(folder, ec);
    if (ec)
        Trace("[LuaAPI]: Folder %s could not be created: %s", folder.c_str(), ec.message().c_str());
}

void RunStartupScript(const char* code)
{
    LuaAPI_System::RunString(code ? code : "");
}

void ReportScriptError(const std::string& message)
{
    AssertionFailed("false", "src/LuaAPI_System", 200, message);
}

} // namespace

int LuaExceptionHandler(lua_State* L, const std::exception* error, const char* description)
{
    const std::string text = error ? error->what() : (description ? description : "");
    Trace("[LuaAPI] An Exception Occured: %s", text.c_str());
    lua_pushstring(L, description ? description : text.c_str());
    return 1;
}

LuaAPI_System::LuaAPI_System()
{
    if (gLuaAPI)
        return;
    gLuaAPI = this;
    StartupScriptHook = &RunStartupScript;
    // Each run of the scripting system reads the variable files afresh.
    ScriptVariables::ForgetCache();
    Safe_GameObject::ForgetToldMissing();
    ClearStaticVariables();
    MakeScriptFolder();
}

LuaAPI_System::~LuaAPI_System()
{
    if (gLuaAPI == this) {
        gLuaAPI = nullptr;
        if (StartupScriptHook == &RunStartupScript)
            StartupScriptHook = nullptr;
        ScriptVariables::ForgetCache();
    }
    state.Close();
}

void LuaAPI_System::Update(float)
{
    if (gLuaAPI == this)
        ScriptVariables::ForgetCache();
}

void LuaAPI_System::Init()
{
    state.OpenLibraries();
    state.SetExceptionHandler(&LuaExceptionHandler);
    if (state.IsOpen())
        RegisterLuaAPI(state);
    Trace("[LuaAPI]: Initialization Complete");
    if (gLuaAPI == this)
        ClearStaticVariables();
}

std::string LuaAPI_System::RunScriptFile(const std::string& path, const lua::Environment* environment)
{
    if (!gLuaAPI) {
        Trace("[LuaAPI]: No Lua state; script %s was not run", path.c_str());
        return "";
    }
    std::string error;
    if (!gLuaAPI->state.RunFile(path, environment, error))
        ReportScriptError(error);
    return "";
}

std::string LuaAPI_System::RunString(const std::string& code)
{
    if (!gLuaAPI) {
        Trace("[LuaAPI]: No Lua state; the code was not run");
        return "";
    }
    std::string error;
    if (!gLuaAPI->state.RunString(code, nullptr, error))
        ReportScriptError(error);
    return "";
}

std::shared_ptr<lua::Environment> LuaAPI_System::NewEnvironment()
{
    return gLuaAPI ? gLuaAPI->state.NewEnvironment() : nullptr;
}
