#pragma once
// One screen of the game (splash, a menu, a level, the end screens), described by the JSON file
// "assets/data/scenes/<name>.json". The scene keeps its file open for its whole life and reads keys
// from it again each time it is set up, restarted or initialised. It creates its objects from
// archetypes, sets up the fog grid, the rooms and the treasure through the systems that are present,
// and posts the tile-map, spawn and background-colour messages.
//
// A scene file that lists "Scene GameObjects" and "Scene Positions" but lacks "Scene Scales" or
// "Scene Rotation" is completed with defaults and written back in place.
#include <cstdint>
#include <string>

#include "core/Object.h"

class ISystem;
class SceneSystem;
class Stream;

// ---- Seams for systems that join the engine later ---------------------------------------------------
// Each seam is handed the system the scene code found in the engine by that system's GetName; the
// call is skipped when the system is not in the engine or the seam is still null. A system installs
// its seams (plain functions, so nothing dangles) when it joins the build.

// "MenuSystem": build the menu of that name.
extern void (*SceneLoadMenuHook)(ISystem* menuSystem, const std::string& menuName);
// "TreasureManager": the level's room count (0..8).
extern void (*SceneSetRoomCountHook)(ISystem* treasureManager, int numRooms);
// "TreasureManager": forget four of its ping display objects (the objects themselves go with the
// scene's other objects).
extern void (*SceneClearTreasureDisplayHook)(ISystem* treasureManager);
// "TreasureManager": empty everything for a new level.
extern void (*SceneResetTreasureHook)(ISystem* treasureManager);

class Scene : public Object {
public:
    // Opens "scenes/<name>" and reads the tile-map name, the pausable flag, the background colour and
    // the player spawn point. A missing file is reported as an assertion; the scene then keeps every
    // default.
    explicit Scene(std::string name);
    // Closes the scene's file.
    ~Scene() override;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    std::string GetName() override { return name; }
    // Builds the scene's content (does nothing while the scene has no owner): the menu, the fog grid,
    // the rooms, the scene objects, then for a gameplay scene the treasure, tile-map and spawn
    // messages, and for every scene "SetBGColor".
    void Init() override;
    void Update(float) override {}
    void Draw() override {}

    // Switches the gameplay systems ("PlayerManager", "ScoreManager", "TileMapSystem") on for a
    // gameplay scene (adding and initialising them the first time) or off for any other scene.
    void SetUpSystems();
    // For a reload of the same scene: the gameplay systems off and on again around a treasure reset,
    // and the level grid cleared for "Level" 1 to 3.
    void Restart();
    // Creates the "Init GameObjects", then the "Scene GameObjects" placed, scaled and rotated by
    // "Scene Positions", "Scene Scales" and "Scene Rotation" (the last two written back when absent).
    void CreateSceneObjects();

    // "Scene Type" of the file ("" when absent).
    std::string GetSceneType() const;
    bool IsGameplay() const { return GetSceneType() == "Gameplay"; }
    bool IsPausable() const { return pausable; }
    const std::string& GetTileMapName() const { return tileMapName; }
    const float* GetSpawnPoint() const { return spawn; }
    const float* GetBackground() const { return background; }
    Stream* GetStream() const { return dataStream; }
    SceneSystem* GetOwner() const { return owner; }
    void SetOwner(SceneSystem* newOwner) { owner = newOwner; }

    // The system of that GetName in gEngine's list, or null; unlike Engine::GetSystem it writes no
    // trace line when there is none.
    static ISystem* FindSystem(const std::string& systemName);

    std::string name;
    bool pausable = false;
    float spawn[4] = {-1.0f, -1.0f, 0.0f, 0.0f};
    Stream* dataStream = nullptr;   // owned
    SceneSystem* owner = nullptr;   // set when the scene is queued
    std::string tileMapName;
    float background[4] = {0.05f, 0.05f, 0.05f, 0.0f};

private:
    void SetUpFog();
    void SetUpRooms();
    // Turns each gameplay system on or off; lookups of missing systems are skipped.
    void SwitchGameplaySystems(bool on);
};
