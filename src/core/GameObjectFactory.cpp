#include "core/GameObjectFactory.h"

#include <algorithm>
#include <vector>

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

// The creation under way. Children are created from inside their parent's construction, so one
// top-level request (a CreateGameObject or CloneAndRegister called from outside any creation) runs
// all its nested creations before it returns. Main thread only.
struct Creation {
    int depth = 0;                  // nested creations running now
    std::vector<std::string> chain; // the names being built, outermost first
    int built = 0;                  // objects built since the top-level request began
    bool fanOutReported = false;
};
Creation gCreation;

// One nested creation; the outermost one starts the count of built objects afresh.
class CreationScope {
public:
    explicit CreationScope(const std::string* name) : named_(name != nullptr)
    {
        if (gCreation.depth == 0) {
            gCreation.built = 0;
            gCreation.fanOutReported = false;
        }
        ++gCreation.depth;
        if (named_)
            gCreation.chain.push_back(*name);
    }
    ~CreationScope()
    {
        --gCreation.depth;
        if (named_)
            gCreation.chain.pop_back();
    }
    CreationScope(const CreationScope&) = delete;
    CreationScope& operator=(const CreationScope&) = delete;

private:
    bool named_;
};

bool InCreationChain(const std::string& name)
{
    return std::find(gCreation.chain.begin(), gCreation.chain.end(), name) != gCreation.chain.end();
}

// The name a refused request is reported under when no name is being built (a clone's children).
std::string Requester()
{
    return gCreation.chain.empty() ? std::string("a cloned object") : "\"" + gCreation.chain.back() + "\"";
}

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
    // A name already being built further up this chain would build itself again, without end.
    if (InCreationChain(name)) {
        Trace("GameObjectFactory: %s lists \"%s\" as a child, but \"%s\" is already being built in that "
              "chain; the child was not created",
              Requester().c_str(), name.c_str(), name.c_str());
        return nullptr;
    }
    if (gCreation.depth >= MAX_CREATION_DEPTH) {
        Trace("GameObjectFactory: \"%s\" was not created: objects nest more than %d levels deep",
              name.c_str(), MAX_CREATION_DEPTH);
        return nullptr;
    }
    if (gCreation.depth > 0 && gCreation.built >= MAX_OBJECTS_PER_CREATION) {
        if (!gCreation.fanOutReported)
            Trace("GameObjectFactory: one creation has built %d objects; \"%s\" and the rest of the children "
                  "were skipped",
                  MAX_OBJECTS_PER_CREATION, name.c_str());
        gCreation.fanOutReported = true;
        return nullptr;
    }
    CreationScope scope(&name);

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

    // Counted before its children are built, so a creation stops at exactly the cap.
    ++gCreation.built;
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
    // The clone's children are built within this one creation (and its count of objects).
    CreationScope scope(nullptr);
    ++gCreation.built;
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
