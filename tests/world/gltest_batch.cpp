// Batched drawing against one draw per item under Xvfb: the tile layers (vertex buffers per region
// and tileset) and the fog stamps (one buffer of rectangles) are rendered both ways, with other
// commands and stencil stamps around them, and the frames read back must agree within 1 per channel.
#include <gtest/gtest.h>

#include <glad/gl.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "GlFrame.h"
#include "core/Matrix4f.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/LightingSystem.h"
#include "graphics/Window.h"
#include "world/LevelSystem.h"
#include "world/TileMapSystem.h"
#include "test_tilemap_fixture.h"

using namespace testsupport;
using namespace worldtest;

namespace {

std::vector<unsigned char> frame;

void FogThenRead()
{
    LightingSystemDrawFog();
    frame.assign(static_cast<std::size_t>(WindowWidth) * static_cast<std::size_t>(WindowHeight) * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WindowWidth, WindowHeight, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
}

void Place(DrawCommand& command, const Matrix4f& model)
{
    std::copy(model.m, model.m + 16, command.model);
}

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        TraceReset();
        scratch = new Scratch("batch");
        for (const char* path : {"assets/data/shaders", "assets/data/meshes", "assets/data/textures",
                                 "assets/data/tilesets", "assets/data/tilemaps", "assets/textures"})
            scratch->CopyFromRepo(path);
        window = OpenWindow();
        ASSERT_NE(window, nullptr);
        WindowDrawFogHook = FogThenRead;
        CaptureConsole([&] {
            lighting = new LightingSystem();
            levels = new LevelSystem();
            lighting->Init();
            levels->Init();
            tiles = new TileMapSystem();
        });
        lighting->enabled = 0;
        plain = GraphicsLibrary::GetMesh("empty_mesh");
        ASSERT_NE(plain, nullptr);
    }
    void TearDown() override
    {
        WindowDrawFogHook = LightingSystemDrawFog;
        CaptureConsole([&] {
            delete tiles;
            delete levels;
            delete lighting;
        });
        delete window;
        delete scratch;
    }

    void Show(const std::string& name)
    {
        Message* load = TextMessage("LoadTileMap", name, tiles);
        Message* show = TextMessage("DisplayTileMap", name, tiles);
        CaptureConsole([&] {
            tiles->HandleMessage(load);
            tiles->HandleMessage(show);
        });
        delete load;
        delete show;
        ASSERT_NE(tiles->GetDisplayedMap(), nullptr);
    }

    void Aim(float x, float y, float zoom)
    {
        Camera& camera = CameraList[0];
        camera.x = camera.matrix[12] = x;
        camera.y = camera.matrix[13] = y;
        camera.zoom = zoom;
    }

    // One frame: a stamp drawn through the fog on the background layer before the tiles, the tiles, a
    // see-through quad on the player layer and an interface stamp, then the fog.
    std::vector<unsigned char> Render(bool batched)
    {
        tiles->batched = batched;
        lighting->batched = batched;
        ClearToBlack();
        DrawCommand marker;
        marker.name = "Marker";
        marker.mesh = plain;
        marker.drawThroughFog = 1;
        marker.color[2] = 0.0f;
        Place(marker, Matrix4f::Translation(CameraList[0].x - 3.0f, CameraList[0].y) * Matrix4f::Scale(1.3f, 0.7f));
        window->QueueDrawCommand(DRAW_LAYER_BACKGROUND, marker);
        tiles->Draw();
        DrawCommand veil = marker;
        veil.drawThroughFog = 0;
        veil.color[0] = 0.0f;
        veil.color[3] = 0.4f;
        Place(veil, Matrix4f::Translation(CameraList[0].x + 2.0f, CameraList[0].y + 1.0f) * Matrix4f::Scale(2.5f, 1.5f));
        window->QueueDrawCommand(DRAW_LAYER_PLAYER, veil);
        DrawCommand badge = marker;
        badge.ui = 1;
        badge.drawThroughFog = 0;
        Place(badge, Matrix4f::Translation(0.6f, -0.6f) * Matrix4f::Scale(0.1f, 0.1f));
        window->QueueDrawCommand(DRAW_LAYER_UI, badge);
        window->Render();
        return frame;
    }

    // Both ways agree within 1 per channel, and the picture shows more than the given colours.
    void ExpectSamePicture(const std::string& what, std::vector<unsigned char>* shown = nullptr, std::size_t colourCount = 3)
    {
        const std::vector<unsigned char> single = Render(false);
        const std::vector<unsigned char> batched = Render(true);
        ASSERT_EQ(single.size(), batched.size());
        int differing = 0;
        int largest = 0;
        std::set<int> colours;
        for (std::size_t i = 0; i < single.size(); i += 4) {
            int worst = 0;
            for (std::size_t c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(single[i + c] - batched[i + c]));
            differing += worst > 1 ? 1 : 0;
            largest = std::max(largest, worst);
            if (i % 64 == 0)
                colours.insert(single[i] << 16 | single[i + 1] << 8 | single[i + 2]);
        }
        EXPECT_EQ(differing, 0) << what << ": largest difference " << largest;
        EXPECT_GT(colours.size(), colourCount) << what;
        if (shown)
            *shown = batched;
    }

    // Reveals the cells the rule picks, in both grids.
    void Reveal(const std::function<bool(int, int)>& rule)
    {
        for (int j = 0; j < lighting->rows; ++j)
            for (int i = 0; i < lighting->cols; ++i)
                if (rule(i, j))
                    lighting->SetCell(i, j, 1);
    }

    Scratch* scratch = nullptr;
    Window* window = nullptr;
    LightingSystem* lighting = nullptr;
    LevelSystem* levels = nullptr;
    TileMapSystem* tiles = nullptr;
    Mesh* plain = nullptr;
};

} // namespace

TEST_F(BatchTest, TheShippedMapMatchesUnderEveryCameraWithAndWithoutFog)
{
    Show("LivingRoom");
    struct Placement {
        float x, y, zoom;
    };
    const Placement placements[] = {{5.0f, 13.0f, 45.0f}, {17.3f, 9.71f, 30.0f}, {40.55f, 22.2f, 60.0f},
                                    {-3.0f, 31.0f, 45.0f}};
    // Fog cells of 0.125 over the whole map, partly revealed.
    lighting->ResizeGrid(400, 260);
    Reveal([](int i, int j) { return (i * 7 + j * 13) % 11 < 4 || (i / 10 + j / 10) % 2 == 0; });
    for (const Placement& p : placements) {
        Aim(p.x, p.y, p.zoom);
        const std::string where = "camera (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
        lighting->enabled = 0;
        ExpectSamePicture(where + " without fog", nullptr, 8);
        lighting->enabled = 1;
        ExpectSamePicture(where + " with fog", nullptr, 8);
    }
    // Half way through a fade, opaque tiles blend again.
    SetGlobalAlpha(0.6f);
    ExpectSamePicture("faded", nullptr, 8);
    SetGlobalAlpha(1.0f);
}

TEST_F(BatchTest, MixedTilesetsOddCellsAndChangedCellsMatch)
{
    // Tiles of two tilesets side by side in one layer, gids that draw nothing, a hidden layer, a layer
    // too short to draw, a tileset wider than its image (cells outside the sheet draw the whole image)
    // and one whose image is missing.
    scratch->Data("tilesets/Wide.json", TilesetFile("HouseTiles", 16, 32));
    scratch->Data("tilesets/Lost.json", TilesetFile("NoSuchImage", 4, 4));
    std::vector<int> floor, decor, hidden(48, 9), wide;
    for (int k = 0; k < 48; ++k) {
        floor.push_back(k % 3 == 0 ? 101 + k % 8 : 1 + k % 16);
        decor.push_back(k % 5 == 0 ? 102 : (k % 7 == 0 ? 100 : (k % 11 == 0 ? 777 : 0)));
        wide.push_back(k % 4 == 0 ? 201 + k % 32 : (k % 9 == 0 ? 302 : 0));
    }
    scratch->Data("tilemaps/Mixed.json",
                  worldtest::Map(8, 6, 6,
                                 {Layer(1, "FloorLayer", floor), Layer(2, "AbovePlayerLayer01", decor),
                                  Layer(3, "Hidden", hidden, false), Layer(4, "Short", {1, 2, 3}),
                                  Layer(5, "AbovePlayerLayer00", wide)},
                                 "[{\"firstgid\": 1, \"source\": \"../tilesets/HouseTiles.json\"},"
                                 " {\"firstgid\": 101, \"source\": \"../tilesets/HouseDecor.json\"},"
                                 " {\"firstgid\": 201, \"source\": \"../tilesets/Wide.json\"},"
                                 " {\"firstgid\": 301, \"source\": \"../tilesets/Lost.json\"}]",
                                 4));
    Show("Mixed");
    Aim(3.4f, 2.6f, 45.0f);
    std::vector<unsigned char> before;
    CaptureConsole([&] { ExpectSamePicture("mixed map", &before, 8); });

    // Cells changed after the first draw: the buffers follow.
    TileMap* map = tiles->GetDisplayedMap();
    for (int k = 0; k < 48; k += 2)
        map->layers[0].data[static_cast<std::size_t>(k)] = 9;
    std::vector<unsigned char> after;
    CaptureConsole([&] { ExpectSamePicture("changed cells", &after, 8); });
    EXPECT_NE(before, after);

    // Tiles twice the cells' size among the cells' own, reaching over their neighbours: the same
    // picture, cell after cell, both ways.
    scratch->Data("tilesets/Double.json",
                  R"({"columns": 4, "tilecount": 4, "name": "Double", "image": "../../textures/HouseTiles.png",)"
                  R"( "tilewidth": 64, "tileheight": 64, "imagewidth": 256, "imageheight": 64})");
    std::vector<int> overhang;
    for (int k = 0; k < 48; ++k)
        overhang.push_back(k % 3 == 0 ? 401 + k % 4 : 1 + k % 16);
    std::string text = worldtest::Map(8, 6, 2, {Layer(1, "FloorLayer", overhang)},
                                      "[{\"firstgid\": 1, \"source\": \"../tilesets/HouseTiles.json\"},"
                                      " {\"firstgid\": 401, \"source\": \"../tilesets/Double.json\"}]",
                                      2);
    text.insert(1, "\"tilewidth\": 32, \"tileheight\": 32, ");
    scratch->Data("tilemaps/Overhang.json", text);
    Show("Overhang");
    CaptureConsole([&] { ExpectSamePicture("overhanging tiles", nullptr, 8); });
}

TEST_F(BatchTest, RegionsAtTheMapsEdgesAndCornersMatchAndOnlyChangedOnesAreRebuilt)
{
    // 70 x 45 cells: regions of a full, a part and a narrow width across, a full and a part height
    // down.
    const int width = 70, height = 45;
    std::vector<int> floor, decor;
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            floor.push_back(1 + (c * 7 + r * 3) % 16);
            decor.push_back((c + r) % 5 == 0 ? 101 + (c * r) % 8 : 0);
        }
    scratch->Data("tilemaps/Wide.json",
                  worldtest::Map(width, height, 3, {Layer(1, "FloorLayer", floor), Layer(2, "AbovePlayerLayer00", decor)},
                                 "[{\"firstgid\": 1, \"source\": \"../tilesets/HouseTiles.json\"},"
                                 " {\"firstgid\": 101, \"source\": \"../tilesets/HouseDecor.json\"}]",
                                 2));
    Show("Wide");
    TileMap* map = tiles->GetDisplayedMap();
    struct Placement {
        float x, y, zoom;
    };
    // The four corners, the seams between regions (in the middle, and a few pixels inside the right
    // and the top edge), a far zoom over everything and a view off the map.
    const Placement placements[] = {{0.0f, 44.0f, 45.0f},  {69.0f, 44.0f, 45.0f}, {0.0f, 0.0f, 60.0f},
                                    {69.5f, -0.5f, 45.0f}, {31.5f, 12.5f, 45.0f}, {16.0f, 20.0f, 45.0f},
                                    {50.0f, 3.8f, 45.0f},  {64.0f, 13.0f, 30.0f}, {35.0f, 22.0f, -45.0f},
                                    {-40.0f, 22.0f, 45.0f}};
    for (const Placement& p : placements) {
        Aim(p.x, p.y, p.zoom);
        ExpectSamePicture("camera (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")", nullptr,
                          p.x < -20.0f ? 2 : 8);
    }
    const int built = map->RegionsBuilt();
    EXPECT_EQ(built, 2 * 3 * 2); // two layers of 3 x 2 regions

    // Over one corner only the regions meeting the view are queued.
    Aim(0.0f, 44.0f, 45.0f);
    for (auto& layer : window->layers)
        layer.clear();
    tiles->Draw();
    EXPECT_EQ(window->layers[DRAW_LAYER_BACKGROUND].size(), 1u);
    for (auto& layer : window->layers)
        layer.clear();

    // One changed cell rebuilds its region alone, and both pictures follow it.
    map->layers[0].data[static_cast<std::size_t>(44 * width + 69)] = 101;
    Aim(69.0f, 0.0f, 45.0f);
    ExpectSamePicture("changed corner cell");
    EXPECT_EQ(map->RegionsBuilt(), built + 1);
}

// A map of 1024 x 1024 cells seen from far away, then from elsewhere: the regions in view are built,
// and those out of view are let go once more than a few hundred are held.
TEST_F(BatchTest, RegionsOutOfSightAreLetGo)
{
    const int side = 1024;
    std::vector<int> floor(static_cast<std::size_t>(side * side));
    for (std::size_t k = 0; k < floor.size(); ++k)
        floor[k] = 1 + static_cast<int>(k % 16);
    scratch->Data("tilemaps/Vast.json",
                  worldtest::Map(side, side, 2, {Layer(1, "FloorLayer", floor)},
                                 "[{\"firstgid\": 1, \"source\": \"../tilesets/HouseTiles.json\"}]", 1));
    Show("Vast");
    TileMap* map = tiles->GetDisplayedMap();
    auto queued = [&] {
        for (auto& layer : window->layers)
            layer.clear();
        tiles->Draw();
        const std::size_t count = window->layers[DRAW_LAYER_BACKGROUND].size();
        for (auto& layer : window->layers)
            layer.clear();
        return static_cast<int>(count);
    };
    // 2.5 pixels a cell: 768 x 432 cells, about 25 x 15 regions, in view.
    Aim(400.0f, 300.0f, -70.0f);
    const int first = queued();
    EXPECT_GT(first, 256);
    EXPECT_EQ(map->RegionsHeld(), first);
    EXPECT_EQ(map->RegionsBuilt(), first);
    // Far from there: only what is now in view stays.
    Aim(400.0f, 800.0f, -70.0f);
    const int second = queued();
    EXPECT_GT(second, 256);
    EXPECT_EQ(map->RegionsHeld(), second);
    EXPECT_EQ(map->RegionsBuilt(), first + second);
    // Close up, the regions in view are drawn from what is held.
    Aim(400.0f, 800.0f, 45.0f);
    EXPECT_GT(queued(), 0);
    EXPECT_EQ(map->RegionsBuilt(), first + second);
    EXPECT_LE(map->RegionsHeld(), 4);
}

TEST_F(BatchTest, ATiledStyleSaveOfTheShippedMapDrawsTheSamePixels)
{
    // The shipped map as the Tiled map editor writes it again: no "numOfTileSets", the second tileset
    // numbered straight after the first (first gid 17, its gids shifted to match) and its path
    // written from another folder depth.
    rapidjson::Document saved;
    const std::string shipped = ReadFile("assets/data/tilemaps/LivingRoom.json");
    saved.Parse(shipped.c_str());
    ASSERT_TRUE(saved.IsObject());
    saved.RemoveMember("numOfTileSets");
    auto& sets = saved["tilesets"];
    ASSERT_EQ(sets.Size(), 2u);
    ASSERT_EQ(sets[1]["firstgid"].GetInt(), 101);
    sets[1]["firstgid"].SetInt(17);
    sets[1]["source"].SetString("../../data/tilesets/HouseDecor.json", saved.GetAllocator());
    int shifted = 0;
    for (auto& layer : saved["layers"].GetArray())
        for (auto& gid : layer["data"].GetArray())
            if (gid.GetInt() > 100) {
                gid.SetInt(gid.GetInt() - 84);
                ++shifted;
            }
    EXPECT_GT(shifted, 10);
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    saved.Accept(writer);
    scratch->Data("tilemaps/LivingRoomSaved.json", std::string(text.GetString(), text.GetSize()));

    Message* load = TextMessage("LoadTileMap", "LivingRoomSaved", tiles);
    const std::string out = CaptureConsole([&] { tiles->HandleMessage(load); });
    delete load;
    EXPECT_TRUE(out.empty()) << out;
    Show("LivingRoom");

    const float placements[][3] = {{5.0f, 13.0f, 45.0f}, {36.25f, 13.5f, 30.0f}, {43.0f, 26.5f, 60.0f},
                                   {24.0f, 15.0f, -30.0f}};
    for (const auto& p : placements) {
        Aim(p[0], p[1], p[2]);
        const std::string where = "camera (" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ")";
        Show("LivingRoom");
        const std::vector<unsigned char> original = Render(true);
        Show("LivingRoomSaved");
        const std::vector<unsigned char> resaved = Render(true);
        ASSERT_EQ(original.size(), resaved.size());
        std::set<int> colours;
        for (std::size_t i = 0; i < original.size(); i += 64)
            colours.insert(original[i] << 16 | original[i + 1] << 8 | original[i + 2]);
        EXPECT_GT(colours.size(), 8u) << where;
        EXPECT_TRUE(original == resaved) << where;
    }
}

TEST_F(BatchTest, FogStampsMatchForEveryCellSizeAndFollowNewReveals)
{
    // Small cells (one buffer for the whole grid) and cells so large that far cells are culled.
    struct Grid {
        float size;
        int side;
        float origin, cameraX, cameraY, zoom;
    };
    const Grid grids[] = {{0.125f, 100, 0.0f, 5.0f, 6.0f, 45.0f},
                          {0.125f, 1024, 3.0f, 40.0f, 50.0f, 30.0f},
                          {1.0f, 16, 8.0f, 3.3f, -2.1f, 45.0f},
                          {0.5f, 64, 10.0f, -4.2f, 7.9f, 60.0f}};
    for (const Grid& g : grids) {
        lighting->SetGridSize(g.size);
        lighting->ResizeGrid(g.side, g.side);
        lighting->originX = lighting->originY = g.origin;
        lighting->enabled = 1;
        Aim(g.cameraX, g.cameraY, g.zoom);
        const std::string what = "cells of " + std::to_string(g.size);
        Reveal([](int i, int j) { return (i * 7 + j * 13) % 11 < 4 || (i / 10 + j / 10) % 2 == 0; });
        std::vector<unsigned char> before;
        ExpectSamePicture(what, &before, 2);
        // Revealing more after a frame changes the picture both ways alike.
        Reveal([](int i, int j) { return (i + j) % 3 == 0; });
        std::vector<unsigned char> after;
        ExpectSamePicture(what + " after more reveals", &after, 2);
        EXPECT_NE(before, after) << what;
        // Everything revealed.
        Reveal([](int, int) { return true; });
        ExpectSamePicture(what + " all revealed", nullptr, 2);
    }
}
