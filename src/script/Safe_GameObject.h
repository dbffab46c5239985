#pragma once
// The script type "GameObject": a handle that names one game object and reads and changes its
// components, sends messages from it and destroys it. The object is held by id and looked up on every
// call, so a handle outliving its object (destroyed, or gone with its scene) acts as an empty handle.
// Every member reports a missing object or component with a trace line and gives a default; none
// raises a Lua error.
//
// The object's script variables go through one cache per variables file, shared by every handle (see
// ScriptVariables.h).
#include <string>

#include "core/GameObjectHandle.h"
#include "core/Stream.h"
#include "core/Vector2f.h"

class Behavior;
class GameObject;
class ParticleEmitter;
class Physics;
class Sprite;
class SpriteSheet;
class Transform;

class Safe_GameObject {
public:
    using Vector2f = lua__Engine_vector_math::Vector2f;

    // An empty handle.
    Safe_GameObject() = default;
    // A handle on the object (empty for null).
    explicit Safe_GameObject(GameObject* object);
    // The first listed object with exactly that name; traces when there is none.
    explicit Safe_GameObject(const std::string& name);
    Safe_GameObject(const Safe_GameObject& other) = default;
    Safe_GameObject& operator=(const Safe_GameObject& other) = default;
    ~Safe_GameObject() = default;

    // Points the handle at the first listed object with that name; traces when there is none (the
    // handle is then empty): once per name, and again only after an object of that name was found.
    void SetObjectByName(const std::string& name);
    // Every missing name is told again (a new run of the scripting system).
    static void ForgetToldMissing();
    void SetObject(GameObject* object) { handle.Set(object); }
    // The live object, or null (empty handle, or the object is gone).
    GameObject* Get() const { return handle.Get(); }

    // Transform.
    void SetPositionFloat(float x, float y);
    void SetPositionVector(const Vector2f& position);
    Vector2f GetPosition();
    Vector2f GetTotalPosition();
    void SetRotationDegrees(float degrees);
    void SetRotationRadians(float radians);
    float GetRotationDegrees();
    float GetRotationRadians();
    void SetScaleFloat(float x, float y);
    void SetScaleVector(const Vector2f& scale);
    Vector2f GetScale();
    Vector2f Forward();

    // Sprite.
    void SetMesh(const std::string& meshName);
    std::string GetMesh();
    void SetTexture(const std::string& textureName);
    std::string GetTexture();
    void SetColorR(float value);
    void SetColorG(float value);
    void SetAlphaB(float value);  // sets blue, as scripts have always had it
    void SetAlpha(float value);   // clamped to 0..1
    float GetColorR();
    float GetColorG();
    float GetColorB();
    float GetAlpha();

    // SpriteSheet.
    void PlayAnimation(const std::string& animationName, bool looping);
    void StopAnimation();
    void StopAnimationOnFrame(int frame);
    bool AnimationIsPlaying();
    void SetAnimationCurrentFrame(int frame);
    void SetAnimationFrameTime(float seconds);
    int GetAnimationNumFrames();

    // Physics.
    void SetVelocityFloat(float x, float y);
    void SetVelocityVector(const Vector2f& velocity);
    Vector2f GetVelocity();
    void SetRotationalVelocity(float value);
    float GetRotationalVelocity();
    void SetDrag(float value);
    float GetDrag();
    void SetAccelerationFloat(float x, float y);
    void SetAccelerationVector(const Vector2f& acceleration);
    Vector2f GetAcceleration();

    // Behaviour.
    void SetStateNext(int state);
    int GetStateCurr();

    // The object, its emitter and messages.
    std::string GetName();
    void SetEmitterState(bool on);
    bool GetEmitterState();
    void SetPingEffect(float lifespan);
    void DESTROY_MYSELF();
    bool AM_I_ALIVE() const { return Get() != nullptr; }
    void BroadcastInt(const std::string& messageName, int value);
    void BroadcastFloat(const std::string& messageName, float value);
    void BroadcastBool(const std::string& messageName, bool value);
    void BroadcastString(const std::string& messageName, const std::string& text);
    void ApplyScreenShake(float x, float y);
    void SetAsCameraFocus();

    // Object variables (cached per file, written through to the object's file) and the static
    // variables of the run (never cached).
    int GetVarInt(const std::string& name);
    bool GetVarBool(const std::string& name);
    float GetVarFloat(const std::string& name);
    std::string GetVarString(const std::string& name);
    void SetVarInt(const std::string& name, int value);
    void SetVarBool(const std::string& name, bool value);
    void SetVarFloat(const std::string& name, float value);
    void SetVarString(const std::string& name, const std::string& value);
    bool GetVarStaticBool(const std::string& name);
    float GetVarStaticFloat(const std::string& name);
    int GetVarStaticInt(const std::string& name);
    void SetVarStaticBool(const std::string& name, bool value);
    void SetVarStaticFloat(const std::string& name, float value);
    void SetVarStaticInt(const std::string& name, int value);

    // The live object, or null after tracing "[Lua] Error: Object Does Not Exist" (with a full stop
    // when asked).
    GameObject* ObjectOrReport(bool fullStop = false) const;
    // The component of that slot, or null after tracing what is missing: the object, or
    // "[Lua] Error: Object '<name>' has no <componentName> Component.".
    Transform* TransformOrReport() const;
    Sprite* SpriteOrReport() const;
    SpriteSheet* SpriteSheetOrReport() const;
    Physics* PhysicsOrReport() const;
    Behavior* BehaviorOrReport() const;

    GameObjectHandle handle;

private:
    Stream::StreamData GetVar(const std::string& name);
    void SetVar(const std::string& name, Stream::StreamData value);
};
