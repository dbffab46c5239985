// Real output: OpenAL Soft's wave-file back end (chosen by a config file named in ALSOFT_CONF) records
// what the studio layer plays. The test waits for the file to grow rather than for the clock, so each
// stretch of the recording is known by its sample offsets.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "CoreEngine.h"
#include "TestFiles.h"
#include "audio/StudioSystem.h"
#include "core/Engine.h"
#include "platform/studio/Studio.h"

using namespace testsupport;

namespace {

constexpr int kRate = 22050;
constexpr int kChannels = 2;
constexpr std::uintmax_t kFrameBytes = 2 * kChannels;

// OpenAL Soft reads its configuration once a process, when the first device opens: every test here
// records into the same file, which each new device writes afresh.
const ScratchDir waveFolder("wave");
const bool waveOutput = [] {
    waveFolder.Write("alsoft.conf", "[general]\ndrivers = wave\nfrequency = " + std::to_string(kRate) +
                                        "\nchannels = stereo\nsample-type = int16\ndither = false\n[wave]\nfile = " +
                                        (waveFolder / "out.wav").string() + "\n");
    return setenv("ALSOFT_CONF", (waveFolder / "alsoft.conf").c_str(), 1) == 0;
}();

class WaveOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        CaptureConsole([&] {
            audio = new StudioSystem();
            core.engine->AddSystem(audio);
            audio->Init();
        });
        ASSERT_TRUE(studio::inspect::HasDevice()) << "the wave-file back end did not open";
    }

    // Sample frames written so far (they follow the file's 'data' tag and its size field).
    std::uintmax_t Frames()
    {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(folder / "out.wav", ec);
        if (header == 0) {
            const std::size_t tag = ReadFile(folder / "out.wav").substr(0, 256).find("data");
            header = tag == std::string::npos ? 0 : tag + 8;
        }
        return ec || header == 0 || size < header ? 0 : (size - header) / kFrameBytes;
    }
    // Lets the mixer render this much more sound, ticking the audio system meanwhile.
    std::pair<std::uintmax_t, std::uintmax_t> Render(double seconds)
    {
        const std::uintmax_t from = Frames();
        const std::uintmax_t to = from + static_cast<std::uintmax_t>(seconds * kRate);
        for (int i = 0; i < 2000 && Frames() < to; ++i) {
            core.Deliver();
            audio->Update(1.0f / 60.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return {from, to};
    }
    void Send(const std::string& name, const std::string& text) { core.engine->SendMessage(name, text.c_str(), nullptr); }

    const ScratchDir& folder = waveFolder;
    CoreEngine core;
    StudioSystem* audio = nullptr;
    std::uintmax_t header = 0;
};

// Samples of one channel-interleaved int16 file, from its 'data' chunk.
std::vector<std::int16_t> ReadSamples(const fs::path& path)
{
    const std::string bytes = ReadFile(path);
    const std::size_t data = bytes.find("data");
    std::vector<std::int16_t> samples;
    for (std::size_t i = data == std::string::npos ? bytes.size() : data + 8; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                    (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return samples;
}

struct Stretch {
    double rms = 0.0;
    double loudSeconds = 0.0;   // from the first to the last frame above the threshold
};

Stretch Measure(const std::vector<std::int16_t>& samples, std::pair<std::uintmax_t, std::uintmax_t> frames)
{
    Stretch s;
    double sum = 0.0;
    long first = -1, last = -1, count = 0;
    for (std::uintmax_t f = frames.first; f < frames.second && (f + 1) * kChannels <= samples.size(); ++f) {
        for (int c = 0; c < kChannels; ++c) {
            const double v = samples[f * kChannels + c];
            sum += v * v;
            ++count;
            if (std::abs(v) > 200.0) {
                first = first < 0 ? static_cast<long>(f) : first;
                last = static_cast<long>(f);
            }
        }
    }
    s.rms = count ? std::sqrt(sum / count) : 0.0;
    s.loudSeconds = first < 0 ? 0.0 : static_cast<double>(last - first) / kRate;
    return s;
}

TEST_F(WaveOutput, PingHumAndDistanceReachTheRecording)
{
    Render(0.2);
    Send("Event_Play", "Player_Ping");   // about 0.8 s
    Send("Event_Destroy", "Player_Ping");
    const auto ping = Render(1.5);

    auto hum = [&](float x) {
        Send("Event_Play", "Obstacle_LaserHum");
        AudioClip at;
        at.eventName = "Obstacle_LaserHum";
        at.position = {x, 0.0f, 0.0f, 0.0f};
        core.engine->SendMessage(std::string("Event_Position_Vector"), at, nullptr);
        Render(0.3);   // settle
        const auto playing = Render(0.6);
        Send("Event_Stop", "Obstacle_LaserHum");
        Render(0.3);
        return std::make_pair(playing, Render(0.5));
    };
    const auto [near, afterNear] = hum(1.0f);
    const auto [far, afterFar] = hum(40.0f);
    Send("Event_Destroy", "Obstacle_LaserHum");
    // Paused buses hold a new sound until they go on; a muted bus is silent.
    Send("Force_Pause", "");
    Send("Event_Play", "Player_Ping");
    const auto held = Render(0.5);
    Send("Force_Unpause", "");
    const auto resumed = Render(0.5);
    Send("Set_Bus_Mute", "SFX");
    Send("Event_Play", "Player_Ping");
    Render(0.1);
    const auto muted = Render(0.5);
    core.engine->RemoveSystem("StudioSystem");   // closes the device, which completes the file

    const std::vector<std::int16_t> samples = ReadSamples(folder / "out.wav");
    ASSERT_GT(samples.size(), static_cast<std::size_t>(4 * kRate * kChannels));
    const Stretch pingStretch = Measure(samples, ping);
    EXPECT_GT(pingStretch.loudSeconds, 0.5);
    EXPECT_LT(pingStretch.loudSeconds, 1.0);
    const Stretch nearHum = Measure(samples, near), farHum = Measure(samples, far);
    EXPECT_GT(nearHum.rms, 1000.0);
    EXPECT_LT(farHum.rms, 0.5 * nearHum.rms) << "40 units away is quieter than 1 unit";
    EXPECT_GT(farHum.rms, 10.0) << "but still heard";
    EXPECT_LT(Measure(samples, afterNear).rms, 1.0) << "a stopped hum is silent";
    EXPECT_LT(Measure(samples, afterFar).rms, 1.0);
    EXPECT_LT(Measure(samples, held).rms, 1.0);
    EXPECT_GT(Measure(samples, resumed).rms, 100.0);
    EXPECT_LT(Measure(samples, muted).rms, 1.0);
}

TEST_F(WaveOutput, TheMixComesBackAfterALoudBurst)
{
    // The hum beside the listener, then every loud one-shot at once over it: the limiter turns the
    // whole mix down, and once the burst is over the hum is as loud as before it.
    Render(0.2);
    Send("Event_Play", "Obstacle_LaserHum");
    Render(0.5);
    const auto before = Render(1.0);
    for (const char* shot : {"Player_Ping", "Player_Damage", "Chute_TreasureTurnIn", "Player_Pickup",
                             "ChargingStaion_PowerOn", "Player_BatteryMedium", "Player_Collision", "Dance_Finale"}) {
        Send("Event_Play", shot);
        Send("Event_Destroy", shot);
    }
    const auto burst = Render(0.3);
    Render(2.5);   // the burst's sounds end within 1.1 s
    const auto after = Render(1.0);
    core.engine->RemoveSystem("StudioSystem");

    const std::vector<std::int16_t> samples = ReadSamples(folder / "out.wav");
    const double hum = Measure(samples, before).rms, loud = Measure(samples, burst).rms;
    const double back = Measure(samples, after).rms;
    std::printf("hum %.0f RMS, with the burst %.0f, after it %.0f\n", hum, loud, back);
    EXPECT_GT(hum, 1000.0);
    EXPECT_GT(loud, 1.2 * hum) << "the burst is heard";
    EXPECT_NEAR(back, hum, 0.1 * hum) << "the mix stays turned down after the burst";
}

} // namespace
