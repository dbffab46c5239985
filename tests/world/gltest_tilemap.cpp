// Tile maps under Xvfb: what the displayed map queues on which draw layer, with which frame and
// where, and the tiles' pixels read back; the shipped map draws without complaint.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <rapidjson/document.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "GlFrame.h"
#include "stb_image.h"
#include "core/Message.h"
#include "core/Trace.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/LightingSystem.h"
#include "graphics/Texture.h"
#include "graphics/VertexBatch.h"
#include "graphics/Window.h"
#include "world/TileMapSystem.h"
#include "test_tilemap_fixture.h"

using namespace testsupport;
using namespace worldtest;

namespace {

// A map over the Walls and Decor tilesets.
std::string Map(int width, int height, const std::vector<std::string>& layers)
{
    return worldtest::Map(width, height, static_cast<int>(layers.size()) + 1, layers,
                          "[{\"firstgid\": 1, \"source\": \"../tilesets/Walls.json\"},"
                          " {\"firstgid\": 101, \"source\": \"../tilesets/Decor.json\"}]",
                          2);
}

class TileDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        TraceReset();
        scratch = new Scratch("tiledraw");
        for (const char* folder : {"assets/data/shaders", "assets/data/meshes"})
            scratch->CopyFromRepo(folder);
        for (const char* file : {"assets/textures/HouseTiles.png", "assets/textures/HouseDecor.png",
                                 "assets/data/textures/HouseTiles.json", "assets/data/textures/HouseDecor.json"})
            scratch->CopyFromRepo(file);
        scratch->Data("tilesets/Walls.json", "{\"columns\": 8, \"tilecount\": 16, \"name\": \"Walls\","
                                             " \"image\": \"../../textures/HouseTiles.png\"}");
        scratch->Data("tilesets/Decor.json", "{\"columns\": 8, \"tilecount\": 8, \"name\": \"Decor\","
                                             " \"image\": \"../../textures/HouseDecor.png\"}");
        window = OpenWindow();
        ASSERT_NE(window, nullptr);
        WindowDrawFogHook = CaptureFrame;
        CameraList[0].zoom = 45.0f; // 60 pixels per world unit
        CaptureConsole([&] { system = new TileMapSystem(); });
    }
    void TearDown() override
    {
        WindowDrawFogHook = LightingSystemDrawFogDefault();
        CaptureConsole([&] { delete system; });
        delete window;
        window = nullptr;
        delete scratch;
    }
    static void (*LightingSystemDrawFogDefault())() { return startingHook; }

    void Show(const std::string& name)
    {
        Message* load = TextMessage("LoadTileMap", name, system);
        Message* show = TextMessage("DisplayTileMap", name, system);
        std::string out = CaptureConsole([&] {
            system->HandleMessage(load);
            system->HandleMessage(show);
        });
        EXPECT_FALSE(Contains(out, "wasn't opened")) << out;
        delete load;
        delete show;
    }
    void ClearQueues()
    {
        for (auto& layer : window->layers)
            layer.clear();
    }

    static inline void (*startingHook)() = WindowDrawFogHook;
    Scratch* scratch = nullptr;
    Window* window = nullptr;
    TileMapSystem* system = nullptr;
};

} // namespace

TEST_F(TileDrawTest, QueuesVisibleLayersOnTheirDrawLayers)
{
    scratch->Data("tilemaps/Queue.json",
                  Map(3, 2, {Layer(1, "FloorLayer", {1, 2, 0, 100, 5, 6}),
                             Layer(2, "AbovePlayerLayer00", {0, 101, 0, 0, 0, 102}),
                             Layer(3, "AbovePlayerLayer01", {103, 0, 0, 0, 0, 0}),
                             Layer(4, "Hidden", {1, 1, 1, 1, 1, 1}, false), Layer(5, "WallLayer", {0, 0, 9, 0, 0, 0})}));
    Show("Queue");
    TileMap* map = system->GetDisplayedMap();
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->tilesets.size(), 2u);
    Texture* walls = map->tilesets[0]->texture;
    Texture* decor = map->tilesets[1]->texture;
    ASSERT_NE(walls, nullptr);
    ASSERT_NE(decor, nullptr);
    EXPECT_NE(walls->id, 0u);

    // Batched: one command per map layer and tileset, in map-layer order.
    ClearQueues();
    system->Draw();
    const std::size_t batches[NUM_DRAW_LAYERS] = {0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 2};
    for (int layer = 0; layer < NUM_DRAW_LAYERS; ++layer) {
        ASSERT_EQ(window->layers[static_cast<std::size_t>(layer)].size(), batches[layer]) << layer;
        for (const DrawCommand& command : window->layers[static_cast<std::size_t>(layer)])
            EXPECT_NE(command.batch, nullptr);
    }
    EXPECT_EQ(window->layers[DRAW_LAYER_ABOVE_PLAYER_00][0].texture, decor);

    // One by one: a command per tile, each a buffer of one quad, sampled to its frame's very edges.
    system->batched = false;
    ClearQueues();
    system->Draw();
    // FloorLayer: gids 1, 2, 5, 6 (0 and 100 draw nothing); WallLayer: gid 9; both on layer 10.
    const auto& background = window->layers[DRAW_LAYER_BACKGROUND];
    ASSERT_EQ(background.size(), 5u);
    ASSERT_EQ(window->layers[DRAW_LAYER_ABOVE_PLAYER_00].size(), 2u);
    ASSERT_EQ(window->layers[DRAW_LAYER_ABOVE_PLAYER_01].size(), 1u);
    std::size_t total = 0;
    for (const auto& layer : window->layers)
        total += layer.size();
    EXPECT_EQ(total, 8u);

    struct Expected {
        Texture* texture;
        int column, row;
        float x, y;
    };
    const Expected floor[] = {{walls, 0, 0, 0, 1}, {walls, 1, 0, 1, 1}, {walls, 4, 0, 1, 0}, {walls, 5, 0, 2, 0},
                              {walls, 0, 1, 2, 1}};
    // The quad's lower left and upper right corners, and the texture coordinates there (Walls: 8 x 2
    // frames, Decor: 8 x 1).
    auto expectQuad = [](const DrawCommand& command, Texture* texture, int column, int row, float x, float y,
                         int rows) {
        EXPECT_EQ(command.name, "MeshRender");
        EXPECT_EQ(command.drawThroughFog, 0);
        EXPECT_EQ(command.texture, texture);
        EXPECT_FLOAT_EQ(command.color[3], 1.0f);
        ASSERT_NE(command.batch, nullptr);
        ASSERT_EQ(command.batch->QuadCount(), 1);
        const std::vector<float>& v = command.batch->Vertices();
        EXPECT_FLOAT_EQ(v[15], x - 0.5f);
        EXPECT_FLOAT_EQ(v[16], y - 0.5f);
        EXPECT_FLOAT_EQ(v[0], x + 0.5f);
        EXPECT_FLOAT_EQ(v[1], y + 0.5f);
        EXPECT_FLOAT_EQ(v[18], static_cast<float>(column) / 8.0f);
        EXPECT_FLOAT_EQ(v[19], static_cast<float>(rows - 1 - row) / static_cast<float>(rows));
        EXPECT_FLOAT_EQ(v[3], static_cast<float>(column + 1) / 8.0f);
        EXPECT_FLOAT_EQ(v[4], static_cast<float>(rows - row) / static_cast<float>(rows));
    };
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(background[i].mesh, map->mesh);
        expectQuad(background[i], floor[i].texture, floor[i].column, floor[i].row, floor[i].x, floor[i].y, 2);
    }
    const auto& above00 = window->layers[DRAW_LAYER_ABOVE_PLAYER_00];
    expectQuad(above00[0], decor, 0, 0, 1.0f, 1.0f, 1);
    expectQuad(above00[1], decor, 1, 0, 2.0f, 0.0f, 1);
    expectQuad(window->layers[DRAW_LAYER_ABOVE_PLAYER_01][0], decor, 2, 0, 0.0f, 1.0f, 1);

    // Inactive, nothing is drawn.
    ClearQueues();
    system->SetActive(false);
    system->Draw();
    EXPECT_TRUE(window->layers[DRAW_LAYER_BACKGROUND].empty());
    system->SetActive(true);
    ClearQueues();
}

TEST_F(TileDrawTest, NothingIsDrawnBeforeAMapIsDisplayed)
{
    scratch->Data("tilemaps/Quiet.json", Map(1, 1, {Layer(1, "FloorLayer", {1})}));
    Message* load = TextMessage("LoadTileMap", "Quiet", system);
    CaptureConsole([&] { system->HandleMessage(load); });
    delete load;
    ClearQueues();
    system->Draw();
    for (const auto& layer : window->layers)
        EXPECT_TRUE(layer.empty());
}

TEST_F(TileDrawTest, TilesShowTheirFramesOfTheImage)
{
    // Gid 9 is the solid wall (column 0, row 1); gid 16 the window (column 7, row 1) with its blue
    // pane left of the middle bar.
    scratch->Data("tilemaps/Pixels.json", Map(2, 1, {Layer(1, "FloorLayer", {9, 16})}));
    Show("Pixels");
    ClearQueues();
    system->Draw();
    ClearToBlack();
    std::string out = CaptureConsole([&] { window->Render(); });
    ASSERT_TRUE(HaveFrame());
    EXPECT_FALSE(Contains(out, "Assertion")) << out;
    // The map's one row lies at world y 0; cell 0 at x 0 (the centre), cell 1 at x 1 (60 pixels right).
    EXPECT_TRUE(IsColour(At(960, 540), 58, 54, 70, 8));
    EXPECT_TRUE(IsColour(At(1020 - 15, 540), 150, 200, 240, 8));
    EXPECT_TRUE(IsColour(At(960, 540 - 45), 0, 0, 0, 8)); // above the map: the clear colour
}

TEST_F(TileDrawTest, AShortLayerDrawsTheCellsItHas)
{
    // 2 x 2 cells, three gids: cells (0, 1), (1, 1) and (0, 0) show the solid wall, (1, 0) nothing.
    scratch->Data("tilemaps/Short.json", Map(2, 2, {Layer(1, "WallLayer", {9, 9, 9})}));
    Show("Short");
    ClearQueues();
    system->Draw();
    ClearToBlack();
    CaptureConsole([&] { window->Render(); });
    ASSERT_TRUE(HaveFrame());
    EXPECT_TRUE(IsColour(At(960, 480), 58, 54, 70, 8));
    EXPECT_TRUE(IsColour(At(1020, 480), 58, 54, 70, 8));
    EXPECT_TRUE(IsColour(At(960, 540), 58, 54, 70, 8));
    EXPECT_TRUE(IsColour(At(1020, 540), 0, 0, 0, 8));
}

// Maps saved in Tiled's JSON (flips, each layer encoding, a group, margin and spacing, opacity and
// offsets, an infinite map's chunks, tiles larger than the cells), drawn by the game and compared
// with the picture Tiled's tmxrasterizer made of the same map (tests/world/tiled, written by
// tools/gen_tiled_fixtures.py): magnified, quarter cell by quarter cell (each tile has four quarters
// of different colours); drawn at one pixel a texel, every pixel (thin stripes, a one-pixel slip of
// a tileset's spacing, and the shipped map as Tiled saves it).
TEST_F(TileDrawTest, TiledMapsDrawAsTiledShowsThem)
{
    struct Row {
        const char* map;
        int originX, originY; // pixels of the picture to the map's top-left cell
        int cell = 8;         // pixels of a cell in the picture
        bool exact = false;   // drawn at the picture's size times magnify and compared pixel by pixel
        int magnify = 1;
    };
    const Row rows[] = {{"Flips", 0, 0},         {"Base64", 0, 0},       {"Zlib", 0, 0},
                        {"Gzip", 0, 0},          {"Zstd", 0, 0},         {"Grouped", 0, 0},
                        {"Spacing", 0, 0},       {"Opacity", 0, 8},      {"Chunks", 0, 0},
                        {"Overlap", 0, 0},       {"Spacing", 0, 0, 8, true}, {"Stripes", 0, 0, 8, true},
                        {"Stripes", 0, 0, 8, true, 2},
                        {"Overlap", 0, 0, 8, true}, {"LivingRoomSaved", 0, 0, 32, true}};
    const std::string fixtures = (RepoDir() / "tests/world/tiled").string();
    for (const char* file : {"assets/textures/Quarters.png", "assets/textures/Spaced.png", "assets/textures/Stripes.png",
                             "assets/textures/Big.png", "assets/data/tilesets/Quarters.json",
                             "assets/data/tilesets/Spaced.json", "assets/data/tilesets/Stripes.json",
                             "assets/data/tilesets/Big.json"})
        scratch->Write(file, ReadFile(fixtures + "/" + file));
    for (const char* file : {"assets/data/tilesets/HouseTiles.json", "assets/data/tilesets/HouseDecor.json"})
        scratch->CopyFromRepo(file);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.map);
        scratch->Data(std::string("tilemaps/") + row.map + ".json",
                      ReadFile(fixtures + "/assets/data/tilemaps/" + row.map + ".json"));
        int width = 0, height = 0, channels = 0;
        stbi_set_flip_vertically_on_load(0);
        unsigned char* picture =
            stbi_load((fixtures + "/expected/" + row.map + ".png").c_str(), &width, &height, &channels, 4);
        ASSERT_NE(picture, nullptr);
        Message* load = TextMessage("LoadTileMap", row.map, system);
        Message* show = TextMessage("DisplayTileMap", row.map, system);
        const std::string out = CaptureConsole([&] {
            system->HandleMessage(load);
            system->HandleMessage(show);
        });
        delete load;
        delete show;
        EXPECT_TRUE(out.empty()) << out;
        const TileMap* map = system->GetDisplayedMap();
        ASSERT_NE(map, nullptr);
        // The camera over the map's middle, 60 pixels a cell, or the picture's own cell size.
        const float cameraX = static_cast<float>(map->width - 1) / 2.0f;
        const float cameraY = static_cast<float>(map->height - 1) / 2.0f;
        const int magnify = row.exact ? row.magnify : 1;
        const float scale = row.exact ? static_cast<float>(row.cell * magnify) : 60.0f;
        CameraList[0].x = CameraList[0].matrix[12] = cameraX;
        CameraList[0].y = CameraList[0].matrix[13] = cameraY;
        CameraList[0].zoom = 2.0f * scale - 75.0f;
        ClearQueues();
        system->Draw();
        ClearToBlack();
        CaptureConsole([&] { window->Render(); });
        ASSERT_TRUE(HaveFrame());
        int wrong = 0;
        std::set<int> wrongCells;
        const int step = row.exact ? 1 : row.cell / 2;
        for (int sample = 0; sample < width * height * magnify * magnify; ++sample) {
            // The picture's pixels (or the quarter cells' centres); magnified, each of its screen pixels.
            const int columns = (width - step / 2 + step - 1) / step * magnify;
            const int qx = sample % columns, qy = sample / columns;
            const int px = step / 2 + qx / magnify * step, py = step / 2 + qy / magnify * step;
            if (py >= height)
                break;
            {
                // The sample's centre in world units (a cell's centre lies on whole numbers).
                const float inX = static_cast<float>(px - row.originX) + (static_cast<float>(qx % magnify) + 0.5f) / static_cast<float>(magnify);
                const float inY = static_cast<float>(py - row.originY) + (static_cast<float>(qy % magnify) + 0.5f) / static_cast<float>(magnify);
                const float worldX = inX / static_cast<float>(row.cell) - 0.5f;
                const float worldY = static_cast<float>(map->height - 1) - (inY / static_cast<float>(row.cell) - 0.5f);
                const int sx = static_cast<int>(std::floor(960.0f + (worldX - cameraX) * scale));
                const int sy = static_cast<int>(std::floor(540.0f - (worldY - cameraY) * scale));
                if (sx < 0 || sy < 0 || sx >= 1920 || sy >= 1080)
                    continue;
                // The picture over black, as the game clears the frame.
                const unsigned char* p = picture + 4 * (static_cast<std::size_t>(py * width + px));
                const int r = p[0] * p[3] / 255, g = p[1] * p[3] / 255, b = p[2] * p[3] / 255;
                const auto same = IsColour(At(sx, sy), r, g, b, 12);
                if (!same) {
                    wrongCells.insert((py - row.originY) / row.cell * 100000 + (px - row.originX) / row.cell);
                    if (++wrong <= 5)
                        ADD_FAILURE() << "picture pixel (" << px << ", " << py << "): " << same.message();
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(wrongCells.size(), 0u);
        stbi_image_free(picture);
    }
}

TEST(ShippedTileMapDraw, TheLivingRoomDrawsEveryTileWithoutComplaint)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    TraceReset();
    Window window;
    ASSERT_TRUE(window.IsReady());
    WindowDrawFogHook = CaptureFrame;
    CameraList[0].zoom = 45.0f;
    TileMapSystem* system = nullptr;
    CaptureConsole([&] { system = new TileMapSystem(); });
    Message* load = TextMessage("LoadTileMap", "LivingRoom", system);
    Message* show = TextMessage("DisplayTileMap", "LivingRoom", system);
    std::string out = CaptureConsole([&] {
        system->HandleMessage(load);
        system->HandleMessage(show);
    });
    delete load;
    delete show;
    EXPECT_TRUE(out.empty()) << out;

    // Count the tiles the file holds, per draw layer.
    rapidjson::Document map;
    map.Parse(ReadFile("assets/data/tilemaps/LivingRoom.json").c_str());
    ASSERT_FALSE(map.HasParseError());
    std::size_t expected[NUM_DRAW_LAYERS] = {};
    for (const auto& layer : map["layers"].GetArray()) {
        const int drawLayer = TileMapSystem::DrawLayerOf(layer["name"].GetString());
        for (const auto& gid : layer["data"].GetArray())
            if (gid.GetInt() % 100 != 0)
                ++expected[drawLayer];
    }
    for (auto& layer : window.layers)
        layer.clear();
    system->batched = false;
    system->Draw();
    system->batched = true;
    for (int layer = 0; layer < NUM_DRAW_LAYERS; ++layer)
        EXPECT_EQ(window.layers[static_cast<std::size_t>(layer)].size(), expected[layer]) << layer;
    EXPECT_GT(expected[DRAW_LAYER_BACKGROUND], 1000u);
    EXPECT_GT(expected[DRAW_LAYER_ABOVE_PLAYER_00], 0u);
    EXPECT_GT(expected[DRAW_LAYER_ABOVE_PLAYER_01], 0u);

    // The camera over the spawn point: the frame shows the floor, not the clear colour.
    CameraList[0].x = 5.0f;
    CameraList[0].y = 13.0f;
    CameraList[0].matrix[12] = 5.0f;
    CameraList[0].matrix[13] = 13.0f;
    ClearToBlack();
    for (auto& layer : window.layers)
        layer.clear();
    system->Draw();
    out = CaptureConsole([&] { window.Render(); });
    EXPECT_FALSE(Contains(out, "Assertion")) << out;
    ASSERT_TRUE(HaveFrame());
    const Pixel centre = At(960, 540);
    EXPECT_FALSE(centre.r == 0 && centre.g == 0 && centre.b == 0);
    CaptureConsole([&] { delete system; });
    WindowDrawFogHook = LightingSystemDrawFog;
}
