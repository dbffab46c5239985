#pragma once
// A map as the Tiled map editor saves it in JSON, and the reading of it: its size, tile layers (also
// inside group layers) with their opacity, offsets and visibility, layer data as a JSON array or base64
// (uncompressed, zlib, gzip or zstd), the chunks of infinite maps, the flip bits of the gids, and its
// tilesets (from their own files or embedded) with the geometry of their images. What it gives is a
// plain model: one dense gid grid per tile layer, row by row from the top row, and one entry per
// tileset. Everything it can't read or won't draw is traced once, in a designer's words naming the
// map, and read as empty.
#include <cstdint>
#include <string>
#include <vector>

#include <rapidjson/document.h>

class TiledMap {
public:
    // The high bits of a gid: flipped horizontally, vertically, anti-diagonally (x and y swapped, before
    // the other two), and the hexagonal rotation (ignored on square tiles). The rest is the tile number.
    static constexpr std::uint32_t FLIP_HORIZONTAL = 0x80000000u;
    static constexpr std::uint32_t FLIP_VERTICAL = 0x40000000u;
    static constexpr std::uint32_t FLIP_DIAGONAL = 0x20000000u;
    static constexpr std::uint32_t ROTATE_HEXAGONAL = 0x10000000u;
    static constexpr std::uint32_t FLAG_BITS = FLIP_HORIZONTAL | FLIP_VERTICAL | FLIP_DIAGONAL | ROTATE_HEXAGONAL;

    // The tile number of a stored gid (its flag bits masked off).
    static std::uint32_t TileOf(std::int32_t gid)
    {
        return static_cast<std::uint32_t>(gid) & ~FLAG_BITS;
    }
    // The flag bits of a stored gid.
    static std::uint32_t FlagsOf(std::int32_t gid)
    {
        return static_cast<std::uint32_t>(gid) & FLAG_BITS;
    }

    // The widest and tallest map read, in cells.
    static constexpr int MAX_SIDE = 1 << 20;
    // The most cells one layer decodes to (4096 x 4096); what lies past them reads as empty.
    static constexpr std::size_t MAX_LAYER_CELLS = std::size_t{1} << 24;
    // The deepest nesting of group layers read.
    static constexpr int MAX_GROUP_DEPTH = 16;
    // The most layers kept, counted with the layers inside groups.
    static constexpr int MAX_LAYERS = 32;
    // The most cells all tile layers of one map may hold together (four layers of 4096 x 4096): a map
    // whose layers hold more is not loaded.
    static constexpr std::size_t MAX_MAP_CELLS = std::size_t{1} << 26;
    // The most tiles of one tileset used.
    static constexpr int MAX_TILES = 1023;

    // One layer as the game keeps it. Tile layers carry their gids (flag bits included); other layers
    // only their name and type.
    struct Layer {
        std::string name;
        std::string type;
        std::vector<std::int32_t> data;
        bool visible = false;
        float opacity = 1.0f;                 // the layer's own times its groups'
        float offsetX = 0.0f, offsetY = 0.0f; // pixels, right and down, the groups' included
    };

    // Where a tileset's tiles lie in its image, in pixels. Zero fields were not given.
    struct TilesetGeometry {
        int tileWidth = 0, tileHeight = 0;
        int margin = 0, spacing = 0;
        int imageWidth = 0, imageHeight = 0;
    };

    // One entry of the map's "tilesets": where its gids start and, when they could be read (from its
    // own file or from the entry), the tileset's fields.
    struct Tileset {
        int firstGid = 1;
        bool known = false;  // its fields were read: a gid past its tiles belongs to no tile
        std::string name;
        int columns = 0;
        int tilecount = 0;
        std::string texture; // the image's file name without folders and extension; "" for none
        TilesetGeometry geometry;
    };

    // Reads "tilemaps/<mapName>.json" whole: its size, layers and tilesets. False when no map could be
    // read (the model is then empty, of no size). Traces name the map ("Map \"LivingRoom\"").
    bool Load(const std::string& mapName);

    // Reads the tileset file a "source" path names: "tilesets/<file name without folders and
    // extension>.json". mapName is the map that names it ("" for none), for the trace lines. False
    // (traced, with what that does to the map) when it can't be read.
    static bool ReadTilesetFile(const std::string& source, const std::string& mapName, Tileset& tileset);

    // Reads the entries of "tilesets" (at most "numOfTileSets" of them when the map says) into
    // tilesets, each from its own file or embedded.
    void ReadTilesets(const rapidjson::Value& root, const std::string& file);
    // Empties the cells whose tile number no read tileset holds (neither drawn nor a wall), one line a
    // layer.
    void EmptyUnheldTiles(const std::string& file);

    // Reads "width", "height", "tilewidth", "tileheight" and "infinite" (the size of an infinite map is
    // the box around its chunks).
    void ReadSize(const rapidjson::Value& root, const std::string& file);

    // Reads the first entryCount entries of "layers" (bounded by its size) into layers: a group gives
    // its layers in its place, each other entry one layer; at most maxLayers layers are kept. Needs
    // the size read first. Traces the layer types and settings not drawn, data it can't decode and a
    // map without "WallLayer". Stops (refused set) where the layers would hold more than MAX_MAP_CELLS.
    void ReadLayers(const rapidjson::Value& layerList, int entryCount, const std::string& file, int maxLayers);

    std::string name;                  // the map's name, as "LoadTileMap" gives it
    int width = 0, height = 0;         // cells
    int tileWidth = 0, tileHeight = 0; // pixels of one cell; 0 when not given
    bool infinite = false;
    int chunkLeft = 0, chunkTop = 0;   // infinite maps: the cell of the box's top-left corner
    std::vector<Layer> layers;         // the entries of "layers", groups opened up in place
    bool hasWallLayer = false;
    bool refused = false;              // its layers hold more cells than a map may
    std::vector<Tileset> tilesets;     // the entries of "tilesets" read, in their order

    // Reads "tilewidth", "tileheight", "margin", "spacing", "imagewidth" and "imageheight" when present;
    // traces values that can't be right.
    static TilesetGeometry ReadTilesetGeometry(const rapidjson::Value& tileset, const std::string& file);

    // The rectangle of the tile at (column, row) of a tileset's grid in its image of width x height
    // pixels, in texture coordinates of the image loaded bottom row first. False when the geometry
    // doesn't place the tile inside the image.
    static bool TileRectangle(const TilesetGeometry& geometry, int imageWidth, int imageHeight, int column, int row,
                              float& uLeft, float& vTop, float& uRight, float& vBottom);

    // The texture coordinates (u, v) at a cell's lower left, lower right, upper left and upper right
    // corners that show the tile of the given rectangle with a gid's flips applied: the anti-diagonal
    // flip first (x and y swapped), then the horizontal and the vertical one.
    static void FlipCorners(float uLeft, float vTop, float uRight, float vBottom, std::uint32_t flags, float uv[8]);

    // Decodes the text of base64 "data" and its "compression" ("" / absent, "zlib", "gzip", "zstd")
    // into at most maxCells gids. Sets error to the reason in words when it fails (then out is empty)
    // and extra when the data holds more than maxCells gids.
    static bool DecodeLayerData(const std::string& text, const std::string& compression, std::size_t maxCells,
                                std::vector<std::int32_t>& out, std::string& error, bool& extra);
};
