// Stream field readers: typed reads, report lines, defaults for missing, wrong-typed and out-of-range
// values, tileset and tile-map lookups, and stored values read with ReadData.
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include "FolderTest.h"
#include "core/Stream.h"
#include "core/Trace.h"

using namespace testsupport;

namespace {

class StreamReaderTest : public FolderTest {
protected:
    void Write(const std::string& relative, const std::string& content) { folder.Write(relative, content); }
    // A mode-0 stream over the given JSON.
    Stream& Data(const std::string& json)
    {
        Write("assets/data/test.json", json);
        stream_ = std::make_unique<Stream>("test", StreamMode_Data, false);
        return *stream_;
    }
    static void Capture() { testing::internal::CaptureStdout(); }
    static std::string Captured() { return testing::internal::GetCapturedStdout(); }

    std::unique_ptr<Stream> stream_;
};

const char* const kDoc = R"({
    "speed": 4,
    "big": 3000000000,
    "ratio": 2.5,
    "alive": true,
    "dead": false,
    "title": "Dustrun",
    "Player": {"Lives": 3, "Scale": 1.5, "Name": "Pemmet", "Visible": true},
    "NotObject": 12,
    "Items": [{"n": 1, "f": 0.25, "s": "one", "b": true, "list": ["a", "b"]},
              {"n": 2, "f": 7, "s": "two", "b": 1},
              {"b": 0}, {"b": -3}, {"b": false}, 5],
    "FogColor": [0.1, 0.2, 0.3, 1],
    "Treasure": [[1, 2], [3.5, 4]],
    "Camera": {"Bounds": [10, 20.5]},
    "Ints": [1, 2, 3],
    "Floats": [1, 2.5, -3],
    "Names": ["a", "b"],
    "Points": [[1, 2], [3.5, -4]]
})";

} // namespace

TEST_F(StreamReaderTest, TypedRootReads)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_EQ(s.ReadInt("speed"), 4);
    EXPECT_FLOAT_EQ(s.ReadFloat("ratio"), 2.5f);
    EXPECT_FLOAT_EQ(s.ReadFloat("speed"), 4.0f);  // any number reads as a float
    EXPECT_FLOAT_EQ(s.ReadFloat("big"), 3.0e9f);
    EXPECT_TRUE(s.ReadBool("alive"));
    EXPECT_FALSE(s.ReadBool("dead"));
    EXPECT_EQ(s.ReadString("title"), "Dustrun");
    EXPECT_EQ(Captured(), "");
}

// Missing root fields and root fields of the wrong type both report as missing and give the default.
struct AbsentRootFields {
    const char* what;
    const char* intKey;
    const char* floatKey;
    const char* boolKey;
    const char* stringKey;
};

class AbsentRootFieldTest : public StreamReaderTest, public ::testing::WithParamInterface<AbsentRootFields> {};

TEST_P(AbsentRootFieldTest, ReportsAndGivesTheDefault)
{
    const AbsentRootFields& keys = GetParam();
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_EQ(s.ReadInt(keys.intKey), 0);
    EXPECT_FLOAT_EQ(s.ReadFloat(keys.floatKey), 0.0f);
    EXPECT_FALSE(s.ReadBool(keys.boolKey));
    EXPECT_EQ(s.ReadString(keys.stringKey), "");
    const auto report = [](const char* key) {
        return "Error! No field exists with name '" + std::string(key) + "'\n";
    };
    EXPECT_EQ(Captured(), report(keys.intKey) + report(keys.floatKey) + report(keys.boolKey) + report(keys.stringKey));
}

INSTANTIATE_TEST_SUITE_P(StreamReaderTest, AbsentRootFieldTest,
                         ::testing::Values(AbsentRootFields{"Missing", "speedy", "nothing", "nothing", "nothing"},
                                           AbsentRootFields{"WrongType", "title", "alive", "speed", "speed"}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(StreamReaderTest, FieldNamesArePrintedLiterally)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_EQ(s.ReadInt("100%s%d"), 0);
    EXPECT_EQ(s.ReadString("Player", "%s%n"), "");
    EXPECT_EQ(s.ReadString("%x", "f"), "");
    EXPECT_EQ(Captured(), "Error! No field exists with name '100%s%d'\n"
                          "Error! Object Player has no field with name '%s%n'\n"
                          "Error! No object exists with name '%x'\n");
}

TEST_F(StreamReaderTest, ObjectReadsAndTheirReports)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_EQ(s.ReadInt("Player", "Lives"), 3);
    EXPECT_FLOAT_EQ(s.ReadFloat("Player", "Scale"), 1.5f);
    EXPECT_EQ(s.ReadString("Player", "Name"), "Pemmet");
    EXPECT_TRUE(s.ReadBool("Player", "Visible"));
    EXPECT_EQ(Captured(), "");

    Capture();
    EXPECT_EQ(s.ReadInt("Ghost", "Lives"), 0);
    EXPECT_EQ(s.ReadInt("NotObject", "Lives"), 0);
    EXPECT_EQ(s.ReadInt("Player", "Score"), 0);
    EXPECT_FLOAT_EQ(s.ReadFloat("Ghost", "Scale"), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadFloat("Player", "Size"), 0.0f);
    EXPECT_EQ(s.ReadString("Ghost", "Name"), "");
    EXPECT_EQ(s.ReadString("Player", "Title"), "");
    EXPECT_FALSE(s.ReadBool("NotObject", "Visible"));
    EXPECT_FALSE(s.ReadBool("Player", "Hidden"));
    EXPECT_EQ(Captured(), "ERROR! No object exists with name 'Ghost'\n"
                          "ERROR! No object exists with name 'NotObject'\n"
                          "ERROR! Object has no field exists with name 'Score'\n"
                          "Error! No field exists with name 'Ghost'\n"
                          "Error!  Object has no field with name 'Size'\n"
                          "Error! No object exists with name 'Ghost'\n"
                          "Error! Object Player has no field with name 'Title'\n"
                          "Error! No object exists with name 'NotObject'\n"
                          "Error! Object has no field with name 'Hidden'\n");
}

TEST_F(StreamReaderTest, ArrayElementReads)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_EQ(s.ReadInt("Items", 1, "n"), 2);
    EXPECT_FLOAT_EQ(s.ReadFloat("Items", 0, "f"), 0.25f);
    EXPECT_FLOAT_EQ(s.ReadFloat("Items", 1, "f"), 7.0f);
    EXPECT_EQ(s.ReadString("Items", 1, "s"), "two");
    EXPECT_EQ(s.ReadString("Items", 0, "list", 1), "b");
    EXPECT_EQ(Captured(), "");
}

TEST_F(StreamReaderTest, ArrayElementReadsOutOfRangeOrWrongTypeGiveDefaultsSilently)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_EQ(s.ReadInt("Items", 99, "n"), 0);
    EXPECT_EQ(s.ReadInt("Items", 5, "n"), 0);        // the element is a number, not an object
    EXPECT_EQ(s.ReadInt("Items", 0, "s"), 0);        // a string read as an int
    EXPECT_EQ(s.ReadInt("speed", 0, "n"), 0);        // not an array
    EXPECT_EQ(s.ReadInt("Missing", 0, "n"), 0);
    EXPECT_FLOAT_EQ(s.ReadFloat("Items", 4000000000u, "f"), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadFloat("Items", 0, "s"), 0.0f);
    EXPECT_EQ(s.ReadString("Items", 0, "n"), "");
    EXPECT_EQ(s.ReadString("Items", 0, "list", 2), "");  // sub-index past the end
    EXPECT_EQ(s.ReadString("Items", 0, "s", 0), "");     // sub-index into a string
    EXPECT_EQ(s.ReadString("Items", 7, "s"), "");
    EXPECT_EQ(Captured(), "");
}

TEST_F(StreamReaderTest, ArrayBoolCountsIntegersAboveZero)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_TRUE(s.ReadBool("Items", 0, "b"));   // true
    EXPECT_TRUE(s.ReadBool("Items", 1, "b"));   // 1
    EXPECT_FALSE(s.ReadBool("Items", 2, "b"));  // 0
    EXPECT_FALSE(s.ReadBool("Items", 3, "b"));  // -3
    EXPECT_FALSE(s.ReadBool("Items", 4, "b"));  // false
    EXPECT_EQ(Captured(), "");

    Capture();
    EXPECT_FALSE(s.ReadBool("Items", 1, "flag"));
    EXPECT_FALSE(s.ReadBool("Items", 40, "b"));
    EXPECT_FALSE(s.ReadBool("speed", 0, "b"));
    EXPECT_EQ(Captured(), "Error! No field exists with name 'flag'\n"
                          "Error! No field exists with name 'b'\n"
                          "Error! No field exists with name 'b'\n");
}

TEST_F(StreamReaderTest, IndexedNumberReaders)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_FLOAT_EQ(s.ReadFogColor(1), 0.2f);
    EXPECT_FLOAT_EQ(s.ReadFogColor(3), 1.0f);
    EXPECT_FLOAT_EQ(s.ReadFogColor(4), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadTreasure(1, 0), 3.5f);
    EXPECT_FLOAT_EQ(s.ReadTreasure(0, 1), 2.0f);
    EXPECT_FLOAT_EQ(s.ReadTreasure(2, 0), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadTreasure(0, 2), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadFloatAt("Camera", "Bounds", 1), 20.5f);
    EXPECT_FLOAT_EQ(s.ReadFloatAt("Camera", "Bounds", 2), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadFloatAt("Camera", "Size", 0), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadFloatAt("speed", "Bounds", 0), 0.0f);
    EXPECT_EQ(Captured(), "");

    Data(R"({"Treasure": 5, "FogColor": {"r": 1}})");
    EXPECT_FLOAT_EQ(stream_->ReadTreasure(0, 0), 0.0f);
    EXPECT_FLOAT_EQ(stream_->ReadFogColor(0), 0.0f);
}

TEST_F(StreamReaderTest, ArrayReaders)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_EQ(s.ReadIntArray("Ints"), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(s.ReadFloatArray("Floats"), (std::vector<float>{1.0f, 2.5f, -3.0f}));
    EXPECT_EQ(s.ReadStringArray("Names"), (std::vector<std::string>{"a", "b"}));
    const std::vector<Vector4f> points = s.ReadVector4fArray("Points");
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0], Vector4f(1, 2, 0, 0));
    EXPECT_EQ(points[1], Vector4f(3.5f, -4, 0, 0));
    // Elements of the wrong kind read as their default, in place.
    EXPECT_EQ(s.ReadIntArray("Names"), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(s.ReadStringArray("Ints"), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(s.ReadVector4fArray("Ints").size(), 3u);
    EXPECT_EQ(Captured(), "");

    Capture();
    EXPECT_TRUE(s.ReadIntArray("NoInts").empty());
    EXPECT_TRUE(s.ReadFloatArray("speed").empty());
    EXPECT_EQ(Captured(), "Error! No field exists with name 'NoInts'\n"
                          "Error! No field exists with name 'speed'\n");
}

TEST_F(StreamReaderTest, StringAndVectorArrayReadersReportThroughAssertions)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_TRUE(s.ReadStringArray("NoNames").empty());
    EXPECT_TRUE(s.ReadVector4fArray("NoPoints").empty());
    const std::string out = Captured();
    const std::string first = "Assertion `false` failed.Location: src/Stream Line ";
    std::istringstream lines(out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_TRUE(line.starts_with(first)) << line;
    EXPECT_TRUE(line.ends_with(": Error! No field exists with name 'NoNames'")) << line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_TRUE(line.starts_with(first)) << line;
    EXPECT_TRUE(line.ends_with(": Error! No field exists with name 'NoPoints'")) << line;
    EXPECT_FALSE(std::getline(lines, line));
}

TEST_F(StreamReaderTest, NumberArraysAreReadOnlyFromDataMode)
{
    Write("appdata/Quorvex/PemmetsDustrun/vars.json", R"({"Ints": [1, 2], "Names": ["x"], "Points": [[1, 2]]})");
    Stream s("vars", StreamMode_SaveDir, false);
    Capture();
    EXPECT_TRUE(s.ReadIntArray("Ints").empty());
    EXPECT_TRUE(s.ReadFloatArray("Ints").empty());
    EXPECT_EQ(s.ReadStringArray("Names"), (std::vector<std::string>{"x"}));
    EXPECT_EQ(s.ReadVector4fArray("Points").size(), 1u);
    EXPECT_EQ(Captured(), "");
}

TEST_F(StreamReaderTest, HasMemberAndAssertField)
{
    Stream& s = Data(kDoc);
    Capture();
    EXPECT_TRUE(s.HasMember("speed"));
    EXPECT_FALSE(s.HasMember("nothing"));
    EXPECT_TRUE(s.HasMember("Player", "Lives"));
    EXPECT_FALSE(s.HasMember("Player", "Score"));
    EXPECT_FALSE(s.HasMember("NotObject", "Lives"));
    EXPECT_TRUE(s.AssertField("speed"));
    EXPECT_TRUE(s.AssertField("Player", "Lives"));
    EXPECT_EQ(Captured(), "");

    Capture();
    EXPECT_FALSE(s.AssertField("nothing"));
    EXPECT_FALSE(s.AssertField("NotObject", "Lives"));
    EXPECT_FALSE(s.AssertField("Player", "Score"));
    EXPECT_EQ(Captured(), "Error! No field exists with name 'nothing'\n"
                          "Error! No object exists with name 'NotObject'\n"
                          "Error! Object has no field with name 'Score'\n");
}

TEST_F(StreamReaderTest, RawTextStreamsGiveDefaultsSilently)
{
    Write("assets/data/notes.txt", "{\"speed\": 4}");
    Stream s("notes.txt", StreamMode_Text, false);
    Capture();
    EXPECT_EQ(s.ReadInt("speed"), 0);
    EXPECT_EQ(s.ReadInt("o", "speed"), 0);
    EXPECT_EQ(s.ReadInt("a", 0, "speed"), -1);
    EXPECT_FLOAT_EQ(s.ReadFloat("speed"), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadFloat("o", "speed"), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadFloat("a", 0, "speed"), -1.0f);
    EXPECT_FALSE(s.ReadBool("speed"));
    EXPECT_FALSE(s.ReadBool("o", "speed"));
    EXPECT_FALSE(s.ReadBool("a", 0, "speed"));
    EXPECT_FLOAT_EQ(s.ReadFloatAt("o", "f", 0), -1.0f);
    EXPECT_FLOAT_EQ(s.ReadFogColor(0), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadTreasure(0, 0), -1.0f);
    EXPECT_TRUE(s.ReadIntArray("speed").empty());
    EXPECT_TRUE(s.ReadStringArray("speed").empty());
    EXPECT_TRUE(s.ReadVector4fArray("speed").empty());
    EXPECT_FALSE(s.HasMember("speed"));
    EXPECT_EQ(Captured(), "");
}

TEST_F(StreamReaderTest, ReadDataGivesStoredValueKinds)
{
    Stream& s = Data(R"({"f": 2.5, "i": 7, "huge": 1e300, "list": [1], "text": "abc", "flag": true,
                         "big": 3000000000, "neg": -1e30})");
    using Type = Stream::StreamDataType;
    Capture();
    Stream::StreamData f = s.ReadData("f");
    EXPECT_EQ(f.GetType(), Type::Float);
    EXPECT_FLOAT_EQ(f.GetFloat(), 2.5f);
    Stream::StreamData i = s.ReadData("i");
    EXPECT_EQ(i.GetType(), Type::Int);
    EXPECT_EQ(i.GetInt(), 7);
    Stream::StreamData huge = s.ReadData("huge");
    EXPECT_EQ(huge.GetType(), Type::Int);
    EXPECT_EQ(huge.GetInt(), 0);
    Stream::StreamData list = s.ReadData("list");
    EXPECT_EQ(list.GetType(), Type::Int);
    EXPECT_EQ(list.GetInt(), 0);
    Stream::StreamData text = s.ReadData("text");
    EXPECT_EQ(text.GetType(), Type::String);
    EXPECT_EQ(text.GetString(), "abc");
    Stream::StreamData flag = s.ReadData("flag");
    EXPECT_EQ(flag.GetType(), Type::Bool);
    EXPECT_TRUE(flag.GetBool());
    EXPECT_EQ(s.ReadData("big").GetType(), Type::Int);
    EXPECT_EQ(s.ReadData("big").GetInt(), 0);
    EXPECT_EQ(s.ReadData("neg").GetType(), Type::Float);
    Stream::StreamData missing = s.ReadData("missing");
    EXPECT_EQ(missing.GetType(), Type::Int);
    EXPECT_EQ(missing.GetInt(), 0);
    EXPECT_EQ(Captured(), "");
}

// ---- Tilesets --------------------------------------------------------------------------------------------

namespace {

const char* const kTileset = R"({
    "columns": 8,
    "tilecount": 16,
    "name": "Floor",
    "tiles": [
        {"id": 3, "objectgroup": {"objects": [{"x": 4, "width": 12.5}]}},
        {"noid": 1},
        {"id": 7, "properties": [{"name": "a", "value": 10}, {"name": "b", "value": 20, "text": "hi"}]},
        {"id": 7, "properties": [{"value": 99}]},
        {"id": 9, "objectgroup": {"draworder": "index"}},
        {"id": 9, "objectgroup": {"objects": [{"y": 2}]}}
    ]
})";

} // namespace

TEST_F(StreamReaderTest, TilesetLookups)
{
    Write("assets/data/tilesets/Floor.json", kTileset);
    Stream s("Floor", StreamMode_Tileset, false);
    Capture();
    EXPECT_EQ(s.ReadInt("columns"), 8);
    EXPECT_EQ(s.ReadString("name"), "Floor");
    EXPECT_EQ(s.ReadInt("columns", 0, "ignored"), 8);
    EXPECT_EQ(s.ReadInt("properties", 7, "value"), 10);
    EXPECT_EQ(s.ReadString("properties", 7, "text", 1), "hi");
    EXPECT_FLOAT_EQ(s.ReadFloat("objects", 3, "width"), 12.5f);
    EXPECT_EQ(s.ReadInt("objects", 9, "y"), 2);  // the first id-9 tile has no objects: the walk goes on
    EXPECT_EQ(Captured(), "STREAM::TILESET::ERROR::Missing element id in tiles array\n"
                          "STREAM::TILESET::ERROR::Missing element id in tiles array\n"
                          "STREAM::TILESET::ERROR::Missing element id in tiles array\n");
}

TEST_F(StreamReaderTest, TilesetLookupFailuresThrow)
{
    Write("assets/data/tilesets/Floor.json", kTileset);
    Stream s("Floor", StreamMode_Tileset, false);
    Capture();
    try {
        s.ReadInt("properties", 42, "value");
        ADD_FAILURE() << "no throw";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "Contains no index at id ");
    }
    EXPECT_THROW(s.ReadInt("properties", 7, "missing"), std::out_of_range);
    EXPECT_THROW(s.ReadString("properties", 7, "value", 5), std::out_of_range);
    EXPECT_THROW(s.ReadInt("objects", 3, "height"), std::out_of_range);
    EXPECT_THROW(s.ReadInt("unknown", 3, "x"), std::out_of_range);
    const std::string out = Captured();
    EXPECT_NE(out.find("ERROR: FieldName missing does not exist \n"), std::string::npos) << out;
    EXPECT_NE(out.find("ERROR: FieldName value does not exist \n"), std::string::npos) << out;
    EXPECT_NE(out.find("ERROR: FieldName height does not exist \n"), std::string::npos) << out;
}

TEST_F(StreamReaderTest, TilesetWithoutTilesArray)
{
    Write("assets/data/tilesets/Bare.json", R"({"columns": 4, "tiles": {"id": 1}})");
    Stream s("Bare", StreamMode_Tileset, false);
    Capture();
    EXPECT_EQ(s.ReadInt("columns", "x"), 4);
    EXPECT_THROW(s.ReadInt("properties", "value"), std::out_of_range);
    const std::string out = Captured();
    EXPECT_EQ(out, "Tiles is not an array\nTiles is not an array\n");
}

// ---- Tile maps -------------------------------------------------------------------------------------------

namespace {

const char* const kTileMap = R"({
    "width": 3, "height": 2, "tilewidth": 32, "tileheight": 32, "nextlayerid": 3,
    "layers": [
        {"id": 1, "name": "Floor", "visible": true, "data": [1, 2, 3, 4, 5, 6]},
        {"id": 2, "name": "WallLayer", "visible": false}
    ],
    "tilesets": [{"firstgid": 1, "source": "../tilesets/Floor.json"}]
})";

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

} // namespace

TEST_F(StreamReaderTest, TileMapLookups)
{
    Write("assets/data/tilemaps/Room.json", kTileMap);
    Stream s("Room", StreamMode_TileMap, false);
    Capture();
    EXPECT_EQ(s.ReadInt("width"), 3);
    EXPECT_EQ(s.ReadInt("tilewidth", 5, "anything"), 32);
    EXPECT_EQ(s.ReadInt("height", "x"), 2);  // reported, then read through the lookup
    EXPECT_EQ(s.ReadString("layers", 1, "name"), "WallLayer");
    EXPECT_TRUE(s.ReadBool("layers", 0, "visible"));
    EXPECT_FALSE(s.ReadBool("layers", 1, "visible"));
    EXPECT_EQ(s.ReadString("tilesets", 0, "source"), "../tilesets/Floor.json");
    EXPECT_EQ(s.ReadInt("tilesets", 0, "firstgid"), 1);
    EXPECT_EQ(s.ReadString("layers", "name"), "Floor");
    EXPECT_FLOAT_EQ(s.ReadFloat("width"), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadFloat("layers", "id"), 0.0f);
    EXPECT_FLOAT_EQ(s.ReadFloat("layers", 0, "id"), -1.0f);
    const std::string out = Captured();
    EXPECT_TRUE(out.starts_with("Error! No object exists with name 'height'\n"
                                "Assertion `AssertField(objectName, objectField)` failed.Location: src/Stream Line "))
        << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
}

TEST_F(StreamReaderTest, TileMapLookupFailuresThrow)
{
    Write("assets/data/tilemaps/Room.json", kTileMap);
    Stream s("Room", StreamMode_TileMap, false);
    auto message = [&](auto&& read) -> std::string {
        try {
            read();
        } catch (const std::out_of_range& e) {
            return e.what();
        }
        return "no throw";
    };
    EXPECT_EQ(message([&] { s.ReadInt("layers", 2, "name"); }), "The fieldName layers does not exist at given index.");
    EXPECT_EQ(message([&] { s.ReadInt("foo", 0, "x"); }), "The objectName foo does not exist.");
    EXPECT_EQ(message([&] { s.ReadString("tilesets", 1, "source"); }), "The object index is out of bounds");
}

TEST_F(StreamReaderTest, TileMapReportsMissingLayersIdsAndFields)
{
    Write("assets/data/tilemaps/Odd.json", R"({"width": 2, "layers": [{"name": "a"}, {"id": 2}], "tilesets": []})");
    Stream s("Odd", StreamMode_TileMap, false);
    Capture();
    EXPECT_EQ(s.ReadString("layers", 1, "name"), "");
    std::string out = Captured();
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with("Assertion `layersArray[i].HasMember(TS_TilesID.c_str())` failed.Location: src/Stream Line "))
        << line;
    EXPECT_TRUE(line.ends_with(": 0<- Missing tile id at index. File name: Odd")) << line;
    std::getline(lines, line);
    EXPECT_EQ(line, "Layers index 1 does not have fieldName name");
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with("Assertion `layersArray[i].HasMember(fieldName)` failed.Location: src/Stream Line "))
        << line;
    EXPECT_TRUE(line.ends_with(": ")) << line;

    // The entry at the index has no id: the walk goes past it and fails.
    Capture();
    EXPECT_THROW(s.ReadInt("layers", 0, "name"), std::out_of_range);
    EXPECT_THROW(s.ReadInt("tilesets", 0, "firstgid"), std::out_of_range);
    Captured();

    Write("assets/data/tilemaps/NoLayers.json", R"({"width": 2})");
    Stream bare("NoLayers", StreamMode_TileMap, false);
    Capture();
    EXPECT_EQ(bare.ReadInt("width", 0, "x"), 2);
    EXPECT_EQ(Captured(), "Stream could not find fieldName \"layers \" when reading TileMap.\n");
}

TEST_F(StreamReaderTest, TileMapRootReadsAssertOnMissingFields)
{
    Write("assets/data/tilemaps/Room.json", kTileMap);
    Stream s("Room", StreamMode_TileMap, false);
    Capture();
    EXPECT_EQ(s.ReadInt("numOfTileSets"), 0);
    EXPECT_EQ(s.ReadString("type"), "");
    EXPECT_FALSE(s.ReadBool("infinite"));
    const std::string out = Captured();
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "Error! No field exists with name 'numOfTileSets'");
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with("Assertion `AssertField(fieldName)` failed.Location: src/Stream Line ")) << line;
    EXPECT_TRUE(line.ends_with(": ")) << line;
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with("Assertion `data.HasMember(fieldName)` failed.Location: src/Stream Line ")) << line;
    EXPECT_TRUE(line.ends_with(": No fieldname found with given name ")) << line;
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with("Assertion `data.HasMember(fieldName)` failed.Location: src/Stream Line ")) << line;
    EXPECT_TRUE(line.ends_with(": Field name not found")) << line;
    EXPECT_FALSE(std::getline(lines, line));
}

TEST_F(StreamReaderTest, AssertionClosesTheTraceLogOnce)
{
    Write("assets/data/tilemaps/Room.json", kTileMap);
    Stream s("Room", StreamMode_TileMap, false);
    Capture();
    TraceInit();
    s.ReadInt("missing");
    s.ReadInt("missing");
    const std::string out = Captured();
    EXPECT_EQ(FirstLine(out), "Trace log started...");
    size_t first = out.find("Trace log ended...");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(out.find("Trace log ended...", first + 1), std::string::npos);
    TraceReset();
}
