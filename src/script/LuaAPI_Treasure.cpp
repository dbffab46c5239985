// Treasure and lighting functions of the script API. The treasure counts come from the level's
// TreasureManager when the build has one; without it they give the "no treasure" answers.
#include <algorithm>

#include "graphics/LightingSystem.h"
#include "platform/lua/Lua.h"
#include "script/LuaAPI_Functions.h"
#include "world/LevelSystem.h"

#if __has_include("game/TreasureManager.h")
#include "game/TreasureManager.h"
#define DUSTRUN_HAVE_TREASURE_MANAGER 1
#endif

namespace {

// The player's ping values: the display holds 1 s, fades over 1.5 s, at strength 0.75.
constexpr float kPingHold = 1.0f;
constexpr float kPingFade = 1.5f;
constexpr float kPingStrength = 0.75f;

#ifdef DUSTRUN_HAVE_TREASURE_MANAGER
// Rooms in use, never more than the manager has slots for.
int RoomCount(const TreasureManager& treasure)
{
    return std::clamp(treasure.NumRooms, 0, TreasureManager::MAX_ROOMS);
}
#endif

int GetNumTreasureCollected()
{
#ifdef DUSTRUN_HAVE_TREASURE_MANAGER
    if (gTreasureManager) {
        int total = 0;
        for (int room = 0; room < RoomCount(*gTreasureManager); ++room)
            total += gTreasureManager->collected[room];
        return total;
    }
#endif
    return -1;
}

int GetTotalNumTreasure()
{
#ifdef DUSTRUN_HAVE_TREASURE_MANAGER
    if (gTreasureManager && gTreasureManager->treasureLoaded) {
        int total = 0;
        for (int room = 0; room < RoomCount(*gTreasureManager); ++room)
            total += static_cast<int>(gTreasureManager->roomObjects[room].size());
        return total;
    }
#endif
    return -1;
}

int GetRoomNum([[maybe_unused]] float x, [[maybe_unused]] float y)
{
#ifdef DUSTRUN_HAVE_TREASURE_MANAGER
    if (gTreasureManager)
        return gTreasureManager->GetRoomNum(x, y);
#endif
    return -1;
}

void PingTreasure()
{
#ifdef DUSTRUN_HAVE_TREASURE_MANAGER
    if (gTreasureManager)
        gTreasureManager->PingTreasure(kPingHold, kPingFade, kPingStrength);
#endif
}

void PingRoom()
{
#ifdef DUSTRUN_HAVE_TREASURE_MANAGER
    if (gTreasureManager)
        gTreasureManager->PingRoom(kPingHold, kPingFade, kPingStrength);
#endif
}

int GetTreasureRemaining([[maybe_unused]] int room)
{
#ifdef DUSTRUN_HAVE_TREASURE_MANAGER
    if (gTreasureManager) {
        if (room < 0 || room >= RoomCount(*gTreasureManager))
            return 0;
        if (!gTreasureManager->treasureLoaded)
            return -1;
        return gTreasureManager->remaining[room];
    }
#endif
    return -1;
}

void PingBox(float x, float y, int width, int height)
{
    LightingSystem* lighting = LightingSystemInstance;
    if (!lighting)
        return;
    const float halfWidth = static_cast<float>(width) / 2.0f;
    const float halfHeight = static_cast<float>(height) / 2.0f;
    const lua__Engine_vector_math::Vector2f first = lighting->WorldToCell(x - halfWidth, y - halfHeight);
    const lua__Engine_vector_math::Vector2f last = lighting->WorldToCell(x + halfWidth, y + halfHeight);
    for (int column = static_cast<int>(first.X); column <= static_cast<int>(last.X); ++column) {
        for (int row = static_cast<int>(first.Y); row <= static_cast<int>(last.Y); ++row) {
            if (column < 0 || row < 0 || column >= lighting->cols || row >= lighting->rows)
                continue;
            lighting->SetCell(column, row, 1);
            if (gLevelSystem)
                gLevelSystem->SetCell(column, row, 1);
        }
    }
}

} // namespace

void RegisterTreasureFunctions(lua::State& state)
{
    state.SetFunction("GetNumTreasureCollected", &GetNumTreasureCollected);
    state.SetFunction("GetTotalNumTreasure", &GetTotalNumTreasure);
    state.SetFunction("GetRoomNum", &GetRoomNum);
    state.SetFunction("PingTreasure", &PingTreasure);
    state.SetFunction("PingRoom", &PingRoom);
    state.SetFunction("GetTreasureRemaining", &GetTreasureRemaining);
}

void RegisterLightingFunctions(lua::State& state)
{
    state.SetFunction("EnableLightingSystem", []() {
        if (LightingSystemInstance)
            LightingSystemInstance->enabled = 1;
    });
    state.SetFunction("DisableLightingSystem", []() {
        if (LightingSystemInstance)
            LightingSystemInstance->enabled = 0;
    });
    state.SetFunction("PingBox", &PingBox);
    state.SetFunction("PingRadius", [](float x, float y, int radius) {
        if (LightingSystemInstance)
            LightingSystemInstance->RevealCircle(x, y, radius);
    });
    state.SetFunction("PingCounter", []() {
        if (LightingSystemInstance)
            ++LightingSystemInstance->pingCount;
    });
}
