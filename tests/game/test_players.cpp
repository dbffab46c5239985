// PlayerManager: the player at the spawn point and the camera on it, "Request Player", the timed dance,
// and the sprite-sheet switching of a win; ScoreManager and the score display's digits.
#include <GLFW/glfw3.h>

#include <filesystem>
#include <memory>

#include "CoreEngine.h"
#include "FolderTest.h"
#include "TestObjects.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Transform.h"
#include "game/BehaviorScoreDisplay.h"
#include "game/PlayerManager.h"
#include "game/ScoreManager.h"
#include "graphics/CameraSystem.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/InputManager.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"
#include "world/Scene.h"
#include "world/SceneSystem.h"
#include "world/TileMapSystem.h"

using namespace testsupport;

namespace {

int CountOf(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class PlayersTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ResetPlayerSpriteSheetSwitches();
        folder.Write("assets/data/Player.json", R"({"Name": "Player", "Transform": {"TranslationX": 50, "TranslationY": 60,
            "ScaleX": 1, "ScaleY": 1}, "Sprite": {}, "Animation": {}, "Children": ["PlayerEyes"]})");
        folder.Write("assets/data/PlayerEyes.json", R"({"Name": "PlayerEyes", "Transform": {}, "Sprite": {"Alpha": 1}})");
        for (const char* sheet : {"PemmetRotationSpritesheet", "PemmetMovingSpritesheet", "Number"})
            folder.Write(std::string("assets/data/textures/") + sheet + ".json",
                         R"({"numFrames": 10, "numRows": 2, "numCols": 5, "frameTime": 0.1})");
        folder.Write("assets/data/archetypes/Number.json", R"({"Name": "Number", "Transform": {"ScaleX": 1, "ScaleY": 1},
            "Sprite": {"Texture": "Number"}, "Animation": {}})");
        folder.Write("assets/data/scenes/Lvl.json", R"({"Scene Type": "Gameplay", "Tilemap Name": "", "Player Spawn Position": [5, 13]})");
        folder.Write("assets/data/scenes/Win.json", R"({"Scene Type": "Menu", "Scene Name": "Win", "Tilemap Name": ""})");
        CameraList.assign(1, Camera{});
        core = new CoreEngine();
        CaptureConsole([&] {
            graphics = new GraphicsLibrary();
            keys = std::make_shared<ScriptedKeySource>();
            input = new InputManager(keys);
            core->engine->AddSystem(input);
            input->Init();
            core->engine->AddSystem(new CameraSystem(nullptr));
            scenes = new SceneSystem();
            core->engine->AddSystem(scenes);
            scenes->SetNextScene("Lvl");
        });
        Frames(3);
        players = gPlayerManager;
        ASSERT_NE(players, nullptr);
        ASSERT_NE(gScoreManager, nullptr);
    }
    void TearDown() override
    {
        delete core;
        delete graphics;
        CameraList.clear();
    }

    std::string Frames(int n, float dt = 1.0f / 60.0f)
    {
        return CaptureConsole([&] {
            for (int i = 0; i < n; ++i) {
                input->Update(dt);
                core->engine->Update(dt);
            }
        });
    }
    GameObject* Player() const { return core->manager->FindGameObject("Player"); }

    CoreEngine* core = nullptr;
    GraphicsLibrary* graphics = nullptr;
    std::shared_ptr<ScriptedKeySource> keys;
    InputManager* input = nullptr;
    SceneSystem* scenes = nullptr;
    PlayerManager* players = nullptr;
};

TEST_F(PlayersTest, PlayerAtTheSpawnPointWithTheCameraOnIt)
{
    EXPECT_EQ(core->manager->FindGameObjects("Player").size(), 1u);
    ASSERT_NE(Player(), nullptr);
    EXPECT_EQ(players->GetPlayer(0), Player());
    EXPECT_FLOAT_EQ(Player()->GetTransform()->TranslationX, 5.0f);
    EXPECT_FLOAT_EQ(Player()->GetTransform()->TranslationY, 13.0f);
    int targets = 0;
    for (const SeenMessage& seen : core->recorder->seen)
        targets += seen.name == "Set Camera Target" && seen.number.u64 == reinterpret_cast<std::uintptr_t>(Player()->GetTransform());
    EXPECT_EQ(targets, 1);
    EXPECT_EQ(CameraSystemInstance->GetTarget(), Player()->GetTransform());
    EXPECT_FLOAT_EQ(CameraList[0].x, 5.0f);
    EXPECT_FLOAT_EQ(CameraList[0].y, 13.0f);
    // The tile map's player is the first player.
    EXPECT_EQ(TileMapPlayerHook(), Player());

    // A second player stands at x -2 and wears the second player's sketch; the table is full after four.
    CaptureConsole([&] { players->AddPlayer(); });
    EXPECT_FLOAT_EQ(players->GetPlayer(1)->GetTransform()->TranslationX, -2.0f);
    ASSERT_NE(players->GetPlayer(1)->GetSprite()->texture, nullptr);
    EXPECT_EQ(players->GetPlayer(1)->GetSprite()->texture->name, "p2sketch");
    EXPECT_NE(Player()->GetSprite()->texture ? Player()->GetSprite()->texture->name : "", "p2sketch");
    CaptureConsole([&] { players->AddPlayer(); players->AddPlayer(); });
    EXPECT_TRUE(Contains(CaptureConsole([&] { players->AddPlayer(); }), "No space open for a new player"));
    EXPECT_EQ(players->count, 4u);

    // A first player made again: a spawn coordinate of -1 leaves it where its file puts it, and
    // without a current scene it waits far outside the level.
    Scene* scene = scenes->current;
    const struct {
        float spawnX, spawnY;
        bool inScene;
        float x, y;
    } spawns[] = {{-1, 13, true, 50, 60}, {5, -1, true, 50, 60}, {-1, -1, true, 50, 60},
                  {7, 8, true, 7, 8},     {7, 8, false, -1000, -1000}};
    for (const auto& c : spawns) {
        scene->spawn[0] = c.spawnX;
        scene->spawn[1] = c.spawnY;
        scenes->current = c.inScene ? scene : nullptr;
        players->players[0].Reset();
        CaptureConsole([&] { players->AddPlayer(); });
        scenes->current = scene;
        ASSERT_NE(players->GetPlayer(0), nullptr);
        EXPECT_FLOAT_EQ(players->GetPlayer(0)->GetTransform()->TranslationX, c.x) << c.spawnX << ", " << c.spawnY;
        EXPECT_FLOAT_EQ(players->GetPlayer(0)->GetTransform()->TranslationY, c.y) << c.spawnX << ", " << c.spawnY;
    }
}

TEST_F(PlayersTest, RequestPlayerIsAnsweredToTheAsker)
{
    GameObject asker;
    asker.SendMessage(0);
    core->Deliver();
    const SeenMessage& reply = core->recorder->seen.back();
    EXPECT_EQ(reply.name, "Request Return Player");
    EXPECT_EQ(reply.target, &asker);
    EXPECT_EQ(reply.number.u64, reinterpret_cast<std::uintptr_t>(Player()));
    // "Set Player Spawn" moves the first player; another target's request is not answered.
    asker.SendMessage(28, 7.0f, 8.0f, 0.0f, 0.0f, nullptr);
    asker.SendMessage(0, &asker);
    core->Deliver();
    EXPECT_FLOAT_EQ(Player()->GetTransform()->TranslationX, 7.0f);
    EXPECT_EQ(core->recorder->Count("Request Return Player"), 1);
}

TEST_F(PlayersTest, DancePlaysItsSoundsOnTime)
{
    const struct {
        const char* file;
        std::vector<int> frames;
        std::vector<std::string> sounds;
        int popUps;
    } cases[] = {
        {R"({"Timers": [0.5, 1, 1], "Sound Effect": ["A", "B", "C"]})", {31, 91, 151}, {"A", "B", "C"}, 1},
        {R"({"Timers": [0.1, 0.1], "Sound Effect": ["A"]})", {7, 13}, {"A", "Player_Happy"}, 0},
        {R"({"Timers": [], "Sound Effect": []})", {}, {}, 0},
    };
    for (const auto& c : cases) {
        folder.Write("assets/data/DanceTimings.json", c.file);
        core->recorder->Clear();
        GameObject sender;
        sender.SendMessage(std::string("StartDance"));
        std::vector<int> frames;
        std::vector<std::string> sounds;
        int popUps = 0;
        for (int frame = 1; frame <= 200; ++frame) {
            const std::size_t before = core->recorder->seen.size();
            const std::string out = Frames(1);
            popUps += Contains(out, "Pop up message") ? 1 : 0;
            for (std::size_t i = before; i < core->recorder->seen.size(); ++i) {
                if (core->recorder->seen[i].name == "Event_Play") {
                    frames.push_back(frame);
                    sounds.push_back(core->recorder->seen[i].text);
                }
            }
        }
        EXPECT_TRUE(players->dancing);
        EXPECT_EQ(sounds, c.sounds) << c.file;
        ASSERT_EQ(frames.size(), c.frames.size()) << c.file;
        for (std::size_t i = 0; i < frames.size(); ++i)
            EXPECT_NEAR(frames[i], c.frames[i], 1) << c.file << " sound " << i;
        EXPECT_EQ(popUps, c.popUps) << c.file;
    }
}

TEST_F(PlayersTest, WinSwitchesTheSheetsUntilTheWinSceneLoads)
{
    GameObject* player = Player();
    const std::uint32_t id = player->GetId();
    keys->SetKey(GLFW_KEY_SLASH, true);
    keys->SetKey(GLFW_KEY_5, true);
    Frames(1);
    keys->ReleaseAll();
    EXPECT_TRUE(IsPlayerSpriteSheetArmed());
    EXPECT_EQ(player->FindChild("PlayerEyes")->GetSprite()->color[3], 0.0f);
    EXPECT_EQ(player->GetSpriteSheet()->animationName, "PemmetRotationSpritesheet");
    EXPECT_TRUE(player->GetSpriteSheet()->looping);
    std::vector<std::pair<int, float>> changes;
    float scale = 1.0f;
    for (int frame = 1; frame <= 600 && core->manager->FindById(id); ++frame) {
        Frames(1);
        if (core->manager->FindById(id) && player->GetTransform()->ScaleX != scale) {
            scale = player->GetTransform()->ScaleX;
            changes.emplace_back(frame, scale);
            EXPECT_EQ(player->GetSpriteSheet()->animationName,
                      scale == 2.0f ? "PemmetMovingSpritesheet" : "PemmetRotationSpritesheet");
        }
    }
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_NEAR(changes[0].first, 119, 2);
    EXPECT_FLOAT_EQ(changes[0].second, 2.0f);
    EXPECT_NEAR(changes[1].first, 239, 2);
    EXPECT_FLOAT_EQ(changes[1].second, 1.0f);
    EXPECT_EQ(SceneSystem::GetCurrentScene(), "Win");
    EXPECT_FALSE(IsPlayerSpriteSheetArmed());
    EXPECT_EQ(CameraSystemInstance->GetTarget(), nullptr);
    Frames(600);
}

TEST_F(PlayersTest, ScoreDigitsAndAddScore)
{
    GameObject* display = MakePlacedObject("ScoreDisplay", 1.0f, 2.0f, 0, 0.25f, 0.25f);
    auto* behavior = new BehaviorScoreDisplay();
    display->SetComponent(behavior);
    behavior->nextState = 0;  // as the shipped archetype has it
    Stream none("no_such_file", StreamMode_Data, false);
    behavior->Read(none);
    core->manager->AddGameObject(display);
    Frames(2);
    EXPECT_EQ(gScoreManager->display, behavior);
    auto digit = [&](std::size_t j) { return behavior->digits.at(j).Get(); };
    const struct {
        int score;
        std::vector<int> frames;
    } steps[] = {{0, {0}}, {105, {1, 0, 5}}, {7, {7, 0, 5}}, {-30, {3, 0, 5}}};
    for (const auto& step : steps) {
        gScoreManager->score = step.score;
        Frames(1);
        ASSERT_EQ(behavior->digits.size(), step.frames.size()) << step.score;
        for (std::size_t j = 0; j < step.frames.size(); ++j) {
            EXPECT_EQ(digit(j)->GetSpriteSheet()->currentFrame, step.frames[j]) << step.score;
            EXPECT_FLOAT_EQ(digit(j)->GetTransform()->TranslationX, 1.0f + 0.5f * j);
            EXPECT_FLOAT_EQ(digit(j)->GetTransform()->TranslationY, 2.0f);
            EXPECT_FLOAT_EQ(digit(j)->GetTransform()->ScaleX, 0.25f);
        }
    }
    gScoreManager->score = 0;
    GameObject sender;
    sender.SendMessage(4, 12, nullptr);
    Frames(1);
    EXPECT_EQ(gScoreManager->score, 12);
    gScoreManager->SetActive(false);
    sender.SendMessage(4, 30, nullptr);
    Frames(600);
    EXPECT_EQ(gScoreManager->score, 12) << "ignored while inactive";
    int digits = 0;
    for (int i = 0; i < core->manager->GetObjectCount(); ++i)
        digits += core->manager->GetObjectAt(i)->GetName().rfind("Number", 0) == 0 ? 1 : 0;
    EXPECT_EQ(digits, 3) << "three digit objects, no more";

    // Without "archetypes/Number" a new display has no digits, and says so once.
    std::filesystem::remove(Data("archetypes/Number.json"));
    BehaviorScoreDisplay bare;
    EXPECT_EQ(CountOf(CaptureConsole([&] { bare.SetScore(12); bare.SetScore(3); }), "not found"), 1);
    EXPECT_TRUE(bare.digits.empty());
}

TEST_F(PlayersTest, SwitchingWithoutAPlayerAndAPlayerWithoutTransform)
{
    CaptureConsole([&] { core->manager->ClearGameObjects(); });
    ResetPlayerSpriteSheet();
    EXPECT_TRUE(IsPlayerSpriteSheetArmed());
    for (int i = 0; i < 3; ++i)
        SwitchPlayerSpriteSheet(2.0f);
    EXPECT_EQ(gPlayerSpriteSheetName, "");
    folder.Write("assets/data/Player.json", R"({"Name": "Player"})");
    CaptureConsole([&] { gGameObjectFactory->ClearArchetypes(); });
    EXPECT_TRUE(Contains(CaptureConsole([&] { players->Init(); }), "has no Transform"));
    EXPECT_EQ(players->count, 1u);
}

} // namespace
