// Audio, window and other functions of the script API. Sounds move only through the audio messages,
// sent by name from the LuaAPI system to no particular target.
#include <algorithm>
#include <cmath>

#include "core/Trace.h"
#include "core/Vector2f.h"
#include "graphics/Window.h"
#include "platform/lua/Lua.h"
#include "script/LuaAPI_Functions.h"
#include "script/LuaAPI_System.h"

#if __has_include("audio/StudioSystem.h")
#include "audio/StudioSystem.h"
#define DUSTRUN_HAVE_STUDIO_SYSTEM 1
#endif

std::vector<std::string> gLoopedSounds;

namespace {

using luaapi::Lower;

const char* const kTypeMissing = "[Lua] Error: Type Does Not Exist";

void Send(const char* messageName, const std::string& text)
{
    if (gLuaAPI)
        gLuaAPI->SendMessage(std::string(messageName), text.c_str(), nullptr);
}

void PlaySound(std::string eventName, bool looped)
{
    if (luaapi::SceneChangePending() && (eventName == "Player_Ping" || eventName == "Menu_PauseOn"))
        return;
    Send("Event_Play", eventName);
    if (looped)
        gLoopedSounds.push_back(eventName);
    else
        Send("Event_Destroy", eventName);
}

void StopLoopedSound(std::string eventName)
{
    auto found = std::find(gLoopedSounds.begin(), gLoopedSounds.end(), eventName);
    if (found == gLoopedSounds.end())
        return;
    // Stopped at once, then released.
    Send("Event_Stop", eventName);
    Send("Event_Destroy", eventName);
    gLoopedSounds.erase(found);
}

// The bus key of a bus word ("all" is the master bus, whose key is empty); false for other words.
bool BusFromWord(const std::string& word, std::string& bus)
{
    const std::string lower = Lower(word);
    if (lower == "all")
        bus = "";
    else if (lower == "ambience")
        bus = "Ambience";
    else if (lower == "music")
        bus = "Music";
    else if (lower == "sfx")
        bus = "SFX";
    else
        return false;
    return true;
}

void BusCommand(const char* messageName, const std::string& word)
{
    std::string bus;
    if (!BusFromWord(word, bus)) {
        Trace(kTypeMissing);
        return;
    }
    Send(messageName, bus);
}

void SetVolume(std::string typeWord, float value)
{
    const std::string lower = Lower(typeWord);
    AudioClip clip;
    if (lower == "music")
        clip.paramName = "MusicSlider";
    else if (lower == "sfx")
        clip.paramName = "SFXSlider";
    else {
        Trace(kTypeMissing);
        return;
    }
    clip.paramValue = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 10.0f);
    if (gLuaAPI)
        gLuaAPI->SendMessage(std::string("Change_Global_Param"), clip, nullptr);
}

float MixerVolume([[maybe_unused]] const std::string& bus)
{
#ifdef DUSTRUN_HAVE_STUDIO_SYSTEM
    return StudioSystem::GetMixerVolume(bus);
#else
    return 0.0f;  // no audio in this build: nothing is playing at any volume
#endif
}

float GetVolume(std::string typeWord)
{
    const std::string lower = Lower(typeWord);
    if (lower == "music")
        return MixerVolume("Music");
    if (lower == "sfx")
        return MixerVolume("SFX");
    Trace(kTypeMissing);
    return -1.0f;
}

bool DoesTableContain(std::vector<std::string> elements, std::string text)
{
    for (const std::string& element : elements)
        if (element.find(text) != std::string::npos)
            return true;
    return false;
}

lua__Engine_vector_math::Vector2f GetPlayerEyesTranslation(float, float, float angle)
{
    return lua__Engine_vector_math::Vector2f(-0.19f * std::sin(angle), 0.19f * std::cos(angle));
}

} // namespace

void RegisterAudioFunctions(lua::State& state)
{
    state.SetFunction("PlaySound", &PlaySound);
    state.SetFunction("GetCurrentlyLoopedSounds", []() { return gLoopedSounds; });
    state.SetFunction("StopLoopedSound", &StopLoopedSound);
    state.SetFunction("PauseAudioBus", [](std::string word) { BusCommand("Set_Bus_Paused", word); });
    state.SetFunction("MuteAudioBus", [](std::string word) { BusCommand("Set_Bus_Mute", word); });
    state.SetFunction("SetVolume", &SetVolume);
    state.SetFunction("GetVolume", &GetVolume);
}

void RegisterWindowFunctions(lua::State& state)
{
    state.SetFunction("SetGlobalAlpha", [](float alpha) { SetGlobalAlpha(alpha); });
    state.SetFunction("IsFullscreen", []() { return IsFullscreen(); });
    state.SetFunction("SetWindowed", []() { SetWindowed(); });
    state.SetFunction("SetFullscreen", []() { SetFullscreen(); });
    state.SetFunction("DoesTableContain", &DoesTableContain);
    state.SetFunction("GetPlayerEyesTranslation", &GetPlayerEyesTranslation);
}
