#pragma once
// One revealed-cell grid per level, the size the lighting grid had when Init ran, so what the player
// uncovered in a level survives while the lighting grid is rebuilt.
#include <cstdint>
#include <string>
#include <vector>

#include "core/ISystem.h"

class LightingSystem;

class LevelSystem : public ISystem {
public:
    static constexpr int LEVEL_COUNT = 3;

    // One grid of a level: height rows of width cells, 0 unrevealed, 1 revealed.
    struct Grid {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> cells; // row by row

        bool Contains(int column, int row) const
        {
            return column >= 0 && row >= 0 && column < width && row < height;
        }
    };

    // Becomes gLevelSystem.
    LevelSystem();
    // Clears gLevelSystem when it points here.
    ~LevelSystem() override;

    std::string GetName() override { return "LevelSystem"; }
    // Three grids of the lighting grid's size, all 0; then "NumLevels" and "LevelNames" of
    // "LevelSystem.json" when present.
    void Init() override;
    void Update(float) override {}
    void Draw() override {}

    // Sets the current grid to 0 over the cells it shares with the lighting grid.
    void ClearCurrentGrid();
    // A cell of the current level's grid; 0 outside it (or with no valid current level).
    std::uint8_t GetCell(int column, int row) const;
    // Sets a cell of the current level's grid when it lies inside it.
    void SetCell(int column, int row, std::uint8_t value);
    // Copies the lighting grid into the current level's grid, over the cells both have.
    void CopyFromLighting(const LightingSystem& lighting);
    // The current level's grid, or null when the current level is not 0..2.
    Grid* CurrentGrid();
    const Grid* CurrentGrid() const;
    // Levels outside 0..2 are refused with a trace.
    void SetCurrentLevel(int level);

    int NumLevels = 0;
    std::vector<std::string> LevelNames;
    int currentLevel = 0;
    Grid grids[LEVEL_COUNT];
};

// The level system made last, or null.
extern LevelSystem* gLevelSystem;
