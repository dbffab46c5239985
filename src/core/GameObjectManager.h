#pragma once
// Holds the live game objects: updates them each frame, deletes those that asked to be destroyed,
// runs the pairwise collision pass, draws them, forwards every delivered message to each of them and
// answers lookups by name. Repeated names get a numbered suffix when objects are registered.
//
// Safety rules kept by the manager:
// - An object is unlinked from the list before it is deleted. An object removed while the manager
//   is inside one of its passes (an object's Update, message forwarding, the collision pass) is
//   unlinked at once and deleted when that pass returns, so no object is deleted under a running
//   call.
// - Message forwarding and the collision pass visit the objects listed when they began; objects
//   added meanwhile join later (the next message or the next frame), objects removed meanwhile are
//   skipped.
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/ISystem.h"

class Collider;
class GameObject;
class LinkedList;

class GameObjectManager : public ISystem {
public:
    // Manager states (see GetState).
    static constexpr int STATE_IDLE = 0;      // at creation and after destruction
    static constexpr int STATE_CLEARED = 1;   // after ClearGameObjects
    static constexpr int STATE_DELETING = 2;  // while every object is being deleted

    GameObjectManager();
    // Deletes every object (last to first, in state 2) and clears gGameObjectManager when it points
    // here.
    ~GameObjectManager() override;

    std::string GetName() override { return "GameObjectManager"; }
    // Creates the empty object list and publishes this manager as gGameObjectManager.
    void Init() override;
    // Updates the objects in list order (deleting those whose destroy flag is set; objects added
    // meanwhile are updated in the same pass), empties the physics registry when asked to, then runs
    // the collision pass over every pair of listed objects with colliders (i < j, list order).
    void Update(float dt) override;
    // Draws every listed object in list order.
    void Draw() override;
    // "Remove Object Index" lowers the count of the name it carries (not below 0); then every message
    // goes to each listed object in list order.
    void HandleMessage(Message* message) override;

    // Appends the object and, unless it is named "BufferBarSegment", gives the second and later
    // objects of one name the suffix "(Clone n)", counts the name and exposes the object's fields.
    // Null, or an object already listed, is ignored.
    void AddGameObject(GameObject* object);
    // Deletes the first listed object with exactly this name, or traces that it was not found.
    void DeleteGameObject(std::string name);
    // Deletes every object (last to first), empties the name counts, sends "On Manager Clear" and
    // empties the menu system's object list. Ends in state 1.
    void ClearGameObjects();
    // The first listed object with exactly this name, or null.
    GameObject* FindGameObject(std::string name);
    // Every listed object with exactly this name, in list order.
    std::vector<GameObject*> FindGameObjects(std::string name);

    // True when the object is listed. Only for a pointer the caller knows to be live: a deleted
    // object's address may belong to a new object by now (hold a GameObjectHandle instead).
    bool IsListed(const GameObject* object) const;
    // The listed object with this id, or null (see GameObjectHandle).
    GameObject* FindById(std::uint32_t id) const;
    // Number of listed objects and the object at an index (null outside 0..count-1).
    int GetObjectCount() const;
    GameObject* GetObjectAt(int index);
    // The registration count of an unsuffixed name (0 when it has none).
    int GetNameCount(const std::string& name) const;
    int GetState() const { return state; }

    std::map<std::string, int> nameCounts;
    LinkedList* objects = nullptr;   // owned, and owns the objects; created by Init
    int state = STATE_IDLE;

private:
    struct PendingDelete {
        GameObject* object;
        bool quiet;   // deleted in state 2 (no "Menu Object Delete")
    };
    // Unlinks the object at index, keeping the update walk and running deliveries consistent.
    GameObject* Unlink(int index);
    // Deletes an unlinked object now, or after the running pass when the manager is inside one.
    void Dispose(GameObject* object, bool quiet);
    void FlushPendingDeletes();
    void EnsureList();

    std::unordered_set<const GameObject*> listed_;          // the listed objects, for O(1) membership
    std::unordered_map<std::uint32_t, GameObject*> byId_;   // listed objects by id
    int busy_ = 0;                          // depth of running passes
    int walkIndex_ = -1;                    // index of the object being updated, -1 outside the walk
    std::vector<PendingDelete> pending_;
    std::vector<std::vector<const GameObject*>*> removedDuringPass_;  // one per running snapshot pass
};

// The initialised manager, or null.
extern GameObjectManager* gGameObjectManager;
// Empties the menu system's list of menu objects; called by ClearGameObjects. Null when there is no
// menu system.
extern void (*ClearMenuObjectsHook)();
// The step the collision pass takes for each pair of colliders (the earlier object's first):
// Collider::ResolveCollision, set at start-up. Tests may replace it to watch the pairs; null skips the
// pass.
extern void (*CollisionPairHook)(Collider* a, Collider* b);
// Empties the physics registry when that was asked for, between the updates and the collision pass.
// Set by the physics system while it exists.
extern void (*PhysicsClearHook)();
