#include "world/TiledMap.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <limits>

#include "core/Stream.h"
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
    // Room for all it can hold at once (deflate expands at most 1032 to 1): no copies while it grows.
    out.reserve(std::min(limit, in.size() * 1032 + 1024));
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
    // Room for all the frame says it holds, when it says: no copies while it grows.
    const unsigned long long stated = ZSTD_getFrameContentSize(in.data(), in.size());
    if (stated != ZSTD_CONTENTSIZE_UNKNOWN && stated != ZSTD_CONTENTSIZE_ERROR)
        out.reserve(static_cast<std::size_t>(std::min<unsigned long long>(limit, stated)));
    std::vector<unsigned char> chunk(ZSTD_DStreamOutSize());
    std::size_t result = 1;
    bool failed = false;
    while (true) {
        const std::size_t read = input.pos;
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
        // The last frame ended with all input read: done. Nothing read and nothing written: cut short.
        if (result == 0 && input.pos == input.size)
            break;
        if (input.pos == read && output.pos == 0)
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

// The cells a tile layer will hold, before it is decoded: the map's cells, at most what one layer
// decodes, at most the gids a JSON array lists.
std::size_t CellsOfLayer(const Value& entry, const TiledMap& map)
{
    std::size_t cells = static_cast<std::size_t>(std::max(map.width, 0)) * static_cast<std::size_t>(std::max(map.height, 0));
    if (map.infinite)
        return cells;
    cells = std::min(cells, TiledMap::MAX_LAYER_CELLS);
    const Value* data = Member(entry, "data");
    if (data && data->IsArray())
        cells = std::min<std::size_t>(cells, data->Size());
    return cells;
}

// What the tile layers among the first entryCount entries will hold, groups opened up as the reading
// opens them (at most maxLayers layers): cells is their sum, firstPast the name of the first layer
// that takes it past TiledMap::MAX_MAP_CELLS.
void CountCells(const Value& layers, int entryCount, int depth, const TiledMap& map, int maxLayers, int& seen,
                std::size_t& cells, std::string& firstPast, bool& pastFound)
{
    for (int i = 0; i < entryCount && seen < maxLayers; ++i) {
        const Value& entry = layers[static_cast<rapidjson::SizeType>(i)];
        const std::string type = OptionalString(entry, "type");
        if (entry.IsObject() && type == "group") {
            const Value* inner = Member(entry, "layers");
            if (depth + 1 <= MAX_GROUP_DEPTH && inner && inner->IsArray())
                CountCells(*inner, static_cast<int>(inner->Size()), depth + 1, map, maxLayers, seen, cells, firstPast,
                           pastFound);
            continue;
        }
        ++seen;
        if (!entry.IsObject() || type == "objectgroup" || type == "imagelayer")
            continue;
        cells += CellsOfLayer(entry, map);
        if (cells > TiledMap::MAX_MAP_CELLS && !pastFound) {
            firstPast = OptionalString(entry, "name");
            pastFound = true;
        }
    }
}

// Settings Tiled draws that the game does not: a tint colour and parallax factors other than 1. One
// line each, naming the layer or group.
void TraceUndrawnSettings(const Value& entry, const std::string& where)
{
    if (const Value* tint = Member(entry, "tintcolor")) {
        const std::string colour = tint->IsString() ? " " + Text(*tint) : std::string();
        Trace("%s: its tint colour%s is not drawn; its tiles show their own colours", where.c_str(), colour.c_str());
    }
    const Value* px = Member(entry, "parallaxx");
    const Value* py = Member(entry, "parallaxy");
    const double fx = px && px->IsNumber() ? px->GetDouble() : 1.0;
    const double fy = py && py->IsNumber() ? py->GetDouble() : 1.0;
    if (fx != 1.0 || fy != 1.0)
        Trace("%s: its parallax factors (%g, %g) are not drawn; it scrolls with the map", where.c_str(), fx, fy);
}


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
            TraceUndrawnSettings(entry, at);
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
        TraceUndrawnSettings(entry, where);

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
        if (layer.name == "WallLayer") {
            walk.map.hasWallLayer = true;
            // Hidden in Tiled (itself or by its group): still the walls.
            if (visible && visible->IsBool() && !layer.visible)
                Trace("%s: layer \"WallLayer\" is hidden; its tiles are not drawn, but they still block the player",
                      walk.file.c_str());
        }
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


namespace {

// A whole-number member Tiled always writes; missing or of another type it is traced and reads as
// fallback.
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
    return Text(*value);
}

// A path's file name without its folders and its extension: "../../textures/HouseTiles.png" gives
// "HouseTiles". Tiled writes forward slashes; backslashes are taken as folder separators too.
std::string FileStem(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string::npos)
        stem.erase(dot);
    return stem;
}

// The fields of a tileset, from its own file or embedded in a map: "columns", "tilecount", "name",
// "image" and the image's geometry. A collection of images (a picture per tile, no "image") and tile
// animations are named once each.
void ReadTilesetFields(const Value& root, const std::string& where, TiledMap::Tileset& tileset)
{
    const Value* tiles = Member(root, "tiles");
    int animations = 0;
    bool pictures = false;
    if (tiles && tiles->IsArray()) {
        for (const Value& tile : tiles->GetArray()) {
            const Value* animation = Member(tile, "animation");
            if (animation && animation->IsArray() && !animation->Empty())
                ++animations;
            pictures = pictures || Member(tile, "image");
        }
    }
    const bool collection = pictures && !Member(root, "image");
    tileset.known = true;
    tileset.name = StringMember(root, "name", where);
    if (collection) {
        Trace("%s is a collection of images (a picture per tile), which is not drawn: its tiles draw nothing (in "
              "\"WallLayer\" they still block); make it from one image (\"Based on Tileset Image\")",
              where.c_str());
        tileset.tilecount = std::max(OptionalInt(root, "tilecount", where), 0);
        return;
    }
    tileset.columns = IntMember(root, "columns", where);
    tileset.tilecount = IntMember(root, "tilecount", where);
    tileset.geometry = TiledMap::ReadTilesetGeometry(root, where);
    if (const Value* offset = Member(root, "tileoffset")) {
        const Value* x = Member(*offset, "x");
        const Value* y = Member(*offset, "y");
        const int dx = x && x->IsInt() ? x->GetInt() : 0;
        const int dy = y && y->IsInt() ? y->GetInt() : 0;
        if (dx != 0 || dy != 0)
            Trace("%s: its tile offset (%d, %d) is not drawn; its tiles sit in their cells", where.c_str(), dx, dy);
    }
    if (animations > 0)
        Trace("%s: its %d tile animation%s not played; each such tile shows its own still image", where.c_str(),
              animations, animations == 1 ? " is" : "s are");
    const Value* image = Member(root, "image");
    if (!image || !image->IsString()) {
        Trace("%s: \"image\" is missing or not a string; its tiles have no texture", where.c_str());
    } else {
        const std::string path = Text(*image);
        tileset.texture = FileStem(path);
        if (tileset.texture.empty())
            Trace("%s: \"image\" \"%s\" names no file; its tiles have no texture", where.c_str(), path.c_str());
    }
    if (tileset.columns <= 0)
        Trace("%s: \"columns\" is %d; no tile can be placed", where.c_str(), tileset.columns);
    else if (tileset.tilecount > TiledMap::MAX_TILES)
        Trace("%s: %d tiles; only the first %d are used", where.c_str(), tileset.tilecount, TiledMap::MAX_TILES);
}

// The tileset a tile number belongs to (the largest first gid not above it, the first listed of
// equals), or null.
const TiledMap::Tileset* OwnerOf(const std::vector<TiledMap::Tileset>& tilesets, std::uint32_t tile)
{
    const TiledMap::Tileset* owner = nullptr;
    for (const TiledMap::Tileset& candidate : tilesets)
        if (static_cast<std::uint32_t>(candidate.firstGid) <= tile && (!owner || candidate.firstGid > owner->firstGid))
            owner = &candidate;
    return owner;
}

} // namespace

bool TiledMap::ReadTilesetFile(const std::string& source, const std::string& mapName, Tileset& tileset)
{
    const std::string stem = FileStem(source);
    if (stem.empty()) {
        Trace("Tileset source \"%s\" names no file", source.c_str());
        return false;
    }
    Stream stream(stem.c_str(), StreamMode_Tileset, false);
    if (stream.IsValid() && stream.data.IsObject()) {
        const std::string where = mapName.empty() ? "Tileset \"" + stem + "\""
                                                  : "Map \"" + mapName + "\" tileset \"" + stem + "\"";
        ReadTilesetFields(stream.data, where, tileset);
        return true;
    }
    // A tileset saved as TSX: say so, with what to do.
    std::string extension = source.size() >= 4 ? source.substr(source.size() - 4) : "";
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::error_code error;
    const std::string wanted = "tilesets/" + stem + ".json";
    if (!stream.IsValid() &&
        (extension == ".tsx" || std::filesystem::exists(AssetDataPath + "tilesets/" + stem + ".tsx", error))) {
        Trace("%s wasn't opened... the map names \"%s\", a tileset saved as TSX: save the tileset as JSON (\"%s\")",
              stem.c_str(), source.c_str(), wanted.c_str());
    } else if (mapName.empty()) {
        Trace("%s wasn't opened...", stem.c_str());
    } else {
        Trace("%s wasn't opened... Map \"%s\" names the tileset \"%s\", and \"%s\" %s: its tiles are not drawn, but "
              "in \"WallLayer\" they still block the player",
              stem.c_str(), mapName.c_str(), source.c_str(), wanted.c_str(),
              stream.IsValid() ? "is not a JSON object" : "is not there");
    }
    return false;
}

bool TiledMap::Load(const std::string& mapName)
{
    *this = TiledMap();
    name = mapName;
    const std::string file = "Map \"" + mapName + "\"";
    Stream stream(mapName.c_str(), StreamMode_TileMap, false);
    std::error_code error;
    const std::string tmx = AssetDataPath + "tilemaps/" + mapName + ".tmx";
    if (!stream.IsValid()) {
        if (std::filesystem::exists(tmx, error))
            Trace("Map, \"%s\", was not found! \"tilemaps/%s.tmx\" is there, a map saved as TMX: save the map as "
                  "JSON (File > Export As, \"JSON map files\")", mapName.c_str(), mapName.c_str());
        else
            Trace("Map, \"%s\", was not found!", mapName.c_str());
        return false;
    }
    if (!stream.data.IsObject()) {
        Trace("%s is not a JSON object; it has no layers", file.c_str());
        return false;
    }
    // A map saved again as TMX beside the JSON the game reads: the designer's last edit is not seen.
    if (std::filesystem::exists(tmx, error)) {
        const auto tmxTime = std::filesystem::last_write_time(tmx, error);
        const auto jsonTime = error ? tmxTime : std::filesystem::last_write_time(stream.GetPath(), error);
        if (!error && tmxTime > jsonTime)
            Trace("%s: \"tilemaps/%s.tmx\" is newer than \"tilemaps/%s.json\", which is the one read: export the map "
                  "as JSON again (File > Export As, \"JSON map files\")",
                  file.c_str(), mapName.c_str(), mapName.c_str());
    }
    const Value& root = stream.data;
    const std::string orientation = OptionalString(root, "orientation");
    if (!orientation.empty() && orientation != "orthogonal")
        Trace("%s: its orientation \"%s\" is not drawn; the map is drawn as an orthogonal one", file.c_str(),
              orientation.c_str());
    const std::string order = OptionalString(root, "renderorder");
    if (!order.empty() && order != "right-down")
        Trace("%s: its tile render order \"%s\" is not followed; each layer's tiles are drawn right-down",
              file.c_str(), order.c_str());
    ReadSize(root, file);
    if (width <= 0 || height <= 0) {
        if (!infinite)
            Trace("%s: a size of %d x %d cells draws nothing", file.c_str(), width, height);
        width = std::max(width, 0);
        height = std::max(height, 0);
    } else if (width > MAX_SIDE || height > MAX_SIDE) {
        // No file holds that many gids; the row arithmetic of the wall test would overflow.
        Trace("%s: a size of %d x %d cells is too large; it draws nothing", file.c_str(), width, height);
        width = 0;
        height = 0;
    }

    // The first "nextlayerid" - 1 entries, groups opened up; at most the slots.
    const int nextLayerId = IntMember(root, "nextlayerid", file, 1);
    if (nextLayerId < 1)
        Trace("%s: \"nextlayerid\" is %d; no layers are read", file.c_str(), nextLayerId);
    const int wanted = nextLayerId > 1 ? nextLayerId - 1 : 0;
    if (wanted > MAX_LAYERS)
        Trace("%s: %d layers; only the first %d are read", file.c_str(), wanted, MAX_LAYERS);
    const Value* layerList = Member(root, "layers");
    if (!layerList || !layerList->IsArray()) {
        Trace("%s: \"layers\" is missing or not an array", file.c_str());
    } else {
        const int entries = static_cast<int>(layerList->Size());
        if (nextLayerId >= 1 && entries > wanted) {
            std::string names;
            for (int i = wanted; i < entries; ++i) {
                const std::string layerName = OptionalString((*layerList)[static_cast<rapidjson::SizeType>(i)], "name");
                names += (names.empty() ? "\"" : ", \"") + layerName + "\"";
            }
            Trace("%s: \"layers\" holds %d entries but \"nextlayerid\" is %d, so only the first %d %s read; not read: "
                  "%s",
                  file.c_str(), entries, nextLayerId, wanted, wanted == 1 ? "is" : "are", names.c_str());
        }
        // What the layers hold together is bounded before any of them is decoded.
        int seen = 0;
        std::size_t cells = 0;
        std::string firstPast;
        bool pastFound = false;
        CountCells(*layerList, std::clamp(std::min(wanted, MAX_LAYERS), 0, entries), 0, *this, MAX_LAYERS, seen, cells,
                   firstPast, pastFound);
        if (pastFound) {
            Trace("%s: its tile layers hold more than %zu cells together (layer \"%s\" is the first past that, at %d "
                  "x %d cells a layer); the map is not loaded: make it smaller or use fewer layers",
                  file.c_str(), MAX_MAP_CELLS, firstPast.c_str(), width, height);
            refused = true;
            width = height = 0;
            return false;
        }
        ReadLayers(*layerList, std::min(wanted, MAX_LAYERS), file, MAX_LAYERS);
    }

    // Offsets are in pixels of the map's cells; without a cell size they can't be placed.
    for (Layer& layer : layers) {
        if ((layer.offsetX != 0.0f || layer.offsetY != 0.0f) && (tileWidth <= 0 || tileHeight <= 0)) {
            Trace("%s layer \"%s\": the map has no \"tilewidth\" and \"tileheight\"; its offset is not drawn",
                  file.c_str(), layer.name.c_str());
            layer.offsetX = layer.offsetY = 0.0f;
        }
    }

    ReadTilesets(root, file);
    EmptyUnheldTiles(file);
    return true;
}

void TiledMap::ReadTilesets(const Value& root, const std::string& file)
{
    // Tilesets: "numOfTileSets" of them when the map says, at most what the array holds; every one
    // listed when it does not (the Tiled map editor never writes that key).
    const Value* list = Member(root, "tilesets");
    if (!list || !list->IsArray())
        Trace("%s: \"tilesets\" is missing or not an array", file.c_str());
    const int listed = list && list->IsArray() ? static_cast<int>(list->Size()) : 0;
    int tilesetCount = listed;
    if (const Value* stated = Member(root, "numOfTileSets")) {
        if (!stated->IsInt()) {
            Trace("%s: \"numOfTileSets\" is not a whole number; every listed tileset is read", file.c_str());
        } else {
            tilesetCount = std::max(stated->GetInt(), 0);
            if (tilesetCount > listed) {
                Trace("%s: \"numOfTileSets\" is %d but \"tilesets\" holds %d", file.c_str(), tilesetCount, listed);
                tilesetCount = listed;
            }
        }
    }
    for (int i = 0; i < tilesetCount; ++i) {
        const Value& entry = (*list)[static_cast<rapidjson::SizeType>(i)];
        const std::string where = file + " tileset " + std::to_string(i);
        if (!entry.IsObject()) {
            Trace("%s is not an object; skipped", where.c_str());
            continue;
        }
        Tileset tileset;
        tileset.firstGid = IntMember(entry, "firstgid", where, 1);
        if (tileset.firstGid < 1) {
            Trace("%s starts at gid %d; gids start at 1; skipped", where.c_str(), tileset.firstGid);
            continue;
        }
        const Value* source = Member(entry, "source");
        if (source && source->IsString()) {
            ReadTilesetFile(Text(*source), name, tileset);
        } else if (source) {
            Trace("%s: \"source\" is not a string; its gids draw nothing", where.c_str());
        } else if (!Member(entry, "image") && !Member(entry, "columns") && !Member(entry, "tilecount") &&
                   !Member(entry, "tiles")) {
            Trace("%s has no \"source\" file and no tiles of its own; its gids draw nothing", where.c_str());
        } else {
            // An embedded tileset carries the fields of a tileset file itself.
            const std::string embedded = OptionalString(entry, "name");
            ReadTilesetFields(entry, embedded.empty() ? where : file + " tileset \"" + embedded + "\"", tileset);
        }
        tilesets.push_back(std::move(tileset));
    }
}

void TiledMap::EmptyUnheldTiles(const std::string& file)
{
    // A tile number that no tileset holds is no tile: it is neither drawn nor a wall.
    for (Layer& layer : layers) {
        std::size_t count = 0, first = 0;
        std::uint32_t firstTile = 0;
        std::uint32_t lastTile = 0;
        bool lastFree = false;
        for (std::size_t k = 0; k < layer.data.size(); ++k) {
            const std::uint32_t tile = TileOf(layer.data[k]);
            if (tile == 0)
                continue;
            if (tile != lastTile) {
                const Tileset* owner = OwnerOf(tilesets, tile);
                lastFree = !owner || (owner->known && tile - static_cast<std::uint32_t>(owner->firstGid) >=
                                                          static_cast<std::uint32_t>(std::max(owner->tilecount, 0)));
                lastTile = tile;
            }
            if (!lastFree)
                continue;
            if (count++ == 0) {
                first = k;
                firstTile = tile;
            }
            layer.data[k] = 0;
        }
        if (count > 0) {
            const std::size_t across = static_cast<std::size_t>(std::max(width, 1));
            Trace("%s layer \"%s\": %zu cell%s a tile number that no tileset has (the first at column %zu, row %zu: "
                  "%u); %s empty: not drawn and not blocking",
                  file.c_str(), layer.name.c_str(), count, count == 1 ? " holds" : "s hold", first % across,
                  first / across, firstTile, count == 1 ? "it is" : "they are");
        }
    }
}
