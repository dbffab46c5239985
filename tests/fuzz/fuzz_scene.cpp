// Scene files through a scene change and a reload. The input holds the scene file "scenes/Fuzz", then
// (after a line "====") an archetype "archetypes/FuzzA" the scene may place.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "FuzzWorld.h"
#include "graphics/LightingSystem.h"
#include "world/LevelSystem.h"
#include "world/SceneSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp();
    const auto parts = fuzz::Parts(data, size, 2);
    fuzz::Put("assets/data/scenes/Fuzz.json", parts[0]);
    fuzz::Put("assets/data/archetypes/FuzzA.json", parts[1]);

    fuzz::World world;
    // A small fog grid keeps each run quick; the scene may resize it.
    auto* lighting = new LightingSystem();
    lighting->cols = 64;
    lighting->rows = 64;
    world.engine->AddSystem(lighting);
    auto* levels = new LevelSystem();
    world.engine->AddSystem(levels);
    auto* scenes = new SceneSystem();
    world.engine->AddSystem(scenes);
    world.engine->Init();
    // The engine's Init asked for the initial scene; this one replaces it before the first change.
    scenes->SetNextScene("Fuzz");
    scenes->Update(0.0f);
    world.Deliver();
    scenes->SetNextScene("Fuzz");
    scenes->fadeTimer = 0.0f;
    scenes->Update(0.0f);
    world.Deliver();
    for (int step = 0; step < 3; ++step) {
        world.engine->Update(0.2f);
        world.Deliver();
    }
    return 0;
}
