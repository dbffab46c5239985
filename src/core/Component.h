#pragma once
// A part of one GameObject, stored in the slot of its component type.
#include "core/Object.h"

class GameObject;
class Stream;

// Component type ids: the index of the component's slot in its GameObject, in update order.
enum class ComponentType : int {
    Transform = 0,
    Sprite = 1,
    SpriteSheet = 2,      // JSON block "Animation"
    Collider = 3,
    Behavior = 4,         // every behaviour
    Physics = 5,
    ParticleEmitter = 6,
    AudioEventManager = 7,
    AudioListener = 8,
};
// Number of component slots in a GameObject.
constexpr int COMPONENT_TYPE_COUNT = 9;

class Component : public Object {
public:
    explicit Component(ComponentType componentType) : type(static_cast<int>(componentType)) {}
    ~Component() override = default;

    // Components are copied for their new owner; every component class supplies one.
    Object* Clone() override = 0;
    // Reads the component's own block from the owning object's JSON.
    virtual void Read(Stream& stream) = 0;
    // Registers the component's editable fields.
    virtual void ExposeFields() = 0;
    // The owner was asked to be destroyed; the component may announce its own removal.
    virtual void OnOwnerDestroyRequested(GameObject& owner) { (void)owner; }

    ComponentType GetType() const { return static_cast<ComponentType>(type); }
    GameObject* GetOwner() const { return owner; }
    void SetOwner(GameObject* object) { owner = object; }

    int type;                       // slot index, 0..8
    GameObject* owner = nullptr;    // not owned; set by whoever attaches the component

protected:
    // For Clone: gives the copy this component's common fields (exposed, active, type, owner).
    void CopyComponentFields(Component& copy) const
    {
        copy.exposed = exposed;
        copy.active = active;
        copy.type = type;
        copy.owner = owner;
    }
};
