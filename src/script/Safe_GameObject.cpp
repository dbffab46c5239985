#include "script/Safe_GameObject.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>

#include "core/Behavior.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Mesh.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "script/LuaAPI_Functions.h"
#include "script/ScriptVariables.h"
#include "world/Physics.h"

namespace {

using Vector2f = lua__Engine_vector_math::Vector2f;

// Names looked up and not found: each is told once, and again only after an object of that name has
// been found in between (a script looks its objects up every frame).
constexpr std::size_t kMaxToldMissing = 1024;
std::set<std::string>& ToldMissing()
{
    static std::set<std::string> told;
    return told;
}

constexpr float kDegreesToRadians = 0.01745329f;
constexpr float kRadiansToDegrees = 57.29578f;
constexpr int kMessageSetCameraTarget = 20;
constexpr int kMessageShakeCamera = 21;

void ReportMissing(GameObject* object, const char* componentName)
{
    Trace("[Lua] Error: Object '%s' has no %s Component.", object->GetName().c_str(), componentName);
}

// Stores a pair of Transform values only when it changes, marking the transform dirty then.
void SetPair(Transform& transform, float& a, float& b, float x, float y)
{
    if (a == x && b == y)
        return;
    a = x;
    b = y;
    transform.dirty = true;
}

} // namespace

Safe_GameObject::Safe_GameObject(GameObject* object)
{
    handle.Set(object);
}

Safe_GameObject::Safe_GameObject(const std::string& name)
{
    SetObjectByName(name);
}

void Safe_GameObject::SetObjectByName(const std::string& name)
{
    GameObject* object = gGameObjectManager ? gGameObjectManager->FindGameObject(name) : nullptr;
    handle.Set(object);
    std::set<std::string>& told = ToldMissing();
    if (object) {
        told.erase(name);
        return;
    }
    if (told.size() >= kMaxToldMissing)
        told.clear();
    if (told.insert(name).second)
        Trace("[C++]: Lua Controlled Object '%s' does not exist", name.c_str());
}

void Safe_GameObject::ForgetToldMissing()
{
    ToldMissing().clear();
}

GameObject* Safe_GameObject::ObjectOrReport(bool fullStop) const
{
    GameObject* object = Get();
    if (!object)
        Trace(fullStop ? "[Lua] Error: Object Does Not Exist." : "[Lua] Error: Object Does Not Exist");
    return object;
}

#define COMPONENT_OR_REPORT(Type, getter, label)                                                       \
    Type* Safe_GameObject::Type##OrReport() const                                                      \
    {                                                                                                  \
        GameObject* object = ObjectOrReport();                                                         \
        if (!object)                                                                                   \
            return nullptr;                                                                            \
        Type* component = object->getter();                                                            \
        if (!component)                                                                                \
            ReportMissing(object, label);                                                              \
        return component;                                                                              \
    }

COMPONENT_OR_REPORT(Transform, GetTransform, "Transform")
COMPONENT_OR_REPORT(Sprite, GetSprite, "Sprite")
COMPONENT_OR_REPORT(SpriteSheet, GetSpriteSheet, "SpriteSheet")
COMPONENT_OR_REPORT(Physics, GetPhysics, "Physics")
COMPONENT_OR_REPORT(Behavior, GetBehavior, "Behavior")
#undef COMPONENT_OR_REPORT

// ---- Transform -----------------------------------------------------------------------------------------

void Safe_GameObject::SetPositionFloat(float x, float y)
{
    if (Transform* t = TransformOrReport())
        SetPair(*t, t->TranslationX, t->TranslationY, x, y);
}

void Safe_GameObject::SetPositionVector(const Vector2f& position)
{
    SetPositionFloat(position.X, position.Y);
}

Vector2f Safe_GameObject::GetPosition()
{
    Transform* t = TransformOrReport();
    return t ? Vector2f(t->TranslationX, t->TranslationY) : Vector2f(0.0f, 0.0f);
}

Vector2f Safe_GameObject::GetTotalPosition()
{
    Transform* t = TransformOrReport();
    if (!t)
        return Vector2f(0.0f, 0.0f);
    const Vector4f world = t->GetWorldPosition();
    return Vector2f(world[0], world[1]);
}

void Safe_GameObject::SetRotationDegrees(float degrees)
{
    SetRotationRadians(degrees * kDegreesToRadians);
}

void Safe_GameObject::SetRotationRadians(float radians)
{
    Transform* t = TransformOrReport();
    if (t && t->Rotation != radians) {
        t->Rotation = radians;
        t->dirty = true;
    }
}

float Safe_GameObject::GetRotationDegrees()
{
    Transform* t = TransformOrReport();
    return t ? t->Rotation * kRadiansToDegrees : 0.0f;
}

float Safe_GameObject::GetRotationRadians()
{
    Transform* t = TransformOrReport();
    return t ? t->Rotation : 0.0f;
}

void Safe_GameObject::SetScaleFloat(float x, float y)
{
    if (Transform* t = TransformOrReport())
        SetPair(*t, t->ScaleX, t->ScaleY, x, y);
}

void Safe_GameObject::SetScaleVector(const Vector2f& scale)
{
    SetScaleFloat(scale.X, scale.Y);
}

Vector2f Safe_GameObject::GetScale()
{
    Transform* t = TransformOrReport();
    return t ? Vector2f(t->ScaleX, t->ScaleY) : Vector2f(0.0f, 0.0f);
}

Vector2f Safe_GameObject::Forward()
{
    if (!ObjectOrReport())
        return Vector2f(0.0f, 0.0f);
    const float r = GetRotationRadians();
    return Vector2f(-std::sin(r), std::cos(r));
}

// ---- Sprite --------------------------------------------------------------------------------------------

void Safe_GameObject::SetMesh(const std::string& meshName)
{
    Sprite* sprite = SpriteOrReport();
    if (!sprite)
        return;
    Mesh* mesh = GraphicsLibrary::GetMesh(meshName);
    if (!mesh) {
        Trace("[Lua] Error: Mesh '%s' does not exist.", meshName.c_str());
        return;
    }
    sprite->mesh = mesh;
    sprite->meshIndex = GraphicsLibrary::GetMeshIndex(meshName);
}

std::string Safe_GameObject::GetMesh()
{
    Sprite* sprite = SpriteOrReport();
    if (!sprite)
        return "";
    if (!sprite->mesh) {
        Trace("[Lua] Error: Object '%s' has no Mesh.", Get()->GetName().c_str());
        return "";
    }
    return sprite->mesh->name;
}

void Safe_GameObject::SetTexture(const std::string& textureName)
{
    Sprite* sprite = SpriteOrReport();
    if (!sprite)
        return;
    // The library makes an entry even for a name without an image; such a texture has nothing to
    // show, so the sprite keeps the one it has.
    Texture* texture = GraphicsLibrary::GetTexture(textureName, -1);
    if (!texture || (texture->id == 0 && texture->width == 0)) {
        Trace("[Lua] Error: Texture '%s' does not exist.", textureName.c_str());
        return;
    }
    sprite->texture = texture;
    sprite->textureIndex = GraphicsLibrary::GetTextureIndex(textureName);
}

std::string Safe_GameObject::GetTexture()
{
    Sprite* sprite = SpriteOrReport();
    if (!sprite)
        return "";
    if (!sprite->texture) {
        Trace("[Lua] Error: Object '%s' has no Texture.", Get()->GetName().c_str());
        return "";
    }
    return sprite->texture->name;
}

void Safe_GameObject::SetColorR(float value)
{
    if (Sprite* sprite = SpriteOrReport())
        sprite->color[0] = value;
}

void Safe_GameObject::SetColorG(float value)
{
    if (Sprite* sprite = SpriteOrReport())
        sprite->color[1] = value;
}

void Safe_GameObject::SetAlphaB(float value)
{
    if (Sprite* sprite = SpriteOrReport())
        sprite->color[2] = value;
}

void Safe_GameObject::SetAlpha(float value)
{
    if (Sprite* sprite = SpriteOrReport())
        sprite->color[3] = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
}

float Safe_GameObject::GetColorR()
{
    if (!ObjectOrReport())
        return 0.0f;
    Sprite* sprite = SpriteOrReport();
    return sprite ? sprite->color[0] : -1.0f;
}

float Safe_GameObject::GetColorG()
{
    if (!ObjectOrReport())
        return 0.0f;
    Sprite* sprite = SpriteOrReport();
    return sprite ? sprite->color[1] : -1.0f;
}

float Safe_GameObject::GetColorB()
{
    if (!ObjectOrReport())
        return 0.0f;
    Sprite* sprite = SpriteOrReport();
    return sprite ? sprite->color[2] : -1.0f;
}

float Safe_GameObject::GetAlpha()
{
    if (!ObjectOrReport())
        return 1.0f;
    Sprite* sprite = SpriteOrReport();
    return sprite ? sprite->color[3] : -1.0f;
}

// ---- SpriteSheet ---------------------------------------------------------------------------------------

void Safe_GameObject::PlayAnimation(const std::string& animationName, bool looping)
{
    if (SpriteSheet* sheet = SpriteSheetOrReport())
        sheet->PlayAnimation(animationName, looping, "");
}

void Safe_GameObject::StopAnimation()
{
    if (SpriteSheet* sheet = SpriteSheetOrReport())
        sheet->StopAnimation();
}

void Safe_GameObject::StopAnimationOnFrame(int frame)
{
    if (SpriteSheet* sheet = SpriteSheetOrReport()) {
        sheet->playing = 0;
        sheet->currentFrame = std::max(frame, 0);
    }
}

bool Safe_GameObject::AnimationIsPlaying()
{
    SpriteSheet* sheet = SpriteSheetOrReport();
    return sheet && sheet->playing != 0;
}

void Safe_GameObject::SetAnimationCurrentFrame(int frame)
{
    if (SpriteSheet* sheet = SpriteSheetOrReport())
        sheet->SetCurrentFrame(frame);
}

void Safe_GameObject::SetAnimationFrameTime(float seconds)
{
    if (SpriteSheet* sheet = SpriteSheetOrReport())
        sheet->SetFrameTime(seconds);
}

int Safe_GameObject::GetAnimationNumFrames()
{
    // The frame count belongs to the texture the sprite shows; without either there is none.
    if (!SpriteSheetOrReport())
        return -1;
    Sprite* sprite = Get()->GetSprite();
    if (!sprite || !sprite->texture)
        return -1;
    return sprite->texture->numFrames;
}

// ---- Physics -------------------------------------------------------------------------------------------

void Safe_GameObject::SetVelocityFloat(float x, float y)
{
    if (Physics* physics = PhysicsOrReport())
        physics->SetVelocity(x, y);
}

void Safe_GameObject::SetVelocityVector(const Vector2f& velocity)
{
    SetVelocityFloat(velocity.X, velocity.Y);
}

Vector2f Safe_GameObject::GetVelocity()
{
    Physics* physics = PhysicsOrReport();
    return physics ? Vector2f(physics->VelocityX, physics->VelocityY) : Vector2f(0.0f, 0.0f);
}

void Safe_GameObject::SetRotationalVelocity(float value)
{
    if (Physics* physics = PhysicsOrReport())
        physics->RotationalVelocity = value;
}

float Safe_GameObject::GetRotationalVelocity()
{
    Physics* physics = PhysicsOrReport();
    return physics ? physics->RotationalVelocity : 0.0f;
}

void Safe_GameObject::SetDrag(float value)
{
    if (Physics* physics = PhysicsOrReport())
        physics->Drag = value;
}

float Safe_GameObject::GetDrag()
{
    Physics* physics = PhysicsOrReport();
    return physics ? physics->Drag : 0.0f;
}

void Safe_GameObject::SetAccelerationFloat(float x, float y)
{
    if (Physics* physics = PhysicsOrReport()) {
        physics->AccelerationX = x;
        physics->AccelerationY = y;
    }
}

void Safe_GameObject::SetAccelerationVector(const Vector2f& acceleration)
{
    SetAccelerationFloat(acceleration.X, acceleration.Y);
}

Vector2f Safe_GameObject::GetAcceleration()
{
    Physics* physics = PhysicsOrReport();
    return physics ? Vector2f(physics->AccelerationX, physics->AccelerationY) : Vector2f(0.0f, 0.0f);
}

// ---- Behaviour -----------------------------------------------------------------------------------------

void Safe_GameObject::SetStateNext(int state)
{
    if (Behavior* behavior = BehaviorOrReport())
        behavior->SetNextState(state);
}

int Safe_GameObject::GetStateCurr()
{
    Behavior* behavior = BehaviorOrReport();
    return behavior ? behavior->GetCurrentState() : -1;
}

// ---- The object, its emitter and messages ------------------------------------------------------------

std::string Safe_GameObject::GetName()
{
    GameObject* object = ObjectOrReport();
    return object ? object->GetName() : "";
}

void Safe_GameObject::SetEmitterState(bool on)
{
    GameObject* object = ObjectOrReport();
    if (ParticleEmitter* emitter = object ? object->GetParticleEmitter() : nullptr)
        emitter->active = on ? 1 : 0;
}

bool Safe_GameObject::GetEmitterState()
{
    GameObject* object = ObjectOrReport();
    ParticleEmitter* emitter = object ? object->GetParticleEmitter() : nullptr;
    return emitter && emitter->Object::IsActive();
}

void Safe_GameObject::SetPingEffect(float lifespan)
{
    GameObject* object = ObjectOrReport();
    ParticleEmitter* emitter = object ? object->GetParticleEmitter() : nullptr;
    if (!emitter || emitter->confetti != 0 || luaapi::SceneChangePending())
        return;
    emitter->StartPingEffect(lifespan);
}

void Safe_GameObject::DESTROY_MYSELF()
{
    if (GameObject* object = ObjectOrReport(true))
        object->RequestDestroy();
    handle.Reset();
}

void Safe_GameObject::BroadcastInt(const std::string& messageName, int value)
{
    if (GameObject* object = ObjectOrReport(true))
        object->SendMessage(messageName, value, nullptr);
}

void Safe_GameObject::BroadcastFloat(const std::string& messageName, float value)
{
    if (GameObject* object = ObjectOrReport(true))
        object->SendMessage(messageName, value, nullptr);
}

void Safe_GameObject::BroadcastBool(const std::string& messageName, bool value)
{
    if (GameObject* object = ObjectOrReport(true))
        object->SendMessage(messageName, value ? 1 : 0, nullptr);
}

void Safe_GameObject::BroadcastString(const std::string& messageName, const std::string& text)
{
    if (GameObject* object = ObjectOrReport(true))
        object->SendMessage(messageName, text.c_str(), nullptr);
}

void Safe_GameObject::ApplyScreenShake(float x, float y)
{
    if (GameObject* object = ObjectOrReport(true))
        object->SendMessage(kMessageShakeCamera, x, y, 0.0f, 0.0f, nullptr);
}

void Safe_GameObject::SetAsCameraFocus()
{
    GameObject* object = ObjectOrReport(true);
    if (!object)
        return;
    const auto address = reinterpret_cast<std::uintptr_t>(object->GetTransform());
    object->SendMessage(kMessageSetCameraTarget, static_cast<std::uint64_t>(address), nullptr);
}

// ---- Script variables ----------------------------------------------------------------------------------

namespace {

using StreamData = Stream::StreamData;

// The object's name for its variables file ("" for an empty handle, after the report).
std::string VariableOwnerName(const Safe_GameObject& handle)
{
    GameObject* object = handle.ObjectOrReport();
    return object ? object->GetName() : "";
}

StreamData GetStatic(const Safe_GameObject& handle, const std::string& name)
{
    StreamData value;
    const std::string owner = handle.Get() ? handle.Get()->GetName() : "";
    ScriptVariables::Read(ScriptVariables::STATIC_FILE, name, owner, value);
    return value;
}

void SetStatic(const Safe_GameObject& handle, const std::string& name, const StreamData& value)
{
    const std::string owner = handle.Get() ? handle.Get()->GetName() : "";
    ScriptVariables::Write(ScriptVariables::STATIC_FILE, name, owner, value);
}

} // namespace

StreamData Safe_GameObject::GetVar(const std::string& name)
{
    const std::string owner = VariableOwnerName(*this);
    StreamData value;
    if (!ScriptVariables::ReadCached(ScriptVariables::ObjectFile(owner), name, owner, value))
        return StreamData();
    return value;
}

void Safe_GameObject::SetVar(const std::string& name, StreamData value)
{
    // Written through whenever the file's value differs, so it outlives the handle and the run.
    const std::string owner = VariableOwnerName(*this);
    ScriptVariables::WriteCached(ScriptVariables::ObjectFile(owner), name, owner, value);
}

int Safe_GameObject::GetVarInt(const std::string& name) { return ScriptVariables::ToInt(GetVar(name)); }
bool Safe_GameObject::GetVarBool(const std::string& name) { return ScriptVariables::ToBool(GetVar(name)); }
float Safe_GameObject::GetVarFloat(const std::string& name) { return ScriptVariables::ToFloat(GetVar(name)); }
std::string Safe_GameObject::GetVarString(const std::string& name) { return ScriptVariables::ToString(GetVar(name)); }
void Safe_GameObject::SetVarInt(const std::string& name, int value) { SetVar(name, StreamData(static_cast<int32_t>(value))); }
void Safe_GameObject::SetVarBool(const std::string& name, bool value) { SetVar(name, StreamData(value)); }
void Safe_GameObject::SetVarFloat(const std::string& name, float value) { SetVar(name, StreamData(value)); }
void Safe_GameObject::SetVarString(const std::string& name, const std::string& value) { SetVar(name, StreamData(value)); }

bool Safe_GameObject::GetVarStaticBool(const std::string& name) { return ScriptVariables::ToBool(GetStatic(*this, name)); }
float Safe_GameObject::GetVarStaticFloat(const std::string& name) { return ScriptVariables::ToFloat(GetStatic(*this, name)); }
int Safe_GameObject::GetVarStaticInt(const std::string& name) { return ScriptVariables::ToInt(GetStatic(*this, name)); }
void Safe_GameObject::SetVarStaticBool(const std::string& name, bool value) { SetStatic(*this, name, StreamData(value)); }
void Safe_GameObject::SetVarStaticFloat(const std::string& name, float value) { SetStatic(*this, name, StreamData(value)); }
void Safe_GameObject::SetVarStaticInt(const std::string& name, int value)
{
    SetStatic(*this, name, StreamData(static_cast<int32_t>(value)));
}
