#include "world/TileMapSystem.h"

#include <algorithm>
#include <cmath>

#include "core/GameObject.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Mesh.h"
#include "graphics/Texture.h"
#include "graphics/VertexBatch.h"
#include "graphics/Window.h"
#include "world/Physics.h"

GameObject* (*TileMapPlayerHook)() = nullptr;

namespace {

using rapidjson::Value;

// A tileset "source" is "../tilesets/<name>.json": 12 characters before the name, 5 after it.
constexpr std::size_t SOURCE_PREFIX = 12;
constexpr std::size_t SOURCE_SUFFIX = 5;
// An "image" is "../../textures/<name>.png": 15 characters before the name, 4 after it.
constexpr std::size_t IMAGE_PREFIX = 15;
constexpr std::size_t IMAGE_SUFFIX = 4;

const Value* Member(const Value& object, const char* key)
{
    if (!object.IsObject())
        return nullptr;
    auto it = object.FindMember(key);
    return it == object.MemberEnd() ? nullptr : &it->value;
}

// An int member; a missing member or one of another type is traced and reads as fallback.
int IntMember(const Value& object, const char* key, const std::string& file, int fallback = 0)
{
    const Value* value = Member(object, key);
    if (!value || !value->IsInt()) {
        Trace("%s: \"%s\" is missing or not a whole number", file.c_str(), key);
        return fallback;
    }
    return value->GetInt();
}

std::string StringMember(const Value& object, const char* key, const std::string& file)
{
    const Value* value = Member(object, key);
    if (!value || !value->IsString()) {
        Trace("%s: \"%s\" is missing or not a string", file.c_str(), key);
        return "";
    }
    return std::string(value->GetString(), value->GetStringLength());
}

bool BoolMember(const Value& object, const char* key, const std::string& file)
{
    const Value* value = Member(object, key);
    if (!value || !value->IsBool()) {
        Trace("%s: \"%s\" is missing or not true or false", file.c_str(), key);
        return false;
    }
    return value->GetBool();
}

// The array member, or null (traced) when it is missing or not an array.
const Value* ArrayMember(const Value& object, const char* key, const std::string& file)
{
    const Value* value = Member(object, key);
    if (!value || !value->IsArray()) {
        Trace("%s: \"%s\" is missing or not an array", file.c_str(), key);
        return nullptr;
    }
    return value;
}

// The widest and tallest map read, in cells.
constexpr int MAX_MAP_SIDE = 1 << 20;

// The cell a coordinate lies in: its whole part, one less for negative values. False for values too
// far out to be any cell.
bool CellOf(float value, int& cell)
{
    if (!std::isfinite(value) || std::fabs(value) > 1.0e6f)
        return false;
    cell = static_cast<int>(std::trunc(value));
    if (value < 0.0f)
        cell -= 1;
    return true;
}

} // namespace

// The displayed tiles of one map as vertex buffers, and what they were built from.
struct TileMapBatches {
    // The tiles of one map layer that come from one tileset.
    struct Piece {
        int layer = 0;
        Texture* texture = nullptr;
        VertexBatch batch;
    };
    // A tileset as far as the tiles' frames depend on it.
    struct TilesetKey {
        const Tileset* tileset = nullptr;
        Texture* texture = nullptr;
        int numCols = 0, numRows = 0;
        std::int32_t firstGidMinusOne = 0, columns = 0, tilecount = 0;
        bool operator==(const TilesetKey&) const = default;
    };

    explicit TileMapBatches(const TileMap& map);
    // The map still has the cells, tilesets and placement the pieces were built from.
    bool Matches(const TileMap& map) const;
    static std::vector<TilesetKey> KeysOf(const TileMap& map);

    std::vector<std::unique_ptr<Piece>> pieces; // by map layer, then in tileset order
    std::int32_t width = 0, height = 0, layerCount = 0;
    float originX = 0.0f, originY = 0.0f, halfWidth = 0.0f, halfHeight = 0.0f;
    std::vector<std::vector<std::int32_t>> data;
    std::vector<TilesetKey> tilesets;
};

std::vector<TileMapBatches::TilesetKey> TileMapBatches::KeysOf(const TileMap& map)
{
    std::vector<TilesetKey> keys;
    for (const auto& tileset : map.tilesets) {
        TilesetKey key;
        key.tileset = tileset.get();
        if (tileset) {
            key.texture = tileset->texture;
            key.numCols = tileset->texture ? tileset->texture->numCols : 0;
            key.numRows = tileset->texture ? tileset->texture->numRows : 0;
            key.firstGidMinusOne = tileset->firstGidMinusOne;
            key.columns = tileset->columns;
            key.tilecount = tileset->tilecount;
        }
        keys.push_back(key);
    }
    return keys;
}

bool TileMapBatches::Matches(const TileMap& map) const
{
    if (map.width != width || map.height != height || map.layerCount != layerCount || map.originX != originX ||
        map.originY != originY || !map.transform || map.transform->ScaleX != halfWidth ||
        map.transform->ScaleY != halfHeight)
        return false;
    for (int l = 0; l < layerCount && l < TileMap::MAX_LAYERS; ++l) {
        if (map.layers[l].data != data[static_cast<std::size_t>(l)])
            return false;
    }
    return KeysOf(map) == tilesets;
}

TileMapBatches::TileMapBatches(const TileMap& map)
    : width(map.width), height(map.height), layerCount(std::min(map.layerCount, TileMap::MAX_LAYERS)),
      originX(map.originX), originY(map.originY), halfWidth(map.transform ? map.transform->ScaleX : 0.5f),
      halfHeight(map.transform ? map.transform->ScaleY : 0.5f), tilesets(KeysOf(map))
{
    const std::size_t cellCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (int l = 0; l < layerCount; ++l) {
        const TileMapLayer& layer = map.layers[l];
        data.push_back(layer.data);
        // A short layer has only its first cells; the rest are empty.
        const std::size_t cells = std::min(layer.data.size(), cellCount);
        if (width <= 0 || cells == 0)
            continue;
        // Tiles are placed as the one-by-one drawing moves the map's transform: cell by cell to the
        // right, then back to the left edge and one row down.
        std::vector<std::unique_ptr<Piece>> byTileset(map.tilesets.size());
        float x = originX;
        float y = originY;
        for (std::size_t k = 0; k < cells; ++k) {
            const Tileset* tileset = nullptr;
            int column = -1;
            int row = -1;
            std::size_t index = map.tilesets.size();
            if (map.FindTile(layer.data[k], &tileset, &column, &row)) {
                index = 0;
                while (index < map.tilesets.size() && map.tilesets[index].get() != tileset)
                    ++index;
            }
            if (index < map.tilesets.size()) {
                std::unique_ptr<Piece>& piece = byTileset[index];
                if (!piece) {
                    piece = std::make_unique<Piece>();
                    piece->layer = l;
                    piece->texture = tileset->texture;
                }
                float frame[16];
                Mesh::FrameMatrix(tileset->texture, column, row, frame);
                piece->batch.AddQuad(x - halfWidth, y - halfHeight, x + halfWidth, y + halfHeight, frame[12],
                                     frame[13], frame[0] + frame[12], frame[5] + frame[13]);
            }
            if ((k + 1) % static_cast<std::size_t>(width) == 0) {
                x = originX;
                y -= 1.0f;
            } else {
                x += 1.0f;
            }
        }
        for (std::unique_ptr<Piece>& piece : byTileset) {
            if (piece) {
                piece->batch.Upload();
                pieces.push_back(std::move(piece));
            }
        }
    }
}

Tileset::Tileset()
{
    entries.fill({-1, -1});
}

TileMap::TileMap() = default;

TileMap::~TileMap()
{
    delete transform;
    transform = nullptr;
}


bool TileMap::FindTile(std::int32_t gid, const Tileset** tileset, int* column, int* row) const
{
    if (gid <= 0)
        return false;
    const std::int32_t base = (gid / 100) * 100;
    const std::int32_t entry = gid - base;
    for (const auto& candidate : tilesets) {
        if (!candidate || candidate->firstGidMinusOne != base)
            continue;
        if (entry < 0 || entry >= Tileset::ENTRY_COUNT)
            return false;
        const auto& cell = candidate->entries[static_cast<std::size_t>(entry)];
        if (cell.first == -1 && cell.second == -1)
            return false;
        if (tileset)
            *tileset = candidate.get();
        if (column)
            *column = cell.first;
        if (row)
            *row = cell.second;
        return true;
    }
    return false;
}

TileMapSystem::TileMapSystem()
{
    Trace("TileMapSystem started... %d maps loaded...", static_cast<int>(maps.size()));
}

TileMapSystem::~TileMapSystem()
{
    for (TileMap* map : maps)
        delete map;
    maps.clear();
    displayedMap = nullptr;
}

void TileMapSystem::FetchPlayer()
{
    // Without a source of players the one set before stays.
    if (TileMapPlayerHook)
        SetPlayer(TileMapPlayerHook());
}

void TileMapSystem::Init()
{
    FetchPlayer();
    SendMessage(MessageId::SetCameraBounds, 100.0f, 100.0f, -100.0f, -100.0f, nullptr);
}

void TileMapSystem::OnEnable()
{
    Init();
}

void TileMapSystem::OnDisable()
{
    Trace("TileMapSystem has been disabled...");
}

void TileMapSystem::SetPlayer(GameObject* object)
{
    // The corners start again from wherever the new player stands.
    if (!object || !player.IsSet() || object->GetId() != player.GetId())
        cornersKnown = false;
    player.Set(object);
}

GameObject* TileMapSystem::GetPlayer()
{
    return player.Get();
}

bool TileMapSystem::IsWall(int row, int column) const
{
    if (row < 0 || column < 0 || row >= GRID_SIZE || column >= GRID_SIZE)
        return false;
    return walls[row][column] != 0;
}

void TileMapSystem::ClearWalls()
{
    for (auto& line : walls)
        for (auto& cell : line)
            cell = 0;
}

int TileMapSystem::DrawLayerOf(const std::string& layerName)
{
    if (layerName == "AbovePlayerLayer00")
        return DRAW_LAYER_ABOVE_PLAYER_00;
    if (layerName == "AbovePlayerLayer01")
        return DRAW_LAYER_ABOVE_PLAYER_01;
    return DRAW_LAYER_BACKGROUND;
}

TileMap* TileMapSystem::LoadTileMap(const std::string& name)
{
    auto* map = new TileMap();
    map->name = name;
    const std::string file = "Map \"" + name + "\"";

    Stream stream(name.c_str(), StreamMode_TileMap, false);
    if (!stream.IsValid())
        Trace("Map, \"%s\", was not found!", name.c_str());
    else if (!stream.data.IsObject())
        Trace("%s is not a JSON object; it has no layers", file.c_str());
    const Value& root = stream.data;
    const bool readable = stream.IsValid() && root.IsObject();

    if (readable) {
        map->width = IntMember(root, "width", file);
        map->height = IntMember(root, "height", file);
    }
    if (map->width <= 0 || map->height <= 0) {
        if (readable)
            Trace("%s: a size of %d x %d cells draws nothing", file.c_str(), map->width, map->height);
        map->width = std::max(map->width, 0);
        map->height = std::max(map->height, 0);
    } else if (map->width > MAX_MAP_SIDE || map->height > MAX_MAP_SIDE) {
        // No file holds that many gids; the row arithmetic of the wall test would overflow.
        Trace("%s: a size of %d x %d cells is too large; it draws nothing", file.c_str(), map->width, map->height);
        map->width = 0;
        map->height = 0;
    }
    map->originX = 0.0f;
    map->originY = static_cast<float>(map->height - 1);
    map->transform = new Transform();
    map->transform->SetTranslation(map->originX, map->originY);
    map->transform->SetScale(0.5f, 0.5f);
    map->displayed = false;
    map->mesh = GraphicsLibraryInstance ? GraphicsLibrary::GetMesh("textured_mesh") : nullptr;
    gridRowOrigin = map->height - 1;

    if (!readable)
        return map;

    const std::size_t cellCount = static_cast<std::size_t>(map->width) * static_cast<std::size_t>(map->height);

    // Layers: "nextlayerid" - 1 of them, at most the slots and at most what the array holds.
    const int nextLayerId = IntMember(root, "nextlayerid", file, 1);
    if (nextLayerId < 1)
        Trace("%s: \"nextlayerid\" is %d; no layers are read", file.c_str(), nextLayerId);
    int wanted = nextLayerId > 1 ? nextLayerId - 1 : 0;
    const Value* layers = ArrayMember(root, "layers", file);
    const int available = layers ? static_cast<int>(layers->Size()) : 0;
    int count = wanted;
    if (count > TileMap::MAX_LAYERS) {
        Trace("%s: %d layers; only the first %d are read", file.c_str(), count, TileMap::MAX_LAYERS);
        count = TileMap::MAX_LAYERS;
    }
    if (count > available) {
        Trace("%s: \"nextlayerid\" names %d layers but \"layers\" holds %d", file.c_str(), count, available);
        count = available;
    }
    map->layerCount = count;
    for (int i = 0; i < count; ++i) {
        const Value& entry = (*layers)[static_cast<rapidjson::SizeType>(i)];
        const std::string where = file + " layer " + std::to_string(i);
        if (!entry.IsObject()) {
            Trace("%s is not an object; skipped", where.c_str());
            continue;
        }
        TileMapLayer& layer = map->layers[i];
        const Value* data = ArrayMember(entry, "data", where);
        if (!data)
            continue;
        // A short layer keeps the cells it has; the rest are empty (they are neither stored nor drawn,
        // so a map that claims a huge size costs only what its file holds).
        const std::size_t given = std::min(static_cast<std::size_t>(data->Size()), cellCount);
        if (given < cellCount)
            Trace("%s: \"data\" holds %zu gids but the map has %zu cells; the rest are empty", where.c_str(),
                  given, cellCount);
        layer.data.assign(given, 0);
        bool reportedBadGid = false;
        for (std::size_t k = 0; k < given; ++k) {
            const Value& gid = (*data)[static_cast<rapidjson::SizeType>(k)];
            if (gid.IsInt()) {
                layer.data[k] = gid.GetInt();
            } else if (!reportedBadGid) {
                Trace("%s: gid %zu is not a plain tile number; drawn as empty", where.c_str(), k);
                reportedBadGid = true;
            }
        }
        layer.type = StringMember(entry, "type", where);
        layer.name = StringMember(entry, "name", where);
        layer.visible = BoolMember(entry, "visible", where);

        if (layer.name == "WallLayer") {
            for (std::size_t k = 0; k < layer.data.size(); ++k) {
                if (layer.data[k] <= 0)
                    continue;
                const std::size_t row = k / static_cast<std::size_t>(map->width);
                const std::size_t column = k % static_cast<std::size_t>(map->width);
                if (row < GRID_SIZE && column < GRID_SIZE)
                    walls[row][column] = 1;
            }
        }
    }

    // Tilesets: "numOfTileSets" of them, at most what the array holds.
    int tilesetCount = IntMember(root, "numOfTileSets", file);
    if (tilesetCount < 0)
        tilesetCount = 0;
    const Value* tilesets = ArrayMember(root, "tilesets", file);
    const int listed = tilesets ? static_cast<int>(tilesets->Size()) : 0;
    if (tilesetCount > listed) {
        Trace("%s: \"numOfTileSets\" is %d but \"tilesets\" holds %d", file.c_str(), tilesetCount, listed);
        tilesetCount = listed;
    }
    for (int i = 0; i < tilesetCount; ++i) {
        const Value& entry = (*tilesets)[static_cast<rapidjson::SizeType>(i)];
        const std::string where = file + " tileset " + std::to_string(i);
        const Value* source = Member(entry, "source");
        if (!source || !source->IsString()) {
            Trace("%s has no \"source\" file; skipped", where.c_str());
            continue;
        }
        const int firstGid = IntMember(entry, "firstgid", where, 1);
        if (firstGid < 1) {
            Trace("%s starts at gid %d; gids start at 1; skipped", where.c_str(), firstGid);
            continue;
        }
        Tileset* tileset = LoadTileset(std::string(source->GetString(), source->GetStringLength()));
        tileset->firstGidMinusOne = firstGid - 1;
        if (tileset->firstGidMinusOne % 100 != 0)
            Trace("%s starts at gid %d; tiles are found only in tilesets starting at 1, 101, 201, ...",
                  where.c_str(), firstGid);
        map->tilesets.emplace_back(tileset);
    }
    return map;
}

Tileset* TileMapSystem::LoadTileset(const std::string& source)
{
    auto* tileset = new Tileset();
    if (source.size() < SOURCE_PREFIX + SOURCE_SUFFIX + 1) {
        Trace("Tileset source \"%s\" is too short to name a tileset file", source.c_str());
        return tileset;
    }
    const std::string name = source.substr(SOURCE_PREFIX, source.size() - SOURCE_PREFIX - SOURCE_SUFFIX);
    Stream stream(name.c_str(), StreamMode_Tileset, false);
    if (!stream.IsValid() || !stream.data.IsObject()) {
        Trace("%s wasn't opened...", name.c_str());
        return tileset;
    }
    const std::string file = "Tileset \"" + name + "\"";
    const Value& root = stream.data;
    tileset->columns = IntMember(root, "columns", file);
    tileset->tilecount = IntMember(root, "tilecount", file);
    tileset->name = StringMember(root, "name", file);
    const std::string image = StringMember(root, "image", file);

    if (image.size() < IMAGE_PREFIX + IMAGE_SUFFIX + 1) {
        Trace("%s: \"image\" \"%s\" is too short to name a texture", file.c_str(), image.c_str());
    } else {
        const std::string texture = image.substr(IMAGE_PREFIX, image.size() - IMAGE_PREFIX - IMAGE_SUFFIX);
        if (GraphicsLibraryInstance)
            tileset->texture = GraphicsLibrary::GetTexture(texture, -1);
    }

    if (tileset->columns <= 0) {
        Trace("%s: \"columns\" is %d; no tile can be placed", file.c_str(), tileset->columns);
        return tileset;
    }
    int tiles = tileset->tilecount;
    if (tiles < 0)
        tiles = 0;
    if (tiles > MAX_TILES) {
        Trace("%s: %d tiles; only the first %d are used", file.c_str(), tiles, MAX_TILES);
        tiles = MAX_TILES;
    }
    for (int k = 1; k <= tiles; ++k)
        tileset->entries[static_cast<std::size_t>(k)] = {(k - 1) % tileset->columns, (k - 1) / tileset->columns};
    return tileset;
}

void TileMapSystem::DrawTileMap()
{
    TileMap* map = displayedMap;
    if (!map || !map->mesh || !map->transform || map->width <= 0 || map->height <= 0)
        return;
    static const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (batched) {
        if (!map->batches || !map->batches->Matches(*map))
            map->batches = std::make_unique<TileMapBatches>(*map);
        for (const auto& piece : map->batches->pieces) {
            const TileMapLayer& layer = map->layers[piece->layer];
            if (!layer.visible)
                continue;
            // A window made since the upload gets buffers of its own.
            piece->batch.Upload();
            DrawCommand command;
            command.name = "MeshRender";
            command.mesh = map->mesh;
            command.texture = piece->texture;
            command.batch = &piece->batch;
            if (CurrentWindow)
                CurrentWindow->QueueDrawCommand(DrawLayerOf(layer.name), command);
        }
        return;
    }
    const std::size_t cellCount = static_cast<std::size_t>(map->width) * static_cast<std::size_t>(map->height);
    for (int l = 0; l < map->layerCount && l < TileMap::MAX_LAYERS; ++l) {
        const TileMapLayer& layer = map->layers[l];
        const std::size_t cells = std::min(layer.data.size(), cellCount);
        if (!layer.visible || cells == 0)
            continue;
        const int drawLayer = DrawLayerOf(layer.name);
        float x = map->originX;
        float y = map->originY;
        map->transform->SetTranslation(x, y);
        for (std::size_t k = 0; k < cells; ++k) {
            const Tileset* tileset = nullptr;
            int column = -1;
            int row = -1;
            if (map->FindTile(layer.data[k], &tileset, &column, &row))
                DrawMesh(drawLayer, false, map->mesh, tileset->texture, static_cast<float>(column),
                         static_cast<float>(row), map->transform, white);
            if ((k + 1) % static_cast<std::size_t>(map->width) == 0) {
                x = map->originX;
                y -= 1.0f;
            } else {
                x += 1.0f;
            }
            map->transform->SetTranslation(x, y);
        }
    }
}

void TileMapSystem::Draw()
{
    if (active && displayedMap && displayedMap->displayed)
        DrawTileMap();
}

void TileMapSystem::HandleMessage(Message* message)
{
    if (!message)
        return;
    if (message->IsNamed("LoadTileMap")) {
        if (message->type != MessageType::String) {
            Trace("\"LoadTileMap\" carries no map name; ignored");
            return;
        }
        maps.push_back(LoadTileMap(message->text));
    } else if (message->IsNamed("DisplayTileMap")) {
        if (message->type != MessageType::String) {
            Trace("\"DisplayTileMap\" carries no map name; ignored");
            return;
        }
        for (TileMap* map : maps) {
            if (map->name == message->text) {
                map->displayed = true;
                displayedMap = map;
                break;
            }
        }
    } else if (message->IsNamed("UnloadTileMap")) {
        // The next map brings its own walls.
        ClearWalls();
    }
    // "TileSurfaceReading" needs nothing.
}

void TileMapSystem::Update(float)
{
    GameObject* object = GetPlayer();
    if (!object)
        return;
    Transform* transform = object->GetTransform();
    Physics* physics = object->GetPhysics();
    if (!transform || !physics)
        return;
    int column = 0;
    int whole = 0;
    if (!CellOf(transform->TranslationX, column) || !CellOf(transform->TranslationY, whole))
        return;
    const int row = gridRowOrigin - whole;

    corners[0] = {column, row};         // lower left
    corners[1] = {column, row - 1};     // upper left
    corners[2] = {column + 1, row};     // lower right
    corners[3] = {column + 1, row - 1}; // upper right
    if (!cornersKnown) {
        for (int i = 0; i < 4; ++i)
            lastCorners[i] = corners[i];
        cornersKnown = true;
    }

    // Per corner: the row step of the first test, the column step of the second, and their bits.
    struct CornerTest {
        int rowStep;
        std::uint8_t firstBit;
        int columnStep;
        std::uint8_t secondBit;
    };
    static const CornerTest tests[4] = {
        {+1, BLOCKED_LEFT, -1, BLOCKED_BELOW},  // lower left
        {-1, BLOCKED_LEFT, -1, BLOCKED_ABOVE},  // upper left
        {+1, BLOCKED_RIGHT, +1, BLOCKED_BELOW}, // lower right
        {-1, BLOCKED_RIGHT, +1, BLOCKED_ABOVE}, // upper right
    };

    std::uint8_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        const Cell cell = corners[i];
        const Cell last = lastCorners[i];
        bool passed = false;
        if (IsWall(cell.row, cell.column)) {
            if (FreeCell(last.row + tests[i].rowStep, last.column)) {
                bits = static_cast<std::uint8_t>(bits | tests[i].firstBit);
                passed = true;
            }
            if (FreeCell(last.row, last.column + tests[i].columnStep)) {
                bits = static_cast<std::uint8_t>(bits | tests[i].secondBit);
                passed = true;
            }
        }
        // A corner that was stopped stays anchored to the free cell it came from.
        if (!passed)
            lastCorners[i] = cell;
    }
    if (bits)
        physics->AddSideBits(bits);
}
