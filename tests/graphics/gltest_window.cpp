// The window under Xvfb: start values, callbacks, the draw layers and the frame render, read back as
// pixels just before the buffers are swapped.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "app/GameLoop.h"
#include "graphics/Font.h"
#include "GlFrame.h"
#include "core/ISystem.h"
#include "core/Matrix4f.h"
#include "core/Message.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/InputManager.h"
#include "graphics/Mesh.h"
#include "MessageRecorder.h"
#include "core/Trace.h"
#include "core/Vector4f.h"
#include "graphics/Window.h"
#include "ui/WidgetInput.h"
#include "world/Scene.h"
#include "world/SceneSystem.h"

using namespace testsupport;

namespace {

DrawCommand Quad(Mesh* mesh, float x, float y, float scale, float r, float g, float b, float a = 1.0f)
{
    DrawCommand command;
    command.name = "TestQuad";
    command.mesh = mesh;
    command.drawMode = DRAW_FACES;
    const Matrix4f model = Matrix4f::Translation(x, y, 0.0f) * Matrix4f::Scale(scale, scale, 1.0f);
    for (int i = 0; i < 16; ++i)
        command.model[i] = model.m[i];
    command.color[0] = r;
    command.color[1] = g;
    command.color[2] = b;
    command.color[3] = a;
    return command;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        savedFog = WindowDrawFogHook;
        savedMenu = WindowOpenPauseMenuHook;
        hooksSaved = true;
        window = OpenWindow();
        ASSERT_NE(window, nullptr);
        WindowDrawFogHook = CaptureFrame;
        ForgetFrame();
    }
    void TearDown() override
    {
        if (hooksSaved) {
            WindowDrawFogHook = savedFog;
            WindowOpenPauseMenuHook = savedMenu;
        }
        delete window;
        window = nullptr;
    }

    // Clears to black and renders what is queued.
    void RenderFrame()
    {
        ClearToBlack();
        window->Render();
        ASSERT_TRUE(HaveFrame());
    }

    Mesh* FlatQuad()
    {
        Mesh* mesh = GraphicsLibrary::GetMesh("empty_mesh");
        EXPECT_NE(mesh, nullptr);
        return mesh;
    }

    Window* window = nullptr;
    void (*savedFog)() = nullptr;
    void (*savedMenu)() = nullptr;
    bool hooksSaved = false;
};

TEST_F(WindowTest, StartValues)
{
    EXPECT_EQ(CurrentWindow, window);
    EXPECT_EQ(WindowWidth, 1920);
    EXPECT_EQ(WindowHeight, 1080);
    EXPECT_EQ(window->fullscreen, 1);
    EXPECT_TRUE(IsFullscreen());
    EXPECT_EQ(window->globalAlpha, 1.0f);
    EXPECT_EQ(window->focused, 1);
    EXPECT_EQ(window->clearColor[0], 0.0f);
    EXPECT_EQ(window->clearColor[1], 0.0f);
    EXPECT_EQ(window->clearColor[2], 0.0f);
    EXPECT_EQ(window->clearColor[3], 1.0f);
    ASSERT_EQ(CameraList.size(), 1u);
    EXPECT_EQ(CameraList[0].zoom, 0.0f);
    EXPECT_EQ(CameraList[0].viewport[2], 1920.0f);
    EXPECT_EQ(CameraList[0].viewport[3], 1080.0f);
    ASSERT_EQ(ViewportList.size(), 1u);
    EXPECT_EQ(ViewportList[0].x, 0.0f);
    EXPECT_EQ(ViewportList[0].y, 0.0f);
    EXPECT_EQ(ViewportList[0].width, 1920.0f);
    EXPECT_EQ(ViewportList[0].height, 1080.0f);
    EXPECT_FLOAT_EQ(AspectMatrix[0], 1080.0f / 1920.0f);
    EXPECT_EQ(AspectMatrix[5], 1.0f);
    EXPECT_EQ(window->layers.size(), 11u);
    EXPECT_EQ(window->textLayers.size(), 11u);
    EXPECT_NE(window->graphicsLibrary, nullptr);
    EXPECT_EQ(GraphicsLibraryInstance, window->graphicsLibrary);
    int stencilBits = 0;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE,
                                          &stencilBits);
    EXPECT_GE(stencilBits, 8);
    EXPECT_STREQ(reinterpret_cast<const char*>(glGetString(GL_VERSION)) != nullptr ? "ok" : "", "ok");
}

TEST_F(WindowTest, DestructionClearsTheGlobals)
{
    delete window;
    window = nullptr;
    EXPECT_EQ(CurrentWindow, nullptr);
    EXPECT_EQ(GraphicsLibraryInstance, nullptr);
    EXPECT_TRUE(CameraList.empty());
    EXPECT_TRUE(ViewportList.empty());
    // Without a window the switches and setters do nothing.
    SetFullscreen();
    SetWindowed();
    SetGlobalAlpha(0.5f);
    EXPECT_FALSE(IsFullscreen());
}

TEST_F(WindowTest, FramebufferSizeUpdatesViewportCameraAndAspect)
{
    ::testing::internal::CaptureStdout();
    FramebufferSizeCallback(window->window, 800, 600);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Window Dimensions: (800, 600)"), std::string::npos) << out;
    // The interface keeps the picture's 16:9 aspect; the picture is the widest 16:9 band of the window.
    EXPECT_NE(out.find("Aspect:\n 0.562      0      0      0 \n"), std::string::npos) << out;
    EXPECT_EQ(WindowWidth, 800);
    EXPECT_EQ(WindowHeight, 600);
    ASSERT_EQ(ViewportList.size(), 1u);
    EXPECT_EQ(ViewportList[0].width, 800.0f);
    EXPECT_EQ(CameraList[0].viewport[2], 800.0f);
    EXPECT_EQ(CameraList[0].viewport[3], 600.0f);
    EXPECT_FLOAT_EQ(AspectMatrix[0], 0.5625f);
    const Viewport picture = PictureRect();
    EXPECT_EQ(picture.x, 0.0f);
    EXPECT_EQ(picture.y, 75.0f);
    EXPECT_EQ(picture.width, 800.0f);
    EXPECT_EQ(picture.height, 450.0f);
}

TEST_F(WindowTest, TheMousePointsIntoThePictureBetweenItsBars)
{
    // Bars above and below (5:4, 16:10) and beside (21:9): the mouse on the picture's corners and
    // centre points at the same places of the interface as in a 16:9 window.
    auto keys = std::make_shared<ScriptedKeySource>();
    InputManager input(keys);
    input.Init();
    struct Case { int width, height; Viewport picture; };
    for (const Case& c : {Case{1280, 1024, {0.0f, 152.0f, 1280.0f, 720.0f}}, Case{1920, 1200, {0.0f, 60.0f, 1920.0f, 1080.0f}},
                          Case{2560, 1080, {320.0f, 0.0f, 1920.0f, 1080.0f}}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        ::testing::internal::CaptureStdout();
        FramebufferSizeCallback(window->window, c.width, c.height);
        ::testing::internal::GetCapturedStdout();
        const Viewport r = PictureRect();
        EXPECT_EQ(r.x, c.picture.x);
        EXPECT_EQ(r.y, c.picture.y);
        EXPECT_EQ(r.width, c.picture.width);
        EXPECT_EQ(r.height, c.picture.height);
        for (const float share : {0.0f, 0.5f, 1.0f}) {
            keys->SetCursor(c.picture.x + share * c.picture.width, c.picture.y + share * c.picture.height);
            input.Update(0.0f);
            const widget::Cursor cursor = widget::CursorInInterface();
            EXPECT_NEAR(cursor.x, (2.0f * share - 1.0f) * 16.0f / 9.0f, 1e-4f) << share;
            EXPECT_NEAR(cursor.y, 1.0f - 2.0f * share, 1e-4f) << share;
        }
    }
}

int pauseMenus = 0;
void OpenMenu()
{
    ++pauseMenus;
}

class WindowCallbackTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        engine = new Engine();
        gEngine = engine;
        pauseMenus = 0;
        WindowOpenPauseMenuHook = OpenMenu;
        // The window asks the scene system about the current scene: a menu scene (not pausable) with
        // no change pending until a test says otherwise.
        const float alpha = window->globalAlpha;
        ::testing::internal::CaptureStdout();
        scenes = new SceneSystem();
        current = new Scene("MainMenuScene");
        ::testing::internal::GetCapturedStdout();
        scenes->SetFadeAlpha(alpha);
        ASSERT_EQ(gSceneSystem, scenes);
        scenes->scenes.push_back(current);
        scenes->current = current;
        scenes->next = current;
        current->pausable = false;
    }
    void TearDown() override
    {
        delete scenes;
        scenes = nullptr;
        current = nullptr;
        delete engine;
        gEngine = nullptr;
        WindowTest::TearDown();
    }
    Engine* engine = nullptr;
    SceneSystem* scenes = nullptr; // owns current
    Scene* current = nullptr;
};

TEST_F(WindowCallbackTest, MinimiseInAMenuSceneOnlyResizes)
{
    ::testing::internal::CaptureStdout();
    FramebufferSizeCallback(window->window, 0, 0);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("Game paused on minimize"), std::string::npos);
    EXPECT_EQ(engine->paused, 0);
    EXPECT_EQ(pauseMenus, 0);
    EXPECT_EQ(WindowWidth, 0);
    // No division by zero reaches the aspect matrix.
    EXPECT_TRUE(std::isfinite(AspectMatrix[0]));
}

TEST_F(WindowCallbackTest, MinimiseInAPausableScenePausesAndOpensTheMenuEvenWhenPaused)
{
    current->pausable = true;
    ::testing::internal::CaptureStdout();
    FramebufferSizeCallback(window->window, 0, 0);
    FramebufferSizeCallback(window->window, 0, 0);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Game paused on minimize"), std::string::npos);
    EXPECT_EQ(engine->paused, 1);
    EXPECT_EQ(pauseMenus, 2);
}

TEST_F(WindowCallbackTest, IconifyCountsAsMinimise)
{
    current->pausable = true;
    ::testing::internal::CaptureStdout();
    WindowIconifyCallback(window->window, 0);
    EXPECT_EQ(pauseMenus, 0);
    WindowIconifyCallback(window->window, 1);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Game paused on minimize"), std::string::npos);
    EXPECT_EQ(engine->paused, 1);
    EXPECT_EQ(pauseMenus, 1);
}

TEST_F(WindowCallbackTest, LosingFocusInAPausableScenePausesOnce)
{
    current->pausable = true;
    ::testing::internal::CaptureStdout();
    WindowFocusCallback(window->window, 0);
    EXPECT_EQ(window->focused, 0);
    EXPECT_EQ(engine->paused, 1);
    EXPECT_EQ(pauseMenus, 1);
    // Losing it again while paused opens no second menu.
    WindowFocusCallback(window->window, 0);
    EXPECT_EQ(pauseMenus, 1);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Changed focus to 0"), std::string::npos) << out;

    // Regaining it with no change of scene pending leaves the game paused.
    ::testing::internal::CaptureStdout();
    WindowFocusCallback(window->window, 1);
    const std::string back = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(window->focused, 1);
    EXPECT_EQ(engine->paused, 1);
    EXPECT_NE(back.find("Changed focus to 1"), std::string::npos);
    EXPECT_EQ(back.find("Special Unpause"), std::string::npos);
}

TEST_F(WindowCallbackTest, RegainingFocusInAMenuSceneUnpauses)
{
    PauseGame(); // the window has the focus, so this pauses
    ASSERT_EQ(engine->paused, 1);
    ::testing::internal::CaptureStdout();
    WindowFocusCallback(window->window, 1);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Special Unpause"), std::string::npos);
    EXPECT_EQ(engine->paused, 0);
}

TEST_F(WindowCallbackTest, RegainingFocusWithASceneChangePendingUnpauses)
{
    current->pausable = true;
    scenes->reload = true;
    PauseGame();
    ::testing::internal::CaptureStdout();
    WindowFocusCallback(window->window, 1);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Special Unpause"), std::string::npos);
    EXPECT_EQ(engine->paused, 0);
}

TEST_F(WindowCallbackTest, LosingFocusInAMenuSceneDoesNotPause)
{
    WindowFocusCallback(window->window, 0);
    EXPECT_EQ(engine->paused, 0);
    EXPECT_EQ(pauseMenus, 0);
}

TEST_F(WindowTest, WindowedAndBackToFullscreen)
{
    ::testing::internal::CaptureStdout();
    SetWindowed();
    EXPECT_FALSE(IsFullscreen());
    // A 16:9 window three quarters of the screen's height, centred on the screen (1920 x 1080).
    int x = 0, y = 0, width = 0, height = 0;
    glfwGetWindowPos(window->window, &x, &y);
    glfwGetWindowSize(window->window, &width, &height);
    EXPECT_EQ(width, 1440);
    EXPECT_EQ(height, 810);
    EXPECT_EQ(x, 240);
    EXPECT_EQ(y, 135);
    EXPECT_EQ(WindowWidth, 1440);
    EXPECT_EQ(WindowHeight, 810);
    SetFullscreen();
    EXPECT_EQ(WindowWidth, 1920);
    EXPECT_EQ(WindowHeight, 1080);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(IsFullscreen());
    EXPECT_NE(out.find("Set to Windowed"), std::string::npos);
    EXPECT_NE(out.find("Set to Fullscreen"), std::string::npos);
    EXPECT_EQ(glfwGetWindowMonitor(window->window), glfwGetPrimaryMonitor());
}

// ---- Frame loop with the real window -----------------------------------------------------------

TEST_F(WindowTest, SetBGColorClearsTheFrameAndReachesNoSystem)
{
    Engine engine;
    gEngine = &engine;
    MessageRecorder* recorder = new MessageRecorder();
    engine.AddSystem(recorder);

    Message* message = new Message("SetBGColor", &engine, nullptr, MessageType::Vector);
    message->SetVector(0.2f, 0.4f, 0.6f, 1.0f);
    engine.HandleMessage(message);
    delete message;
    EXPECT_TRUE(recorder->seen.empty());
    EXPECT_FLOAT_EQ(window->clearColor[1], 0.4f);

    GameLoop loop(&engine, window);
    float now = 0.0f;
    loop.clock = [&]() { return now += 0.01f; };
    loop.escapeDown = []() { return false; };
    loop.Start();
    ASSERT_TRUE(loop.Frame());
    ASSERT_TRUE(HaveFrame());
    EXPECT_TRUE(IsColour(At(960, 540), 51, 102, 153, 2));
    EXPECT_TRUE(IsColour(At(5, 5), 51, 102, 153, 2));
    gEngine = nullptr;
}

TEST_F(WindowTest, TheFrameThatSeesSlashWithEscapeSkipsTheClear)
{
    Engine engine;
    gEngine = &engine;
    window->clearColor[0] = 0.0f;
    window->clearColor[1] = 1.0f;
    window->clearColor[2] = 0.0f;
    bool escape = false;
    bool closeAsked = false;
    GameLoop loop(&engine, window);
    float now = 0.0f;
    loop.clock = [&]() { return now += 0.01f; };
    loop.escapeDown = [&]() { return escape; };
    loop.modifierDown = []() { return true; };
    loop.requestClose = [&]() { closeAsked = true; };
    loop.shouldClose = [&]() { return closeAsked; };
    loop.Start();

    // An ordinary frame clears to the clear colour.
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(loop.Frame());
    EXPECT_TRUE(IsColour(At(960, 540), 0, 255, 0));

    // The Escape frame leaves the buffer as it was.
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    escape = true;
    ASSERT_TRUE(loop.Frame());
    EXPECT_TRUE(closeAsked);
    EXPECT_TRUE(IsColour(At(960, 540), 255, 0, 0));
    EXPECT_FALSE(loop.Frame());
    gEngine = nullptr;
}

TEST_F(WindowTest, DefaultCloseRequestReachesGlfw)
{
    Engine engine;
    GameLoop loop(&engine, window);
    EXPECT_FALSE(loop.ShouldEnd());
    loop.requestClose();
    EXPECT_TRUE(glfwWindowShouldClose(window->window));
    EXPECT_TRUE(loop.ShouldEnd());
}

// ---- Draw layers ---------------------------------------------------------------------------------

TEST_F(WindowTest, ScaleOneQuadAtZoom45Covers120PixelsAtTheCentre)
{
    CameraList[0].zoom = 45.0f;
    window->QueueDrawCommand(5, Quad(FlatQuad(), 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f));
    RenderFrame();
    EXPECT_TRUE(IsColour(At(960, 540), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(901, 540), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(1018, 540), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(898, 540), 0, 0, 0));
    EXPECT_TRUE(IsColour(At(1021, 540), 0, 0, 0));
    EXPECT_TRUE(IsColour(At(960, 481), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(960, 598), 255, 255, 255));
    EXPECT_TRUE(IsColour(At(960, 478), 0, 0, 0));
    EXPECT_TRUE(IsColour(At(960, 601), 0, 0, 0));
    // The queue is empty after the frame.
    EXPECT_TRUE(window->layers[5].empty());
}

TEST_F(WindowTest, CameraPositionMovesTheWorld)
{
    CameraList[0].zoom = 45.0f;
    Camera& camera = CameraList[0];
    const Matrix4f moved = Matrix4f::Translation(2.0f, 0.0f, 0.0f);
    for (int i = 0; i < 16; ++i)
        camera.matrix[i] = moved.m[i];
    // A quad at x = 2 sits at the centre of a camera at x = 2.
    window->QueueDrawCommand(5, Quad(FlatQuad(), 2.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f));
    RenderFrame();
    EXPECT_TRUE(IsColour(At(960, 540), 0, 255, 0));
}

TEST_F(WindowTest, InterfaceQuadIsPlacedThroughTheAspectMatrix)
{
    DrawCommand command = Quad(FlatQuad(), 0.0f, 0.0f, 0.5f, 0.0f, 0.0f, 1.0f);
    command.ui = 1;
    CameraList[0].zoom = 45.0f; // the camera does not move interface commands
    window->QueueDrawCommand(0, command);
    RenderFrame();
    // Half of the interface height: 540 pixels tall and, through the aspect, 540 wide.
    EXPECT_TRUE(IsColour(At(960, 540), 0, 0, 255));
    EXPECT_TRUE(IsColour(At(693, 540), 0, 0, 255));
    EXPECT_TRUE(IsColour(At(1227, 540), 0, 0, 255));
    EXPECT_TRUE(IsColour(At(687, 540), 0, 0, 0));
    EXPECT_TRUE(IsColour(At(1233, 540), 0, 0, 0));
    EXPECT_TRUE(IsColour(At(960, 273), 0, 0, 255));
    EXPECT_TRUE(IsColour(At(960, 267), 0, 0, 0));
}

TEST_F(WindowTest, LayerZeroIsDrawnOverLayerTen)
{
    CameraList[0].zoom = 45.0f;
    Mesh* mesh = FlatQuad();
    window->QueueDrawCommand(0, Quad(mesh, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f));
    window->QueueDrawCommand(10, Quad(mesh, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f));
    RenderFrame();
    EXPECT_TRUE(IsColour(At(960, 540), 0, 255, 0));
}

TEST_F(WindowTest, OnOneLayerTheLaterCommandWins)
{
    CameraList[0].zoom = 45.0f;
    Mesh* mesh = FlatQuad();
    window->QueueDrawCommand(4, Quad(mesh, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f));
    window->QueueDrawCommand(4, Quad(mesh, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f));
    RenderFrame();
    EXPECT_TRUE(IsColour(At(960, 540), 255, 0, 0));
}

TEST_F(WindowTest, ThroughFogStampMasksLaterWorldDrawsButNotInterfaceDraws)
{
    CameraList[0].zoom = 45.0f;
    Mesh* mesh = FlatQuad();
    DrawCommand stamp = Quad(mesh, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f);
    stamp.drawThroughFog = 1;
    window->QueueDrawCommand(9, stamp);
    // A bigger green world quad on a lower layer: not drawn where the stamp is, drawn around it.
    window->QueueDrawCommand(5, Quad(mesh, 0.0f, 0.0f, 2.0f, 0.0f, 1.0f, 0.0f));
    // A small interface quad over the left half of the stamp.
    DrawCommand ui = Quad(mesh, -0.05f, 0.0f, 0.02f, 0.0f, 0.0f, 1.0f);
    ui.ui = 1;
    window->QueueDrawCommand(0, ui);
    RenderFrame();
    EXPECT_TRUE(IsColour(At(1000, 540), 255, 0, 0)); // stamp kept
    EXPECT_TRUE(IsColour(At(1060, 540), 0, 255, 0)); // green around it
    // Interface quad centred at x = 960 - 0.05 * 0.5625 * 960 = 933.
    EXPECT_TRUE(IsColour(At(933, 540), 0, 0, 255));
}

TEST_F(WindowTest, GlobalAlphaHalvesAWhiteQuad)
{
    CameraList[0].zoom = 45.0f;
    SetGlobalAlpha(0.5f);
    EXPECT_EQ(window->globalAlpha, 0.5f);
    window->QueueDrawCommand(5, Quad(FlatQuad(), 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f));
    RenderFrame();
    EXPECT_TRUE(IsColour(At(960, 540), 128, 128, 128, 2));
}

TEST_F(WindowTest, CommandWithoutAlphaIsNotDrawn)
{
    CameraList[0].zoom = 45.0f;
    window->QueueDrawCommand(5, Quad(FlatQuad(), 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f));
    RenderFrame();
    EXPECT_TRUE(IsColour(At(960, 540), 0, 0, 0));
}

TEST_F(WindowTest, CommandWithoutMeshIsReportedAndSkipped)
{
    CameraList[0].zoom = 45.0f;
    DrawCommand ghost = Quad(nullptr, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f);
    ghost.name = "Ghost";
    window->QueueDrawCommand(5, ghost);
    window->QueueDrawCommand(5, Quad(FlatQuad(), 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f));
    ::testing::internal::CaptureStdout();
    RenderFrame();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Assertion `mesh` failed.Location: src/Window Line "), std::string::npos) << out;
    EXPECT_NE(out.find(": Ghost's mesh does not exist"), std::string::npos) << out;
    EXPECT_TRUE(IsColour(At(960, 540), 0, 255, 0));
}

TEST_F(WindowTest, TextItemsAreDrawnOverTheLayersAndLeaveTheirQueue)
{
    Font* font = GraphicsLibrary::GetFont("DejaVuSans");
    ASSERT_NE(font, nullptr);
    CameraList[0].zoom = 45.0f;
    // Under the text: a dark red world quad drawn through the fog (it stamps the whole window) and a
    // dark blue interface panel (stamped too); the text is drawn over both.
    DrawCommand world = Quad(FlatQuad(), 0.0f, 0.0f, 20.0f, 0.5f, 0.0f, 0.0f);
    world.drawThroughFog = 1;
    window->QueueDrawCommand(1, world);
    DrawCommand panel = Quad(FlatQuad(), 0.0f, 0.1f, 0.9f, 0.0f, 0.0f, 0.4f);
    panel.ui = 1;
    window->QueueDrawCommand(0, panel);
    TextItem item;
    item.text = "WWWW";
    item.x = -0.2f;
    item.y = 0.0f;
    item.scale = 0.004f;
    item.font = font;
    TextItem noFont;
    noFont.text = "no font";
    window->QueueText(3, &item);
    window->QueueText(0, &noFont);
    RenderFrame();
    int white = 0;
    for (int y = 400; y < 540; ++y)
        for (int x = 700; x < 1300; ++x)
            if (IsColour(At(x, y), 255, 255, 255, 40))
                ++white;
    EXPECT_GT(white, 200);
    EXPECT_TRUE(IsColour(At(960, 200), 0, 0, 102)) << "the panel";
    for (const auto& layer : window->textLayers)
        EXPECT_TRUE(layer.empty());
    // The item still belongs to its owner and is untouched.
    EXPECT_EQ(item.text, "WWWW");
}

TEST_F(WindowTest, LayersOutsideTheElevenQueueNothing)
{
    Mesh* mesh = FlatQuad();
    window->QueueDrawCommand(11, Quad(mesh, 0, 0, 1, 1, 1, 1));
    window->QueueDrawCommand(-1, Quad(mesh, 0, 0, 1, 1, 1, 1));
    const float white[4] = {1, 1, 1, 1};
    DrawMesh(11, false, mesh, nullptr, -1, -1, nullptr, white);
    DrawMesh(-3, false, mesh, nullptr, -1, -1, nullptr, white);
    DrawSprite(11, nullptr, 1);
    TextItem item;
    window->QueueText(11, &item);
    window->QueueText(0, nullptr);
    for (const auto& layer : window->layers)
        EXPECT_TRUE(layer.empty());
    for (const auto& layer : window->textLayers)
        EXPECT_TRUE(layer.empty());
}

TEST_F(WindowTest, DrawMeshQueuesAMeshRenderCommand)
{
    Mesh* mesh = FlatQuad();
    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    const float clear[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    DrawMesh(3, true, mesh, nullptr, 2.9f, 1.2f, nullptr, colour);
    DrawMesh(3, false, mesh, nullptr, 0.0f, 0.0f, nullptr, clear); // alpha 0: nothing
    DrawMesh(3, false, mesh, nullptr, NAN, 1e20f, nullptr, colour);
    ASSERT_EQ(window->layers[3].size(), 2u);
    const DrawCommand& c = window->layers[3][0];
    EXPECT_EQ(c.name, "MeshRender");
    EXPECT_EQ(c.ui, 0);
    EXPECT_EQ(c.drawThroughFog, 1);
    EXPECT_EQ(c.mesh, mesh);
    EXPECT_EQ(c.drawMode, DRAW_FACES);
    EXPECT_EQ(c.column, 2);
    EXPECT_EQ(c.row, 1);
    EXPECT_EQ(c.color[2], 0.75f);
    // Cells that are no number, or too large for one, draw the whole texture.
    EXPECT_EQ(window->layers[3][1].column, -1);
    EXPECT_EQ(window->layers[3][1].row, -1);
    window->layers[3].clear();
}

TEST_F(WindowTest, ProjectionAndCoordinateConversions)
{
    // Camera 0 at its own position with zoom 0 at 1920 x 1080: the centre moved up by 30 pixels.
    Vector4f screen = WorldToScreen(Vector4f(0.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_FLOAT_EQ(screen.x, 960.0f);
    EXPECT_FLOAT_EQ(screen.y, 510.0f);

    CameraList[0].zoom = 45.0f;
    screen = WorldToScreen(Vector4f(1.0f, 1.0f, 0.0f, 1.0f));
    EXPECT_NEAR(screen.x, 1020.0f, 1e-3f);
    EXPECT_NEAR(screen.y, 480.0f - 30.0f, 1e-3f);

    Vector4f world = ScreenToWorld(Vector4f(960.0f, 540.0f, 0.0f, 1.0f));
    EXPECT_NEAR(world.x, 0.0f, 1e-5f);
    EXPECT_NEAR(world.y, -0.35f, 1e-5f);
    world = ScreenToWorld(Vector4f(1020.0f, 480.0f, 0.0f, 1.0f));
    EXPECT_NEAR(world.x, 1.0f, 1e-4f);
    EXPECT_NEAR(world.y, 1.0f - 0.35f, 1e-4f);

    Matrix4f device = GetProjectionMatrix();
    EXPECT_FLOAT_EQ(device.m[0], 120.0f / 1920.0f);
    EXPECT_FLOAT_EQ(device.m[5], 120.0f / 1080.0f);
    CameraList[0].zoom = -75.0f;
    device = GetProjectionMatrix();
    EXPECT_FLOAT_EQ(device.m[0], 0.001f / 1920.0f);
    EXPECT_FLOAT_EQ(device.m[5], 0.001f / 1080.0f);
}

TEST(WindowWithoutDisplay, ReportsAndStaysSafe)
{
    // Force window creation to fail by pointing GLFW at a display that does not exist.
    const char* previous = std::getenv("DISPLAY");
    const std::string saved = previous ? previous : "";
    setenv("DISPLAY", ":9876", 1);
    ::testing::internal::CaptureStdout();
    {
        Window window;
        EXPECT_FALSE(window.IsReady());
        EXPECT_EQ(window.window, nullptr);
        EXPECT_EQ(window.graphicsLibrary, nullptr);
        SetFullscreen();
        SetWindowed();
        window.Render(); // nothing queued, nothing to swap
    }
    const std::string out = ::testing::internal::GetCapturedStdout();
    if (previous)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
    EXPECT_NE(out.find("Assertion `false` failed.Location: src/Window Line "), std::string::npos) << out;
    EXPECT_NE(out.find(": Failed to create GLFW window: "), std::string::npos) << out;
    EXPECT_EQ(CurrentWindow, nullptr);
}

} // namespace
