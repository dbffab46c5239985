// A level lost: the player drives into the living room's permanent laser and stays in it until the
// battery is empty; "Time's up!" ends the level in the "GameOver" scene, whose menu starts it again.
#include "game_run.h"

#include "PrivateDisplay.h"
#include "game/TreasureManager.h"

using namespace gamerun;

namespace {

const bool privateDisplay = UsePrivateDisplay("1920x1080x24");

TEST(GameOverRun, TheBatteryRunsOutInThePermanentLaser)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    GameRun game("gameover", "LivingRoomScene");
    ASSERT_TRUE(game.Ready());
    SCOPED_TRACE("screenshots and trace log in " + game.folder.string());

    ASSERT_TRUE(game.RunUntil(
        [&] { return SceneSystem::GetCurrentScene() == "LivingRoomScene" && game.BatteryValue() > 0.0f; }, 120));
    game.Run(50);
    const float full = game.BatteryValue();

    // Down the west side of the room into the beam, and stop there.
    ASSERT_TRUE(game.Drive({{4.0f, 10.0f}, {3.0f, 6.0f}}));
    int hits = 0;
    float last = full;
    game.onFrame = [&] {
        if (game.BatteryValue() < last)
            ++hits;
        last = game.BatteryValue();
    };
    ASSERT_TRUE(game.RunUntil([&] { return game.BatteryValue() < full; }, 120)) << "the beam does not hurt";
    game.Shot("in_the_laser");
    ASSERT_TRUE(game.RunUntil([&] { return game.BatteryValue() <= 0.5f * full; }, 1200));
    game.Shot("battery_half");

    // Hit after hit until the battery is below empty; then the level ends.
    ASSERT_TRUE(game.RunUntil([] { return gSceneSystem->IsChangePending(); }, 2400)) << "the level never ended";
    game.onFrame = nullptr;
    EXPECT_EQ(gSceneSystem->next->GetName(), "GameOver");
    EXPECT_LT(game.BatteryValue(), 0.0f);
    EXPECT_GE(hits, 2);
    EXPECT_NE(game.TraceLog().find("Time's up!"), std::string::npos);
    ASSERT_TRUE(game.RunUntil([] { return SceneSystem::GetCurrentScene() == "GameOver"; }, 200));
    game.Run(60);
    EXPECT_EQ(game.Player(), nullptr) << "the player goes with the level";
    ASSERT_NE(gGameObjectManager->FindGameObject("GameOverPlayAgain"), nullptr) << "the game-over menu";
    game.Shot("game_over");

    // Play again: the level starts over, the battery full and all its treasure back.
    ASSERT_TRUE(game.Click("GameOverPlayAgain"));
    ASSERT_TRUE(game.SettleIn("LivingRoomScene"));
    game.Run(30);
    ASSERT_NE(game.Player(), nullptr);
    EXPECT_NEAR(game.Player()->GetTransform()->TranslationX, 5.0f, 0.01f);
    EXPECT_NEAR(game.Player()->GetTransform()->TranslationY, 13.0f, 0.01f);
    EXPECT_FLOAT_EQ(game.BatteryValue(), full);
    EXPECT_EQ(gTreasureManager->totalRemaining, 21);
    game.Shot("played_again");

    EXPECT_EQ(Joined(game.ProblemLines()), "");
}

} // namespace
