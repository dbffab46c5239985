#include "script/BehaviorScript.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/GameObject.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/LightingSystem.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/Sprite.h"
#include "script/LuaAPI_System.h"
#include "script/ScriptVariables.h"
#include "world/Collider.h"
#include "world/SceneSystem.h"

namespace {

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string OwnerName(const Component* component)
{
    return component && component->GetOwner() ? component->GetOwner()->GetName() : "";
}

// The radius, in fog cells, that touching a neon sign reveals around the player.
constexpr int kNeonRevealRadius = 10;

} // namespace

BehaviorScript::BehaviorScript() : environment(LuaAPI_System::NewEnvironment()) {}

void BehaviorScript::Init()
{
    // Objects are made while their scene is set up, before it becomes the current one: the file
    // emptied is the one the object uses once its scene runs.
    if (owner)
        ScriptVariables::Reset(owner->GetName(), SceneSystem::GetSceneBeingSetUp());
}

Object* BehaviorScript::Clone()
{
    auto* copy = new BehaviorScript();
    CopyComponentFields(*copy);
    copy->currentState = NO_STATE;
    copy->nextState = 0;
    copy->timer = 0.0f;
    copy->scriptPath = scriptPath;
    copy->scriptFileName = scriptFileName;
    copy->AmColliding = AmColliding;
    copy->NewCollision = NewCollision;
    return copy;
}

void BehaviorScript::Read(Stream& stream)
{
    const std::string name = stream.ReadString("Behavior", "ScriptName");
    scriptFileName = name + ".lua";
    scriptPath = SCRIPT_FOLDER + scriptFileName;
}

std::string BehaviorScript::FallbackPath() const
{
    const std::string saveDir = GetSaveDirectory();
    return saveDir.empty() ? "" : saveDir + SAVE_SCRIPT_FOLDER + scriptFileName;
}

void BehaviorScript::OnEnter()
{
    const bool found = FileExists(scriptPath);
    const bool fallbackFound = FileExists(FallbackPath());
    const std::string notFound =
        "[ERR]: Lua Script: '" + scriptPath + "' could not be found! Check Spelling and Expected File Location.";
    // A missing script is reported once, however often the behaviour enters a state.
    const bool report = !reportedMissing;
    if (!gLuaAPI) {
        Trace("[C++]: API Failed to Load. Message a Programmer!");
        loaded = false;
        if (!found && report) {
            Trace("%s", notFound.c_str());
            reportedMissing = true;
        }
    } else if (found || fallbackFound) {
        loaded = true;
        // The owner itself: another object may carry the same name.
        objectHandle.SetObject(owner);
        if (!environment)
            environment = LuaAPI_System::NewEnvironment();
        if (environment)
            myObject.Set(*environment, "MyObject", objectHandle);
    } else {
        if (report)
            Trace("%s", notFound.c_str());
        reportedMissing = true;
        loaded = false;
    }
    SetNextState(0);
}

void BehaviorScript::OnUpdate(float dt)
{
    if (environment) {
        environment->Set("DeltaTime", dt);
        environment->Set("MyCollisions", contactNames);
        environment->Set("AmColliding", AmColliding);
        environment->Set("NewCollision", NewCollision);
        environment->Set("LatestCollision", LatestCollision);
    }
    if (!loaded || !environment)
        return;
    LuaAPI_System::RunScriptFile(FileExists(scriptPath) ? scriptPath : FallbackPath(), environment.get());
}

void BehaviorScript::OnCollisionEnter(Collider* other)
{
    const std::string otherName = OwnerName(other);
    contactNames.push_back(otherName);
    AmColliding = true;
    NewCollision = true;
    LatestCollision = otherName;

    if (!other || !owner || otherName.find("Neon") == std::string::npos || owner->GetName() != "Player" ||
        other->IsTrigger)
        return;
    ParticleEmitter* emitter = owner->GetParticleEmitter();
    Sprite* otherSprite = other->GetOwner() ? other->GetOwner()->GetSprite() : nullptr;
    if (emitter && otherSprite)
        std::copy(otherSprite->particleColor, otherSprite->particleColor + 3, emitter->color);
    Transform* transform = owner->GetTransform();
    if (LightingSystemInstance && transform)
        LightingSystemInstance->RevealCircle(transform->TranslationX, transform->TranslationY, kNeonRevealRadius);
    SendMessage(std::string("Explode"), nullptr);
}

void BehaviorScript::OnCollisionStay(Collider*)
{
    NewCollision = false;
    LatestCollision.clear();
}

void BehaviorScript::OnCollisionExit(Collider* other)
{
    auto found = std::find(contactNames.begin(), contactNames.end(), OwnerName(other));
    if (found != contactNames.end())
        contactNames.erase(found);
    if (contactNames.empty())
        AmColliding = false;
    if (owner && owner->GetName() == "Player") {
        if (ParticleEmitter* emitter = owner->GetParticleEmitter()) {
            emitter->active = 1;
            emitter->pattern = 13;
        }
    }
}
