// The living room's other fixtures as a player meets them: the wall pillar stops the player, the
// stairs carry it up into the bedroom, the ledge lets it down but not back up, and the puddle sets
// the player spinning. Then the living room's sound as a player hears it, recorded to a wave file: the
// laser hum near and far, a pickup, the pause menu, a laser deleted, and the loudest settings.
#include "game_run.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>
#include <thread>

#include "PrivateDisplay.h"
#include "audio/StudioSystem.h"
#include "core/Engine.h"
#include "game/BehaviorCollectable.h"
#include "game/BehaviorLaser.h"
#include "graphics/Sprite.h"
#include "game/TreasureManager.h"
#include "platform/studio/Studio.h"

using namespace gamerun;

namespace {

const bool privateDisplay = UsePrivateDisplay("1920x1080x24");

// OpenAL Soft reads its configuration once a process, when the first game of the program opens its
// sound; so every test here plays through the wave-file back end (22050 mono 16-bit samples a second)
// into one file, which each game's device writes afresh, whatever order the tests run in.
const ScratchDir waveFolder("tour_wave");
const bool waveOutput = [] {
    waveFolder.Write("alsoft.conf", "[general]\ndrivers = wave\nfrequency = 22050\nchannels = mono\n"
                                    "sample-type = int16\n[wave]\nfile = " + (waveFolder / "out.wav").string() + "\n");
    return setenv("ALSOFT_CONF", (waveFolder / "alsoft.conf").c_str(), 1) == 0;
}();

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

// What the game plays, as the wave-file back end records it. While a stretch is recorded no frame runs
// ahead of the recording; the recording's length after each frame tells what followed it.
struct Recording {
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
    // Samples recorded after frames first to last of a stretch.
    std::vector<double> Samples(const std::vector<std::size_t>& heard, std::size_t first, std::size_t last)
    {
        const std::string bytes = ReadFile(folder / "out.wav");
        std::vector<double> samples;
        for (std::size_t i = heard.at(first); i < heard.at(last) && header + 2 * i + 1 < bytes.size(); ++i)
            samples.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(bytes[header + 2 * i]) |
                                                        (static_cast<unsigned char>(bytes[header + 2 * i + 1]) << 8)));
        return samples;
    }
    // The level of one frequency in a stretch (the amplitude of its sine, by the Goertzel filter).
    double Band(const std::vector<std::size_t>& heard, std::size_t first, std::size_t last, double hertz)
    {
        const std::vector<double> x = Samples(heard, first, last);
        const double k = 2.0 * std::cos(2.0 * M_PI * hertz / 22050.0);
        double s1 = 0.0, s2 = 0.0;
        for (double v : x) {
            const double s0 = v + k * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
        return x.empty() ? 0.0 : 2.0 * std::sqrt(std::max(0.0, power)) / static_cast<double>(x.size());
    }
    double Peak(const std::vector<std::size_t>& heard, std::size_t first, std::size_t last)
    {
        double peak = 0.0;
        for (double v : Samples(heard, first, last))
            peak = std::max(peak, std::fabs(v));
        return peak;
    }

    const ScratchDir& folder = waveFolder;
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

    // From here on the music and the room tone play again, at the game's default volumes.
    auto send = [&](const char* name, const char* text) { game.engine->SendMessage(std::string(name), text, nullptr); };
    auto global = [&](const char* parameter, float value) {
        AudioClip clip;
        clip.paramName = parameter;
        clip.paramValue = value;
        game.engine->SendMessage(std::string("Change_Global_Param"), clip, nullptr);
    };
    send("Event_Play", "Music_Controller");
    send("Event_Play", "Ambience_RoomTone");
    constexpr double HUM_HZ = 120.0;
    auto db = [](double a, double b) { return 20.0 * std::log10(std::max(a, 1e-3) / std::max(b, 1e-3)); };
    // The hum's own band two units from the permanent laser, five units from it, and out of its range.
    auto band = [&](std::vector<Point> route) {
        EXPECT_TRUE(game.Drive(route));
        game.Run(30);
        const auto heard = wave.Record(game, 120);
        return wave.Band(heard, 0, 120, HUM_HZ);
    };
    const double near = band({{4.0f, 10.0f}, {3.0f, 8.0f}});
    const double inRange = band({{3.0f, 11.0f}});
    const double away = band({{5.0f, 13.5f}});
    std::printf("hum band (amplitude of %g Hz): near %.0f, five units %.0f, out of range %.0f\n", HUM_HZ, near,
                inRange, away);
    EXPECT_GE(db(near, inRange), 6.0) << "the hum fades with distance";
    EXPECT_GE(db(near, away), 12.0) << "beside an active laser the hum stands over the music";

    // A pickup with the music at 0 is heard: the player is put on the nearest treasure.
    global("MusicSlider", 0.0f);
    game.Run(30);
    GameObject* coin = nullptr;
    auto distance = [&](GameObject* object) {
        const float dx = object->GetTransform()->TranslationX - game.Player()->GetTransform()->TranslationX;
        const float dy = object->GetTransform()->TranslationY - game.Player()->GetTransform()->TranslationY;
        return dx * dx + dy * dy;
    };
    for (int i = 0; i < gGameObjectManager->GetObjectCount(); ++i) {
        GameObject* object = gGameObjectManager->GetObjectAt(i);
        if (object && dynamic_cast<BehaviorCollectable*>(object->GetBehavior()) && (!coin || distance(object) < distance(coin)))
            coin = object;
    }
    ASSERT_NE(coin, nullptr);
    const GameObjectHandle picked(coin);
    const auto quiet = wave.Record(game, 20);
    game.Player()->GetTransform()->SetTranslation(coin->GetTransform()->TranslationX, coin->GetTransform()->TranslationY);
    const auto pickup = wave.Record(game, 20);
    EXPECT_FALSE(picked.Get()) << "the treasure was not picked up";
    const double before = wave.Rms(quiet, 0, 20), chime = wave.Rms(pickup, 0, 20);
    std::printf("pickup with the music at 0: %.0f RMS before, %.0f with the chime\n", before, chime);
    EXPECT_GE(db(chime, before), 6.0) << "the pickup is heard";

    // Paused: the level's loops (room tone, idle hum) fall silent under the pause menu while the menu's
    // own sounds play, and come back with the game; the music stays at 0 so that only they could be
    // heard. Resume is pointed at (one hover blip) and clicked, which closes the menu (one click).
    const std::string hover = "EventInstance::start event:/Menu/Menu_ButtonHover";
    int held = 0;
    game.Key(GLFW_KEY_ESCAPE, true);
    game.onFrame = [&] {
        if (++held == 3)
            game.Key(GLFW_KEY_ESCAPE, false);
    };
    const auto opening = wave.Record(game, 25);
    game.onFrame = nullptr;
    game.Run(40);
    const auto paused = wave.Record(game, 60);
    const std::string click = "EventInstance::start event:/Menu/Menu_ButtonClick";
    const int hoversBefore = studio::inspect::CountCalls(hover), clicksBefore = studio::inspect::CountCalls(click);
    ASSERT_TRUE(game.Click("PauseResume"));
    const int blips = studio::inspect::CountCalls(hover) - hoversBefore;
    const int clicks = studio::inspect::CountCalls(click) - clicksBefore;
    game.Run(10);
    const auto resumed = wave.Record(game, 60);
    std::printf("pause menu opening %.0f RMS, paused %.1f RMS, resumed %.0f RMS, %d hover blips\n",
                wave.Rms(opening, 0, 25), wave.Rms(paused, 0, 60), wave.Rms(resumed, 0, 60), blips);
    EXPECT_GT(wave.Rms(opening, 0, 25), 1000.0) << "the pause menu's sound";
    EXPECT_LT(wave.Rms(paused, 0, 60), 3.0) << "the level's loops play under the pause menu";
    EXPECT_GT(wave.Rms(resumed, 0, 60), 30.0) << "the level's loops did not come back";
    EXPECT_EQ(blips, 1);
    EXPECT_EQ(clicks, 1);

    // Two lasers on and in range; one is deleted (its end-of-life record stops the shared hum): the
    // other keeps it going.
    BehaviorLaser* permanent = nullptr;
    for (GameObject* object : gGameObjectManager->FindGameObjects("LaserPermanent"))
        permanent = dynamic_cast<BehaviorLaser*>(object->GetBehavior());
    ASSERT_NE(permanent, nullptr);
    cycling->persistent = true;
    cycling->GetOwner()->GetTransform()->SetTranslation(4.5f, 6.0f);
    EXPECT_TRUE(game.Drive({{4.0f, 10.0f}, {3.0f, 8.0f}}));
    game.RunUntil([&] { return cycling->on && cycling->GetCurrentState() == BehaviorLaser::STATE_ON; }, 300);
    game.Run(30);
    const double both = wave.Band(wave.Record(game, 60), 0, 60, HUM_HZ);
    permanent->GetOwner()->RequestDestroy();
    game.Run(10);
    const double one = wave.Band(wave.Record(game, 60), 0, 60, HUM_HZ);
    std::printf("hum band with two lasers %.0f, after one is deleted %.0f\n", both, one);
    EXPECT_GT(db(one, away), 12.0) << "the hum stopped with the deleted laser";

    // The loudest settings with much at once: the music at 10, effects at 10, every one-shot of the
    // level together beside the laser. No sample reaches full scale.
    global("MusicSlider", 10.0f);
    global("SFXSlider", 10.0f);
    game.Run(5);
    for (const char* shot : {"Elevator_Countdown", "Player_Ping", "Player_Damage", "Chute_TreasureTurnIn",
                             "Player_Pickup", "ChargingStaion_PowerOn", "Player_BatteryMedium", "Player_Collision"}) {
        send("Event_Play", shot);
        send("Event_Destroy", shot);
    }
    const auto loud = wave.Record(game, 90);
    const double peak = wave.Peak(loud, 0, 90);
    std::printf("loudest settings: peak %.0f of 32767 (%.4f)\n", peak, peak / 32767.0);
    EXPECT_LT(peak, 0.9 * 32767.0) << "no headroom at the loudest settings";
    // To listen to the recording: DUSTRUN_KEEP_RECORDING names where a copy goes.
    if (const char* keep = std::getenv("DUSTRUN_KEEP_RECORDING"))
        fs::copy_file(wave.folder / "out.wav", keep, fs::copy_options::overwrite_existing);

    // Every laser gone, 10 s of the level while the player drives about: no trace line is written more
    // than twice (the hum's missing instance is told once).
    for (const char* name : {"Laser", "LaserPermanent"})
        for (GameObject* object : gGameObjectManager->FindGameObjects(name))
            object->RequestDestroy();
    const int start = game.frames;
    std::istringstream traced(CaptureConsole([&] {
        EXPECT_TRUE(game.Drive({{4.0f, 10.0f}, {7.0f, 7.0f}, {9.0f, 7.0f}}));
        game.Run(std::max(0, 600 - (game.frames - start)));
    }));
    std::map<std::string, int> written;
    for (std::string line; std::getline(traced, line);)
        ++written[line];
    for (const auto& [line, count] : written)
        EXPECT_LE(count, 2) << line;
    EXPECT_EQ(written["Instance, \"Obstacle_LaserHum\" does not exist."], 1);
    EXPECT_EQ(Joined(game.ProblemLines()), "");
}

} // namespace
