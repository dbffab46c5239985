#include "core/GameObject.h"

#include <algorithm>

#include "core/Behavior.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Message.h"
#include "core/ObjectFactory.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"

namespace {

constexpr const char* SOURCE_PATH = "src/GameObject";
// Assertion lines of an unknown "BehaviorType": when building an object, and when applying overrides.
constexpr int UNKNOWN_BEHAVIOR_LINE_BUILD = 425;
constexpr int UNKNOWN_BEHAVIOR_LINE_OVERRIDE = 509;

constexpr int SLOT_TRANSFORM = static_cast<int>(ComponentType::Transform);
constexpr int SLOT_SPRITESHEET = static_cast<int>(ComponentType::SpriteSheet);
constexpr int SLOT_COLLIDER = static_cast<int>(ComponentType::Collider);
constexpr int SLOT_BEHAVIOR = static_cast<int>(ComponentType::Behavior);
constexpr int SLOT_PHYSICS = static_cast<int>(ComponentType::Physics);
constexpr int SLOT_AUDIO_LISTENER = static_cast<int>(ComponentType::AudioListener);

// The maker of each slot's component; null while nobody registered one (the block is then skipped).
ComponentMaker ComponentMakers[COMPONENT_TYPE_COUNT] = {};

Component* MakeComponent(ComponentType type, GameObject* owner)
{
    const ComponentMaker make = ComponentMakers[static_cast<int>(type)];
    return make ? make(owner) : nullptr;
}

bool IsValidSlot(int slot)
{
    return slot >= 0 && slot < COMPONENT_TYPE_COUNT;
}

} // namespace

void (*PlayerMessageHook)(GameObject* player, Message* message) = nullptr;

void RegisterComponentMaker(ComponentType type, ComponentMaker make)
{
    const int slot = static_cast<int>(type);
    if (IsValidSlot(slot))
        ComponentMakers[slot] = make;
}

GameObject::GameObject() = default;

GameObject::GameObject(Stream& stream)
{
    name = stream.ReadString("Name");
    ReadChildren(stream);
    CreateComponents(stream);
}

GameObject::GameObject(const GameObject& other) : Object(), destroy(other.destroy), name(other.name)
{
    for (Component* source : other.components) {
        if (!source)
            continue;
        Object* cloned = source->Clone();
        Component* copy = dynamic_cast<Component*>(cloned);
        if (!copy) {
            delete cloned;
            continue;
        }
        if (!SetComponent(copy))
            delete copy;
    }
    // Every listed child name is copied, whether or not its child could be built.
    if (other.childNames)
        childNames = new std::vector<std::string>(*other.childNames);
}

GameObject::~GameObject()
{
    // Nobody keeps a link to an object that is gone: the parent forgets it, and the children (which
    // live on as objects of their own) lose their parent.
    if (parent) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        parent = nullptr;
    }
    for (GameObject* child : children) {
        if (child && child->parent == this)
            child->parent = nullptr;
    }
    children.clear();

    for (Component*& component : components) {
        delete component;
        component = nullptr;
    }
    delete childNames;
    childNames = nullptr;

    const bool clearingAll =
        gGameObjectManager && gGameObjectManager->GetState() == GameObjectManager::STATE_DELETING;
    if (!clearingAll)
        SendMessage(std::string("Menu Object Delete"), nullptr);
}

void GameObject::SetName(const char* newName)
{
    if (newName)
        name = newName;
}

void GameObject::Init()
{
    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot) {
        if (components[slot])
            components[slot]->Init();
    }
}

void GameObject::Update(float dt)
{
    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot) {
        if (components[slot])
            components[slot]->Update(dt);
    }
}

void GameObject::Draw()
{
    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot) {
        if (components[slot])
            components[slot]->Draw();
    }
}

GameObject* GameObject::Clone()
{
    GameObject* copy = new GameObject(*this);
    copy->SetName(name);
    if (childNames) {
        const std::vector<std::string> names = *childNames;
        for (const std::string& childName : names)
            copy->SpawnChild(childName);
    }
    copy->destroy = destroy;
    return copy;
}

void GameObject::HandleMessage(Message* message)
{
    if (!message)
        return;
    if (message->GetTarget() == this && message->IsNamed("Request Return Player"))
        Trace("Found player");
    if (message->IsNamed("Player Attack"))
        SendMessage(MessageId::RequestPlayer, static_cast<int>(id), nullptr);
    // Only a text message can name an object.
    if (message->Is(MessageId::CloneObject) && message->type == MessageType::String && message->GetString() == name &&
        gGameObjectFactory)
        gGameObjectFactory->CloneAndRegister(this);

    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot) {
        if (components[slot])
            components[slot]->HandleMessage(message);
    }

    // Hard-wired reactions of the player object.
    Transform* transform = GetTransform();
    if (!transform || !transform->owner || transform->owner->GetName() != "Player")
        return;
    if (PlayerMessageHook)
        PlayerMessageHook(this, message);
}

void GameObject::RequestDestroy()
{
    destroy = 1;
    if (Component* collider = components[SLOT_COLLIDER])
        collider->OnOwnerDestroyRequested(*this);
    SendMessage(MessageId::RemoveObjectIndex, name.c_str(), nullptr);
}

void GameObject::ReadOverrides(Stream& stream)
{
    if (stream.HasMember("Name"))
        SetName(stream.ReadString("Name"));
    ReadChildren(stream);

    // A block whose slot is empty creates its component (which reads the file); otherwise the
    // component in place reads the file.
    auto readOrCreate = [&](const char* block, ComponentType type) {
        if (!stream.HasMember(block))
            return;
        const int slot = static_cast<int>(type);
        if (components[slot])
            components[slot]->Read(stream);
        else
            AttachRead(MakeComponent(type, this), stream, false);
    };

    readOrCreate("Transform", ComponentType::Transform);
    readOrCreate("Sprite", ComponentType::Sprite);
    if (stream.HasMember("Animation")) {
        if (components[SLOT_SPRITESHEET])
            components[SLOT_SPRITESHEET]->Read(stream);
        else
            CreateSpriteSheet(stream);
    }
    if (stream.HasMember("Behavior")) {
        if (components[SLOT_BEHAVIOR]) {
            Behavior* behavior = GetBehavior();
            if (stream.HasMember("Behavior", "StateNext"))
                behavior->nextState = stream.ReadInt("Behavior", "StateNext");
            behavior->Read(stream);
        } else {
            CreateBehavior(stream, UNKNOWN_BEHAVIOR_LINE_OVERRIDE);
        }
    }
    readOrCreate("Collider", ComponentType::Collider);
    if (stream.HasMember("Physics") && components[SLOT_PHYSICS])
        components[SLOT_PHYSICS]->Read(stream);
    readOrCreate("ParticleEmitter", ComponentType::ParticleEmitter);
    readOrCreate("AudioEventManager", ComponentType::AudioEventManager);
    if (stream.HasMember("AudioListener") && !components[SLOT_AUDIO_LISTENER])
        SetComponent(MakeComponent(ComponentType::AudioListener, this));
}

Component* GameObject::GetComponent(int componentType) const
{
    return IsValidSlot(componentType) ? components[componentType] : nullptr;
}

bool GameObject::SetComponent(Component* component)
{
    if (!component || !IsValidSlot(component->type))
        return false;
    Component*& slot = components[component->type];
    if (slot != component) {
        delete slot;
        slot = component;
    }
    component->owner = this;
    return true;
}

Component* GameObject::RemoveComponent(int componentType)
{
    if (!IsValidSlot(componentType))
        return nullptr;
    Component* component = components[componentType];
    components[componentType] = nullptr;
    return component;
}

Transform* GameObject::GetTransform() const
{
    return static_cast<Transform*>(components[SLOT_TRANSFORM]);
}

Behavior* GameObject::GetBehavior() const
{
    return static_cast<Behavior*>(components[SLOT_BEHAVIOR]);
}

std::vector<std::string> GameObject::GetChildNames() const
{
    return childNames ? *childNames : std::vector<std::string>();
}

GameObject* GameObject::FindChild(const std::string& childName) const
{
    for (GameObject* child : children) {
        if (child && child->GetName() == childName)
            return child;
    }
    return nullptr;
}

void GameObject::AddChild(GameObject* child)
{
    if (!child || child == this)
        return;
    if (child->parent && child->parent != this)
        child->parent->RemoveChild(child);
    if (std::find(children.begin(), children.end(), child) == children.end())
        children.push_back(child);
    child->parent = this;
}

bool GameObject::RemoveChild(GameObject* child)
{
    auto found = std::find(children.begin(), children.end(), child);
    if (found == children.end())
        return false;
    children.erase(found);
    if (child && child->parent == this)
        child->parent = nullptr;
    return true;
}

void GameObject::ReadChildren(Stream& stream)
{
    if (!stream.HasMember("Children") || !stream.data.IsObject())
        return;
    const rapidjson::Value& list = stream.data["Children"];
    if (!list.IsArray()) {
        Trace("Object %s: \"Children\" is not a list of names; no children", name.c_str());
        return;
    }
    for (const rapidjson::Value& entry : list.GetArray()) {
        if (!entry.IsString()) {
            Trace("Object %s: a child entry is not a name; skipped", name.c_str());
            continue;
        }
        CreateChild(std::string(entry.GetString(), entry.GetStringLength()));
    }
}

void GameObject::CreateChild(const std::string& childName)
{
    if (!childNames)
        childNames = new std::vector<std::string>();
    childNames->push_back(childName);
    SpawnChild(childName);
}

void GameObject::SpawnChild(const std::string& childName)
{
    if (!gGameObjectFactory)
        return;
    if (GameObject* child = gGameObjectFactory->CreateGameObject(childName, true))
        AddChild(child);
}

void GameObject::AttachRead(Component* component, Stream& stream, bool ownerFirst)
{
    if (!component)
        return;
    if (ownerFirst)
        component->owner = this;
    component->Read(stream);
    if (!SetComponent(component))
        delete component;
}

void GameObject::CreateSpriteSheet(Stream& stream)
{
    // The sheet's maker takes the texture of the object's Sprite.
    AttachRead(MakeComponent(ComponentType::SpriteSheet, this), stream, true);
}

void GameObject::CreateComponents(Stream& stream)
{
    if (stream.HasMember("Transform"))
        AttachRead(MakeComponent(ComponentType::Transform, this), stream, false);
    if (stream.HasMember("Sprite"))
        AttachRead(MakeComponent(ComponentType::Sprite, this), stream, false);
    if (stream.HasMember("Animation"))
        CreateSpriteSheet(stream);
    if (stream.HasMember("Collider"))
        AttachRead(MakeComponent(ComponentType::Collider, this), stream, false);

    // Every object moves through a Physics; the block only changes its defaults.
    if (Component* physics = MakeComponent(ComponentType::Physics, this)) {
        physics->owner = this;
        if (stream.HasMember("Physics"))
            physics->Read(stream);
        if (!SetComponent(physics))
            delete physics;
    }

    if (stream.HasMember("Behavior"))
        CreateBehavior(stream, UNKNOWN_BEHAVIOR_LINE_BUILD);
    if (stream.HasMember("ParticleEmitter"))
        AttachRead(MakeComponent(ComponentType::ParticleEmitter, this), stream, false);
    if (stream.HasMember("AudioEventManager"))
        AttachRead(MakeComponent(ComponentType::AudioEventManager, this), stream, false);
    if (stream.HasMember("AudioListener"))
        SetComponent(MakeComponent(ComponentType::AudioListener, this));
}

void GameObject::CreateBehavior(Stream& stream, int assertionLine)
{
    const std::string typeName = stream.ReadString("Behavior", "BehaviorType");
    Behavior* behavior = CreateBehaviorByName(typeName);
    if (!behavior && gObjectFactory) {
        Component* made = gObjectFactory->CreateObject(typeName.c_str());
        behavior = dynamic_cast<Behavior*>(made);
        if (made && !behavior)
            delete made;
    }
    if (!behavior) {
        AssertionFailed("behavior", SOURCE_PATH, assertionLine,
                        "Behavior" + typeName + " doesn't exist or is misspelled");
        return;
    }
    behavior->type = SLOT_BEHAVIOR;
    if (!SetComponent(behavior)) {
        delete behavior;
        return;
    }
    if (stream.HasMember("Behavior", "StateNext"))
        behavior->nextState = stream.ReadInt("Behavior", "StateNext");
    behavior->Read(stream);
}
