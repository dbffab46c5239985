#include "world/TileMapSystem.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "core/GameObject.h"
#include "core/Matrix4f.h"
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
constexpr int MAX_MAP_SIDE = TiledMap::MAX_SIDE;

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

// A path's file name without its folders and its extension: "../../textures/HouseTiles.png" gives
// "HouseTiles". Tiled writes forward slashes; backslashes are taken as folder separators too.
std::string FileStem(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

// The fields of a tileset, from its own file or embedded in a map: "columns", "tilecount", "name"
// and "image" (the texture of that file name), then the entry table.
void ReadTileset(const Value& root, const std::string& file, Tileset& tileset)
{
    tileset.columns = IntMember(root, "columns", file);
    tileset.tilecount = IntMember(root, "tilecount", file);
    tileset.name = StringMember(root, "name", file);
    tileset.geometry = TiledMap::ReadTilesetGeometry(root, file);
    const Value* image = Member(root, "image");
    if (!image || !image->IsString()) {
        Trace("%s: \"image\" is missing or not a string; its tiles have no texture", file.c_str());
    } else {
        const std::string path(image->GetString(), image->GetStringLength());
        const std::string texture = FileStem(path);
        if (texture.empty())
            Trace("%s: \"image\" \"%s\" names no file; its tiles have no texture", file.c_str(), path.c_str());
        else if (GraphicsLibraryInstance)
            tileset.texture = GraphicsLibrary::GetTexture(texture, -1);
    }

    if (tileset.columns <= 0) {
        Trace("%s: \"columns\" is %d; no tile can be placed", file.c_str(), tileset.columns);
        return;
    }
    int tiles = std::max(tileset.tilecount, 0);
    if (tiles > TileMapSystem::MAX_TILES) {
        Trace("%s: %d tiles; only the first %d are used", file.c_str(), tiles, TileMapSystem::MAX_TILES);
        tiles = TileMapSystem::MAX_TILES;
    }
    for (int k = 1; k <= tiles; ++k)
        tileset.entries[static_cast<std::size_t>(k)] = {(k - 1) % tileset.columns, (k - 1) / tileset.columns};
}

} // namespace

// The displayed tiles of one map as vertex buffers, split into square regions of cells per layer, and
// what they were built from. Only the regions that meet a camera's view are drawn, and a change of
// cells rebuilds only the regions holding them.
struct TileMapBatches {
    static constexpr int REGION_SIDE = 32; // cells

    // The tiles of one region that come from one tileset.
    struct Piece {
        Texture* texture = nullptr;
        VertexBatch batch;
    };
    // A block of cells of one layer, and the world rectangle its tiles cover.
    struct Region {
        int firstColumn = 0, firstRow = 0, columns = 0, rows = 0;
        float left = 0.0f, right = 0.0f, bottom = 0.0f, top = 0.0f;
        std::vector<std::unique_ptr<Piece>> pieces; // by tileset; null where none of its tiles lie
    };
    struct LayerRegions {
        std::vector<std::int32_t> data; // the cells the regions were built from
        float offsetX = 0.0f, offsetY = 0.0f;
        std::vector<Region> regions;    // row by row
    };
    // A tileset as far as the tiles' frames depend on it.
    struct TilesetKey {
        const Tileset* tileset = nullptr;
        Texture* texture = nullptr;
        int numCols = 0, numRows = 0;
        std::int32_t firstGidMinusOne = 0, columns = 0, tilecount = 0;
        int geometry[6] = {};
        bool operator==(const TilesetKey&) const = default;
    };

    explicit TileMapBatches(const TileMap& map);
    // The map still has the size, tilesets and placement the regions were built from (its cells may
    // have changed).
    bool SameLayout(const TileMap& map) const;
    // Rebuilds the regions whose cells changed since they were built.
    void Refresh(const TileMap& map);
    static std::vector<TilesetKey> KeysOf(const TileMap& map);

    void BuildLayer(const TileMap& map, int layer);
    void BuildRegion(const TileMap& map, int layer, Region& region);

    std::vector<LayerRegions> layers;
    std::int32_t width = 0, height = 0, layerCount = 0, tileWidth = 0, tileHeight = 0;
    float originX = 0.0f, originY = 0.0f, halfWidth = 0.0f, halfHeight = 0.0f;
    std::vector<float> columnX, rowY; // cell centres, stepped as the one-by-one drawing steps them
    std::vector<TilesetKey> tilesets;
    int regionsBuilt = 0;
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
            const TiledMap::TilesetGeometry& g = tileset->geometry;
            const int values[6] = {g.tileWidth, g.tileHeight, g.margin, g.spacing, g.imageWidth, g.imageHeight};
            std::copy(values, values + 6, key.geometry);
        }
        keys.push_back(key);
    }
    return keys;
}

bool TileMapBatches::SameLayout(const TileMap& map) const
{
    if (map.width != width || map.height != height || std::min(map.layerCount, TileMap::MAX_LAYERS) != layerCount ||
        map.originX != originX || map.originY != originY || !map.transform || map.transform->ScaleX != halfWidth ||
        map.transform->ScaleY != halfHeight)
        return false;
    if (map.tileWidth != tileWidth || map.tileHeight != tileHeight)
        return false;
    for (int l = 0; l < layerCount; ++l) {
        const LayerRegions& built = layers[static_cast<std::size_t>(l)];
        if (map.layers[l].data.size() != built.data.size() || map.layers[l].offsetX != built.offsetX ||
            map.layers[l].offsetY != built.offsetY)
            return false;
    }
    return KeysOf(map) == tilesets;
}

TileMapBatches::TileMapBatches(const TileMap& map)
    : width(map.width), height(map.height), layerCount(std::min(map.layerCount, TileMap::MAX_LAYERS)),
      tileWidth(map.tileWidth), tileHeight(map.tileHeight),
      originX(map.originX), originY(map.originY), halfWidth(map.transform ? map.transform->ScaleX : 0.5f),
      halfHeight(map.transform ? map.transform->ScaleY : 0.5f), tilesets(KeysOf(map))
{
    // The columns and rows any layer's cells reach (a short layer holds only its first cells).
    const std::size_t cellCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::size_t most = 0;
    for (int l = 0; l < layerCount; ++l)
        most = std::max(most, std::min(map.layers[l].data.size(), cellCount));
    if (width > 0 && most > 0) {
        const std::size_t across = std::min(most, static_cast<std::size_t>(width));
        const std::size_t down = (most + static_cast<std::size_t>(width) - 1) / static_cast<std::size_t>(width);
        float x = originX;
        for (std::size_t c = 0; c < across; ++c, x += 1.0f)
            columnX.push_back(x);
        float y = originY;
        for (std::size_t r = 0; r < down; ++r, y -= 1.0f)
            rowY.push_back(y);
    }
    layers.resize(static_cast<std::size_t>(layerCount));
    for (int l = 0; l < layerCount; ++l)
        BuildLayer(map, l);
}

void TileMapBatches::BuildLayer(const TileMap& map, int layer)
{
    LayerRegions& built = layers[static_cast<std::size_t>(layer)];
    built.data = map.layers[layer].data;
    built.offsetX = map.layers[layer].offsetX;
    built.offsetY = map.layers[layer].offsetY;
    built.regions.clear();
    const std::size_t cellCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t cells = std::min(built.data.size(), cellCount);
    if (width <= 0 || cells == 0)
        return;
    const int across = static_cast<int>(std::min(cells, static_cast<std::size_t>(width)));
    const int down = static_cast<int>((cells + static_cast<std::size_t>(width) - 1) / static_cast<std::size_t>(width));
    for (int r = 0; r < down; r += REGION_SIDE) {
        for (int c = 0; c < across; c += REGION_SIDE) {
            Region region;
            region.firstColumn = c;
            region.firstRow = r;
            region.columns = std::min(REGION_SIDE, across - c);
            region.rows = std::min(REGION_SIDE, down - r);
            BuildRegion(map, layer, region);
            built.regions.push_back(std::move(region));
        }
    }
}

void TileMapBatches::BuildRegion(const TileMap& map, int layer, Region& region)
{
    ++regionsBuilt;
    const LayerRegions& built = layers[static_cast<std::size_t>(layer)];
    const std::vector<std::int32_t>& data = built.data;
    const std::size_t cellCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t cells = std::min(data.size(), cellCount);
    // The cells' rectangle, widened below by the tiles that reach past it.
    const float w = std::fabs(halfWidth);
    const float h = std::fabs(halfHeight);
    const std::size_t c0 = static_cast<std::size_t>(region.firstColumn);
    const std::size_t c1 = static_cast<std::size_t>(region.firstColumn + region.columns - 1);
    const std::size_t r0 = static_cast<std::size_t>(region.firstRow);
    const std::size_t r1 = static_cast<std::size_t>(region.firstRow + region.rows - 1);
    region.left = std::min(columnX[c0], columnX[c1]) - w + built.offsetX;
    region.right = std::max(columnX[c0], columnX[c1]) + w + built.offsetX;
    region.bottom = std::min(rowY[r0], rowY[r1]) - h + built.offsetY;
    region.top = std::max(rowY[r0], rowY[r1]) + h + built.offsetY;
    region.pieces.clear();
    region.pieces.resize(map.tilesets.size());
    for (int r = region.firstRow; r < region.firstRow + region.rows; ++r) {
        for (int c = region.firstColumn; c < region.firstColumn + region.columns; ++c) {
            const std::size_t k = static_cast<std::size_t>(r) * static_cast<std::size_t>(width) + static_cast<std::size_t>(c);
            if (k >= cells)
                break;
            // Placed as the one-by-one drawing places the map's transform for this cell.
            TileMap::Quad quad;
            if (!map.TileQuad(data[k], columnX[static_cast<std::size_t>(c)] + built.offsetX,
                              rowY[static_cast<std::size_t>(r)] + built.offsetY, quad))
                continue;
            std::size_t index = 0;
            while (index < map.tilesets.size() && map.tilesets[index].get() != quad.tileset)
                ++index;
            if (index >= map.tilesets.size())
                continue;
            std::unique_ptr<Piece>& piece = region.pieces[index];
            if (!piece) {
                piece = std::make_unique<Piece>();
                piece->texture = quad.tileset->texture;
            }
            piece->batch.AddQuad(quad.x0, quad.y0, quad.x1, quad.y1, quad.uv);
            region.left = std::min(region.left, std::min(quad.x0, quad.x1));
            region.right = std::max(region.right, std::max(quad.x0, quad.x1));
            region.bottom = std::min(region.bottom, std::min(quad.y0, quad.y1));
            region.top = std::max(region.top, std::max(quad.y0, quad.y1));
        }
    }
}

void TileMapBatches::Refresh(const TileMap& map)
{
    for (int l = 0; l < layerCount; ++l) {
        LayerRegions& built = layers[static_cast<std::size_t>(l)];
        const std::vector<std::int32_t>& now = map.layers[l].data;
        if (now == built.data)
            continue;
        // Same size (the layout matched): compare region by region, row slice by row slice.
        std::vector<std::int32_t> before = now;
        before.swap(built.data);
        const std::size_t cells = std::min(now.size(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        for (Region& region : built.regions) {
            bool changed = false;
            for (int r = region.firstRow; r < region.firstRow + region.rows && !changed; ++r) {
                const std::size_t from = static_cast<std::size_t>(r) * static_cast<std::size_t>(width) +
                                         static_cast<std::size_t>(region.firstColumn);
                const std::size_t to = std::min(from + static_cast<std::size_t>(region.columns), cells);
                if (from < to && !std::equal(now.begin() + static_cast<std::ptrdiff_t>(from),
                                             now.begin() + static_cast<std::ptrdiff_t>(to),
                                             before.begin() + static_cast<std::ptrdiff_t>(from)))
                    changed = true;
            }
            if (changed)
                BuildRegion(map, l, region);
        }
    }
}

// The cameras' views as the matrices from world to clip space, one per viewport the frame is drawn
// through. False when a view can't be bounded that way (a projective camera): then every region is
// drawn.
bool ClipMatrices(std::vector<Matrix4f>& out)
{
    out.clear();
    const Matrix4f device = GetProjectionMatrix();
    for (std::size_t k = 0; k < ViewportList.size(); ++k) {
        Matrix4f camera = Matrix4f::Identity();
        if (k < CameraList.size())
            camera = Matrix4f(CameraList[k].matrix);
        else if (!CameraList.empty())
            camera = Matrix4f(CameraList[0].matrix);
        const Matrix4f clip = device * Matrix4f::Inverse(camera);
        if (clip.m[3] != 0.0f || clip.m[7] != 0.0f || clip.m[15] != 1.0f)
            return false;
        for (float value : clip.m)
            if (!std::isfinite(value))
                return false;
        out.push_back(clip);
    }
    return !out.empty();
}

// False when the rectangle lies wholly beyond one edge of every view (so none of its pixels shows).
bool MeetsAView(const std::vector<Matrix4f>& views, float left, float right, float bottom, float top)
{
    // A little beyond the edges, against rounding between this and the GPU.
    constexpr float EDGE = 1.001f;
    for (const Matrix4f& clip : views) {
        bool beyond[4] = {true, true, true, true}; // left, right, below, above
        for (int corner = 0; corner < 4; ++corner) {
            const float x = corner & 1 ? right : left;
            const float y = corner & 2 ? top : bottom;
            const float cx = clip.m[0] * x + clip.m[4] * y + clip.m[12];
            const float cy = clip.m[1] * x + clip.m[5] * y + clip.m[13];
            beyond[0] = beyond[0] && cx < -EDGE;
            beyond[1] = beyond[1] && cx > EDGE;
            beyond[2] = beyond[2] && cy < -EDGE;
            beyond[3] = beyond[3] && cy > EDGE;
        }
        if (!beyond[0] && !beyond[1] && !beyond[2] && !beyond[3])
            return true;
    }
    return false;
}

Tileset::Tileset()
{
    entries.fill({-1, -1});
}

TileMap::TileMap() = default;

int TileMap::RegionsBuilt() const
{
    return batches ? batches->regionsBuilt : 0;
}

TileMap::~TileMap()
{
    delete transform;
    transform = nullptr;
}


bool TileMap::FindTile(std::int32_t stored, const Tileset** tileset, int* column, int* row) const
{
    const std::int64_t gid = TiledMap::TileOf(stored);
    if (gid <= 0)
        return false;
    // The tileset with the largest first gid not above the gid (the first listed of equals).
    const Tileset* owner = nullptr;
    for (const auto& candidate : tilesets) {
        if (candidate && candidate->firstGidMinusOne < gid &&
            (!owner || candidate->firstGidMinusOne > owner->firstGidMinusOne))
            owner = candidate.get();
    }
    if (!owner)
        return false;
    const std::int64_t entry = gid - owner->firstGidMinusOne;
    if (entry < 1 || entry >= Tileset::ENTRY_COUNT)
        return false;
    const auto& cell = owner->entries[static_cast<std::size_t>(entry)];
    if (cell.first == -1 && cell.second == -1)
        return false;
    if (tileset)
        *tileset = owner;
    if (column)
        *column = cell.first;
    if (row)
        *row = cell.second;
    return true;
}

bool TileMap::TileQuad(std::int32_t gid, float x, float y, Quad& quad) const
{
    if (!FindTile(gid, &quad.tileset, &quad.column, &quad.row))
        return false;
    const Tileset& tileset = *quad.tileset;
    const TiledMap::TilesetGeometry& geometry = tileset.geometry;
    const float halfWidth = transform ? std::fabs(transform->ScaleX) : 0.5f;
    const float halfHeight = transform ? std::fabs(transform->ScaleY) : 0.5f;
    // A tile of another size than the map's cells: anchored at the cell's lower left corner.
    float across = 1.0f;
    float up = 1.0f;
    if (geometry.tileWidth > 0 && geometry.tileHeight > 0 && tileWidth > 0 && tileHeight > 0) {
        across = static_cast<float>(geometry.tileWidth) / static_cast<float>(tileWidth);
        up = static_cast<float>(geometry.tileHeight) / static_cast<float>(tileHeight);
    }
    quad.x0 = x - halfWidth;
    quad.y0 = y - halfHeight;
    quad.x1 = quad.x0 + 2.0f * halfWidth * across;
    quad.y1 = quad.y0 + 2.0f * halfHeight * up;

    // The tile's rectangle in the image: from the tileset's geometry when it gives one, else the
    // texture's own frame grid.
    Texture* texture = tileset.texture;
    const int imageWidth = geometry.imageWidth > 0 ? geometry.imageWidth : (texture ? texture->width : 0);
    const int imageHeight = geometry.imageHeight > 0 ? geometry.imageHeight : (texture ? texture->height : 0);
    const bool inFrames = texture && texture->numCols > 0 && texture->numRows > 0 && quad.column < texture->numCols &&
                          quad.row < texture->numRows;
    float uLeft = 0, vTop = 0, uRight = 0, vBottom = 0;
    bool sameAsFrame = inFrames;
    if (TiledMap::TileRectangle(geometry, imageWidth, imageHeight, quad.column, quad.row, uLeft, vTop, uRight,
                                vBottom)) {
        // The same rectangle as the frame (exactly, for the images a grid of frames describes).
        const float cols = inFrames ? static_cast<float>(texture->numCols) : 1.0f;
        const float rows = inFrames ? static_cast<float>(texture->numRows) : 1.0f;
        sameAsFrame = inFrames && std::fabs(uLeft - static_cast<float>(quad.column) / cols) < 1e-6f &&
                      std::fabs(uRight - static_cast<float>(quad.column + 1) / cols) < 1e-6f &&
                      std::fabs(vBottom - static_cast<float>(texture->numRows - 1 - quad.row) / rows) < 1e-6f &&
                      std::fabs(vTop - static_cast<float>(texture->numRows - quad.row) / rows) < 1e-6f;
    } else {
        sameAsFrame = true;
    }
    if (sameAsFrame) {
        // The frame's own rectangle, as a sprite samples it, so a batch draws what a single tile does.
        float frame[16];
        Mesh::FrameMatrix(texture, quad.column, quad.row, frame);
        uLeft = frame[12];
        vBottom = frame[13];
        uRight = frame[0] + frame[12];
        vTop = frame[5] + frame[13];
    }
    const std::uint32_t flags = TiledMap::FlagsOf(gid);
    TiledMap::FlipCorners(uLeft, vTop, uRight, vBottom, flags, quad.uv);
    quad.plain = sameAsFrame && (flags & ~TiledMap::ROTATE_HEXAGONAL) == 0 && across == 1.0f && up == 1.0f;
    return true;
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
    PostCameraBounds();
}

void TileMapSystem::PostCameraBounds()
{
    // The far edges follow the wall grid (the map's size, 100 at least); the near ones stay at -100.
    SendMessage(MessageId::SetCameraBounds, static_cast<float>(gridWidth), static_cast<float>(gridHeight), -100.0f,
                -100.0f, nullptr);
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
    if (row < 0 || column < 0 || row >= gridHeight || column >= gridWidth)
        return false;
    const std::size_t r = static_cast<std::size_t>(row);
    const std::size_t c = static_cast<std::size_t>(column);
    return r < walls.size() && c < walls[r].size() && walls[r][c] != 0;
}

void TileMapSystem::ClearWalls()
{
    walls.clear();
}

void TileMapSystem::SetWall(std::size_t row, std::size_t column)
{
    if (row >= static_cast<std::size_t>(gridHeight) || column >= static_cast<std::size_t>(gridWidth))
        return;
    if (row >= walls.size())
        walls.resize(row + 1);
    if (column >= walls[row].size())
        walls[row].resize(column + 1, 0);
    walls[row][column] = 1;
}

bool TileMapSystem::GrowGrid(int width, int height)
{
    const int newWidth = std::max(gridWidth, width);
    const int newHeight = std::max(gridHeight, height);
    if (newWidth == gridWidth && newHeight == gridHeight)
        return false;
    gridWidth = newWidth;
    gridHeight = newHeight;
    return true;
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
    if (!stream.IsValid()) {
        std::error_code error;
        if (std::filesystem::exists(AssetDataPath + "tilemaps/" + name + ".tmx", error))
            Trace("Map, \"%s\", was not found! \"tilemaps/%s.tmx\" is there, a map saved as TMX: save the map as "
                  "JSON (File > Export As, \"JSON map files\")", name.c_str(), name.c_str());
        else
            Trace("Map, \"%s\", was not found!", name.c_str());
    } else if (!stream.data.IsObject()) {
        Trace("%s is not a JSON object; it has no layers", file.c_str());
    }
    const Value& root = stream.data;
    const bool readable = stream.IsValid() && root.IsObject();

    TiledMap read;
    if (readable)
        read.ReadSize(root, file);
    map->width = read.width;
    map->height = read.height;
    map->tileWidth = read.tileWidth;
    map->tileHeight = read.tileHeight;
    if (map->width <= 0 || map->height <= 0) {
        if (readable && !read.infinite)
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
    if (GrowGrid(map->width, map->height))
        PostCameraBounds();

    if (!readable)
        return map;
    read.width = map->width;
    read.height = map->height;
    ReadLayers(root, file, *map, read);
    ReadTilesets(root, file, *map);
    return map;
}

void TileMapSystem::ReadLayers(const Value& root, const std::string& file, TileMap& map, TiledMap& read)
{
    // The first "nextlayerid" - 1 entries, groups opened up; at most the slots.
    const int nextLayerId = IntMember(root, "nextlayerid", file, 1);
    if (nextLayerId < 1)
        Trace("%s: \"nextlayerid\" is %d; no layers are read", file.c_str(), nextLayerId);
    const int wanted = nextLayerId > 1 ? nextLayerId - 1 : 0;
    if (wanted > TileMap::MAX_LAYERS)
        Trace("%s: %d layers; only the first %d are read", file.c_str(), wanted, TileMap::MAX_LAYERS);
    const Value* layers = ArrayMember(root, "layers", file);
    if (!layers)
        return;
    read.ReadLayers(*layers, std::min(wanted, TileMap::MAX_LAYERS), file, TileMap::MAX_LAYERS);

    // Offsets are in pixels of the map's cells; without a cell size they can't be placed.
    const bool placeable = map.tileWidth > 0 && map.tileHeight > 0;
    const std::size_t width = static_cast<std::size_t>(map.width);
    map.layerCount = static_cast<std::int32_t>(read.layers.size());
    for (std::size_t i = 0; i < read.layers.size(); ++i) {
        TiledMap::Layer& from = read.layers[i];
        TileMapLayer& layer = map.layers[i];
        layer.name = std::move(from.name);
        layer.type = std::move(from.type);
        layer.data = std::move(from.data);
        layer.visible = from.visible;
        layer.opacity = from.opacity;
        if ((from.offsetX != 0.0f || from.offsetY != 0.0f) && !placeable)
            Trace("%s layer \"%s\": the map has no \"tilewidth\" and \"tileheight\"; its offset is not drawn",
                  file.c_str(), layer.name.c_str());
        else if (placeable) {
            layer.offsetX = from.offsetX / static_cast<float>(map.tileWidth);
            layer.offsetY = -from.offsetY / static_cast<float>(map.tileHeight);
        }
        if (layer.name != "WallLayer")
            continue;
        // The walls are where wall tiles are drawn, whichever way they are flipped.
        for (std::size_t k = 0; k < layer.data.size(); ++k)
            if (TiledMap::TileOf(layer.data[k]) != 0)
                SetWall(k / width, k % width);
    }
}

void TileMapSystem::ReadTilesets(const Value& root, const std::string& file, TileMap& map)
{
    // Tilesets: "numOfTileSets" of them when the map says, at most what the array holds; every one
    // listed when it does not (the Tiled map editor never writes that key).
    const Value* tilesets = ArrayMember(root, "tilesets", file);
    const int listed = tilesets ? static_cast<int>(tilesets->Size()) : 0;
    int tilesetCount = listed;
    if (const Value* stated = Member(root, "numOfTileSets")) {
        if (!stated->IsInt()) {
            Trace("%s: \"numOfTileSets\" is not a whole number; every listed tileset is read", file.c_str());
        } else {
            tilesetCount = std::max(stated->GetInt(), 0);
            if (tilesetCount > listed) {
                Trace("%s: \"numOfTileSets\" is %d but \"tilesets\" holds %d", file.c_str(), tilesetCount,
                      listed);
                tilesetCount = listed;
            }
        }
    }
    for (int i = 0; i < tilesetCount; ++i) {
        const Value& entry = (*tilesets)[static_cast<rapidjson::SizeType>(i)];
        const std::string where = file + " tileset " + std::to_string(i);
        if (!entry.IsObject()) {
            Trace("%s is not an object; skipped", where.c_str());
            continue;
        }
        const int firstGid = IntMember(entry, "firstgid", where, 1);
        if (firstGid < 1) {
            Trace("%s starts at gid %d; gids start at 1; skipped", where.c_str(), firstGid);
            continue;
        }
        Tileset* tileset = nullptr;
        const Value* source = Member(entry, "source");
        if (source && source->IsString()) {
            tileset = LoadTileset(std::string(source->GetString(), source->GetStringLength()));
        } else if (source) {
            Trace("%s: \"source\" is not a string; its gids draw nothing", where.c_str());
            tileset = new Tileset();
        } else if (!Member(entry, "image") && !Member(entry, "columns") && !Member(entry, "tilecount")) {
            Trace("%s has no \"source\" file and no tiles of its own; its gids draw nothing", where.c_str());
            tileset = new Tileset();
        } else {
            // An embedded tileset carries the fields of a tileset file itself.
            tileset = new Tileset();
            ReadTileset(entry, where, *tileset);
        }
        tileset->firstGidMinusOne = firstGid - 1;
        map.tilesets.emplace_back(tileset);
    }
}

Tileset* TileMapSystem::LoadTileset(const std::string& source)
{
    auto* tileset = new Tileset();
    const std::string name = FileStem(source);
    if (name.empty()) {
        Trace("Tileset source \"%s\" names no file", source.c_str());
        return tileset;
    }
    Stream stream(name.c_str(), StreamMode_Tileset, false);
    if (!stream.IsValid() || !stream.data.IsObject()) {
        // A tileset saved as TSX: say so, with what to do.
        std::string extension = source.size() >= 4 ? source.substr(source.size() - 4) : "";
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        std::error_code error;
        if (!stream.IsValid() &&
            (extension == ".tsx" || std::filesystem::exists(AssetDataPath + "tilesets/" + name + ".tsx", error)))
            Trace("%s wasn't opened... the map names \"%s\", a tileset saved as TSX: save the tileset as JSON "
                  "(\"tilesets/%s.json\")", name.c_str(), source.c_str(), name.c_str());
        else
            Trace("%s wasn't opened...", name.c_str());
        return tileset;
    }
    ReadTileset(stream.data, "Tileset \"" + name + "\"", *tileset);
    return tileset;
}

void TileMapSystem::DrawTileMap()
{
    TileMap* map = displayedMap;
    if (!map || !map->mesh || !map->transform || map->width <= 0 || map->height <= 0)
        return;
    if (batched) {
        if (!map->batches || !map->batches->SameLayout(*map)) {
            const int built = map->RegionsBuilt();
            map->batches = std::make_unique<TileMapBatches>(*map);
            map->batches->regionsBuilt += built;
        } else {
            map->batches->Refresh(*map);
        }
        std::vector<Matrix4f> views;
        const bool cull = ClipMatrices(views);
        for (int l = 0; l < map->batches->layerCount; ++l) {
            const TileMapLayer& layer = map->layers[l];
            if (!layer.visible || !(layer.opacity > 0.0f))
                continue;
            const int drawLayer = DrawLayerOf(layer.name);
            auto& regions = map->batches->layers[static_cast<std::size_t>(l)].regions;
            // Tileset by tileset, as the layer's tiles were drawn from one buffer per tileset.
            for (std::size_t t = 0; t < map->tilesets.size(); ++t) {
                for (TileMapBatches::Region& region : regions) {
                    if (t >= region.pieces.size() || !region.pieces[t])
                        continue;
                    if (cull && !MeetsAView(views, region.left, region.right, region.bottom, region.top))
                        continue;
                    TileMapBatches::Piece& piece = *region.pieces[t];
                    // A window made since the upload gets buffers of its own.
                    piece.batch.Upload();
                    DrawCommand command;
                    command.name = "MeshRender";
                    command.mesh = map->mesh;
                    command.texture = piece.texture;
                    command.batch = &piece.batch;
                    command.color[3] = layer.opacity;
                    if (CurrentWindow)
                        CurrentWindow->QueueDrawCommand(drawLayer, command);
                }
            }
        }
        return;
    }
    // One by one: a mesh frame per tile; a tile a frame can't show (flipped, off the texture's frame
    // grid, larger than a cell) gets a buffer of its own.
    map->singles.clear();
    const std::size_t cellCount = static_cast<std::size_t>(map->width) * static_cast<std::size_t>(map->height);
    for (int l = 0; l < map->layerCount && l < TileMap::MAX_LAYERS; ++l) {
        const TileMapLayer& layer = map->layers[l];
        const std::size_t cells = std::min(layer.data.size(), cellCount);
        if (!layer.visible || !(layer.opacity > 0.0f) || cells == 0)
            continue;
        const float colour[4] = {1.0f, 1.0f, 1.0f, layer.opacity};
        const int drawLayer = DrawLayerOf(layer.name);
        float x = map->originX;
        float y = map->originY;
        map->transform->SetTranslation(x + layer.offsetX, y + layer.offsetY);
        for (std::size_t k = 0; k < cells; ++k) {
            TileMap::Quad quad;
            if (map->TileQuad(layer.data[k], x + layer.offsetX, y + layer.offsetY, quad)) {
                if (quad.plain) {
                    DrawMesh(drawLayer, false, map->mesh, quad.tileset->texture, static_cast<float>(quad.column),
                             static_cast<float>(quad.row), map->transform, colour);
                } else if (CurrentWindow) {
                    auto single = std::make_unique<VertexBatch>();
                    single->AddQuad(quad.x0, quad.y0, quad.x1, quad.y1, quad.uv);
                    single->Upload();
                    DrawCommand command;
                    command.name = "MeshRender";
                    command.mesh = map->mesh;
                    command.texture = quad.tileset->texture;
                    command.batch = single.get();
                    command.color[3] = layer.opacity;
                    CurrentWindow->QueueDrawCommand(drawLayer, command);
                    map->singles.push_back(std::move(single));
                }
            }
            if ((k + 1) % static_cast<std::size_t>(map->width) == 0) {
                x = map->originX;
                y -= 1.0f;
            } else {
                x += 1.0f;
            }
            map->transform->SetTranslation(x + layer.offsetX, y + layer.offsetY);
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
