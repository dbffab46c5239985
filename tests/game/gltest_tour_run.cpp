// The living room's other fixtures as a player meets them: the wall pillar stops the player, the
// stairs carry it up into the bedroom, the ledge lets it down but not back up, and the puddle sets
// the player spinning.
#include "game_run.h"

#include "PrivateDisplay.h"
#include "game/TreasureManager.h"

using namespace gamerun;

namespace {

const bool privateDisplay = UsePrivateDisplay("1920x1080x24");

constexpr int ON_STAIRS = 5;
constexpr int STUNNED = 4;

TEST(TourRun, PillarStairsLedgeAndPuddle)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    GameRun game("tour", "LivingRoomScene");
    ASSERT_TRUE(game.Ready());
    SCOPED_TRACE("screenshots and trace log in " + game.folder.string());
    ASSERT_TRUE(game.RunUntil(
        [&] { return SceneSystem::GetCurrentScene() == "LivingRoomScene" && game.BatteryValue() > 0.0f; }, 120));
    game.Run(50);
    auto y = [&] { return game.Player()->GetTransform()->TranslationY; };
    auto x = [&] { return game.Player()->GetTransform()->TranslationX; };

    // Below the pillar, then straight at it: the player stops at its face.
    ASSERT_TRUE(game.Drive({{7.0f, 7.0f}, {9.0f, 7.0f}}));
    game.RunUntil([] { return false; }, 150, [&] { game.SteerTo({9.0f, 11.0f}); });
    EXPECT_LT(y(), 8.5f) << "through the pillar";
    EXPECT_GT(y(), 7.8f) << "not up to the pillar";
    game.Shot("against_the_pillar");

    // Up to the stairs in the bedroom door: they take the player up through the door.
    ASSERT_TRUE(game.Drive({{7.0f, 16.5f}}));
    bool carried = false;
    game.onFrame = [&] { carried = carried || game.PlayerBehavior()->GetCurrentState() == ON_STAIRS; };
    ASSERT_TRUE(game.RunUntil([&] { return y() > 20.6f; }, 400, [&] { game.SteerTo({7.0f, 23.0f}); }));
    EXPECT_TRUE(carried);
    EXPECT_EQ(gTreasureManager->GetRoomNum(x(), y()), 4) << "in the bedroom (the fifth room)";
    game.Shot("up_the_stairs");

    // Through the bedroom into the hall and down over the ledge; back up over it the player can't.
    game.onFrame = nullptr;
    ASSERT_TRUE(game.Drive({{11.0f, 23.0f}, {15.0f, 23.0f}, {18.0f, 23.0f}, {26.0f, 22.0f}, {26.0f, 18.5f}}));
    game.RunUntil([] { return false; }, 150, [&] { game.SteerTo({26.0f, 23.0f}); });
    EXPECT_LT(y(), 19.6f) << "up over the ledge";
    EXPECT_GT(y(), 18.8f) << "not up to the ledge";
    game.Shot("below_the_ledge");

    // Into the puddle: the player spins.
    bool spun = false;
    game.onFrame = [&] { spun = spun || game.PlayerBehavior()->GetCurrentState() == STUNNED; };
    ASSERT_TRUE(game.Drive({{23.0f, 17.0f}, {22.0f, 14.0f}}));
    game.RunUntil([&] { return spun; }, 200, [&] { game.SteerTo({22.0f, 11.0f}); });
    game.ReleaseDriveKeys();
    EXPECT_TRUE(spun);
    game.Shot("in_the_puddle");
    game.onFrame = nullptr;

    EXPECT_EQ(Joined(game.ProblemLines()), "");
}

} // namespace
