#pragma once
// An engine with the message system, both factories and the object manager, made afresh for each
// input so that no cache carries one input's objects into the next.
#include "core/Engine.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/MessageSystem.h"
#include "core/ObjectFactory.h"

namespace fuzz {

struct World {
    World()
    {
        engine = new Engine();
        gEngine = engine;
        engine->AddSystem(std::string("MessageSystem"));
        engine->AddSystem(new ObjectFactory());
        factory = new GameObjectFactory();
        engine->AddSystem(factory);
        manager = new GameObjectManager();
        engine->AddSystem(manager);
    }
    ~World() { delete engine; }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    void Deliver()
    {
        for (int i = 0; i < 4 && gMessageSystem; ++i)
            gMessageSystem->Update(0.0f);
    }

    Engine* engine = nullptr;
    GameObjectFactory* factory = nullptr;
    GameObjectManager* manager = nullptr;
};

} // namespace fuzz
