// Scene: reading a scene file, Init's order and messages, objects placed from the file, the write-back
// of missing scales and rotations, rooms and fog through the systems present, and switching the
// gameplay systems on and off; the level designer's page names every archetype a scene may place.
#include "test_scene_fixture.h"

#include <cmath>
#include <regex>
#include <set>

#include <rapidjson/document.h>

#include "TestFiles.h"
#include "graphics/LightingSystem.h"
#include "world/LevelSystem.h"

using scenetest::CountOf;
using scenetest::Recorder;
using scenetest::SceneTest;
using scenetest::StandIn;
using scenetest::TraceCapture;

namespace {

// Seams installed by a test; each records what it was asked.
struct SeamLog {
    std::vector<std::string> calls;
    int roomCount = -1;
    int levelCellAtTreasureReset = -1; // cell (0, 0) of the level grid when the treasure was reset
};
SeamLog* gLog = nullptr;

void LogCall(const std::string& call)
{
    if (gLog)
        gLog->calls.push_back(call);
}

class Seams {
public:
    Seams()
        : menu_(SceneLoadMenuHook), rooms_(SceneSetRoomCountHook), display_(SceneClearTreasureDisplayHook),
          reset_(SceneResetTreasureHook)
    {
        gLog = &log;
        SceneLoadMenuHook = [](ISystem*, const std::string& menu) { LogCall("menu " + menu); };
        SceneSetRoomCountHook = [](ISystem*, int n) {
            LogCall("rooms " + std::to_string(n));
            if (gLog)
                gLog->roomCount = n;
        };
        SceneClearTreasureDisplayHook = [](ISystem*) { LogCall("clear display"); };
        SceneResetTreasureHook = [](ISystem*) {
            LogCall("treasure reset");
            if (gLog)
                gLog->levelCellAtTreasureReset = gLevelSystem ? gLevelSystem->GetCell(0, 0) : -1;
        };
    }
    ~Seams()
    {
        gLog = nullptr;
        SceneLoadMenuHook = menu_;
        SceneSetRoomCountHook = rooms_;
        SceneClearTreasureDisplayHook = display_;
        SceneResetTreasureHook = reset_;
    }
    SeamLog log;

private:
    // The seams as they were, put back afterwards.
    decltype(SceneLoadMenuHook) menu_;
    decltype(SceneSetRoomCountHook) rooms_;
    decltype(SceneClearTreasureDisplayHook) display_;
    decltype(SceneResetTreasureHook) reset_;
};

class SceneFile : public SceneTest {};

TEST_F(SceneFile, ReadsItsKeys)
{
    WriteScene("Level", R"({ "Scene Type": "Gameplay", "Tilemap Name": "Map1", "Pausable": true,
        "Background": { "ColorR": 0.25, "ColorG": 0.5, "ColorB": 0.75, "Alpha": 1.0 },
        "Player Spawn Position": [3.5, -2] })");
    Scene scene("Level");
    EXPECT_EQ(scene.GetName(), "Level");
    EXPECT_EQ(scene.GetTileMapName(), "Map1");
    EXPECT_TRUE(scene.IsPausable());
    EXPECT_TRUE(scene.IsGameplay());
    EXPECT_FLOAT_EQ(scene.GetBackground()[0], 0.25f);
    EXPECT_FLOAT_EQ(scene.GetBackground()[2], 0.75f);
    EXPECT_FLOAT_EQ(scene.GetBackground()[3], 1.0f);
    EXPECT_FLOAT_EQ(scene.GetSpawnPoint()[0], 3.5f);
    EXPECT_FLOAT_EQ(scene.GetSpawnPoint()[1], -2.0f);
    EXPECT_FLOAT_EQ(scene.GetSpawnPoint()[2], 0.0f);
    EXPECT_FLOAT_EQ(scene.GetSpawnPoint()[3], 0.0f);
    EXPECT_EQ(scene.GetOwner(), nullptr);
}

TEST_F(SceneFile, DefaultsAndTheMissingTileMapLine)
{
    WriteScene("Plain", R"({ "Scene Type": "Menu" })");
    TraceCapture capture;
    Scene scene("Plain");
    const std::string out = capture.Take();
    EXPECT_NE(out.find("ERROR: No Tilemap id given for the scene: Plain\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Assertion"), std::string::npos) << out;
    EXPECT_FALSE(scene.IsPausable());
    EXPECT_EQ(scene.GetTileMapName(), "");
    for (int i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ(scene.GetBackground()[i], 0.05f);
    EXPECT_FLOAT_EQ(scene.GetBackground()[3], 0.0f);
    EXPECT_FLOAT_EQ(scene.GetSpawnPoint()[0], -1.0f);
    EXPECT_FLOAT_EQ(scene.GetSpawnPoint()[1], -1.0f);
}

TEST_F(SceneFile, MissingFileIsReportedExactly)
{
    TraceCapture capture;
    Scene scene("NoSuchScene");
    const std::string out = capture.Take();
    EXPECT_NE(out.find("ERROR: No Tilemap id given for the scene: NoSuchScene\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Assertion `dataStream->IsValid()` failed.Location: src/Scene Line 107: "
                       "Unable to find scene with name NoSuchScene.\n"),
              std::string::npos)
        << out;
    EXPECT_FALSE(scene.GetStream()->IsValid());
    EXPECT_FLOAT_EQ(scene.GetSpawnPoint()[0], -1.0f);
    EXPECT_EQ(scene.GetSceneType(), "");

    // Its later reads find nothing: Init still sets the default background.
    SceneSystem owner;
    scene.SetOwner(&owner);
    scene.Init();
    Deliver();
    EXPECT_EQ(manager->GetObjectCount(), 0);
    EXPECT_FLOAT_EQ(engine->GetClearColor()[0], 0.05f);
    EXPECT_FLOAT_EQ(engine->GetClearColor()[3], 0.0f);
}

TEST_F(SceneFile, WrongTypesReadAsMissing)
{
    WriteScene("Odd", R"({ "Tilemap Name": 12, "Pausable": "yes", "Background": [1, 2, 3],
        "Player Spawn Position": ["a", "b"], "Scene Type": 5 })");
    TraceCapture capture;
    Scene scene("Odd");
    const std::string out = capture.Take();
    EXPECT_NE(out.find("ERROR: No Tilemap id given for the scene: Odd"), std::string::npos);
    EXPECT_EQ(out.find("Assertion"), std::string::npos) << out;
    EXPECT_FALSE(scene.IsPausable());
    EXPECT_FLOAT_EQ(scene.GetBackground()[0], 0.05f);
    EXPECT_FLOAT_EQ(scene.GetSpawnPoint()[0], -1.0f);
    EXPECT_FALSE(scene.IsGameplay());

    // A truncated file is a file that was not read as JSON: defaults, no crash.
    WriteScene("Cut", R"({ "Scene Type": "Gamepl)");
    Scene cut("Cut");
    EXPECT_FALSE(cut.IsGameplay());
    EXPECT_FLOAT_EQ(cut.GetSpawnPoint()[1], -1.0f);
}

class SceneInit : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        owner = new SceneSystem();
    }
    void TearDown() override
    {
        delete owner;
        SceneTest::TearDown();
    }
    SceneSystem* owner = nullptr;
};

TEST_F(SceneInit, NothingWithoutAnOwner)
{
    WriteScene("A", R"({ "Scene Type": "Gameplay", "Tilemap Name": "M", "Init GameObjects": ["archetypes/Box"] })");
    Scene scene("A");
    scene.Init();
    Deliver();
    EXPECT_EQ(manager->GetObjectCount(), 0);
    EXPECT_TRUE(recorder->seen.empty());
}

TEST_F(SceneInit, GameplayMessagesInOrder)
{
    WriteScene("Level", R"({ "Scene Type": "Gameplay", "Tilemap Name": "Map1", "CollectibleList": "Loot",
        "Player Spawn Position": [4, 6],
        "Background": { "ColorR": 0.1, "ColorG": 0.2, "ColorB": 0.3, "Alpha": 0.4 } })");
    Scene scene("Level");
    scene.SetOwner(owner);
    scene.Init();
    Deliver();
    ASSERT_EQ(recorder->Names(),
              (std::vector<std::string>{"Spawn Treasure", "LoadTileMap", "DisplayTileMap", "Set Player Spawn"}));
    EXPECT_EQ(recorder->seen[0].text, "Loot");
    EXPECT_EQ(recorder->seen[1].text, "Map1");
    EXPECT_EQ(recorder->seen[2].text, "Map1");
    EXPECT_EQ(recorder->seen[3].type, MessageType::Vector);
    EXPECT_EQ(recorder->seen[3].vector, (std::array<float, 4>{4.0f, 6.0f, 0.0f, 0.0f}));
    for (const auto& s : recorder->seen)
        EXPECT_EQ(s.sender, &scene);
    // "SetBGColor" goes to the engine's clear colour.
    EXPECT_EQ(engine->GetClearColor(), (std::array<float, 4>{0.1f, 0.2f, 0.3f, 0.4f}));
}

TEST_F(SceneInit, SpawnMessageOnlyWithBothCoordinates)
{
    WriteScene("NoSpawn", R"({ "Scene Type": "Gameplay", "Tilemap Name": "M" })");
    WriteScene("HalfSpawn", R"({ "Scene Type": "Gameplay", "Tilemap Name": "M", "Player Spawn Position": [-1, 5] })");
    WriteScene("MenuSpawn", R"({ "Scene Type": "Menu", "Tilemap Name": "M", "Player Spawn Position": [1, 5] })");
    for (const char* name : {"NoSpawn", "HalfSpawn", "MenuSpawn"}) {
        Scene scene(name);
        scene.SetOwner(owner);
        scene.Init();
    }
    Deliver();
    EXPECT_EQ(recorder->Count("Set Player Spawn"), 0);
    EXPECT_EQ(recorder->Count("LoadTileMap"), 2) << "only the gameplay scenes load their map";
}

TEST_F(SceneInit, GameplayWithoutTileMapDisablesTheTileMapSystem)
{
    auto* tiles = new StandIn("TileMapSystem");
    engine->AddSystem(tiles);
    WriteScene("Bare", R"({ "Scene Type": "Gameplay" })");
    TraceCapture capture;
    Scene scene("Bare");
    scene.SetOwner(owner);
    scene.Init();
    Deliver();
    const std::string out = capture.Take();
    EXPECT_NE(out.find("ERROR: No Tilemap id given for the scene: Bare\n"), std::string::npos) << out;
    EXPECT_FALSE(tiles->IsActive());
    EXPECT_EQ(tiles->disables, 1);
    EXPECT_EQ(recorder->Count("LoadTileMap"), 0);
    EXPECT_EQ(recorder->Count("DisplayTileMap"), 0);

    // Without a tile-map system there is nothing to switch off, and nothing breaks.
    engine->RemoveSystem("TileMapSystem");
    scene.Init();
    Deliver();
    EXPECT_EQ(recorder->Count("LoadTileMap"), 0);
}

TEST_F(SceneInit, WriteBackOfScalesAndRotationsIsExact)
{
    WriteScene("Room", "{\n    \"Scene Type\": \"Menu\",\n    \"Tilemap Name\": \"\",\n"
                       "    \"Scene GameObjects\": [\"archetypes/Box\", \"archetypes/Box\"],\n"
                       "    \"Scene Positions\": [[1, 2], [3.5, -4]]\n}\n");
    Scene scene("Room");
    scene.SetOwner(owner);
    scene.Init();

    const std::string expected = "{\n"
                                 "    \"Scene Type\": \"Menu\",\n"
                                 "    \"Tilemap Name\": \"\",\n"
                                 "    \"Scene GameObjects\": [\n"
                                 "        \"archetypes/Box\",\n"
                                 "        \"archetypes/Box\"\n"
                                 "    ],\n"
                                 "    \"Scene Positions\": [\n"
                                 "        [\n"
                                 "            1,\n"
                                 "            2\n"
                                 "        ],\n"
                                 "        [\n"
                                 "            3.5,\n"
                                 "            -4\n"
                                 "        ]\n"
                                 "    ],\n"
                                 "    \"Scene Scales\": [\n"
                                 "        [\n"
                                 "            1.0,\n"
                                 "            1.0,\n"
                                 "            1.0,\n"
                                 "            0.0\n"
                                 "        ],\n"
                                 "        [\n"
                                 "            1.0,\n"
                                 "            1.0,\n"
                                 "            1.0,\n"
                                 "            0.0\n"
                                 "        ]\n"
                                 "    ],\n"
                                 "    \"Scene Rotation\": [\n"
                                 "        0,\n"
                                 "        0\n"
                                 "    ]\n"
                                 "}";
    EXPECT_EQ(ReadData("scenes/Room"), expected);

    ASSERT_EQ(ObjectNames(), (std::vector<std::string>{"Box", "Box(Clone 1)"}));
    Transform* first = manager->GetObjectAt(0)->GetTransform();
    Transform* second = manager->GetObjectAt(1)->GetTransform();
    EXPECT_FLOAT_EQ(first->TranslationX, 1.0f);
    EXPECT_FLOAT_EQ(first->TranslationY, 2.0f);
    EXPECT_FLOAT_EQ(second->TranslationX, 3.5f);
    EXPECT_FLOAT_EQ(second->TranslationY, -4.0f);
    EXPECT_FLOAT_EQ(first->ScaleX, 1.0f);
    EXPECT_FLOAT_EQ(second->ScaleY, 1.0f);
    EXPECT_FLOAT_EQ(first->Rotation, 0.0f);

    // A second Init finds both arrays and leaves the file as it is.
    scene.Init();
    EXPECT_EQ(ReadData("scenes/Room"), expected);
}

TEST_F(SceneInit, OnlyTheMissingArrayIsWritten)
{
    WriteScene("Half", R"({"Scene GameObjects": ["archetypes/Box"], "Scene Positions": [[1, 2]], "Scene Rotation": [90]})");
    Scene scene("Half");
    scene.SetOwner(owner);
    scene.Init();
    EXPECT_EQ(ReadData("scenes/Half"),
              "{\n    \"Scene GameObjects\": [\n        \"archetypes/Box\"\n    ],\n    \"Scene Positions\": [\n"
              "        [\n            1,\n            2\n        ]\n    ],\n    \"Scene Rotation\": [\n        90\n"
              "    ],\n    \"Scene Scales\": [\n        [\n            1.0,\n            1.0,\n            1.0,\n"
              "            0.0\n        ]\n    ]\n}");
    ASSERT_EQ(manager->GetObjectCount(), 1);
    EXPECT_FLOAT_EQ(manager->GetObjectAt(0)->GetTransform()->Rotation, 90.0f * 0.017453292f);

    // A file with neither the names nor the positions is never written.
    const std::string untouched = R"({"Scene GameObjects": ["archetypes/Box"]})";
    WriteScene("NoPositions", untouched);
    Scene other("NoPositions");
    other.SetOwner(owner);
    other.Init();
    EXPECT_EQ(ReadData("scenes/NoPositions"), untouched);
}

TEST_F(SceneInit, ObjectsArePlacedScaledAndRotated)
{
    WriteScene("Placed", R"({ "Init GameObjects": ["archetypes/Box"],
        "Scene GameObjects": ["archetypes/Box"], "Scene Positions": [[-5, 6.5]],
        "Scene Scales": [[0.5, 4, 99, 99]], "Scene Rotation": [-45] })");
    Scene scene("Placed");
    scene.SetOwner(owner);
    scene.Init();
    ASSERT_EQ(manager->GetObjectCount(), 2);
    Transform* initial = manager->GetObjectAt(0)->GetTransform();
    EXPECT_FLOAT_EQ(initial->TranslationX, 7.0f) << "init objects keep their archetype's transform";
    EXPECT_FLOAT_EQ(initial->ScaleY, 3.0f);
    Transform* placed = manager->GetObjectAt(1)->GetTransform();
    EXPECT_FLOAT_EQ(placed->TranslationX, -5.0f);
    EXPECT_FLOAT_EQ(placed->TranslationY, 6.5f);
    EXPECT_FLOAT_EQ(placed->ScaleX, 0.5f);
    EXPECT_FLOAT_EQ(placed->ScaleY, 4.0f);
    EXPECT_FLOAT_EQ(placed->Rotation, -45.0f * 0.017453292f);
    EXPECT_TRUE(placed->dirty);
}

// An archetype that lists itself among its children builds once per placement; each self reference
// is refused with one line.
TEST_F(SceneInit, SelfListingArchetypesBuildOncePerPlacement)
{
    WriteData("archetypes/Loop", R"({ "Name": "Loop", "Children": ["archetypes/Loop", "archetypes/Loop",
        "archetypes/Loop"] })");
    WriteScene("Loops", R"({ "Init GameObjects": ["archetypes/Loop", "archetypes/Loop"] })");
    Scene scene("Loops");
    scene.SetOwner(owner);
    TraceCapture capture;
    scene.Init();
    const std::string out = capture.Take();
    EXPECT_EQ(manager->GetObjectCount(), 2);
    std::size_t lines = 0;
    for (std::size_t at = out.find("is already being built"); at != std::string::npos;
         at = out.find("is already being built", at + 1))
        ++lines;
    EXPECT_EQ(lines, 6u) << out;
}

TEST_F(SceneInit, ShortListsKeepArchetypeValuesWithOneLineEach)
{
    WriteScene("Short", R"({ "Scene GameObjects": ["archetypes/Box", "archetypes/Box", "archetypes/Box"],
        "Scene Positions": [[1, 1], [2, 2]], "Scene Scales": [[5, 5]], "Scene Rotation": [] })");
    TraceCapture capture;
    Scene scene("Short");
    scene.SetOwner(owner);
    scene.Init();
    const std::string out = capture.Take();
    ASSERT_EQ(manager->GetObjectCount(), 3) << "every object is still created";
    Transform* third = manager->GetObjectAt(2)->GetTransform();
    EXPECT_FLOAT_EQ(third->TranslationX, 7.0f);
    EXPECT_FLOAT_EQ(third->TranslationY, 8.0f);
    EXPECT_FLOAT_EQ(third->ScaleX, 2.0f);
    EXPECT_FLOAT_EQ(manager->GetObjectAt(1)->GetTransform()->TranslationX, 2.0f);
    EXPECT_FLOAT_EQ(manager->GetObjectAt(1)->GetTransform()->ScaleX, 2.0f);
    EXPECT_FLOAT_EQ(manager->GetObjectAt(0)->GetTransform()->ScaleX, 5.0f);
    EXPECT_FLOAT_EQ(manager->GetObjectAt(0)->GetTransform()->Rotation, 10.0f * 0.017453292f)
        << "no rotation entry: the archetype's rotation";
    EXPECT_EQ(CountOf(out, "\"Scene Positions\" holds 2 entries for 3 objects"), 1) << out;
    EXPECT_EQ(CountOf(out, "\"Scene Scales\" holds 1 entries for 3 objects"), 1) << out;
    EXPECT_EQ(CountOf(out, "\"Scene Rotation\" holds 0 entries for 3 objects"), 1) << out;
    EXPECT_EQ(out.find("Assertion"), std::string::npos) << out;
}

TEST_F(SceneInit, BadEntriesAndObjectsWithoutTransform)
{
    WriteData("archetypes/Ghost", R"({ "Name": "Ghost" })");
    const std::string text = R"({ "Scene GameObjects": ["archetypes/Ghost", 17, "archetypes/Box"],
        "Scene Positions": [[1, 1], [2, 2], "far"], "Scene Scales": "big", "Scene Rotation": [0, 0, "x"],
        "Init GameObjects": [null, "archetypes/Box"] })";
    WriteScene("Bad", text);
    TraceCapture capture;
    Scene scene("Bad");
    scene.SetOwner(owner);
    scene.Init();
    const std::string out = capture.Take();
    EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Box", "Ghost", "Box(Clone 1)"}));
    EXPECT_NE(out.find("object \"Ghost\" has no Transform; it is not placed"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Scene GameObjects\" entry 1 is not a name"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Init GameObjects\" entry 0 is not a name"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Scene Scales\" is not a list"), std::string::npos) << out;
    Transform* box = manager->GetObjectAt(2)->GetTransform();
    EXPECT_FLOAT_EQ(box->TranslationX, 7.0f);
    EXPECT_FLOAT_EQ(box->ScaleX, 2.0f);
    EXPECT_FLOAT_EQ(box->Rotation, 10.0f * 0.017453292f);
    EXPECT_EQ(ReadData("scenes/Bad"), text) << "a scales member of the wrong type is not written over";
    EXPECT_EQ(out.find("Assertion"), std::string::npos) << out;
}

TEST_F(SceneInit, RoomsAndTheirLimit)
{
    for (int i = 1; i <= 8; ++i) {
        const std::string room = "Room" + std::to_string(i) + "Boundary";
        WriteData("archetypes/" + room, R"({ "Name": ")" + room + R"(", "Transform": {} })");
    }
    Seams seams;
    engine->AddSystem(new StandIn("TreasureManager"));
    WriteScene("Eight", R"({ "RoomSystem": { "NumRooms": 8 } })");
    WriteScene("Nine", R"({ "RoomSystem": { "NumRooms": 9 } })");
    WriteScene("Three", R"({ "RoomSystem": { "NumRooms": 3 } })");

    Scene three("Three");
    three.SetOwner(owner);
    three.Init();
    EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"Room1Boundary", "Room2Boundary", "Room3Boundary"}));
    EXPECT_EQ(seams.log.roomCount, 3);

    Scene eight("Eight");
    eight.SetOwner(owner);
    eight.Init();
    EXPECT_EQ(manager->GetObjectCount(), 8) << "rooms already present are not made again";
    EXPECT_EQ(manager->GetObjectAt(7)->GetName(), "Room8Boundary");
    EXPECT_EQ(seams.log.roomCount, 8);

    manager->ClearGameObjects();
    TraceCapture capture;
    Scene nine("Nine");
    nine.SetOwner(owner);
    nine.Init();
    const std::string out = capture.Take();
    EXPECT_NE(out.find("TreasureManager ERROR: Too many rooms!! Max is 8\n"), std::string::npos) << out;
    EXPECT_EQ(manager->GetObjectCount(), 0);
    EXPECT_EQ(seams.log.roomCount, 8) << "the room count is left alone";
    // The display references are cleared for every scene, rooms or not.
    EXPECT_EQ(CountOf([&] {
                  std::string all;
                  for (const auto& c : seams.log.calls)
                      all += c + "\n";
                  return all;
              }(),
                      "clear display"),
              3);
}

TEST_F(SceneInit, MenuAndFogThroughThePresentSystems)
{
    Seams seams;
    WriteScene("Lit", R"({ "Menu": "PauseMenu",
        "LightingSystem": { "GridPosition": [2, -3], "GridWidth": 40, "GridHeight": 30 } })");
    WriteScene("Dark", R"({ "LightingSystem": { "GridWidth": -4, "GridHeight": 30 } })");
    WriteScene("Plain", R"({ })");

    // Without the systems nothing is asked of them.
    Scene lit("Lit");
    lit.SetOwner(owner);
    lit.Init();
    EXPECT_TRUE(seams.log.calls.empty());

    engine->AddSystem(new StandIn("MenuSystem"));
    auto* lighting = new LightingSystem();
    auto* levels = new LevelSystem();
    engine->AddSystem(lighting);
    engine->AddSystem(levels);
    {
        TraceCapture quiet;
        lighting->cols = 8;
        lighting->rows = 8;
        lighting->Init();
        levels->Init();
    }
    lighting->SetCell(1, 1, 1);
    levels->SetCell(1, 1, 1);
    lit.Init();
    EXPECT_EQ(seams.log.calls, (std::vector<std::string>{"menu PauseMenu"}));
    EXPECT_FLOAT_EQ(lighting->originX, 2.0f);
    EXPECT_FLOAT_EQ(lighting->originY, -3.0f);
    EXPECT_EQ(lighting->cols, 40);
    EXPECT_EQ(lighting->rows, 30);
    EXPECT_EQ(lighting->CountRevealed(), 0) << "a new grid, all in fog";
    EXPECT_EQ(levels->GetCell(1, 1), 0) << "the new grid is handed to the current level";
    EXPECT_EQ(lighting->enabled, 1);

    seams.log.calls.clear();
    lighting->enabled = 0;
    lighting->SetCell(3, 3, 1);
    Scene dark("Dark");
    dark.SetOwner(owner);
    TraceCapture capture;
    dark.Init();
    const std::string out = capture.Take();
    EXPECT_TRUE(seams.log.calls.empty());
    EXPECT_EQ(lighting->enabled, 1);
    EXPECT_EQ(lighting->cols, 40) << "a bad size keeps the grid";
    EXPECT_EQ(lighting->GetCell(3, 3), 1) << "a bad size keeps the grid";
    EXPECT_FLOAT_EQ(lighting->originX, 2.0f) << "no position, the grid stays where it is";
    EXPECT_NE(out.find("the fog grid size must be two whole numbers"), std::string::npos) << out;

    Scene plain("Plain");
    plain.SetOwner(owner);
    plain.Init();
    EXPECT_EQ(lighting->enabled, 0) << "no fog block, no fog";
    EXPECT_EQ(lighting->GetCell(3, 3), 1);
}

class SceneSystems : public SceneTest {
protected:
    void AddGameplaySystems()
    {
        player = new StandIn("PlayerManager");
        score = new StandIn("ScoreManager");
        tiles = new StandIn("TileMapSystem");
        engine->AddSystem(player);
        engine->AddSystem(score);
        engine->AddSystem(tiles);
        engine->AddSystem(new StandIn("TreasureManager"));
        levels = new LevelSystem();
        engine->AddSystem(levels);
        // A small grid for the current level, every cell revealed.
        levels->grids[0].width = 2;
        levels->grids[0].height = 2;
        RevealLevel();
    }
    void RevealLevel() { levels->grids[0].cells.assign(4, 1); }
    int LevelRevealed() const
    {
        int count = 0;
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 2; ++column)
                count += levels->GetCell(column, row);
        return count;
    }
    LevelSystem* levels = nullptr;
    StandIn* player = nullptr;
    StandIn* score = nullptr;
    StandIn* tiles = nullptr;
};

TEST_F(SceneSystems, FirstGameplaySceneAddsTheSystems)
{
    WriteScene("Level", R"({ "Scene Type": "Gameplay", "Tilemap Name": "M" })");
    Scene scene("Level");
    TraceCapture capture;
    scene.SetUpSystems();
    const std::string out = capture.Take();
    EXPECT_NE(out.find("System PlayerManager not found\n"), std::string::npos) << out;
    const std::size_t a = out.find("Adding PlayerManager...");
    const std::size_t b = out.find("Adding ScoreManager...");
    const std::size_t c = out.find("Adding TileMapSystem...");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}

TEST_F(SceneSystems, GameplaySystemsAreNeverAddedTwice)
{
    // Without a player manager every gameplay scene takes the first-time road; a gameplay system
    // already there is switched on rather than added again.
    auto* score = new StandIn("ScoreManager");
    engine->AddSystem(score);
    score->SetActive(false);
    WriteScene("Level", R"({ "Scene Type": "Gameplay", "Tilemap Name": "M" })");
    Scene scene("Level");
    const std::size_t before = engine->GetSystems().size();
    TraceCapture capture;
    scene.SetUpSystems();
    scene.SetUpSystems();
    const std::string out = capture.Take();
    EXPECT_EQ(CountOf(out, "Adding ScoreManager..."), 0) << out;
    EXPECT_TRUE(score->IsActive());
    EXPECT_EQ(score->enables, 2);
    int tileMaps = 0;
    for (ISystem* system : engine->GetSystems())
        tileMaps += system->GetName() == "TileMapSystem" ? 1 : 0;
    EXPECT_LE(tileMaps, 1);
    EXPECT_LE(engine->GetSystems().size(), before + 2);
}

TEST_F(SceneSystems, OnForGameplayOffOtherwise)
{
    AddGameplaySystems();
    Seams seams;
    WriteScene("Level", R"({ "Scene Type": "Gameplay", "Tilemap Name": "M" })");
    WriteScene("Menu", R"({ "Scene Type": "Menu" })");
    WriteScene("Win", R"({ "Scene Type": "Menu", "Scene Name": "Win" })");

    Scene menu("Menu");
    menu.SetUpSystems();
    for (StandIn* s : {player, score, tiles}) {
        EXPECT_FALSE(s->IsActive());
        EXPECT_EQ(s->disables, 1);
    }
    Scene level("Level");
    level.SetUpSystems();
    for (StandIn* s : {player, score, tiles}) {
        EXPECT_TRUE(s->IsActive());
        EXPECT_EQ(s->enables, 1);
        EXPECT_EQ(s->inits, 0) << "present systems are not initialised again";
    }
    EXPECT_EQ(seams.log.calls, (std::vector<std::string>{"treasure reset"}));

    Scene win("Win");
    win.SetUpSystems();
    Deliver();
    EXPECT_EQ(recorder->Count("CreateTreasureDisplay"), 1);
    EXPECT_EQ(recorder->Find("CreateTreasureDisplay")->sender, engine);
    EXPECT_FALSE(player->IsActive());
}

TEST_F(SceneSystems, RestartCyclesTheSystemsAndClearsTheLevelGrid)
{
    AddGameplaySystems();
    Seams seams;
    WriteScene("Level", R"({ "Scene Type": "Gameplay", "Tilemap Name": "M", "Level": 2 })");
    WriteScene("Menu4", R"({ "Scene Type": "Menu", "Level": 4 })");
    WriteScene("Menu1", R"({ "Scene Type": "Menu", "Level": 1 })");
    Scene level("Level");
    level.Restart();
    for (StandIn* s : {player, score, tiles}) {
        EXPECT_TRUE(s->IsActive());
        EXPECT_EQ(s->disables, 1);
        EXPECT_EQ(s->enables, 1);
    }
    EXPECT_EQ(seams.log.calls, (std::vector<std::string>{"treasure reset"}));
    EXPECT_EQ(seams.log.levelCellAtTreasureReset, 1) << "the treasure is reset before the level grid is cleared";
    EXPECT_EQ(LevelRevealed(), 0);

    seams.log.calls.clear();
    RevealLevel();
    Scene menu4("Menu4");
    menu4.Restart();
    EXPECT_TRUE(seams.log.calls.empty());
    EXPECT_EQ(LevelRevealed(), 4) << "level 4 does not exist";
    Scene menu1("Menu1");
    menu1.Restart();
    EXPECT_TRUE(seams.log.calls.empty());
    EXPECT_EQ(LevelRevealed(), 0) << "whatever the scene type";
    EXPECT_EQ(player->disables, 1);
}

TEST(LevelDesignPage, NamesEveryArchetype)
{
    namespace fs = std::filesystem;
    const std::string page = testsupport::ReadFile(testsupport::RepoDir() / "docs/levels.md");
    ASSERT_FALSE(page.empty());
    std::vector<std::string> archetypes, missing;
    for (const fs::directory_entry& entry : fs::directory_iterator(testsupport::RepoDir() / "assets/data/archetypes"))
        if (entry.path().extension() == ".json")
            archetypes.push_back(entry.path().stem().string());
    for (const std::string& name : archetypes)
        if (!testsupport::Contains(page, "`" + name + "`"))
            missing.push_back(name);
    EXPECT_GT(archetypes.size(), 30u);
    EXPECT_TRUE(missing.empty()) << "docs/levels.md does not name: " << ::testing::PrintToString(missing);
}

namespace pages {

namespace fs = std::filesystem;

// The designer's pages, one text.
std::string Pages()
{
    std::string text;
    for (const char* page : {"docs/levels.md", "docs/objects.md", "docs/menus.md", "docs/scripting.md"})
        text += testsupport::ReadFile(testsupport::RepoDir() / page);
    return text;
}

rapidjson::Document Parse(const fs::path& path)
{
    rapidjson::Document document;
    document.Parse(testsupport::ReadFile(path).c_str());
    return document;
}

std::vector<fs::path> JsonFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(testsupport::RepoDir() / folder))
        if (entry.path().extension() == ".json" || entry.path().extension() == ".bank")
            files.push_back(entry.path());
    return files;
}

// Every member name of the value and of the objects nested in it; the text values of the keys that
// hold names (behaviour types, layers, shapes, widget kinds, trigger words).
void CollectKeys(const rapidjson::Value& value, std::set<std::string>& keys, std::set<std::string>& names)
{
    static const std::set<std::string> naming = {"BehaviorType", "Layer", "Type", "DynamicState", "DrawMode",
                                                 "audioEventType", "eventStartTrigger", "eventStopTrigger",
                                                 "type", "interacttype", "Mesh", "Scene Type"};
    if (value.IsArray())
        for (const rapidjson::Value& element : value.GetArray())
            CollectKeys(element, keys, names);
    if (!value.IsObject())
        return;
    for (const auto& member : value.GetObject()) {
        const std::string key = member.name.GetString();
        keys.insert(key);
        if (naming.count(key) && member.value.IsString())
            names.insert(member.value.GetString());
        CollectKeys(member.value, keys, names);
    }
}

} // namespace pages

// Every key of the shipped object, scene, menu and settings files, every key the loaders read, and the
// names those files choose from stand on the pages.
TEST(LevelDesignPage, NamesEveryKeyOfTheDataFiles)
{
    namespace fs = std::filesystem;
    const std::string page = pages::Pages();
    std::set<std::string> keys, names;
    std::vector<fs::path> files = pages::JsonFiles("assets/data/archetypes");
    for (const char* folder : {"assets/data", "assets/data/scenes", "assets/data/menus", "assets/data/textures",
                               "assets/data/meshes", "assets/data/fonts"})
        for (const fs::path& file : pages::JsonFiles(folder))
            files.push_back(file);
    for (const fs::path& file : files) {
        const rapidjson::Document document = pages::Parse(file);
        ASSERT_TRUE(document.IsObject()) << file;
        pages::CollectKeys(document, keys, names);
    }
    // The keys the component, menu and scene loaders ask for, found where they ask: the text a reader
    // call names (after the block's name when it has one), and the keys of their key tables.
    std::set<std::string> read;
    const std::regex call(R"re((?:Read\w*|Optional\w+|Has\w*|Present|present|Get(?:String|Float|Int|Bool|Array))re"
                          R"re(|Member|FindMember|Setting|ReadIntSetting|ReadIfChanged|ReadPair)\((?:[^()"]*?,\s*)?"([^"]+)")re");
    const std::regex second(R"re((?:Read\w*|Has\w*|Present|present)\(\s*"[^"]+",\s*"([^"]+)")re");
    const std::regex entry(R"re(\{\s*"([^"]+)",\s*&)re");
    const std::regex table(R"re(const char\* const \w*[kK]eys\[\] = \{([^}]*)\})re");
    const std::regex text("\"([^\"]+)\"");
    std::vector<fs::path> loaders;
    for (const char* file : {"core/Transform.cpp", "core/GameObject.cpp", "core/AudioEvent.h", "graphics/Sprite.cpp", "graphics/SpriteSheet.cpp",
                             "graphics/ParticleEmitter.cpp", "world/Collider.cpp", "world/Physics.cpp",
                             "world/Scene.cpp", "audio/AudioEventManager.cpp", "audio/BehaviorSoundEmitter.cpp",
                             "script/BehaviorScript.cpp", "ui/MenuSystem.cpp", "ui/Button.cpp", "ui/Slider.cpp",
                             "ui/Checkbox.cpp", "ui/Dropdown.cpp", "ui/Volume_CoolVersion.cpp"})
        loaders.push_back(testsupport::RepoDir() / "src" / file);
    for (const fs::directory_entry& file : fs::directory_iterator(testsupport::RepoDir() / "src/game"))
        if (file.path().filename().string().rfind("Behavior", 0) == 0 && file.path().extension() == ".cpp")
            loaders.push_back(file.path());
    std::string sources;
    for (const fs::path& file : loaders) {
        const std::string source = testsupport::ReadFile(file);
        ASSERT_FALSE(source.empty()) << file;
        sources += source;
        for (const std::regex* pattern : {&call, &second, &entry})
            for (std::sregex_iterator it(source.begin(), source.end(), *pattern), done; it != done; ++it)
                read.insert((*it)[1]);
        for (std::sregex_iterator it(source.begin(), source.end(), table), done; it != done; ++it) {
            const std::string list = (*it)[1];
            for (std::sregex_iterator key(list.begin(), list.end(), text); key != done; ++key)
                read.insert((*key)[1]);
        }
    }
    for (const char* seen : {"DrawThroughFog", "CanRotate", "Fade Rate", "ClickTexture", "CircleTintA", "audioEvent"})
        EXPECT_TRUE(read.count(seen)) << seen;
    keys.insert(read.begin(), read.end());
    // Words the loaders compare with that no shipped file uses yet.
    for (const std::string word : {"Circle", "Line", "Edges", "EdgesAndFaces", "World", "changeGlobalParameter",
                                   "onCollision", "onCollisionExit", "Slider"}) {
        EXPECT_TRUE(testsupport::Contains(sources, "\"" + word + "\"")) << "no loader knows \"" << word << "\"";
        names.insert(word);
    }
    std::vector<std::string> missing;
    for (const std::string& key : keys)
        if (!testsupport::Contains(page, "`\"" + key + "\"`"))
            missing.push_back(key);
    for (const std::string& name : names)
        if (!testsupport::Contains(page, "`\"" + name + "\"`") && !testsupport::Contains(page, "`" + name + "`"))
            missing.push_back(name);
    for (const char* seen : {"TranslationX", "BehaviorType", "audioEventID", "HoverTintR", "numMenuObjects",
                             "Scene Scales", "Persistant", "ZoomLevels", "numFrames"})
        EXPECT_TRUE(keys.count(seen)) << seen;
    EXPECT_GT(keys.size(), 150u);
    EXPECT_TRUE(missing.empty()) << "the pages do not name: " << ::testing::PrintToString(missing);
}

// Every sound event of the banks, every parameter it takes and every texture the game ships stands on
// the pages.
TEST(LevelDesignPage, NamesEverySoundEventAndTexture)
{
    namespace fs = std::filesystem;
    const std::string page = pages::Pages();
    std::vector<std::string> events, missing;
    for (const fs::path& bank : pages::JsonFiles("assets/audio/banks")) {
        const rapidjson::Document document = pages::Parse(bank);
        ASSERT_TRUE(document.IsObject() && document.HasMember("events") && document["events"].IsArray()) << bank;
        for (const rapidjson::Value& event : document["events"].GetArray()) {
            const std::string path = event["path"].GetString();
            const std::string name = path.substr(path.rfind('/') + 1);
            events.push_back(name);
            if (!testsupport::Contains(page, "`" + name + "`"))
                missing.push_back(name);
            if (event.HasMember("parameters") && event["parameters"].IsObject())
                for (const auto& parameter : event["parameters"].GetObject())
                    if (!testsupport::Contains(page, "`\"" + std::string(parameter.name.GetString()) + "\"`"))
                        missing.push_back(name + " parameter " + parameter.name.GetString());
        }
    }
    int textures = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(testsupport::RepoDir() / "assets/textures")) {
        ++textures;
        const std::string name = entry.path().stem().string();
        if (!testsupport::Contains(page, "`" + name + "`"))
            missing.push_back("texture " + name);
    }
    EXPECT_GT(events.size(), 25u);
    EXPECT_GT(textures, 80);
    EXPECT_TRUE(missing.empty()) << "the pages do not name: " << ::testing::PrintToString(missing);
}

} // namespace
