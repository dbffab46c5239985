// TreasureManager: rooms and treasure files, pickups and the chain, the ping display, the end-screen
// read-out, the scene system's seams.
#include "treasure_fixture.h"

#include <algorithm>

#include "core/Engine.h"
#include "graphics/LightingSystem.h"
#include "world/Scene.h"

using namespace treasuretest;

namespace {

TEST_F(TreasureTest, PointsGoToTheRoomThatHoldsThem)
{
    TwoRooms();
    const std::string out = Load("[[0, 0], [5, 0], [12, 3], [20, 0]]", 4);
    EXPECT_TRUE(Contains(out, "Loading treasure data from file \"T.json\"...")) << out;
    EXPECT_TRUE(Contains(out, "   CollectableRoom1 #0 spawned at <0.000000, 0.000000>")) << out;
    EXPECT_TRUE(Contains(out, "   CollectableRoom1 #1 spawned at <5.000000, 0.000000>")) << out;
    EXPECT_TRUE(Contains(out, "   CollectableRoom2 #0 spawned at <12.000000, 3.000000>")) << out;
    EXPECT_EQ(treasure->remaining[0], 2);
    EXPECT_EQ(treasure->remaining[1], 1);
    EXPECT_EQ(treasure->totalRemaining, 3);
    EXPECT_FLOAT_EQ(treasure->GetRoomObjects(1)[0]->GetTransform()->TranslationY, 3.0f);
    EXPECT_EQ(treasure->GetRoomNum(15.001f, 0), -1);
    EXPECT_EQ(treasure->GetRoomNum(15.0f, 5.0f), 1);
    EXPECT_TRUE(Contains(CaptureConsole([&] { treasure->LoadTreasureData("Missing"); }),
                         "TreasureManager: File \"Missing.json\" not found!"));
}

TEST_F(TreasureTest, BrokenTreasureFilesSkipWhatTheyCannotRead)
{
    TwoRooms();
    const struct {
        const char* points;
        int count;
        int spawned;
    } cases[] = {
        {"[[1, 1], [2, 2]]", 5, 2},         // more promised than listed
        {"[[1, 1], 7, [2], [\"a\", 1], [3, 3]]", 5, 2},  // non-arrays, short and non-number pairs
        {"{\"x\": 1}", 3, 0},               // not an array
        {"[[1, 1]]", -4, 0},
    };
    for (const auto& c : cases) {
        treasure->Reset();
        treasure->NumRooms = 2;
        Load(c.points, c.count);
        EXPECT_EQ(treasure->totalRemaining, c.spawned) << c.points;
    }
    folder.Write("assets/data/T.json", "{\"numTreasure\": 2, \"Treas");
    CaptureConsole([&] { treasure->LoadTreasureData("T"); });
    treasure->NumRooms = 0;
    EXPECT_EQ(treasure->GetRoomNum(0, 0), -1);
}

TEST_F(TreasureTest, PickupRemovesTheHiddenCollectableAndRunsTheChain)
{
    TwoRooms();
    Load("[[1, 1], [2, 2]]", 2);
    GameObject* first = treasure->GetRoomObjects(0)[0];
    const std::uint32_t id = first->GetId();
    PickUp();
    Frames(1);
    const std::vector<std::string> names = core->recorder->Names();
    std::vector<std::string> posted(names.begin(), names.begin() + 4);
    EXPECT_EQ(posted, (std::vector<std::string>{"Treasure Pick Up", "Add Player Points", "Increase Buffer",
                                                "Set Player Buffer Freeze"}));
    EXPECT_EQ(core->manager->FindById(id), nullptr);
    EXPECT_EQ(treasure->GetRoomObjects(0)[0], nullptr);
    EXPECT_EQ(treasure->GetRoomObjects(0).size(), 2u);
    EXPECT_EQ(treasure->collected[0], 1);
    EXPECT_EQ(treasure->remaining[0], 1);
    Frames(1);
    EXPECT_EQ(core->recorder->Count("Collect"), 1);
    EXPECT_EQ(Chain(), std::vector<float>{1.0f});
    Frames(70);
    EXPECT_EQ(Chain(), (std::vector<float>{1.0f, 0.0f}));
    // A pickup message with nothing hidden is reported.
    EXPECT_TRUE(Contains(CaptureConsole([&] { treasure->CollectTreasure(); }), "TreasureManager: No treasure was deleted!"));
}

TEST_F(TreasureTest, ChainReactionsAndItsCeiling)
{
    TwoRooms();
    std::string points = "[";
    for (int i = 0; i < 12; ++i)
        points += std::string(i ? "," : "") + "[" + std::to_string(-4 + 0.5 * i) + ", 0]";
    Load(points + "]", 12);
    GameObject* eyes = Add(MakePlacedObject("PlayerEyes", 0, 0));
    eyes->SetComponent(new Sprite());
    eyes->SetComponent(new SpriteSheet());
    for (int i = 0; i < 5; ++i) {
        PickUp();
        Frames(1);
        if (i == 4) {
            EXPECT_EQ(eyes->GetSpriteSheet()->animationName, "EyesHappy");
            EXPECT_TRUE(eyes->GetSpriteSheet()->playing && !eyes->GetSpriteSheet()->looping);
        }
        Frames(29);
    }
    EXPECT_EQ(Chain(), (std::vector<float>{1, 2, 3, 4, 5}));
    EXPECT_EQ(core->recorder->Count("Event_Play"), 1);
    EXPECT_EQ(core->recorder->Count("Event_Destroy"), 1);
    const std::vector<std::string> texts = core->recorder->Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Player_Content"), texts.end());
    for (int i = 0; i < 7; ++i) {
        PickUp();
        Frames(i == 6 ? 20 : 8);
    }
    const std::vector<float> chain = Chain();
    EXPECT_EQ(chain.back(), 11.0f);
    for (float value : chain)
        EXPECT_LE(value, 11.0f);
    EXPECT_EQ(core->recorder->Count("Event_Play"), 2) << "Player_Happy at 10";
    EXPECT_NEAR(gChainWindowLeft, 0.5f - 20.0f / 60.0f, 1e-4) << "the short window after 11";
}

TEST_F(TreasureTest, ClearedRoomSendsTwelve)
{
    TwoRooms();
    Load("[[1, 1]]", 1);
    GameObject* player = Player(1, 1);
    Frames(1);
    player->GetTransform()->SetTranslation(30, 30);
    Frames(1);
    EXPECT_TRUE(Chain().empty()) << "treasure left, or outside every room";
    treasure->CloseRoom(0);
    EXPECT_EQ(treasure->collected[0], 1);
    EXPECT_EQ(treasure->totalRemaining, 0);
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
    auto at = [](GameObject* o) { return std::make_pair(o->GetTransform()->TranslationX, o->GetTransform()->TranslationY); };
    const auto timers = core->manager->FindGameObjects("EndScreenTimer");
    ASSERT_EQ(core->manager->GetObjectCount(), 6);
    const struct {
        const char* name;
        float x, y;
        int frame;
    } expected[] = {
        {"EndScreenTimer", -0.1f + 0.1125f, 0.09f, -1},
        {"EndScreenTimer(Clone 1)", -0.1f, 0.1f, 1},
        {"EndScreenTimer(Clone 2)", -0.1f + 0.2375f, 0.1f, 1},
        {"EndScreenTimer(Clone 3)", -0.1f + 0.2375f + 0.1875f, 0.1f, 5},
        {"EndScreenDisplay", -0.5f, -0.25f, -1},
        {"EndScreenDisplay(Clone 1)", -0.25f, -0.25f, 7},
    };
    for (const auto& e : expected) {
        GameObject* object = core->manager->FindGameObject(e.name);
        ASSERT_NE(object, nullptr) << e.name;
        EXPECT_NEAR(at(object).first, e.x, 1e-5) << e.name;
        EXPECT_NEAR(at(object).second, e.y, 1e-5) << e.name;
        if (e.frame >= 0)
            EXPECT_EQ(object->GetSpriteSheet()->currentFrame, e.frame) << e.name;
    }
    EXPECT_EQ(core->manager->FindGameObject("EndScreenTimer")->GetSprite()->texture->name, "colon_character");
    GameObject* pickup = core->manager->FindGameObject("EndScreenDisplay");
    EXPECT_EQ(pickup->GetSprite()->texture->name, "Pickup");
    EXPECT_NEAR(pickup->GetTransform()->ScaleY, 0.2f / 1.5f, 1e-6);
}

TEST_F(TreasureTest, PingShowsTheRoomCountAndFades)
{
    TwoRooms();
    Load("[[1, 1], [2, 2], [3, 3]]", 3);
    Player(1, 1);
    LightingSystem fog;
    fog.ResizeGrid(200, 200);
    fog.SetCell(8 * 3, 8 * 3, 1);  // the third collectable's cell
    // Outside the living room a ping does nothing.
    EXPECT_EQ(CaptureConsole([&] { treasure->PingTreasure(1.0f, 1.5f, 0.75f); }), "");
    InScene("LivingRoomScene");
    treasure->GetRoomObjects(0)[2]->GetSprite()->color[3] = 0.0f;
    Frames(1);
    treasure->CollectTreasure();
    treasure->GetRoomObjects(0)[1]->GetSprite()->color[3] = 0.0f;  // touched, message not yet delivered
    const std::string out = CaptureConsole([&] { treasure->PingTreasure(1.0f, 1.5f, 0.75f); });
    EXPECT_TRUE(Contains(out, "Pinging Room 0")) << out;
    EXPECT_TRUE(Contains(out, "Treasure total: \"03\"")) << out;
    EXPECT_FALSE(treasure->countsOnly);
    EXPECT_EQ(treasure->GetDisplay(TreasureManager::COLLECTED_0), nullptr);
    EXPECT_EQ(treasure->GetDisplay(TreasureManager::TOTAL_0), nullptr);
    GameObject* collected = treasure->GetDisplay(TreasureManager::COLLECTED_1);
    GameObject* total = treasure->GetDisplay(TreasureManager::TOTAL_1);
    ASSERT_TRUE(collected && total);
    EXPECT_NEAR(collected->GetTransform()->TranslationX, -0.2f, 1e-6);
    EXPECT_NEAR(total->GetTransform()->TranslationX, 0.35f, 1e-6);
    EXPECT_EQ(collected->GetSpriteSheet()->currentFrame, 1);
    EXPECT_EQ(total->GetSpriteSheet()->currentFrame, 3);
    EXPECT_EQ(treasure->GetDisplay(TreasureManager::ROOM_NAME)->GetSprite()->texture->name, "Room1");
    EXPECT_FLOAT_EQ(treasure->GetDisplay(TreasureManager::ROOM_NAME)->GetTransform()->ScaleX, 0.4f);

    GameObject* hidden = treasure->GetRoomObjects(0)[0];
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
    }
    EXPECT_EQ(treasure->GetRoomObjects(0)[1]->GetSprite()->color[3], 0.0f) << "a hidden pickup stays hidden";
    EXPECT_EQ(hidden->GetSprite()->drawThroughFog, 0);
}

TEST_F(TreasureTest, RoomCountsAboveNinetyNineShowNinetyNine)
{
    TwoRooms();
    InScene("LivingRoomScene");
    Player(1, 1);
    treasure->collected[0] = 250;
    CaptureConsole([&] { treasure->PingRoom(1, 1, 1); });
    EXPECT_EQ(treasure->GetDisplay(TreasureManager::COLLECTED_0)->GetSpriteSheet()->currentFrame, 9);
    EXPECT_EQ(treasure->GetDisplay(TreasureManager::COLLECTED_1)->GetSpriteSheet()->currentFrame, 9);
    EXPECT_FLOAT_EQ(treasure->GetDisplay(TreasureManager::SLASH)->GetSprite()->color[1], 0.3f) << "cleared room";
    // No player: no room.
    core->manager->FindGameObject("Player")->SetName("Gone");
    EXPECT_EQ(CaptureConsole([&] { treasure->PingRoom(1, 1, 1); }), "");
}

TEST_F(TreasureTest, SceneSeamsAndTheLivingRoomTopUp)
{
    TwoRooms();
    InScene("LivingRoomScene");
    Load("[[1, 1], [12, 1]]", 2);
    ASSERT_EQ(SceneRoomNumHook(treasure, 12, 1), 1);
    EXPECT_EQ(SceneRoomRemainingHook(treasure, 1), 1);
    treasure->GetRoomObjects(1)[0]->GetTransform()->SetTranslation(30, 30);
    Frames(1);
    EXPECT_FLOAT_EQ(treasure->GetRoomObjects(1)[0]->GetTransform()->TranslationX, 12.0f) << "snapped back";

    // The scene's objects go: entries and display are forgotten, counts stay, the top-up refills.
    CaptureConsole([&] { core->manager->ClearGameObjects(); });
    TwoRooms();
    SceneClearTreasureDisplayHook(treasure);
    EXPECT_EQ(treasure->GetRoomObjects(0)[0], nullptr);
    EXPECT_EQ(treasure->totalRemaining, 2);
    auto listed = [&] {
        int n = 0;
        for (int i = 0; i < core->manager->GetObjectCount(); ++i)
            n += core->manager->GetObjectAt(i)->GetName().rfind("CollectableCommon", 0) == 0 ? 1 : 0;
        return n;
    };
    Frames(1);
    EXPECT_EQ(listed(), 2);
    Frames(3);
    EXPECT_EQ(listed(), 2);

    SceneResetTreasureHook(treasure);
    EXPECT_EQ(treasure->NumRooms, 0);
    EXPECT_EQ(treasure->GetRoomObjects(0).size(), 0u);
    SceneSetRoomCountHook(treasure, 3);
    EXPECT_EQ(treasure->NumRooms, 3);
    CaptureConsole([] { delete new TreasureManager(); });
    EXPECT_EQ(SceneRoomNumHook, nullptr) << "the last treasure manager takes its seams along";
}

} // namespace
