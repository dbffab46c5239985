#pragma once
// Makes game objects by name: from an archetype file ("archetypes/..."), from an object file that
// names its archetype ("Archetype") and overrides some of it, or by cloning an archetype it has
// already built. Every object it makes or clones gets the next id, counted from 0 for the whole run.
#include <cstdint>
#include <string>

#include "core/ISystem.h"
#include "core/LinkedList.h"

class GameObject;

class GameObjectFactory : public ISystem {
public:
    // Guards of one top-level creation (children are built from inside their parent's build):
    // - a name already being built further up the chain (an archetype that lists itself, directly or
    //   through others) is refused with one trace line naming it and the object that asked;
    // - creations nest at most MAX_CREATION_DEPTH deep;
    // - at most MAX_OBJECTS_PER_CREATION objects are built; the rest are skipped with one trace line.
    static constexpr int MAX_CREATION_DEPTH = 16;
    static constexpr int MAX_OBJECTS_PER_CREATION = 4096;

    // Becomes gGameObjectFactory when there is none yet.
    GameObjectFactory();
    // Deletes every cached archetype; clears gGameObjectFactory when it points here.
    ~GameObjectFactory() override;

    std::string GetName() override { return "GameObjectFactory"; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}
    // "GameObject Build" creates, registers and initialises the object its text names;
    // "_ChangePrefabeName_" empties the archetype cache.
    void HandleMessage(Message* message) override;

    // Builds (or clones from the cache) the object of this name and gives it the next id. With
    // addAndInit it is registered with the GameObjectManager (never "DebugRectangle" or "DebugLine")
    // and initialised. A name whose file has "Archetype" is built by CreateFromArchetype, and is then
    // registered and initialised whatever addAndInit says. Null when one of the guards above refuses it.
    GameObject* CreateGameObject(std::string name, bool addAndInit);
    // Builds the archetype, renames it after the object file, applies the file's overrides, registers
    // and initialises it.
    GameObject* CreateFromArchetype(std::string archetype, std::string objectFile);
    // Clones the object with the next id, unexposed, registers and initialises the clone.
    GameObject* CloneAndRegister(GameObject* object);

    // Deletes every cached archetype (last to first).
    void ClearArchetypes();
    int GetArchetypeCount() const { return archetypes.Count(); }
    // The cached archetype at an index, or null.
    GameObject* GetArchetypeAt(int index);
    // The id the next object will get (shared by every factory of the run).
    static std::uint32_t PeekNextId() { return nextId; }
    // Hands out the next id (for an object the factory did not make).
    static std::uint32_t TakeNextId() { return nextId++; }

    const char* archetypePath = "archetypes/";
    LinkedList archetypes;   // GameObject*, owned

private:
    static std::uint32_t nextId;
    GameObject* FindArchetype(const std::string& name);
};

// The first factory created (while none was alive), or null.
extern GameObjectFactory* gGameObjectFactory;
