#include "app/SavedOptions.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "core/Stream.h"
#include "core/Trace.h"
#include "script/LuaAPI_System.h"
#include "ui/MenuEntry.h"

namespace {

const char* const OPTIONS_MENU = "menus/Options";
const char* const MUTED_AMBIENCE = "Ambience_Muted";

// The calls the options screen's watcher and widget scripts make, with the saved values (a value
// that is nil was not saved and is left alone).
const char* const APPLY_CODE = R"(
if SavedFullscreen ~= nil and SavedFullscreen ~= IsFullscreen() then
    if SavedFullscreen then SetFullscreen() else SetWindowed() end
end
if SavedMaster ~= nil then _G.MasterVolume = SavedMaster end
local master = SavedMaster or 1.0
if SavedMusic ~= nil then SetVolume("music", SavedMusic * master) end
if SavedSfx ~= nil then SetVolume("sfx", SavedSfx * master) end
if SavedAmbienceMuted ~= nil and (_G.AmbienceMuted or false) ~= SavedAmbienceMuted then
    MuteAudioBus("ambience")
    _G.AmbienceMuted = SavedAmbienceMuted
end
)";

// The option a dropdown entry shows first: its saved "selected" when that is one of its options, else
// its first option ("" without options).
std::string ShownOption(const MenuEntry& entry)
{
    int count = 0;
    if (!entry.GetInt("numOptions", count))
        return "";
    const rapidjson::Value* list = entry.GetArray("options");
    const int available = list ? static_cast<int>(list->Size()) : 0;
    std::vector<std::string> options;
    for (int j = 0; j < std::min(count, available); ++j) {
        const rapidjson::Value& element = (*list)[static_cast<rapidjson::SizeType>(j)];
        if (element.IsString())
            options.emplace_back(element.GetString(), element.GetStringLength());
    }
    if (options.empty())
        return "";
    std::string selected;
    if (entry.GetString("selected", selected) && std::find(options.begin(), options.end(), selected) != options.end())
        return selected;
    return options.front();
}

} // namespace

void ApplySavedOptions()
{
    std::shared_ptr<lua::Environment> saved = LuaAPI_System::NewEnvironment();
    if (!saved || !gLuaAPI)
        return;
    Stream stream(OPTIONS_MENU, StreamMode_Data, false);
    if (!stream.IsValid() || !stream.data.IsObject()) {
        Trace("Saved options: \"%s\" could not be read; the settings stay as they are", OPTIONS_MENU);
        return;
    }
    int count = 0;
    auto list = stream.data.FindMember("MenuObjects");
    if (list != stream.data.MemberEnd() && list->value.IsArray())
        count = static_cast<int>(list->value.Size());
    auto declared = stream.data.FindMember("numMenuObjects");
    if (declared != stream.data.MemberEnd() && declared->value.IsInt())
        count = std::clamp(declared->value.GetInt(), 0, count);

    // The first entry of a name is the widget the screen builds, as the menu loader keeps it.
    std::vector<std::string> seen;
    for (int i = 0; i < count; ++i) {
        MenuEntry entry(stream, i);
        std::string name;
        if (!entry.GetString("Name", name) || std::find(seen.begin(), seen.end(), name) != seen.end())
            continue;
        seen.push_back(name);
        if (name == "FullscreenCheckbox") {
            bool checked = false;   // an unset checkbox starts unchecked
            entry.GetBool("checked", checked);
            saved->Set("SavedFullscreen", checked);
        } else if (name == "MasterSlider") {
            float value = 0.5f;     // a slider's own starting value
            if (entry.GetFloat("StartingPercentage", value))
                value = std::clamp(value, 0.0f, 1.0f);
            saved->Set("SavedMaster", value);
        } else if (name == "MusicVolume" || name == "SFXVolume") {
            int value = 0;
            entry.GetInt("StartingValue", value);
            saved->Set(name == "MusicVolume" ? "SavedMusic" : "SavedSfx", value);
        } else if (name == "AmbienceDropdown") {
            saved->Set("SavedAmbienceMuted", ShownOption(entry) == MUTED_AMBIENCE);
        }
    }

    std::string error;
    if (!gLuaAPI->state.RunString(APPLY_CODE, saved.get(), error))
        Trace("Saved options: %s", error.c_str());
}
