// A whole level played to the win: from the living room's spawn point along a trail of treasure
// (a pickup chain long enough for the happy eyes), into a laser, onto the charger, to the chute to
// turn the points in, and through the house to the exit door; then the closing dance, the confetti and
// the end screen with its time and treasure read-out. The level music, the room tone, the chain
// parameter and the charging sound are checked in the studio layer on the way.
#include "game_run.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <numeric>

#include "MessageRecorder.h"
#include "PrivateDisplay.h"
#include "audio/StudioSystem.h"
#include "game/BehaviorLaser.h"
#include "game/BehaviorScoreDisplay.h"
#include "game/PlayerManager.h"
#include "game/ScoreManager.h"
#include "game/TreasureManager.h"
#include "graphics/CameraSystem.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"

using namespace gamerun;

namespace {

const bool privateDisplay = UsePrivateDisplay("1920x1080x24");

int Collected()
{
    return gTreasureManager ? std::accumulate(gTreasureManager->collected.begin(), gTreasureManager->collected.end(), 0)
                            : -1;
}

// The named sound is playing in the studio layer.
bool Playing(const std::string& event)
{
    const auto found = gEventInstances.find(event);
    studio::PlaybackState state = studio::PLAYBACK_STOPPED;
    return found != gEventInstances.end() && found->second.getPlaybackState(&state) == studio::OK &&
           state == studio::PLAYBACK_PLAYING;
}

float GlobalParameter(const char* name)
{
    float value = -1.0f;
    gFmodStudioSystem.getParameterByName(name, &value);
    return value;
}

// Objects whose name starts with the text (repeated names get a clone suffix).
int CountNamed(const std::string& prefix)
{
    int count = 0;
    for (int i = 0; i < gGameObjectManager->GetObjectCount(); ++i) {
        GameObject* object = gGameObjectManager->GetObjectAt(i);
        count += object && object->GetName().rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

// The number shown beside the end screen's "Pickup" picture: its digits are the display objects in
// line with it, left to right.
std::string ShownPickups()
{
    std::vector<GameObject*> shown;   // repeated names get a clone suffix
    for (int i = 0; i < gGameObjectManager->GetObjectCount(); ++i)
        if (GameObject* o = gGameObjectManager->GetObjectAt(i); o->GetName().rfind("EndScreenDisplay", 0) == 0)
            shown.push_back(o);
    auto pickup = std::find_if(shown.begin(), shown.end(), [](GameObject* o) {
        return o->GetSprite() && o->GetSprite()->texture && o->GetSprite()->texture->name == "Pickup";
    });
    if (pickup == shown.end())
        return "no pickup read-out";
    const float y = (*pickup)->GetTransform()->TranslationY;
    std::map<float, int> digits;
    for (GameObject* o : shown)
        if (o != *pickup && o->GetSpriteSheet() && std::fabs(o->GetTransform()->TranslationY - y) < 1e-4f)
            digits[o->GetTransform()->TranslationX] = o->GetSpriteSheet()->currentFrame;
    std::string text;
    for (const auto& digit : digits)
        text += std::to_string(digit.second);
    return text;
}

// The living room's map: from the spawn point, walking between the walls (and around the pillar),
// every treasure point, every fixture and the exit door can be reached.
TEST(LivingRoomLayout, EveryTreasureFixtureAndTheExitCanBeReached)
{
    rapidjson::Document map, scene, treasure;
    map.Parse(ReadFile(RepoDir() / "assets/data/tilemaps/LivingRoom.json").c_str());
    scene.Parse(ReadFile(RepoDir() / "assets/data/scenes/LivingRoomScene.json").c_str());
    treasure.Parse(ReadFile(RepoDir() / "assets/data/LivingRoomTreasure.json").c_str());
    ASSERT_FALSE(map.HasParseError() || scene.HasParseError() || treasure.HasParseError());
    const int width = map["width"].GetInt(), height = map["height"].GetInt();
    std::vector<char> wall(static_cast<std::size_t>(width * height), 0);
    for (const auto& layer : map["layers"].GetArray())
        if (std::string(layer["name"].GetString()) == "WallLayer")
            for (int i = 0; i < width * height; ++i)
                wall[static_cast<std::size_t>(i)] = layer["data"][static_cast<rapidjson::SizeType>(i)].GetInt() != 0;
    // World (x, y) is in column round(x), row height - 1 - round(y).
    auto cell = [&](float x, float y) {
        return static_cast<int>(std::lround(height - 1 - y)) * width + static_cast<int>(std::lround(x));
    };
    const auto& names = scene["Scene GameObjects"];
    const auto& positions = scene["Scene Positions"];
    for (rapidjson::SizeType i = 0; i < names.Size(); ++i)
        if (std::string(names[i].GetString()) == "archetypes/WallPillar")
            wall[static_cast<std::size_t>(cell(positions[i][0].GetFloat(), positions[i][1].GetFloat()))] = 1;

    std::vector<char> reached(wall.size(), 0);
    const auto& spawn = scene["Player Spawn Position"];
    std::deque<int> open{cell(spawn[0].GetFloat(), spawn[1].GetFloat())};
    reached[static_cast<std::size_t>(open.front())] = 1;
    while (!open.empty()) {
        const int at = open.front();
        open.pop_front();
        const int column = at % width, row = at / width;
        const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
        for (const auto& step : steps) {
            const int c = column + step[0], r = row + step[1];
            const auto next = static_cast<std::size_t>(r * width + c);
            if (c >= 0 && c < width && r >= 0 && r < height && !wall[next] && !reached[next]) {
                reached[next] = 1;
                open.push_back(static_cast<int>(next));
            }
        }
    }

    int points = 0;
    for (const auto& p : treasure["Treasure"].GetArray()) {
        EXPECT_TRUE(reached[static_cast<std::size_t>(cell(p[0].GetFloat(), p[1].GetFloat()))])
            << "treasure at " << p[0].GetFloat() << ", " << p[1].GetFloat();
        ++points;
    }
    EXPECT_EQ(points, treasure["numTreasure"].GetInt());
    int fixtures = 0;
    for (rapidjson::SizeType i = 0; i < names.Size(); ++i) {
        const std::string name = names[i].GetString();
        const float x = positions[i][0].GetFloat(), y = positions[i][1].GetFloat();
        if (name == "archetypes/WallPillar" || name == "archetypes/ChuteScoreDisplay" || (x == 0.0f && y == 0.0f))
            continue;   // the pillar itself, a display, objects with no place of their own
        EXPECT_TRUE(reached[static_cast<std::size_t>(cell(x, y))]) << name << " at " << x << ", " << y;
        ++fixtures;
    }
    EXPECT_GE(fixtures, 10);
}

// A collectable only counts when it belongs to a room: every treasure point and every placed
// collectable of every shipped scene lies inside one of the scene's room boundaries.
TEST(LivingRoomLayout, EveryTreasurePointAndCollectableLiesInARoom)
{
    int checked = 0;
    for (const auto& file : fs::directory_iterator(RepoDir() / "assets/data/scenes")) {
        rapidjson::Document scene, treasure, room;
        scene.Parse(ReadFile(file.path()).c_str());
        std::vector<std::array<float, 4>> rooms;   // centre x, y and half width, height
        for (int i = 1; scene.HasMember("RoomSystem") && i <= scene["RoomSystem"]["NumRooms"].GetInt(); ++i) {
            room.Parse(ReadFile(RepoDir() / ("assets/data/archetypes/Room" + std::to_string(i) + "Boundary.json")).c_str());
            const auto& t = room["Transform"];
            rooms.push_back({t["TranslationX"].GetFloat(), t["TranslationY"].GetFloat(), t["ScaleX"].GetFloat() / 2,
                             t["ScaleY"].GetFloat() / 2});
        }
        auto check = [&](const rapidjson::Value& at, const std::string& what) {
            const float x = at[0].GetFloat(), y = at[1].GetFloat();
            EXPECT_TRUE(std::any_of(rooms.begin(), rooms.end(), [&](const std::array<float, 4>& r) {
                return std::fabs(x - r[0]) <= r[2] && std::fabs(y - r[1]) <= r[3];
            })) << file.path().stem() << ": " << what << " at " << x << ", " << y;
            ++checked;
        };
        if (scene.HasMember("CollectibleList")) {
            treasure.Parse(ReadFile(RepoDir() / ("assets/data/" + std::string(scene["CollectibleList"].GetString()) + ".json")).c_str());
            for (const auto& p : treasure["Treasure"].GetArray())
                check(p, "treasure");
        }
        for (rapidjson::SizeType i = 0; scene.HasMember("Scene GameObjects") && i < scene["Scene GameObjects"].Size(); ++i)
            if (std::string(scene["Scene GameObjects"][i].GetString()).find("Collectable") != std::string::npos)
                check(scene["Scene Positions"][i], scene["Scene GameObjects"][i].GetString());
    }
    EXPECT_GE(checked, 21);
}

TEST(WinRun, FromTheLivingRoomToTheWinScreen)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    GameRun game("win", "LivingRoomScene");
    ASSERT_TRUE(game.Ready());
    SCOPED_TRACE("screenshots and trace log in " + game.folder.string());
    // Counts the pickups as the collectables announce them.
    int taken = 0;
    auto* pickups = new MessageRecorder("PickupCounter");
    pickups->onMessage = [&](Message* m) {
        taken += m->Is(MessageId::TreasurePickUp) ? 1 : 0;
        pickups->seen.clear();
    };
    game.engine->AddSystem(pickups);

    // The level fades in with the player on the spawn point and its battery full.
    ASSERT_TRUE(game.RunUntil(
        [&] { return SceneSystem::GetCurrentScene() == "LivingRoomScene" && game.BatteryValue() > 0.0f; }, 120));
    game.Run(50);
    ASSERT_NE(game.Player(), nullptr);
    EXPECT_NEAR(game.Player()->GetTransform()->TranslationX, 5.0f, 0.01f);
    EXPECT_NEAR(game.Player()->GetTransform()->TranslationY, 13.0f, 0.01f);
    const float full = game.Battery()->maximum;
    EXPECT_FLOAT_EQ(game.BatteryValue(), full);
    EXPECT_TRUE(Playing("Music_Controller"));
    EXPECT_TRUE(Playing("Ambience_RoomTone"));
    game.Shot("living_room_start");

    // A trail of five treasure close enough together for one chain: the chain parameter climbs and at
    // five the eyes turn happy.
    float longestChain = 0.0f;
    bool happyEyes = false;
    int happySince = 0;
    float loudestChain = 0.0f;
    game.onFrame = [&] {
        longestChain = std::max(longestChain, gChainCount);
        loudestChain = std::max(loudestChain, GlobalParameter("PickUp_Chain"));
        GameObject* eyes = game.Player() ? game.Player()->FindChild("PlayerEyes") : nullptr;
        Sprite* sprite = eyes ? eyes->GetSprite() : nullptr;
        if (!happyEyes && sprite && sprite->texture && sprite->texture->name == "EyesHappy") {
            happyEyes = true;
            happySince = game.frames;
        }
        if (happyEyes && game.frames == happySince + 55)   // once the pickup sparkle has faded
            game.ShotNext("happy_eyes");
    };
    ASSERT_TRUE(game.Drive({{6.5f, 13.0f}, {8.0f, 13.0f}, {9.5f, 13.0f}, {11.0f, 13.0f}, {12.5f, 13.0f}}));
    game.Run(70);
    EXPECT_EQ(Collected(), 5);
    EXPECT_EQ(game.PlayerBehavior()->storedPoints, 50);
    EXPECT_GE(longestChain, 5.0f);
    EXPECT_GE(loudestChain, 5.0f) << "the chain shapes the music";
    EXPECT_TRUE(happyEyes);

    // Through the laser by the hall door, just after it has switched on, and on to the charger without
    // stopping: the battery drops, the player blinks red and the camera shakes.
    auto* camera = dynamic_cast<CameraSystem*>(game.engine->GetSystem("Camera System"));
    ASSERT_NE(camera, nullptr);
    BehaviorLaser* laser = nullptr;
    for (GameObject* object : gGameObjectManager->FindGameObjects("Laser"))
        if (std::fabs(object->GetTransform()->TranslationX - 14.0f) < 0.01f)
            laser = dynamic_cast<BehaviorLaser*>(object->GetBehavior());
    ASSERT_NE(laser, nullptr);
    ASSERT_TRUE(game.Drive({{13.0f, 11.0f}, {13.0f, 9.0f}}));
    ASSERT_TRUE(game.RunUntil([&] { return laser->on && laser->phaseTimer > 1.8f; }, 300)) << "the laser never came on";
    bool shook = false, hitShot = false;
    std::vector<float> alphas;
    game.onFrame = [&] {
        shook = shook || camera->shakeTimer > 0.0f;
        Sprite* sprite = game.Player()->GetSprite();
        if (game.PlayerBehavior()->invincible && sprite->color[1] == 0.0f) {
            alphas.push_back(sprite->color[3]);
            if (!hitShot) {
                hitShot = true;
                game.ShotNext("laser_hit");
            }
        }
    };
    ASSERT_TRUE(game.Drive({{14.6f, 9.0f}, {13.0f, 7.0f}}));
    const float hit = game.BatteryValue();
    ASSERT_TRUE(game.Drive({{11.0f, 5.0f}}));
    EXPECT_LT(hit, full) << "no laser hit";
    EXPECT_TRUE(shook);
    EXPECT_NE(std::find(alphas.begin(), alphas.end(), 0.5f), alphas.end()) << "red and blinking";
    EXPECT_NE(std::find(alphas.begin(), alphas.end(), 1.0f), alphas.end()) << "red and blinking";

    // On the charging station the battery rises back to full.
    game.onFrame = nullptr;
    const float before = hit;   // charging starts as soon as the player reaches the pad
    ASSERT_TRUE(game.RunUntil([&] { return game.BatteryValue() >= full; }, 240)) << "no charge";
    EXPECT_GT(game.BatteryValue(), before);
    EXPECT_TRUE(Playing("ChargingStation_Charging"));
    // The HUD keeps the battery bar on screen through the timer's state changes.
    GameObject* bar = gGameObjectManager->FindGameObject("BatteryBar");
    ASSERT_NE(bar, nullptr);
    EXPECT_FLOAT_EQ(bar->GetSprite()->color[3], 1.0f);
    game.Shot("charged");

    // The chute takes the stored points; the score display next to it shows them.
    ASSERT_TRUE(game.Drive({{8.5f, 3.0f}, {6.2f, 1.3f}}));
    game.Run(10);
    auto* scores = dynamic_cast<ScoreManager*>(game.engine->GetSystem("ScoreManager"));
    ASSERT_NE(scores, nullptr);
    EXPECT_EQ(scores->score, 50);
    EXPECT_EQ(game.PlayerBehavior()->storedPoints, 0);
    GameObject* display = gGameObjectManager->FindGameObject("ChuteScoreDisplay");
    ASSERT_NE(display, nullptr);
    auto* digits = dynamic_cast<BehaviorScoreDisplay*>(display->GetBehavior());
    ASSERT_NE(digits, nullptr);
    ASSERT_EQ(digits->digits.size(), 2u);
    EXPECT_EQ(digits->digits[0].Get()->GetSpriteSheet()->currentFrame, 5);
    EXPECT_EQ(digits->digits[1].Get()->GetSpriteSheet()->currentFrame, 0);
    game.Shot("score_turned_in");
    // The player's blue shell shows over the chute: no fixture or display covers it.
    EXPECT_GE(game.ShotPixelsNearCentre(92, 170, 220), 150) << "the player is hidden at the chute";

    // Out through the hall into the study, to the elevator; standing on it runs its countdown.
    ASSERT_TRUE(game.Drive({{9.0f, 6.5f}, {13.0f, 8.5f}, {15.2f, 8.5f}, {18.0f, 8.5f}, {30.0f, 13.5f}, {34.0f, 13.5f},
                            {44.0f, 3.0f}},
                           900));
    game.Run(90);
    game.Shot("exit_countdown");
    EXPECT_GE(game.ShotPixelsNearCentre(92, 170, 220), 150) << "the player is hidden in the elevator";
    ASSERT_TRUE(game.RunUntil([&] { return gSceneSystem->IsChangePending(); }, 400)) << "the door never opened";
    EXPECT_EQ(gSceneSystem->next->GetName(), "Win");

    // The closing dance and the confetti play while the level fades out.
    game.Run(3);
    ASSERT_NE(gPlayerManager, nullptr);
    EXPECT_TRUE(gPlayerManager->dancing);
    auto* emitter = dynamic_cast<ParticleEmitter*>(game.Player()->GetComponent(ComponentType::ParticleEmitter));
    ASSERT_NE(emitter, nullptr);
    EXPECT_EQ(emitter->confetti, 1);
    game.Run(40);
    EXPECT_GT(emitter->liveCount, 0) << "confetti in the air";
    game.Shot("confetti");
    ASSERT_TRUE(game.RunUntil([] { return SceneSystem::GetCurrentScene() == "Win"; }, 400));
    EXPECT_EQ(gPlayerManager->danceStep, static_cast<int>(gPlayerManager->timers.size()));

    // The end screen: the time and the treasure collected.
    game.Run(70);
    EXPECT_GE(CountNamed("EndScreenTimer"), 4) << "minutes, colon, two digits of seconds";
    EXPECT_GE(CountNamed("EndScreenDisplay"), 2) << "\"Pickup\" and the count";
    EXPECT_EQ(ShownPickups(), std::to_string(taken)) << "the end screen counts every coin taken";
    EXPECT_GE(taken, 6);
    ASSERT_NE(gGameObjectManager->FindGameObject("WinMainMenu"), nullptr) << "the win menu";
    game.Shot("win_screen");
    ASSERT_TRUE(game.Click("WinMainMenu"));
    ASSERT_TRUE(game.SettleIn("MainMenuScene"));

    // The end screen once more with the clock at ten seconds: the gaps between the four characters of
    // "0:10", measured in pixels along the time's row, are alike.
    game.onFrame = [] { gTreasureManager->clock = CountNamed("EndScreenTimer") ? gTreasureManager->clock : 10.2f; };
    gSceneSystem->SetNextScene("Win");
    ASSERT_TRUE(game.SettleIn("Win"));
    game.onFrame = nullptr;
    game.Shot("win_0_10");
    float left = 0, right = 0, top = 0, bottom = 0;
    GameRun::InterfaceToWindow(-0.19f, 0.23f, left, top);
    GameRun::InterfaceToWindow(0.6f, 0.07f, right, bottom);
    std::vector<int> edges;   // where each run of columns holding a character's white starts and ends
    for (int x = int(left), inked = 0; x <= int(right); ++x) {
        int ink = 0;
        for (int y = int(top); y < int(bottom); ++y)
            ink |= game.ShotAt(x, y).r > 200 && game.ShotAt(x, y).g > 200 && game.ShotAt(x, y).b > 200;
        if (ink != inked)
            edges.push_back(x);
        inked = ink;
    }
    ASSERT_EQ(edges.size(), 8u) << "0:10 as four characters";
    const int gaps[3] = {edges[2] - edges[1], edges[4] - edges[3], edges[6] - edges[5]};
    EXPECT_LE(*std::max_element(gaps, gaps + 3), *std::min_element(gaps, gaps + 3) * 3 / 2)
        << "gaps " << gaps[0] << ", " << gaps[1] << ", " << gaps[2] << " pixels";

    EXPECT_EQ(Joined(game.ProblemLines()), "");
}

} // namespace
