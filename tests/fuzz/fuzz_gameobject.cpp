// Game objects from archetype and object files, with children and clones. The input holds up to three
// files separated by lines "====": "archetypes/FuzzA", the object file "FuzzB" (which may name an
// archetype) and "archetypes/FuzzC"; they may list each other, and the shipped archetypes, as children.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "FuzzWorld.h"
#include "core/GameObject.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp();
    const auto parts = fuzz::Parts(data, size, 3);
    fuzz::Put("assets/data/archetypes/FuzzA.json", parts[0]);
    fuzz::Put("assets/data/FuzzB.json", parts[1]);
    fuzz::Put("assets/data/archetypes/FuzzC.json", parts[2]);

    fuzz::World world;
    world.engine->Init();
    for (const char* name : {"archetypes/FuzzA", "FuzzB", "archetypes/FuzzA", "FuzzC"}) {
        GameObject* object = world.factory->CreateGameObject(name, true);
        if (object && object->GetName() != "DebugLine" && object->GetName() != "DebugRectangle")
            world.factory->CloneAndRegister(object);
        world.Deliver();
    }
    for (int step = 0; step < 3; ++step) {
        world.manager->Update(0.2f);
        world.Deliver();
    }
    world.factory->ClearArchetypes();
    world.factory->CreateGameObject("FuzzB", true);
    world.manager->ClearGameObjects();
    world.Deliver();
    return 0;
}
