// The graphics loaders against broken copies of the game's own data files, with a real window:
// textures (and the sprite-sheet animations that step through them), meshes, fonts, archetypes whose
// sprites name meshes, textures and fonts, the camera and fog settings, and the tile map drawn through
// its tilesets. Every variant is loaded, updated and drawn; nothing may crash, trip a sanitizer or
// throw. The work happens in a scratch copy of assets/; set DUSTRUN_BAD_DATA_VERBOSE=1 to follow it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "app/GameLoop.h"
#include "core/CreditsScroll.h"
#include "core/GameObjectManager.h"
#include "core/Message.h"
#include "core/MessageSystem.h"
#include "core/ObjectFactory.h"
#include "core/Stream.h"
#include "core/Transform.h"
#include "core/Vector4f.h"
#include "graphics/CameraSystem.h"
#include "graphics/Font.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/LightingSystem.h"
#include "graphics/Mesh.h"
#include "graphics/Texture.h"
#include "graphics/InputManager.h"
#include "graphics/Window.h"
#include "script/LuaAPI_System.h"
#include "ui/MenuSystem.h"
#include "world/TileMapSystem.h"

#include "bad_data_variants.h"

namespace {

using namespace baddata;

#ifndef DUSTRUN_SOURCE_DIR
#define DUSTRUN_SOURCE_DIR "."
#endif

class BadDataGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            return;
        previous_ = fs::current_path();
        root_ = fs::temp_directory_path() / ("dustrun_bad_data_gl_" + std::to_string(::getpid()));
        std::error_code ec;
        fs::remove_all(root_, ec);
        fs::create_directories(root_, ec);
        fs::copy(fs::path(DUSTRUN_SOURCE_DIR) / "assets", root_ / "assets", fs::copy_options::recursive, ec);
        if (ec)
            return;
        fs::current_path(root_);
        window_ = new Window();
        if (!window_->IsReady()) {
            delete window_;
            window_ = nullptr;
        }
    }

    static void TearDownTestSuite()
    {
        delete window_;
        window_ = nullptr;
        std::error_code ec;
        if (!previous_.empty())
            fs::current_path(previous_, ec);
        if (!root_.empty())
            fs::remove_all(root_, ec);
    }

    void SetUp() override
    {
        if (!window_)
            GTEST_SKIP() << "no display or no OpenGL 3.3";
        if (!Verbose()) {
            ::testing::internal::CaptureStdout();
            capturing_ = true;
        }
    }

    void TearDown() override
    {
        if (window_) {
            Frame();
            FreshLibrary();
        }
        if (capturing_)
            ::testing::internal::GetCapturedStdout();
        capturing_ = false;
    }

    // An empty graphics library, so the next request reads its file again.
    static void FreshLibrary()
    {
        for (auto& layer : window_->layers)
            layer.clear();
        for (auto& layer : window_->textLayers)
            layer.clear();
        delete window_->graphicsLibrary;
        window_->graphicsLibrary = new GraphicsLibrary();
        GraphicsLibraryInstance = window_->graphicsLibrary;
    }

    static void Frame() { window_->Render(); }

    static Window* window_;
    static fs::path previous_;
    static fs::path root_;
    bool capturing_ = false;
};

Window* BadDataGlTest::window_ = nullptr;
fs::path BadDataGlTest::previous_;
fs::path BadDataGlTest::root_;

// An object file showing the texture on a textured quad and playing it as an animation.
void WriteProbe(const std::string& texture)
{
    WriteText("assets/data/BadDataProbe.json",
              R"({"Name": "Probe", "Transform": {"ScaleX": 2.0, "ScaleY": 2.0},
                  "Sprite": {"Mesh": "textured_mesh", "Texture": ")" + texture + R"(", "DrawMode": "Faces"},
                  "Animation": {"StartingAnimation": ")" + texture + R"(", "StartingAnimationIsLooping": true}})");
}

TEST_F(BadDataGlTest, TexturesAndTheirAnimationsFromBrokenFiles)
{
    // One texture file of each layout: the others break the same way. No shipped texture is split
    // over several images, so one such sheet is added: three images, the last with two frames.
    std::vector<std::string> textures = DistinctDataFiles("textures");
    ASSERT_GE(textures.size(), 2u);
    WriteText("assets/data/textures/BadDataSheet.json",
              R"({"FileType": "png", "numFrames": 8, "numRows": 2, "numCols": 4, "frameTime": 0.1,
                  "bottomToTop": true, "numImages": 3, "numFramesLastImage": 2})");
    for (int image = 1; image <= 3; ++image) {
        std::error_code ec;
        fs::copy_file("assets/textures/PemmetMovingSpritesheet.png",
                      "assets/textures/BadDataSheet" + std::to_string(image) + ".png",
                      fs::copy_options::overwrite_existing, ec);
    }
    textures.push_back("BadDataSheet");
    int runs = 0;
    for (const std::string& name : textures) {
        WriteProbe(name);
        runs += Sweep("textures/" + name, [&] {
            FreshLibrary();
            Stream probe("BadDataProbe", StreamMode_Data, false);
            GameObject object(probe);
            object.Init();
            for (int step = 0; step < 12; ++step) {
                object.Update(0.25f);
                object.Draw();
            }
            Frame();
            Texture* whole = GraphicsLibrary::GetTexture(name, -1);
            ASSERT_NE(whole, nullptr);
            EXPECT_GE(whole->numRows, 1);
            EXPECT_GE(whole->numCols, 1);
            GraphicsLibrary::GetTexture(name, 1);
            GraphicsLibrary::GetTexture(name, 2);
        });
    }
    EXPECT_GT(runs, 50);
}

TEST_F(BadDataGlTest, MeshesFromBrokenFiles)
{
    for (const std::string& name : DataFiles("meshes")) {
        Sweep("meshes/" + name, [&] {
            FreshLibrary();
            Mesh* mesh = GraphicsLibrary::GetMesh(name);
            if (!mesh)
                return;
            EXPECT_EQ(GraphicsLibrary::GetMesh(name), mesh);
            Transform transform;
            transform.SetScale(3.0f, 3.0f);
            const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
            Texture* texture = GraphicsLibrary::GetTexture("coin", -1);
            DrawMesh(DRAW_LAYER_UI, false, mesh, texture, 0.0f, 0.0f, &transform, white);
            DrawMesh(DRAW_LAYER_BACKGROUND, true, mesh, texture, -1.0f, -1.0f, &transform, white);
            DrawMesh(DRAW_LAYER_PROPS, false, mesh, nullptr, 99.0f, -7.0f, &transform, white);
            Frame();
        });
    }
}

TEST_F(BadDataGlTest, FontsFromBrokenFiles)
{
    for (const std::string& name : DataFiles("fonts")) {
        Sweep("fonts/" + name, [&] {
            FreshLibrary();
            Font* font = GraphicsLibrary::GetFont(name);
            TextItem item;
            item.text = "Pemmet 123 \x7f\x01";
            item.font = font;
            window_->QueueText(DRAW_LAYER_UI, &item);
            MeasureText(font, item.text, 1.0f);
            Frame();
        });
    }
}

TEST_F(BadDataGlTest, ArchetypesWithGraphicsFromBrokenFiles)
{
    Engine* engine = new Engine();
    gEngine = engine;
    engine->AddSystem(std::string("MessageSystem"));
    engine->AddSystem(new ObjectFactory());
    auto* factory = new GameObjectFactory();
    engine->AddSystem(factory);
    auto* manager = new GameObjectManager();
    engine->AddSystem(manager);
    engine->Init();

    std::vector<std::string> files;
    // One archetype of each layout; the unit sweep covers them all without graphics.
    for (const std::string& name : DistinctDataFiles("archetypes"))
        files.push_back("archetypes/" + name);
    for (const std::string& file : files) {
        Sweep(file, [&] {
            factory->ClearArchetypes();
            GameObject* object = factory->CreateGameObject(file, true);
            ASSERT_NE(object, nullptr);
            for (int step = 0; step < 6; ++step)
                manager->Update(0.2f);
            manager->Draw();
            Frame();
            manager->ClearGameObjects();
            for (int i = 0; i < 3 && gMessageSystem; ++i)
                gMessageSystem->Update(0.0f);
        });
    }
    delete engine;
}

TEST_F(BadDataGlTest, CameraAndFogSettingsFromBrokenFiles)
{
    ASSERT_FALSE(CameraList.empty());
    const Camera startCamera = CameraList[0];
    Sweep("CameraSystem", [&] {
        ISystem* system = CreateSystem("CameraSystem");
        ASSERT_NE(system, nullptr);
        auto* camera = static_cast<CameraSystem*>(system);
        system->Init();
        Transform target;
        target.SetTranslation(3.0f, 4.0f);
        camera->SetTarget(&target);
        camera->shakeTimer = 0.5f;
        for (int step = 0; step < 3; ++step)
            system->Update(0.1f);
        WorldToScreen(Vector4f(1.0f, 1.0f, 0.0f, 1.0f));
        ScreenToWorld(Vector4f(10.0f, 10.0f, 0.0f, 1.0f));
        Frame();
        delete system;
        if (!CameraList.empty())
            CameraList[0] = startCamera;
    });
    Sweep("LightingSystem", [&] {
        LightingSystem lighting;
        lighting.cols = 64;
        lighting.rows = 64;
        lighting.Init();
        lighting.enabled = 1;
        lighting.RevealCircle(0.5f, 0.5f, 3);
        Frame();
    });
}

TEST_F(BadDataGlTest, TileMapDrawnFromBrokenFiles)
{
    // Drawing the full shipped map is slow on a software renderer: the broken tilesets are drawn
    // through a small map of every tile they hold.
    WriteText("assets/data/tilemaps/BadDataSmallMap.json",
              R"({"width": 8, "height": 4, "nextlayerid": 2, "numOfTileSets": 2,
                  "layers": [{"id": 1, "name": "FloorLayer", "type": "tilelayer", "visible": true, "data":
                      [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                       101, 102, 103, 104, 105, 106, 107, 108, 0, 17, 99, 100, 109, 199, 200, 201]}],
                  "tilesets": [{"firstgid": 1, "source": "../tilesets/HouseTiles.json"},
                               {"firstgid": 101, "source": "../tilesets/HouseDecor.json"}]})");
    // The same tiles as the Tiled editor saves them: no tileset count, first gids numbered straight
    // on, a path of another depth, an embedded tileset and an entry with neither a file nor tiles.
    WriteText("assets/data/tilemaps/BadDataTiledMap.json",
              R"({"width": 8, "height": 4, "nextlayerid": 2,
                  "layers": [{"id": 1, "name": "FloorLayer", "type": "tilelayer", "visible": true, "data":
                      [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                       17, 18, 19, 20, 21, 22, 23, 24, 25, 32, 33, 40, 0, 41, 100, 101]}],
                  "tilesets": [{"firstgid": 1, "source": "../tilesets/HouseTiles.json"},
                               {"firstgid": 17, "source": "../../data/tilesets/HouseDecor.json"},
                               {"firstgid": 25, "columns": 8, "tilecount": 8, "name": "Inline",
                                "image": "../../textures/HouseDecor.png"},
                               {"firstgid": 33}]})");
    struct Case {
        std::string file;
        std::string map;
        bool draw;
    };
    std::vector<Case> cases;
    for (const std::string& name : DataFiles("tilesets"))
        cases.push_back({"tilesets/" + name, "BadDataSmallMap", true});
    ASSERT_FALSE(cases.empty());
    // The small map broken in every way, drawn; the shipped map loaded and queued with one variant
    // in ten (the unit sweep loads every one).
    cases.push_back({"tilemaps/BadDataSmallMap", "BadDataSmallMap", true});
    cases.push_back({"tilemaps/BadDataTiledMap", "BadDataTiledMap", true});
    for (const std::string& name : DataFiles("tilemaps"))
        if (name != "BadDataSmallMap" && name != "BadDataTiledMap")
            cases.push_back({"tilemaps/" + name, name, false});

    for (const Case& c : cases) {
        int variant = 0;
        // The library keeps the mesh and the textures by name; only the map and tileset files change.
        FreshLibrary();
        Sweep(c.file, [&] {
            if (!c.draw && variant++ % 10 != 0)
                return;
            TileMapSystem tiles;
            Message load("LoadTileMap", &tiles, nullptr, MessageType::String);
            load.text = c.map;
            tiles.HandleMessage(&load);
            Message show("DisplayTileMap", &tiles, nullptr, MessageType::String);
            show.text = c.map;
            tiles.HandleMessage(&show);
            tiles.Draw();
            if (c.draw) {
                Frame();
            } else {
                for (auto& layer : window_->layers)
                    layer.clear();
            }
        });
    }
}

TEST_F(BadDataGlTest, MenusAndWidgetsFromBrokenFiles)
{
    Engine* engine = new Engine();
    gEngine = engine;
    auto keys = std::make_shared<ScriptedKeySource>();
    engine->AddSystem(std::string("MessageSystem"));
    auto* input = new InputManager(keys);
    engine->AddSystem(input);
    engine->AddSystem(new LuaAPI_System());
    engine->AddSystem(new ObjectFactory());
    auto* factory = new GameObjectFactory();
    engine->AddSystem(factory);
    auto* manager = new GameObjectManager();
    engine->AddSystem(manager);
    auto* menus = new MenuSystem();
    engine->AddSystem(menus);
    engine->Init();

    Sweep("CreditsScroll", [&] {
        menus->Init();
        MenuSystem::LoadMenu("CreditsMenu");
        for (int step = 0; step < 3; ++step)
            AdvanceCredits(CreditsScrollState, 0.5f);
        MenuSystem::DeleteFromMenu("CreditsMenu");
    });
    // Every menu, its widgets clicked all over: each frame the cursor visits the next entry.
    for (const std::string& name : DistinctDataFiles("menus")) {
        Sweep("menus/" + name, [&] {
            factory->ClearArchetypes();
            MenuSystem::LoadMenu(name);
            MenuSystem::LoadMenu(name);
            for (int step = 0; step < 12; ++step) {
                GameObject* target = manager->GetObjectAt(step % std::max(1, manager->GetObjectCount()));
                if (target && target->GetTransform())
                    keys->SetCursor((target->GetTransform()->TranslationX * 1080.0 / 1920.0 + 1.0) * 960.0,
                                    (1.0 - target->GetTransform()->TranslationY) * 540.0);
                keys->SetMouseButton(0, step % 2 == 1);
                input->Update(0.0f);
                manager->Update(0.2f);
                if (gMessageSystem)
                    gMessageSystem->Update(0.0f);
            }
            manager->Draw();
            Frame();
            MenuSystem::DeleteFromMenu(name);
            manager->Update(0.0f);
            manager->ClearGameObjects();
            for (int i = 0; i < 3 && gMessageSystem; ++i)
                gMessageSystem->Update(0.0f);
        });
    }
    delete engine;
    CreditsScrollState = CreditsScroll{};
}

} // namespace
