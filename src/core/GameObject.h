#pragma once
// A named thing in the game world. It owns up to nine components, one per component type, and runs
// their Init, Update, Draw and HandleMessage in slot order. It may have child objects, built from the
// archetype names listed under "Children"; children are ordinary objects of the GameObjectManager and
// are not owned. An object is built from a JSON description, can be cloned, and asks to be destroyed
// by setting a flag the GameObjectManager acts on.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Component.h"
#include "core/Object.h"

class Stream;
class Transform;
class Sprite;
class SpriteSheet;
class Collider;
class Behavior;
class Physics;
class ParticleEmitter;
class AudioEventManager;
class AudioListener;

class GameObject : public Object {
public:
    // A nameless object with no components (what a failed clone gives).
    GameObject();
    // Builds the object from an object or archetype file: "Name", "Children" (created through the
    // GameObjectFactory), then the components of the blocks present. Every object gets a Physics.
    explicit GameObject(Stream& stream);
    // Copies the name, the destroy flag and the child names; clones every component for the new
    // object. The id, the parent and the children are not copied.
    GameObject(const GameObject& other);
    GameObject& operator=(const GameObject&) = delete;
    // Deletes the components. Unlinks the object from its parent and its children (the children are
    // not deleted). Posts "Menu Object Delete" unless the GameObjectManager is clearing all objects.
    ~GameObject() override;

    std::string GetName() override { return name; }
    // A null pointer is ignored.
    void SetName(const char* newName);
    void SetName(const std::string& newName) { name = newName; }

    void Init() override;
    void Update(float dt) override;
    void Draw() override;
    // Copy, then fresh children built from the child names through the GameObjectFactory. The caller
    // gives the clone its id.
    GameObject* Clone() override;
    // "Request Return Player" for this object, "Player Attack", "CloneObject" naming this object, then
    // every component, then the reactions of the object named "Player".
    void HandleMessage(Message* message) override;

    // Marks the object for deletion at the manager's next update and posts "CollisionRemove" and
    // "ColliderIDRemove" (with a collider) and "Remove Object Index" (always).
    void RequestDestroy();
    bool IsDestroyRequested() const { return destroy != 0; }
    // Applies an object file over an object built from its archetype.
    void ReadOverrides(Stream& stream);

    std::uint32_t GetId() const { return id; }
    void SetId(std::uint32_t newId) { id = newId; }

    // The component in a slot; null for an empty slot or a type outside 0..8.
    Component* GetComponent(int componentType) const;
    Component* GetComponent(ComponentType componentType) const { return GetComponent(static_cast<int>(componentType)); }
    // Puts the component in the slot of its type and makes this object its owner. A component that
    // was in that slot is deleted. A null component or a type outside 0..8 is refused (false).
    bool SetComponent(Component* component);
    // Takes the component out of its slot without deleting it (the caller owns it then).
    Component* RemoveComponent(int componentType);

    // Typed slot access; null when the slot is empty. Each getter of a component class from a layer
    // above is defined beside that class.
    Transform* GetTransform() const;
    Sprite* GetSprite() const;
    SpriteSheet* GetSpriteSheet() const;
    Collider* GetCollider() const;
    Behavior* GetBehavior() const;
    Physics* GetPhysics() const;
    ParticleEmitter* GetParticleEmitter() const;
    AudioEventManager* GetAudioEventManager() const;
    AudioListener* GetAudioListener() const;

    GameObject* GetParent() const { return parent; }
    const std::vector<GameObject*>& GetChildren() const { return children; }
    // The names listed under "Children" (empty when there were none).
    std::vector<std::string> GetChildNames() const;
    // The first child, in children order, with that name; null when none.
    GameObject* FindChild(const std::string& childName) const;
    // Appends the child and makes this object its parent (taking it from a previous parent first).
    void AddChild(GameObject* child);
    // Unlinks a child from this object; false when it is not one of its children.
    bool RemoveChild(GameObject* child);

private:
    void ReadChildren(Stream& stream);
    // Records the child name, then builds the child.
    void CreateChild(const std::string& childName);
    // Builds, registers and initialises a child through the GameObjectFactory and links it.
    void SpawnChild(const std::string& childName);
    void CreateComponents(Stream& stream);
    // Lets the component read the file and puts it in its slot (owner set before or after reading).
    void AttachRead(Component* component, Stream& stream, bool ownerFirst);
    void CreateSpriteSheet(Stream& stream);
    void CreateBehavior(Stream& stream, int assertionLine);

    std::uint8_t destroy = 0;
    std::string name;
    std::uint32_t id = 0;
    Component* components[COMPONENT_TYPE_COUNT] = {};  // owned
    GameObject* parent = nullptr;                     // not owned
    std::vector<GameObject*> children;                // not owned
    std::vector<std::string>* childNames = nullptr;   // owned; created on first use
};

class Message;

// Makes a new component for an object that is being built or overridden; the object is not yet the
// component's owner.
using ComponentMaker = Component* (*)(GameObject* object);
// Gives a component slot its maker; a slot without one skips its block. The program registers every
// maker at start-up (app/DataNames).
void RegisterComponentMaker(ComponentType type, ComponentMaker make);
// The player object's own reactions to a message, run after its components have handled it. Set at
// start-up; null runs none.
extern void (*PlayerMessageHook)(GameObject* player, Message* message);
