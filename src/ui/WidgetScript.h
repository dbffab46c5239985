#pragma once
// The Lua side of a script-owning menu widget (Button, Dropdown, Volume_CoolVersion): the script file,
// the widget's own environment (reading through to the globals), and the handle of the widget's
// object published in it under the widget's chosen name. Each widget, and each copy of one, owns its
// own environment, released once with it.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/lua/Lua.h"

class GameObject;

class WidgetScript {
public:
    // A fresh environment (none without the Lua API).
    WidgetScript();
    // A copy has the same file and state, and an environment of its own.
    WidgetScript(const WidgetScript& other);
    WidgetScript& operator=(const WidgetScript&) = delete;

    // The file "./assets/data/scripts/Lua/<name>.lua".
    void SetScriptName(const std::string& name);
    // Binds the script: with the Lua API up and the file there, the owner's handle goes into the
    // environment under handleName and the script counts as loaded. Otherwise the traces of a missing
    // API or a missing file, and not loaded.
    void Load(GameObject* owner, const std::string& handleName);
    // Runs the file in the environment when loaded, first binding the handle again when the owner
    // changed (a copy given to another object).
    void Run(GameObject* owner);
    void SetDeltaTime(float dt);

    const std::string& GetPath() const { return path; }
    bool IsLoaded() const { return loaded; }
    lua::Environment* GetEnvironment() const { return environment.get(); }

    static const char* const SCRIPT_FOLDER;

private:
    void Bind(GameObject* owner);

    std::string path;
    bool loaded = false;
    std::string handleName;
    std::uint32_t boundId = 0;
    bool bound = false;
    std::shared_ptr<lua::Environment> environment;
};
