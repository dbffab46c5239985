// The fog-of-war grid and the per-level grids without a window: cell rounding, reveals and their
// bounds, settings files, the level grids and their hand-over, and the scene seams they install.
#include <gtest/gtest.h>

#include <string>

#include "core/Engine.h"
#include "core/Trace.h"
#include "graphics/LightingSystem.h"
#include "world/LevelSystem.h"
#include "world/Scene.h"
#include "world/SceneSystem.h"
#include "test_tilemap_fixture.h"

using namespace worldtest;

namespace {

class FogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceReset();
        scratch = new Scratch("level");
        CaptureConsole([&] {
            lighting = new LightingSystem();
            levels = new LevelSystem();
        });
    }
    void TearDown() override
    {
        CaptureConsole([&] {
            delete levels;
            delete lighting;
        });
        delete scratch;
    }
    // Both systems initialised, lighting first, with a small grid.
    void Start(int cols = 64, int rows = 48)
    {
        CaptureConsole([&] {
            lighting->cols = cols;
            lighting->rows = rows;
            lighting->Init();
            levels->Init();
        });
    }
    int LevelRevealed() const
    {
        int count = 0;
        for (int row = 0; row < 1100; ++row)
            for (int column = 0; column < 1100; ++column)
                count += levels->GetCell(column, row);
        return count;
    }

    Scratch* scratch = nullptr;
    LightingSystem* lighting = nullptr;
    LevelSystem* levels = nullptr;
};

} // namespace

TEST_F(FogTest, NamesGlobalsAndDefaults)
{
    EXPECT_EQ(lighting->GetName(), "LightingSystem");
    EXPECT_EQ(levels->GetName(), "LevelSystem");
    EXPECT_EQ(LightingSystemInstance, lighting);
    EXPECT_EQ(gLevelSystem, levels);
    EXPECT_EQ(lighting->cols, 1024);
    EXPECT_EQ(lighting->rows, 1024);
    EXPECT_FLOAT_EQ(lighting->gridSize, 0.125f);
    EXPECT_EQ(lighting->enabled, 0);
    EXPECT_FLOAT_EQ(lighting->fogColor[0], 0.05f);
    EXPECT_FLOAT_EQ(lighting->fogColor[3], 1.0f);
    CaptureConsole([&] {
        lighting->Init();
        levels->Init();
    });
    EXPECT_EQ(lighting->grid.size(), 1024u);
    EXPECT_EQ(lighting->grid[0].size(), 1024u);
    EXPECT_EQ(lighting->CountRevealed(), 0);
    ASSERT_NE(lighting->fogTransform, nullptr);
    EXPECT_FLOAT_EQ(lighting->fogTransform->ScaleX, 50.0f);
    EXPECT_FLOAT_EQ(lighting->fogTransform->ScaleY, 50.0f);
    for (const auto& grid : levels->grids) {
        EXPECT_EQ(grid.width, 1024);
        EXPECT_EQ(grid.height, 1024);
    }
    // A missing "LevelSystem" file leaves the defaults.
    EXPECT_EQ(levels->NumLevels, 0);
    EXPECT_TRUE(levels->LevelNames.empty());
}

TEST_F(FogTest, FactoryMakesBothAndEachNewOneReplacesTheGlobal)
{
    ISystem* a = nullptr;
    ISystem* b = nullptr;
    CaptureConsole([&] {
        a = CreateSystem("LightingSystem");
        b = CreateSystem("LevelSystem");
    });
    ASSERT_NE(dynamic_cast<LightingSystem*>(a), nullptr);
    ASSERT_NE(dynamic_cast<LevelSystem*>(b), nullptr);
    EXPECT_EQ(LightingSystemInstance, a);
    EXPECT_EQ(gLevelSystem, b);
    CaptureConsole([&] {
        delete a;
        delete b;
    });
    EXPECT_EQ(LightingSystemInstance, nullptr);
    EXPECT_EQ(gLevelSystem, nullptr);
    // The originals are still alive; they are simply no longer the globals.
    LightingSystemInstance = lighting;
    gLevelSystem = levels;
}

TEST_F(FogTest, WorldToCellRoundsHalfUpAndClamps)
{
    Start();
    auto cell = lighting->WorldToCell(1.3f, 0.05f);
    EXPECT_FLOAT_EQ(cell.X, 10.0f);
    EXPECT_FLOAT_EQ(cell.Y, 0.0f);
    cell = lighting->WorldToCell(1.32f, 0.07f);
    EXPECT_FLOAT_EQ(cell.X, 11.0f);
    EXPECT_FLOAT_EQ(cell.Y, 1.0f);
    cell = lighting->WorldToCell(-3.0f, 100.0f);
    EXPECT_FLOAT_EQ(cell.X, 0.0f);
    EXPECT_FLOAT_EQ(cell.Y, 47.0f);
    // The origin shifts the grid.
    lighting->originX = 1.0f;
    lighting->originY = -0.5f;
    cell = lighting->WorldToCell(0.0f, 1.0f);
    EXPECT_FLOAT_EQ(cell.X, 8.0f);
    EXPECT_FLOAT_EQ(cell.Y, 4.0f);
}

TEST_F(FogTest, RevealOfRadiusZeroIsOneCell)
{
    Start();
    lighting->RevealCircle(1.25f, 2.5f, 0);
    EXPECT_EQ(lighting->CountRevealed(), 1);
    EXPECT_EQ(lighting->GetCell(10, 20), 1);
    EXPECT_EQ(levels->GetCell(10, 20), 1);
    EXPECT_EQ(LevelRevealed(), 1);
}

TEST_F(FogTest, RevealOfRadiusTwoIsThirteenCells)
{
    Start();
    lighting->RevealCircle(10 * 0.125f, 12 * 0.125f, 2);
    EXPECT_EQ(lighting->CountRevealed(), 13);
    EXPECT_EQ(LevelRevealed(), 13);
    for (int dr = -2; dr <= 2; ++dr) {
        for (int dc = -2; dc <= 2; ++dc) {
            const bool inside = dc * dc + dr * dr <= 4;
            EXPECT_EQ(lighting->GetCell(10 + dc, 12 + dr), inside ? 1 : 0) << dc << ", " << dr;
            EXPECT_EQ(levels->GetCell(10 + dc, 12 + dr), inside ? 1 : 0) << dc << ", " << dr;
        }
    }
    // Reveals only add.
    lighting->RevealCircle(10 * 0.125f, 12 * 0.125f, 0);
    EXPECT_EQ(lighting->CountRevealed(), 13);
}

TEST_F(FogTest, RevealLeftOfTheGridTouchesColumnZeroOnly)
{
    Start();
    lighting->RevealCircle(-5.0f, 2.0f, 3);
    EXPECT_GT(lighting->CountRevealed(), 0);
    for (int row = 0; row < lighting->rows; ++row)
        for (int column = 1; column < lighting->cols; ++column)
            ASSERT_EQ(lighting->GetCell(column, row), 0) << column << ", " << row;
}

TEST_F(FogTest, RevealsAreBoundedByBothGrids)
{
    // Level grids of 16 x 8, then a lighting grid of 64 x 48: a reveal beyond the level grid only
    // marks the lighting grid.
    Start(16, 8);
    ASSERT_TRUE(lighting->ResizeGrid(64, 48));
    lighting->RevealCircle(40 * 0.125f, 30 * 0.125f, 2);
    EXPECT_EQ(lighting->CountRevealed(), 13);
    EXPECT_EQ(LevelRevealed(), 0);
    // Straddling the level grid's corner marks only its own cells there.
    lighting->RevealCircle(15 * 0.125f, 7 * 0.125f, 1);
    EXPECT_EQ(levels->GetCell(15, 7), 1);
    EXPECT_EQ(levels->GetCell(14, 7), 1);
    EXPECT_EQ(levels->GetCell(15, 6), 1);
    EXPECT_EQ(LevelRevealed(), 3);
    // A huge radius stays inside the lighting grid.
    lighting->RevealCircle(0.0f, 0.0f, 100000);
    EXPECT_EQ(lighting->CountRevealed(), 64 * 48);
    EXPECT_EQ(LevelRevealed(), 16 * 8);
}

TEST_F(FogTest, WithEnabledZeroRevealsStillMarkBothGrids)
{
    Start();
    lighting->enabled = 0;
    lighting->RevealCircle(1.0f, 1.0f, 1);
    EXPECT_EQ(lighting->CountRevealed(), 5);
    EXPECT_EQ(LevelRevealed(), 5);
    // Without a window or mesh drawing the fog does nothing.
    lighting->enabled = 1;
    LightingSystemDrawFog();
}

TEST_F(FogTest, BadGridSizesAreRefused)
{
    Start();
    std::string out = CaptureConsole([&] {
        EXPECT_FALSE(lighting->ResizeGrid(0, 10));
        EXPECT_FALSE(lighting->ResizeGrid(10, -3));
        EXPECT_FALSE(lighting->ResizeGrid(LightingSystem::MAX_GRID_SIDE + 1, 10));
        EXPECT_FALSE(lighting->SetGridSize(0.0f));
        EXPECT_FALSE(lighting->SetGridSize(-1.0f));
    });
    EXPECT_TRUE(Contains(out, "a grid of 0 x 10 cells is refused")) << out;
    EXPECT_TRUE(Contains(out, "grid size 0 is refused")) << out;
    EXPECT_EQ(lighting->cols, 64);
    EXPECT_EQ(lighting->rows, 48);
    EXPECT_FLOAT_EQ(lighting->gridSize, 0.125f);
    EXPECT_TRUE(lighting->ResizeGrid(3, 2));
    EXPECT_EQ(lighting->grid.size(), 2u);
    EXPECT_EQ(lighting->grid[1].size(), 3u);
    // Cells outside read 0 and are not written.
    lighting->SetCell(5, 5, 1);
    lighting->SetCell(-1, 0, 1);
    EXPECT_EQ(lighting->CountRevealed(), 0);
    EXPECT_EQ(lighting->GetCell(5, 5), 0);
}

TEST_F(FogTest, SettingsFileIsRead)
{
    scratch->Data("LightingSystem.json",
                  "{\"EnableLightingSystem\": true, \"GridSize\": 0.25, \"PlayerWalkRadius\": 7,"
                  " \"PlayerPingRadius\": 30, \"PlayerCollisionRadius\": 4, \"FogColor\": [0.1, 0.2, 0.3, 0.9]}");
    Start();
    EXPECT_EQ(lighting->enabled, 1);
    EXPECT_FLOAT_EQ(lighting->gridSize, 0.25f);
    EXPECT_EQ(lighting->playerWalkRadius, 7);
    EXPECT_EQ(lighting->playerPingRadius, 30);
    EXPECT_EQ(lighting->playerCollisionRadius, 4);
    EXPECT_FLOAT_EQ(lighting->fogColor[0], 0.1f);
    EXPECT_FLOAT_EQ(lighting->fogColor[1], 0.2f);
    EXPECT_FLOAT_EQ(lighting->fogColor[2], 0.3f);
    EXPECT_FLOAT_EQ(lighting->fogColor[3], 0.9f);
}

TEST_F(FogTest, BadSettingsKeepTheDefaults)
{
    scratch->Data("LightingSystem.json",
                  "{\"EnableLightingSystem\": 1, \"GridSize\": -2, \"PlayerWalkRadius\": \"big\","
                  " \"FogColor\": [0.5, \"red\"]}");
    std::string out;
    out = CaptureConsole([&] { lighting->Init(); });
    EXPECT_EQ(lighting->enabled, 0);
    EXPECT_FLOAT_EQ(lighting->gridSize, 0.125f);
    EXPECT_EQ(lighting->playerWalkRadius, 0);
    EXPECT_FLOAT_EQ(lighting->fogColor[0], 0.05f);
    EXPECT_TRUE(Contains(out, "grid size -2 is refused")) << out;
    EXPECT_TRUE(Contains(out, "\"FogColor\" is not an array of 4 numbers")) << out;

    scratch->Data("LightingSystem.json", "{\"GridSize\": 0.5, ");
    out = CaptureConsole([&] { lighting->Init(); });
    EXPECT_FLOAT_EQ(lighting->gridSize, 0.125f);
}

TEST_F(FogTest, ShippedSettingsAreUsable)
{
    scratch->CopyFromRepo("assets/data/LightingSystem.json");
    scratch->CopyFromRepo("assets/data/LevelSystem.json");
    std::string out;
    out = CaptureConsole([&] {
        lighting->Init();
        levels->Init();
    });
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_GT(lighting->gridSize, 0.0f);
    EXPECT_GT(lighting->playerWalkRadius, 0);
    EXPECT_GT(lighting->playerPingRadius, 0);
    EXPECT_GE(levels->NumLevels, 1);
    EXPECT_EQ(static_cast<int>(levels->LevelNames.size()), levels->NumLevels);
}

TEST_F(FogTest, LevelSettingsAndBadLevelSettings)
{
    scratch->Data("LevelSystem.json", "{\"NumLevels\": 3, \"LevelNames\": [\"A\", \"B\", \"C\"]}");
    Start();
    EXPECT_EQ(levels->NumLevels, 3);
    EXPECT_EQ(levels->LevelNames, (std::vector<std::string>{"A", "B", "C"}));

    scratch->Data("LevelSystem.json", "{\"NumLevels\": \"three\", \"LevelNames\": [\"A\", 2, \"C\"]}");
    LevelSystem other;
    std::string out = CaptureConsole([&] { other.Init(); });
    EXPECT_EQ(other.NumLevels, 0);
    EXPECT_EQ(other.LevelNames, (std::vector<std::string>{"A", "C"}));
    EXPECT_TRUE(Contains(out, "\"LevelNames\" entry 1 is not a name")) << out;
    gLevelSystem = levels;
}

TEST_F(FogTest, ClearCurrentGridAndLevelSwitching)
{
    Start();
    levels->ClearCurrentGrid(); // before any reveal: still all 0
    EXPECT_EQ(LevelRevealed(), 0);
    lighting->RevealCircle(1.0f, 1.0f, 2);
    EXPECT_EQ(LevelRevealed(), 13);
    levels->ClearCurrentGrid();
    EXPECT_EQ(LevelRevealed(), 0);
    EXPECT_EQ(lighting->CountRevealed(), 13);

    std::string out = CaptureConsole([&] { levels->SetCurrentLevel(3); });
    EXPECT_TRUE(Contains(out, "level 3 does not exist")) << out;
    EXPECT_EQ(levels->currentLevel, 0);
    levels->SetCurrentLevel(2);
    lighting->RevealCircle(2.0f, 2.0f, 0);
    EXPECT_EQ(LevelRevealed(), 1);
    levels->SetCurrentLevel(0);
    EXPECT_EQ(LevelRevealed(), 0);
    // A current level set out of range directly reads and writes nothing.
    levels->currentLevel = 7;
    lighting->RevealCircle(3.0f, 3.0f, 1);
    EXPECT_EQ(levels->GetCell(24, 24), 0);
    levels->ClearCurrentGrid();
    lighting->LoadLevelGrid();
    levels->currentLevel = 0;
}

TEST_F(FogTest, SecondVisitShowsWhatTheFirstRevealed)
{
    Start();
    lighting->RevealCircle(2.0f, 3.0f, 2);
    const int revealed = lighting->CountRevealed();
    // A scene with a fog block builds a new grid and hands it to the level...
    ASSERT_TRUE(lighting->ResizeGrid(64, 48));
    levels->CopyFromLighting(*lighting);
    EXPECT_EQ(lighting->CountRevealed(), 0);
    EXPECT_EQ(LevelRevealed(), 0);
    lighting->RevealCircle(2.0f, 3.0f, 2);
    // ...and after a later scene change the level grid comes back.
    ASSERT_TRUE(lighting->ResizeGrid(64, 48));
    EXPECT_EQ(lighting->CountRevealed(), 0);
    lighting->LoadLevelGrid();
    EXPECT_EQ(lighting->CountRevealed(), revealed);
}

TEST_F(FogTest, WhatTheScenesAskOfTheSystems)
{
    Start();
    std::string out = CaptureConsole([&] { EXPECT_FALSE(lighting->ResizeGrid(0, 5)); });
    EXPECT_TRUE(Contains(out, "refused")) << out;
    EXPECT_EQ(lighting->cols, 64);
    lighting->RevealCircle(2.0f, 2.0f, 1);
    EXPECT_EQ(lighting->CountRevealed(), 5);
    EXPECT_EQ(LevelRevealed(), 5);
    levels->ClearCurrentGrid();
    EXPECT_EQ(LevelRevealed(), 0);
    levels->SetCurrentLevel(1);
    EXPECT_EQ(levels->currentLevel, 1);
}

TEST_F(FogTest, NoLevelSystemAndNoLightingSystemAreTolerated)
{
    Start();
    CaptureConsole([&] { delete levels; });
    levels = nullptr;
    EXPECT_EQ(gLevelSystem, nullptr);
    lighting->RevealCircle(1.0f, 1.0f, 1);
    lighting->LoadLevelGrid();
    EXPECT_EQ(lighting->CountRevealed(), 5);

    LightingSystem* saved = LightingSystemInstance;
    LightingSystemInstance = nullptr;
    LevelSystem orphan;
    std::string out = CaptureConsole([&] { orphan.Init(); });
    EXPECT_TRUE(Contains(out, "no LightingSystem")) << out;
    EXPECT_EQ(orphan.grids[0].width, 0);
    orphan.SetCell(0, 0, 1);
    orphan.ClearCurrentGrid();
    EXPECT_EQ(orphan.GetCell(0, 0), 0);
    LightingSystemInstance = saved;
    levels = new LevelSystem(); // for the fixture's tear-down
}

TEST_F(FogTest, DestructorTracesThePingCount)
{
    LightingSystem* counted = nullptr;
    CaptureConsole([&] { counted = new LightingSystem(); });
    counted->pingCount += 3;
    std::string out = CaptureConsole([&] { delete counted; });
    EXPECT_TRUE(Contains(out, "Ping count: 3")) << out;
    LightingSystemInstance = lighting;
}
