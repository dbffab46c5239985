// Tile maps with their tilesets and the wall test. The input holds the map file, then (after a line
// "====") a tileset file that the map may name as "../tilesets/Fuzz.json"; the shipped tilesets are
// there too.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Transform.h"
#include "world/Physics.h"
#include "world/TileMapSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp();
    const auto parts = fuzz::Parts(data, size, 2);
    fuzz::Put("assets/data/tilemaps/Fuzz.json", parts[0]);
    fuzz::Put("assets/data/tilesets/Fuzz.json", parts[1]);

    GameObjectManager objects;
    objects.Init();
    TileMapSystem tiles;
    TileMap* map = tiles.LoadTileMap("Fuzz");
    for (int l = 0; l < map->layerCount; ++l) {
        for (std::int32_t gid : map->layers[l].data) {
            TileMap::Quad quad;
            map->TileQuad(gid, map->layers[l].offsetX, map->layers[l].offsetY, quad);
        }
    }
    delete map;

    // The wall test against a player on both sides of the map's origin and far outside it.
    auto* player = new GameObject();
    player->SetName("Player");
    auto* transform = new Transform();
    player->SetComponent(transform);
    player->SetComponent(new Physics());
    objects.AddGameObject(player);
    tiles.SetPlayer(player);
    for (float at : {0.5f, 3.5f, 42.9f, 99.5f, -0.5f, -20.25f, 150.0f, 1.0e7f}) {
        transform->SetTranslation(at, at);
        tiles.Update(1.0f / 60.0f);
        transform->SetTranslation(at, -at);
        tiles.Update(1.0f / 60.0f);
    }
    return 0;
}
