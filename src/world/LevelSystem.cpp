#include "world/LevelSystem.h"

#include <algorithm>

#include "core/Stream.h"
#include "core/Trace.h"
#include "graphics/LightingSystem.h"

LevelSystem* gLevelSystem = nullptr;

namespace {

// What the lighting grid below asks of the current level.
void RevealCell(int column, int row)
{
    if (gLevelSystem)
        gLevelSystem->SetCell(column, row, 1);
}

bool GridSize(int& width, int& height)
{
    const LevelSystem::Grid* level = gLevelSystem ? gLevelSystem->CurrentGrid() : nullptr;
    if (!level)
        return false;
    width = level->width;
    height = level->height;
    return true;
}

int GridCell(int column, int row)
{
    return gLevelSystem ? gLevelSystem->GetCell(column, row) : 0;
}

} // namespace

LevelSystem::LevelSystem()
{
    gLevelSystem = this;
    LevelCellRevealedHook = RevealCell;
    LevelGridSizeHook = GridSize;
    LevelGridCellHook = GridCell;
}

LevelSystem::~LevelSystem()
{
    if (gLevelSystem == this) {
        gLevelSystem = nullptr;
        LevelCellRevealedHook = nullptr;
        LevelGridSizeHook = nullptr;
        LevelGridCellHook = nullptr;
    }
}

void LevelSystem::Init()
{
    int width = 0;
    int height = 0;
    if (LightingSystemInstance) {
        width = LightingSystemInstance->cols;
        height = LightingSystemInstance->rows;
    } else {
        Trace("LevelSystem: no LightingSystem; the level grids are empty");
    }
    if (width <= 0 || height <= 0) {
        width = 0;
        height = 0;
    }
    for (Grid& grid : grids) {
        grid.width = width;
        grid.height = height;
        grid.cells.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    }

    Stream settings("LevelSystem", StreamMode_Data, false);
    if (!settings.IsValid() || !settings.data.IsObject())
        return;
    auto count = settings.data.FindMember("NumLevels");
    if (count != settings.data.MemberEnd()) {
        if (count->value.IsInt())
            NumLevels = count->value.GetInt();
        else
            Trace("LevelSystem: \"NumLevels\" is not a whole number; ignored");
    }
    auto names = settings.data.FindMember("LevelNames");
    if (names != settings.data.MemberEnd()) {
        if (names->value.IsArray()) {
            LevelNames.clear();
            for (rapidjson::SizeType i = 0; i < names->value.Size(); ++i) {
                const rapidjson::Value& name = names->value[i];
                if (name.IsString())
                    LevelNames.emplace_back(name.GetString(), name.GetStringLength());
                else
                    Trace("LevelSystem: \"LevelNames\" entry %u is not a name; skipped", i);
            }
        } else {
            Trace("LevelSystem: \"LevelNames\" is not an array; ignored");
        }
    }
}

LevelSystem::Grid* LevelSystem::CurrentGrid()
{
    if (currentLevel < 0 || currentLevel >= LEVEL_COUNT)
        return nullptr;
    return &grids[currentLevel];
}

const LevelSystem::Grid* LevelSystem::CurrentGrid() const
{
    if (currentLevel < 0 || currentLevel >= LEVEL_COUNT)
        return nullptr;
    return &grids[currentLevel];
}

void LevelSystem::SetCurrentLevel(int level)
{
    if (level < 0 || level >= LEVEL_COUNT) {
        Trace("LevelSystem: level %d does not exist; staying on %d", level, currentLevel);
        return;
    }
    currentLevel = level;
}

std::uint8_t LevelSystem::GetCell(int column, int row) const
{
    const Grid* grid = CurrentGrid();
    if (!grid || !grid->Contains(column, row))
        return 0;
    return grid->cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(grid->width) +
                       static_cast<std::size_t>(column)];
}

void LevelSystem::SetCell(int column, int row, std::uint8_t value)
{
    Grid* grid = CurrentGrid();
    if (!grid || !grid->Contains(column, row))
        return;
    grid->cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(grid->width) +
                static_cast<std::size_t>(column)] = value;
}

void LevelSystem::ClearCurrentGrid()
{
    Grid* grid = CurrentGrid();
    if (!grid)
        return;
    // Over the lighting grid's current size, as far as this grid reaches; the whole grid when there
    // is no lighting system.
    int width = grid->width;
    int height = grid->height;
    if (LightingSystemInstance) {
        width = std::min(width, LightingSystemInstance->cols);
        height = std::min(height, LightingSystemInstance->rows);
    }
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            SetCell(column, row, 0);
}

void LevelSystem::CopyFromLighting(const LightingSystem& lighting)
{
    Grid* grid = CurrentGrid();
    if (!grid)
        return;
    for (int row = 0; row < grid->height && row < lighting.rows; ++row)
        for (int column = 0; column < grid->width && column < lighting.cols; ++column)
            SetCell(column, row, lighting.GetCell(column, row));
}
