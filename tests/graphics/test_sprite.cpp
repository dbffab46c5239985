// Sprite without a window: reading its "Sprite" block (colour keys, layers, draw modes, names, text),
// the text rules, the index re-resolution of Update and cloning.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/GameObject.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Sprite.h"
#include "TestFiles.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

using namespace testsupport;

namespace {

// A stream over the given JSON text, as if read from an archetype file.
std::unique_ptr<Stream> StreamOf(const std::string& json)
{
    auto stream = std::make_unique<Stream>("no_such_folder/sprite_test_stream", StreamMode_Data);
    stream->text = json;
    stream->data.Parse(json.c_str());
    return stream;
}

class SpriteRead : public ::testing::Test {
protected:
    void SetUp() override { TraceReset(); }
    void TearDown() override { TraceReset(); }

    // Reads the JSON into the sprite and returns the console output.
    std::string Read(const std::string& json)
    {
        auto stream = StreamOf(json);
        return CaptureConsole([&] { sprite.Read(*stream); });
    }

    Sprite sprite;
};

TEST_F(SpriteRead, DefaultsBeforeAnyData)
{
    EXPECT_EQ(sprite.type, 1);
    EXPECT_EQ(sprite.mesh, nullptr);
    EXPECT_EQ(sprite.texture, nullptr);
    EXPECT_EQ(sprite.text, nullptr);
    EXPECT_EQ(sprite.drawMode, 1u);
    EXPECT_EQ(sprite.layer, 11u);
    EXPECT_EQ(sprite.ui, 0);
    EXPECT_EQ(sprite.drawThroughFog, 0);
    for (float c : sprite.color)
        EXPECT_EQ(c, 1.0f);
    for (float c : sprite.particleColor)
        EXPECT_EQ(c, 1.0f);
    EXPECT_EQ(sprite.meshIndex, 0);
    EXPECT_EQ(sprite.textureIndex, -1);
    // No name read: the name is empty.
    EXPECT_EQ(sprite.GetName(), "");
}

TEST_F(SpriteRead, ColourChannelsAreReadOnlyWhenColorRIsPresent)
{
    std::string out = Read(R"({"Sprite": {"ColorG": 0.25, "ColorB": 0.5, "Alpha": 0.75}})");
    EXPECT_EQ(sprite.color[0], 1.0f);
    EXPECT_EQ(sprite.color[1], 1.0f);
    EXPECT_EQ(sprite.color[2], 1.0f);
    EXPECT_EQ(sprite.color[3], 0.75f);
    EXPECT_EQ(out, "");

    Read(R"({"Sprite": {"ColorR": 0.125, "ColorG": 0.25, "ColorB": 0.5}})");
    EXPECT_EQ(sprite.color[0], 0.125f);
    EXPECT_EQ(sprite.color[1], 0.25f);
    EXPECT_EQ(sprite.color[2], 0.5f);
    EXPECT_EQ(sprite.color[3], 0.75f);
}

TEST_F(SpriteRead, ColorRWithoutTheOtherChannelsReadsThemAsZeroWithTheirReports)
{
    std::string out = Read(R"({"Sprite": {"ColorR": 0.5}})");
    EXPECT_EQ(sprite.color[0], 0.5f);
    EXPECT_EQ(sprite.color[1], 0.0f);
    EXPECT_EQ(sprite.color[2], 0.0f);
    EXPECT_EQ(sprite.color[3], 1.0f);
    // Blue is read before green.
    EXPECT_EQ(out,
              "Error!  Object has no field with name 'ColorB'\n"
              "Error!  Object has no field with name 'ColorG'\n");
}

TEST_F(SpriteRead, IntegerColoursAndParticleColoursEachSeparately)
{
    Read(R"({"Sprite": {"ColorR": 0, "ColorG": 1, "ColorB": 0, "ParColorG": 0.5}})");
    EXPECT_EQ(sprite.color[0], 0.0f);
    EXPECT_EQ(sprite.color[1], 1.0f);
    EXPECT_EQ(sprite.color[2], 0.0f);
    EXPECT_EQ(sprite.particleColor[0], 1.0f);
    EXPECT_EQ(sprite.particleColor[1], 0.5f);
    EXPECT_EQ(sprite.particleColor[2], 1.0f);
    Read(R"({"Sprite": {"ParColorR": 0.25, "ParColorB": 0.75}})");
    EXPECT_EQ(sprite.particleColor[0], 0.25f);
    EXPECT_EQ(sprite.particleColor[1], 0.5f);
    EXPECT_EQ(sprite.particleColor[2], 0.75f);
}

TEST_F(SpriteRead, LayersByName)
{
    const std::pair<const char*, unsigned> table[] = {
        {"UI", 0},         {"AbovePlayer01", 2}, {"AbovePlayer00", 3}, {"PlayerUI", 4}, {"PlayerEyes", 5},
        {"Player", 6},     {"Treasure", 7},      {"Props", 8},         {"Obstacles", 9}, {"Background", 10},
    };
    for (const auto& [name, layer] : table) {
        Read(std::string(R"({"Sprite": {"Layer": ")") + name + "\"}}");
        EXPECT_EQ(sprite.layer, layer) << name;
    }
}

TEST_F(SpriteRead, UnknownLayerReportsTheAssertionAndKeepsTheLayer)
{
    Read(R"({"Sprite": {"Layer": "Player"}})");
    ASSERT_EQ(sprite.layer, 6u);
    std::string out = Read(R"({"Sprite": {"Layer": "player"}})");
    EXPECT_EQ(sprite.layer, 6u);
    EXPECT_EQ(out, "Assertion `false` failed.Location: src/Sprite Line 327: Layer \"player\" doesn't exist\n");

    // Layer 1 has no name.
    out = CaptureConsole([&] { sprite.SetLayer("1"); });
    EXPECT_EQ(sprite.layer, 6u);
    EXPECT_EQ(out, "Assertion `false` failed.Location: src/Sprite Line 327: Layer \"1\" doesn't exist\n");
}

TEST_F(SpriteRead, UnknownLayerClosesTheTraceLog)
{
    TestSaveDir save;
    CaptureConsole([] { TraceInit(); });
    ASSERT_NE(TraceLogFile, nullptr);
    std::string out = CaptureConsole([&] { sprite.SetLayer("Nowhere"); });
    EXPECT_EQ(out,
              "Assertion `false` failed.Location: src/Sprite Line 327: Layer \"Nowhere\" doesn't exist\n"
              "Trace log ended...\n");
    EXPECT_EQ(TraceLogFile, nullptr);
    EXPECT_EQ(ReadFile(save.LogPath()),
              "Assertion `false` failed.Location: src/Sprite Line 327: Layer \"Nowhere\" doesn't exist\n");
    TraceReset();
}

TEST_F(SpriteRead, DrawModeNamesAreExactAndCaseSensitive)
{
    Read(R"({"Sprite": {"DrawMode": "Edges"}})");
    EXPECT_EQ(sprite.drawMode, 0u);
    Read(R"({"Sprite": {"DrawMode": "EdgesAndFaces"}})");
    EXPECT_EQ(sprite.drawMode, 2u);
    Read(R"({"Sprite": {"DrawMode": "Faces"}})");
    EXPECT_EQ(sprite.drawMode, 1u);
    std::string out = Read(R"({"Sprite": {"DrawMode": "edges"}})");
    EXPECT_EQ(sprite.drawMode, 1u);
    EXPECT_EQ(out, "");
    sprite.SetDrawMode("Edges ");
    EXPECT_EQ(sprite.drawMode, 1u);
}

TEST_F(SpriteRead, FlagsAndName)
{
    Read(R"({"Sprite": {"UI": true, "DrawThroughFog": true, "Name": "Lamp"}})");
    EXPECT_EQ(sprite.ui, 1);
    EXPECT_EQ(sprite.drawThroughFog, 1);
    EXPECT_EQ(sprite.GetName(), "Lamp");
    Read(R"({"Sprite": {"UI": false}})");
    EXPECT_EQ(sprite.ui, 0);
    EXPECT_EQ(sprite.drawThroughFog, 1);
    EXPECT_EQ(sprite.GetName(), "Lamp");
}

TEST_F(SpriteRead, NamesOfAnyLength)
{
    const std::string longName(300, 'n');
    Read(R"({"Sprite": {"Name": ")" + longName + "\"}}");
    EXPECT_EQ(sprite.GetName(), longName);
    Read(R"({"Sprite": {"Name": "A"}})");
    EXPECT_EQ(sprite.GetName(), "A");
}

TEST_F(SpriteRead, AbsentKeysAndMissingBlockLeaveEverything)
{
    Read(R"({"Sprite": {"ColorR": 0.5, "ColorG": 0.5, "ColorB": 0.5, "Layer": "Props", "Name": "Box"}})");
    std::string out = Read(R"({"Sprite": {}})");
    EXPECT_EQ(out, "");
    out = Read(R"({"Transform": {}})");
    EXPECT_EQ(out, "");
    out = Read(R"({"Sprite": 5})");
    EXPECT_EQ(out, "");
    out = Read(R"([1, 2)");  // truncated
    EXPECT_EQ(out, "");
    EXPECT_EQ(sprite.color[0], 0.5f);
    EXPECT_EQ(sprite.layer, 8u);
    EXPECT_EQ(sprite.GetName(), "Box");
}

TEST_F(SpriteRead, WrongTypesCountAsMissingWithOneLineEach)
{
    Read(R"({"Sprite": {"Layer": "Props", "Name": "Box", "Alpha": 0.5}})");
    std::string out = Read(R"({"Sprite": {"Layer": 3, "Name": 7, "Alpha": "x", "UI": 1, "ColorR": "red",
                                          "DrawMode": 0}})");
    EXPECT_EQ(sprite.layer, 8u);
    EXPECT_EQ(sprite.GetName(), "Box");
    EXPECT_EQ(sprite.color[3], 0.5f);
    EXPECT_EQ(sprite.color[0], 1.0f);
    EXPECT_EQ(sprite.ui, 0);
    EXPECT_EQ(sprite.drawMode, 1u);
    EXPECT_EQ(out,
              "Sprite: \"DrawMode\" has the wrong type and is ignored\n"
              "Sprite: \"Layer\" has the wrong type and is ignored\n"
              "Sprite: \"UI\" has the wrong type and is ignored\n"
              "Sprite: \"ColorR\" has the wrong type and is ignored\n"
              "Sprite: \"Alpha\" has the wrong type and is ignored\n"
              "Sprite: \"Name\" has the wrong type and is ignored\n");
}

TEST_F(SpriteRead, TextWithoutFontMakesNoTextItem)
{
    std::string out = Read(R"({"Sprite": {"Text": "Hello"}})");
    EXPECT_EQ(sprite.text, nullptr);
    EXPECT_EQ(out, "Error! Object Sprite has no field with name 'Font'\n");
    Read(R"({"Sprite": {"Text": "Hello", "Font": ""}})");
    EXPECT_EQ(sprite.text, nullptr);
    sprite.SetText("", "SomeFont");
    EXPECT_EQ(sprite.text, nullptr);
}

// The library and its resources for the tests below, in a scratch folder of texture files whose
// images do not exist (such textures keep their layout and need no OpenGL).
class SpriteWithLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceReset();
        for (const char* name : {"Grass", "Stone", "Sand"})
            scratch.Write("assets/data/textures/" + std::string(name) + ".json", R"({"FileType": "png"})");
        scratch.Enter();
        library = new GraphicsLibrary();
        CaptureConsole([] {
            GraphicsLibrary::GetTexture("Grass", -1);
            GraphicsLibrary::GetTexture("Stone", -1);
            GraphicsLibrary::GetTexture("Sand", -1);
        });
    }
    void TearDown() override
    {
        delete library;
        TraceReset();
    }

    GraphicsLibrary* library = nullptr;
    ScratchDir scratch{"sprite"};
};

TEST_F(SpriteWithLibrary, TextureOnlyBlockKeepsTheDefaultsAndHasNoMesh)
{
    Sprite sprite;
    auto stream = StreamOf(R"({"Sprite": {"Texture": "Stone"}})");
    sprite.Read(*stream);
    ASSERT_NE(sprite.texture, nullptr);
    EXPECT_EQ(sprite.texture->name, "Stone");
    EXPECT_EQ(sprite.textureIndex, 1);
    EXPECT_EQ(sprite.mesh, nullptr);
    EXPECT_EQ(sprite.drawMode, 1u);
    for (float c : sprite.color)
        EXPECT_EQ(c, 1.0f);
    for (float c : sprite.particleColor)
        EXPECT_EQ(c, 1.0f);
}

TEST_F(SpriteWithLibrary, SettingTheTextureIndexSwitchesTheTextureOnTheNextUpdate)
{
    Sprite sprite;
    auto stream = StreamOf(R"({"Sprite": {"Texture": "Grass"}})");
    sprite.Read(*stream);
    ASSERT_EQ(sprite.textureIndex, 0);

    sprite.textureIndex = 2;
    EXPECT_EQ(sprite.texture->name, "Grass");
    sprite.Update(0.0f);
    ASSERT_NE(sprite.texture, nullptr);
    EXPECT_EQ(sprite.texture->name, "Sand");
    EXPECT_EQ(sprite.textureIndex, 2);

    // -1 removes the texture.
    sprite.textureIndex = -1;
    sprite.Update(0.0f);
    EXPECT_EQ(sprite.texture, nullptr);
    EXPECT_EQ(sprite.textureIndex, -1);

    // An index past the end also gives no texture (and -1).
    sprite.textureIndex = 1;
    sprite.Update(0.0f);
    ASSERT_NE(sprite.texture, nullptr);
    EXPECT_EQ(sprite.texture->name, "Stone");
    sprite.textureIndex = 99;
    sprite.Update(0.0f);
    EXPECT_EQ(sprite.texture, nullptr);
    EXPECT_EQ(sprite.textureIndex, -1);

    // A sprite without a texture picks one up from its index.
    sprite.textureIndex = 0;
    sprite.Update(0.0f);
    ASSERT_NE(sprite.texture, nullptr);
    EXPECT_EQ(sprite.texture->name, "Grass");
}

TEST_F(SpriteWithLibrary, SpriteWithoutMeshIsNotResolvedFromItsMeshIndex)
{
    Sprite sprite;
    sprite.meshIndex = 3;
    sprite.Update(0.0f);
    EXPECT_EQ(sprite.mesh, nullptr);
    EXPECT_EQ(sprite.meshIndex, 3);
}

TEST_F(SpriteWithLibrary, MissingMeshFileKeepsTheMesh)
{
    Sprite sprite;
    auto stream = StreamOf(R"({"Sprite": {"Mesh": "no_such_mesh"}})");
    std::string out = CaptureConsole([&] { sprite.Read(*stream); });
    EXPECT_EQ(sprite.mesh, nullptr);
    EXPECT_EQ(sprite.meshIndex, 0);
    EXPECT_EQ(out, "Mesh file \"assets/data/meshes/no_such_mesh.json\" could not be found!\n");
}

TEST_F(SpriteWithLibrary, CloneCopiesFieldsAndOwnsItsOwnName)
{
    Sprite source;
    auto stream = StreamOf(R"({"Sprite": {"Texture": "Sand", "Layer": "Treasure", "DrawMode": "Edges",
        "UI": true, "DrawThroughFog": true, "ColorR": 0.5, "ColorG": 0.25, "ColorB": 0.125, "Alpha": 0.75,
        "Name": "Coin", "ParColorR": 0.1, "ParColorG": 0.2, "ParColorB": 0.3}})");
    source.Read(*stream);
    source.exposed = 1;
    source.active = 0;
    GameObject owner;
    source.owner = &owner;

    std::unique_ptr<Sprite> copy(source.Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->type, 1);
    EXPECT_EQ(copy->owner, &owner);
    EXPECT_EQ(copy->exposed, 1);
    EXPECT_EQ(copy->active, 0);
    EXPECT_EQ(copy->texture, source.texture);
    EXPECT_EQ(copy->textureIndex, 2);
    EXPECT_EQ(copy->mesh, nullptr);
    EXPECT_EQ(copy->meshIndex, 0);
    EXPECT_EQ(copy->layer, 7u);
    EXPECT_EQ(copy->drawMode, 0u);
    EXPECT_EQ(copy->ui, 1);
    EXPECT_EQ(copy->drawThroughFog, 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(copy->color[i], source.color[i]);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(copy->particleColor[i], source.particleColor[i]);
    EXPECT_EQ(copy->GetName(), "Coin");
    source.name = "Changed";
    EXPECT_EQ(copy->GetName(), "Coin");
    EXPECT_EQ(copy->text, nullptr);
    source.owner = nullptr;
}

TEST(SpriteDraw, WithoutAWindowOrOwnerNothingHappens)
{
    ASSERT_EQ(CurrentWindow, nullptr);
    Sprite sprite;
    sprite.layer = 6;
    sprite.Draw();
    TextItem* item = new TextItem();
    sprite.text = item;  // owned by the sprite from here on
    sprite.Draw();
    SUCCEED();
}

}  // namespace
