// The living room's other fixtures as a player meets them: the wall pillar stops the player, the
// stairs carry it up into the bedroom, the ledge lets it down but not back up, and the puddle sets
// the player spinning. Then the laser hum as a player hears it, recorded to a wave file.
#include "game_run.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "PrivateDisplay.h"
#include "audio/StudioSystem.h"
#include "game/BehaviorLaser.h"
#include "game/TreasureManager.h"
#include "platform/studio/Studio.h"

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

// What the game plays, recorded by OpenAL Soft's wave-file back end (chosen through ALSOFT_CONF before
// the game starts its sound): 22050 mono 16-bit samples a second. While a stretch is recorded no frame
// runs ahead of the recording; the recording's length after each frame tells what followed it.
struct Recording {
    Recording()
    {
        folder.Write("alsoft.conf", "[general]\ndrivers = wave\nfrequency = 22050\nchannels = mono\n"
                                    "sample-type = int16\n[wave]\nfile = " + (folder / "out.wav").string() + "\n");
        setenv("ALSOFT_CONF", (folder / "alsoft.conf").c_str(), 1);
    }
    ~Recording() { unsetenv("ALSOFT_CONF"); }
    std::size_t Samples()
    {
        std::error_code ec;
        const auto size = static_cast<std::size_t>(fs::file_size(folder / "out.wav", ec));
        if (header <= 8 && !ec)
            header = ReadFile(folder / "out.wav").find("data") + 8;   // npos wraps to 7
        return !ec && header > 8 && size > header ? (size - header) / 2 : 0;
    }
    std::vector<std::size_t> Record(GameRun& game, int frames)
    {
        std::vector<std::size_t> heard{Samples()};
        for (int n = 1; n <= frames; ++n) {
            game.Frame();
            for (int wait = 0; wait < 400 && Samples() < heard[0] + n * 22050 / 60; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            heard.push_back(Samples());
        }
        return heard;
    }
    // Root mean square of what was recorded after frames first to last of a stretch.
    double Rms(const std::vector<std::size_t>& heard, std::size_t first, std::size_t last)
    {
        const std::string bytes = ReadFile(folder / "out.wav");
        double sum = 0.0;
        std::size_t i = heard.at(first);
        for (; i < heard.at(last) && header + 2 * i + 1 < bytes.size(); ++i) {
            const auto v = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[header + 2 * i]) |
                                                     (static_cast<unsigned char>(bytes[header + 2 * i + 1]) << 8));
            sum += static_cast<double>(v) * v;
        }
        return i > heard[first] ? std::sqrt(sum / static_cast<double>(i - heard[first])) : -1.0;
    }

    ScratchDir folder{"hum_wave"};
    std::size_t header = 0;
};

TEST(TourRun, TheLaserHumIsHeardByALaserThatIsOn)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    Recording wave;
    GameRun game("laser_hum", "LivingRoomScene");
    ASSERT_TRUE(game.Ready());
    SCOPED_TRACE("screenshots and trace log in " + game.folder.string());
    ASSERT_TRUE(studio::inspect::HasDevice()) << "the wave-file back end did not open";
    ASSERT_TRUE(game.RunUntil(
        [&] { return SceneSystem::GetCurrentScene() == "LivingRoomScene" && game.BatteryValue() > 0.0f; }, 120));
    BehaviorLaser* cycling = nullptr;
    for (GameObject* object : gGameObjectManager->FindGameObjects("Laser"))
        if (std::fabs(object->GetTransform()->TranslationX - 14.0f) < 0.01f)
            cycling = dynamic_cast<BehaviorLaser*>(object->GetBehavior());
    ASSERT_NE(cycling, nullptr);
    std::vector<char> on;
    game.onFrame = [&] { on.push_back(cycling->on); };
    // Stands at the point and records 6 s of the hum alone (music, room tone and idle hum stopped);
    // each 1/6 s with the laser by the hall door on (or off) for 0.2 s before and throughout is
    // checked: heard always, or only while that laser is on.
    auto listen = [&](std::vector<Point> route, bool always) {
        ASSERT_TRUE(game.Drive(route));
        game.Run(40);
        for (const char* loop : {"Music_Controller", "Ambience_RoomTone", "Player_Idle"})
            game.engine->SendMessage(std::string("Event_Stop"), loop, nullptr);
        on.clear();
        const auto heard = wave.Record(game, 360);
        int checked[2] = {0, 0};
        for (std::size_t f = 12; f + 10 < on.size(); f += 10) {
            if (std::count(on.begin() + f - 12, on.begin() + f + 10, on[f]) != 22)
                continue;
            const double rms = wave.Rms(heard, f + 1, f + 11);
            ++checked[static_cast<int>(on[f])];
            if (always || on[f])
                EXPECT_GT(rms, 30.0) << "laser " << (on[f] ? "on" : "off") << ", frame " << f;
            else
                EXPECT_LT(rms, 5.0) << "laser off, frame " << f;
        }
        EXPECT_GE(std::min(checked[0], checked[1]), 4) << "the laser switched meanwhile";
    };
    // Two units above the permanent laser, then beside the laser by the hall door.
    listen({{4.0f, 10.0f}, {3.0f, 8.0f}}, true);
    listen({{8.0f, 10.5f}, {13.0f, 10.5f}}, false);
    game.onFrame = nullptr;
    EXPECT_EQ(Joined(game.ProblemLines()), "");
}

} // namespace
