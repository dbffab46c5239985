#include "world/TileMapSystem.h"

#include <algorithm>
#include <cmath>

#include "core/GameObject.h"
#include "core/Matrix4f.h"
#include "core/Message.h"
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

// A tileset as the game draws it, from the map's model of it: its texture, and its first tiles placed
// on the image's grid of "columns".
Tileset* MakeTileset(const TiledMap::Tileset& from)
{
    auto* tileset = new Tileset();
    tileset->name = from.name;
    tileset->columns = from.columns;
    tileset->tilecount = from.tilecount;
    tileset->geometry = from.geometry;
    tileset->firstGidMinusOne = from.firstGid - 1;
    if (!from.texture.empty() && GraphicsLibraryInstance)
        tileset->texture = GraphicsLibrary::GetTexture(from.texture, -1);
    if (from.columns <= 0)
        return tileset;
    const int tiles = std::min(std::max(from.tilecount, 0), TileMapSystem::MAX_TILES);
    for (int k = 1; k <= tiles; ++k)
        tileset->entries[static_cast<std::size_t>(k)] = {(k - 1) % from.columns, (k - 1) / from.columns};
    return tileset;
}

} // namespace

// The displayed tiles of one map as vertex buffers, split into regions of cells per layer. A region is
// built when it first meets a camera's view, rebuilt when its cells change, and freed again when many
// are built and it was not drawn in the last frame: what is held follows what is drawn.
struct TileMapBatches {
    // Regions of 32 x 32 cells; where tiles overlap their neighbours, rows as wide as the layer (so
    // that a region's tiles, drawn in their order, keep Tiled's right-down order across regions too).
    static constexpr int REGION_SIDE = 32;
    static constexpr int REGION_CELLS = REGION_SIDE * REGION_SIDE;
    // The most regions kept built; past it, those not drawn in the last frame are freed.
    static constexpr int MAX_BUILT = 256;

    // Tiles of one region drawn with one texture, one after the other.
    struct Piece {
        Texture* texture = nullptr;
        VertexBatch batch;
    };
    // A block of cells of one layer, and the world rectangle its tiles may cover.
    struct Region {
        int firstColumn = 0, firstRow = 0, columns = 0, rows = 0;
        float left = 0.0f, right = 0.0f, bottom = 0.0f, top = 0.0f;
        bool built = false;
        std::vector<std::int32_t> cells;            // built: the cells it was built from, row by row
        std::vector<std::unique_ptr<Piece>> pieces; // built: in drawing order
        std::uint64_t drawn = 0;                    // the frame it was last drawn in
    };
    struct LayerRegions {
        std::size_t size = 0; // the layer's gids when the regions were laid out
        float offsetX = 0.0f, offsetY = 0.0f;
        std::vector<Region> regions; // row by row
        int regionColumns = 0, regionRows = 0; // cells of a region across and down
        int across = 0;                        // regions in a row of them
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
    // The map still has the size, tilesets and placement the regions were laid out for (its cells may
    // have changed).
    bool SameLayout(const TileMap& map) const;
    static std::vector<TilesetKey> KeysOf(const TileMap& map);
    // The layer's cells of the region are not the ones it was built from.
    bool Stale(const TileMap& map, int layer, const Region& region) const;
    void BuildRegion(const TileMap& map, int layer, Region& region);
    // Frees the buffers of regions not drawn in this frame while more than MAX_BUILT are built.
    void Trim();
    // The regions of a layer that may meet the world rectangle box (left, right, bottom, top): the
    // rows first..last of them, columns firstColumn..lastColumn. False when none can.
    bool RegionsNear(int layer, const float box[4], int range[4]) const;

    std::vector<LayerRegions> layers;
    std::int32_t width = 0, height = 0, layerCount = 0, tileWidth = 0, tileHeight = 0;
    float originX = 0.0f, originY = 0.0f, halfWidth = 0.0f, halfHeight = 0.0f;
    std::vector<float> columnX, rowY; // cell centres, stepped as the one-by-one drawing steps them
    std::vector<TilesetKey> tilesets;
    bool overlapping = false; // some tile is larger than a cell
    float reachRight = 0.0f, reachUp = 0.0f; // how far a tile reaches past its cell, in cells
    std::uint64_t frame = 0;
    int built = 0;        // regions holding buffers now
    int regionsBuilt = 0; // builds so far
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
        const LayerRegions& laid = layers[static_cast<std::size_t>(l)];
        if (map.layers[l].data.size() != laid.size || map.layers[l].offsetX != laid.offsetX ||
            map.layers[l].offsetY != laid.offsetY)
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
    // How far a tile may reach past its cell, right and up, in cells.
    for (const auto& tileset : map.tilesets) {
        const TiledMap::TilesetGeometry& g = tileset->geometry;
        if (g.tileWidth <= 0 || g.tileHeight <= 0 || tileWidth <= 0 || tileHeight <= 0)
            continue;
        reachRight = std::max(reachRight, static_cast<float>(g.tileWidth) / static_cast<float>(tileWidth) - 1.0f);
        reachUp = std::max(reachUp, static_cast<float>(g.tileHeight) / static_cast<float>(tileHeight) - 1.0f);
    }
    overlapping = reachRight > 0.0f || reachUp > 0.0f;
    const float w = std::fabs(halfWidth);
    const float h = std::fabs(halfHeight);

    layers.resize(static_cast<std::size_t>(layerCount));
    for (int l = 0; l < layerCount; ++l) {
        LayerRegions& laid = layers[static_cast<std::size_t>(l)];
        laid.size = map.layers[l].data.size();
        laid.offsetX = map.layers[l].offsetX;
        laid.offsetY = map.layers[l].offsetY;
        const std::size_t cells = std::min(laid.size, cellCount);
        if (width <= 0 || cells == 0)
            continue;
        const int across = static_cast<int>(std::min(cells, static_cast<std::size_t>(width)));
        const int down =
            static_cast<int>((cells + static_cast<std::size_t>(width) - 1) / static_cast<std::size_t>(width));
        const int regionColumns = overlapping ? across : REGION_SIDE;
        const int regionRows = overlapping ? std::max(1, REGION_CELLS / across) : REGION_SIDE;
        laid.regionColumns = regionColumns;
        laid.regionRows = regionRows;
        laid.across = (across + regionColumns - 1) / regionColumns;
        for (int r = 0; r < down; r += regionRows) {
            for (int c = 0; c < across; c += regionColumns) {
                Region region;
                region.firstColumn = c;
                region.firstRow = r;
                region.columns = std::min(regionColumns, across - c);
                region.rows = std::min(regionRows, down - r);
                const std::size_t c0 = static_cast<std::size_t>(c);
                const std::size_t c1 = static_cast<std::size_t>(c + region.columns - 1);
                const std::size_t r0 = static_cast<std::size_t>(r);
                const std::size_t r1 = static_cast<std::size_t>(r + region.rows - 1);
                region.left = std::min(columnX[c0], columnX[c1]) - w + laid.offsetX;
                region.right = std::max(columnX[c0], columnX[c1]) + w + 2.0f * w * reachRight + laid.offsetX;
                region.bottom = std::min(rowY[r0], rowY[r1]) - h + laid.offsetY;
                region.top = std::max(rowY[r0], rowY[r1]) + h + 2.0f * h * reachUp + laid.offsetY;
                laid.regions.push_back(std::move(region));
            }
        }
    }
}

bool TileMapBatches::Stale(const TileMap& map, int layer, const Region& region) const
{
    const std::vector<std::int32_t>& data = map.layers[layer].data;
    const std::size_t cells = std::min(data.size(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::size_t at = 0;
    for (int r = region.firstRow; r < region.firstRow + region.rows; ++r) {
        const std::size_t from =
            static_cast<std::size_t>(r) * static_cast<std::size_t>(width) + static_cast<std::size_t>(region.firstColumn);
        const std::size_t to = std::min(from + static_cast<std::size_t>(region.columns), cells);
        if (from >= to)
            break;
        if (at + (to - from) > region.cells.size() ||
            !std::equal(data.begin() + static_cast<std::ptrdiff_t>(from), data.begin() + static_cast<std::ptrdiff_t>(to),
                        region.cells.begin() + static_cast<std::ptrdiff_t>(at)))
            return true;
        at += to - from;
    }
    return at != region.cells.size();
}

void TileMapBatches::BuildRegion(const TileMap& map, int layer, Region& region)
{
    ++regionsBuilt;
    if (!region.built)
        ++built;
    region.built = true;
    const LayerRegions& laid = layers[static_cast<std::size_t>(layer)];
    const std::vector<std::int32_t>& data = map.layers[layer].data;
    const std::size_t cells = std::min(data.size(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    region.cells.clear();
    region.pieces.clear();
    // Without overlaps one piece per tileset; with them, a new piece wherever the texture changes, so
    // the tiles are drawn in the cells' order.
    std::vector<Piece*> byTileset(map.tilesets.size(), nullptr);
    for (int r = region.firstRow; r < region.firstRow + region.rows; ++r) {
        for (int c = region.firstColumn; c < region.firstColumn + region.columns; ++c) {
            const std::size_t k = static_cast<std::size_t>(r) * static_cast<std::size_t>(width) + static_cast<std::size_t>(c);
            if (k >= cells)
                break;
            region.cells.push_back(data[k]);
            // Placed where the one-by-one drawing places this cell's tile.
            TileMap::Quad quad;
            if (!map.TileQuad(data[k], columnX[static_cast<std::size_t>(c)] + laid.offsetX,
                              rowY[static_cast<std::size_t>(r)] + laid.offsetY, quad))
                continue;
            std::size_t index = 0;
            while (index < map.tilesets.size() && map.tilesets[index].get() != quad.tileset)
                ++index;
            if (index >= map.tilesets.size())
                continue;
            Piece* piece = overlapping ? (region.pieces.empty() ? nullptr : region.pieces.back().get())
                                       : byTileset[index];
            if (!piece || piece->texture != quad.tileset->texture) {
                region.pieces.push_back(std::make_unique<Piece>());
                piece = region.pieces.back().get();
                piece->texture = quad.tileset->texture;
                byTileset[index] = piece;
            }
            piece->batch.AddQuad(quad.x0, quad.y0, quad.x1, quad.y1, quad.uv);
        }
    }
}

bool TileMapBatches::RegionsNear(int layer, const float box[4], int range[4]) const
{
    const LayerRegions& laid = layers[static_cast<std::size_t>(layer)];
    if (laid.regions.empty() || laid.across <= 0)
        return false;
    const int bands = static_cast<int>(laid.regions.size()) / laid.across;
    const float w = std::fabs(halfWidth), h = std::fabs(halfHeight);
    // Cells one apart from the origin, one more on every side against rounding.
    const float x = originX + laid.offsetX;
    const float y = originY + laid.offsetY;
    const float cellLow = box[0] - x - w * (1.0f + 2.0f * reachRight) - 1.0f;
    const float cellHigh = box[1] - x + w + 1.0f;
    const float rowLow = y - box[3] - h - 1.0f;
    const float rowHigh = y - box[2] + h * (1.0f + 2.0f * reachUp) + 1.0f;
    const float columns = static_cast<float>(laid.across * laid.regionColumns);
    const float rows = static_cast<float>(bands * laid.regionRows);
    if (!(cellHigh >= 0.0f && cellLow < columns && rowHigh >= 0.0f && rowLow < rows))
        return false;
    range[0] = static_cast<int>(std::max(rowLow, 0.0f)) / laid.regionRows;
    range[1] = std::min(static_cast<int>(std::min(rowHigh, rows - 1.0f)) / laid.regionRows, bands - 1);
    range[2] = static_cast<int>(std::max(cellLow, 0.0f)) / laid.regionColumns;
    range[3] = std::min(static_cast<int>(std::min(cellHigh, columns - 1.0f)) / laid.regionColumns, laid.across - 1);
    return true;
}

void TileMapBatches::Trim()
{
    if (built <= MAX_BUILT)
        return;
    for (LayerRegions& laid : layers) {
        for (Region& region : laid.regions) {
            if (!region.built || region.drawn == frame)
                continue;
            region.built = false;
            std::vector<std::int32_t>().swap(region.cells);
            region.pieces.clear();
            --built;
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

// Queues a buffer of tiles drawn with one texture at the layer's opacity. The buffer is uploaded first:
// a window made since the last upload gets buffers of its own.
void QueueTiles(int drawLayer, Mesh* mesh, Texture* texture, VertexBatch& batch, float opacity)
{
    if (!CurrentWindow)
        return;
    batch.Upload();
    DrawCommand command;
    command.name = "MeshRender";
    command.mesh = mesh;
    command.texture = texture;
    command.batch = &batch;
    command.color[3] = opacity;
    CurrentWindow->QueueDrawCommand(drawLayer, command);
}

// The world rectangle (left, right, bottom, top) all views together show. False when a view can't
// be turned back into world space.
bool ViewBox(const std::vector<Matrix4f>& views, float box[4])
{
    constexpr float EDGE = 1.001f;
    bool any = false;
    for (const Matrix4f& clip : views) {
        const float det = clip.m[0] * clip.m[5] - clip.m[4] * clip.m[1];
        if (!std::isfinite(det) || std::fabs(det) < 1e-12f)
            return false;
        for (int corner = 0; corner < 4; ++corner) {
            const float cx = (corner & 1 ? EDGE : -EDGE) - clip.m[12];
            const float cy = (corner & 2 ? EDGE : -EDGE) - clip.m[13];
            const float x = (clip.m[5] * cx - clip.m[4] * cy) / det;
            const float y = (clip.m[0] * cy - clip.m[1] * cx) / det;
            if (!std::isfinite(x) || !std::isfinite(y))
                return false;
            box[0] = any ? std::min(box[0], x) : x;
            box[1] = any ? std::max(box[1], x) : x;
            box[2] = any ? std::min(box[2], y) : y;
            box[3] = any ? std::max(box[3], y) : y;
            any = true;
        }
    }
    return any;
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

int TileMap::RegionsHeld() const
{
    return batches ? batches->built : 0;
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
    // texture's own frame grid. Sampled right to its edges, so a tile drawn at its own size shows its
    // image's pixels one for one.
    Texture* texture = tileset.texture;
    const int imageWidth = geometry.imageWidth > 0 ? geometry.imageWidth : (texture ? texture->width : 0);
    const int imageHeight = geometry.imageHeight > 0 ? geometry.imageHeight : (texture ? texture->height : 0);
    float uLeft = 0, vTop = 0, uRight = 0, vBottom = 0;
    if (!TiledMap::TileRectangle(geometry, imageWidth, imageHeight, quad.column, quad.row, uLeft, vTop, uRight,
                                 vBottom)) {
        if (texture && texture->numCols > 0 && texture->numRows > 0 && quad.column < texture->numCols &&
            quad.row < texture->numRows) {
            const float cols = static_cast<float>(texture->numCols);
            const float rows = static_cast<float>(texture->numRows);
            uLeft = static_cast<float>(quad.column) / cols;
            uRight = static_cast<float>(quad.column + 1) / cols;
            vBottom = static_cast<float>(texture->numRows - 1 - quad.row) / rows;
            vTop = static_cast<float>(texture->numRows - quad.row) / rows;
        } else {
            // Off the frame grid: the whole texture, reported once as a sprite's frame would be.
            float frame[16];
            Mesh::FrameMatrix(texture, quad.column, quad.row, frame);
            uLeft = frame[12];
            vBottom = frame[13];
            uRight = frame[0] + frame[12];
            vTop = frame[5] + frame[13];
        }
    }
    TiledMap::FlipCorners(uLeft, vTop, uRight, vBottom, TiledMap::FlagsOf(gid), quad.uv);
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
    TiledMap read;
    const bool readable = read.Load(name);

    map->width = read.width;
    map->height = read.height;
    map->tileWidth = read.tileWidth;
    map->tileHeight = read.tileHeight;
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

    // Offsets are in pixels of the map's cells (the model keeps none it can't place).
    const bool placeable = map->tileWidth > 0 && map->tileHeight > 0;
    const std::size_t width = static_cast<std::size_t>(map->width);
    map->layerCount = static_cast<std::int32_t>(std::min<std::size_t>(read.layers.size(), TileMap::MAX_LAYERS));
    for (int i = 0; i < map->layerCount; ++i) {
        TiledMap::Layer& from = read.layers[static_cast<std::size_t>(i)];
        TileMapLayer& layer = map->layers[i];
        layer.name = std::move(from.name);
        layer.type = std::move(from.type);
        layer.data = std::move(from.data);
        layer.visible = from.visible;
        layer.opacity = from.opacity;
        if (placeable) {
            layer.offsetX = from.offsetX / static_cast<float>(map->tileWidth);
            layer.offsetY = -from.offsetY / static_cast<float>(map->tileHeight);
        }
        if (layer.name != "WallLayer" || width == 0)
            continue;
        // The walls are where wall tiles are, whichever way they are flipped.
        for (std::size_t k = 0; k < layer.data.size(); ++k)
            if (TiledMap::TileOf(layer.data[k]) != 0)
                SetWall(k / width, k % width);
    }
    for (const TiledMap::Tileset& tileset : read.tilesets)
        map->tilesets.emplace_back(MakeTileset(tileset));
    return map;
}

Tileset* TileMapSystem::LoadTileset(const std::string& source)
{
    TiledMap::Tileset read;
    TiledMap::ReadTilesetFile(source, "", read);
    return MakeTileset(read);
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
        }
        TileMapBatches& batches = *map->batches;
        ++batches.frame;
        std::vector<Matrix4f> views;
        const bool cull = ClipMatrices(views);
        float box[4] = {};
        const bool boxed = cull && ViewBox(views, box);
        for (int l = 0; l < batches.layerCount; ++l) {
            const TileMapLayer& layer = map->layers[l];
            if (!layer.visible || !(layer.opacity > 0.0f))
                continue;
            const int drawLayer = DrawLayerOf(layer.name);
            auto& laid = batches.layers[static_cast<std::size_t>(l)];
            // Only the regions near the views are looked at (all of them when the views can't be boxed).
            int range[4] = {0, laid.across > 0 ? static_cast<int>(laid.regions.size()) / laid.across - 1 : -1, 0,
                            laid.across - 1};
            if (boxed && !batches.RegionsNear(l, box, range))
                continue;
            for (int band = range[0]; band <= range[1]; ++band) {
                for (int column = range[2]; column <= range[3]; ++column) {
                    TileMapBatches::Region& region =
                        laid.regions[static_cast<std::size_t>(band) * static_cast<std::size_t>(laid.across) +
                                     static_cast<std::size_t>(column)];
                    if (cull && !MeetsAView(views, region.left, region.right, region.bottom, region.top))
                        continue;
                    if (!region.built || batches.Stale(*map, l, region))
                        batches.BuildRegion(*map, l, region);
                    region.drawn = batches.frame;
                    for (auto& piece : region.pieces)
                        QueueTiles(drawLayer, map->mesh, piece->texture, piece->batch, layer.opacity);
                }
            }
        }
        batches.Trim();
        return;
    }
    // One by one: a buffer of one quad per tile, in the cells' order.
    map->singles.clear();
    const std::size_t cellCount = static_cast<std::size_t>(map->width) * static_cast<std::size_t>(map->height);
    for (int l = 0; l < map->layerCount && l < TileMap::MAX_LAYERS; ++l) {
        const TileMapLayer& layer = map->layers[l];
        const std::size_t cells = std::min(layer.data.size(), cellCount);
        if (!layer.visible || !(layer.opacity > 0.0f) || cells == 0 || !CurrentWindow)
            continue;
        const int drawLayer = DrawLayerOf(layer.name);
        float x = map->originX;
        float y = map->originY;
        for (std::size_t k = 0; k < cells; ++k) {
            TileMap::Quad quad;
            if (map->TileQuad(layer.data[k], x + layer.offsetX, y + layer.offsetY, quad)) {
                auto single = std::make_unique<VertexBatch>();
                single->AddQuad(quad.x0, quad.y0, quad.x1, quad.y1, quad.uv);
                QueueTiles(drawLayer, map->mesh, quad.tileset->texture, *single, layer.opacity);
                map->singles.push_back(std::move(single));
            }
            if ((k + 1) % static_cast<std::size_t>(map->width) == 0) {
                x = map->originX;
                y -= 1.0f;
            } else {
                x += 1.0f;
            }
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
