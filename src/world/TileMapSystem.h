#pragma once
// Tile maps and their tilesets in the Tiled JSON layout (read by world/TiledMap): loading, drawing the
// displayed map layer by layer, and a wall grid of the loaded maps' size (100 x 100 at least) against
// which the player is blocked every frame.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/GameObjectHandle.h"
#include "core/ISystem.h"
#include "world/TiledMap.h"

class GameObject;
class Mesh;
class Texture;
class Transform;
class VertexBatch;
struct TileMapBatches;

// One layer of a map: one gid per cell (its flip bits included), row by row from the top row; a short
// layer holds only the first cells (the rest are empty).
struct TileMapLayer {
    std::string name;
    std::string type;
    std::vector<std::int32_t> data;
    bool visible = false;
    float opacity = 1.0f;
    float offsetX = 0.0f, offsetY = 0.0f; // world units, right and up
};

// One tileset: entry k (1..tilecount) is tile k - 1 of the image as (column, row); entry 0 and the
// entries past tilecount are (-1, -1), which draw nothing.
struct Tileset {
    static constexpr int ENTRY_COUNT = TiledMap::MAX_TILES + 1;

    Tileset();

    std::string name;
    std::int32_t columns = 0;
    std::int32_t tilecount = 0;
    std::int32_t firstGidMinusOne = 0;
    Texture* texture = nullptr; // owned by the graphics library
    TiledMap::TilesetGeometry geometry; // where the tiles lie in the image, as the tileset says
    std::array<std::pair<std::int32_t, std::int32_t>, ENTRY_COUNT> entries;
};

// One loaded map.
struct TileMap {
    static constexpr int MAX_LAYERS = TiledMap::MAX_LAYERS;

    TileMap();
    ~TileMap();
    TileMap(const TileMap&) = delete;
    TileMap& operator=(const TileMap&) = delete;

    // The tileset and frame a gid draws, its flip bits masked off: the tileset with the largest first
    // gid not above the tile number, entry number - (first gid - 1). False (nothing to draw) for tile
    // number 0, numbers past their tileset's tiles, and numbers below every tileset.
    bool FindTile(std::int32_t gid, const Tileset** tileset, int* column, int* row) const;

    // Where a gid's tile is drawn in the cell whose centre is (x, y), before the layer's offset: the
    // quad x0..x1 by y0..y1 (a tile larger than a cell grows right and up from the cell's lower left
    // corner), its texture and the texture coordinates of its corners as VertexBatch::AddQuad takes
    // them, flips applied, reaching the tile's edges in the image. False when the gid draws nothing.
    struct Quad {
        const Tileset* tileset = nullptr;
        int column = -1, row = -1;
        float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        float uv[8] = {};
    };
    bool TileQuad(std::int32_t gid, float x, float y, Quad& quad) const;

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t tileWidth = 0, tileHeight = 0; // pixels of a cell; 0 when the map doesn't say
    float originX = 0.0f;
    float originY = 0.0f;
    std::vector<std::unique_ptr<Tileset>> tilesets;
    std::int32_t layerCount = 0; // layers read into the slots
    TileMapLayer layers[MAX_LAYERS];
    Mesh* mesh = nullptr;        // the library's "textured_mesh"
    Transform* transform = nullptr; // owned
    std::string name;
    bool displayed = false;
    // The tiles as vertex buffers: per layer, regions of cells, each a few buffers drawn in turn. A
    // region is built when a camera first sees it and freed again when many are held and it is out of
    // sight; a change of cells rebuilds the regions holding them, a change of size, tilesets or
    // placement all of them.
    std::unique_ptr<TileMapBatches> batches;
    // The regions built into vertex buffers so far.
    int RegionsBuilt() const;
    // The regions holding vertex buffers now.
    int RegionsHeld() const;
    // One-tile buffers of the one-by-one drawing, kept until the next draw.
    std::vector<std::unique_ptr<VertexBatch>> singles;
};

class TileMapSystem : public ISystem {
public:
    // The smallest wall grid, in cells a side; a larger map widens it to its own size.
    static constexpr int GRID_SIZE = 100;
    static constexpr int MAX_TILES = Tileset::ENTRY_COUNT - 1;

    // Traces "TileMapSystem started... %d maps loaded...".
    TileMapSystem();
    // Frees every loaded map.
    ~TileMapSystem() override;

    std::string GetName() override { return "TileMapSystem"; }
    // Fetches the player and posts "SetCameraBounds" (width, height, -100, -100) of the wall grid.
    void Init() override;
    void OnEnable() override;
    void OnDisable() override;
    // The wall test against the player.
    void Update(float dt) override;
    // Draws the displayed map while active.
    void Draw() override;
    // "LoadTileMap", "DisplayTileMap" (text payloads), "UnloadTileMap" (clears the wall grid),
    // "TileSurfaceReading" (nothing).
    void HandleMessage(Message* message) override;

    // Loads a map from "tilemaps/<name>.json", read whole by TiledMap, and builds it from that model
    // (records its walls, widening the wall grid and the camera's bounds to its size). Never null; a
    // map that could not be read has no layers and no tilesets.
    TileMap* LoadTileMap(const std::string& name);
    // Loads the tileset a "source" path names: "tilesets/<file name without folders and extension>.json".
    // Never null.
    Tileset* LoadTileset(const std::string& source);
    // Queues the tiles of the displayed map's visible layers, each layer's in Tiled's right-down order
    // where tiles overlap: a few commands per region that meets a camera's view, each drawing a vertex
    // buffer, or one command per tile while batching is off.
    void DrawTileMap();

    // On: each tile layer is drawn from vertex buffers of regions of cells. Off: one draw per tile
    // (the same picture, kept for comparison).
    bool batched = true;

    // The draw layer of a map layer: 3 "AbovePlayerLayer00", 2 "AbovePlayerLayer01", else 10.
    static int DrawLayerOf(const std::string& layerName);

    bool IsWall(int row, int column) const;
    int GetGridWidth() const { return gridWidth; }
    int GetGridHeight() const { return gridHeight; }
    // Every cell free.
    void ClearWalls();
    int GetGridRowOrigin() const { return gridRowOrigin; }
    const std::vector<TileMap*>& GetMaps() const { return maps; }
    TileMap* GetDisplayedMap() const { return displayedMap; }

    // The object the wall test blocks, held by its id: once it is deleted (or was never listed with
    // the object manager) GetPlayer gives null.
    void SetPlayer(GameObject* object);
    GameObject* GetPlayer();

private:
    struct Cell {
        int column = 0;
        int row = 0;
    };

    bool FreeCell(int row, int column) const { return !IsWall(row, column); }
    void FetchPlayer();
    void SetWall(std::size_t row, std::size_t column);
    // Widens the wall grid to hold a map of that size; true when it grew.
    bool GrowGrid(int width, int height);
    void PostCameraBounds();

    std::vector<TileMap*> maps;        // owned, in load order
    TileMap* displayedMap = nullptr;
    // gridHeight rows of gridWidth cells, 1 = wall; each row is stored only as far as its last wall.
    std::vector<std::vector<std::uint8_t>> walls;
    int gridWidth = GRID_SIZE, gridHeight = GRID_SIZE;
    int gridRowOrigin = 0;
    GameObjectHandle player;
    Cell corners[4];                   // lower left, upper left, lower right, upper right
    Cell lastCorners[4];
    bool cornersKnown = false;
};

// Where the tile map finds its player: the first player of the player manager. Null: no player.
extern GameObject* (*TileMapPlayerHook)();
