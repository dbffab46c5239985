#pragma once
// The fog of war: a grid of cells over the level, each still in fog (0) or revealed (1). Reveals are
// mirrored into the current level's grid of the LevelSystem, and the level grid is copied back when a
// scene is entered. After every draw layer and the text, DrawFog stamps the revealed cells into the
// stencil buffer and covers the rest of the window with the fog colour.
#include <cstdint>
#include <string>
#include <vector>

#include "core/ISystem.h"
#include "core/Vector2f.h"
#include "graphics/VertexBatch.h"

class Mesh;
class Transform;

class LightingSystem : public ISystem {
public:
    // Largest grid side accepted (cells).
    static constexpr int MAX_GRID_SIDE = 8192;

    // Default settings; becomes LightingSystemInstance.
    LightingSystem();
    // Traces "Ping count: %i"; clears LightingSystemInstance when it points here.
    ~LightingSystem() override;
    LightingSystem(const LightingSystem&) = delete;
    LightingSystem& operator=(const LightingSystem&) = delete;

    std::string GetName() override { return "LightingSystem"; }
    // The fog mesh and transform, the settings of "LightingSystem.json" and a fresh grid of
    // cols x rows cells in fog.
    void Init() override;
    void Update(float) override {}
    void Draw() override {}

    // (column, row) of a world point, clamped to the grid, each rounded half up.
    lua__Engine_vector_math::Vector2f WorldToCell(float x, float y) const;
    // Reveals the cells within radius cells of the world point, here and in the level grid.
    void RevealCircle(float x, float y, int radius);
    // Copies the LevelSystem's current level grid into this grid, over the cells both have.
    void LoadLevelGrid();
    // Stencil pass for the revealed cells, then the fog over everything else. Nothing while disabled.
    void DrawFog();

    // Replaces the grid by width x height cells in fog. Sizes <= 0 or above MAX_GRID_SIDE are
    // refused with a trace (the old grid stays). Returns whether the grid was replaced.
    bool ResizeGrid(int width, int height);
    // World units per cell; <= 0 (or not a number) is refused with a trace.
    bool SetGridSize(float size);
    // A cell of the grid; 0 outside it.
    std::uint8_t GetCell(int column, int row) const;
    // Sets a cell when it lies inside the grid.
    void SetCell(int column, int row, std::uint8_t value);
    // Number of revealed cells.
    int CountRevealed() const;

    std::vector<std::vector<std::uint8_t>> grid; // [row][column]: 0 fog, 1 revealed
    Mesh* fogMesh = nullptr;                     // the library's "empty_mesh"
    Transform* fogTransform = nullptr;           // owned; attached to no object
    int pingCount = 0;
    std::uint8_t enabled = 0;
    float originX = 0.0f;
    float originY = 0.0f;
    int cols = 1024;
    int rows = 1024;
    float gridSize = 0.125f;
    int playerWalkRadius = 0;
    int playerPingRadius = 0;
    int playerCollisionRadius = 0;
    float fogColor[4] = {0.05f, 0.05f, 0.05f, 1.0f};

    // On: the revealed cells are stamped from one vertex buffer of merged rectangles, rebuilt only
    // when the grid (or its placement) changes. Off: one draw per revealed cell (the same picture,
    // kept for comparison).
    bool batched = true;

private:
    // One draw per revealed cell near the window, with the program in use.
    void StampCellsOneByOne();
    // The revealed cells from the stamp buffer, with the program in use.
    void StampCellsBatched();
    // Refills the stamp buffer with the revealed cells as rectangles; with cull set, only the cells
    // the one-by-one stamping would draw for the current camera.
    void BuildStamps(bool cull);

    VertexBatch stamps;
    std::vector<std::vector<std::uint8_t>> stampedGrid; // the grid the stamp buffer was built from
    float stampedOriginX = 0.0f, stampedOriginY = 0.0f, stampedGridSize = 0.0f;
    bool stampsValid = false; // the buffer holds every revealed cell of stampedGrid
};

// The lighting system made last, or null.
extern LightingSystem* LightingSystemInstance;

// Draws the fog of LightingSystemInstance; nothing without one. The window calls it after the text.
void LightingSystemDrawFog();

// The current level's saved fog, kept by the level system above while it exists: a cell revealed
// here is marked there; the level grid's size (false when there is no current level) and its cells
// are read when a level's fog is loaded. Null while there is no level system.
extern void (*LevelCellRevealedHook)(int column, int row);
extern bool (*LevelGridSizeHook)(int& width, int& height);
extern int (*LevelGridCellHook)(int column, int row);
