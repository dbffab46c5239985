// The level's fixtures with a hand-built player: lasers, chargers, the exit door, the drop-off chute,
// puddles, stairs, ledges and walls, each reacting on every frame of contact.
#include <rapidjson/document.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "game/BehaviorCharger.h"
#include "game/BehaviorDropOff.h"
#include "game/BehaviorExitDoor.h"
#include "game/BehaviorLaser.h"
#include "game/BehaviorLedge.h"
#include "game/BehaviorPuddle.h"
#include "game/BehaviorStairs.h"
#include "game/BehaviorWall.h"
#include "TestFiles.h"
#include "game_world.h"
#include "world/SceneSystem.h"
#include "stb_image.h"

using namespace gametest;

namespace {

class Fixtures : public GameWorld {
protected:
    void SetUp() override
    {
        GameWorld::SetUp();
        ResetLaserGlobals();
        // Stands in for the player manager: answers "Request Player" with the player's id.
        core->recorder->onMessage = [this](Message* m) {
            ++delivered[m->name];
            if (m->Is(0) && m->sender)
                core->recorder->SendMessage(1, static_cast<std::uint64_t>(answerNull ? 0 : player->GetId()),
                                            m->sender);
            if (m->Is(23))
                hits.push_back(frame);
            if (m->Is(12) && m->text == "Obstacle_LaserHum")
                humStops.insert(frame);
        };
    }
    // The player, its battery and the handshake.
    BehaviorPlayer* Ready(float x = 0.0f, float y = 0.0f)
    {
        BehaviorPlayer* behavior = MakePlayer(x, y, 1.0f);
        MakeBattery(20.0f);
        Run(4);
        return behavior;
    }
    GameObject* Fixture(const char* name, float x, float y, float w, float h, Behavior* behavior)
    {
        GameObject* object = Add(testsupport::MakePlacedObject(name, x, y), w, h, false, true);
        object->SetComponent(behavior);
        return object;
    }
    void Run(int n)
    {
        for (int i = 0; i < n; ++i, ++frame)
            Frame();
    }
    int Count(const std::string& name, const std::string& text) const
    {
        int n = 0;
        for (const auto& s : core->recorder->seen)
            n += s.name == name && s.text == text ? 1 : 0;
        return n;
    }

    std::map<std::string, int> delivered;
    std::vector<int> hits;
    std::set<int> humStops;   // frames in which a hum stop was delivered
    int frame = 0;
    bool answerNull = false;
};

TEST_F(Fixtures, LaserCyclesStopsItsHumAndHurtsOncePerInvincibility)
{
    Ready(0.0f, 0.0f);
    auto* laser = new BehaviorLaser();
    laser->timeActive = 0.5f;
    Fixture("Laser", 0.0f, 0.0f, 1.0f, 1.0f, laser);
    answerNull = true;   // a null player is refused and asked for again
    Run(3);
    EXPECT_EQ(laser->GetPlayer(), nullptr);
    const int asked = delivered["Request Player"];
    EXPECT_GE(asked, 2);
    answerNull = false;
    Run(3);
    EXPECT_EQ(laser->GetPlayer(), player);

    std::vector<int> states;
    const int first = frame;
    for (int i = 0; i < 200; ++i) {
        Run(1);
        states.push_back(laser->currentState);
    }
    std::vector<int> runs;   // lengths of the complete on / off runs
    for (std::size_t i = 1, start = 0; i < states.size(); ++i) {
        if (states[i] == states[i - 1])
            continue;
        if (start > 0)
            runs.push_back(static_cast<int>(i - start));
        // Switched off in frame first + i: the hum stop arrives with the next frame's messages.
        if (states[i] == BehaviorLaser::STATE_OFF) {
            EXPECT_EQ(humStops.count(first + static_cast<int>(i) + 1), 1u) << i;
        }
        start = i;
    }
    ASSERT_GE(runs.size(), 3u);
    for (int length : runs)
        EXPECT_NEAR(length, 30, 1);
    // The player stands in the beam throughout: one hit per second of invincibility.
    ASSERT_GE(hits.size(), 3u);
    for (std::size_t i = 1; i < hits.size(); ++i)
        EXPECT_GE(hits[i] - hits[i - 1], 60);
}

TEST_F(Fixtures, WithTwoLasersOnTheHumFollowsTheNearer)
{
    Ready(0.0f, 0.0f);
    // The hum's distance as the player last sent it.
    auto hum = [&] {
        float value = -1.0f;
        for (const auto& seen : core->recorder->seen)
            if (seen.name == "Event_Change_Param" && seen.clip.eventName == "Obstacle_LaserHum")
                value = seen.clip.paramValue;
        return value;
    };
    // Both on and in hum range, out of reach of the player: squared distances 4 and 25, made in either
    // order. The player then walks past the farther one, which becomes the nearer; back again, the
    // nearer one goes.
    for (const bool nearerFirst : {true, false}) {
        SCOPED_TRACE(nearerFirst ? "nearer made first" : "farther made first");
        GameObject* lasers[2] = {};
        for (const int i : {nearerFirst ? 0 : 1, nearerFirst ? 1 : 0}) {
            auto* laser = new BehaviorLaser();
            laser->persistent = true;
            lasers[i] = Fixture("Laser", 0.0f, i == 0 ? 2.0f : 5.0f, 0.5f, 0.5f, laser);
            Run(5);
        }
        Run(5);
        EXPECT_FLOAT_EQ(hum(), 4.0f / 45.0f);
        EXPECT_EQ(ClosestLaser.Get(), lasers[0]);
        PlayerTransform()->SetTranslation(0.0f, 6.0f);
        Run(5);
        EXPECT_FLOAT_EQ(hum(), 1.0f / 45.0f);
        EXPECT_EQ(ClosestLaser.Get(), lasers[1]);
        PlayerTransform()->SetTranslation(0.0f, 0.0f);
        Run(5);
        EXPECT_FLOAT_EQ(hum(), 4.0f / 45.0f);
        lasers[0]->RequestDestroy();
        Run(5);
        EXPECT_FLOAT_EQ(hum(), 25.0f / 45.0f);
        lasers[1]->RequestDestroy();
        Run(3);
    }
}

TEST_F(Fixtures, ChargerRaisesTheBatteryUntilJustPastFull)
{
    BehaviorPlayer* behavior = Ready(5.0f, 0.0f);
    BehaviorTimer* timer = behavior->GetTimer();
    timer->value = 19.7f;
    GameObject* charger = Fixture("Charging Station", 0.0f, 0.0f, 1.0f, 1.0f, new BehaviorCharger());
    Run(2);
    PlayerTransform()->SetTranslation(0.0f, 0.0f);
    std::vector<float> values;
    for (int i = 0; i < 8; ++i) {
        Run(1);
        values.push_back(timer->value);
    }
    EXPECT_EQ(Count("Event_Play", "ChargingStaion_PowerOn"), 1);
    EXPECT_EQ(Count("Event_Play_!Destroy", "ChargingStation_Charging"), 1);
    ASSERT_EQ(delivered["Global_Change_Param"], 1);
    for (std::size_t i = 1; i < values.size(); ++i) {
        const float step = values[i] - values[i - 1];
        EXPECT_TRUE(std::fabs(step - 0.075f) < 1e-4f || (step == 0.0f && values[i - 1] > 20.08f)) << i;
    }
    EXPECT_GT(values.back(), 20.08f);
    EXPECT_LT(values.back(), 20.16f);
    PlayerTransform()->SetTranslation(5.0f, 0.0f);
    Run(3);
    EXPECT_EQ(Count("Event_Play", "ChargingStaion_PowerOff"), 1);
    EXPECT_EQ(Count("Event_Stop", "ChargingStation_Charging"), 1);
    (void)charger;
}

TEST_F(Fixtures, ExitDoorRequestsTheWinAfterBothCountdowns)
{
    SceneSystem scenes;
    Ready(5.0f, 0.0f);
    auto* door = new BehaviorExitDoor();
    door->timerSetting = 2.0f;
    door->doorTimerSetting = 1.0f;
    door->nextState = 0;
    Fixture("ExitDoor", 0.0f, 0.0f, 1.0f, 1.0f, door);
    Run(2);
    ASSERT_NE(door->GetCounter(), nullptr);
    // A visit cut short, then a full one.
    PlayerTransform()->SetTranslation(0.0f, 0.0f);
    Run(100);
    PlayerTransform()->SetTranslation(5.0f, 0.0f);
    Run(5);
    EXPECT_EQ(scenes.next, nullptr);
    PlayerTransform()->SetTranslation(0.0f, 0.0f);
    int frames = 0;
    while (!scenes.next && frames < 400) {
        Run(1);
        ++frames;
    }
    ASSERT_NE(scenes.next, nullptr);
    EXPECT_EQ(scenes.next->GetName(), "Win");
    EXPECT_NEAR(frames, 180, 2);
}

TEST_F(Fixtures, TwoDoorsMakeOneCounterEach)
{
    Fixture("ExitDoor", 0.0f, 0.0f, 1.0f, 1.0f, new BehaviorExitDoor())->GetBehavior()->nextState = 0;
    Fixture("ExitDoor", 4.0f, 0.0f, 1.0f, 1.0f, new BehaviorExitDoor())->GetBehavior()->nextState = 0;
    testsupport::CaptureConsole([&] { Run(600); });
    int counters = 0;
    for (int i = 0; i < core->manager->GetObjectCount(); ++i)
        counters += core->manager->GetObjectAt(i)->GetName().rfind("ExitDoorCounter", 0) == 0 ? 1 : 0;
    EXPECT_EQ(counters, 2);
}

TEST_F(Fixtures, DropOffTurnsStoredPointsIntoScoreOnce)
{
    BehaviorPlayer* behavior = Ready(0.0f, 0.0f);
    behavior->storedPoints = 30;
    GameObject* chute = Fixture("DropOff", 0.0f, 0.0f, 1.0f, 1.0f, new BehaviorDropOff());
    chute->GetBehavior()->Init();
    Run(10);
    ASSERT_EQ(delivered["Add Score"], 1);
    for (const auto& s : core->recorder->seen)
        if (s.name == "Add Score") {
            EXPECT_EQ(s.number.i, 30);
        }
    EXPECT_EQ(Count("Event_Play", "Chute_TreasureTurnIn"), 1);
    EXPECT_EQ(behavior->storedPoints, 0);
}

TEST_F(Fixtures, PuddleStunsAndStairsCarryThePlayer)
{
    BehaviorPlayer* behavior = Ready(0.0f, 0.0f);
    Fixture("Puddle", 0.0f, 0.0f, 20.0f, 20.0f, new BehaviorPuddle());
    Press(GLFW_KEY_UP);
    Run(10);
    EXPECT_EQ(behavior->currentState, BehaviorPlayer::STATE_STUNNED);
    EXPECT_FLOAT_EQ(player->GetPhysics()->RotationalVelocity, 400.0f);
    Press(GLFW_KEY_UP, false);
    core->manager->DeleteGameObject("Puddle");
    Run(5);
    EXPECT_EQ(behavior->currentState, BehaviorPlayer::STATE_IDLE);

    auto* stairs = new BehaviorStairs();
    stairs->direction = 1;
    Fixture("Stairs", 0.0f, 0.0f, 20.0f, 20.0f, stairs);
    Press(GLFW_KEY_UP);
    Run(5);
    EXPECT_EQ(behavior->currentState, BehaviorPlayer::STATE_STAIRS);
    const float x = PlayerTransform()->TranslationX;
    for (int i = 0; i < 10; ++i) {
        const float y = PlayerTransform()->TranslationY;
        Run(1);
        EXPECT_NEAR(PlayerTransform()->TranslationY - y, 2.0f / 60.0f, 1e-5);
    }
    EXPECT_FLOAT_EQ(PlayerTransform()->TranslationX, x);
}

TEST_F(Fixtures, LedgesAndWallsBlockOnlyTheirSides)
{
    Ready(0.0f, 0.0f);
    struct Case { const char* name; float x; bool left, up, down, right; std::uint8_t bits; };
    for (const Case& c : {Case{"Ledge", 0.0f, true, false, false, false, BLOCKED_RIGHT},
                          Case{"Ledge", 0.0f, false, true, true, false, BLOCKED_BELOW | BLOCKED_ABOVE},
                          Case{"Ledge", 0.2f, false, false, false, true, BLOCKED_LEFT},
                          Case{"FixtureWall", 0.6f, false, false, false, false, BLOCKED_RIGHT},
                          Case{"FixtureWall", -0.6f, false, false, false, false, BLOCKED_LEFT}}) {
        Behavior* behavior = nullptr;
        if (std::string(c.name) == "Ledge") {
            auto* ledge = new BehaviorLedge();
            ledge->towardsLeft = c.left;
            ledge->towardsUp = c.up;
            ledge->towardsDown = c.down;
            ledge->towardsRight = c.right;
            behavior = ledge;
        } else {
            behavior = new BehaviorWall();
        }
        GameObject* fixture = Fixture(c.name, c.x, 0.0f, 1.0f, 1.0f, behavior);
        Run(2);
        EXPECT_EQ(player->GetPhysics()->GetSideBits(), c.bits) << c.name << " " << c.x;
        fixture->RequestDestroy();
        Run(2);
    }
}

// Every shipped archetype with a square collider: the collider spans the opaque part of its picture
// (alpha 128 or more; the top-left frame of a sheet) within 3 pixels at the level's zoom of 56 pixels
// a world unit. A picture spans twice its scale (the quad runs from -1 to 1), a collider its
// dimensions times the scale. The objects without a picture are listed with the reason.
TEST(ShippedArchetypes, CollidersSpanTheirPictures)
{
    const std::map<std::string, std::string> noPicture = {
        {"Crate", "a pushable block for scripted scenes; nothing draws it"},
        {"Wall", "an invisible blocker; the tile map draws the walls"},
        {"FixtureWall", "an invisible blocker; the tile map draws the walls"}};
    const float tolerance = 3.0f / 56.0f;
    int checked = 0;
    for (const auto& file : std::filesystem::directory_iterator(testsupport::RepoDir() / "assets/data/archetypes")) {
        rapidjson::Document a, sheet;
        a.Parse(testsupport::ReadFile(file.path()).c_str());
        const std::string name = file.path().stem().string();
        if (a.HasParseError() || !a.HasMember("Collider"))
            continue;
        if (!a.HasMember("Sprite") || !a["Sprite"].HasMember("Texture")) {
            EXPECT_EQ(noPicture.count(name), 1u) << name << ": a collider without a picture";
            continue;
        }
        const std::string texture = a["Sprite"]["Texture"].GetString();
        sheet.Parse(testsupport::ReadFile(testsupport::RepoDir() / ("assets/data/textures/" + texture + ".json")).c_str());
        int w = 0, h = 0, n = 0;
        unsigned char* px = stbi_load((testsupport::RepoDir() / ("assets/textures/" + texture + ".png")).c_str(), &w, &h, &n, 4);
        ASSERT_NE(px, nullptr) << texture;
        const int cw = w / (sheet.HasMember("numCols") ? sheet["numCols"].GetInt() : 1);
        const int ch = h / (sheet.HasMember("numRows") ? sheet["numRows"].GetInt() : 1);
        int x0 = cw, x1 = 0, y0 = ch, y1 = 0;
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x)
                if (px[(y * w + x) * 4 + 3] >= 128) {
                    x0 = std::min(x0, x), x1 = std::max(x1, x + 1), y0 = std::min(y0, y), y1 = std::max(y1, y + 1);
                }
        stbi_image_free(px);
        const auto& t = a["Transform"];
        const auto& d = a["Collider"]["Dimensions"];
        const float sx = t["ScaleX"].GetFloat(), sy = t["ScaleY"].GetFloat();
        EXPECT_NEAR(d[0].GetFloat() * sx, 2.0f * sx * static_cast<float>(x1 - x0) / static_cast<float>(cw), tolerance) << name;
        EXPECT_NEAR(d[1].GetFloat() * sy, 2.0f * sy * static_cast<float>(y1 - y0) / static_cast<float>(ch), tolerance) << name;
        EXPECT_NEAR(sx * static_cast<float>(x0 + x1 - cw) / static_cast<float>(cw), 0.0f, tolerance) << name << " off centre";
        EXPECT_NEAR(sy * static_cast<float>(y0 + y1 - ch) / static_cast<float>(ch), 0.0f, tolerance) << name << " off centre";
        ++checked;
    }
    EXPECT_GE(checked, 13);
}

} // namespace
