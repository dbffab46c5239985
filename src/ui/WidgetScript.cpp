#include "ui/WidgetScript.h"

#include <filesystem>
#include <system_error>

#include "core/GameObject.h"
#include "core/Trace.h"
#include "script/LuaAPI_System.h"
#include "script/Safe_GameObject.h"

const char* const WidgetScript::SCRIPT_FOLDER = "./assets/data/scripts/Lua/";

namespace {

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

WidgetScript::WidgetScript() : environment(LuaAPI_System::NewEnvironment()) {}

WidgetScript::WidgetScript(const WidgetScript& other)
    : path(other.path), loaded(other.loaded), handleName(other.handleName),
      environment(LuaAPI_System::NewEnvironment())
{
    // The copy binds its own owner's handle on its first run.
}

void WidgetScript::SetScriptName(const std::string& name)
{
    path = std::string(SCRIPT_FOLDER) + name + ".lua";
}

void WidgetScript::Load(GameObject* owner, const std::string& name)
{
    handleName = name;
    const bool exists = FileExists(path);
    if (gLuaAPI && exists) {
        if (!environment)
            environment = LuaAPI_System::NewEnvironment();
        loaded = environment != nullptr;
        bound = false;
        Bind(owner);
        return;
    }
    if (!gLuaAPI) {
        Trace("[C++]: API Failed to Load. Message a Programmer!");
        if (exists) {
            loaded = false;
            return;
        }
    }
    Trace("[ERR]: Lua Script: '%s' could not be found! Check Spelling and Expected File Location.", path.c_str());
    loaded = false;
}

void WidgetScript::Bind(GameObject* owner)
{
    if (!environment || !owner || handleName.empty())
        return;
    if (bound && boundId == owner->GetId())
        return;
    environment->Set(handleName, Safe_GameObject(owner));
    boundId = owner->GetId();
    bound = true;
}

void WidgetScript::Run(GameObject* owner)
{
    if (!loaded || !environment || !gLuaAPI)
        return;
    Bind(owner);
    LuaAPI_System::RunScriptFile(path, environment.get());
}

void WidgetScript::SetDeltaTime(float dt)
{
    if (environment)
        environment->Set("DeltaTime", dt);
}
