// Audio banks and the GUIDs file through the studio layer and the StudioSystem that loads them, then
// commands on what was loaded. The input holds, separated by lines "====": "audio/GUIDs.txt", the
// banks "Master", "Music" and "SFX", "audio/AudioSystemSettings", and a list of commands, one a line:
// a message name and its text (or event, parameter and value for the messages that carry numbers).
// No audio device is opened: the layer plays through its silent output on a fixed clock.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "FuzzWorld.h"
#include "audio/StudioSystem.h"
#include "core/Message.h"
#include "platform/studio/Studio.h"

namespace {

AudioClip Clip(const std::string& event, const std::string& parameter, float value)
{
    AudioClip clip;
    clip.eventName = event;
    clip.paramName = parameter;
    clip.paramValue = value;
    clip.busName = event;
    clip.busVolume = value;
    clip.position = {value, -value, 0.0f, 0.0f};
    return clip;
}

// The names a registry holds, at most `most` of them.
template <typename Map>
std::vector<std::string> Keys(const Map& registry, std::size_t most)
{
    std::vector<std::string> keys;
    for (const auto& entry : registry) {
        if (keys.size() == most)
            break;
        keys.push_back(entry.first);
    }
    return keys;
}

// Messages that carry an AudioClip; the others carry text.
bool TakesClip(const std::string& name)
{
    return name == "Change_Event_Param" || name == "Event_Change_Param" || name == "Set_Bus_Volume" ||
           name == "Change_Global_Param" || name == "Global_Change_Param" || name == "Event_Position_Vector";
}

void Send(fuzz::World& world, const std::string& name, const std::string& text, const std::string& parameter = "",
          float value = 0.0f)
{
    if (TakesClip(name))
        world.engine->SendMessage(name, Clip(text, parameter, value), nullptr);
    else if (name == "studioListener_PositionVector")
        world.engine->SendMessage(name, value, -value, 0.0f, 0.0f, nullptr);
    else
        world.engine->SendMessage(name, text.c_str(), nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = [] {
        fuzz::SetUp();
        // A back end of no name: OpenAL Soft opens no device, so the layer uses its silent output.
        setenv("ALSOFT_DRIVERS", "none", 1);
        // The banks name the shipped sounds by their path under the working folder.
        std::error_code ec;
        std::filesystem::create_directories("assets/audio/banks", ec);
        std::filesystem::create_directory_symlink(std::filesystem::path(DUSTRUN_SOURCE_DIR) / "assets/audio/sounds",
                                                  "assets/audio/sounds", ec);
        studio::inspect::SetSilentClockStep(0.25f);
        return true;
    }();
    (void)ready;
    const auto parts = fuzz::Parts(data, size, 6);
    fuzz::Put("assets/data/audio/GUIDs.txt", parts[0]);
    fuzz::Put("assets/audio/banks/Master.bank", parts[1]);
    fuzz::Put("assets/audio/banks/Music.bank", parts[2]);
    fuzz::Put("assets/audio/banks/SFX.bank", parts[3]);
    fuzz::Put("assets/data/audio/AudioSystemSettings.json", parts[4]);

    fuzz::World world;
    auto* audio = new StudioSystem();
    world.engine->AddSystem(audio);
    world.engine->Init();
    if (studio::inspect::HasDevice())
        std::abort(); // the fuzzer never plays sound

    // Every loaded event played, moved, changed and stopped; every bus turned; the credits music.
    const auto events = Keys(gEventDescriptions, 12);
    const auto buses = Keys(gBuses, 6);
    for (const std::string& event : events) {
        Send(world, "Event_Play", event);
        Send(world, "Event_Position_Vector", event, "", 3.0f);
        Send(world, "Change_Event_Param", event, "GameState", 2.0f);
    }
    for (const std::string& bus : buses) {
        Send(world, "Set_Bus_Volume", bus, "", 0.5f);
        Send(world, "Set_Bus_Mute", bus);
        Send(world, "Set_Bus_Paused", bus);
    }
    Send(world, "Change_Global_Param", "", "MusicSlider", 4.0f);
    Send(world, "EnterCreditsAudio", "");
    Send(world, "Force_Pause", "");
    world.Deliver();
    audio->Update(0.25f);
    Send(world, "ExitCreditsAudio", "");
    Send(world, "Force_Unpause", "");

    // The input's own commands.
    std::istringstream commands(parts[5]);
    std::string line;
    for (int count = 0; count < 64 && std::getline(commands, line); ++count) {
        std::istringstream words(line);
        std::string name, text, parameter;
        float value = 0.0f;
        words >> name >> text >> parameter >> value;
        Send(world, name, text, parameter, value);
        if (count % 8 == 7) {
            world.Deliver();
            audio->Update(0.25f);
        }
    }
    world.Deliver();
    for (int step = 0; step < 4; ++step) {
        audio->Update(0.25f);
        world.Deliver();
    }
    for (const std::string& event : events) {
        Send(world, "Event_Stop", event);
        Send(world, "Event_Destroy", event);
    }
    world.Deliver();
    audio->Update(0.25f);
    // The layer's call log is for tests; it would grow over the whole run.
    studio::inspect::ClearCallLog();
    return 0;
}
