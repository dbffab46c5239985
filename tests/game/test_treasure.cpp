// TreasureManager: rooms and treasure files, pickups and the chain, the ping display, the end-screen
// read-out and the scene system's seams, in a scratch data folder with a graphics library but no
// window (textures keep their frame layout, without images).
#include <gtest/gtest.h>

#include <algorithm>

#include "CoreEngine.h"
#include "FolderTest.h"
#include "TestObjects.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Transform.h"
#include "game/TreasureManager.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/LightingSystem.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "world/SceneSystem.h"

using namespace testsupport;

namespace {

// An object file with a Transform at (x, y) of that scale, a Sprite and a SpriteSheet.
std::string Shown(const std::string& name, float x, float y, float scale)
{
    return "{\"Name\": \"" + name + "\", \"Transform\": {\"TranslationX\": " + std::to_string(x) +
           ", \"TranslationY\": " + std::to_string(y) + ", \"ScaleX\": " + std::to_string(scale) +
           ", \"ScaleY\": " + std::to_string(scale) + "}, \"Sprite\": {\"Alpha\": 1.0}, \"Animation\": {}}";
}

class TreasureTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ResetTreasureSwitches();
        for (const char* sheet : {"Number", "EyesHappy"})
            folder.Write(std::string("assets/data/textures/") + sheet + ".json", R"({"numFrames": 10, "numRows": 2, "numCols": 5, "frameTime": 0.1})");
        folder.Write("assets/data/archetypes/Collectable.json", Shown("Collectable", 0, 0, 0.5f));
        folder.Write("assets/data/CollectableCommon.json", R"({"Archetype": "Collectable", "Name": "CollectableCommon"})");
        folder.Write("assets/data/EndScreenDisplay.json", Shown("EndScreenDisplay", -0.5f, -0.25f, 0.2f));
        folder.Write("assets/data/EndScreenTimer.json", Shown("EndScreenTimer", -0.1f, 0.1f, 0.2f));
        core = new CoreEngine();
        graphics = new GraphicsLibrary();
        scenes = new SceneSystem();
        core->engine->AddSystem(scenes);
        treasure = new TreasureManager();
        core->engine->AddSystem(treasure);
        // Two rooms 10 x 10 centred on (0, 0) and (10, 0).
        Add(MakePlacedObject("Room1Boundary", 0, 0, 0, 10, 10));
        Add(MakePlacedObject("Room2Boundary", 10, 0, 0, 10, 10));
        treasure->NumRooms = 2;
    }
    void TearDown() override
    {
        delete core;
        delete graphics;
    }

    void InLivingRoom()
    {
        folder.Write("assets/data/scenes/LivingRoomScene.json", "{}");
        CaptureConsole([&] { scenes->scenes.push_back(scenes->current = new Scene("LivingRoomScene")); });
    }
    // Hand-made objects take ids far above the factory's, so handles never mix them up.
    GameObject* Add(GameObject* object)
    {
        static std::uint32_t nextId = 1000000;
        object->SetId(nextId++);
        core->manager->AddGameObject(object);
        return object;
    }
    std::string Load(const std::string& points, int count)
    {
        folder.Write("assets/data/T.json", "{\"numTreasure\": " + std::to_string(count) + ", \"Treasure\": " + points + "}");
        return CaptureConsole([&] { treasure->LoadTreasureData("T"); });
    }
    std::string Frames(int n)
    {
        return CaptureConsole([&] {
            for (int i = 0; i < n; ++i)
                core->engine->Update(1.0f / 60.0f);
        });
    }
    // Hides the first visible collectable and posts what a collectable posts on contact.
    void PickUp()
    {
        for (int room = 0; room < TreasureManager::MAX_ROOMS; ++room) {
            for (GameObject* object : treasure->GetRoomObjects(room)) {
                if (object && object->GetSprite()->color[3] != 0.0f) {
                    object->SendMessage(24);
                    object->SendMessage(15, 10, nullptr);
                    object->SendMessage(6);
                    object->SendMessage(17, 1, nullptr);
                    object->GetSprite()->color[3] = 0.0f;
                    return;
                }
            }
        }
    }
    std::vector<float> Chain() const
    {
        std::vector<float> values;
        for (const SeenMessage& seen : core->recorder->seen)
            if (seen.name == "Change_Global_Param" && seen.clip.paramName == "PickUp_Chain")
                values.push_back(seen.clip.paramValue);
        return values;
    }
    GameObject* Display(int slot) const { return treasure->GetDisplay(slot); }
    static float X(GameObject* object) { return object->GetTransform()->TranslationX; }

    CoreEngine* core = nullptr;
    GraphicsLibrary* graphics = nullptr;
    SceneSystem* scenes = nullptr;
    TreasureManager* treasure = nullptr;
};

TEST_F(TreasureTest, PointsGoToTheRoomThatHoldsThem)
{
    const std::string out = Load("[[0, 0], [5, 0], [12, 3], [20, 0]]", 4);
    for (const char* line : {"Loading treasure data from file \"T.json\"...", "   CollectableRoom1 #0 spawned at <0.000000, 0.000000>",
                             "   CollectableRoom1 #1 spawned at <5.000000, 0.000000>", "   CollectableRoom2 #0 spawned at <12.000000, 3.000000>"})
        EXPECT_TRUE(Contains(out, line)) << out;
    EXPECT_EQ(treasure->remaining[0], 2);
    EXPECT_EQ(treasure->remaining[1], 1);
    EXPECT_EQ(treasure->totalRemaining, 3);
    EXPECT_EQ(treasure->GetRoomNum(15.001f, 0), -1);
    EXPECT_EQ(treasure->GetRoomNum(15.0f, 5.0f), 1);
    EXPECT_TRUE(Contains(CaptureConsole([&] { treasure->LoadTreasureData("Missing"); }), "TreasureManager: File \"Missing.json\" not found!"));
    // Broken lists: only the pairs of numbers that are there count.
    const struct {
        const char* points;
        int count, spawned;
    } cases[] = {{"[[1, 1], [2, 2]]", 5, 2}, {"[[1, 1], 7, [2], [\"a\", 1], [3, 3]]", 5, 2}, {"{\"x\": 1}", 3, 0}, {"[[1, 1]]", -4, 0}};
    for (const auto& c : cases) {
        treasure->Reset();
        treasure->NumRooms = 2;
        Load(c.points, c.count);
        EXPECT_EQ(treasure->totalRemaining, c.spawned) << c.points;
    }
    treasure->NumRooms = 0;
    EXPECT_EQ(treasure->GetRoomNum(0, 0), -1);
}

TEST_F(TreasureTest, PickupRemovesTheHiddenCollectableAndRunsTheChain)
{
    Load("[[1, 1], [2, 2]]", 2);
    const std::uint32_t id = treasure->GetRoomObjects(0)[0]->GetId();
    PickUp();
    Frames(1);
    const std::vector<std::string> names = core->recorder->Names();
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
              (std::vector<std::string>{"Treasure Pick Up", "Add Player Points", "Increase Buffer", "Set Player Buffer Freeze"}));
    EXPECT_EQ(core->manager->FindById(id), nullptr);
    EXPECT_EQ(treasure->GetRoomObjects(0), (std::vector<GameObject*>{nullptr, treasure->GetRoomObjects(0)[1]}));
    EXPECT_EQ(treasure->collected[0], 1);
    EXPECT_EQ(treasure->remaining[0], 1);
    Frames(1);
    EXPECT_EQ(core->recorder->Count("Collect"), 1);
    EXPECT_EQ(Chain(), std::vector<float>{1.0f});
    Frames(70);
    EXPECT_EQ(Chain(), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_TRUE(Contains(CaptureConsole([&] { treasure->CollectTreasure(); }), "TreasureManager: No treasure was deleted!"));
}

TEST_F(TreasureTest, ChainReactionsItsCeilingAndTheClearedRoom)
{
    std::string points = "[[-4, 0]";
    for (int i = 1; i < 12; ++i)
        points += ", [" + std::to_string(-4 + 0.5 * i) + ", 0]";
    Load(points + "]", 12);
    GameObject* eyes = Add(MakePlacedObject("PlayerEyes", 0, 0));
    eyes->SetComponent(new Sprite());
    SpriteSheet* sheet = new SpriteSheet();
    eyes->SetComponent(sheet);
    // The window each pickup opens, read a frame after it: normal up to the 10th, short from the 11th.
    std::vector<float> windows;
    auto pickUp = [&](int frames) {
        PickUp();
        Frames(1);
        windows.push_back(gChainWindowLeft + 1.0f / 60.0f);
        Frames(frames - 1);
    };
    for (int i = 0; i < 5; ++i)
        pickUp(30);
    EXPECT_EQ(Chain(), (std::vector<float>{1, 2, 3, 4, 5}));
    const std::vector<std::string> texts = core->recorder->Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Player_Content"), 2) << "Event_Play and Event_Destroy";
    EXPECT_EQ(sheet->animationName, "EyesHappy");
    EXPECT_FALSE(sheet->looping);
    for (int i = 0; i < 7; ++i)
        pickUp(i == 6 ? 20 : 8);
    const std::vector<float> chain = Chain();
    EXPECT_EQ(chain.back(), 11.0f);
    EXPECT_EQ(*std::max_element(chain.begin(), chain.end()), 11.0f);
    EXPECT_EQ(core->recorder->Count("Event_Play"), 2) << "Player_Happy at 10";
    EXPECT_NEAR(gChainWindowLeft, 0.5f - 20.0f / 60.0f, 1e-4) << "the short window after 11";
    ASSERT_EQ(windows.size(), 12u);
    for (std::size_t i = 0; i < windows.size(); ++i)
        EXPECT_NEAR(windows[i], i < 10 ? 1.0f : 0.5f, 1e-4) << "pickup " << i + 1;

    // A room without treasure left sends 12 every frame while the player is in it.
    core->recorder->Clear();
    GameObject* player = Add(MakePlacedObject("Player", 30, 30));
    Frames(3);
    EXPECT_TRUE(Chain().empty()) << "outside every room";
    player->GetTransform()->SetTranslation(0, 0);
    Frames(3);
    EXPECT_EQ(Chain(), (std::vector<float>{12.0f, 12.0f}));
}

TEST_F(TreasureTest, WinReadOutOfTimeAndTreasure)
{
    treasure->clock = 75.9f;
    treasure->collected[0] = 3;
    treasure->collected[2] = 4;
    CaptureConsole([&] { treasure->CreateTreasureDisplay(); });
    ASSERT_EQ(core->manager->GetObjectCount(), 2 + 6);
    const struct {
        const char* name;
        float x, y;
        int frame;
    } expected[] = {
        // The second digit of the seconds one and a half digit scales (0.2) after the first.
        {"EndScreenTimer", -0.1f + 0.1125f, 0.09f, -1},           {"EndScreenTimer(Clone 1)", -0.1f, 0.1f, 1},
        {"EndScreenTimer(Clone 2)", -0.1f + 0.2375f, 0.1f, 1},    {"EndScreenTimer(Clone 3)", -0.1f + 0.2375f + 1.5f * 0.2f, 0.1f, 5},
        {"EndScreenDisplay", -0.5f, -0.25f, -1},                  {"EndScreenDisplay(Clone 1)", -0.25f, -0.25f, 7},
    };
    for (const auto& e : expected) {
        GameObject* object = core->manager->FindGameObject(e.name);
        ASSERT_NE(object, nullptr) << e.name;
        EXPECT_NEAR(X(object), e.x, 1e-5) << e.name;
        EXPECT_NEAR(object->GetTransform()->TranslationY, e.y, 1e-5) << e.name;
        if (e.frame >= 0) {
            EXPECT_EQ(object->GetSpriteSheet()->currentFrame, e.frame) << e.name;
        }
    }
    EXPECT_EQ(core->manager->FindGameObject("EndScreenTimer")->GetSprite()->texture->name, "colon_character");
    GameObject* pickup = core->manager->FindGameObject("EndScreenDisplay");
    EXPECT_EQ(pickup->GetSprite()->texture->name, "Pickup");
    EXPECT_NEAR(pickup->GetTransform()->ScaleY, 0.2f / 1.5f, 1e-6);
}

TEST_F(TreasureTest, PingShowsTheRoomCountAndFades)
{
    Load("[[1, 1], [2, 2], [3, 3], [4, 4]]", 4);
    Add(MakePlacedObject("Player", 1, 1));
    LightingSystem fog;
    fog.ResizeGrid(200, 200);
    fog.SetCell(8 * 3, 8 * 3, 1);  // the third collectable's cell
    fog.SetCell(8 * 4, 8 * 4, 1);  // the fourth's: out of the fog, so the ping leaves it alone
    EXPECT_EQ(CaptureConsole([&] { treasure->PingTreasure(1.0f, 1.5f, 0.75f); }), "") << "only in the living room";
    InLivingRoom();
    treasure->GetRoomObjects(0)[2]->GetSprite()->color[3] = 0.0f;
    treasure->CollectTreasure();
    GameObject* touched = treasure->GetRoomObjects(0)[1];
    touched->GetSprite()->color[3] = 0.0f;  // picked up, message not yet delivered
    const std::string out = CaptureConsole([&] { treasure->PingTreasure(1.0f, 1.5f, 0.75f); });
    EXPECT_TRUE(Contains(out, "Pinging Room 0")) << out;
    EXPECT_TRUE(Contains(out, "Treasure total: \"04\"")) << out;
    EXPECT_EQ(Display(TreasureManager::COLLECTED_0), nullptr);
    EXPECT_EQ(Display(TreasureManager::TOTAL_0), nullptr);
    GameObject* collected = Display(TreasureManager::COLLECTED_1);
    GameObject* total = Display(TreasureManager::TOTAL_1);
    ASSERT_TRUE(collected && total);
    EXPECT_NEAR(X(collected), -0.2f, 1e-6);
    EXPECT_NEAR(X(total), 0.2f, 1e-6) << "one digit of total next to the slash, as the count's";
    EXPECT_EQ(collected->GetSpriteSheet()->currentFrame, 1);
    EXPECT_EQ(total->GetSpriteSheet()->currentFrame, 4);
    EXPECT_EQ(Display(TreasureManager::ROOM_NAME)->GetSprite()->texture->name, "Room1");
    EXPECT_FLOAT_EQ(Display(TreasureManager::ROOM_NAME)->GetTransform()->ScaleX, 0.4f);

    GameObject* hidden = treasure->GetRoomObjects(0)[0];
    GameObject* inSight = treasure->GetRoomObjects(0)[3];
    const struct {
        int frame;
        float alpha;
    } alphas[] = {{1, 0.75f}, {60, 0.75f}, {90, 0.75f - 29.0f / 90.0f}, {120, 0.75f - 59.0f / 90.0f}, {150, 0.0f}};
    int done = 0;
    for (const auto& a : alphas) {
        Frames(a.frame - done);
        done = a.frame;
        // Float steps may start the fade one frame later.
        EXPECT_NEAR(total->GetSprite()->color[3], a.alpha, 0.012) << "frame " << a.frame;
        EXPECT_NEAR(hidden->GetSprite()->color[3], a.alpha == 0.0f ? 1.0f : a.alpha, 0.012) << "frame " << a.frame;
        EXPECT_EQ(touched->GetSprite()->color[3], 0.0f) << "a pickup on its way stays hidden";
        EXPECT_EQ(inSight->GetSprite()->color[3], 1.0f) << "frame " << a.frame;
        EXPECT_EQ(inSight->GetSprite()->drawThroughFog, 0) << "frame " << a.frame;
    }
    EXPECT_EQ(hidden->GetSprite()->drawThroughFog, 0);

    // Counts above 99 show 99 in a cleared room's colour; without a player there is no room.
    treasure->collected[0] = 250;
    treasure->remaining[0] = 0;
    CaptureConsole([&] { treasure->PingRoom(1, 1, 1); });
    EXPECT_EQ(Display(TreasureManager::COLLECTED_0)->GetSpriteSheet()->currentFrame, 9);
    EXPECT_EQ(Display(TreasureManager::COLLECTED_1)->GetSpriteSheet()->currentFrame, 9);
    EXPECT_FLOAT_EQ(Display(TreasureManager::SLASH)->GetSprite()->color[1], 0.3f);
    core->manager->FindGameObject("Player")->SetName("Gone");
    EXPECT_EQ(CaptureConsole([&] { treasure->PingRoom(1, 1, 1); }), "");
}

TEST_F(TreasureTest, SceneSeamsAndTheLivingRoomTopUp)
{
    InLivingRoom();
    Load("[[1, 1], [12, 1]]", 2);
    ASSERT_EQ(SceneRoomNumHook(treasure, 12, 1), 1);
    EXPECT_EQ(SceneRoomRemainingHook(treasure, 1), 1);
    treasure->GetRoomObjects(1)[0]->GetTransform()->SetTranslation(30, 30);
    Frames(1);
    EXPECT_FLOAT_EQ(X(treasure->GetRoomObjects(1)[0]), 12.0f) << "snapped back";

    // The scene's objects go: entries are forgotten, counts stay, the top-up refills once.
    CaptureConsole([&] { core->manager->ClearGameObjects(); });
    SceneClearTreasureDisplayHook(treasure);
    EXPECT_EQ(treasure->GetRoomObjects(0)[0], nullptr);
    EXPECT_EQ(treasure->totalRemaining, 2);
    for (int frames : {1, 3}) {
        Frames(frames);
        EXPECT_EQ(core->manager->GetObjectCount(), 2);
    }
    SceneCloseRoomHook(treasure, 1);
    EXPECT_EQ(treasure->collected[1], 1);
    EXPECT_EQ(treasure->totalRemaining, 1);
    SceneResetTreasureHook(treasure);
    EXPECT_EQ(treasure->NumRooms, 0);
    EXPECT_TRUE(treasure->GetRoomObjects(0).empty());
    SceneSetRoomCountHook(treasure, 3);
    EXPECT_EQ(treasure->NumRooms, 3);
    CaptureConsole([] { delete new TreasureManager(); });
    EXPECT_EQ(SceneRoomNumHook, nullptr) << "the last treasure manager takes its seams along";
}

} // namespace
