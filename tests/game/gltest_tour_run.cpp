// The living room's other fixtures as a player meets them: the wall pillar stops the player, the
// stairs carry it up into the bedroom, the ledge lets it down but not back up, and the puddle sets
// the player spinning. Then the laser hum as a player hears it, recorded to a wave file.
#include "game_run.h"

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
// the game starts its sound). While a stretch is recorded no frame runs ahead of the recording, and
// the recording's length after each frame tells which samples followed which frame.
class Recording {
public:
    static constexpr int RATE = 22050;
    Recording()
    {
        folder.Write("alsoft.conf", "[general]\ndrivers = wave\nfrequency = " + std::to_string(RATE) +
                                        "\nchannels = mono\nsample-type = int16\n[wave]\nfile = " +
                                        (folder / "out.wav").string() + "\n");
        setenv("ALSOFT_CONF", (folder / "alsoft.conf").c_str(), 1);
    }
    ~Recording() { unsetenv("ALSOFT_CONF"); }
    std::uintmax_t Samples()
    {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(folder / "out.wav", ec);
        if (header == 0) {
            const std::size_t tag = ReadFile(folder / "out.wav").substr(0, 256).find("data");
            header = tag == std::string::npos ? 0 : tag + 8;
        }
        return ec || header == 0 || size < header ? 0 : (size - header) / 2;
    }
    // Runs the frames, none ahead of the recording; returns how far the recording had got after each.
    std::vector<std::uintmax_t> Record(GameRun& game, int frames)
    {
        std::vector<std::uintmax_t> heard;
        const std::uintmax_t from = Samples();
        for (int n = 1; n <= frames; ++n) {
            game.Frame();
            const auto due = from + static_cast<std::uintmax_t>(n) * RATE / 60;
            for (int wait = 0; wait < 400 && Samples() < due; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            heard.push_back(Samples());
        }
        return heard;
    }
    // Root mean square of what was recorded between frames first and last of a stretch.
    double Rms(const std::vector<std::uintmax_t>& heard, int first, int last)
    {
        const std::string bytes = ReadFile(folder / "out.wav");
        double sum = 0.0;
        long count = 0;
        for (std::uintmax_t i = heard.at(static_cast<std::size_t>(first));
             i < heard.at(static_cast<std::size_t>(last)) && header + 2 * i + 1 < bytes.size(); ++i) {
            const auto v = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[header + 2 * i]) |
                                                     (static_cast<unsigned char>(bytes[header + 2 * i + 1]) << 8));
            sum += static_cast<double>(v) * v;
            ++count;
        }
        return count ? std::sqrt(sum / count) : -1.0;
    }

    ScratchDir folder{"hum_wave"};
    std::uintmax_t header = 0;
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
    game.Run(50);
    // Only the hum is listened to: the music, the room tone and the idle hum are stopped.
    auto quiet = [&] {
        for (const char* loop : {"Music_Controller", "Ambience_RoomTone", "Player_Idle"})
            game.engine->SendMessage(std::string("Event_Stop"), loop, nullptr);
    };
    BehaviorLaser* cycling = nullptr;
    for (GameObject* object : gGameObjectManager->FindGameObjects("Laser"))
        if (std::fabs(object->GetTransform()->TranslationX - 14.0f) < 0.01f)
            cycling = dynamic_cast<BehaviorLaser*>(object->GetBehavior());
    ASSERT_NE(cycling, nullptr);

    // Two units above the permanent laser, while the other two switch on and off: heard throughout.
    ASSERT_TRUE(game.Drive({{4.0f, 10.0f}, {3.0f, 8.0f}}));
    game.Run(40);
    quiet();
    int switches = 0;
    bool was = cycling->on;
    game.onFrame = [&] {
        switches += cycling->on != was ? 1 : 0;
        was = cycling->on;
    };
    const auto permanent = wave.Record(game, 300);
    EXPECT_GE(switches, 2) << "the cycling lasers switched meanwhile";
    for (int window = 15; window + 30 < 300; window += 30)
        EXPECT_GT(wave.Rms(permanent, window, window + 30), 30.0) << "frames " << window << " on";

    // Beside the laser by the hall door: heard while it is on, not while it is off.
    ASSERT_TRUE(game.Drive({{8.0f, 10.5f}, {13.0f, 10.5f}}));
    game.Run(40);
    quiet();
    std::vector<char> on;
    game.onFrame = [&] { on.push_back(cycling->on ? 1 : 0); };
    const auto beside = wave.Record(game, 360);
    game.onFrame = nullptr;
    int heard = 0, silent = 0;
    for (std::size_t start = 0, end = 0; start < on.size(); start = end) {
        for (end = start; end < on.size() && on[end] == on[start]; ++end) {
        }
        if (start == 0 || end == on.size() || end - start < 40)
            continue;   // only whole phases, away from their edges
        const double rms = wave.Rms(beside, static_cast<int>(start) + 12, static_cast<int>(end) - 6);
        if (on[start]) {
            EXPECT_GT(rms, 30.0) << "on from frame " << start;
            ++heard;
        } else {
            EXPECT_LT(rms, 5.0) << "off from frame " << start;
            ++silent;
        }
    }
    EXPECT_GE(heard + silent, 2);
    EXPECT_GE(heard, 1);
    EXPECT_GE(silent, 1);
    EXPECT_EQ(Joined(game.ProblemLines()), "");
}

} // namespace
