#include "core/GameObjectManager.h"

#include <algorithm>

#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/LinkedList.h"
#include "core/Message.h"
#include "core/Trace.h"

GameObjectManager* gGameObjectManager = nullptr;
void (*ClearMenuObjectsHook)() = nullptr;
void (*CollisionPairHook)(Collider* a, Collider* b) = nullptr;
void (*PhysicsClearHook)() = nullptr;

namespace {
// Message ids the manager uses.
constexpr int MSG_REMOVE_OBJECT_INDEX = 35;
constexpr int MSG_ON_MANAGER_CLEAR = 36;

// Counts the manager as busy for the lifetime of the guard; deletions requested meanwhile wait.
class BusyGuard {
public:
    explicit BusyGuard(int& depth) : depth_(depth) { ++depth_; }
    ~BusyGuard() { --depth_; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    int& depth_;
};
} // namespace

GameObjectManager::GameObjectManager()
{
    exposed = 0;
    active = 1;
}

GameObjectManager::~GameObjectManager()
{
    state = STATE_DELETING;
    byId_.clear();
    listed_.clear();
    if (objects) {
        while (objects->Count() > 0) {
            auto* object = static_cast<GameObject*>(objects->RemoveAt(objects->Count() - 1));
            delete object;
        }
    }
    // Anything still waiting for a pass to end goes now.
    for (const PendingDelete& entry : pending_)
        delete entry.object;
    pending_.clear();
    state = STATE_IDLE;
    delete objects;
    objects = nullptr;
    nameCounts.clear();
    if (gGameObjectManager == this)
        gGameObjectManager = nullptr;
}

void GameObjectManager::EnsureList()
{
    if (!objects)
        objects = new LinkedList();
}

void GameObjectManager::Init()
{
    EnsureList();
    gGameObjectManager = this;
}

GameObject* GameObjectManager::Unlink(int index)
{
    auto* object = static_cast<GameObject*>(objects->RemoveAt(index));
    listed_.erase(object);
    if (object) {
        auto it = byId_.find(object->GetId());
        if (it != byId_.end() && it->second == object)
            byId_.erase(it);
    }
    // Keep the update walk on the object that moves into a freed place.
    if (walkIndex_ >= 0 && index <= walkIndex_)
        --walkIndex_;
    for (auto* removed : removedDuringPass_)
        removed->push_back(object);
    return object;
}

void GameObjectManager::Dispose(GameObject* object, bool quiet)
{
    if (!object)
        return;
    if (busy_ > 0) {
        pending_.push_back({object, quiet});
        return;
    }
    const int saved = state;
    if (quiet)
        state = STATE_DELETING;
    delete object;
    if (quiet)
        state = saved;
}

void GameObjectManager::FlushPendingDeletes()
{
    if (busy_ > 0)
        return;
    while (!pending_.empty()) {
        std::vector<PendingDelete> batch;
        batch.swap(pending_);
        // Delete in the order the objects were removed.
        for (const PendingDelete& entry : batch)
            Dispose(entry.object, entry.quiet);
    }
}

void GameObjectManager::Update(float dt)
{
    EnsureList();
    // 1. Update every object; delete those that asked for it. Objects registered during the walk
    //    are appended and reached in this same walk.
    for (walkIndex_ = 0; walkIndex_ < objects->Count(); ++walkIndex_) {
        auto* object = static_cast<GameObject*>((*objects)[walkIndex_]);
        if (!object) {
            Unlink(walkIndex_);
            continue;
        }
        if (object->IsDestroyRequested()) {
            Unlink(walkIndex_);
            Dispose(object, false);
            continue;
        }
        {
            BusyGuard busy(busy_);
            object->Update(dt);
        }
        FlushPendingDeletes();
    }
    walkIndex_ = -1;

    // 2. The physics registry is emptied when that was asked for.
    if (PhysicsClearHook)
        PhysicsClearHook();

    // 3. Collision pass over the objects listed now; objects made during the pass join next frame,
    //    objects removed during it take no further part.
    std::vector<GameObject*> listed;
    listed.reserve(static_cast<std::size_t>(objects->Count()));
    for (int i = 0; i < objects->Count(); ++i) {
        auto* object = static_cast<GameObject*>((*objects)[i]);
        if (object && object->GetCollider())
            listed.push_back(object);
    }
    if (listed.size() >= 2 && CollisionPairHook) {
        std::vector<const GameObject*> removed;
        removedDuringPass_.push_back(&removed);
        {
            BusyGuard busy(busy_);
            auto gone = [&removed](const GameObject* object) {
                return std::find(removed.begin(), removed.end(), object) != removed.end();
            };
            for (std::size_t i = 0; i < listed.size(); ++i) {
                for (std::size_t j = i + 1; j < listed.size(); ++j) {
                    if (gone(listed[i]))
                        break;
                    if (gone(listed[j]))
                        continue;
                    Collider* a = listed[i]->GetCollider();
                    Collider* b = listed[j]->GetCollider();
                    if (a && b)
                        CollisionPairHook(a, b);
                }
            }
        }
        removedDuringPass_.erase(std::find(removedDuringPass_.begin(), removedDuringPass_.end(), &removed));
    }
    FlushPendingDeletes();
}

void GameObjectManager::Draw()
{
    if (!objects)
        return;
    {
        BusyGuard busy(busy_);
        for (int i = 0; i < objects->Count(); ++i) {
            auto* object = static_cast<GameObject*>((*objects)[i]);
            if (object)
                object->Draw();
        }
    }
    FlushPendingDeletes();
}

void GameObjectManager::HandleMessage(Message* message)
{
    if (!message)
        return;
    // A "Remove Object Index" without its text (a script can send one) only goes on to the objects.
    if (message->Is(MSG_REMOVE_OBJECT_INDEX) && message->type == MessageType::String && message->IsComplete()) {
        auto it = nameCounts.find(message->GetString());
        if (it != nameCounts.end())
            it->second = std::max(0, it->second - 1);
    }
    if (!objects)
        return;

    // Forward to the objects listed when delivery began. Objects removed by a handler are skipped;
    // objects added by one (a "CloneObject", for instance) do not see this message.
    std::vector<GameObject*> listed;
    listed.reserve(static_cast<std::size_t>(objects->Count()));
    for (int i = 0; i < objects->Count(); ++i)
        listed.push_back(static_cast<GameObject*>((*objects)[i]));
    std::vector<const GameObject*> removed;
    removedDuringPass_.push_back(&removed);
    {
        BusyGuard busy(busy_);
        for (GameObject* object : listed) {
            if (!object || std::find(removed.begin(), removed.end(), object) != removed.end())
                continue;
            object->HandleMessage(message);
        }
    }
    removedDuringPass_.erase(std::find(removedDuringPass_.begin(), removedDuringPass_.end(), &removed));
    FlushPendingDeletes();
}

void GameObjectManager::AddGameObject(GameObject* object)
{
    if (!object)
        return;
    EnsureList();
    if (!listed_.insert(object).second)
        return;
    objects->PushBack(object);
    // Ids stay unique among the listed objects, so a handle never finds the wrong one. An object built
    // by hand (never given an id by the factory) that meets a listed id takes a fresh one.
    auto held = byId_.find(object->GetId());
    if (held != byId_.end() && held->second != object)
        object->SetId(GameObjectFactory::TakeNextId());
    byId_[object->GetId()] = object;

    const std::string name = object->GetName();
    if (name == "BufferBarSegment")
        return;
    int& count = nameCounts[name];
    const int n = count;
    if (n > 0)
        object->SetName(name + "(Clone " + std::to_string(n) + ")");
    count = n + 1;

    object->exposed = 1;
    for (int slot = 0; slot < COMPONENT_TYPE_COUNT; ++slot)
        if (Component* component = object->GetComponent(slot))
            component->ExposeFields();
}

void GameObjectManager::DeleteGameObject(std::string name)
{
    if (objects) {
        for (int i = 0; i < objects->Count(); ++i) {
            auto* object = static_cast<GameObject*>((*objects)[i]);
            if (object && object->GetName() == name) {
                Unlink(i);
                Dispose(object, false);
                return;
            }
        }
    }
    Trace("Object \"%s\" not found and could not be deleted from GameObjectManager!", name.c_str());
}

void GameObjectManager::ClearGameObjects()
{
    state = STATE_DELETING;
    if (objects) {
        while (objects->Count() > 0) {
            GameObject* object = Unlink(objects->Count() - 1);
            Dispose(object, true);
        }
    }
    nameCounts.clear();
    SendMessage(MSG_ON_MANAGER_CLEAR, nullptr);
    if (ClearMenuObjectsHook)
        ClearMenuObjectsHook();
    state = STATE_CLEARED;
}

GameObject* GameObjectManager::FindGameObject(std::string name)
{
    if (!objects)
        return nullptr;
    for (int i = 0; i < objects->Count(); ++i) {
        auto* object = static_cast<GameObject*>((*objects)[i]);
        if (object && object->GetName() == name)
            return object;
    }
    return nullptr;
}

std::vector<GameObject*> GameObjectManager::FindGameObjects(std::string name)
{
    std::vector<GameObject*> found;
    if (!objects)
        return found;
    for (int i = 0; i < objects->Count(); ++i) {
        auto* object = static_cast<GameObject*>((*objects)[i]);
        if (object && object->GetName() == name)
            found.push_back(object);
    }
    return found;
}

bool GameObjectManager::IsListed(const GameObject* object) const
{
    return object && listed_.count(object) > 0;
}

GameObject* GameObjectManager::FindById(std::uint32_t id) const
{
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
}

int GameObjectManager::GetObjectCount() const { return objects ? objects->Count() : 0; }

GameObject* GameObjectManager::GetObjectAt(int index)
{
    if (!objects || index < 0 || index >= objects->Count())
        return nullptr;
    return static_cast<GameObject*>((*objects)[index]);
}

int GameObjectManager::GetNameCount(const std::string& name) const
{
    auto it = nameCounts.find(name);
    return it == nameCounts.end() ? 0 : it->second;
}
