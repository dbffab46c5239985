#pragma once
// The game's one window and OpenGL context (GLFW), its per-layer draw queues, camera 0, the viewports and
// the frame render.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct GLFWwindow;
class GraphicsLibrary;
class GameObject;
class Transform;
class Mesh;
class Texture;
struct Font;
class Matrix4f;
class Vector4f;
class VertexBatch;

// Number of draw layers (and text layers); layer 10 is drawn first, layer 0 last (on top).
constexpr int NUM_DRAW_LAYERS = 11;

// Layer indices by the names sprites use.
enum DrawLayer : int {
    DRAW_LAYER_UI = 0,
    DRAW_LAYER_1 = 1,
    DRAW_LAYER_ABOVE_PLAYER_01 = 2,
    DRAW_LAYER_ABOVE_PLAYER_00 = 3,
    DRAW_LAYER_PLAYER_UI = 4,
    DRAW_LAYER_PLAYER_EYES = 5,
    DRAW_LAYER_PLAYER = 6,
    DRAW_LAYER_TREASURE = 7,
    DRAW_LAYER_PROPS = 8,
    DRAW_LAYER_OBSTACLES = 9,
    DRAW_LAYER_BACKGROUND = 10,
};

// Draw modes of a command: edges (lines), faces (triangles) or both.
enum DrawMode : int { DRAW_EDGES = 0, DRAW_FACES = 1, DRAW_EDGES_AND_FACES = 2 };

// Many items drawn by one call, queued in a command's place. It draws the picture of drawing its items
// one by one, in order, with the same stencil logic.
class DrawBatch {
public:
    virtual ~DrawBatch() = default;
    // Draws through one viewport; throughFog stamps the items into the stencil as a command would.
    virtual void Render(const float* device, const float* view, float globalAlpha, bool throughFog) = 0;
};

// One queued draw, copied into a layer's queue by value.
struct DrawCommand {
    std::string name;           // the drawing object's name, "MeshRender" for DrawMesh
    uint8_t ui = 0;             // 1: drawn in window space through AspectMatrix and stamped into the stencil
    uint8_t drawThroughFog = 0; // 1: world command stamped into the stencil so the fog leaves it visible
    Mesh* mesh = nullptr;
    int drawMode = DRAW_FACES;
    Texture* texture = nullptr; // null: untextured
    int column = -1, row = -1;  // texture frame cell; -1, -1 = the whole texture
    float model[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; // column-major world matrix
    float color[4] = {1, 1, 1, 1};
    std::shared_ptr<DrawBatch> drawBatch; // set: the batch draws in place of mesh, texture and model
    // Not null: many quads already placed in world space, drawn in place of the mesh's own geometry
    // with the mesh's shader (the model matrix is then the identity and the frame the whole texture).
    // Owned by whoever queued it and kept alive until the frame is rendered.
    const VertexBatch* batch = nullptr;
};

// A sprite's text, owned by its sprite and queued by pointer on a text layer for one frame.
struct TextItem {
    std::string text;
    float x = 0.0f, y = 0.0f;
    float scale = 1.0f;
    float color[4] = {1, 1, 1, 1};
    Font* font = nullptr;
};

// One camera of CameraList (the list holds exactly camera 0).
struct Camera {
    float x = 0.0f, y = 0.0f;
    float zoom = 0.0f; // the projection scale is zoom + 75
    float w = 0.0f;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; // column-major
    float viewport[4] = {0, 0, 0, 0};                                  // x, y, width, height in pixels
};

// A viewport rectangle in window pixels.
struct Viewport {
    float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
};

class Window {
public:
    // Opens GLFW, the window and the OpenGL 3.3 context, and creates the graphics library.
    Window();
    // Deletes the graphics library, empties the queues and lists and terminates GLFW.
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Clears the frame for drawing: the bars beside the picture to black, the picture (colour, depth
    // and stencil) to clearColor.
    void BeginFrame();
    // Draws the queued commands layer by layer (10 down to 0), the text layers and the fog into the
    // picture, then swaps the buffers and polls GLFW's events.
    void Render();

    // Appends a command to a draw layer; a layer outside 0..10 queues nothing.
    void QueueDrawCommand(int layer, const DrawCommand& command);
    // Appends a text item (not owned) to a text layer; a layer outside 0..10 or a null item queues nothing.
    void QueueText(int layer, TextItem* item);

    // True when the window and the OpenGL entry points both came up.
    bool IsReady() const { return window != nullptr && glLoaded; }

    GraphicsLibrary* graphicsLibrary = nullptr; // owned
    GLFWwindow* window = nullptr;               // null only when creation failed
    uint8_t fullscreen = 1;
    float clearColor[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::vector<std::vector<DrawCommand>> layers;
    std::vector<std::vector<TextItem*>> textLayers; // items not owned
    int debugLinesUsed = 0;
    std::vector<GameObject*> debugLines;
    int debugRectanglesUsed = 0;
    std::vector<GameObject*> debugRectangles;
    float globalAlpha = 1.0f;
    uint8_t focused = 1;
    bool glLoaded = false; // the OpenGL entry points were loaded
    // The size fullscreen asks of the monitor: 1920 x 1080, or the screen's size when it is smaller.
    int fullscreenWidth = 1920, fullscreenHeight = 1080;
};

// Globals beside the window.
extern Window* CurrentWindow;
extern int WindowWidth;  // framebuffer width in pixels
extern int WindowHeight; // framebuffer height in pixels
extern int ViewportMode; // 1 = one full-window viewport
extern std::vector<Viewport> ViewportList;
extern std::vector<Camera> CameraList;
extern float AspectMatrix[16]; // column-major; [0][0] = the picture's height / width (1080 / 1920)
// Grows by one whenever a window's OpenGL context comes up, so buffers kept across frames can tell
// whether they belong to the current context.
extern std::uint64_t WindowContextSerial;

// The picture: the game lays everything out for a 1920 x 1080 frame, which is scaled to the largest
// 16:9 rectangle that fits the window and centred in it, with black bars where the window's aspect
// differs. The world's projection, the interface's AspectMatrix and the mouse all go through it.
constexpr int PICTURE_WIDTH = 1920;
constexpr int PICTURE_HEIGHT = 1080;
// The picture's rectangle in window pixels (x right, y down from the top-left corner).
Viewport PictureRect();
// A window pixel as the same place in the 1920 x 1080 picture, and back.
void WindowToPicture(float& x, float& y);
void PictureToWindow(float& x, float& y);

// Window mode switches (also reachable from scripts). Fullscreen takes the primary monitor at
// fullscreenWidth x fullscreenHeight; windowed is a 16:9 window of three quarters of the screen's
// height, centred on it.
void SetFullscreen();
void SetWindowed();
bool IsFullscreen();
void SetGlobalAlpha(float alpha);

// GLFW callbacks.
void FramebufferSizeCallback(GLFWwindow* window, int width, int height);
void WindowFocusCallback(GLFWwindow* window, int focused);
// X11 reports no 0 x 0 size on iconify: iconifying is treated as minimising.
void WindowIconifyCallback(GLFWwindow* window, int iconified);

// Queueing on CurrentWindow (nothing without a window). Layers outside 0..10 queue nothing.
void DrawSprite(int layer, GameObject* object, int drawMode);
void DrawMesh(int layer, bool drawThroughFog, Mesh* mesh, Texture* texture, float column, float row,
              Transform* transform, const float* rgba);
void DrawDebugLine(float x1, float y1, float x2, float y2, const float* rgba);
void DrawDebugRectangle(float x, float y, float width, float height, float rotation, const float* rgba);

// Coordinate conversions through camera 0 (not exact inverses of each other).
Vector4f WorldToScreen(Vector4f world);
Vector4f ScreenToWorld(Vector4f pixels);
// Scale(s / W, s / H, 1) with s = camera 0's zoom + 75 (0.001 when that is exactly 0) and W x H the
// picture's 1920 x 1080.
Matrix4f GetProjectionMatrix();

// Seams for systems that arrive later; null means the system is absent and the default applies.
// Opens the menu "PauseMenu".
extern void (*WindowOpenPauseMenuHook)();
// Hands camera 0 to the camera system again.
extern void (*WindowCameraResetHook)(Camera* camera);
// Draws the fog of war after the text layers.
extern void (*WindowDrawFogHook)();
