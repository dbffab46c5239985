// The way a player meets the menus: the splash, the title, the main menu, into the living room, the
// pause menu (resumed, then left for the main menu), the options screen and back, the credits to their
// end through a focus loss, and the credits left by Back.
// Keys and mouse clicks go through the scripted key source; every screen is kept as a screenshot.
#include "game_run.h"
#include "core/CreditsScroll.h"

#include "PrivateDisplay.h"

using namespace gamerun;

namespace {

const bool privateDisplay = UsePrivateDisplay("1920x1080x24");

bool Exists(const std::string& name)
{
    return gGameObjectManager && gGameObjectManager->FindGameObject(name) != nullptr;
}

TEST(MenuRun, SplashTitleMainMenuLevelPauseOptionsAndCredits)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    if (!fs::exists(RepoDir() / "assets/data/menus/MainMenu.json"))
        GTEST_SKIP() << "the menus are not part of this build yet (no assets/data/menus/MainMenu.json)";
    GameRun game("menu");
    ASSERT_TRUE(game.Ready());
    SCOPED_TRACE("screenshots and trace log in " + game.folder.string());

    // Any key leaves the splash for the title.
    ASSERT_TRUE(game.SettleIn("SplashScreen"));
    game.Shot("splash");
    game.Hold({GLFW_KEY_W}, 5);
    ASSERT_TRUE(game.SettleIn("TitleMenuScene"));
    game.Shot("title");

    ASSERT_TRUE(game.Click("TitleStart"));
    ASSERT_TRUE(game.SettleIn("MainMenuScene"));
    game.Shot("main_menu");

    // Play: the level with its HUD.
    ASSERT_TRUE(game.Click("MainMenuPlay"));
    ASSERT_TRUE(game.SettleIn("LivingRoomScene"));
    ASSERT_NE(game.Player(), nullptr);
    game.Hold({GLFW_KEY_W}, 30);
    game.Shot("level");

    // Escape pauses the game behind the pause menu; Resume goes on playing.
    game.Tap(GLFW_KEY_ESCAPE);
    game.Run(5);
    EXPECT_TRUE(game.engine->paused);
    ASSERT_TRUE(Exists("PauseResume"));
    const float x = game.Player()->GetTransform()->TranslationX;
    game.Hold({GLFW_KEY_W}, 20);
    EXPECT_EQ(game.Player()->GetTransform()->TranslationX, x) << "nothing moves while paused";
    game.Shot("pause");
    ASSERT_TRUE(game.Click("PauseResume"));
    game.Run(5);
    EXPECT_FALSE(game.engine->paused);
    EXPECT_FALSE(Exists("PauseResume"));
    game.Hold({GLFW_KEY_W}, 20);
    EXPECT_NE(game.Player()->GetTransform()->TranslationX, x) << "moving again";

    // Paused once more and back to the main menu.
    game.Tap(GLFW_KEY_ESCAPE);
    game.Run(5);
    ASSERT_TRUE(game.Click("PauseMainMenu"));
    ASSERT_TRUE(game.SettleIn("MainMenuScene"));
    EXPECT_FALSE(game.engine->paused);

    // The options screen and back.
    ASSERT_TRUE(game.Click("MainMenuOptions"));
    game.Run(5);
    ASSERT_TRUE(Exists("OptionsBack"));
    EXPECT_FALSE(Exists("MainMenuPlay"));
    game.Shot("options");
    ASSERT_TRUE(game.Click("OptionsBack"));
    game.Run(5);
    EXPECT_FALSE(Exists("OptionsBack"));
    ASSERT_TRUE(Exists("MainMenuCredits"));

    // The credits scroll (the game paused meanwhile). The window loses the focus and gets it back on
    // the way: the credits still run to their end and hand back to the main menu.
    ASSERT_TRUE(game.Click("MainMenuCredits"));
    game.Run(150);
    EXPECT_TRUE(game.engine->paused);
    EXPECT_TRUE(CreditsScrollState.running);
    game.Shot("credits");
    WindowFocusCallback(game.window->window, 0);
    game.Run(30);
    WindowFocusCallback(game.window->window, 1);
    game.Run(5);
    EXPECT_TRUE(game.engine->paused) << "the credits pause the game again";
    EXPECT_TRUE(CreditsScrollState.running);
    ASSERT_TRUE(game.RunUntil([] { return Exists("MainMenuPlay"); }, 900)) << "the credits never ended";
    EXPECT_FALSE(CreditsScrollState.running);
    game.Run(5);
    EXPECT_FALSE(Exists("CreditsLine01"));
    EXPECT_FALSE(game.engine->paused);

    // Once more, and Back leaves them at once.
    ASSERT_TRUE(game.Click("MainMenuCredits"));
    game.Run(60);
    EXPECT_TRUE(CreditsScrollState.running);
    ASSERT_TRUE(game.Click("CreditsBack"));
    game.Run(5);
    EXPECT_FALSE(CreditsScrollState.running);
    EXPECT_FALSE(game.engine->paused);
    EXPECT_TRUE(Exists("MainMenuPlay"));
    game.Shot("main_menu_again");

    EXPECT_EQ(Joined(game.ProblemLines()), "");
}

} // namespace
