// Sprites and sprite sheets drawn through the window under Xvfb and read back as pixels: the frames of a
// 2x2 sheet with and without "bottomToTop", layers outside the eleven, text items, mesh switching by
// index, text on clones, and the archetypes that show sprites and animation.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "stb_image_write.h"

#include "core/GameObject.h"
#include "graphics/Font.h"
#include "GlFrame.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Mesh.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

using namespace testsupport;

namespace {

const Pixel RED{255, 0, 0};
const Pixel GREEN{0, 255, 0};
const Pixel BLUE{0, 0, 255};
const Pixel WHITE{255, 255, 255};
const Pixel BLACK{0, 0, 0};

std::unique_ptr<Stream> StreamOf(const std::string& json)
{
    auto stream = std::make_unique<Stream>("no_such_folder/gl_sprite_test_stream", StreamMode_Data);
    stream->text = json;
    stream->data.Parse(json.c_str());
    return stream;
}

std::unique_ptr<GameObject> Build(const std::string& json)
{
    auto stream = StreamOf(json);
    std::unique_ptr<GameObject> object;
    CaptureConsole([&] { object = std::make_unique<GameObject>(*stream); });
    return object;
}

// A window at 1920 x 1080, zoom 45 (a scale-1 quad covers 120 x 120 pixels at the centre).
class SpriteWindow : public ::testing::Test {
protected:
    // Runs in the folder `folder` (the repository when empty).
    void Open(const fs::path& folder)
    {
        home = fs::current_path();
        if (!folder.empty())
            fs::current_path(folder);
        TraceReset();
        CaptureConsole([&] { window = new Window(); });
        ASSERT_TRUE(window->IsReady());
        WindowDrawFogHook = CaptureFrame;
        CameraList[0].zoom = 45.0f;
        ForgetFrame();
    }
    void TearDown() override
    {
        WindowDrawFogHook = nullptr;
        objects.clear();
        delete window;
        window = nullptr;
        if (!home.empty())
            fs::current_path(home);
        TraceReset();
    }

    void RenderFrame()
    {
        ClearToBlack();
        window->Render();
        ASSERT_TRUE(HaveFrame());
    }

    GameObject* Add(const std::string& json)
    {
        objects.push_back(Build(json));
        return objects.back().get();
    }

    size_t Queued() const
    {
        size_t n = 0;
        for (const auto& layer : window->layers)
            n += layer.size();
        return n;
    }

    Window* window = nullptr;
    fs::path home;
    std::vector<std::unique_ptr<GameObject>> objects;
};

// A scratch folder holding the game's shaders, meshes and fonts and a 2x2 sheet: a 4 x 4 image whose
// cells, as the image lies in its file, are red (top left), green (top right), blue (bottom left) and
// white (bottom right). "Cells" counts frames with the default rows, "CellsTop" has "bottomToTop".
class SheetFrames : public SpriteWindow {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        for (const char* folder : {"assets/data/shaders", "assets/data/meshes", "assets/data/fonts", "assets/fonts"})
            scratch.CopyFromRepo(folder);
        fs::create_directories(scratch / "assets/data/textures");
        fs::create_directories(scratch / "assets/textures");

        std::vector<unsigned char> pixels;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                Pixel p = y < 2 ? (x < 2 ? RED : GREEN) : (x < 2 ? BLUE : WHITE);
                pixels.insert(pixels.end(), {static_cast<unsigned char>(p.r), static_cast<unsigned char>(p.g),
                                             static_cast<unsigned char>(p.b), 255});
            }
        }
        for (const char* name : {"Cells", "CellsTop", "Plain"}) {
            stbi_write_png((scratch / "assets/textures" / (std::string(name) + ".png")).c_str(), 4, 4, 4,
                           pixels.data(), 16);
        }
        scratch.Write("assets/data/textures/Cells.json",
                      R"({"FileType": "png", "numFrames": 4, "numRows": 2, "numCols": 2, "frameTime": 0.25})");
        scratch.Write("assets/data/textures/CellsTop.json",
                      R"({"FileType": "png", "numFrames": 4, "numRows": 2, "numCols": 2, "frameTime": 0.25,
                  "bottomToTop": true})");
        scratch.Write("assets/data/textures/Plain.json", R"({"FileType": "png"})");
        Open(scratch.root);
    }

    GameObject* Sheet(const std::string& texture, const std::string& extra = "")
    {
        return Add(R"({"Name": "Sheet", "Transform": {"ScaleX": 1.0, "ScaleY": 1.0},
            "Sprite": {"Mesh": "textured_mesh", "Texture": ")" + texture + R"(", "Layer": "Player")" + extra + R"(},
            "Animation": {"StartingAnimation": ")" + texture + R"(", "StartingAnimationIsLooping": true}})");
    }

    // Draws the object and returns the colour at the centre of the window.
    Pixel Centre(GameObject* object)
    {
        object->Draw();
        RenderFrame();
        return At(960, 540);
    }

    ScratchDir scratch{"glsprite"};
};

TEST_F(SheetFrames, FramesCountRowByRowFromTheTopByDefault)
{
    GameObject* object = Sheet("Cells");
    ASSERT_NE(object->GetSpriteSheet(), nullptr);
    ASSERT_EQ(object->GetSpriteSheet()->playing, 1);
    std::vector<Pixel> seen;
    for (int i = 0; i < 5; ++i) {
        seen.push_back(Centre(object));
        object->Update(0.5f);
    }
    EXPECT_EQ(seen, (std::vector<Pixel>{RED, GREEN, BLUE, WHITE, RED}));
}

TEST_F(SheetFrames, BottomToTopKeyCountsRowsFromTheBottom)
{
    GameObject* object = Sheet("CellsTop");
    std::vector<Pixel> seen;
    for (int i = 0; i < 5; ++i) {
        seen.push_back(Centre(object));
        object->Update(0.5f);
    }
    EXPECT_EQ(seen, (std::vector<Pixel>{BLUE, WHITE, RED, GREEN, BLUE}));
}

TEST_F(SheetFrames, FrameSetDirectlyPicksItsCellAndTheQuadCovers120Pixels)
{
    GameObject* object = Sheet("Cells");
    SpriteSheet* sheet = object->GetSpriteSheet();
    sheet->playing = 0;
    sheet->SetCurrentFrame(3);
    object->Draw();
    RenderFrame();
    EXPECT_EQ(At(960, 540), WHITE);
    EXPECT_EQ(At(901, 482), WHITE);
    EXPECT_EQ(At(1018, 597), WHITE);
    EXPECT_EQ(At(897, 540), BLACK);
    EXPECT_EQ(At(1022, 540), BLACK);
}

TEST_F(SheetFrames, SpriteWithoutSheetDrawsTheWholeTexture)
{
    GameObject* object = Add(R"({"Name": "Whole", "Transform": {"ScaleX": 1.0, "ScaleY": 1.0},
        "Sprite": {"Mesh": "textured_mesh", "Texture": "Plain", "Layer": "Props"}})");
    object->Draw();
    RenderFrame();
    // The four cells of the image at the four corners of the quad, as the image lies in its file.
    EXPECT_EQ(At(930, 510), RED);
    EXPECT_EQ(At(990, 510), GREEN);
    EXPECT_EQ(At(930, 570), BLUE);
    EXPECT_EQ(At(990, 570), WHITE);
}

TEST_F(SheetFrames, OneShotPutsThePlainTextureBackOnScreen)
{
    GameObject* object = Add(R"({"Name": "Once", "Transform": {"ScaleX": 1.0, "ScaleY": 1.0},
        "Sprite": {"Mesh": "textured_mesh", "Texture": "Plain", "Layer": "Props"},
        "Animation": {"StartingAnimation": "Cells", "StartingAnimationIsLooping": false}})");
    std::vector<Pixel> seen;
    for (int i = 0; i < 4; ++i) {
        seen.push_back(Centre(object));
        object->Update(0.5f);
    }
    EXPECT_EQ(seen, (std::vector<Pixel>{RED, GREEN, BLUE, WHITE}));
    // Back on the whole image: its top-left cell at the top left of the quad, black would mean nothing.
    object->Draw();
    RenderFrame();
    EXPECT_EQ(object->GetSprite()->texture->name, "Plain");
    EXPECT_EQ(At(930, 510), RED);
    EXPECT_EQ(At(990, 570), WHITE);
}

TEST_F(SheetFrames, SheetOnATextureWithoutColumnsDrawsTheWholeTexture)
{
    GameObject* object = Sheet("Cells");
    Texture* texture = object->GetSprite()->texture;
    ASSERT_NE(texture, nullptr);
    texture->numCols = 0;
    object->Draw();
    ASSERT_EQ(window->layers[6].size(), 1u);
    EXPECT_EQ(window->layers[6][0].column, -1);
    EXPECT_EQ(window->layers[6][0].row, -1);
    RenderFrame();
    EXPECT_EQ(At(930, 510), RED);
    EXPECT_EQ(At(990, 570), WHITE);

    texture->numCols = 2;
    texture->numRows = -1;
    object->Draw();
    ASSERT_EQ(window->layers[6].size(), 1u);
    EXPECT_EQ(window->layers[6][0].column, -1);
    EXPECT_EQ(window->layers[6][0].row, -1);
    RenderFrame();
    texture->numRows = 2;
}

TEST_F(SheetFrames, NoLayerQueuesNoCommandButStillQueuesText)
{
    GameObject* object = Add(R"({"Name": "Unlayered", "Transform": {"ScaleX": 1.0, "ScaleY": 1.0},
        "Sprite": {"Mesh": "empty_mesh", "Text": "Hi", "Font": "DejaVuSans"}})");
    Sprite* sprite = object->GetSprite();
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->layer, 11u);
    ASSERT_NE(sprite->text, nullptr);
    ASSERT_NE(sprite->text->font, nullptr);
    object->Draw();
    EXPECT_EQ(Queued(), 0u);
    ASSERT_EQ(window->textLayers[0].size(), 1u);
    EXPECT_EQ(window->textLayers[0][0], sprite->text);
    RenderFrame();
    EXPECT_EQ(At(960, 540), BLACK);
    EXPECT_TRUE(window->textLayers[0].empty());

    // Any layer number past the eleven queues nothing either.
    sprite->layer = 42;
    object->Draw();
    EXPECT_EQ(Queued(), 0u);
    RenderFrame();
}

TEST_F(SheetFrames, DeletedSpriteLeavesNoTextBehindInTheQueue)
{
    GameObject* object = Add(R"({"Name": "Gone", "Sprite": {"Text": "Bye", "Font": "DejaVuSans"}})");
    GameObject* other = Add(R"({"Name": "Stays", "Sprite": {"Text": "Hi", "Font": "DejaVuSans"}})");
    object->Draw();
    other->Draw();
    ASSERT_EQ(window->textLayers[0].size(), 2u);
    objects.front().reset();
    ASSERT_EQ(window->textLayers[0].size(), 1u);
    EXPECT_EQ(window->textLayers[0][0], other->GetSprite()->text);
    RenderFrame();
}

TEST_F(SheetFrames, LayerFromDataQueuesOnThatLayerAndAlphaZeroQueuesOnlyText)
{
    GameObject* object = Add(R"({"Name": "Back", "Transform": {"ScaleX": 1.0, "ScaleY": 1.0},
        "Sprite": {"Mesh": "empty_mesh", "Layer": "Background", "DrawMode": "EdgesAndFaces",
                   "ColorR": 0.0, "ColorG": 1.0, "ColorB": 0.0, "UI": false, "DrawThroughFog": true}})");
    object->Draw();
    ASSERT_EQ(window->layers[10].size(), 1u);
    const DrawCommand& command = window->layers[10][0];
    EXPECT_EQ(command.name, "Back");
    EXPECT_EQ(command.drawMode, 2);
    EXPECT_EQ(command.drawThroughFog, 1);
    EXPECT_EQ(command.ui, 0);
    EXPECT_EQ(command.texture, nullptr);
    RenderFrame();
    EXPECT_EQ(At(960, 540), GREEN);

    Sprite* sprite = object->GetSprite();
    sprite->color[3] = 0.0f;
    CaptureConsole([&] { sprite->SetText("Still here", "DejaVuSans"); });
    object->Draw();
    EXPECT_EQ(Queued(), 0u);
    EXPECT_EQ(window->textLayers[0].size(), 1u);
    RenderFrame();
}

TEST_F(SheetFrames, MeshFollowsItsIndex)
{
    Mesh* flat = GraphicsLibrary::GetMesh("empty_mesh");
    Mesh* textured = GraphicsLibrary::GetMesh("textured_mesh");
    ASSERT_NE(flat, nullptr);
    ASSERT_NE(textured, nullptr);
    GameObject* object = Add(R"({"Name": "M", "Sprite": {"Mesh": "empty_mesh", "Layer": "Props"}})");
    Sprite* sprite = object->GetSprite();
    ASSERT_EQ(sprite->mesh, flat);
    ASSERT_EQ(sprite->meshIndex, GraphicsLibrary::GetMeshIndex("empty_mesh"));

    sprite->meshIndex = GraphicsLibrary::GetMeshIndex("textured_mesh");
    sprite->Update(0.0f);
    EXPECT_EQ(sprite->mesh, textured);

    // Past the end of the list: the mesh stays, and so does the index (tried again next frame).
    const int past = static_cast<int>(GraphicsLibraryInstance->meshes.size()) + 3;
    sprite->meshIndex = past;
    sprite->Update(0.0f);
    EXPECT_EQ(sprite->mesh, textured);
    EXPECT_EQ(sprite->meshIndex, past);
}

TEST_F(SheetFrames, TextItemsAndClones)
{
    Sprite source;
    CaptureConsole([&] { source.SetText("Score", "DejaVuSans"); });
    ASSERT_NE(source.text, nullptr);
    Font* font = source.text->font;
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(source.text->text, "Score");
    EXPECT_EQ(source.text->x, 0.0f);
    EXPECT_EQ(source.text->y, 0.0f);
    EXPECT_EQ(source.text->scale, 1.0f);
    for (float c : source.text->color)
        EXPECT_EQ(c, 1.0f);

    // An existing item changes its text (even to empty) and font, never its place, size or colour.
    source.text->x = 0.5f;
    source.text->scale = 0.25f;
    source.text->color[1] = 0.0f;
    TextItem* item = source.text;
    source.SetText("", "");
    EXPECT_EQ(source.text, item);
    EXPECT_EQ(source.text->text, "");
    EXPECT_EQ(source.text->font, font);
    source.SetText("Again", "DejaVuSans");
    EXPECT_EQ(source.text->text, "Again");
    EXPECT_EQ(source.text->x, 0.5f);
    EXPECT_EQ(source.text->scale, 0.25f);
    EXPECT_EQ(source.text->color[1], 0.0f);

    // A missing font leaves an item without font, which the render skips.
    std::string out = CaptureConsole([&] { source.SetText("Lost", "NoSuchFont"); });
    EXPECT_EQ(source.text->font, nullptr);
    EXPECT_EQ(out, "Font file \"assets/data/fonts/NoSuchFont.json\" could not be found!\n");
    source.SetText("Found", "DejaVuSans");

    auto* sourceCopy = new Sprite();
    sourceCopy->SetText("Score", "DejaVuSans");
    sourceCopy->text->x = 0.75f;
    std::unique_ptr<Sprite> clone(sourceCopy->Clone());
    ASSERT_NE(clone->text, nullptr);
    EXPECT_NE(clone->text, sourceCopy->text);
    EXPECT_EQ(clone->text->text, "Score");
    EXPECT_EQ(clone->text->font, font);
    EXPECT_EQ(clone->text->x, 0.0f);
    delete sourceCopy;
    EXPECT_EQ(clone->text->text, "Score");
    EXPECT_EQ(clone->text->font, font);
}

TEST_F(SheetFrames, ClonedObjectDrawsItsOwnFrame)
{
    GameObject* object = Sheet("Cells");
    object->Update(0.5f);  // frame 1
    std::unique_ptr<GameObject> copy(object->Clone());
    ASSERT_NE(copy->GetSprite(), nullptr);
    ASSERT_NE(copy->GetSpriteSheet(), nullptr);
    EXPECT_EQ(copy->GetSpriteSheet()->owner, copy.get());
    EXPECT_EQ(copy->GetSprite()->owner, copy.get());
    EXPECT_EQ(copy->GetSpriteSheet()->currentFrame, 1);
    copy->Update(0.5f);  // the copy steps on to frame 2; the source stays on 1
    EXPECT_EQ(Centre(copy.get()), BLUE);
    EXPECT_EQ(Centre(object), GREEN);
}

// The shipped archetypes, read from the repository's data.
class SpriteArchetypes : public SpriteWindow {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        Open(DUSTRUN_SOURCE_DIR);
    }

    GameObject* Archetype(const std::string& name)
    {
        Stream stream(("archetypes/" + name).c_str(), StreamMode_Data);
        EXPECT_TRUE(stream.IsValid()) << name;
        std::string out;
        objects.push_back(nullptr);
        out = CaptureConsole([&] { objects.back() = std::make_unique<GameObject>(stream); });
        EXPECT_EQ(out.find("Error"), std::string::npos) << out;
        EXPECT_EQ(out.find("Assertion"), std::string::npos) << out;
        return objects.back().get();
    }

    // Pixels in the square of the given size around (cx, cy) that are not black.
    int Lit(int cx, int cy, int half)
    {
        int n = 0;
        for (int y = cy - half; y < cy + half; ++y)
            for (int x = cx - half; x < cx + half; ++x)
                if (!(At(x, y) == BLACK))
                    ++n;
        return n;
    }
};

TEST_F(SpriteArchetypes, PemmetWalkCycleLoopsThroughItsEightFrames)
{
    GameObject* pemmet = Archetype("PemmetWalkCycle");
    Sprite* sprite = pemmet->GetSprite();
    SpriteSheet* sheet = pemmet->GetSpriteSheet();
    ASSERT_NE(sprite, nullptr);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sprite->GetName(), "PemmetWalkCycle");
    EXPECT_EQ(sprite->layer, 6u);
    ASSERT_NE(sprite->texture, nullptr);
    EXPECT_EQ(sprite->texture->name, "PemmetMovingSpritesheet");
    EXPECT_EQ(sheet->playing, 1);
    EXPECT_EQ(sheet->looping, 1);

    std::vector<int> frames;
    for (int i = 0; i < 10; ++i) {
        pemmet->Draw();
        ASSERT_EQ(window->layers[6].size(), 1u);
        const DrawCommand& command = window->layers[6][0];
        // Four columns, two rows, counted with "bottomToTop".
        EXPECT_EQ(command.column, sheet->currentFrame % 4);
        EXPECT_EQ(command.row, 1 - sheet->currentFrame / 4);
        frames.push_back(sheet->currentFrame);
        RenderFrame();
        EXPECT_GT(Lit(960, 540, 60), 200) << "frame " << sheet->currentFrame;
        pemmet->Update(0.1f);
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1}));
}

TEST_F(SpriteArchetypes, NumberCountOnceGoesBackToTheCoin)
{
    GameObject* number = Archetype("NumberCountOnce");
    Sprite* sprite = number->GetSprite();
    SpriteSheet* sheet = number->GetSpriteSheet();
    ASSERT_NE(sprite, nullptr);
    ASSERT_NE(sheet, nullptr);
    ASSERT_NE(sprite->texture, nullptr);
    EXPECT_EQ(sprite->texture->name, "Number");
    EXPECT_EQ(sheet->returnTexture, "Treasure");
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(sheet->currentFrame, i);
        number->Draw();
        RenderFrame();
        EXPECT_GT(Lit(1080, 540, 30), 50) << "frame " << i;
        number->Update(0.125f);
    }
    EXPECT_EQ(sheet->playing, 0);
    EXPECT_EQ(sprite->texture->name, "Treasure");
    number->Draw();
    ASSERT_EQ(window->layers[8].size(), 1u);
    RenderFrame();
    EXPECT_GT(Lit(1080, 540, 30), 50);
}

TEST_F(SpriteArchetypes, TintedPanelFillsItsRectangle)
{
    GameObject* panel = Archetype("TintedPanel");
    Sprite* sprite = panel->GetSprite();
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->layer, 10u);
    EXPECT_EQ(sprite->drawMode, 2u);
    EXPECT_FLOAT_EQ(sprite->particleColor[2], 0.8f);
    panel->Draw();
    RenderFrame();
    const Pixel tint{51, 102, 204};
    EXPECT_EQ(At(960, 540), tint);
    EXPECT_EQ(At(960 - 170, 540 - 110), tint);
    EXPECT_EQ(At(960 + 170, 540 + 110), tint);
    EXPECT_EQ(At(960 - 190, 540), BLACK);
    EXPECT_EQ(At(960, 540 - 130), BLACK);
}

}  // namespace
