// Every loader against broken copies of the game's own data files: each shipped JSON file is cut
// short at several points, loses each of its members one at a time, and has each member (and each
// member of a member) replaced by a value of another type, a huge number, a negative number or an
// empty array. The loaders must survive all of it: no crash, no sanitizer report, no exception.
//
// The work happens in a scratch copy of assets/data; the original files are never touched.
// Set DUSTRUN_BAD_DATA_VERBOSE=1 to see every variant and the trace lines it causes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include <rapidjson/document.h>
#include <zstd.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "app/SavedOptions.h"
#include "audio/StudioSystem.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/MessageSystem.h"
#include "core/ObjectFactory.h"
#include "core/Stream.h"
#include "core/Transform.h"
#include "game/PlayerManager.h"
#include "game/TreasureManager.h"
#include "graphics/CameraSystem.h"
#include "graphics/LightingSystem.h"
#include "script/LuaAPI_System.h"
#include "ui/Slider.h"
#include "world/LevelSystem.h"
#include "world/Physics.h"
#include "world/Scene.h"
#include "world/SceneSystem.h"
#include "world/TileMapSystem.h"

#include "TestFiles.h"
#include "bad_data_variants.h"

namespace {

using namespace baddata;

#ifndef DUSTRUN_SOURCE_DIR
#define DUSTRUN_SOURCE_DIR "."
#endif

// Runs inside a scratch copy of assets/data; puts the working folder back afterwards.
class BadDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        root_ = fs::temp_directory_path() /
                ("dustrun_bad_data_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::error_code ec;
        fs::remove_all(root_, ec);
        fs::create_directories(root_ / "assets");
        fs::copy(fs::path(DUSTRUN_SOURCE_DIR) / "assets/data", root_ / "assets/data",
                 fs::copy_options::recursive, ec);
        ASSERT_FALSE(ec) << ec.message();
        fs::current_path(root_);
        // Saves (if any loader writes one) stay in the scratch folder too.
        savedXdg_ = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
        hadXdg_ = std::getenv("XDG_DATA_HOME") != nullptr;
        setenv("XDG_DATA_HOME", (root_ / "save").c_str(), 1);
        if (!Verbose())
            ::testing::internal::CaptureStdout();
    }

    void TearDown() override
    {
        if (!Verbose())
            ::testing::internal::GetCapturedStdout();
        DeleteWorld();
        if (hadXdg_)
            setenv("XDG_DATA_HOME", savedXdg_.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        fs::current_path(previous_, ec);
        fs::remove_all(root_, ec);
    }

    // An engine with the message system, both factories and the object manager.
    void MakeWorld()
    {
        DeleteWorld();
        engine = new Engine();
        gEngine = engine;
        engine->AddSystem(std::string("MessageSystem"));
        engine->AddSystem(new ObjectFactory());
        factory = new GameObjectFactory();
        engine->AddSystem(factory);
        manager = new GameObjectManager();
        engine->AddSystem(manager);
        engine->Init();
    }

    void DeleteWorld()
    {
        delete engine;  // clears gEngine
        engine = nullptr;
        factory = nullptr;
        manager = nullptr;
    }

    // A scene loaded through the scene system, then reloaded, then run for a few frames.
    void LoadSceneTwice(const std::string& name)
    {
        MakeWorld();
        // A small fog grid keeps the sweep quick; the scene may resize it.
        auto* lighting = new LightingSystem();
        lighting->cols = 64;
        lighting->rows = 64;
        engine->AddSystem(lighting);
        engine->AddSystem(new LevelSystem());
        auto* scenesSystem = new SceneSystem();
        engine->AddSystem(scenesSystem);
        for (ISystem* system : engine->GetSystems())
            if (system->GetName() == "LightingSystem" || system->GetName() == "LevelSystem")
                system->Init();
        scenesSystem->SetNextScene(name);
        // The change is carried out on the first update; a reload of the same scene after it.
        scenesSystem->Update(0.0f);
        Deliver();
        scenesSystem->SetNextScene(name);
        scenesSystem->fadeTimer = 0.0f;
        scenesSystem->Update(0.0f);
        Deliver();
        for (int step = 0; step < 3; ++step) {
            engine->Update(0.2f);
            Deliver();
        }
        DeleteWorld();
    }

    void Deliver()
    {
        for (int i = 0; i < 4 && gMessageSystem; ++i)
            gMessageSystem->Update(0.0f);
    }

    Engine* engine = nullptr;
    GameObjectFactory* factory = nullptr;
    GameObjectManager* manager = nullptr;

private:
    fs::path previous_;
    fs::path root_;
    std::string savedXdg_;
    bool hadXdg_ = false;
};

// ---- The generator itself ------------------------------------------------------------------------------

TEST_F(BadDataTest, VariantsCoverCutsRemovalsAndReplacements)
{
    const std::vector<Variant> variants = MakeVariants(R"({"A": 1, "B": {"C": [1, 2]}})");
    auto has = [&](const std::string& label) {
        for (const Variant& v : variants)
            if (v.label == label)
                return true;
        return false;
    };
    EXPECT_TRUE(has("missing file"));
    EXPECT_TRUE(has("cut at 1"));
    EXPECT_TRUE(has("/A removed"));
    EXPECT_TRUE(has("/B/C = a string"));
    EXPECT_TRUE(has("/B/C[1] = -2147483648"));
    EXPECT_TRUE(has("/B = []"));
    for (const Variant& v : variants) {
        if (v.label == "/B/C[0] removed") {
            EXPECT_EQ(v.text, R"({"A":1,"B":{"C":[2]}})");
        }
    }
}

TEST_F(BadDataTest, DeeplyNestedFileReadsAsInvalid)
{
    WriteText("assets/data/Deep.json", "{\"A\": " + std::string(100000, '[') + std::string(100000, ']') + "}");
    Stream deep("Deep", StreamMode_Data, false);
    EXPECT_TRUE(deep.IsValid());
    EXPECT_TRUE(deep.data.IsNull());
    EXPECT_FALSE(deep.HasMember("A"));
    deep.WriteData("A", Stream::StreamData(1));  // never written over
    EXPECT_EQ(ReadText("assets/data/Deep.json").size(), 200007u);

    // Data nested as deeply as a game needs reads as it stands.
    WriteText("assets/data/Deep.json", "{\"A\": " + std::string(40, '[') + "7" + std::string(40, ']') + "}");
    Stream shallow("Deep", StreamMode_Data, false);
    EXPECT_TRUE(shallow.HasMember("A"));
}

// ---- Archetypes and object files -----------------------------------------------------------------------

TEST_F(BadDataTest, ArchetypesBuildFromBrokenFiles)
{
    std::vector<std::string> files;
    for (const std::string& name : DataFiles("archetypes"))
        files.push_back("archetypes/" + name);
    files.push_back("DebugLine");
    files.push_back("DebugRectangle");
    ASSERT_GE(files.size(), 3u);

    MakeWorld();
    int runs = 0;
    for (const std::string& file : files) {
        // The debug shapes are never registered with the manager: the test deletes them.
        const bool unregistered = file == "DebugLine" || file == "DebugRectangle";
        runs += Sweep(file, [&] {
            factory->ClearArchetypes();
            GameObject* object = factory->CreateGameObject(file, true);
            ASSERT_NE(object, nullptr);
            // Every object gets its Physics whatever the file holds.
            EXPECT_NE(object->GetPhysics(), nullptr) << file;
            GameObject* clone = factory->CloneAndRegister(object);
            EXPECT_NE(clone, nullptr);
            // The clone overlaps the original, so a collider of any shape meets another.
            for (int step = 0; step < 3; ++step) {
                manager->Update(0.2f);
                Deliver();
            }
            manager->ClearGameObjects();
            Deliver();
            if (unregistered)
                delete object;
            Deliver();
        });
    }
    EXPECT_GT(runs, 100);
}

TEST_F(BadDataTest, ObjectFilesNamingABrokenArchetype)
{
    // An object file that overrides an archetype: the file and the archetype are each broken in turn.
    WriteText("assets/data/CrateOverride.json",
              R"({"Archetype": "Crate", "Name": "Special", "Transform": {"TranslationX": 3.0},
                  "Sprite": {"Alpha": 0.5}, "Collider": {"Type": "Circle", "Radius": 2.0},
                  "Physics": {"Mass": 2.0}, "Children": ["archetypes/Wall"]})");
    MakeWorld();
    auto drive = [&] {
        factory->ClearArchetypes();
        factory->CreateGameObject("CrateOverride", true);
        Deliver();
        manager->Update(1.0f / 60.0f);
        manager->ClearGameObjects();
        Deliver();
    };
    Sweep("CrateOverride", drive);
    Sweep("archetypes/Crate", drive);
}

TEST_F(BadDataTest, ParticleEmitterFromBrokenFiles)
{
    // Every key of the block, on an object whose emitter runs, is cloned and runs again.
    WriteText("assets/data/Sparkler.json",
              R"({"Name": "Sparkler", "Transform": {"ScaleX": 1.0, "ScaleY": 1.0},
                  "ParticleEmitter": {"Active": true, "Pattern": 1, "Rate": 30.0, "Size": 0.2, "Lifespan": 0.5,
                  "Speed": 2.0, "XDir": 1.0, "YDir": 0.5, "Spread": true, "Mesh": "empty_mesh", "Texture": "smoke_par",
                  "Expand": true, "Fading": true, "Shrink": false, "Spin": true, "PrefabMode": false,
                  "Color Red": 0.5, "Color Green": 0.25, "Color Blue": 1.0, "Grow Rate": 0.1, "Fade Rate": 0.02,
                  "Spin Rate": 20.0}})");
    MakeWorld();
    Sweep("Sparkler", [&] {
        factory->ClearArchetypes();
        GameObject* object = factory->CreateGameObject("Sparkler", true);
        ASSERT_NE(object, nullptr);
        factory->CloneAndRegister(object);
        for (int step = 0; step < 4; ++step)
            manager->Update(0.1f);
        manager->ClearGameObjects();
        Deliver();
    });
}

// ---- Scenes -----------------------------------------------------------------------------------------

TEST_F(BadDataTest, ScenesLoadFromBrokenFiles)
{
    std::vector<std::string> scenes = DataFiles("scenes");
    ASSERT_GE(scenes.size(), 2u);
    for (const std::string& name : scenes) {
        if (name == "InitialScene")
            continue;
        Sweep("scenes/" + name, [&] { LoadSceneTwice(name); });
    }
}

TEST_F(BadDataTest, SceneKeysOfAWrongTypeGiveOneLineEach)
{
    // Each replacement of a key read at every set-up, through a load, a reload and a few frames: one
    // line naming the key when the value has the wrong type, none when it fits.
    using Fits = bool (*)(const rapidjson::Value&);
    const std::pair<std::string, Fits> keys[] = {{"Scene Type", [](const rapidjson::Value& v) { return v.IsString(); }},
                                                 {"Level", [](const rapidjson::Value& v) { return v.IsInt(); }},
                                                 {"Scene Name", [](const rapidjson::Value& v) { return v.IsString(); }},
                                                 {"RoomSystem", [](const rapidjson::Value& v) { return v.IsObject(); }}};
    const fs::path path = "assets/data/scenes/LivingRoomScene.json";
    if (!Verbose())
        ::testing::internal::GetCapturedStdout();
    int tried = 0;
    for (const Variant& variant : MakeVariants(ReadText(path))) {
        for (const auto& [key, fits] : keys) {
            if (variant.label.rfind("/" + key + " = ", 0) != 0)
                continue;
            WriteText(path, variant.text);
            rapidjson::Document document;
            document.Parse(variant.text.c_str());
            const std::string out = testsupport::CaptureConsole([&] { LoadSceneTwice("LivingRoomScene"); });
            int lines = 0;
            for (auto at = out.find("\"" + key + "\""); at != std::string::npos; at = out.find("\"" + key + "\"", at + 1))
                ++lines;
            EXPECT_EQ(lines, fits(document[key.c_str()]) ? 0 : 1) << variant.label << "\n" << out;
            ++tried;
        }
    }
    EXPECT_EQ(tried, 4 * static_cast<int>(std::size(kReplacements)));
    if (!Verbose())
        ::testing::internal::CaptureStdout();
}

TEST_F(BadDataTest, InitialSceneFromBrokenFile)
{
    Sweep("scenes/InitialScene", [&] {
        MakeWorld();
        auto* scenesSystem = new SceneSystem();
        engine->AddSystem(scenesSystem);
        scenesSystem->Init();
        scenesSystem->Update(0.0f);
        Deliver();
        DeleteWorld();
    });
}

// ---- Tile maps and tilesets -------------------------------------------------------------------------------

TEST_F(BadDataTest, TileMapsAndTilesetsLoadFromBrokenFiles)
{
    // Beside the shipped map, one as the Tiled editor saves it: no tileset count, first gids numbered
    // straight on, a path of another depth, an embedded tileset and an entry with neither.
    WriteText("assets/data/tilemaps/BadDataTiledMap.json",
              R"({"width": 4, "height": 2, "nextlayerid": 3,
                  "layers": [{"id": 1, "name": "FloorLayer", "type": "tilelayer", "visible": true,
                              "data": [1, 16, 17, 24, 25, 33, 40, 0]},
                             {"id": 2, "name": "WallLayer", "type": "tilelayer", "visible": true,
                              "data": [9, 0, 0, 0, 0, 0, 0, 9]}],
                  "tilesets": [{"firstgid": 1, "source": "../tilesets/HouseTiles.json"},
                               {"firstgid": 17, "source": "../../data/tilesets/HouseDecor.json"},
                               {"firstgid": 25, "columns": 8, "tilecount": 8, "name": "Inline",
                                "image": "../../textures/HouseDecor.png"},
                               {"firstgid": 33}]})");
    // Also as Tiled saves it: a group holding base64 layers (zlib, zstd) with flipped gids and an
    // object layer; and an infinite map of two base64 zlib chunks, the second too long.
    WriteText("assets/data/tilemaps/BadDataTiledEncoded.json",
              R"({"width": 2, "height": 2, "tilewidth": 32, "tileheight": 32, "nextlayerid": 5,
                  "layers": [{"id": 1, "name": "Upstairs", "type": "group", "visible": true, "opacity": 0.5,
                              "offsetx": 16, "offsety": -8,
                              "layers": [{"id": 2, "name": "WallLayer", "type": "tilelayer", "visible": true,
                                          "encoding": "base64", "compression": "zlib", "opacity": 0.5,
                                          "data": "eJxjZGBgYAJiZiBmZGBoAAAA1ACI"},
                                         {"id": 3, "name": "FloorLayer", "type": "tilelayer", "visible": true,
                                          "encoding": "base64", "compression": "zstd",
                                          "data": "KLUv/QRYgQAAAQAAAAIAAAADAAAAAQAAgGUIfT8="}]},
                             {"id": 4, "name": "Spawns", "type": "objectgroup", "visible": true, "objects": []}],
                  "tilesets": [{"firstgid": 1, "source": "../tilesets/HouseTiles.json"}]})");
    WriteText("assets/data/tilemaps/BadDataTiledChunks.json",
              R"({"width": 4, "height": 4, "infinite": true, "nextlayerid": 2,
                  "layers": [{"id": 1, "name": "WallLayer", "type": "tilelayer", "visible": true,
                              "startx": -2, "starty": 0, "width": 4, "height": 2, "encoding": "base64",
                              "compression": "zlib",
                              "chunks": [{"x": -2, "y": 0, "width": 2, "height": 2,
                                          "data": "eJxjZGBgYAJiZiBmZGBoAAAA1ACI"},
                                         {"x": 0, "y": 0, "width": 2, "height": 2,
                                          "data": "eJxjZGBgYAJiZiBmZGBoYETjAwAKGAEP"}]}],
                  "tilesets": [{"firstgid": 1, "source": "../tilesets/HouseTiles.json"}]})");
    const std::vector<std::string> maps = DataFiles("tilemaps");
    ASSERT_FALSE(maps.empty());
    std::vector<std::string> files;
    for (const std::string& name : maps)
        files.push_back("tilemaps/" + name);
    for (const std::string& name : DataFiles("tilesets"))
        files.push_back("tilesets/" + name);

    for (const std::string& file : files) {
        Sweep(file, [&] {
            TileMapSystem tiles;
            for (const std::string& map : maps) {
                TileMap* loaded = tiles.LoadTileMap(map);
                ASSERT_NE(loaded, nullptr);
                EXPECT_GE(loaded->width, 0);
                EXPECT_GE(loaded->height, 0);
                EXPECT_LE(loaded->layerCount, TileMap::MAX_LAYERS);
                // Every gid of every layer can be looked up.
                for (int l = 0; l < loaded->layerCount; ++l)
                    for (std::int32_t gid : loaded->layers[l].data)
                        loaded->FindTile(gid, nullptr, nullptr, nullptr);
                for (int row = -1; row <= tiles.GetGridHeight(); ++row)
                    tiles.IsWall(row, row);
                delete loaded;
            }
            // The wall test runs against a listed player on both sides of the map's origin.
            GameObjectManager objects;
            objects.Init();
            auto* player = new GameObject();
            player->SetName("Player");
            auto* transform = new Transform();
            player->SetComponent(transform);
            player->SetComponent(new Physics());
            objects.AddGameObject(player);
            tiles.SetPlayer(player);
            ASSERT_EQ(tiles.GetPlayer(), player);
            for (float at : {3.5f, -20.25f, 150.0f, 1.0e7f}) {
                transform->SetTranslation(at, at);
                tiles.Update(1.0f / 60.0f);
                transform->SetTranslation(at, -at);
                tiles.Update(1.0f / 60.0f);
            }
            tiles.SetPlayer(nullptr);
        });
    }
}

// A map of 4096 x 4096 cells whose 31 layers are all filled (zstd compressed, as Tiled may save it):
// refused in one line before any layer is decoded, and none of its broken versions aborts or holds
// more than four full layers.
TEST_F(BadDataTest, AHugeMapIsRefusedInOneLineAndItsBrokenVersionsBringNothingDown)
{
    constexpr std::size_t SIDE = 4096;
    std::vector<unsigned char> packed;
    std::size_t packedSize = 0;
    {
        const std::vector<std::uint32_t> gids(SIDE * SIDE, 1u);
        packed.resize(ZSTD_compressBound(gids.size() * 4));
        packedSize = ZSTD_compress(packed.data(), packed.size(), gids.data(), gids.size() * 4, 3);
        ASSERT_FALSE(ZSTD_isError(packedSize));
    }
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string data;
    for (std::size_t i = 0; i < packedSize; i += 3) {
        const std::uint32_t b = static_cast<std::uint32_t>(packed[i]) << 16 |
                                (i + 1 < packedSize ? static_cast<std::uint32_t>(packed[i + 1]) << 8 : 0u) |
                                (i + 2 < packedSize ? static_cast<std::uint32_t>(packed[i + 2]) : 0u);
        data += digits[b >> 18 & 63];
        data += digits[b >> 12 & 63];
        data += i + 1 < packedSize ? digits[b >> 6 & 63] : '=';
        data += i + 2 < packedSize ? digits[b & 63] : '=';
    }
    std::string text = R"({"width": 4096, "height": 4096, "tilewidth": 32, "tileheight": 32, "nextlayerid": 32, )"
                       R"("tilesets": [{"firstgid": 1, "source": "../tilesets/HouseTiles.json"}], "layers": [)";
    for (int layer = 1; layer <= 31; ++layer)
        text += std::string(layer > 1 ? ", " : "") + R"({"id": )" + std::to_string(layer) + R"(, "name": ")" +
                (layer == 1 ? std::string("WallLayer") : "Floor" + std::to_string(layer)) +
                R"(", "type": "tilelayer", "visible": true, "encoding": "base64", "compression": "zstd", "data": ")" +
                data + "\"}";
    WriteText("assets/data/tilemaps/BadDataHugeMap.json", text + "]}");

    {
        TileMapSystem tiles;
        if (!Verbose()) {
            ::testing::internal::GetCapturedStdout();
            ::testing::internal::CaptureStdout();
        }
        TileMap* loaded = tiles.LoadTileMap("BadDataHugeMap");
        EXPECT_EQ(loaded->layerCount, 0);
        EXPECT_EQ(loaded->width, 0);
        EXPECT_FALSE(tiles.IsWall(0, 0));
        delete loaded;
        if (!Verbose()) {
            const std::string out = ::testing::internal::GetCapturedStdout();
            EXPECT_EQ(out, "Map \"BadDataHugeMap\": its tile layers hold more than 67108864 cells together (layer "
                           "\"Floor5\" is the first past that, at 4096 x 4096 cells a layer); the map is not loaded: "
                           "make it smaller or use fewer layers\n");
            ::testing::internal::CaptureStdout();
        }
    }
    Sweep("tilemaps/BadDataHugeMap", [&] {
        TileMapSystem tiles;
        TileMap* loaded = tiles.LoadTileMap("BadDataHugeMap");
        ASSERT_NE(loaded, nullptr);
        std::size_t held = 0;
        for (int l = 0; l < loaded->layerCount; ++l)
            held += loaded->layers[l].data.size();
        EXPECT_LE(held, std::size_t{4} * SIDE * SIDE);
        delete loaded;
    });
    // Its first four layers alone are read whole, walls and all.
    const std::string all = "\"nextlayerid\": 32";
    text.replace(text.find(all), all.size(), "\"nextlayerid\": 5");
    WriteText("assets/data/tilemaps/BadDataHugeMap.json", text + "]}");
    {
        TileMapSystem tiles;
        TileMap* loaded = tiles.LoadTileMap("BadDataHugeMap");
        ASSERT_EQ(loaded->layerCount, 4);
        EXPECT_EQ(loaded->layers[3].data.size(), SIDE * SIDE);
        EXPECT_TRUE(tiles.IsWall(0, 0));
        EXPECT_TRUE(tiles.IsWall(4095, 4095));
        delete loaded;
    }
    std::filesystem::remove("assets/data/tilemaps/BadDataHugeMap.json");
}

// ---- main.json and the system settings -----------------------------------------------------------------

TEST_F(BadDataTest, MainFileAddsSystemsFromBrokenFile)
{
    Sweep("main", [&] {
        DeleteWorld();
        engine = new Engine();
        gEngine = engine;
        Stream main("main", StreamMode_Data, false);
        const int added = engine->AddSystems(main);
        EXPECT_GE(added, 0);
        EXPECT_EQ(static_cast<std::size_t>(added), engine->GetSystems().size());
        engine->Init();
        engine->Update(1.0f / 60.0f);
        Deliver();
        DeleteWorld();
    });
}

TEST_F(BadDataTest, SystemSettingsFromBrokenFiles)
{
    Sweep("CameraSystem", [&] {
        ISystem* system = CreateSystem("CameraSystem");
        ASSERT_NE(system, nullptr);
        system->Init();
        auto* camera = static_cast<CameraSystem*>(system);
        camera->SetZoomLevel(camera->zoomIndex);
        camera->SetZoomLevel(-1);
        camera->SetZoomLevel(1 << 30);
        system->Update(1.0f / 60.0f);
        // Following and shaking with the settings read.
        Transform target;
        target.SetTranslation(5.0f, -7.0f);
        camera->SetTarget(&target);
        camera->shakeTimer = 0.5f;
        for (int step = 0; step < 3; ++step)
            system->Update(0.1f);
        delete system;
    });
    // Small fog grids keep the sweep quick (the settings file does not size the grid).
    Sweep("LightingSystem", [&] {
        LightingSystem lighting;
        lighting.cols = 64;
        lighting.rows = 64;
        lighting.Init();
        EXPECT_EQ(static_cast<int>(lighting.grid.size()), lighting.rows);
        EXPECT_GT(lighting.gridSize, 0.0f);
        lighting.RevealCircle(1.0f, 1.0f, 4);
        // The radii the player reveals with come from the same file.
        lighting.RevealCircle(2.0f, 3.0f, lighting.playerWalkRadius);
        lighting.RevealCircle(-2.0f, 3.0f, lighting.playerPingRadius);
        lighting.RevealCircle(2.0f, -3.0f, lighting.playerCollisionRadius);
        lighting.WorldToCell(1.0e30f, -1.0e30f);
    });
    Sweep("LevelSystem", [&] {
        LightingSystem lighting;
        lighting.cols = 64;
        lighting.rows = 64;
        lighting.Init();
        LevelSystem levels;
        levels.Init();
        levels.ClearCurrentGrid();
        levels.CopyFromLighting(lighting);
        lighting.LoadLevelGrid();
    });
}

// ---- Sound: the audio settings and the banks -------------------------------------------------------------

TEST_F(BadDataTest, SoundSettingsAndBanksFromBrokenFiles)
{
    std::error_code ec;
    fs::copy(fs::path(DUSTRUN_SOURCE_DIR) / "assets/audio", "assets/audio", fs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    MakeWorld();
    auto drive = [&] {
        auto* audio = new StudioSystem();
        engine->AddSystem(audio);
        audio->Init();
        const auto descriptions = gEventDescriptions;
        for (const auto& [key, description] : descriptions) {
            engine->SendMessage(std::string("Event_Play"), key.c_str(), nullptr);
            AudioClip clip;
            clip.eventName = key;
            clip.paramName = "GameState";
            clip.paramValue = 9.0f;
            engine->SendMessage(std::string("Change_Event_Param"), clip, nullptr);
        }
        engine->SendMessage(std::string("Set_Bus_Mute"), "Music", nullptr);
        Deliver();
        audio->Update(1.0f / 60.0f);
        Deliver();
        engine->RemoveSystem("StudioSystem");
    };
    int runs = Sweep("audio/AudioSystemSettings", drive);
    // Every broken version of each bank; the sound-effect bank is cut to its first events to keep it short.
    for (const std::string name : {"Master", "Music", "SFX"}) {
        const fs::path path = fs::path("assets/audio/banks") / (name + ".bank");
        const std::string shipped = ReadText(path);
        rapidjson::Document bank;
        bank.Parse(shipped.c_str());
        ASSERT_TRUE(bank.IsObject() && bank.HasMember("events") && bank["events"].IsArray()) << name;
        while (bank["events"].Size() > 3)
            bank["events"].PopBack();
        const std::string original = ToJson(bank);
        for (const Variant& variant : MakeVariants(original)) {
            if (variant.present)
                WriteText(path, variant.text);
            else
                fs::remove(path, ec);
            drive();
            ++runs;
        }
        WriteText(path, shipped);
    }
    EXPECT_GT(runs, 100);
}

// ---- The stream readers on every shipped file --------------------------------------------------------------

// Calls every reader of the stream with the keys the file is meant to have.
void ReadEverything(Stream& stream, const rapidjson::Document& shape)
{
    if (!shape.IsObject())
        return;
    for (auto it = shape.MemberBegin(); it != shape.MemberEnd(); ++it) {
        const char* key = it->name.GetString();
        stream.HasMember(key);
        stream.AssertField(key);
        stream.ReadInt(key);
        stream.ReadFloat(key);
        stream.ReadString(key);
        stream.ReadBool(key);
        stream.ReadData(key);
        stream.ReadInt(key, 0u, "id");
        stream.ReadFloat(key, 1u, "x");
        stream.ReadString(key, 0u, "name", 0u);
        stream.ReadBool(key, 0u, "visible");
        if (stream.mode == StreamMode_Data) {
            stream.ReadIntArray(key);
            stream.ReadFloatArray(key);
            stream.ReadStringArray(key);
            stream.ReadVector4fArray(key);
        }
        if (it->value.IsObject()) {
            for (auto field = it->value.MemberBegin(); field != it->value.MemberEnd(); ++field) {
                const char* name = field->name.GetString();
                stream.HasMember(key, name);
                stream.AssertField(key, name);
                stream.ReadInt(key, name);
                stream.ReadFloat(key, name);
                stream.ReadString(key, name);
                stream.ReadBool(key, name);
                stream.ReadFloatAt(key, name, 0);
                stream.ReadFloatAt(key, name, 0xFFFFFFFFu);
            }
        }
    }
    stream.ReadFogColor(3);
    stream.ReadFogColor(99);
    stream.ReadTreasure(0, 0);
    stream.ReadTreasure(7, 99);
}

TEST_F(BadDataTest, StreamReadersOnBrokenFiles)
{
    struct Kind {
        const char* folder;
        int mode;
    };
    const Kind kinds[] = {{"archetypes", StreamMode_Data}, {"scenes", StreamMode_Data}, {"textures", StreamMode_Data},
                          {"meshes", StreamMode_Data},     {"fonts", StreamMode_Data},  {"tilemaps", StreamMode_TileMap},
                          {"tilesets", StreamMode_Tileset}, {"", StreamMode_Data}};
    int runs = 0;
    for (const Kind& kind : kinds) {
        std::vector<std::string> names = DataFiles(kind.folder);
        // Keep the sweep short: two files of a folder are plenty for the readers.
        if (names.size() > 2)
            names.resize(2);
        for (const std::string& name : names) {
            const std::string file = std::string(kind.folder).empty() ? name : std::string(kind.folder) + "/" + name;
            rapidjson::Document shape;
            const std::string original = ReadText(fs::path("assets/data") / (file + ".json"));
            shape.Parse(original.c_str(), original.size());
            // Tile maps and tilesets are opened by their bare name in their own folder.
            const std::string opened = kind.mode == StreamMode_Data ? file : name;
            runs += Sweep(file, [&] {
                Stream stream(opened.c_str(), kind.mode, false);
                try {
                    ReadEverything(stream, shape);
                } catch (const std::out_of_range&) {
                    // Tileset and tile-map lookups report an absent entry this way, by design.
                }
            });
        }
    }
    EXPECT_GT(runs, 100);
}

TEST_F(BadDataTest, StaticScriptVariablesFromBrokenFiles)
{
    // The per-run script variables live in the save directory: a JSON object is emptied, anything
    // else is left byte for byte.
    const fs::path path = fs::path(GetSaveDirectory()) / "scripts/variables/StaticVars.json";
    for (const Variant& variant : MakeVariants("{\"Lives\": 2, \"Names\": [\"a\"], \"On\": {\"x\": true}}")) {
        std::error_code ec;
        fs::remove(path, ec);
        if (variant.present) {
            fs::create_directories(path.parent_path());
            WriteText(path, variant.text);
        }
        const bool wasObject = Stream("scripts/variables/StaticVars", StreamMode_SaveDir, false).data.IsObject();
        {
            LuaAPI_System lua;
            lua.Init();
        }
        const bool cleared = !variant.present || wasObject;
        EXPECT_EQ(ReadText(path), cleared ? "{}" : variant.text) << variant.label;
    }
}

// ---- Treasure ------------------------------------------------------------------------------------------

TEST_F(BadDataTest, TreasureFilesAndEndScreenObjectsFromBrokenFiles)
{
    auto drive = [&] {
        MakeWorld();
        auto* treasure = new TreasureManager();
        engine->AddSystem(treasure);
        treasure->NumRooms = 3;
        for (int room = 1; room <= 3; ++room)
            factory->CreateGameObject("archetypes/Room" + std::to_string(room) + "Boundary", true);
        treasure->LoadTreasureData("LivingRoomTreasure");
        treasure->clock = 61.0f;
        treasure->CreateTreasureDisplay();
        for (int i = 0; i < 3; ++i)
            engine->Update(1.0f / 60.0f);
        DeleteWorld();
    };
    for (const char* file : {"LivingRoomTreasure", "EndScreenDisplay", "EndScreenTimer", "CollectableCommon",
                             "archetypes/Collectable"})
        Sweep(file, drive);
}

TEST_F(BadDataTest, DanceTimingsFromBrokenFile)
{
    Sweep("DanceTimings", [&] {
        MakeWorld();
        auto* players = new PlayerManager();
        engine->AddSystem(players);
        players->Init();
        Message start("StartDance", players, nullptr, MessageType::None);
        players->HandleMessage(&start);
        for (int i = 0; i < 200; ++i)
            players->Update(1.0f / 30.0f);
        DeleteWorld();
    });
}

TEST_F(BadDataTest, ScriptedObjectsAndObjectVariablesFromBrokenFiles)
{
    MakeWorld();
    LuaAPI_System lua;
    lua.Init();
    // A scripted object whose file is broken: its script runs (or is missing) and nothing crashes.
    Sweep("archetypes/TitleStar", [&] {
        factory->ClearArchetypes();
        factory->CreateGameObject("archetypes/TitleStar", true);
        for (int step = 0; step < 3; ++step)
            manager->Update(1.0f / 60.0f);
        manager->ClearGameObjects();
        Deliver();
    });
    // The options screen's file applied at start-up: the master volume the scripts keep stays in 0..1.
    Sweep("menus/Options", [&] {
        ApplySavedOptions();
        Deliver();
        const float master = lua.state.Globals().Get<float>("MasterVolume", 0.5f);
        EXPECT_TRUE(master >= 0.0f && master <= 1.0f) << master;
    });
    // The master slider's entry without "StartingPercentage" starts the master volume where a slider
    // starts of its own; a saved value is taken as it is.
    {
        const fs::path options = "assets/data/menus/Options.json";
        const std::string shipped = ReadText(options);
        struct Case {
            const char* label;
            bool saved;
            float expected;
        };
        for (const Case& c : {Case{"no StartingPercentage", false, Slider().value}, Case{"0.25 saved", true, 0.25f}}) {
            rapidjson::Document document;
            document.Parse(shipped.c_str(), shipped.size());
            ASSERT_TRUE(document.IsObject());
            int found = 0;
            for (rapidjson::Value& entry : document["MenuObjects"].GetArray()) {
                if (!entry.IsObject() || !entry.HasMember("Name") || entry["Name"] != "MasterSlider")
                    continue;
                ++found;
                entry.RemoveMember("StartingPercentage");
                if (c.saved)
                    entry.AddMember("StartingPercentage", 0.25, document.GetAllocator());
            }
            ASSERT_EQ(found, 1) << c.label;
            WriteText(options, ToJson(document));
            lua.state.Globals().Set("MasterVolume", 0.875f);
            ApplySavedOptions();
            EXPECT_FLOAT_EQ(lua.state.Globals().Get<float>("MasterVolume", -1.0f), c.expected) << c.label;
        }
        WriteText(options, shipped);
    }
    // An object's variables file: a JSON object takes the new value, anything else is left as it was.
    const fs::path path = fs::path(GetSaveDirectory()) / "scripts/variables/TitleStar_.json";
    for (const Variant& variant : MakeVariants("{\"X\": 2, \"Names\": [\"a\"], \"S\": \"text\"}")) {
        std::error_code ec;
        fs::remove(path, ec);
        if (variant.present) {
            fs::create_directories(path.parent_path());
            WriteText(path, variant.text);
        }
        const bool wasObject = Stream("scripts/variables/TitleStar_", StreamMode_SaveDir, false).data.IsObject();
        auto* object = new GameObject();
        object->SetName("TitleStar");
        object->SetId(4000000000u);
        manager->AddGameObject(object);
        LuaAPI_System::RunString("local o = GameObjectManagerGetObject('TitleStar')\n"
                                 "local x = o:GetVarInt('X') + o:GetVarFloat('S') + o:GetVarInt('Names')\n"
                                 "o:SetVarInt('X', x + 5) o:SetVarString('S', o:GetVarString('X'))");
        manager->ClearGameObjects();
        if (variant.present && !wasObject)
            EXPECT_EQ(ReadText(path), variant.text) << variant.label;
        else
            EXPECT_TRUE(Stream("scripts/variables/TitleStar_", StreamMode_SaveDir, false).data.IsObject())
                << variant.label;
    }
}

} // namespace
