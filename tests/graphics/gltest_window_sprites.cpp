// Objects queued through DrawSprite and the debug shapes, and sprite-sheet frames read back as pixels.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <cmath>
#include <string>
#include <vector>

#include "TestObjects.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "GlFrame.h"
#include "core/Matrix4f.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Mesh.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

using namespace testsupport;

namespace {

class SpriteDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        savedFog = WindowDrawFogHook;
        hooksSaved = true;
        window = OpenWindow();
        ASSERT_NE(window, nullptr);
        WindowDrawFogHook = CaptureFrame;
        CameraList[0].zoom = 45.0f;
    }
    void TearDown() override
    {
        if (hooksSaved)
            WindowDrawFogHook = savedFog;
        delete object;
        object = nullptr;
        delete texture;
        texture = nullptr;
        delete window;
        window = nullptr;
        delete factory;
        factory = nullptr;
    }

    // An object with a transform (scale 1 at x, y) and a sprite with the given mesh.
    GameObject* MakeObject(const std::string& name, const char* meshName, float x = 0.0f, float y = 0.0f)
    {
        GameObject* made = testsupport::MakePlacedObject(name, x, y);
        Sprite* sprite = new Sprite();
        sprite->mesh = GraphicsLibrary::GetMesh(meshName);
        made->SetComponent(sprite);
        return made;
    }

    // A 2 x 2 sheet of 2 x 2-pixel cells: top row red | green, bottom row blue | white.
    Texture* MakeSheet(int bottomToTop)
    {
        Texture* made = new Texture("NoImageForThisTest", "png");
        // Rows bottom first, as images are uploaded flipped.
        const unsigned char B[4] = {0, 0, 255, 255}, W[4] = {255, 255, 255, 255};
        const unsigned char R[4] = {255, 0, 0, 255}, G[4] = {0, 255, 0, 255};
        const unsigned char* rows[4][4] = {{B, B, W, W}, {B, B, W, W}, {R, R, G, G}, {R, R, G, G}};
        std::vector<unsigned char> pixels;
        for (auto& row : rows)
            for (const unsigned char* texel : row)
                pixels.insert(pixels.end(), texel, texel + 4);
        if (made->id)
            glDeleteTextures(1, &made->id);
        glGenTextures(1, &made->id);
        glBindTexture(GL_TEXTURE_2D, made->id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        made->width = 4;
        made->height = 4;
        made->numCols = 2;
        made->numRows = 2;
        made->numFrames = 4;
        made->bottomToTop = static_cast<uint8_t>(bottomToTop);
        return made;
    }

    void Render()
    {
        ClearToBlack();
        window->Render();
    }

    Window* window = nullptr;
    void (*savedFog)() = nullptr;
    bool hooksSaved = false;
    GameObjectFactory* factory = nullptr;
    GameObject* object = nullptr;
    Texture* texture = nullptr;
};

TEST_F(SpriteDrawTest, DrawSpriteQueuesTheSpriteOfTheObject)
{
    object = MakeObject("Hero", "empty_mesh", 1.5f, -2.0f);
    Sprite* sprite = object->GetSprite();
    sprite->color[0] = 0.5f;
    sprite->ui = 1;
    sprite->drawThroughFog = 1;
    DrawSprite(6, object, DRAW_EDGES_AND_FACES);
    ASSERT_EQ(window->layers[6].size(), 1u);
    const DrawCommand& c = window->layers[6][0];
    EXPECT_EQ(c.name, "Hero");
    EXPECT_EQ(c.ui, 1);
    EXPECT_EQ(c.drawThroughFog, 1);
    EXPECT_EQ(c.mesh, sprite->mesh);
    EXPECT_EQ(c.drawMode, DRAW_EDGES_AND_FACES);
    EXPECT_EQ(c.texture, nullptr);
    EXPECT_EQ(c.column, -1);
    EXPECT_EQ(c.row, -1);
    EXPECT_EQ(c.model[12], 1.5f);
    EXPECT_EQ(c.model[13], -2.0f);
    EXPECT_EQ(c.color[0], 0.5f);
    window->layers[6].clear();
}

TEST_F(SpriteDrawTest, SpriteWithoutAlphaOrComponentsQueuesNothing)
{
    object = MakeObject("Ghost", "empty_mesh");
    object->GetSprite()->color[3] = 0.0f;
    DrawSprite(6, object, DRAW_FACES);
    GameObject bare;
    DrawSprite(6, &bare, DRAW_FACES);
    DrawSprite(6, nullptr, DRAW_FACES);
    EXPECT_TRUE(window->layers[6].empty());
}

TEST_F(SpriteDrawTest, SheetFrameGivesColumnAndRow)
{
    object = MakeObject("Sheet", "textured_mesh");
    SpriteSheet* sheet = new SpriteSheet();
    object->SetComponent(sheet);
    texture = MakeSheet(1);
    texture->numCols = 4;
    texture->numRows = 3;
    object->GetSprite()->texture = texture;

    sheet->currentFrame = 5;
    DrawSprite(7, object, DRAW_FACES);
    texture->bottomToTop = 0;
    DrawSprite(7, object, DRAW_FACES);
    sheet->currentFrame = 0;
    DrawSprite(7, object, DRAW_FACES);
    // No columns: no cell can be picked, the whole texture is drawn.
    texture->numCols = 0;
    DrawSprite(7, object, DRAW_FACES);

    ASSERT_EQ(window->layers[7].size(), 4u);
    EXPECT_EQ(window->layers[7][0].column, 1);
    EXPECT_EQ(window->layers[7][0].row, 1);
    EXPECT_EQ(window->layers[7][1].column, 1);
    EXPECT_EQ(window->layers[7][1].row, 1);
    EXPECT_EQ(window->layers[7][2].column, 0);
    EXPECT_EQ(window->layers[7][2].row, 2);
    EXPECT_EQ(window->layers[7][3].column, -1);
    EXPECT_EQ(window->layers[7][3].row, -1);
    window->layers[7].clear();
}

struct FrameCase {
    int bottomToTop;
    int frame;
    Pixel colour;
};

TEST_F(SpriteDrawTest, FramesOfATwoByTwoSheetReadBack)
{
    const Pixel red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
    const FrameCase cases[] = {
        {1, 0, red}, {1, 1, green}, {1, 2, blue}, {1, 3, white},
        {0, 0, blue}, {0, 1, white}, {0, 2, red}, {0, 3, green},
    };
    object = MakeObject("Sheet", "textured_mesh");
    SpriteSheet* sheet = new SpriteSheet();
    object->SetComponent(sheet);
    for (const FrameCase& c : cases) {
        delete texture;
        texture = MakeSheet(c.bottomToTop);
        object->GetSprite()->texture = texture;
        sheet->currentFrame = c.frame;
        DrawSprite(5, object, DRAW_FACES);
        Render();
        EXPECT_EQ(At(960, 540), c.colour) << "bottomToTop " << c.bottomToTop << ", frame " << c.frame;
    }
}

TEST_F(SpriteDrawTest, DebugLinePlacesAPooledObject)
{
    object = MakeObject("DebugLine", "line_mesh");
    window->debugLines.push_back(object);
    const float yellow[4] = {1, 1, 0, 1};
    DrawDebugLine(-1.0f, -1.0f, 3.0f, 2.0f, yellow);
    EXPECT_EQ(window->debugLinesUsed, 1);
    Transform* t = object->GetTransform();
    EXPECT_FLOAT_EQ(t->TranslationX, 1.0f);
    EXPECT_FLOAT_EQ(t->TranslationY, 0.5f);
    EXPECT_FLOAT_EQ(t->Rotation, std::atan2(3.0f, 4.0f));
    EXPECT_FLOAT_EQ(t->ScaleX, 2.5f);
    EXPECT_FLOAT_EQ(t->ScaleY, 1.0f);
    ASSERT_EQ(window->layers[0].size(), 1u);
    EXPECT_EQ(window->layers[0][0].drawMode, DRAW_EDGES);
    EXPECT_EQ(window->layers[0][0].color[2], 0.0f);

    // Rendering resets the count; the pool keeps its object.
    Render();
    EXPECT_EQ(window->debugLinesUsed, 0);
    EXPECT_EQ(window->debugLines.size(), 1u);
    window->debugLines.clear(); // the test owns the object
}

TEST_F(SpriteDrawTest, DebugRectanglePlacesAndDrawsAPooledObject)
{
    object = MakeObject("DebugRectangle", "empty_mesh");
    window->debugRectangles.push_back(object);
    const float green[4] = {0, 1, 0, 1};
    DrawDebugRectangle(0.0f, 0.0f, 2.0f, 4.0f, 0.0f, green);
    Transform* t = object->GetTransform();
    EXPECT_FLOAT_EQ(t->ScaleX, 1.0f);
    EXPECT_FLOAT_EQ(t->ScaleY, 2.0f);
    Render();
    // Edges only: the outline is green, the middle stays black.
    EXPECT_EQ(At(960, 540), (Pixel{0, 0, 0}));
    bool edgeFound = false;
    for (int x = 1015; x <= 1025; ++x)
        edgeFound = edgeFound || At(x, 540) == Pixel{0, 255, 0};
    EXPECT_TRUE(edgeFound);
    EXPECT_EQ(window->debugRectanglesUsed, 0);
    window->debugRectangles.clear();
}

TEST_F(SpriteDrawTest, DebugShapeWithoutComponentsIsReportedAndSkipped)
{
    object = new GameObject();
    window->debugLines.push_back(object);
    const float white[4] = {1, 1, 1, 1};
    ::testing::internal::CaptureStdout();
    DrawDebugLine(0, 0, 1, 1, white);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("DebugLine Transform component does not exist"), std::string::npos) << out;
    EXPECT_TRUE(window->layers[0].empty());
    window->debugLines.clear();
}

TEST_F(SpriteDrawTest, DebugShapesWithoutAFactoryDoNothing)
{
    const float white[4] = {1, 1, 1, 1};
    DrawDebugLine(0, 0, 1, 1, white);
    DrawDebugRectangle(0, 0, 1, 1, 0, white);
    EXPECT_TRUE(window->debugLines.empty());
    EXPECT_TRUE(window->debugRectangles.empty());
    EXPECT_TRUE(window->layers[0].empty());
}

TEST_F(SpriteDrawTest, DebugShapesComeFromTheFactoryAndArePooled)
{
    factory = new GameObjectFactory();
    ASSERT_EQ(gGameObjectFactory, factory);
    const float white[4] = {1, 1, 1, 1};
    DrawDebugLine(-1.0f, 0.0f, 1.0f, 0.0f, white);
    DrawDebugLine(-1.0f, 1.0f, 1.0f, 1.0f, white);
    DrawDebugRectangle(3.0f, 3.0f, 1.0f, 1.0f, 0.0f, white);
    ASSERT_EQ(window->debugLines.size(), 2u);
    ASSERT_EQ(window->debugRectangles.size(), 1u);
    EXPECT_EQ(window->debugLines[0]->GetName(), "DebugLine");
    EXPECT_EQ(window->debugRectangles[0]->GetName(), "DebugRectangle");
    ASSERT_EQ(window->layers[0].size(), 3u);
    ASSERT_NE(window->layers[0][0].mesh, nullptr);
    EXPECT_EQ(window->layers[0][0].mesh->meshType, Mesh::MESH_LINE);
    EXPECT_EQ(window->layers[0][2].mesh->meshType, Mesh::MESH_QUAD);
    Render();
    // The first line runs through the centre: 120 pixels wide at zoom 45.
    EXPECT_EQ(At(960, 540), (Pixel{255, 255, 255}));
    EXPECT_EQ(At(905, 540), (Pixel{255, 255, 255}));
    EXPECT_EQ(At(1060, 540), (Pixel{0, 0, 0}));

    // The next frame reuses the pooled objects.
    GameObject* first = window->debugLines[0];
    DrawDebugLine(0.0f, 0.0f, 1.0f, 1.0f, white);
    EXPECT_EQ(window->debugLines.size(), 2u);
    EXPECT_EQ(window->debugLinesUsed, 1);
    EXPECT_EQ(window->debugLines[0], first);
    Render();
}

} // namespace
