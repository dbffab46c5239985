// The fog of war under Xvfb: after the layers and the text, revealed cells show the scene and the rest
// of the window shows the fog colour. Frames are read back just before the buffers are swapped.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <memory>
#include <string>

#include "GlFrame.h"
#include "TestObjects.h"
#include "core/GameObject.h"
#include "core/Matrix4f.h"
#include "core/Trace.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/LightingSystem.h"
#include "graphics/Mesh.h"
#include "graphics/ParticleBatch.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/Window.h"
#include "world/LevelSystem.h"
#include "test_tilemap_fixture.h"

using namespace testsupport;
using namespace worldtest;

namespace {

// The window's own fog pass, then the read-back.
void FogThenCapture()
{
    LightingSystemDrawFog();
    CaptureFrame();
}

// The hook as the window starts with it, before any fixture replaces it.
void (*const startingFogHook)() = WindowDrawFogHook;

class FogDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        TraceReset();
        window = OpenWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(WindowWidth, 1920);
        ASSERT_EQ(WindowHeight, 1080);
        WindowDrawFogHook = FogThenCapture;
        CameraList[0].zoom = 45.0f; // 60 pixels per world unit
        CaptureConsole([&] {
            lighting = new LightingSystem();
            levels = new LevelSystem();
            lighting->Init();
            levels->Init();
        });
        ASSERT_NE(lighting->fogMesh, nullptr);
        // Cells one world unit wide; cell (8, 8) sits on the world origin, the window's centre.
        lighting->SetGridSize(1.0f);
        lighting->ResizeGrid(16, 16);
        lighting->originX = 8.0f;
        lighting->originY = 8.0f;
        lighting->enabled = 1;
        lighting->fogColor[0] = 0.2f;
        lighting->fogColor[1] = 0.4f;
        lighting->fogColor[2] = 0.6f;
        lighting->fogColor[3] = 1.0f;
    }
    void TearDown() override
    {
        WindowDrawFogHook = LightingSystemDrawFog;
        CaptureConsole([&] {
            delete levels;
            delete lighting;
        });
        delete window;
        window = nullptr;
    }

    // A white quad over the whole view on the background layer, then the frame.
    void RenderScene(bool withThroughFogQuad = false)
    {
        Mesh* mesh = GraphicsLibrary::GetMesh("empty_mesh");
        ASSERT_NE(mesh, nullptr);
        DrawCommand background;
        background.name = "Background";
        background.mesh = mesh;
        const Matrix4f big = Matrix4f::Scale(100.0f, 100.0f, 1.0f);
        std::copy(big.m, big.m + 16, background.model);
        window->QueueDrawCommand(DRAW_LAYER_BACKGROUND, background);
        if (withThroughFogQuad) {
            // A red quad at world (-6, 4), drawn through the fog.
            DrawCommand marker;
            marker.name = "Marker";
            marker.mesh = mesh;
            marker.drawThroughFog = 1;
            const Matrix4f model = Matrix4f::Translation(-6.0f, 4.0f) * Matrix4f::Scale(0.5f, 0.5f, 1.0f);
            std::copy(model.m, model.m + 16, marker.model);
            marker.color[1] = 0.0f;
            marker.color[2] = 0.0f;
            window->QueueDrawCommand(DRAW_LAYER_PROPS, marker);
        }
        ClearToBlack();
        window->Render();
        ASSERT_TRUE(HaveFrame());
    }

    Window* window = nullptr;
    LightingSystem* lighting = nullptr;
    LevelSystem* levels = nullptr;
};

} // namespace

TEST(FogWiring, TheWindowDrawsTheFogOfTheLightingSystem)
{
    EXPECT_EQ(startingFogHook, &LightingSystemDrawFog);
}

TEST_F(FogDrawTest, RevealedCellShowsTheSceneAndTheRestIsFog)
{
    lighting->RevealCircle(0.0f, 0.0f, 0);
    ASSERT_EQ(lighting->CountRevealed(), 1);
    RenderScene();
    // The stamp of cell (8, 8) covers world -1..1 on both axes: pixels 900..1020 by 480..600.
    EXPECT_TRUE(IsColour(At(960, 540), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(905, 485), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(1015, 595), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(1030, 540), 51, 102, 153));
    EXPECT_TRUE(IsColour(At(960, 470), 51, 102, 153));
    EXPECT_TRUE(IsColour(At(10, 10), 51, 102, 153));
    EXPECT_TRUE(IsColour(At(1900, 1070), 51, 102, 153));
}

TEST_F(FogDrawTest, RevealOfRadiusTwoOpensItsCells)
{
    // Cell (4, 10) is world (-4, 2): 240 pixels left of and 120 above the centre.
    lighting->RevealCircle(-4.0f, 2.0f, 2);
    ASSERT_EQ(lighting->CountRevealed(), 13);
    RenderScene();
    EXPECT_TRUE(IsColour(At(720, 420), 255, 255, 255));       // the centre cell
    EXPECT_TRUE(IsColour(At(720 + 120, 420), 255, 255, 255)); // two cells right
    EXPECT_TRUE(IsColour(At(720, 420 - 120), 255, 255, 255)); // two cells up
    // The diagonal cell two steps away is outside the circle; its stamp area beyond its neighbours'
    // reach is fog.
    EXPECT_TRUE(IsColour(At(720 + 135, 420 - 135), 51, 102, 153));
    EXPECT_TRUE(IsColour(At(960, 540), 51, 102, 153));
}

TEST_F(FogDrawTest, ThroughFogCommandsStayVisible)
{
    RenderScene(true);
    // The red marker at world (-6, 4) is at pixels 600 +- 30, 300 +- 30.
    EXPECT_TRUE(IsColour(At(600, 300), 255, 0, 0));
    EXPECT_TRUE(IsColour(At(960, 540), 51, 102, 153));
}

TEST_F(FogDrawTest, ThroughFogPingShowsWithoutTheBatchShader)
{
    // A data folder whose batch shader is missing: the particles are drawn one by one instead.
    ScratchDir scratch("nobatch");
    scratch.CopyFromRepo("assets/data/shaders");
    fs::remove(scratch / "assets/data/shaders/shader.particle_batch.vs.txt");
    scratch.Enter();
    ParticleBatch::ReleaseGl();
    ASSERT_TRUE(ParticleEmitter::batchDrawing);
    std::unique_ptr<GameObject> object(MakePlacedObject("Ping", -6.0f, 4.0f));
    auto* ping = new ParticleEmitter();
    ping->meshName = "textured_mesh";
    ping->pattern = 16; // a full white circle drawn through the fog
    object->SetComponent(ping);
    const std::string out = CaptureConsole([&] {
        ping->Update(0.0f);
        object->Draw();
    });
    EXPECT_TRUE(Contains(out, "Particles are drawn one by one: the batch shader did not build")) << out;
    RenderScene();
    EXPECT_TRUE(IsColour(At(600, 300), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(960, 540), 51, 102, 153));
    ParticleBatch::ReleaseGl();
}

TEST_F(FogDrawTest, DisabledFogDrawsNothing)
{
    lighting->enabled = 0;
    RenderScene();
    EXPECT_TRUE(IsColour(At(960, 540), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(10, 10), 255, 255, 255));
    // Later frames draw normally: the fog leaves no stencil state behind.
    lighting->enabled = 1;
    RenderScene();
    lighting->enabled = 0;
    RenderScene();
    EXPECT_TRUE(IsColour(At(10, 10), 255, 255, 255));
}

TEST_F(FogDrawTest, TheCameraMovesTheRevealedCells)
{
    lighting->RevealCircle(0.0f, 0.0f, 0);
    // The camera at (2, 0): world 0 is 120 pixels left of the centre.
    CameraList[0].x = 2.0f;
    const Matrix4f at = Matrix4f::Translation(2.0f, 0.0f);
    std::copy(at.m, at.m + 16, CameraList[0].matrix);
    RenderScene();
    EXPECT_TRUE(IsColour(At(840, 540), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(960, 540), 51, 102, 153));
}

TEST_F(FogDrawTest, CellsFarOffScreenAreSkippedAndTheDefaultGridDraws)
{
    // The shipped settings and a full default grid with a few reveals, some far away.
    lighting->cols = 1024;
    lighting->rows = 1024;
    CaptureConsole([&] { lighting->Init(); });
    ASSERT_EQ(lighting->grid.size(), 1024u);
    lighting->enabled = 1;
    lighting->RevealCircle(0.0f, 0.0f, 4);
    lighting->RevealCircle(120.0f, 120.0f, 4);
    std::string out = CaptureConsole([&] { RenderScene(); });
    EXPECT_FALSE(Contains(out, "Assertion")) << out;
    EXPECT_TRUE(IsColour(At(960, 540 + 30), 255, 255, 255)); // world (0, 0) is revealed
    EXPECT_TRUE(IsColour(At(10, 10), 13, 13, 13));           // shipped fog colour 0.05
}
