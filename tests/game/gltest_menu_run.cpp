// The way a player meets the menus: the splash, the title, the main menu, into the living room, the
// pause menu (resumed, then left for the main menu), the options screen and back, the credits to their
// end through a focus loss, and the credits left by Back.
// Keys and mouse clicks go through the scripted key source; every screen is kept as a screenshot.
#include "game_run.h"
#include "core/CreditsScroll.h"
#include "core/Vector4f.h"
#include "game/TreasureManager.h"
#include "ui/Dropdown.h"
#include "ui/Slider.h"
#include "ui/Volume_CoolVersion.h"

#include "PrivateDisplay.h"

using namespace gamerun;

namespace {

const bool privateDisplay = UsePrivateDisplay("1920x1080x24");

bool Exists(const std::string& name)
{
    return gGameObjectManager && gGameObjectManager->FindGameObject(name) != nullptr;
}

// Of the last screenshot, the share of pixels (every 4th) in a box of the window brighter than a sum of
// red, green and blue.
float Share(const GameRun& game, int x0, int y0, int x1, int y1, int above)
{
    int lit = 0, all = 0;
    for (int y = y0; y < y1; y += 4)
        for (int x = x0; x < x1; x += 4, ++all) {
            const Pixel p = game.ShotAt(x, y);
            lit += p.r + p.g + p.b > above ? 1 : 0;
        }
    return all ? static_cast<float>(lit) / static_cast<float>(all) : 0.0f;
}

// The share of lit pixels in the level's "Esc: pause" hint (the HUD's top right corner).
float HintShare(const GameRun& game)
{
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    GameRun::InterfaceToWindow(1.2f, 0.96f, x0, y0);
    GameRun::InterfaceToWindow(1.7f, 0.88f, x1, y1);
    return Share(game, int(x0), int(y0), int(x1), int(y1), 200);
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
    EXPECT_GT(HintShare(game), 0.02f) << "the pause hint in the level";

    // Escape pauses the game behind the pause menu; Resume goes on playing.
    game.Tap(GLFW_KEY_ESCAPE);
    game.Run(5);
    EXPECT_TRUE(game.engine->paused);
    ASSERT_TRUE(Exists("PauseResume"));
    const float x = game.Player()->GetTransform()->TranslationX;
    game.Hold({GLFW_KEY_W}, 20);
    EXPECT_EQ(game.Player()->GetTransform()->TranslationX, x) << "nothing moves while paused";
    game.Shot("pause");
    EXPECT_EQ(HintShare(game), 0.0f) << "the pause hint under the pause menu";
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

    // A click that arrives with the cursor (moved and pressed in one frame) counts.
    ASSERT_TRUE(game.ArriveAndClick("MainMenuOptions"));
    ASSERT_TRUE(Exists("OptionsBack"));
    ASSERT_TRUE(game.ArriveAndClick("OptionsBack"));
    EXPECT_FALSE(Exists("OptionsBack")) << "a move-and-click on Back was lost";
    ASSERT_TRUE(Exists("MainMenuOptions"));

    // An options file that does not parse opens nothing: the main menu stays, one trace line tells why
    // and the file keeps its bytes.
    const fs::path options = fs::current_path() / "assets/data/menus/Options.json";
    const std::string shipped = ReadFile(options);
    const std::string broken = shipped.substr(0, shipped.rfind('}')) + ",}";
    WriteFile(options, broken);
    ASSERT_TRUE(game.Click("MainMenuOptions"));
    game.Run(5);
    EXPECT_TRUE(Exists("MainMenuPlay"));
    EXPECT_FALSE(Exists("OptionsBack"));
    EXPECT_EQ(ReadFile(options), broken);
    const std::string log = game.TraceLog();
    EXPECT_NE(log.find("Options.json"), std::string::npos);
    EXPECT_EQ(log.find("Options.json"), log.rfind("Options.json")) << "one trace line";
    // Volume start values outside 0 .. bars are taken as the nearest end.
    std::string outOfRange = shipped;
    const std::string start = "\"StartingValue\": 8";
    ASSERT_NE(outOfRange.find(start), std::string::npos);
    outOfRange.replace(outOfRange.find(start), start.size(), "\"StartingValue\": -2147483648");
    ASSERT_NE(outOfRange.find(start), std::string::npos);
    outOfRange.replace(outOfRange.find(start), start.size(), "\"StartingValue\": 99");
    WriteFile(options, outOfRange);
    ASSERT_TRUE(game.Click("MainMenuOptions"));
    game.Run(5);
    auto volume = [](const char* name) {
        GameObject* object = gGameObjectManager->FindGameObject(name);
        return object ? dynamic_cast<Volume_CoolVersion*>(object->GetBehavior()) : nullptr;
    };
    ASSERT_TRUE(volume("MusicVolume") && volume("SFXVolume"));
    EXPECT_EQ(volume("MusicVolume")->value, 0);
    EXPECT_EQ(volume("SFXVolume")->value, 10);
    // The ambience list opens on a click that arrives with the cursor.
    auto* ambience = dynamic_cast<Dropdown*>(gGameObjectManager->FindGameObject("AmbienceDropdown")->GetBehavior());
    ASSERT_NE(ambience, nullptr);
    EXPECT_FALSE(ambience->open);
    ASSERT_TRUE(game.ArriveAndClick("AmbienceDropdown"));
    EXPECT_TRUE(ambience->open) << "a move-and-click on the ambience list was lost";
    WriteFile(options, shipped);
    ASSERT_TRUE(game.Click("OptionsBack"));
    game.Run(5);
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

namespace {

// Sets the window's size (windowed) and lets the game take it.
void Resize(GameRun& game, int width, int height)
{
    if (IsFullscreen())
        SetWindowed();
    glfwSetWindowSize(game.window->window, width, height);
    for (int i = 0; i < 50 && (WindowWidth != width || WindowHeight != height); ++i) {
        glfwWaitEventsTimeout(0.02);
        game.Frame();
    }
}

TEST(MenuRun, QuickPressesWindowModesEscapeAndOtherWindowSizes)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    if (!fs::exists(RepoDir() / "assets/data/menus/MainMenu.json"))
        GTEST_SKIP() << "the menus are not part of this build yet (no assets/data/menus/MainMenu.json)";
    GameRun game("menu_quick");
    ASSERT_TRUE(game.Ready());
    SCOPED_TRACE("screenshots and trace log in " + game.folder.string());

    ASSERT_TRUE(game.SettleIn("SplashScreen"));
    game.keys->TapKey(GLFW_KEY_SPACE);
    ASSERT_TRUE(game.SettleIn("TitleMenuScene"));
    // A click quicker than a frame starts the game.
    ASSERT_TRUE(game.QuickClick("TitleStart"));
    ASSERT_TRUE(game.SettleIn("MainMenuScene"));
    ASSERT_TRUE(game.Click("MainMenuPlay"));
    const int playFrame = game.frames;
    ASSERT_TRUE(game.SettleIn("LivingRoomScene"));
    ASSERT_NE(gTreasureManager, nullptr);
    EXPECT_LE(gTreasureManager->clock, (game.frames - playFrame) / 60.0f + 0.01f)
        << "the level's clock counts the level only";

    // Five quick taps of Space: five pings.
    int pings = 0;
    float hold = gTreasureManager->pingHold;
    game.onFrame = [&] {
        if (gTreasureManager->pingHold > hold)
            ++pings;
        hold = gTreasureManager->pingHold;
    };
    for (int i = 0; i < 5; ++i) {
        game.keys->TapKey(GLFW_KEY_SPACE);
        game.Run(12);
    }
    EXPECT_EQ(pings, 5);
    game.Shot("ping");
    // The room's count and total (one digit each at the start) stand as far from the slash on either
    // side: "0 / 7", not "0 /  7".
    auto shownAt = [](int slot) {
        GameObject* object = gTreasureManager->display[static_cast<std::size_t>(slot)].Get();
        return object ? object->GetTransform()->TranslationX : 100.0f;
    };
    const float slash = shownAt(TreasureManager::SLASH);
    EXPECT_EQ(gTreasureManager->display[TreasureManager::TOTAL_0].Get(), nullptr);
    EXPECT_NEAR(shownAt(TreasureManager::TOTAL_1) - slash, slash - shownAt(TreasureManager::COLLECTED_1), 1e-4f);
    // Ten quick taps of Escape: paused, resumed, ... ten times.
    int toggles = 0;
    bool paused = game.engine->paused != 0;
    game.onFrame = [&] {
        if ((game.engine->paused != 0) != paused)
            ++toggles;
        paused = game.engine->paused != 0;
    };
    for (int i = 0; i < 10; ++i) {
        game.keys->TapKey(GLFW_KEY_ESCAPE);
        game.Run(8);
    }
    game.onFrame = nullptr;
    EXPECT_EQ(toggles, 10);
    EXPECT_FALSE(game.engine->paused);

    // Back to the splash with the developer key and on to the title: the stars shine there again.
    game.Key(GLFW_KEY_SLASH, true);
    game.Hold({GLFW_KEY_6}, 3);
    game.Key(GLFW_KEY_SLASH, false);
    ASSERT_TRUE(game.SettleIn("SplashScreen"));
    game.keys->TapKey(GLFW_KEY_SPACE);
    ASSERT_TRUE(game.SettleIn("TitleMenuScene"));
    game.Run(20);
    game.Shot("title_again");
    int stars = 0;
    for (int i = 0; i < gGameObjectManager->GetObjectCount(); ++i) {
        GameObject* object = gGameObjectManager->GetObjectAt(i);
        const std::string kind = object->GetName().substr(0, object->GetName().find('('));
        if (kind != "TitleStar" && kind != "TitleGlow")
            continue;   // the stars and the sparkles, "(Clone n)" after the first
        const Transform* t = object->GetTransform();
        const Vector4f at = WorldToScreen(Vector4f(t->TranslationX, t->TranslationY, 0.0f, 1.0f));
        const int x = static_cast<int>(at.x), y = static_cast<int>(at.y);
        EXPECT_GT(Share(game, x - 12, y - 12, x + 12, y + 12, 150), 0.0f)
            << object->GetName() << " at (" << at.x << ", " << at.y << ")";
        EXPECT_TRUE(at.x > 0 && at.x < WindowWidth && at.y > 0 && at.y < WindowHeight)
            << object->GetName() << " at (" << at.x << ", " << at.y << ")";
        ++stars;
    }
    EXPECT_EQ(stars, 4);

    // Windowed with the developer key: a centred window smaller than the screen, which the options
    // screen leaves windowed, its checkbox unchecked.
    game.Key(GLFW_KEY_SLASH, true);
    game.keys->TapKey(GLFW_KEY_E);
    game.Run(2);
    game.Key(GLFW_KEY_SLASH, false);
    EXPECT_FALSE(IsFullscreen());
    auto centredAndSmaller = [&](const char* when) {
        int x = 0, y = 0, w = 0, h = 0;
        glfwGetWindowPos(game.window->window, &x, &y);
        glfwGetWindowSize(game.window->window, &w, &h);
        EXPECT_LT(w, 1920) << when;
        EXPECT_LT(h, 1080) << when;
        EXPECT_NEAR(x, (1920 - w) / 2, 1) << when;
        EXPECT_NEAR(y, (1080 - h) / 2, 1) << when;
        EXPECT_EQ(WindowWidth, w) << when;
    };
    centredAndSmaller("developer key");
    ASSERT_TRUE(game.Click("TitleStart"));
    ASSERT_TRUE(game.SettleIn("MainMenuScene"));
    ASSERT_TRUE(game.Click("MainMenuOptions"));
    game.Run(5);
    EXPECT_FALSE(IsFullscreen()) << "opening the options keeps the window mode";
    GameObject* box = gGameObjectManager->FindGameObject("FullscreenCheckbox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetBehavior()->GetCurrentState(), 0);
    ASSERT_TRUE(game.Click("FullscreenCheckbox"));
    game.Run(3);
    EXPECT_TRUE(IsFullscreen());
    ASSERT_TRUE(game.Click("FullscreenCheckbox"));
    game.Run(3);
    EXPECT_FALSE(IsFullscreen());
    centredAndSmaller("options checkbox");

    // The master slider's line shows in its gold tint; a quick click on it sets the value there.
    GameObject* line = gGameObjectManager->FindGameObject("MasterSlider");
    ASSERT_NE(line, nullptr);
    auto* slider = dynamic_cast<Slider*>(line->GetBehavior());
    ASSERT_NE(slider, nullptr);
    const Transform* lt = line->GetTransform();
    const float quarter = lt->TranslationX - 0.5f * lt->ScaleX;
    game.Shot("options_windowed");
    float px = 0, py = 0;
    GameRun::InterfaceToWindow(lt->TranslationX - 0.75f * lt->ScaleX, lt->TranslationY, px, py);
    EXPECT_TRUE(IsColour(game.ShotAt(int(px), int(py)), 242, 204, 89, 12)) << game.ShotAt(int(px), int(py));
    game.MoveTo(quarter, lt->TranslationY);
    game.Run(2);
    game.keys->TapMouseButton(GLFW_MOUSE_BUTTON_LEFT);
    game.Run(3);
    EXPECT_NEAR(slider->value, 0.25f, 0.02f);

    // Escape goes back from the options and from the credits.
    game.keys->TapKey(GLFW_KEY_ESCAPE);
    game.Run(4);
    EXPECT_FALSE(Exists("OptionsBack"));
    ASSERT_TRUE(Exists("MainMenuCredits"));
    ASSERT_TRUE(game.Click("MainMenuCredits"));
    game.Run(30);
    EXPECT_TRUE(CreditsScrollState.running);
    game.keys->TapKey(GLFW_KEY_ESCAPE);
    game.Run(4);
    EXPECT_FALSE(CreditsScrollState.running);
    EXPECT_FALSE(game.engine->paused);
    EXPECT_TRUE(Exists("MainMenuPlay"));

    // Other window sizes: the menu and the level fill the window with the same layout.
    for (const auto& size : {std::pair<int, int>{1366, 768}, std::pair<int, int>{2560, 1440}}) {
        const std::string name = std::to_string(size.first) + "x" + std::to_string(size.second);
        SCOPED_TRACE(name);
        Resize(game, size.first, size.second);
        ASSERT_EQ(WindowWidth, size.first);
        const Viewport picture = PictureRect();
        EXPECT_NEAR(picture.width, size.first, 1.0f);
        EXPECT_NEAR(picture.height, size.second, 1.0f);
        if (!Exists("MainMenuPlay")) {
            gSceneSystem->SetNextScene("MainMenuScene");
            ASSERT_TRUE(game.SettleIn("MainMenuScene"));
        }
        game.MoveTo(1.5f, -0.9f);   // away from every button
        game.Run(2);
        game.Shot("main_menu_" + name);
        GameObject* play = gGameObjectManager->FindGameObject("MainMenuPlay");
        ASSERT_NE(play, nullptr);
        float bx = 0, by = 0;
        GameRun::InterfaceToWindow(play->GetTransform()->TranslationX, play->GetTransform()->TranslationY, bx, by);
        EXPECT_NEAR(bx, size.first / 2, 2);
        EXPECT_NEAR(by, size.second * 0.4f, 2);
        // The button's blue at its left end, where the window's own width would put it elsewhere.
        float lx = 0, ly = 0;
        GameRun::InterfaceToWindow(play->GetTransform()->TranslationX - 0.8f * play->GetTransform()->ScaleX,
                                   play->GetTransform()->TranslationY, lx, ly);
        const Pixel blue = game.ShotAt(int(lx), int(ly));
        EXPECT_GT(blue.b, blue.r + 20) << blue;
        // Hovered, the button is lighter.
        game.MoveTo(play->GetTransform()->TranslationX, play->GetTransform()->TranslationY);
        game.Run(3);
        game.Shot("main_menu_hover_" + name);
        const Pixel lit = game.ShotAt(int(lx), int(ly));
        EXPECT_GT(lit.r + lit.g + lit.b, blue.r + blue.g + blue.b + 30) << blue << " hovered " << lit;
        // Clicked through the same transform.
        ASSERT_TRUE(game.Click("MainMenuPlay"));
        ASSERT_TRUE(game.SettleIn("LivingRoomScene"));
        game.Run(10);
        game.Shot("level_" + name);
        // The level reaches every edge of the window: its four outer bands are drawn.
        const int w = size.first, h = size.second, band = h / 20;
        EXPECT_GT(Share(game, 0, 0, w, band, 0), 0.5f) << "top";
        EXPECT_GT(Share(game, 0, h - band, w, h, 0), 0.5f) << "bottom";
        EXPECT_GT(Share(game, 0, 0, band, h, 0), 0.5f) << "left";
        EXPECT_GT(Share(game, w - band, 0, w, h, 0), 0.5f) << "right";
        gSceneSystem->SetNextScene("MainMenuScene");
        ASSERT_TRUE(game.SettleIn("MainMenuScene"));
    }

    EXPECT_EQ(Joined(game.ProblemLines()), "");
}

} // namespace
