#include "core/GameObjectFactory.h"

#include "core/Component.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Trace.h"

GameObjectFactory* gGameObjectFactory = nullptr;
std::uint32_t GameObjectFactory::nextId = 0;

namespace {
constexpr int MSG_GAMEOBJECT_BUILD = 2;
constexpr int MSG_CHANGE_PREFAB_NAME = 34;

// How deeply CreateGameObject calls are nested right now (children are created from inside their
// parent's construction). Main thread only.
int gCreationDepth = 0;

class DepthGuard {
public:
    DepthGuard() { ++gCreationDepth; }
    ~DepthGuard() { --gCreationDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

// The string "Archetype" of an object file; empty when the member is missing or not a string.
std::string ArchetypeOf(const Stream& stream)
{
    if (!stream.data.IsObject())
        return std::string();
    auto it = stream.data.FindMember("Archetype");
    if (it == stream.data.MemberEnd() || !it->value.IsString())
        return std::string();
    return std::string(it->value.GetString(), it->value.GetStringLength());
}

bool HasArchetype(const Stream& stream)
{
    if (!stream.data.IsObject())
        return false;
    auto it = stream.data.FindMember("Archetype");
    return it != stream.data.MemberEnd() && it->value.IsString();
}
} // namespace

GameObjectFactory::GameObjectFactory()
{
    exposed = 0;
    active = 1;
    if (!gGameObjectFactory)
        gGameObjectFactory = this;
}

GameObjectFactory::~GameObjectFactory()
{
    ClearArchetypes();
    if (gGameObjectFactory == this)
        gGameObjectFactory = nullptr;
}

void GameObjectFactory::ClearArchetypes()
{
    while (archetypes.Count() > 0) {
        auto* archetype = static_cast<GameObject*>(archetypes.RemoveAt(archetypes.Count() - 1));
        delete archetype;
    }
}

GameObject* GameObjectFactory::GetArchetypeAt(int index)
{
    if (index < 0 || index >= archetypes.Count())
        return nullptr;
    return static_cast<GameObject*>(archetypes[index]);
}

GameObject* GameObjectFactory::FindArchetype(const std::string& name)
{
    for (int i = 0; i < archetypes.Count(); ++i) {
        auto* archetype = static_cast<GameObject*>(archetypes[i]);
        if (archetype && archetype->GetName() == name)
            return archetype;
    }
    return nullptr;
}

void GameObjectFactory::HandleMessage(Message* message)
{
    if (!message)
        return;
    if (message->Is(MSG_GAMEOBJECT_BUILD)) {
        // The name travels as text; a build request without one is reported instead of building a
        // nameless object.
        if (message->type != MessageType::String || !message->IsComplete()) {
            Trace("GameObjectFactory: \"%s\" carries no object name; nothing was built", message->name.c_str());
            return;
        }
        CreateGameObject(message->GetString(), true);
    }
    else if (message->Is(MSG_CHANGE_PREFAB_NAME))
        ClearArchetypes();
}

GameObject* GameObjectFactory::CreateGameObject(std::string name, bool addAndInit)
{
    if (gCreationDepth >= MAX_CREATION_DEPTH) {
        Trace("GameObjectFactory: \"%s\" was not created: objects nest more than %d levels deep "
              "(does an archetype list itself among its children?)",
              name.c_str(), MAX_CREATION_DEPTH);
        return nullptr;
    }
    DepthGuard depth;

    const std::string prefix = archetypePath ? archetypePath : "";
    const std::size_t at = prefix.empty() ? std::string::npos : name.find(prefix);
    std::string lookupName;
    Stream* opened = nullptr;
    if (at == std::string::npos) {
        // An object file that names its archetype is built from that archetype plus its overrides.
        opened = new Stream(name.c_str(), StreamMode_Data, false);
        if (HasArchetype(*opened)) {
            const std::string archetype = ArchetypeOf(*opened);
            delete opened;
            return CreateFromArchetype(archetype, name);
        }
        lookupName = name;
    } else {
        lookupName = name;
        lookupName.erase(at, prefix.size());
    }

    GameObject* object = nullptr;
    if (GameObject* cached = FindArchetype(lookupName))
        object = cached->Clone();
    if (!object) {
        if (!opened)
            opened = new Stream(name.c_str(), StreamMode_Data, false);
        object = new GameObject(*opened);
        archetypes.PushBack(new GameObject(*object));
    }
    delete opened;

    object->SetId(nextId++);
    if (addAndInit) {
        if (name != "DebugRectangle" && name != "DebugLine" && gGameObjectManager)
            gGameObjectManager->AddGameObject(object);
        object->Init();
    }
    return object;
}

GameObject* GameObjectFactory::CreateFromArchetype(std::string archetype, std::string objectFile)
{
    GameObject* object = CreateGameObject(std::string(archetypePath ? archetypePath : "") + archetype, false);
    if (!object)
        return nullptr;
    object->SetName(objectFile);
    Stream file(objectFile.c_str(), StreamMode_Data, false);
    object->ReadOverrides(file);
    if (gGameObjectManager)
        gGameObjectManager->AddGameObject(object);
    object->Init();
    return object;
}

GameObject* GameObjectFactory::CloneAndRegister(GameObject* object)
{
    if (!object)
        return nullptr;
    GameObject* clone = object->Clone();
    if (!clone)
        return nullptr;
    clone->SetId(nextId++);
    clone->exposed = 0;
    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot)
        if (Component* component = clone->GetComponent(slot))
            component->exposed = 0;
    if (gGameObjectManager)
        gGameObjectManager->AddGameObject(clone);
    clone->Init();
    return clone;
}
