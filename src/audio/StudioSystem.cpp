#include "audio/StudioSystem.h"

#include <iterator>

#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "world/Physics.h"

studio::System gFmodStudioSystem;
studio::CoreSystem gFmodCoreSystem;
studio::Result gFmodResult = studio::OK;
bool gLiveUpdate = false;
std::string gLiveUpdatePath;
studio::Attributes3D gListenerAttributes;
std::map<std::string, studio::Bank> gBanks;
std::map<std::string, studio::Bus> gBuses;
std::map<std::string, studio::EventDescription> gEventDescriptions;
std::map<std::string, studio::EventInstance> gEventInstances;

namespace {

constexpr const char* kGuidsPath = "assets/data/audio/GUIDs.txt";
constexpr const char* kBankFolder = "assets/audio/banks/";
// Where a GUIDs line's name starts: after the braced GUID, one blank and the path's prefix.
constexpr std::size_t kBankColumn = 45;
constexpr std::size_t kBusColumn = 44;
constexpr std::size_t kEventColumn = 46;
constexpr std::size_t kGuidLength = 38;

// The first entry, in key order, whose key contains the name; end() when none.
template <typename Handle>
typename std::map<std::string, Handle>::iterator Lookup(std::map<std::string, Handle>& registry, const std::string& name)
{
    for (auto it = registry.begin(); it != registry.end(); ++it) {
        if (it->first.find(name) != std::string::npos)
            return it;
    }
    return registry.end();
}

std::string AfterLastSlash(std::string text)
{
    std::size_t slash;
    while ((slash = text.find('/')) != std::string::npos)
        text = text.substr(slash + 1);
    return text;
}

studio::Attributes3D Placed(float x, float y)
{
    studio::Attributes3D attributes;
    attributes.position = {x, y, 0.0f};
    attributes.forward = {0.0f, 1.0f, 0.0f};
    attributes.up = {0.0f, 0.0f, 1.0f};
    return attributes;
}

AudioClip EventParameter(const std::string& event, const std::string& parameter, float value)
{
    AudioClip clip;
    clip.eventName = event;
    clip.paramName = parameter;
    clip.paramValue = value;
    return clip;
}

} // namespace

StudioSystem::StudioSystem()
{
    gFmodResult = studio::System::create(&gFmodStudioSystem, studio::HEADER_VERSION);
    gFmodResult = gFmodStudioSystem.getCoreSystem(&gFmodCoreSystem);
    gFmodResult = gFmodCoreSystem.setSoftwareFormat(0, studio::SPEAKERMODE_STEREO, 0);

    Stream settings("audio/AudioSystemSettings", StreamMode_Data, false);
    gLiveUpdate = settings.ReadBool("LiveUpdateToggle");
    gLiveUpdatePath = settings.ReadString("LiveUpdateFilePath");

    gFmodResult = gFmodStudioSystem.initialize(512, gLiveUpdate ? studio::INIT_LIVEUPDATE : studio::INIT_NORMAL,
                                               0, nullptr);
    LoadGUIDs();
}

StudioSystem::~StudioSystem()
{
    gFmodResult = gFmodStudioSystem.release();
    // The handles died with the studio system; a later system starts from empty registries.
    gBanks.clear();
    gBuses.clear();
    gEventDescriptions.clear();
    gEventInstances.clear();
}

void StudioSystem::Init()
{
    gListenerAttributes = Placed(0.0f, 0.0f);
    gListenerAttributes.velocity = {0.0f, 0.0f, 0.0f};
}

void StudioSystem::LoadGUIDs()
{
    const std::string path = gLiveUpdate ? gLiveUpdatePath + "GUIDs.txt" : std::string(kGuidsPath);
    Stream file(path.c_str(), StreamMode_Path, false);
    if (!file.IsValid()) {
        Trace("Failed to open from file path %s", path.c_str());
        return;
    }
    Trace("Successfully opened from file path %s", path.c_str());

    std::size_t start = 0;
    const std::string& text = file.text;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        std::size_t column = 0;
        if (line.find("bank:/") != std::string::npos)
            column = kBankColumn;
        else if (line.find("bus:/") != std::string::npos)
            column = kBusColumn;
        else if (line.find("event:/") != std::string::npos)
            column = kEventColumn;
        else
            continue;
        if (line.size() < column) {
            Trace("GUIDs line \"%s\" is too short to name anything; skipped", line.c_str());
            continue;
        }
        const std::string key = AfterLastSlash(line.substr(column));
        const std::string guid = line.substr(0, kGuidLength);
        if (column == kBankColumn) {
            const std::string bankPath =
                gLiveUpdate ? gLiveUpdatePath + "Desktop/" + key + ".bank" : kBankFolder + key + ".bank";
            studio::Bank bank;
            gFmodResult = gFmodStudioSystem.loadBankFile(bankPath.c_str(), studio::LOAD_BANK_NORMAL, &bank);
            gBanks[key] = bank;
            if (gFmodResult == studio::OK)
                Trace("%s bank successfully read and added to list of banks!", key.c_str());
        } else if (column == kBusColumn) {
            studio::Bus bus;
            gFmodResult = gFmodStudioSystem.getBus(guid.c_str(), &bus);
            gBuses[key] = bus;
        } else {
            studio::EventDescription description;
            gFmodResult = gFmodStudioSystem.getEvent(guid.c_str(), &description);
            gEventDescriptions[key] = description;
        }
    }
}

studio::EventDescription StudioSystem::FindEventDescription(std::string name)
{
    auto it = Lookup(gEventDescriptions, name);
    if (it != gEventDescriptions.end())
        return it->second;
    Trace("Couldn't find %s", name.c_str());
    Trace(" event description. Make sure the event exists in the GUID.txt and that you typed in the event name "
          "correctly.\n");
    return {};
}

studio::EventInstance StudioSystem::FindEventInstance(std::string name)
{
    auto it = Lookup(gEventInstances, name);
    return it != gEventInstances.end() ? it->second : studio::EventInstance{};
}

studio::Bus StudioSystem::FindBus(std::string name)
{
    auto it = Lookup(gBuses, name);
    if (it != gBuses.end())
        return it->second;
    Trace("Couldn't find %s", name.c_str());
    Trace(" bus. Make sure the bus exists in the GUID.txt and that you typed in the bus name correctly.\n");
    return {};
}

float StudioSystem::GetMixerVolume(std::string busName)
{
    const char* parameter = busName == "Music" ? "MusicSlider" : busName == "SFX" ? "SFXSlider" : nullptr;
    if (!parameter)
        return 0.0f;
    float value = 0.0f;
    gFmodResult = gFmodStudioSystem.getParameterByName(parameter, &value, nullptr);
    return gFmodResult == studio::OK ? value : 0.0f;
}

void StudioSystem::Update(float dt)
{
    gFmodResult = gFmodStudioSystem.update();
    gFmodResult = gFmodStudioSystem.setListenerAttributes(0, gListenerAttributes, nullptr);

    AudioClip master;
    master.busName = "";
    master.busVolume = mainVolume / 100.0f;
    SendMessage(std::string("Set_Bus_Volume"), master, nullptr);

    PlayerSounds(dt);
}

void StudioSystem::PlayerSounds(float dt)
{
    GameObject* player = gGameObjectManager ? gGameObjectManager->FindGameObject("Player") : nullptr;
    if (!player) {
        // The player's loops ended with it; the next player starts standing still.
        lastVelocityX = lastVelocityY = lastRotationalVelocity = 0.0f;
        return;
    }
    Physics* physics = player->GetPhysics();
    if (!physics)
        return;
    const float vx = physics->VelocityX;
    const float vy = physics->VelocityY;
    const float r = physics->RotationalVelocity;
    const bool still = vx == 0.0f && vy == 0.0f;
    const bool wasStill = lastVelocityX == 0.0f && lastVelocityY == 0.0f;
    const bool newPlayer = lastPlayer.Get() != player;
    lastPlayer.Set(player);
    if (still && newPlayer) {
        // A player that starts out standing still hums from its first frame.
        SendMessage(std::string("Event_Play"), "Player_Idle", nullptr);
    } else if (still && !wasStill) {
        SendMessage(std::string("Change_Event_Param"), EventParameter("Player_Movement", "Moving", 1.0f), nullptr);
        SendMessage(std::string("Event_Destroy"), "Player_Movement", nullptr);
        SendMessage(std::string("Event_Play"), "Player_Idle", nullptr);
    } else if (!still && wasStill && dt != 0.0f) {
        SendMessage(std::string("Event_Stop"), "Player_Idle", nullptr);
        SendMessage(std::string("Event_Destroy"), "Player_Idle", nullptr);
        SendMessage(std::string("Event_Play"), "Player_Movement", nullptr);
    }
    if (r == 0.0f && lastRotationalVelocity != 0.0f) {
        SendMessage(std::string("Change_Event_Param"), EventParameter("Player_Turning", "Turning", 1.0f), nullptr);
        SendMessage(std::string("Event_Destroy"), "Player_Turning", nullptr);
    } else if (r != 0.0f && lastRotationalVelocity == 0.0f && dt != 0.0f) {
        SendMessage(std::string("Event_Play"), "Player_Turning", nullptr);
    }
    lastVelocityX = vx;
    lastVelocityY = vy;
    lastRotationalVelocity = r;
}

void StudioSystem::HandleMessage(Message* message)
{
    if (!message)
        return;
    const std::string& name = message->name;
    // Names some senders use for commands of the table.
    if (name == "Event_Change_Param")
        Command("Change_Event_Param", message);
    else if (name == "Event_Play_!Destroy")
        Command("Event_Play", message);
    else if (name == "Event_StopDestroy") {
        Command("Event_Stop", message);
        Command("Event_Destroy", message);
    } else if (name == "Global_Change_Param")
        Command("Change_Global_Param", message);
    else
        Command(name, message);
}

void StudioSystem::InstanceMade(const std::string& event)
{
    // Instances are found by a part of their name: every told name this one answers to is told again.
    for (auto it = toldMissing.begin(); it != toldMissing.end();)
        it = event.find(*it) != std::string::npos ? toldMissing.erase(it) : std::next(it);
}

void StudioSystem::Command(const std::string& name, Message* message)
{
    if (name == "Event_CreateInstance") {
        const std::string event = message->GetString();
        if (FindEventInstance(event)) {
            Trace("Event, \"%s\" instance already exists.", event.c_str());
            return;
        }
        studio::EventInstance instance;
        gFmodResult = FindEventDescription(event).createInstance(&instance);
        gEventInstances[event] = instance;
        if (instance)
            InstanceMade(event);
    } else if (name == "Event_Play") {
        const std::string event = message->GetString();
        if (studio::EventInstance instance = FindEventInstance(event)) {
            gFmodResult = instance.start();
            return;
        }
        studio::EventInstance instance;
        gFmodResult = FindEventDescription(event).createInstance(&instance);
        gFmodResult = instance.start();
        gEventInstances[event] = instance;
        if (instance)
            InstanceMade(event);
    } else if (name == "Event_Stop") {
        if (studio::EventInstance instance = FindEventInstance(message->GetString()))
            gFmodResult = instance.stop(studio::STOP_IMMEDIATE);
    } else if (name == "Event_Destroy") {
        // The entry the lookup found is the one released, so it is the one forgotten.
        auto it = Lookup(gEventInstances, message->GetString());
        if (it != gEventInstances.end() && it->second) {
            gFmodResult = it->second.release();
            gEventInstances.erase(it);
        }
    } else if (name == "Change_Event_Param") {
        const AudioClip clip = message->GetAudioClip();
        studio::EventInstance instance = FindEventInstance(clip.eventName);
        if (!instance) {
            // Told once, and again only once the instance has existed in between.
            if (toldMissing.insert(clip.eventName).second)
                Trace("Instance, \"%s\" does not exist.", clip.eventName.c_str());
            return;
        }
        gFmodResult = instance.setParameterByName(clip.paramName.c_str(), clip.paramValue, false);
    } else if (name == "Set_Bus_Volume") {
        const AudioClip clip = message->GetAudioClip();
        if (studio::Bus bus = FindBus(clip.busName))
            gFmodResult = bus.setVolume(clip.busVolume);
    } else if (name == "Set_Bus_Mute") {
        if (studio::Bus bus = FindBus(message->GetString())) {
            bool mute = false;
            gFmodResult = bus.getMute(&mute);
            gFmodResult = bus.setMute(!mute);
        }
    } else if (name == "Set_Bus_Paused") {
        if (studio::Bus bus = FindBus(message->GetString())) {
            bool paused = false;
            gFmodResult = bus.getPaused(&paused);
            gFmodResult = bus.setPaused(!paused);
        }
    } else if (name == "Force_Pause" || name == "Force_Unpause") {
        const bool paused = name == "Force_Pause";
        for (const char* busName : {"Music", "SFX"}) {
            if (studio::Bus bus = FindBus(busName))
                gFmodResult = bus.setPaused(paused);
        }
    } else if (name == "Change_Global_Param") {
        const AudioClip clip = message->GetAudioClip();
        gFmodResult = gFmodStudioSystem.setParameterByName(clip.paramName.c_str(), clip.paramValue, false);
    } else if (name == "Event_Position_Vector") {
        const AudioClip clip = message->GetAudioClip();
        if (studio::EventInstance instance = FindEventInstance(clip.eventName))
            gFmodResult = instance.set3DAttributes(Placed(-clip.position[0], clip.position[1]));
    } else if (name == "studioListener_PositionVector") {
        const std::array<float, 4> position = message->GetVector();
        gListenerAttributes.position.x = -position[0];
        gListenerAttributes.position.y = position[1];
    } else if (name == "EnterCreditsAudio") {
        auto it = gEventInstances.find("Music_Controller");
        if (it != gEventInstances.end())
            gFmodResult = it->second.getParameterByName("GameState", &savedGameState, nullptr);
        SendMessage(std::string("Change_Event_Param"), EventParameter("Music_Controller", "GameState", 4.0f), nullptr);
    } else if (name == "ExitCreditsAudio") {
        SendMessage(std::string("Change_Event_Param"), EventParameter("Music_Controller", "GameState", savedGameState),
                    nullptr);
    }
}
