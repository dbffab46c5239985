// Tile maps without a window: reading maps and tilesets (good and bad data), the gid lookup, the wall
// grid and its messages, the wall test against the player, and the shipped map's file layout.
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/ISystem.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "world/Physics.h"
#include "world/TileMapSystem.h"
#include "CoreEngine.h"
#include "MessageRecorder.h"
#include "TestObjects.h"
#include "test_tilemap_fixture.h"

using namespace testsupport;
using namespace worldtest;

namespace {

const std::string kTwoTilesets =
    "[{\"firstgid\": 1, \"source\": \"../tilesets/Floors.json\"},"
    " {\"firstgid\": 101, \"source\": \"../tilesets/Props.json\"}]";

class TileMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceReset();
        scratch = new Scratch("tilemap");
        scratch->Data("tilesets/Floors.json", TilesetFile("Floors", 4, 8));
        scratch->Data("tilesets/Props.json", TilesetFile("Props", 3, 5));
        CaptureConsole([&] { system = new TileMapSystem(); });
    }
    void TearDown() override
    {
        CaptureConsole([&] { delete system; });
        delete scratch;
    }

    TileMap* Load(const std::string& name, std::string* console = nullptr)
    {
        TileMap* map = nullptr;
        Message* load = TextMessage("LoadTileMap", name, system);
        const std::string out = CaptureConsole([&] { system->HandleMessage(load); });
        delete load;
        if (console)
            *console = out;
        if (!system->GetMaps().empty())
            map = system->GetMaps().back();
        return map;
    }

    Scratch* scratch = nullptr;
    TileMapSystem* system = nullptr;
};

// Messages built by hand are not posted, so the test owns them.
struct Owned {
    explicit Owned(Message* m) : message(m) {}
    ~Owned() { delete message; }
    Message* message;
};

} // namespace

TEST_F(TileMapTest, ConstructionTracesTheMapCount)
{
    std::string out = CaptureConsole([] { delete new TileMapSystem(); });
    EXPECT_TRUE(Contains(out, "TileMapSystem started... 0 maps loaded...")) << out;
    EXPECT_EQ(system->GetName(), "TileMapSystem");
}

TEST_F(TileMapTest, ReadsSizeOriginLayersAndTilesets)
{
    scratch->Data("tilemaps/Small.json",
                  Map(3, 2, 4,
                      {Layer(1, "FloorLayer", {1, 2, 3, 4, 5, 6}), Layer(2, "AbovePlayerLayer00", {0, 101, 0, 0, 0, 0}),
                       Layer(3, "AbovePlayerLayer01", {0, 0, 0, 0, 0, 102}, false),
                       Layer(4, "Extra", {1, 1, 1, 1, 1, 1})},
                      kTwoTilesets, 2));
    Message* load = TextMessage("LoadTileMap", "Small", system);
    Owned guard(load);
    std::string out = CaptureConsole([&] { system->HandleMessage(load); });
    ASSERT_EQ(system->GetMaps().size(), 1u);
    TileMap* map = system->GetMaps()[0];
    EXPECT_EQ(map->name, "Small");
    EXPECT_EQ(map->width, 3);
    EXPECT_EQ(map->height, 2);
    EXPECT_FLOAT_EQ(map->originX, 0.0f);
    EXPECT_FLOAT_EQ(map->originY, 1.0f);
    EXPECT_EQ(system->GetGridRowOrigin(), 1);
    ASSERT_NE(map->transform, nullptr);
    EXPECT_FLOAT_EQ(map->transform->ScaleX, 0.5f);
    EXPECT_FLOAT_EQ(map->transform->ScaleY, 0.5f);
    EXPECT_FALSE(map->displayed);
    // "nextlayerid" 4: layers 0, 1 and 2 only.
    EXPECT_EQ(map->layerCount, 3);
    EXPECT_EQ(map->layers[0].name, "FloorLayer");
    EXPECT_EQ(map->layers[0].type, "tilelayer");
    EXPECT_EQ(map->layers[0].data, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(map->layers[1].visible);
    EXPECT_FALSE(map->layers[2].visible);
    EXPECT_TRUE(map->layers[3].name.empty());
    ASSERT_EQ(map->tilesets.size(), 2u);
    EXPECT_EQ(map->tilesets[0]->name, "Floors");
    EXPECT_EQ(map->tilesets[0]->columns, 4);
    EXPECT_EQ(map->tilesets[0]->tilecount, 8);
    EXPECT_EQ(map->tilesets[0]->firstGidMinusOne, 0);
    EXPECT_EQ(map->tilesets[1]->name, "Props");
    EXPECT_EQ(map->tilesets[1]->firstGidMinusOne, 100);
    EXPECT_FALSE(Contains(out, "missing")) << out;
    EXPECT_FALSE(Contains(out, "skipped")) << out;
}

TEST_F(TileMapTest, DrawLayersByLayerName)
{
    EXPECT_EQ(TileMapSystem::DrawLayerOf("AbovePlayerLayer00"), 3);
    EXPECT_EQ(TileMapSystem::DrawLayerOf("AbovePlayerLayer01"), 2);
    EXPECT_EQ(TileMapSystem::DrawLayerOf("FloorLayer"), 10);
    EXPECT_EQ(TileMapSystem::DrawLayerOf("WallLayer"), 10);
    EXPECT_EQ(TileMapSystem::DrawLayerOf(""), 10);
}

TEST_F(TileMapTest, GidLookupAcrossTwoTilesets)
{
    scratch->Data("tilemaps/Two.json", Map(1, 1, 2, {Layer(1, "FloorLayer", {1})}, kTwoTilesets, 2));
    TileMap* map = Load("Two");
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->tilesets.size(), 2u);
    const Tileset* tileset = nullptr;
    int column = -7, row = -7;

    ASSERT_TRUE(map->FindTile(1, &tileset, &column, &row));
    EXPECT_EQ(tileset, map->tilesets[0].get());
    EXPECT_EQ(column, 0);
    EXPECT_EQ(row, 0);

    ASSERT_TRUE(map->FindTile(6, &tileset, &column, &row));
    EXPECT_EQ(column, 1);
    EXPECT_EQ(row, 1);

    // The last tile of a tileset is drawn; the one after it is past "tilecount" and empty.
    ASSERT_TRUE(map->FindTile(8, &tileset, &column, &row));
    EXPECT_EQ(column, 3);
    EXPECT_EQ(row, 1);
    EXPECT_FALSE(map->FindTile(9, &tileset, &column, &row));

    ASSERT_TRUE(map->FindTile(102, &tileset, &column, &row));
    EXPECT_EQ(tileset, map->tilesets[1].get());
    EXPECT_EQ(column, 1);
    EXPECT_EQ(row, 0);
    ASSERT_TRUE(map->FindTile(105, &tileset, &column, &row));
    EXPECT_EQ(column, 1);
    EXPECT_EQ(row, 1);
    EXPECT_FALSE(map->FindTile(106, nullptr, nullptr, nullptr));

    // Block bases draw nothing, nor do gids of no tileset.
    EXPECT_FALSE(map->FindTile(0, nullptr, nullptr, nullptr));
    EXPECT_FALSE(map->FindTile(100, nullptr, nullptr, nullptr));
    EXPECT_FALSE(map->FindTile(200, nullptr, nullptr, nullptr));
    EXPECT_FALSE(map->FindTile(201, nullptr, nullptr, nullptr));
    EXPECT_FALSE(map->FindTile(-5, nullptr, nullptr, nullptr));
}

TEST_F(TileMapTest, GidsFindTheirTilesetAtAnyFirstGidAsTiledSavesThem)
{
    // No "numOfTileSets": every listed tileset is read. First gids as Tiled numbers them, one of the
    // tilesets embedded in the map, one entry with neither "source" nor tiles, one tileset named by a
    // path of another depth and one embedded tileset without an image.
    scratch->Data("tilemaps/Saved.json",
                  "{\"width\": 1, \"height\": 1, \"nextlayerid\": 2, \"layers\": [" +
                      Layer(1, "FloorLayer", {1}) +
                      "], \"tilesets\": ["
                      "{\"firstgid\": 1, \"source\": \"../tilesets/Floors.json\"},"
                      "{\"firstgid\": 9, \"source\": \"../tilesets/Props.json\"},"
                      "{\"firstgid\": 14, \"columns\": 2, \"tilecount\": 6, \"name\": \"Inline\","
                      " \"image\": \"../../textures/Inline.png\", \"tilewidth\": 32, \"tileheight\": 32},"
                      "{\"firstgid\": 20},"
                      "{\"firstgid\": 37, \"source\": \"../../data/tilesets/Props.json\"},"
                      "{\"firstgid\": 60, \"columns\": 2, \"tilecount\": 4, \"name\": \"NoImage\"}]}");
    std::string out;
    TileMap* map = Load("Saved", &out);
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->tilesets.size(), 6u);
    const char* names[] = {"Floors", "Props", "Inline", "", "Props", "NoImage"};
    const int firsts[] = {1, 9, 14, 20, 37, 60};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(map->tilesets[i]->name, names[i]) << i;
        EXPECT_EQ(map->tilesets[i]->firstGidMinusOne, firsts[i] - 1) << i;
    }
    EXPECT_EQ(map->tilesets[2]->columns, 2);
    EXPECT_EQ(map->tilesets[2]->tilecount, 6);
    EXPECT_FALSE(Contains(out, "numOfTileSets")) << out;
    EXPECT_FALSE(Contains(out, "wasn't opened")) << out;
    EXPECT_TRUE(Contains(out, "tileset 3 has no \"source\" file and no tiles of its own")) << out;
    EXPECT_TRUE(Contains(out, "tileset \"NoImage\": \"image\" is missing")) << out;

    struct Row {
        int gid;
        int tileset; // -1: nothing drawn
        int column, row;
    };
    const Row rows[] = {
        {1, 0, 0, 0},   {8, 0, 3, 1},   {9, 1, 0, 0},   {13, 1, 1, 1},  {14, 2, 0, 0},  {19, 2, 1, 2},
        {20, -1, 0, 0}, {36, -1, 0, 0}, {37, 4, 0, 0},  {41, 4, 1, 1},  {42, -1, 0, 0}, {59, -1, 0, 0},
        {60, 5, 0, 0},  {63, 5, 1, 1},  {64, -1, 0, 0}, {101, -1, 0, 0}, {0, -1, 0, 0}, {-3, -1, 0, 0},
    };
    for (const Row& r : rows) {
        const Tileset* tileset = nullptr;
        int column = -7, row = -7;
        const bool found = map->FindTile(r.gid, &tileset, &column, &row);
        ASSERT_EQ(found, r.tileset >= 0) << "gid " << r.gid;
        if (!found)
            continue;
        EXPECT_EQ(tileset, map->tilesets[static_cast<std::size_t>(r.tileset)].get()) << "gid " << r.gid;
        EXPECT_EQ(column, r.column) << "gid " << r.gid;
        EXPECT_EQ(row, r.row) << "gid " << r.gid;
    }

    // The tileset file is named by the file name of its path, whatever the folders.
    for (const char* source : {"../tilesets/Props.json", "../../data/tilesets/Props.json", "Props.json",
                               "..\\tilesets\\Props.json", "/home/designer/game/tilesets/Props.tsj"}) {
        Tileset* tileset = nullptr;
        out = CaptureConsole([&] { tileset = system->LoadTileset(source); });
        EXPECT_EQ(tileset->columns, 3) << source << ": " << out;
        delete tileset;
    }
}

TEST_F(TileMapTest, TilesetEntriesPastTheTileCountAreEmpty)
{
    Tileset* tileset = nullptr;
    CaptureConsole([&] { tileset = system->LoadTileset("../tilesets/Props.json"); });
    ASSERT_NE(tileset, nullptr);
    EXPECT_EQ(tileset->entries[0], std::make_pair(-1, -1));
    EXPECT_EQ(tileset->entries[1], std::make_pair(0, 0));
    EXPECT_EQ(tileset->entries[4], std::make_pair(0, 1));
    EXPECT_EQ(tileset->entries[5], std::make_pair(1, 1));
    for (int k = 6; k < Tileset::ENTRY_COUNT; ++k)
        EXPECT_EQ(tileset->entries[static_cast<std::size_t>(k)], std::make_pair(-1, -1)) << k;
    delete tileset;
}

TEST_F(TileMapTest, MissingMapIsTracedAndHasNothing)
{
    std::string out;
    TileMap* map = Load("Nowhere", &out);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(Contains(out, "Map, \"Nowhere\", was not found!")) << out;
    EXPECT_EQ(map->layerCount, 0);
    EXPECT_TRUE(map->tilesets.empty());
    EXPECT_EQ(map->width, 0);
}

TEST_F(TileMapTest, TruncatedAndNonObjectMapsAreTraced)
{
    scratch->Data("tilemaps/Cut.json", "{\"width\": 3, \"height\": 2, \"layers\": [");
    scratch->Data("tilemaps/List.json", "[1, 2, 3]");
    std::string out;
    TileMap* cut = Load("Cut", &out);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->layerCount, 0);
    EXPECT_FALSE(out.empty());
    TileMap* list = Load("List", &out);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->layerCount, 0);
    EXPECT_TRUE(Contains(out, "not a JSON object")) << out;
}

TEST_F(TileMapTest, CountsLargerThanTheirArraysAreCutToTheArrays)
{
    scratch->Data("tilemaps/Counts.json",
                  Map(2, 1, 40, {Layer(1, "FloorLayer", {1, 2}), Layer(2, "WallLayer", {0, 1})},
                      "[{\"firstgid\": 1, \"source\": \"../tilesets/Floors.json\"}]", 5));
    std::string out;
    TileMap* map = Load("Counts", &out);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->layerCount, 2);
    EXPECT_EQ(map->tilesets.size(), 1u);
    EXPECT_TRUE(Contains(out, "only the first 32 are read")) << out;
    EXPECT_TRUE(Contains(out, "\"numOfTileSets\" is 5 but \"tilesets\" holds 1")) << out;
}

TEST_F(TileMapTest, ShortDataKeepsItsCellsWrongTypesAndBadEntriesAreSkipped)
{
    scratch->Data("tilemaps/Bad.json",
                  "{\"width\": 2, \"height\": 2, \"nextlayerid\": 6, \"layers\": ["
                  "{\"data\": [1, 2, 3], \"name\": \"WallLayer\", \"type\": \"tilelayer\", \"visible\": true},"
                  "7,"
                  "{\"data\": \"abcd\", \"name\": \"NotArray\", \"type\": \"tilelayer\", \"visible\": true},"
                  "{\"data\": [1, \"x\", 3, 4], \"name\": 5, \"type\": \"tilelayer\", \"visible\": \"yes\"},"
                  "{\"data\": [1, 1, 1, 1], \"name\": \"Fine\", \"type\": \"tilelayer\", \"visible\": true}],"
                  "\"numOfTileSets\": 3, \"tilesets\": [{\"firstgid\": 1}, 5, "
                  "{\"firstgid\": 1, \"source\": \"../tilesets/Floors.json\"}]}");
    std::string out;
    TileMap* map = Load("Bad", &out);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->layerCount, 5);
    // The short layer: three cells walled (and drawn), the fourth empty, one trace line.
    EXPECT_EQ(map->layers[0].data, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_TRUE(system->IsWall(0, 0) && system->IsWall(0, 1) && system->IsWall(1, 0));
    EXPECT_FALSE(system->IsWall(1, 1));
    const std::string shortLine = "holds 3 gids but the map has 4 cells; the rest are empty";
    EXPECT_TRUE(Contains(out, shortLine) && out.find(shortLine) == out.rfind(shortLine)) << out;
    EXPECT_TRUE(map->layers[1].data.empty());
    EXPECT_TRUE(map->layers[2].data.empty());
    EXPECT_EQ(map->layers[3].data, (std::vector<std::int32_t>{1, 0, 3, 4}));
    EXPECT_TRUE(map->layers[3].name.empty());
    EXPECT_FALSE(map->layers[3].visible);
    EXPECT_EQ(map->layers[4].name, "Fine");
    // The entry without "source" or tiles stays, drawing nothing; the one that is no object is skipped.
    EXPECT_EQ(map->tilesets.size(), 2u);
    EXPECT_TRUE(Contains(out, "has no \"source\" file and no tiles of its own")) << out;
    EXPECT_TRUE(Contains(out, "tileset 1 is not an object; skipped")) << out;

    // A map that claims a million cells a side keeps only the gids its file holds.
    scratch->Data("tilemaps/Huge.json", Map(1000000, 1000000, 2, {Layer(1, "WallLayer", {1, 0, 1})}, kTwoTilesets, 2));
    TileMap* huge = Load("Huge", &out);
    ASSERT_NE(huge, nullptr);
    EXPECT_EQ(huge->layers[0].data.size(), 3u);
    EXPECT_TRUE(system->IsWall(0, 2));
}

TEST_F(TileMapTest, SizesOfZeroOrWrongTypeDrawNothing)
{
    scratch->Data("tilemaps/Flat.json", Map(0, 3, 2, {Layer(1, "FloorLayer", {})}, kTwoTilesets, 2));
    scratch->Data("tilemaps/Words.json",
                  "{\"width\": \"three\", \"height\": 2, \"nextlayerid\": 1, \"layers\": [], \"numOfTileSets\": 0,"
                  " \"tilesets\": []}");
    std::string out;
    TileMap* flat = Load("Flat", &out);
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(flat->width, 0);
    EXPECT_TRUE(Contains(out, "draws nothing")) << out;
    TileMap* words = Load("Words", &out);
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(words->width, 0);
    EXPECT_TRUE(Contains(out, "\"width\" is missing or not a whole number")) << out;
}

TEST_F(TileMapTest, BadTilesetsAreTracedAndDrawNothing)
{
    scratch->Data("tilesets/NoColumns.json", TilesetFile("NoColumns", 0, 4));
    scratch->Data("tilesets/Huge.json", TilesetFile("Huge", 10, 5000));
    scratch->Data("tilesets/ShortImage.json",
                  "{\"columns\": 2, \"tilecount\": 2, \"name\": \"S\", \"image\": \"../textures/\"}");
    scratch->Data("tilesets/Broken.json", "{\"columns\": 2,");

    Tileset* tileset = nullptr;
    std::string out = CaptureConsole([&] { tileset = system->LoadTileset("../tilesets/NoColumns.json"); });
    EXPECT_TRUE(Contains(out, "\"columns\" is 0")) << out;
    EXPECT_EQ(tileset->entries[1], std::make_pair(-1, -1));
    delete tileset;

    out = CaptureConsole([&] { tileset = system->LoadTileset("../tilesets/Huge.json"); });
    EXPECT_TRUE(Contains(out, "only the first 1023 are used")) << out;
    EXPECT_EQ(tileset->entries[1023], std::make_pair(2, 102));
    delete tileset;

    out = CaptureConsole([&] { tileset = system->LoadTileset("../tilesets/ShortImage.json"); });
    EXPECT_TRUE(Contains(out, "names no file; its tiles have no texture")) << out;
    EXPECT_EQ(tileset->texture, nullptr);
    EXPECT_EQ(tileset->entries[2], std::make_pair(1, 0));
    delete tileset;

    out = CaptureConsole([&] { tileset = system->LoadTileset("../tilesets/Broken.json"); });
    EXPECT_TRUE(Contains(out, "Broken wasn't opened...")) << out;
    delete tileset;

    out = CaptureConsole([&] { tileset = system->LoadTileset("../tilesets/Absent.json"); });
    EXPECT_TRUE(Contains(out, "Absent wasn't opened...")) << out;
    EXPECT_EQ(tileset->columns, 0);
    delete tileset;

    out = CaptureConsole([&] { tileset = system->LoadTileset("../tilesets/"); });
    EXPECT_TRUE(Contains(out, "names no file")) << out;
    delete tileset;
}

TEST_F(TileMapTest, DisplayPicksTheFirstMapOfThatNameAndIgnoresUnknownNames)
{
    scratch->Data("tilemaps/Small.json", Map(1, 1, 2, {Layer(1, "FloorLayer", {1})}, kTwoTilesets, 2));
    Load("Small");
    Load("Small");
    ASSERT_EQ(system->GetMaps().size(), 2u);
    {
        Owned m(TextMessage("DisplayTileMap", "Other", system));
        system->HandleMessage(m.message);
    }
    EXPECT_EQ(system->GetDisplayedMap(), nullptr);
    {
        Owned m(TextMessage("DisplayTileMap", "Small", system));
        system->HandleMessage(m.message);
    }
    EXPECT_EQ(system->GetDisplayedMap(), system->GetMaps()[0]);
    EXPECT_TRUE(system->GetMaps()[0]->displayed);
    EXPECT_FALSE(system->GetMaps()[1]->displayed);
    // Without a window nothing is queued and nothing breaks.
    system->Draw();
}

TEST_F(TileMapTest, WallLayerFillsTheGridAndUnloadClearsIt)
{
    // Width 102: the grid widens to the map's 102 columns (and stays 100 rows tall).
    std::vector<int> walls(102 * 2, 0);
    walls[0] = 5;            // row 0, column 0
    walls[102 + 3] = 1;      // row 1, column 3
    walls[101] = 8;          // row 0, column 101
    scratch->Data("tilemaps/Walls.json",
                  Map(102, 2, 2, {Layer(1, "WallLayer", walls)}, kTwoTilesets, 2));
    Load("Walls");
    EXPECT_TRUE(system->IsWall(0, 0));
    EXPECT_TRUE(system->IsWall(1, 3));
    EXPECT_FALSE(system->IsWall(0, 1));
    EXPECT_FALSE(system->IsWall(0, 99));
    EXPECT_FALSE(system->IsWall(-1, 0));
    EXPECT_TRUE(system->IsWall(0, 101));
    EXPECT_FALSE(system->IsWall(0, 102));
    EXPECT_EQ(system->GetGridWidth(), 102);
    EXPECT_EQ(system->GetGridHeight(), 100);

    Owned unload(new Message("UnloadTileMap", system, nullptr, MessageType::None));
    system->HandleMessage(unload.message);
    EXPECT_FALSE(system->IsWall(0, 0));
    EXPECT_FALSE(system->IsWall(1, 3));

    // A map loaded after it keeps only its own walls.
    scratch->Data("tilemaps/Other.json", Map(2, 2, 2, {Layer(1, "WallLayer", {0, 0, 0, 1})}, kTwoTilesets, 2));
    Load("Other");
    EXPECT_TRUE(system->IsWall(1, 1));
    EXPECT_FALSE(system->IsWall(0, 0));
}

// Layer data as Tiled writes it, good and broken: each row's 2 x 2 "WallLayer" gives its gids (the
// flag bits kept) and the trace line a designer reads; nothing breaks.
TEST_F(TileMapTest, LayerEncodingsDecodeOrAreTracedAsEmpty)
{
    const std::vector<std::int32_t> four = {1, 2, 3, static_cast<std::int32_t>(0x80000001u)};
    struct Row {
        const char* fields; // the layer's data members
        std::vector<std::int32_t> gids;
        const char* trace;  // "" for none
    };
    const Row rows[] = {
        {R"("data": [1, 2, 3, 2147483649])", four, ""},
        {R"("encoding": "csv", "data": [1, 2, 3, 2147483649])", four, ""},
        {R"("data": [1, 2, "x", 2147483649])", {1, 2, 0, four[3]},
         "the cell at column 0, row 1 holds no tile number; drawn as empty"},
        {R"("encoding": "base64", "data": "AQAAAAIAAAADAAAAAQAAgA==")", four, ""},
        {R"("encoding": "base64", "compression": "zlib", "data": "eJxjZGBgYAJiZiBmZGBoAAAA1ACI")", four, ""},
        {R"("encoding": "base64", "compression": "zstd", "data": "KLUv/QRYgQAAAQAAAAIAAAADAAAAAQAAgGUIfT8=")", four,
         ""},
        {R"("encoding": "base64", "data": "AQAA*AIA")", {}, "is not valid base64; the layer is empty"},
        {R"("encoding": "base64", "data": "AQAAAAIA")", {}, "6 bytes, not whole 4-byte gids"},
        {R"("encoding": "base64", "compression": "zlib", "data": "eJxjZGBgYAJiZiBmZGBo")", {},
         "the compressed data is cut short; the layer is empty"},
        {R"("encoding": "base64", "compression": "gzip", "data": "H4sIAAAAAAACA2NkYGBgAmJmIGZkYGg=")", {},
         "the compressed data is cut short"},
        {R"("encoding": "base64", "compression": "zstd", "data": "KLUv/QRYgQAAAQAAAAIAAAADAAAAAQAA")", {},
         "the compressed data is cut short"},
        {R"("encoding": "base64", "compression": "zlib", "data": "eJxjZGBgYAJiZiBmZGBoYETjAwAKGAEP")", four,
         "holds more gids than the map's 4 cells; the rest are dropped"},
        {R"("encoding": "base64", "compression": "zstd", "data": "KLUv/QRYtQAAgAEAAAACAAAAAwAAAAEAAIABAAafSxuhjHg=")",
         four, "the rest are dropped"},
        {R"("encoding": "base64", "compression": "zlib", "data": "eJxjZGBgYAJiAAAYAAQ=")", {1, 2},
         "holds 2 gids but the map has 4 cells; the rest are empty"},
        {R"("encoding": "base64", "compression": "zlib", "data": "AAAAAAAA")", {}, "the compressed data is damaged"},
        {R"("encoding": "base64", "compression": "lzma", "data": "AAAA")", {}, "\"lzma\" is not read"},
        {R"("encoding": "base64", "data": [1, 2, 3, 4])", {}, "base64 \"data\" is missing or not text"},
        {R"("encoding": "xml", "data": [1, 2, 3, 4])", {}, "encoding \"xml\" is not read"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fields);
        scratch->Data("tilemaps/Encoded.json",
                      Map(2, 2, 2, {std::string("{") + row.fields +
                                    R"(, "name": "WallLayer", "type": "tilelayer", "visible": true})"},
                          kTwoTilesets, 2));
        std::string out;
        TileMap* map = Load("Encoded", &out);
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(map->layers[0].data, row.gids);
        EXPECT_TRUE(*row.trace ? Contains(out, row.trace) : out.empty()) << out;
        // The flipped gid is looked up as tile 1.
        EXPECT_TRUE(map->FindTile(four[3], nullptr, nullptr, nullptr));
        EXPECT_EQ(system->IsWall(1, 1), row.gids.size() == 4u);
        Owned unload(new Message("UnloadTileMap", system, nullptr, MessageType::None));
        system->HandleMessage(unload.message);
    }
}

// What a designer may save that the game can't use says so in one line each.
TEST_F(TileMapTest, WhatIsNotDrawnIsTracedInADesignersWords)
{
    struct Row {
        const char* map; // file text; "" when the map is not written
        const char* trace;
    };
    const std::string tile = R"({"data": [1, 0, 0, 1], "name": "WallLayer", "type": "tilelayer", "visible": true})";
    const std::string flipped = R"({"data": [2147483649, 1073741825, 536870913, 3758096385], "name": "WallLayer",)"
                                R"( "type": "tilelayer", "visible": true})";
    const std::string chunked = R"({"width": 2, "height": 2, "infinite": true, "nextlayerid": 2, "tilesets": )" +
                                kTwoTilesets +
                                R"(, "layers": [{"name": "WallLayer", "type": "tilelayer", "visible": true, "chunks": )";
    const std::string wall = R"({"data": [1, 0, 0, 1], "name": "WallLayer", "type": "tilelayer", "visible": true, )";
    const std::string embedded = R"([{"firstgid": 1, "columns": 2, "tilecount": 4, "name": "Props", )";
    struct Case {
        std::string map; // file text; "" when only a TMX file is there
        std::string trace; // "" for none
        bool walled;     // cell (0, 0) is a wall afterwards
        bool whole = false; // the trace is the whole output, one line
        bool tmxNewer = false; // a TMX file newer than the map lies beside it
    };
    const Case rows[] = {
        {Map(2, 2, 3, {R"({"name": "Spawns", "type": "objectgroup", "visible": true, "objects": []})", tile},
             kTwoTilesets, 2),
         "Map \"Case\": object layer \"Spawns\" is not drawn", true},
        {Map(2, 2, 2, {R"({"name": "Sky", "type": "imagelayer", "visible": true, "image": "sky.png"})"}, kTwoTilesets,
             2),
         "image layer \"Sky\" is not drawn", false},
        {Map(2, 2, 2, {Layer(1, "Walls", {1, 1, 1, 1})}, kTwoTilesets, 2),
         "Map \"Case\" has no layer named \"WallLayer\"; nothing in it blocks the player", false},
        {Map(2, 2, 2, {flipped}, kTwoTilesets, 2), "", true}, // flipped tiles: walls
        {Map(2, 2, 2, {flipped}, "[]", 0),
         "Map \"Case\" layer \"WallLayer\": 4 cells hold a tile number that no tileset has (the first at column 0, "
         "row 0: 1); they are empty: not drawn and not blocking",
         false, true},
        {Map(2, 2, 2, {Layer(1, "WallLayer", {9, 0, 200, 1})}, kTwoTilesets, 2),
         "Map \"Case\" layer \"WallLayer\": 2 cells hold a tile number that no tileset has (the first at column 0, "
         "row 0: 9); they are empty: not drawn and not blocking",
         false, true},
        {Map(2, 2, 2, {Layer(1, "WallLayer", {1, 0, 0, 1}, false)}, kTwoTilesets, 2),
         "Map \"Case\": layer \"WallLayer\" is hidden; its tiles are not drawn, but they still block the player", true,
         true},
        {Map(2, 2, 2, {Layer(1, "WallLayer", {1, 0, 0, 1})}, kTwoTilesets, 2),
         "Map \"Case\": \"tilemaps/Case.tmx\" is newer than \"tilemaps/Case.json\", which is the one read: export the "
         "map as JSON again (File > Export As, \"JSON map files\")",
         true, true, true},
        {Map(2, 2, 2, {wall + R"("tintcolor": "#ff8000"})"}, kTwoTilesets, 2),
         "Map \"Case\" layer \"WallLayer\": its tint colour #ff8000 is not drawn; its tiles show their own colours", true,
         true},
        {Map(2, 2, 2, {wall + R"("parallaxx": 0.5})"}, kTwoTilesets, 2),
         "Map \"Case\" layer \"WallLayer\": its parallax factors (0.5, 1) are not drawn; it scrolls with the map", true,
         true},
        {Map(2, 2, 2, {tile},
             embedded + R"("image": "../../textures/Props.png", "tiles": [{"id": 0, "animation": [{"tileid": 0, )"
                        R"("duration": 100}, {"tileid": 1, "duration": 100}]}]}])",
             1),
         "Map \"Case\" tileset \"Props\": its 1 tile animation is not played; each such tile shows its own still image",
         true, true},
        {Map(2, 2, 2, {tile},
             R"([{"firstgid": 1, "columns": 0, "tilecount": 2, "name": "Props", "tiles": [{"id": 0, "image": "a.png"}, )"
             R"({"id": 1, "image": "b.png"}]}])",
             1),
         "Map \"Case\" tileset \"Props\" is a collection of images (a picture per tile), which is not drawn: its tiles "
         "draw nothing (in \"WallLayer\" they still block); make it from one image (\"Based on Tileset Image\")",
         true, true},
        {Map(2, 2, 2, {tile}, R"([{"firstgid": 1, "source": "../tilesets/HouseTile.json"}])", 1),
         "HouseTile wasn't opened... Map \"Case\" names the tileset \"../tilesets/HouseTile.json\", and "
         "\"tilesets/HouseTile.json\" is not there: its tiles are not drawn, but in \"WallLayer\" they still block the "
         "player",
         true, true},
        {Map(2, 2, 2, {tile}, embedded + R"("image": "../../textures/Props.png", "tileoffset": {"x": 0, "y": 4}}])", 1),
         "Map \"Case\" tileset \"Props\": its tile offset (0, 4) is not drawn; its tiles sit in their cells", true,
         true},
        {"{\"orientation\": \"isometric\", " + Map(2, 2, 2, {tile}, kTwoTilesets, 2).substr(1),
         "Map \"Case\": its orientation \"isometric\" is not drawn; the map is drawn as an orthogonal one", true, true},
        {"{\"renderorder\": \"left-up\", " + Map(2, 2, 2, {tile}, kTwoTilesets, 2).substr(1),
         "Map \"Case\": its tile render order \"left-up\" is not followed; each layer's tiles are drawn right-down",
         true, true},
        {Map(2, 2, 2, {tile, Layer(2, "Extra", {1, 1, 1, 1})}, kTwoTilesets, 2),
         "Map \"Case\": \"layers\" holds 2 entries but \"nextlayerid\" is 2, so only the first 1 is read; not read: "
         "\"Extra\"",
         true, true},
        // Layers that would hold more cells than a map may: refused before any is decoded.
        {Map(4096, 4096, 6,
             std::vector<std::string>(5, R"({"name": "WallLayer", "type": "tilelayer", "visible": true, )"
                                         R"("encoding": "base64", "data": ""})"),
             kTwoTilesets, 2),
         "Map \"Case\": its tile layers hold more than 67108864 cells together (layer \"WallLayer\" is the first past "
         "that, at 4096 x 4096 cells a layer); the map is not loaded: make it smaller or use fewer layers",
         false, true},
        {Map(2, 2, 2, {tile}, R"([{"firstgid": 1, "source": "../tilesets/Walls.tsx"}])", 1),
         "Walls wasn't opened... the map names \"../tilesets/Walls.tsx\", a tileset saved as TSX: save the tileset "
         "as JSON", true},
        {chunked + R"([{"x": 0, "y": 0, "width": -4, "height": 4, "data": []}]}]})", "the infinite map has no chunks",
         false},
        {chunked + R"([{"x": 0, "y": 0, "width": 2, "height": 2, "data": [1, 1, 1, 1]},)"
                   R"( {"x": 1000000000, "y": 0, "width": 2, "height": 2, "data": [1]}]}]})",
         "a chunk at (1000000000, 0) of 2 x 2 cells lies outside any map; skipped", true},
        {chunked + R"([{"x": -2, "y": -2, "width": 2, "height": 2, "data": [1, 1, 1]}]}]})",
         "the chunk at (-2, -2) holds fewer gids than its 2 x 2 cells; the rest are empty", true},
        {R"({"width": 2, "height": 2, "infinite": true, "nextlayerid": 2, "tilesets": [], "layers": [{"name": )"
         R"("WallLayer", "type": "tilelayer", "visible": true, "encoding": "base64", "chunks": [{"x": 0, "y": 0, )"
         R"("width": 2, "height": 2, "data": "!"}]}]})",
         "is not valid base64", false},
        {"", "Map, \"Case\", was not found! \"tilemaps/Case.tmx\" is there, a map saved as TMX: save the map as JSON",
         false},
    };
    for (const Case& row : rows) {
        SCOPED_TRACE(row.trace);
        Owned unload(new Message("UnloadTileMap", system, nullptr, MessageType::None));
        system->HandleMessage(unload.message);
        std::filesystem::remove("assets/data/tilemaps/Case.json");
        std::filesystem::remove("assets/data/tilemaps/Case.tmx");
        if (row.map.empty() || row.tmxNewer)
            scratch->Data("tilemaps/Case.tmx", "<map/>");
        if (!row.map.empty())
            scratch->Data("tilemaps/Case.json", row.map);
        if (row.tmxNewer)
            std::filesystem::last_write_time("assets/data/tilemaps/Case.json",
                                             std::filesystem::last_write_time("assets/data/tilemaps/Case.tmx") -
                                                 std::chrono::seconds(10));
        std::string out;
        TileMap* map = Load("Case", &out);
        ASSERT_NE(map, nullptr);
        if (row.whole)
            EXPECT_EQ(out, row.trace + "\n");
        else
            EXPECT_TRUE(row.trace.empty() ? out.empty() : Contains(out, row.trace)) << out;
        EXPECT_EQ(system->IsWall(0, 0), row.walled);
        if (map->tilesets.empty() && map->layerCount > 0 && !map->layers[0].data.empty()) {
            EXPECT_FALSE(map->FindTile(map->layers[0].data[0], nullptr, nullptr, nullptr));
        }
    }
}

// A map larger than 100 x 100: its walls are all kept, and the camera's far bounds follow its size.
TEST_F(TileMapTest, ALargeMapWidensTheWallGridAndTheCameraBounds)
{
    CoreEngine core;
    system->Init();
    std::vector<int> walls(150 * 120, 0);
    walls.back() = 8; // row 119, column 149
    scratch->Data("tilemaps/Large.json", Map(150, 120, 2, {Layer(1, "WallLayer", walls)}, kTwoTilesets, 2));
    Load("Large");
    Load("Absent"); // a map of no size after it leaves the grid as large
    core.Deliver();
    std::vector<std::array<float, 4>> bounds;
    for (const SeenMessage& seen : core.recorder->seen)
        if (seen.name == "SetCameraBounds")
            bounds.push_back(seen.vector);
    const std::vector<std::array<float, 4>> expected = {{100.0f, 100.0f, -100.0f, -100.0f},
                                                        {150.0f, 120.0f, -100.0f, -100.0f}};
    EXPECT_EQ(bounds, expected);
    EXPECT_TRUE(system->IsWall(119, 149));
    EXPECT_EQ(system->GetGridRowOrigin(), -1);
    EXPECT_EQ(system->GetGridWidth(), 150);
    EXPECT_EQ(system->GetGridHeight(), 120);
}

TEST_F(TileMapTest, DisablingTraces)
{
    std::string out = CaptureConsole([&] { system->OnDisable(); });
    EXPECT_TRUE(Contains(out, "TileMapSystem has been disabled...")) << out;
}

// ---- The wall test ------------------------------------------------------------------------------------

class WallTest : public TileMapTest {
protected:
    void SetUp() override
    {
        TileMapTest::SetUp();
        // 10 x 10, a wall column at x = 6 (rows 0..9), floor elsewhere. Row origin 9.
        std::vector<int> walls(100, 0);
        for (int row = 0; row < 10; ++row)
            walls[static_cast<std::size_t>(row * 10 + 6)] = 7;
        scratch->Data("tilemaps/Room.json", Map(10, 10, 2, {Layer(1, "WallLayer", walls)}, kTwoTilesets, 2));
        Load("Room");
        manager = new GameObjectManager();
        manager->Init();
        player = MakeMover("Player", 4.5f, 4.5f, true);
        CaptureConsole([&] { manager->AddGameObject(player); });
        system->SetPlayer(player);
    }
    void TearDown() override
    {
        delete manager; // and the player
        TileMapTest::TearDown();
    }
    Physics* physics() { return player->GetPhysics(); }
    Transform* transform() { return player->GetTransform(); }
    GameObjectManager* manager = nullptr;
    GameObject* player = nullptr;
};

TEST_F(WallTest, WalkingIntoAWallSetsTheRightBitAndTheNextPhysicsUpdateStops)
{
    const float dt = 0.1f;
    // Free cells: nothing is set.
    system->Update(dt);
    EXPECT_EQ(physics()->GetSideBits(), 0);

    // Step right: the right corners reach column 6, the wall.
    transform()->SetTranslation(5.2f, 4.5f);
    system->Update(dt);
    EXPECT_EQ(physics()->GetSideBits(), BLOCKED_RIGHT);

    // The next physics update keeps the object from moving further right.
    physics()->SetVelocity(3.0f, 0.0f);
    physics()->Update(dt);
    EXPECT_FLOAT_EQ(physics()->VelocityX, 0.0f);
    EXPECT_FLOAT_EQ(transform()->TranslationX, 5.2f);
    EXPECT_EQ(physics()->GetLastSideBits(), BLOCKED_RIGHT);

    // Moving left is still allowed, and away from the wall nothing is set.
    transform()->SetTranslation(4.2f, 4.5f);
    system->Update(dt);
    EXPECT_EQ(physics()->GetSideBits(), 0);
    physics()->SetVelocity(-1.0f, 0.0f);
    physics()->Update(dt);
    EXPECT_LT(transform()->TranslationX, 4.2f);
}

TEST_F(WallTest, AStoppedCornerStaysAnchoredToItsFreeCell)
{
    system->Update(0.1f);
    transform()->SetTranslation(5.2f, 4.5f);
    system->Update(0.1f);
    EXPECT_EQ(physics()->GetSideBits(), BLOCKED_RIGHT);
    physics()->Update(0.1f);
    // Still inside the wall next frame: the last cell is still the free one, so it is blocked again.
    system->Update(0.1f);
    EXPECT_EQ(physics()->GetSideBits(), BLOCKED_RIGHT);
}

TEST_F(WallTest, WallsBelowSetTheBelowBit)
{
    // A floor of walls at row 9 (y = 0); the player walks down onto it.
    std::vector<int> walls(100, 0);
    for (int column = 0; column < 10; ++column)
        walls[static_cast<std::size_t>(90 + column)] = 7;
    Owned unload(new Message("UnloadTileMap", system, nullptr, MessageType::None));
    system->HandleMessage(unload.message);
    scratch->Data("tilemaps/Floor.json", Map(10, 10, 2, {Layer(1, "WallLayer", walls)}, kTwoTilesets, 2));
    Load("Floor");
    system->SetPlayer(nullptr);
    system->SetPlayer(player);
    transform()->SetTranslation(2.5f, 1.5f);
    system->Update(0.1f);
    EXPECT_EQ(physics()->GetSideBits(), 0);
    transform()->SetTranslation(2.5f, 0.8f);
    system->Update(0.1f);
    EXPECT_EQ(physics()->GetSideBits(), BLOCKED_BELOW);
}

TEST_F(WallTest, FlippedWallTilesBlockWhereTheyAreDrawn)
{
    // The wall column of gid 7 again, each time flipped another way (Tiled's three high bits).
    for (const std::uint32_t flags : {0x80000000u, 0x40000000u, 0x20000000u, 0xE0000000u}) {
        std::string gids;
        for (int k = 0; k < 100; ++k)
            gids += (k ? "," : "") + std::to_string(k % 10 == 6 ? (7u | flags) : 0u);
        scratch->Data("tilemaps/Flipped.json",
                      Map(10, 10, 2, {"{\"data\": [" + gids + "], \"name\": \"WallLayer\", \"type\": \"tilelayer\","
                                      " \"visible\": true}"}, kTwoTilesets, 2));
        Owned unload(new Message("UnloadTileMap", system, nullptr, MessageType::None));
        system->HandleMessage(unload.message);
        std::string out;
        Load("Flipped", &out);
        EXPECT_FALSE(Contains(out, "holds no tile number")) << out;
        system->SetPlayer(nullptr);
        system->SetPlayer(player);
        transform()->SetTranslation(4.5f, 4.5f);
        system->Update(0.1f);
        transform()->SetTranslation(5.2f, 4.5f);
        system->Update(0.1f);
        EXPECT_EQ(physics()->GetSideBits(), BLOCKED_RIGHT) << std::hex << flags;
        physics()->Update(0.1f);
    }
}

// The player is deleted and a new object is built where it lay, next to the wall: the wall test must
// not block the newcomer, which the tile map was never given.
TEST_F(WallTest, NoPlayerOrADeletedOneIsLeftAloneEvenWhenItsAddressIsReused)
{
    system->SetPlayer(nullptr);
    system->Update(0.1f);
    EXPECT_EQ(system->GetPlayer(), nullptr);

    system->SetPlayer(player);
    EXPECT_EQ(system->GetPlayer(), player);
    const void* freed = player;
    CaptureConsole([&] { manager->ClearGameObjects(); });
    player = BuildAtAddress(freed, [] { return MakeMover("Box", 5.2f, 4.5f, true); });
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(static_cast<const void*>(player), freed) << "the probe needs the old address";
#endif
    CaptureConsole([&] { manager->AddGameObject(player); });
    EXPECT_EQ(system->GetPlayer(), nullptr);
    system->Update(0.1f);
    EXPECT_EQ(physics()->GetSideBits(), 0) << "the newcomer stands in the wall unblocked";

    // Given the newcomer, the wall test blocks it as it steps in.
    system->SetPlayer(player);
    transform()->SetTranslation(4.5f, 4.5f);
    system->Update(0.1f);
    transform()->SetTranslation(5.2f, 4.5f);
    system->Update(0.1f);
    EXPECT_EQ(physics()->GetSideBits(), BLOCKED_RIGHT);
}

TEST_F(WallTest, InitTakesThePlayerFromThePlayerSource)
{
    static GameObject* source = nullptr;
    source = player;
    TileMapPlayerHook = [] { return source; };
    system->SetPlayer(nullptr);
    system->Init();
    EXPECT_EQ(system->GetPlayer(), player);
    TileMapPlayerHook = nullptr;
}

// ---- The shipped map ------------------------------------------------------------------------------------

namespace {

bool ReadJson(const std::string& path, rapidjson::Document& document)
{
    document.Parse(ReadFile(path).c_str());
    return !document.HasParseError();
}

} // namespace

TEST(ShippedTileMap, IsPlainTiledJsonWithExternalTilesetsAndTheTilesetCount)
{
    rapidjson::Document map;
    ASSERT_TRUE(ReadJson("assets/data/tilemaps/LivingRoom.json", map));
    ASSERT_TRUE(map.IsObject());
    EXPECT_STREQ(map["type"].GetString(), "map");
    EXPECT_STREQ(map["orientation"].GetString(), "orthogonal");
    EXPECT_FALSE(map["infinite"].GetBool());
    const int width = map["width"].GetInt();
    const int height = map["height"].GetInt();
    EXPECT_GE(width, 44);
    EXPECT_GE(height, 28);
    ASSERT_TRUE(map["layers"].IsArray());
    EXPECT_EQ(map["nextlayerid"].GetInt() - 1, static_cast<int>(map["layers"].Size()));
    bool hasWalls = false;
    for (const auto& layer : map["layers"].GetArray()) {
        EXPECT_STREQ(layer["type"].GetString(), "tilelayer");
        EXPECT_FALSE(layer.HasMember("encoding")) << "tile data must be a plain array";
        ASSERT_TRUE(layer["data"].IsArray());
        EXPECT_EQ(static_cast<int>(layer["data"].Size()), width * height);
        for (const auto& gid : layer["data"].GetArray())
            ASSERT_TRUE(gid.IsInt());
        EXPECT_TRUE(layer.HasMember("id"));
        hasWalls = hasWalls || std::string(layer["name"].GetString()) == "WallLayer";
    }
    EXPECT_TRUE(hasWalls);

    ASSERT_TRUE(map["tilesets"].IsArray());
    EXPECT_EQ(map["numOfTileSets"].GetInt(), static_cast<int>(map["tilesets"].Size()));
    int expectedFirst = 1;
    for (const auto& entry : map["tilesets"].GetArray()) {
        EXPECT_EQ(entry.MemberCount(), 2u) << "external tilesets only";
        EXPECT_EQ(entry["firstgid"].GetInt(), expectedFirst);
        expectedFirst += 100;
        const std::string source = entry["source"].GetString();
        EXPECT_EQ(source.find('\\'), std::string::npos);
        ASSERT_EQ(source.rfind("../tilesets/", 0), 0u) << source;
        rapidjson::Document tileset;
        ASSERT_TRUE(ReadJson("assets/data/tilemaps/" + source, tileset)) << source;
        EXPECT_STREQ(tileset["type"].GetString(), "tileset");
        const std::string image = tileset["image"].GetString();
        EXPECT_EQ(image.find('\\'), std::string::npos);
        ASSERT_EQ(image.rfind("../../textures/", 0), 0u) << image;
        EXPECT_TRUE(fs::exists("assets/data/tilesets/" + image)) << image;
        EXPECT_LE(tileset["tilecount"].GetInt(), 99);
        EXPECT_EQ(tileset["tilecount"].GetInt() % tileset["columns"].GetInt(), 0);
        // The texture's frame layout matches the tileset's grid.
        const std::string textureName = image.substr(15, image.size() - 19);
        rapidjson::Document texture;
        ASSERT_TRUE(ReadJson("assets/data/textures/" + textureName + ".json", texture)) << textureName;
        EXPECT_EQ(texture["numCols"].GetInt(), tileset["columns"].GetInt());
        EXPECT_EQ(texture["numRows"].GetInt(), tileset["tilecount"].GetInt() / tileset["columns"].GetInt());
    }
}

TEST(ShippedTileMap, LoadsWithoutComplaintsAndTheDeveloperPointsAreFree)
{
    TraceReset();
    TileMapSystem* system = nullptr;
    CaptureConsole([&] { system = new TileMapSystem(); });
    Message* load = TextMessage("LoadTileMap", "LivingRoom", system);
    std::string out = CaptureConsole([&] { system->HandleMessage(load); });
    delete load;
    EXPECT_TRUE(out.empty()) << out;
    ASSERT_EQ(system->GetMaps().size(), 1u);
    TileMap* map = system->GetMaps()[0];
    ASSERT_EQ(map->tilesets.size(), 2u);
    EXPECT_EQ(map->layerCount, 4);
    for (const Tileset* tileset : {map->tilesets[0].get(), map->tilesets[1].get()}) {
        EXPECT_GT(tileset->columns, 0);
        EXPECT_GT(tileset->tilecount, 0);
    }
    // The points the developer keys jump to, and the cells the player's corners take there.
    for (auto [x, y] : {std::pair{5.0f, 13.0f}, std::pair{36.25f, 13.5f}, std::pair{43.0f, 26.5f}}) {
        EXPECT_LT(x, map->width - 0.5f);
        EXPECT_LT(y, map->height - 0.5f);
        const int column = static_cast<int>(x);
        const int row = system->GetGridRowOrigin() - static_cast<int>(y);
        for (int dr = -2; dr <= 1; ++dr)
            for (int dc = -1; dc <= 2; ++dc)
                EXPECT_FALSE(system->IsWall(row + dr, column + dc)) << x << ", " << y;
    }
    CaptureConsole([&] { delete system; });
}
