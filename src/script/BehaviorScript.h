#pragma once
// A behaviour driven by a Lua file: the object file names a script ("ScriptName" in its "Behavior"
// block) and, once the behaviour has entered its first state, the whole file runs again every frame in
// the behaviour's own script environment. Before each run the environment gets the frame's time step
// and the object's collision state; "MyObject" is the behaviour's own handle on the owner (the same
// value for the behaviour's whole life).
//
// Script globals stay in the behaviour's environment (each instance and each clone has its own), so
// two scripted objects never see each other's globals. The environment is released with the
// behaviour; released after the Lua state has closed, it does nothing.
#include <memory>
#include <string>
#include <vector>

#include "core/Behavior.h"
#include "platform/lua/LuaAlias.h"
#include "platform/lua/LuaTable.h"
#include "script/Safe_GameObject.h"

class BehaviorScript : public Behavior {
public:
    // Where shipped scripts live, and the folder of the save directory tried when one is missing.
    static constexpr const char* SCRIPT_FOLDER = "./assets/data/scripts/Lua/";
    static constexpr const char* SAVE_SCRIPT_FOLDER = "/scripts/lua/";

    // A behaviour in no state yet, with an environment of its own.
    BehaviorScript();
    ~BehaviorScript() override = default;
    BehaviorScript(const BehaviorScript&) = delete;
    BehaviorScript& operator=(const BehaviorScript&) = delete;

    // The script path (not a class name).
    std::string GetName() override { return scriptPath; }
    // Empties the owner's variables file of the scene it is made for (the scene being set up).
    void Init() override;
    // Paths and collision flags copied; a fresh handle, contact list and environment.
    Object* Clone() override;
    // "ScriptName" of the "Behavior" block.
    void Read(Stream& stream) override;

    // Finds the script (or its save-directory copy), binds "MyObject" to the owner, then stays in
    // state 0. A missing script is traced here, once.
    void OnEnter() override;
    // Publishes the frame's values, then runs the script when it was found.
    void OnUpdate(float dt) override;
    void OnCollisionEnter(Collider* other) override;
    void OnCollisionStay(Collider* other) override;
    void OnCollisionExit(Collider* other) override;

    // The save-directory copy of the script ("" without a save directory).
    std::string FallbackPath() const;
    const std::shared_ptr<lua::Environment>& GetEnvironment() const { return environment; }

    std::shared_ptr<lua::Environment> environment;
    std::string scriptPath;
    std::string scriptFileName;
    bool loaded = false;
    Safe_GameObject objectHandle;
    // "MyObject": the script's one value for objectHandle itself, ended with the behaviour.
    lua::Alias myObject;
    bool AmColliding = false;
    bool NewCollision = false;
    std::string LatestCollision;
    std::vector<std::string> contactNames;
    bool reportedMissing = false;  // the not-found line was traced
};
