#include "world/TiledMap.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Trace.h"

namespace {

using rapidjson::Value;
using Layer = TiledMap::Layer;
constexpr int MAX_SIDE = TiledMap::MAX_SIDE;
constexpr int MAX_GROUP_DEPTH = TiledMap::MAX_GROUP_DEPTH;

const Value* Member(const Value& object, const char* key)
{
    if (!object.IsObject())
        return nullptr;
    auto it = object.FindMember(key);
    return it == object.MemberEnd() ? nullptr : &it->value;
}

std::string Text(const Value& value)
{
    return std::string(value.GetString(), value.GetStringLength());
}

// An optional string member; "" when missing or of another type.
std::string OptionalString(const Value& object, const char* key)
{
    const Value* value = Member(object, key);
    return value && value->IsString() ? Text(*value) : std::string();
}

// An optional whole number; fallback when missing, traced when of another type.
int OptionalInt(const Value& object, const char* key, const std::string& file, int fallback = 0)
{
    const Value* value = Member(object, key);
    if (!value)
        return fallback;
    if (!value->IsInt()) {
        Trace("%s: \"%s\" is not a whole number; %d is used", file.c_str(), key, fallback);
        return fallback;
    }
    return value->GetInt();
}

// An optional number; fallback when missing, traced when of another type or not finite.
float OptionalFloat(const Value& object, const char* key, const std::string& file, float fallback)
{
    const Value* value = Member(object, key);
    if (!value)
        return fallback;
    if (!value->IsNumber() || !std::isfinite(value->GetDouble()) || std::fabs(value->GetDouble()) > 1.0e7) {
        Trace("%s: \"%s\" is not a usable number; %g is used", file.c_str(), key, static_cast<double>(fallback));
        return fallback;
    }
    return static_cast<float>(value->GetDouble());
}

// The value of one base64 character, or -1.
int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Base64 to bytes; white space is skipped, "=" ends the data. False on any other character or a
// length no encoder writes.
bool DecodeBase64(const std::string& text, std::vector<unsigned char>& out)
{
    out.clear();
    out.reserve(text.size() / 4 * 3);
    std::uint32_t bits = 0;
    int held = 0;
    std::size_t symbols = 0;
    bool ended = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t')
            continue;
        if (c == '=') {
            ended = true;
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || ended)
            return false;
        ++symbols;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<unsigned char>((bits >> held) & 0xFFu));
        }
    }
    return symbols % 4 != 1;
}

// Inflates zlib (windowBits 15) or gzip (31) data into at most limit bytes. False with the reason
// when the stream is broken or cut; extra when it holds more than limit bytes.
bool Inflate(const std::vector<unsigned char>& in, int windowBits, std::size_t limit, std::vector<unsigned char>& out,
             std::string& error, bool& extra)
{
    z_stream stream{};
    if (inflateInit2(&stream, windowBits) != Z_OK) {
        error = "the decompressor could not start";
        return false;
    }
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = static_cast<uInt>(std::min<std::size_t>(in.size(), std::numeric_limits<uInt>::max()));
    std::vector<unsigned char> chunk(1 << 16);
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = chunk.data();
        stream.avail_out = static_cast<uInt>(chunk.size());
        result = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = chunk.size() - stream.avail_out;
        const std::size_t room = limit - out.size();
        out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(std::min(produced, room)));
        if (produced > room) {
            extra = true;
            break;
        }
        if (result == Z_BUF_ERROR && stream.avail_in == 0)
            break; // the input ended before the stream did
    }
    inflateEnd(&stream);
    if (extra)
        return true;
    if (result != Z_STREAM_END) {
        error = result == Z_BUF_ERROR || result == Z_OK ? "the compressed data is cut short"
                                                        : "the compressed data is damaged";
        out.clear();
        return false;
    }
    return true;
}

bool Unzstd(const std::vector<unsigned char>& in, std::size_t limit, std::vector<unsigned char>& out,
            std::string& error, bool& extra)
{
    ZSTD_DStream* stream = ZSTD_createDStream();
    if (!stream) {
        error = "the decompressor could not start";
        return false;
    }
    ZSTD_initDStream(stream);
    ZSTD_inBuffer input{in.data(), in.size(), 0};
    std::vector<unsigned char> chunk(ZSTD_DStreamOutSize());
    std::size_t result = 1;
    bool failed = false;
    while (true) {
        ZSTD_outBuffer output{chunk.data(), chunk.size(), 0};
        result = ZSTD_decompressStream(stream, &output, &input);
        if (ZSTD_isError(result)) {
            failed = true;
            break;
        }
        const std::size_t room = limit - out.size();
        out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(std::min(output.pos, room)));
        if (output.pos > room) {
            extra = true;
            break;
        }
        // A frame ended with all input read: done. No progress with input left: cut short.
        if (input.pos == input.size && output.pos < output.size)
            break;
    }
    ZSTD_freeDStream(stream);
    if (extra)
        return true;
    if (failed || result != 0) {
        error = failed ? "the compressed data is damaged" : "the compressed data is cut short";
        out.clear();
        return false;
    }
    return true;
}

// The gids of a "data" array (at most maxCells); values no gid can have are traced once and read 0.
std::vector<std::int32_t> ArrayGids(const Value& data, std::size_t maxCells, std::size_t width,
                                    const std::string& where)
{
    width = std::max<std::size_t>(width, 1);
    const std::size_t given = std::min(static_cast<std::size_t>(data.Size()), maxCells);
    std::vector<std::int32_t> gids(given, 0);
    bool reported = false;
    for (std::size_t k = 0; k < given; ++k) {
        const Value& gid = data[static_cast<rapidjson::SizeType>(k)];
        if (gid.IsUint()) {
            gids[k] = static_cast<std::int32_t>(gid.GetUint());
        } else if (!reported) {
            // Counted as Tiled shows cells: column and row from the top left.
            Trace("%s: the cell at column %zu, row %zu holds no tile number; drawn as empty", where.c_str(),
                  k % width, k / width);
            reported = true;
        }
    }
    return gids;
}

// A "data" member as gids: a JSON array, or base64 text when the layer says so. maxCells bounds what
// is decoded; more is traced as extra. Empty (traced) when it can't be read. width: cells a row.
bool ReadData(const Value& owner, const Value& layer, std::size_t maxCells, std::size_t width,
              const std::string& where, std::vector<std::int32_t>& gids, bool& extra)
{
    extra = false;
    const Value* data = Member(owner, "data");
    const std::string encoding = OptionalString(layer, "encoding");
    if (encoding == "base64") {
        if (!data || !data->IsString()) {
            Trace("%s: base64 \"data\" is missing or not text; the layer is empty", where.c_str());
            return false;
        }
        const std::string compression = OptionalString(layer, "compression");
        std::string error;
        if (!TiledMap::DecodeLayerData(Text(*data), compression, maxCells, gids, error, extra)) {
            Trace("%s: %s; the layer is empty", where.c_str(), error.c_str());
            return false;
        }
        return true;
    }
    if (!encoding.empty() && encoding != "csv") {
        Trace("%s: the layer data encoding \"%s\" is not read (save it as CSV or Base64); the layer is empty",
              where.c_str(), encoding.c_str());
        return false;
    }
    if (!data || !data->IsArray()) {
        Trace("%s: \"data\" is missing or not an array", where.c_str());
        return false;
    }
    gids = ArrayGids(*data, maxCells, width, where);
    extra = data->Size() > maxCells;
    return true;
}

// A chunk of at most 4096 x 4096 cells within half the largest map's side of the origin.
bool ChunkFits(int x, int y, int width, int height)
{
    constexpr int REACH = MAX_SIDE / 2;
    return width > 0 && height > 0 && width <= 4096 && height <= 4096 && x >= -REACH && x <= REACH && y >= -REACH &&
           y <= REACH;
}

// A chunk's box in cells; false (traced) when it is not a box an infinite map can hold.
bool ChunkBox(const Value& chunk, const std::string& where, int& x, int& y, int& width, int& height)
{
    if (!chunk.IsObject()) {
        Trace("%s: a chunk is not an object; skipped", where.c_str());
        return false;
    }
    const Value* values[4] = {Member(chunk, "x"), Member(chunk, "y"), Member(chunk, "width"), Member(chunk, "height")};
    for (const Value* value : values) {
        if (!value || !value->IsInt()) {
            Trace("%s: a chunk's \"x\", \"y\", \"width\" or \"height\" is missing or not a whole number; skipped",
                  where.c_str());
            return false;
        }
    }
    x = values[0]->GetInt();
    y = values[1]->GetInt();
    width = values[2]->GetInt();
    height = values[3]->GetInt();
    if (!ChunkFits(x, y, width, height)) {
        Trace("%s: a chunk at (%d, %d) of %d x %d cells lies outside any map; skipped", where.c_str(), x, y, width,
              height);
        return false;
    }
    return true;
}

// Widens the box (left, top, right, bottom; right and bottom past the last cell) around the chunks of
// the tile layers in layers, groups included.
void ChunkBounds(const Value& layers, int depth, long long box[4], bool& any)
{
    if (!layers.IsArray() || depth > MAX_GROUP_DEPTH)
        return;
    for (const Value& layer : layers.GetArray()) {
        if (const Value* inner = Member(layer, "layers"))
            ChunkBounds(*inner, depth + 1, box, any);
        const Value* chunks = Member(layer, "chunks");
        if (!chunks || !chunks->IsArray())
            continue;
        for (const Value& chunk : chunks->GetArray()) {
            int x = 0, y = 0, w = 0, h = 0;
            const Value* values[4] = {Member(chunk, "x"), Member(chunk, "y"), Member(chunk, "width"),
                                      Member(chunk, "height")};
            if (!chunk.IsObject() || !values[0] || !values[1] || !values[2] || !values[3] || !values[0]->IsInt() ||
                !values[1]->IsInt() || !values[2]->IsInt() || !values[3]->IsInt())
                continue;
            x = values[0]->GetInt();
            y = values[1]->GetInt();
            w = values[2]->GetInt();
            h = values[3]->GetInt();
            if (!ChunkFits(x, y, w, h))
                continue;
            box[0] = any ? std::min<long long>(box[0], x) : x;
            box[1] = any ? std::min<long long>(box[1], y) : y;
            box[2] = any ? std::max<long long>(box[2], x + w) : x + w;
            box[3] = any ? std::max<long long>(box[3], y + h) : y + h;
            any = true;
        }
    }
}

struct Walk {
    const std::string& file;
    int maxLayers;
    TiledMap& map;
    bool reportedFull = false;
};

// Places the chunks of an infinite map's tile layer into its dense grid.
void ReadChunks(const Value& entry, const std::string& where, TiledMap& map, Layer& layer)
{
    const Value* chunks = Member(entry, "chunks");
    if (!chunks || !chunks->IsArray()) {
        Trace("%s: an infinite map's layer has no \"chunks\" array; the layer is empty", where.c_str());
        return;
    }
    const std::size_t cellCount = static_cast<std::size_t>(map.width) * static_cast<std::size_t>(map.height);
    if (cellCount == 0)
        return;
    layer.data.assign(cellCount, 0);
    for (const Value& chunk : chunks->GetArray()) {
        int x = 0, y = 0, width = 0, height = 0;
        if (!ChunkBox(chunk, where, x, y, width, height))
            continue;
        const std::size_t cells = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        std::vector<std::int32_t> gids;
        bool extra = false;
        const std::string at = where + " chunk (" + std::to_string(x) + ", " + std::to_string(y) + ")";
        if (!ReadData(chunk, entry, cells, static_cast<std::size_t>(width), at, gids, extra))
            continue;
        if (gids.size() != cells || extra)
            Trace("%s: the chunk at (%d, %d) holds %s gids than its %d x %d cells; %s", where.c_str(), x, y,
                  extra ? "more" : "fewer", width, height, extra ? "the rest are dropped" : "the rest are empty");
        const long long left = static_cast<long long>(x) - map.chunkLeft;
        const long long top = static_cast<long long>(y) - map.chunkTop;
        for (std::size_t k = 0; k < gids.size(); ++k) {
            const long long column = left + static_cast<long long>(k % static_cast<std::size_t>(width));
            const long long row = top + static_cast<long long>(k / static_cast<std::size_t>(width));
            if (column < 0 || row < 0 || column >= map.width || row >= map.height)
                continue;
            layer.data[static_cast<std::size_t>(row) * static_cast<std::size_t>(map.width) +
                       static_cast<std::size_t>(column)] = gids[k];
        }
    }
}

void ReadTileLayer(const Value& entry, const std::string& where, TiledMap& map, Layer& layer)
{
    if (map.infinite) {
        ReadChunks(entry, where, map, layer);
        return;
    }
    const std::size_t cellCount = static_cast<std::size_t>(map.width) * static_cast<std::size_t>(map.height);
    const std::size_t limit = std::min(cellCount, TiledMap::MAX_LAYER_CELLS);
    bool extra = false;
    if (!ReadData(entry, entry, limit, static_cast<std::size_t>(map.width), where, layer.data, extra))
        return;
    // A short layer keeps the cells it has; the rest are empty (they are neither stored nor drawn, so a
    // map that claims a huge size costs only what its file holds).
    if (layer.data.size() < cellCount && !(extra && limit < cellCount))
        Trace("%s: \"data\" holds %zu gids but the map has %zu cells; the rest are empty", where.c_str(),
              layer.data.size(), cellCount);
    else if (extra && limit < cellCount)
        Trace("%s: only the first %zu cells are read; the rest are empty", where.c_str(), limit);
    else if (extra)
        Trace("%s: \"data\" holds more gids than the map's %zu cells; the rest are dropped", where.c_str(), cellCount);
}

void WalkLayers(const Value& layers, int entryCount, int depth, const Layer& group, Walk& walk)
{
    for (int i = 0; i < entryCount; ++i) {
        const Value& entry = layers[static_cast<rapidjson::SizeType>(i)];
        const bool top = depth == 0;
        std::string where = walk.file + " layer " + std::to_string(walk.map.layers.size());
        const std::string type = OptionalString(entry, "type");
        if (entry.IsObject() && type == "group") {
            const std::string name = OptionalString(entry, "name");
            const Value* inner = Member(entry, "layers");
            if (depth + 1 > MAX_GROUP_DEPTH) {
                Trace("%s: group layer \"%s\" lies more than %d groups deep; its layers are not drawn",
                      walk.file.c_str(), name.c_str(), MAX_GROUP_DEPTH);
                continue;
            }
            if (!inner || !inner->IsArray()) {
                Trace("%s: group layer \"%s\" has no \"layers\" array; it holds nothing", walk.file.c_str(),
                      name.c_str());
                continue;
            }
            const std::string at = walk.file + " group \"" + name + "\"";
            Layer combined = group;
            const Value* visible = Member(entry, "visible");
            combined.visible = group.visible && (!visible || !visible->IsBool() || visible->GetBool());
            combined.opacity = group.opacity * std::clamp(OptionalFloat(entry, "opacity", at, 1.0f), 0.0f, 1.0f);
            combined.offsetX = group.offsetX + OptionalFloat(entry, "offsetx", at, 0.0f);
            combined.offsetY = group.offsetY + OptionalFloat(entry, "offsety", at, 0.0f);
            WalkLayers(*inner, static_cast<int>(inner->Size()), depth + 1, combined, walk);
            continue;
        }
        if (static_cast<int>(walk.map.layers.size()) >= walk.maxLayers) {
            if (!walk.reportedFull)
                Trace("%s: more than %d layers; the rest are not read", walk.file.c_str(), walk.maxLayers);
            walk.reportedFull = true;
            return;
        }
        walk.map.layers.emplace_back();
        Layer& layer = walk.map.layers.back();
        if (!entry.IsObject()) {
            Trace("%s is not an object; skipped", where.c_str());
            continue;
        }
        // Named in traces as the designer named it.
        layer.name = OptionalString(entry, "name");
        layer.type = type;
        if (!layer.name.empty())
            where = walk.file + " layer \"" + layer.name + "\"";
        if (type == "objectgroup" || type == "imagelayer") {
            Trace("%s: %s layer \"%s\" is not drawn", walk.file.c_str(), type == "objectgroup" ? "object" : "image",
                  layer.name.c_str());
            continue;
        }
        if (!type.empty() && type != "tilelayer")
            Trace("%s: layer type \"%s\" is unknown; read as a tile layer", where.c_str(), type.c_str());
        ReadTileLayer(entry, where, walk.map, layer);

        // Fields Tiled always writes: traced as before when missing at the top; inside a group the
        // group gives what is missing.
        const Value* name = Member(entry, "name");
        if ((!name || !name->IsString()) && top)
            Trace("%s: \"name\" is missing or not a string", where.c_str());
        if (!Member(entry, "type") && top)
            Trace("%s: \"type\" is missing or not a string", where.c_str());
        const Value* visible = Member(entry, "visible");
        if (!visible || !visible->IsBool()) {
            Trace("%s: \"visible\" is missing or not true or false", where.c_str());
            layer.visible = false;
        } else {
            layer.visible = group.visible && visible->GetBool();
        }
        layer.opacity = group.opacity * std::clamp(OptionalFloat(entry, "opacity", where, 1.0f), 0.0f, 1.0f);
        layer.offsetX = group.offsetX + OptionalFloat(entry, "offsetx", where, 0.0f);
        layer.offsetY = group.offsetY + OptionalFloat(entry, "offsety", where, 0.0f);
        if (layer.name == "WallLayer")
            walk.map.hasWallLayer = true;
    }
}

} // namespace

void TiledMap::ReadSize(const Value& root, const std::string& file)
{
    TiledMap& map = *this;
    const Value* infinite = Member(root, "infinite");
    map.infinite = infinite && infinite->IsBool() && infinite->GetBool();
    map.tileWidth = std::max(OptionalInt(root, "tilewidth", file), 0);
    map.tileHeight = std::max(OptionalInt(root, "tileheight", file), 0);
    if (!map.infinite) {
        for (const char* key : {"width", "height"}) {
            const Value* value = Member(root, key);
            int& side = key[0] == 'w' ? map.width : map.height;
            if (!value || !value->IsInt()) {
                Trace("%s: \"%s\" is missing or not a whole number", file.c_str(), key);
                side = 0;
            } else {
                side = value->GetInt();
            }
        }
        return;
    }
    // An infinite map is as large as the box around its chunks.
    long long box[4] = {0, 0, 0, 0};
    bool any = false;
    if (const Value* layers = Member(root, "layers"))
        ChunkBounds(*layers, 0, box, any);
    if (!any) {
        Trace("%s: the infinite map has no chunks; it draws nothing", file.c_str());
        map.width = map.height = 0;
        return;
    }
    const long long width = box[2] - box[0];
    const long long height = box[3] - box[1];
    if (static_cast<unsigned long long>(width * height) > TiledMap::MAX_LAYER_CELLS) {
        Trace("%s: the infinite map's chunks spread over %lld x %lld cells, more than %zu; it draws nothing",
              file.c_str(), width, height, TiledMap::MAX_LAYER_CELLS);
        map.width = map.height = 0;
        return;
    }
    map.chunkLeft = static_cast<int>(box[0]);
    map.chunkTop = static_cast<int>(box[1]);
    map.width = static_cast<int>(width);
    map.height = static_cast<int>(height);
}

void TiledMap::ReadLayers(const Value& layerList, int entryCount, const std::string& file, int maxLayers)
{
    if (!layerList.IsArray())
        return;
    entryCount = std::clamp(entryCount, 0, static_cast<int>(layerList.Size()));
    Walk walk{file, maxLayers, *this};
    Layer top;
    top.visible = true;
    WalkLayers(layerList, entryCount, 0, top, walk);
    if (!hasWallLayer)
        Trace("%s has no layer named \"WallLayer\"; nothing in it blocks the player", file.c_str());
}

TiledMap::TilesetGeometry TiledMap::ReadTilesetGeometry(const Value& tileset, const std::string& file)
{
    TilesetGeometry geometry;
    struct Field {
        const char* key;
        int* value;
    };
    const Field fields[] = {{"tilewidth", &geometry.tileWidth},   {"tileheight", &geometry.tileHeight},
                            {"margin", &geometry.margin},         {"spacing", &geometry.spacing},
                            {"imagewidth", &geometry.imageWidth}, {"imageheight", &geometry.imageHeight}};
    for (const Field& field : fields) {
        const int value = OptionalInt(tileset, field.key, file);
        if (value < 0 || value > 65536) {
            Trace("%s: \"%s\" is %d; 0 is used", file.c_str(), field.key, value);
            continue;
        }
        *field.value = value;
    }
    return geometry;
}

bool TiledMap::TileRectangle(const TilesetGeometry& geometry, int imageWidth, int imageHeight, int column, int row,
                   float& uLeft, float& vTop, float& uRight, float& vBottom)
{
    if (geometry.tileWidth <= 0 || geometry.tileHeight <= 0 || imageWidth <= 0 || imageHeight <= 0 || column < 0 ||
        row < 0)
        return false;
    const double left = geometry.margin + static_cast<double>(column) * (geometry.tileWidth + geometry.spacing);
    const double top = geometry.margin + static_cast<double>(row) * (geometry.tileHeight + geometry.spacing);
    if (left + geometry.tileWidth > imageWidth || top + geometry.tileHeight > imageHeight)
        return false;
    uLeft = static_cast<float>(left / imageWidth);
    uRight = static_cast<float>((left + geometry.tileWidth) / imageWidth);
    vTop = static_cast<float>(1.0 - top / imageHeight);
    vBottom = static_cast<float>(1.0 - (top + geometry.tileHeight) / imageHeight);
    return true;
}

void TiledMap::FlipCorners(float uLeft, float vTop, float uRight, float vBottom, std::uint32_t flags, float uv[8])
{
    // Corners of the cell as (right, bottom): lower left, lower right, upper left, upper right. Each
    // shows the tile's point (s, t), 0 or 1 from its left and top edges.
    static const int corners[4][2] = {{0, 1}, {1, 1}, {0, 0}, {1, 0}};
    for (int i = 0; i < 4; ++i) {
        int s = corners[i][0];
        int t = corners[i][1];
        if (flags & FLIP_HORIZONTAL)
            s = 1 - s;
        if (flags & FLIP_VERTICAL)
            t = 1 - t;
        if (flags & FLIP_DIAGONAL)
            std::swap(s, t);
        uv[2 * i] = s ? uRight : uLeft;
        uv[2 * i + 1] = t ? vBottom : vTop;
    }
}

bool TiledMap::DecodeLayerData(const std::string& text, const std::string& compression, std::size_t maxCells,
                     std::vector<std::int32_t>& out, std::string& error, bool& extra)
{
    out.clear();
    extra = false;
    std::vector<unsigned char> packed;
    if (!DecodeBase64(text, packed)) {
        error = "the base64 \"data\" is not valid base64";
        return false;
    }
    const std::size_t limit = maxCells * 4;
    std::vector<unsigned char> bytes;
    if (compression.empty()) {
        bytes.swap(packed);
        if (bytes.size() > limit) {
            bytes.resize(limit);
            extra = true;
        }
    } else if (compression == "zlib" || compression == "gzip") {
        if (!Inflate(packed, compression == "zlib" ? 15 : 31, limit, bytes, error, extra))
            return false;
    } else if (compression == "zstd") {
        if (!Unzstd(packed, limit, bytes, error, extra))
            return false;
    } else {
        error = "the compression \"" + compression + "\" is not read (use zlib, gzip, zstd or none)";
        return false;
    }
    if (bytes.size() % 4 != 0) {
        error = "the data holds " + std::to_string(bytes.size()) + " bytes, not whole 4-byte gids";
        return false;
    }
    out.resize(bytes.size() / 4);
    for (std::size_t k = 0; k < out.size(); ++k) {
        const std::uint32_t gid = static_cast<std::uint32_t>(bytes[4 * k]) |
                                  static_cast<std::uint32_t>(bytes[4 * k + 1]) << 8 |
                                  static_cast<std::uint32_t>(bytes[4 * k + 2]) << 16 |
                                  static_cast<std::uint32_t>(bytes[4 * k + 3]) << 24;
        out[k] = static_cast<std::int32_t>(gid);
    }
    return true;
}

