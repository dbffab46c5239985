#include "graphics/Window.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/Matrix4f.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "core/Vector4f.h"
#include "graphics/CameraSystem.h"
#include "graphics/Font.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/Mesh.h"
#include "graphics/ParticleBatch.h"
#include "graphics/Shader.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "graphics/VertexBatch.h"

Window* CurrentWindow = nullptr;
int WindowWidth = 1920;
int WindowHeight = 1080;
int ViewportMode = 1;
std::vector<Viewport> ViewportList;
std::vector<Camera> CameraList;
float AspectMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
std::uint64_t WindowContextSerial = 0;

void (*WindowOpenPauseMenuHook)() = nullptr;
void (*WindowCameraResetHook)(Camera* camera) = CameraSystemResetCamera;
void (*WindowDrawFogHook)() = LightingSystemDrawFog;

namespace {

const char* const WINDOW_TITLE = "Pemmet's Dustrun";
const char* const SOURCE_PATH = "src/Window";

// The current scene is pausable; false without a scene system or a current scene.
bool ScenePausable()
{
    return ScenePausableHook && ScenePausableHook();
}

bool SceneChangePending()
{
    return SceneChangePendingHook && SceneChangePendingHook();
}

// What the engine asks of the current window.
void ShowCursor(bool shown)
{
    if (CurrentWindow && CurrentWindow->window)
        glfwSetInputMode(CurrentWindow->window, GLFW_CURSOR, shown ? GLFW_CURSOR_NORMAL : GLFW_CURSOR_HIDDEN);
}

void TakeClearColor(const std::array<float, 4>& colour)
{
    if (CurrentWindow) {
        for (int i = 0; i < 4; ++i)
            CurrentWindow->clearColor[i] = colour[i];
    }
}

bool HasFocus()
{
    return !CurrentWindow || CurrentWindow->focused;
}

void OpenPauseMenu()
{
    if (WindowOpenPauseMenuHook)
        WindowOpenPauseMenuHook();
}

// The minimise rule: a pausable scene pauses and opens the pause menu, whether or not it was paused.
void PauseOnMinimize()
{
    if (!ScenePausable())
        return;
    Trace("Game paused on minimize");
    PauseGame();
    OpenPauseMenu();
}

bool ValidLayer(int layer)
{
    return layer >= 0 && layer < NUM_DRAW_LAYERS;
}

// Device = Scale(s / W, s / H, 1), s = camera 0's zoom + 75 (0.001 when exactly 0), W x H the picture's
// size: the viewport scales the picture to the window, so the world keeps its layout at every size.
Matrix4f DeviceMatrix()
{
    float s = (CameraList.empty() ? 0.0f : CameraList[0].zoom) + 75.0f;
    if (s == 0.0f)
        s = 0.001f;
    return Matrix4f::Scale(s / static_cast<float>(PICTURE_WIDTH), s / static_cast<float>(PICTURE_HEIGHT), 1.0f);
}

// Points OpenGL's viewport and scissor box at the picture (OpenGL counts rows from the bottom).
void ApplyPictureViewport()
{
    const Viewport r = PictureRect();
    const GLint x = static_cast<GLint>(r.x);
    const GLint w = static_cast<GLint>(r.width);
    const GLint h = static_cast<GLint>(r.height);
    const GLint y = static_cast<GLint>(WindowHeight) - static_cast<GLint>(r.y) - h;
    glViewport(x, y, w, h);
    glScissor(x, y, w, h);
}

// Takes the framebuffer's real size when it differs from the last one reported (a mode switch that
// the screen could not make, a window manager's own size).
void SyncFramebufferSize(GLFWwindow* window)
{
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    if (width != WindowWidth || height != WindowHeight)
        FramebufferSizeCallback(window, width, height);
}

// The point with every component divided by w (left as it is when w is 0).
Vector4f DivideByW(Vector4f r)
{
    if (r.w != 0.0f) {
        const float d = r.w;
        r.x /= d;
        r.y /= d;
        r.z /= d;
        r.w /= d;
    }
    return r;
}

Matrix4f CameraMatrix(std::size_t index)
{
    if (index < CameraList.size())
        return Matrix4f(CameraList[index].matrix);
    if (!CameraList.empty())
        return Matrix4f(CameraList[0].matrix);
    return Matrix4f::Identity();
}

// One white texel: what a textured mesh samples when its command has no texture, so the command
// draws in its colour alone. Made once per OpenGL context.
GLuint gWhiteTexture = 0;
std::uint64_t gWhiteTextureContext = 0;

void BindWhiteTexture()
{
    if (!gWhiteTexture || gWhiteTextureContext != WindowContextSerial) {
        const unsigned char white[4] = {255, 255, 255, 255};
        gWhiteTexture = MakeSingleTexelTexture(white);
        gWhiteTextureContext = WindowContextSerial;
    }
    glBindTexture(GL_TEXTURE_2D, gWhiteTexture);
}

void UseProgram(Mesh* mesh)
{
    glUseProgram(mesh->shader ? mesh->shader->program : 0);
}

// Stamps 1 into the stencil where the next draw lands, colour on and alpha off.
void OpenStamp(Mesh* mesh)
{
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 1);
    glStencilMask(0xFF);
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    if (mesh->fogTransparencyLocation != -1)
        glUniform1f(mesh->fogTransparencyLocation, 1.0f);
}

// Later draws without a stamp of their own go only where no stamp was made. Drawing leaves no program
// in use, so the mesh's program is bound again before its fog uniform is reset.
void CloseStamp(Mesh* mesh)
{
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilFunc(GL_NOTEQUAL, 1, 1);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (mesh->fogTransparencyLocation != -1) {
        UseProgram(mesh);
        glUniform1f(mesh->fogTransparencyLocation, 0.0f);
        glUseProgram(0);
    }
}

// Binds the command's program and sets the uniforms every pass shares.
void PrepareCommand(const DrawCommand& command, float globalAlpha)
{
    Mesh* mesh = command.mesh;
    UseProgram(mesh);
    glUniform4fv(mesh->colorLocation, 1, command.color);
    if (command.texture)
        mesh->BindTextureFrame(command.texture, command.column, command.row);
    else
        BindWhiteTexture();
    glUniformMatrix4fv(mesh->modelLocation, 1, GL_FALSE, command.model);
    // The fade may run past 0 or 1 for timing; the shaders get it within 0..1.
    glUniform1f(mesh->globalAlphaLocation, std::fmin(std::fmax(globalAlpha, 0.0f), 1.0f));
}

// The command's geometry: its batch when it has one, else the mesh in the command's draw mode. A
// batch of an opaque image drawn at full alpha replaces what lies under it, so it is drawn without
// blending, which would give the same colours at the cost of reading every pixel back.
void DrawGeometry(const DrawCommand& command, float globalAlpha)
{
    if (!command.batch) {
        command.mesh->Draw(command.drawMode);
        return;
    }
    const Texture* texture = command.texture;
    const bool opaque = texture && texture->id != 0 && texture->opaque && command.color[3] >= 1.0f &&
                        globalAlpha >= 1.0f && glIsEnabled(GL_BLEND);
    if (opaque)
        glDisable(GL_BLEND);
    command.batch->Draw();
    if (opaque)
        glEnable(GL_BLEND);
}

int FloatToCell(float value)
{
    if (!std::isfinite(value) || value <= static_cast<float>(std::numeric_limits<int>::min()) ||
        value >= static_cast<float>(std::numeric_limits<int>::max()))
        return -1;
    return static_cast<int>(value);
}

void CopyMatrix(float* target, const Matrix4f& source)
{
    for (int i = 0; i < 16; ++i)
        target[i] = source.m[i];
}

// Stores value in field only when it differs; returns whether it changed.
bool StoreIfChanged(float& field, float value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// Hands out the next object of a debug pool, creating one when the pool is used up. Null when the
// object can't be made.
GameObject* NextDebugObject(std::vector<GameObject*>& pool, int& used, const char* archetype)
{
    if (used < 0)
        used = 0;
    if (static_cast<std::size_t>(used) >= pool.size()) {
        if (!gGameObjectFactory)
            return nullptr;
        GameObject* object = gGameObjectFactory->CreateGameObject(archetype, true);
        if (!object)
            return nullptr;
        pool.push_back(object);
    }
    return pool[static_cast<std::size_t>(used)];
}

// Places a pooled debug shape, colours it and queues it on layer 0 as edges. A shape without its
// transform or sprite is reported and skipped.
void DrawDebugShape(GameObject* object, const char* kind, float x, float y, float rotation, float scaleX,
                    const float* scaleY, const float* rgba)
{
    Transform* transform = object->GetTransform();
    if (!transform) {
        AssertionFailed("transform", SOURCE_PATH, __LINE__,
                        std::string(kind) + " Transform component does not exist");
        return;
    }
    Sprite* sprite = object->GetSprite();
    if (!sprite) {
        AssertionFailed("sprite", SOURCE_PATH, __LINE__, std::string(kind) + " Sprite component does not exist");
        return;
    }
    bool changed = StoreIfChanged(transform->TranslationX, x);
    changed = StoreIfChanged(transform->TranslationY, y) || changed;
    changed = StoreIfChanged(transform->Rotation, rotation) || changed;
    changed = StoreIfChanged(transform->ScaleX, scaleX) || changed;
    if (scaleY)
        changed = StoreIfChanged(transform->ScaleY, *scaleY) || changed;
    if (changed)
        transform->dirty = true;
    if (rgba) {
        for (int i = 0; i < 4; ++i)
            sprite->color[i] = rgba[i];
    }
    DrawSprite(0, object, DRAW_EDGES);
}

} // namespace

Window::Window()
{
    WindowWidth = 1920;
    WindowHeight = 1080;
    ViewportMode = 1;

    glfwInit();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);

    GLFWmonitor* monitor = fullscreen ? glfwGetPrimaryMonitor() : nullptr;
    // A screen smaller than 1920 x 1080 would show only part of a frame that size: fullscreen then
    // takes the screen's own size.
    if (const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr) {
        if (mode->width > 0 && mode->height > 0 && (mode->width < WindowWidth || mode->height < WindowHeight)) {
            WindowWidth = mode->width;
            WindowHeight = mode->height;
        }
    }

    fullscreenWidth = WindowWidth;
    fullscreenHeight = WindowHeight;

    Camera camera;
    camera.viewport[2] = static_cast<float>(WindowWidth);
    camera.viewport[3] = static_cast<float>(WindowHeight);
    CameraList.push_back(camera);

    window = glfwCreateWindow(WindowWidth, WindowHeight, WINDOW_TITLE, monitor, nullptr);
    if (!window) {
        const int error = glfwGetError(nullptr);
        glfwTerminate();
        AssertionFailed("false", SOURCE_PATH, __LINE__, "Failed to create GLFW window: " + std::to_string(error));
        return;
    }

    glfwMakeContextCurrent(window);
    glfwSetWindowAttrib(window, GLFW_AUTO_ICONIFY, GLFW_FALSE);

    // The size the framebuffer really has: a screen whose mode can't be switched keeps its own.
    int framebufferWidth = WindowWidth, framebufferHeight = WindowHeight;
    glfwGetFramebufferSize(window, &framebufferWidth, &framebufferHeight);
    if (framebufferWidth <= 0 || framebufferHeight <= 0) {
        framebufferWidth = WindowWidth;
        framebufferHeight = WindowHeight;
    }
    FramebufferSizeCallback(window, framebufferWidth, framebufferHeight);
    glfwSetFramebufferSizeCallback(window, FramebufferSizeCallback);
    glfwSetWindowFocusCallback(window, WindowFocusCallback);
    glfwSetWindowIconifyCallback(window, WindowIconifyCallback);
    glfwSetKeyCallback(window, InputKeyCallback);
    glfwSetMouseButtonCallback(window, InputMouseButtonCallback);

    const int version = gladLoadGL(glfwGetProcAddress);
    if (version == 0) {
        glfwDestroyWindow(window);
        window = nullptr;
        glfwTerminate();
        AssertionFailed("false", SOURCE_PATH, __LINE__, "Failed to initialize GLAD: " + std::to_string(version));
        return;
    }
    glLoaded = true;
    ++WindowContextSerial;

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    graphicsLibrary = new GraphicsLibrary();
    GraphicsLibraryInstance = graphicsLibrary;

    layers.resize(NUM_DRAW_LAYERS);
    textLayers.resize(NUM_DRAW_LAYERS);

    CurrentWindow = this;
    EngineCursorHook = ShowCursor;
    EngineClearColorHook = TakeClearColor;
    WindowHasFocusHook = HasFocus;
}

Window::~Window()
{
    // The pooled debug objects are kept out of the object manager, so the pools free them.
    for (GameObject* object : debugLines)
        delete object;
    for (GameObject* object : debugRectangles)
        delete object;
    debugLines.clear();
    debugLines.shrink_to_fit();
    debugRectangles.clear();
    debugRectangles.shrink_to_fit();

    // The library frees GL objects, so it goes while the context is still there.
    if (window)
        glfwMakeContextCurrent(window);
    if (glLoaded)
        ParticleBatch::ReleaseGl();
    delete graphicsLibrary;
    if (GraphicsLibraryInstance == graphicsLibrary)
        GraphicsLibraryInstance = nullptr;
    graphicsLibrary = nullptr;

    for (auto& layer : layers)
        layer.clear();
    for (auto& layer : textLayers)
        layer.clear();
    CameraList.clear();
    ViewportList.clear();

    if (glLoaded && gWhiteTexture && gWhiteTextureContext == WindowContextSerial) {
        glDeleteTextures(1, &gWhiteTexture);
        gWhiteTexture = 0;
    }
    if (window)
        glfwDestroyWindow(window);
    window = nullptr;
    glfwTerminate();

    if (CurrentWindow == this) {
        CurrentWindow = nullptr;
        EngineCursorHook = nullptr;
        EngineClearColorHook = nullptr;
        WindowHasFocusHook = nullptr;
    }
}

void Window::QueueDrawCommand(int layer, const DrawCommand& command)
{
    if (!ValidLayer(layer) || static_cast<std::size_t>(layer) >= layers.size())
        return;
    layers[static_cast<std::size_t>(layer)].push_back(command);
}

void Window::QueueText(int layer, TextItem* item)
{
    if (!item || !ValidLayer(layer) || static_cast<std::size_t>(layer) >= textLayers.size())
        return;
    textLayers[static_cast<std::size_t>(layer)].push_back(item);
}

void Window::BeginFrame()
{
    if (!IsReady())
        return;
    glDisable(GL_SCISSOR_TEST);
    glStencilMask(0xFF);
    const Viewport r = PictureRect();
    if (r.width != static_cast<float>(WindowWidth) || r.height != static_cast<float>(WindowHeight)) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    ApplyPictureViewport();
    glEnable(GL_SCISSOR_TEST);
    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

void Window::Render()
{
    const Matrix4f device = DeviceMatrix();
    const std::size_t viewports = ViewportList.size();
    // Everything draws into the picture; the bars beside it stay as the frame's clear left them.
    if (glLoaded) {
        ApplyPictureViewport();
        glEnable(GL_SCISSOR_TEST);
    }

    for (int layer = static_cast<int>(layers.size()) - 1; layer >= 0; --layer) {
        std::vector<DrawCommand>& queue = layers[static_cast<std::size_t>(layer)];
        for (const DrawCommand& command : queue) {
            if (!(command.color[3] > 0.0f))
                continue;
            if (!command.mesh) {
                AssertionFailed("mesh", SOURCE_PATH, __LINE__, command.name + "'s mesh does not exist");
                continue;
            }
            Mesh* mesh = command.mesh;
            if (command.drawBatch) {
                for (std::size_t k = 0; k < viewports; ++k) {
                    const Matrix4f view = Matrix4f::Inverse(CameraMatrix(k));
                    command.drawBatch->Render(device.m, view.m, globalAlpha, command.drawThroughFog != 0);
                }
                continue;
            }
            if (!command.ui) {
                for (std::size_t k = 0; k < viewports; ++k) {
                    // Drawing leaves no program in use: every pass binds the program again.
                    PrepareCommand(command, globalAlpha);
                    glUniformMatrix4fv(mesh->deviceLocation, 1, GL_FALSE, device.m);
                    const Matrix4f view = Matrix4f::Inverse(CameraMatrix(k));
                    glUniformMatrix4fv(mesh->viewLocation, 1, GL_FALSE, view.m);
                    if (command.drawThroughFog)
                        OpenStamp(mesh);
                    DrawGeometry(command, globalAlpha);
                    if (command.drawThroughFog)
                        CloseStamp(mesh);
                }
            } else {
                PrepareCommand(command, globalAlpha);
                OpenStamp(mesh);
                const Matrix4f identity;
                glUniformMatrix4fv(mesh->viewLocation, 1, GL_FALSE, identity.m);
                glUniformMatrix4fv(mesh->deviceLocation, 1, GL_FALSE, AspectMatrix);
                DrawGeometry(command, globalAlpha);
                CloseStamp(mesh);
            }
        }
        queue.clear();
    }

    // Text is drawn over everything before it, interface panels and through-fog stamps included: the
    // stencil test that the stamps left on would hide it exactly there. The fog sets up its own.
    if (glLoaded)
        glDisable(GL_STENCIL_TEST);
    for (int layer = static_cast<int>(textLayers.size()) - 1; layer >= 0; --layer) {
        std::vector<TextItem*>& queue = textLayers[static_cast<std::size_t>(layer)];
        for (TextItem* item : queue) {
            if (item && item->font)
                RenderText(item->font, item->text, item->x, item->y, item->scale, item->color);
        }
        queue.clear();
    }

    debugLinesUsed = 0;
    debugRectanglesUsed = 0;

    if (WindowDrawFogHook)
        WindowDrawFogHook();
    if (glLoaded)
        glDisable(GL_SCISSOR_TEST);

    if (window) {
        glfwSwapBuffers(window);
        glfwPollEvents();
    }
}

void SetFullscreen()
{
    if (!CurrentWindow || !CurrentWindow->window)
        return;
    Trace("Set to Fullscreen");
    // The fullscreen size chosen at start, not the last window's: a windowed size would switch the
    // screen's mode down to it.
    glfwSetWindowMonitor(CurrentWindow->window, glfwGetPrimaryMonitor(), 0, 0, CurrentWindow->fullscreenWidth,
                         CurrentWindow->fullscreenHeight, GLFW_DONT_CARE);
    CurrentWindow->fullscreen = 1;
    SyncFramebufferSize(CurrentWindow->window);
}

void SetWindowed()
{
    if (!CurrentWindow || !CurrentWindow->window)
        return;
    Trace("Set to Windowed");
    // A 16:9 window three quarters of the screen's height (and at most three quarters of its width),
    // centred on the screen.
    int screenWidth = CurrentWindow->fullscreenWidth, screenHeight = CurrentWindow->fullscreenHeight;
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    if (const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr) {
        if (mode->width > 0 && mode->height > 0) {
            screenWidth = mode->width;
            screenHeight = mode->height;
        }
    }
    int height = screenHeight * 3 / 4;
    int width = height * PICTURE_WIDTH / PICTURE_HEIGHT;
    if (width > screenWidth * 3 / 4) {
        width = screenWidth * 3 / 4;
        height = width * PICTURE_HEIGHT / PICTURE_WIDTH;
    }
    width = width > 0 ? width : 1;
    height = height > 0 ? height : 1;
    glfwSetWindowMonitor(CurrentWindow->window, nullptr, (screenWidth - width) / 2, (screenHeight - height) / 2,
                         width, height, GLFW_DONT_CARE);
    CurrentWindow->fullscreen = 0;
    SyncFramebufferSize(CurrentWindow->window);
}

Viewport PictureRect()
{
    const float w = static_cast<float>(WindowWidth > 0 ? WindowWidth : 0);
    const float h = static_cast<float>(WindowHeight > 0 ? WindowHeight : 0);
    if (w <= 0.0f || h <= 0.0f)
        return Viewport{0.0f, 0.0f, w, h};
    const float aspect = static_cast<float>(PICTURE_WIDTH) / static_cast<float>(PICTURE_HEIGHT);
    float pw = w, ph = std::round(w / aspect);
    if (ph > h) {
        ph = h;
        pw = std::min(w, std::round(h * aspect));
    }
    return Viewport{std::floor((w - pw) * 0.5f), std::floor((h - ph) * 0.5f), pw, ph};
}

void WindowToPicture(float& x, float& y)
{
    const Viewport r = PictureRect();
    if (r.width <= 0.0f || r.height <= 0.0f)
        return;
    x = (x - r.x) * static_cast<float>(PICTURE_WIDTH) / r.width;
    y = (y - r.y) * static_cast<float>(PICTURE_HEIGHT) / r.height;
}

void PictureToWindow(float& x, float& y)
{
    const Viewport r = PictureRect();
    if (r.width <= 0.0f || r.height <= 0.0f)
        return;
    x = x * r.width / static_cast<float>(PICTURE_WIDTH) + r.x;
    y = y * r.height / static_cast<float>(PICTURE_HEIGHT) + r.y;
}

bool IsFullscreen()
{
    return CurrentWindow && CurrentWindow->fullscreen != 0;
}

void SetGlobalAlpha(float alpha)
{
    if (CurrentWindow)
        CurrentWindow->globalAlpha = alpha;
}

void FramebufferSizeCallback(GLFWwindow*, int width, int height)
{
    WindowWidth = width;
    WindowHeight = height;
    Trace("Window Dimensions: (%i, %i)", width, height);

    ViewportList.clear();
    if (ViewportMode == 1)
        ViewportList.push_back(Viewport{0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height)});

    if (!CameraList.empty()) {
        Camera& camera = CameraList[0];
        camera.viewport[0] = 0.0f;
        camera.viewport[1] = 0.0f;
        camera.viewport[2] = static_cast<float>(width);
        camera.viewport[3] = static_cast<float>(height);
        if (WindowCameraResetHook)
            WindowCameraResetHook(&camera);
    }

    // The interface is laid out in the picture, whose aspect is the same at every window size.
    for (int i = 0; i < 16; ++i)
        AspectMatrix[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    AspectMatrix[0] = static_cast<float>(PICTURE_HEIGHT) / static_cast<float>(PICTURE_WIDTH);
    std::printf("Aspect:\n");
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column)
            std::printf("%6.3g ", static_cast<double>(AspectMatrix[column * 4 + row]));
        std::printf("\n");
    }
    std::fflush(stdout);

    if (width <= 0 && height <= 0)
        PauseOnMinimize();
}

void WindowFocusCallback(GLFWwindow*, int focused)
{
    Trace("Changed focus to %i", focused);
    if (focused) {
        if (CurrentWindow)
            CurrentWindow->focused = 1;
        if (gEngine)
            gEngine->SendMessage(std::string("Force_Unpause"), nullptr);
        // A pausable scene with no change pending stays paused behind its pause menu.
        if (ScenePausable() && !SceneChangePending())
            return;
        Trace("Special Unpause");
        UnpauseGame();
    } else {
        if (CurrentWindow)
            CurrentWindow->focused = 0;
        const bool wasPaused = gEngine && gEngine->paused;
        PauseGame();
        if (gEngine)
            gEngine->SendMessage(std::string("Force_Pause"), nullptr);
        if (ScenePausable() && !wasPaused)
            OpenPauseMenu();
    }
}

void WindowIconifyCallback(GLFWwindow*, int iconified)
{
    if (iconified)
        PauseOnMinimize();
}

void DrawSprite(int layer, GameObject* object, int drawMode)
{
    if (!CurrentWindow || !object || !ValidLayer(layer))
        return;
    Sprite* sprite = object->GetSprite();
    Transform* transform = object->GetTransform();
    if (!sprite || !transform)
        return;
    if (!(sprite->color[3] > 0.0f))
        return;

    DrawCommand command;
    SpriteSheet* sheet = object->GetSpriteSheet();
    Texture* texture = sprite->texture;
    // A sheet on a texture without columns or rows has no cell to pick: the whole texture is drawn.
    if (sheet && texture && texture->numCols > 0 && texture->numRows > 0) {
        const int frame = sheet->currentFrame;
        command.column = frame % texture->numCols;
        command.row = frame / texture->numCols;
        if (texture->bottomToTop == 0)
            command.row = texture->numRows - command.row - 1;
    }
    command.name = object->GetName();
    command.ui = sprite->ui;
    command.drawThroughFog = sprite->drawThroughFog;
    command.mesh = sprite->mesh;
    command.drawMode = drawMode;
    command.texture = texture;
    CopyMatrix(command.model, transform->GetWorldMatrix());
    for (int i = 0; i < 4; ++i)
        command.color[i] = sprite->color[i];
    CurrentWindow->QueueDrawCommand(layer, command);
}

void DrawMesh(int layer, bool drawThroughFog, Mesh* mesh, Texture* texture, float column, float row,
              Transform* transform, const float* rgba)
{
    if (!CurrentWindow || !rgba || !ValidLayer(layer))
        return;
    if (!(rgba[3] > 0.0f))
        return;
    DrawCommand command;
    command.name = "MeshRender";
    command.ui = 0;
    command.drawThroughFog = drawThroughFog ? 1 : 0;
    command.mesh = mesh;
    command.drawMode = DRAW_FACES;
    command.texture = texture;
    command.column = FloatToCell(column);
    command.row = FloatToCell(row);
    if (transform)
        CopyMatrix(command.model, transform->GetWorldMatrix());
    for (int i = 0; i < 4; ++i)
        command.color[i] = rgba[i];
    CurrentWindow->QueueDrawCommand(layer, command);
}

void DrawDebugLine(float x1, float y1, float x2, float y2, const float* rgba)
{
    if (!CurrentWindow)
        return;
    Window& w = *CurrentWindow;
    GameObject* object = NextDebugObject(w.debugLines, w.debugLinesUsed, "DebugLine");
    if (!object)
        return;
    const float dx = x2 - x1;
    const float dy = y2 - y1;
    const float length = std::sqrt(dx * dx + dy * dy);
    DrawDebugShape(object, "DebugLine", (x1 + x2) * 0.5f, (y1 + y2) * 0.5f, std::atan2(dy, dx), length * 0.5f,
                   nullptr, rgba);
    w.debugLinesUsed += 1;
}

void DrawDebugRectangle(float x, float y, float width, float height, float rotation, const float* rgba)
{
    if (!CurrentWindow)
        return;
    Window& w = *CurrentWindow;
    GameObject* object = NextDebugObject(w.debugRectangles, w.debugRectanglesUsed, "DebugRectangle");
    if (!object)
        return;
    const float halfHeight = height * 0.5f;
    DrawDebugShape(object, "DebugRectangle", x, y, rotation, width * 0.5f, &halfHeight, rgba);
    w.debugRectanglesUsed += 1;
}

Matrix4f GetProjectionMatrix()
{
    return DeviceMatrix();
}

// Both work in the picture's 1920 x 1080 pixels and map them to and from the window's.
Vector4f WorldToScreen(Vector4f world)
{
    const float w = static_cast<float>(PICTURE_WIDTH);
    const float h = static_cast<float>(PICTURE_HEIGHT);
    const Matrix4f toPixels = Matrix4f::Translation(w / 2.0f, h / 2.0f, 0.0f) * Matrix4f::Scale(w / 2.0f, -h / 2.0f, 1.0f);
    const Matrix4f full = toPixels * DeviceMatrix() * Matrix4f::Inverse(CameraMatrix(0));
    Vector4f r = DivideByW(full * world);
    r.y -= 30.0f;
    PictureToWindow(r.x, r.y);
    return r;
}

Vector4f ScreenToWorld(Vector4f pixels)
{
    WindowToPicture(pixels.x, pixels.y);
    const float w = static_cast<float>(PICTURE_WIDTH);
    const float h = static_cast<float>(PICTURE_HEIGHT);
    const Matrix4f fromPixels =
        Matrix4f::Scale(2.0f / w, -2.0f / h, 1.0f) * Matrix4f::Translation(-w / 2.0f, -h / 2.0f, 0.0f);
    const Matrix4f toWorld = Matrix4f::Inverse(DeviceMatrix() * Matrix4f::Inverse(CameraMatrix(0)));
    Vector4f r = DivideByW(toWorld * fromPixels * pixels);
    r.y -= 0.35f;
    return r;
}
