#include "platform/studio/Studio.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>

#include "core/Trace.h"
#include "platform/studio/StudioOutput.h"

namespace studio {

namespace {

// A parameter that shapes the level or the pitch of an instance (or a bus) along a piecewise-linear curve.
struct Effect {
    std::string parameter;
    bool pitch = false;
    std::vector<std::pair<float, float>> curve;   // (parameter value, factor), ascending values
};

struct BusData {
    std::uint64_t system = 0;
    std::uint64_t bank = 0;
    std::string guid;
    std::string path;
    std::string parentGuid;
    float gain = 1.0f;     // the bank's fixed mix level, beneath the volume set at run time
    float volume = 1.0f;
    bool mute = false;
    bool paused = false;
    std::vector<Effect> effects;   // on global parameters
};

struct EventData {
    std::uint64_t system = 0;
    std::uint64_t bank = 0;
    std::string guid;
    std::string path;
    std::string busGuid;
    bool loop = false;
    bool spatial = false;
    std::map<std::string, float> parameters;   // defaults
    std::vector<Effect> effects;
    std::string variationParameter;             // empty: always sounds[0]
    std::string endLoopParameter;               // the loop ends while this is at or above endLoopAt
    float endLoopAt = 0.0f;
    std::vector<int> sounds;                    // output sound ids (0: unreadable)
};

struct InstanceData {
    std::uint64_t system = 0;
    std::uint64_t event = 0;
    std::map<std::string, float> parameters;
    Attributes3D attributes;
    int voice = 0;
    int sound = 0;          // the variation last played
    bool placed = false;    // a 3D position was given; until then the sound plays at the listener
    bool released = false;
    int starts = 0;
};

struct BankData {
    std::uint64_t system = 0;
    std::string path;
};

struct SystemData {
    bool initialized = false;
    float limiter = 1.0f;   // the master limiter's gain, applied to every voice
    std::uint64_t core = 0;
    std::unique_ptr<Output> output;
    Attributes3D listener;
    std::map<std::string, float> globals;
};

// The tables. Ids come from one counter and are never reused.
std::uint64_t gNextId = 0;
std::map<std::uint64_t, SystemData> gSystems;
std::map<std::uint64_t, std::uint64_t> gCores;   // core id -> system id
std::map<std::uint64_t, BankData> gBanks;
std::map<std::uint64_t, BusData> gBusTable;
std::map<std::uint64_t, EventData> gEvents;
std::map<std::uint64_t, InstanceData> gInstances;
std::vector<std::string> gCallLog;

std::uint64_t NewId()
{
    return ++gNextId;
}

template <typename T>
T* Find(std::map<std::uint64_t, T>& table, std::uint64_t id)
{
    auto it = table.find(id);
    return it == table.end() ? nullptr : &it->second;
}

void Log(const std::string& entry)
{
    gCallLog.push_back(entry);
}

std::string Format(float value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

float Evaluate(const std::vector<std::pair<float, float>>& curve, float x)
{
    if (curve.empty())
        return 1.0f;
    if (x <= curve.front().first)
        return curve.front().second;
    for (std::size_t i = 1; i < curve.size(); ++i) {
        if (x <= curve[i].first) {
            const auto& [x0, y0] = curve[i - 1];
            const auto& [x1, y1] = curve[i];
            return x1 > x0 ? y0 + (y1 - y0) * (x - x0) / (x1 - x0) : y1;
        }
    }
    return curve.back().second;
}

// ---- Bank reading -----------------------------------------------------------------------------------------

std::string StringMember(const rapidjson::Value& object, const char* key)
{
    auto it = object.FindMember(key);
    return it != object.MemberEnd() && it->value.IsString() ? std::string(it->value.GetString(), it->value.GetStringLength())
                                                             : std::string();
}

bool BoolMember(const rapidjson::Value& object, const char* key)
{
    auto it = object.FindMember(key);
    return it != object.MemberEnd() && it->value.IsBool() && it->value.GetBool();
}

std::vector<Effect> ReadEffects(const rapidjson::Value& object, const std::string& owner)
{
    std::vector<Effect> effects;
    auto it = object.FindMember("effects");
    if (it == object.MemberEnd())
        return effects;
    if (!it->value.IsArray()) {
        Trace("Studio: %s: \"effects\" is not a list; none used", owner.c_str());
        return effects;
    }
    for (const rapidjson::Value& entry : it->value.GetArray()) {
        Effect effect;
        if (entry.IsObject()) {
            effect.parameter = StringMember(entry, "parameter");
            effect.pitch = StringMember(entry, "target") == "pitch";
            auto curve = entry.FindMember("curve");
            if (curve != entry.MemberEnd() && curve->value.IsArray()) {
                for (const rapidjson::Value& point : curve->value.GetArray()) {
                    if (point.IsArray() && point.Size() == 2 && point[0].IsNumber() && point[1].IsNumber())
                        effect.curve.emplace_back(point[0].GetFloat(), point[1].GetFloat());
                }
            }
        }
        const bool sorted = std::is_sorted(effect.curve.begin(), effect.curve.end(),
                                           [](const auto& a, const auto& b) { return a.first < b.first; });
        if (effect.parameter.empty() || effect.curve.empty() || !sorted) {
            Trace("Studio: %s: an effect without a parameter or an ascending curve is skipped", owner.c_str());
            continue;
        }
        effects.push_back(std::move(effect));
    }
    return effects;
}

int LoadSoundFile(SystemData& system, const std::string& file, const std::string& eventPath)
{
    float seconds = 0.0f;
    const int sound = file.empty() ? 0 : system.output->LoadSound(file, &seconds);
    if (!sound)
        Trace("Studio: %s: sound file \"%s\" can't be read; the event is silent", eventPath.c_str(), file.c_str());
    return sound;
}

void ReadEvent(std::uint64_t systemId, std::uint64_t bankId, SystemData& system, const rapidjson::Value& entry)
{
    EventData event;
    event.system = systemId;
    event.bank = bankId;
    if (entry.IsObject()) {
        event.guid = StringMember(entry, "guid");
        event.path = StringMember(entry, "path");
    }
    if (event.guid.empty() || event.path.empty()) {
        Trace("Studio: an event without \"guid\" or \"path\" is skipped");
        return;
    }
    event.busGuid = StringMember(entry, "bus");
    event.loop = BoolMember(entry, "loop");
    event.spatial = BoolMember(entry, "spatial");
    auto parameters = entry.FindMember("parameters");
    if (parameters != entry.MemberEnd() && parameters->value.IsObject()) {
        for (auto p = parameters->value.MemberBegin(); p != parameters->value.MemberEnd(); ++p) {
            if (p->value.IsNumber())
                event.parameters[p->name.GetString()] = p->value.GetFloat();
        }
    }
    event.effects = ReadEffects(entry, event.path);
    auto endLoop = entry.FindMember("endLoop");
    if (endLoop != entry.MemberEnd() && endLoop->value.IsObject()) {
        event.endLoopParameter = StringMember(endLoop->value, "parameter");
        auto at = endLoop->value.FindMember("atLeast");
        event.endLoopAt = at != endLoop->value.MemberEnd() && at->value.IsNumber() ? at->value.GetFloat() : 0.0f;
    }
    auto variations = entry.FindMember("variations");
    if (variations != entry.MemberEnd() && variations->value.IsObject()) {
        event.variationParameter = StringMember(variations->value, "parameter");
        auto sounds = variations->value.FindMember("sounds");
        if (sounds != variations->value.MemberEnd() && sounds->value.IsArray()) {
            for (const rapidjson::Value& file : sounds->value.GetArray())
                event.sounds.push_back(LoadSoundFile(system, file.IsString() ? file.GetString() : "", event.path));
        }
    }
    if (event.sounds.empty())
        event.sounds.push_back(LoadSoundFile(system, StringMember(entry, "sound"), event.path));
    gEvents[NewId()] = std::move(event);
}

void ReadBus(std::uint64_t systemId, std::uint64_t bankId, const rapidjson::Value& entry)
{
    BusData bus;
    bus.system = systemId;
    bus.bank = bankId;
    if (entry.IsObject()) {
        bus.guid = StringMember(entry, "guid");
        bus.path = StringMember(entry, "path");
    }
    if (bus.guid.empty() || bus.path.empty()) {
        Trace("Studio: a bus without \"guid\" or \"path\" is skipped");
        return;
    }
    bus.parentGuid = StringMember(entry, "parent");
    auto gain = entry.FindMember("gain");
    if (gain != entry.MemberEnd()) {
        if (gain->value.IsNumber() && std::isfinite(gain->value.GetFloat()) && gain->value.GetFloat() >= 0.0f)
            bus.gain = gain->value.GetFloat();
        else
            Trace("Studio: %s: \"gain\" is not a number of 0 or more; 1 used", bus.path.c_str());
    }
    bus.effects = ReadEffects(entry, bus.path);
    gBusTable[NewId()] = std::move(bus);
}

// ---- Lookups ------------------------------------------------------------------------------------------------

template <typename T>
std::uint64_t FindByKey(std::map<std::uint64_t, T>& table, std::uint64_t system, const std::string& key)
{
    for (auto& [id, entry] : table) {
        if (entry.system == system && (entry.guid == key || entry.path == key))
            return id;
    }
    return 0;
}

// The bus and its parents, nearest first (a loop in the parent links ends the chain).
std::vector<BusData*> Chain(std::uint64_t system, const std::string& guid)
{
    std::vector<BusData*> chain;
    std::string next = guid;
    while (!next.empty() && chain.size() < 32) {
        BusData* bus = Find(gBusTable, FindByKey(gBusTable, system, next));
        if (!bus || std::find(chain.begin(), chain.end(), bus) != chain.end())
            break;
        chain.push_back(bus);
        next = bus->parentGuid;
    }
    return chain;
}

float GlobalValue(const SystemData& system, const std::string& name, float missing)
{
    auto it = system.globals.find(name);
    return it == system.globals.end() ? missing : it->second;
}

float BusOwnVolume(const SystemData& system, const BusData& bus)
{
    float volume = bus.gain * bus.volume;
    for (const Effect& effect : bus.effects) {
        auto it = system.globals.find(effect.parameter);
        if (it != system.globals.end() && !effect.pitch)
            volume *= Evaluate(effect.curve, it->second);
    }
    return volume;
}

struct Mix {
    float gain = 1.0f;
    float pitch = 1.0f;
    bool paused = false;
};

Mix MixOf(const SystemData& system, const EventData& event, const InstanceData& instance)
{
    Mix mix;
    for (BusData* bus : Chain(instance.system, event.busGuid)) {
        mix.gain *= bus->mute ? 0.0f : BusOwnVolume(system, *bus);
        mix.paused = mix.paused || bus->paused;
    }
    for (const Effect& effect : event.effects) {
        auto local = instance.parameters.find(effect.parameter);
        float value = 0.0f;
        if (local != instance.parameters.end())
            value = local->second;
        else if (system.globals.count(effect.parameter))
            value = GlobalValue(system, effect.parameter, 0.0f);
        else
            continue;
        (effect.pitch ? mix.pitch : mix.gain) *= Evaluate(effect.curve, value);
    }
    return mix;
}

int Variation(const EventData& event, const InstanceData& instance, const SystemData& system)
{
    if (event.sounds.size() <= 1 || event.variationParameter.empty())
        return event.sounds.empty() ? 0 : event.sounds[0];
    auto local = instance.parameters.find(event.variationParameter);
    const float value = local != instance.parameters.end() ? local->second
                                                          : GlobalValue(system, event.variationParameter, 0.0f);
    long index = std::lround(value);
    index = std::clamp(index, 0L, static_cast<long>(event.sounds.size()) - 1);
    return event.sounds[static_cast<std::size_t>(index)];
}

void ApplyVoice(SystemData& system, const EventData& event, const InstanceData& instance)
{
    if (!instance.voice)
        return;
    const Mix mix = MixOf(system, event, instance);
    system.output->SetVoice(instance.voice, mix.gain * system.limiter, mix.pitch, event.spatial && instance.placed,
                            instance.attributes.position);
    system.output->SetPaused(instance.voice, mix.paused);
    if (event.loop && !event.endLoopParameter.empty()) {
        auto it = instance.parameters.find(event.endLoopParameter);
        const float value = it != instance.parameters.end() ? it->second
                                                            : GlobalValue(system, event.endLoopParameter, 0.0f);
        system.output->SetLooping(instance.voice, value < event.endLoopAt);
    }
}

// The master limiter. Every sound's peaks are known ahead, so the highest sample the mix can reach
// soon is at most the sum over the playing voices of gain times peak; when that would pass the
// ceiling, all voices are turned down at once just enough, and come back up slowly once it is past.
constexpr float kLimiterCeiling = 0.89f;      // -1 dB below full scale
constexpr float kLimiterLookAhead = 0.12f;    // seconds: beyond the next few updates
constexpr float kLimiterRelease = 1.015f;     // per update: about 8 dB a second at 60 updates

void UpdateLimiter(std::uint64_t systemId, SystemData& system)
{
    float reach = 0.0f;
    for (auto& [id, instance] : gInstances) {
        EventData* event = instance.system == systemId && instance.voice ? Find(gEvents, instance.event) : nullptr;
        if (event)
            reach += MixOf(system, *event, instance).gain * system.output->PeakAhead(instance.voice, kLimiterLookAhead);
    }
    const float target = reach > kLimiterCeiling ? kLimiterCeiling / reach : 1.0f;
    system.limiter = target < system.limiter ? target : std::min(target, system.limiter * kLimiterRelease);
}

void FreeInstance(std::map<std::uint64_t, InstanceData>::iterator it)
{
    if (SystemData* system = Find(gSystems, it->second.system); system && it->second.voice)
        system->output->DestroyVoice(it->second.voice);
    gInstances.erase(it);
}

// The instance's system, event and own data, or null when any of them is gone.
struct Resolved {
    InstanceData* instance = nullptr;
    EventData* event = nullptr;
    SystemData* system = nullptr;
};

Resolved ResolveInstance(std::uint64_t id)
{
    Resolved r;
    r.instance = Find(gInstances, id);
    if (r.instance) {
        r.event = Find(gEvents, r.instance->event);
        r.system = Find(gSystems, r.instance->system);
    }
    if (!r.event || !r.system)
        return Resolved{};
    return r;
}

std::string ReadWholeFile(const std::string& path, bool* found)
{
    std::ifstream in(path, std::ios::binary);
    *found = static_cast<bool>(in);
    std::ostringstream text;
    if (in)
        text << in.rdbuf();
    return text.str();
}

} // namespace

// ---- System --------------------------------------------------------------------------------------------------

Result System::create(System* system, unsigned headerVersion)
{
    if (!system)
        return ERR_INVALID_PARAM;
    system->id = 0;
    if (headerVersion != HEADER_VERSION)
        return ERR_HEADER_MISMATCH;
    const std::uint64_t id = NewId();
    gSystems[id];
    gCores[NewId()] = id;
    system->id = id;
    Log("System::create");
    return OK;
}

Result System::getCoreSystem(CoreSystem* core) const
{
    if (!core)
        return ERR_INVALID_PARAM;
    core->id = 0;
    if (!Find(gSystems, id))
        return ERR_INVALID_HANDLE;
    for (const auto& [coreId, systemId] : gCores) {
        if (systemId == id)
            core->id = coreId;
    }
    Log("System::getCoreSystem");
    return OK;
}

Result CoreSystem::setSoftwareFormat(int sampleRate, int speakerMode, int rawSpeakers) const
{
    auto it = gCores.find(id);
    if (it == gCores.end() || !Find(gSystems, it->second))
        return ERR_INVALID_HANDLE;
    if (sampleRate < 0 || speakerMode != SPEAKERMODE_STEREO || rawSpeakers < 0)
        return ERR_INVALID_PARAM;
    Log("CoreSystem::setSoftwareFormat");
    return OK;
}

Result System::initialize(int maxChannels, unsigned studioFlags, unsigned, void*) const
{
    SystemData* system = Find(gSystems, id);
    if (!system)
        return ERR_INVALID_HANDLE;
    if (maxChannels <= 0)
        return ERR_INVALID_PARAM;
    if (!system->initialized) {
        system->output = OpenOutput();
        system->initialized = true;
    }
    Log(std::string("System::initialize") + ((studioFlags & INIT_LIVEUPDATE) ? " liveupdate" : ""));
    return OK;
}

Result System::loadBankFile(const char* path, unsigned, Bank* bank) const
{
    if (bank)
        bank->id = 0;
    SystemData* system = Find(gSystems, id);
    if (!system)
        return ERR_INVALID_HANDLE;
    if (!system->initialized)
        return ERR_NOT_INITIALIZED;
    if (!path || !bank)
        return ERR_INVALID_PARAM;
    for (const auto& [bankId, data] : gBanks) {
        if (data.system == id && data.path == path) {
            bank->id = bankId;
            return ERR_ALREADY_LOADED;
        }
    }
    bool found = false;
    const std::string text = ReadWholeFile(path, &found);
    if (!found) {
        Trace("Studio: bank file \"%s\" not found", path);
        return ERR_FILE_NOT_FOUND;
    }
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(text.c_str(), text.size());
    if (document.HasParseError() || !document.IsObject()) {
        Trace("Studio: bank file \"%s\" is not a bank (JSON object); not loaded", path);
        return ERR_FILE_BAD;
    }
    const std::uint64_t bankId = NewId();
    gBanks[bankId] = BankData{id, path};
    auto list = [&](const char* key) -> const rapidjson::Value* {
        auto it = document.FindMember(key);
        if (it == document.MemberEnd())
            return nullptr;
        if (!it->value.IsArray()) {
            Trace("Studio: bank \"%s\": \"%s\" is not a list; ignored", path, key);
            return nullptr;
        }
        return &it->value;
    };
    if (const rapidjson::Value* buses = list("buses")) {
        for (const rapidjson::Value& entry : buses->GetArray())
            ReadBus(id, bankId, entry);
    }
    if (const rapidjson::Value* events = list("events")) {
        for (const rapidjson::Value& entry : events->GetArray())
            ReadEvent(id, bankId, *system, entry);
    }
    auto globals = document.FindMember("parameters");
    if (globals != document.MemberEnd() && globals->value.IsObject()) {
        for (auto p = globals->value.MemberBegin(); p != globals->value.MemberEnd(); ++p) {
            if (p->value.IsNumber())
                system->globals.emplace(p->name.GetString(), p->value.GetFloat());
        }
    }
    bank->id = bankId;
    Log(std::string("System::loadBankFile ") + path);
    return OK;
}

Result System::getEvent(const char* pathOrGuid, EventDescription* description) const
{
    if (description)
        description->id = 0;
    if (!Find(gSystems, id))
        return ERR_INVALID_HANDLE;
    if (!pathOrGuid || !description)
        return ERR_INVALID_PARAM;
    description->id = FindByKey(gEvents, id, pathOrGuid);
    return description->id ? OK : ERR_NOT_FOUND;
}

Result System::getBus(const char* pathOrGuid, Bus* bus) const
{
    if (bus)
        bus->id = 0;
    if (!Find(gSystems, id))
        return ERR_INVALID_HANDLE;
    if (!pathOrGuid || !bus)
        return ERR_INVALID_PARAM;
    bus->id = FindByKey(gBusTable, id, pathOrGuid);
    return bus->id ? OK : ERR_NOT_FOUND;
}

Result System::update() const
{
    SystemData* system = Find(gSystems, id);
    if (!system)
        return ERR_INVALID_HANDLE;
    if (!system->initialized)
        return ERR_NOT_INITIALIZED;
    system->output->Update();
    system->output->SetListener(system->listener);
    UpdateLimiter(id, *system);
    for (auto it = gInstances.begin(); it != gInstances.end();) {
        InstanceData& instance = it->second;
        EventData* event = Find(gEvents, instance.event);
        if (instance.system != id || !event) {
            ++it;
            continue;
        }
        const bool playing = instance.voice && system->output->IsPlaying(instance.voice);
        if (instance.released && !playing) {
            auto gone = it++;
            FreeInstance(gone);
            continue;
        }
        // A change of the variation parameter switches a playing instance to its new sound.
        const int sound = Variation(*event, instance, *system);
        if (playing && sound != instance.sound) {
            instance.sound = sound;
            system->output->Play(instance.voice, sound, event->loop);
        }
        ApplyVoice(*system, *event, instance);
        ++it;
    }
    return OK;
}

Result System::setListenerAttributes(int listener, const Attributes3D& attributes, const Vector*) const
{
    SystemData* system = Find(gSystems, id);
    if (!system)
        return ERR_INVALID_HANDLE;
    if (listener != 0)
        return ERR_INVALID_PARAM;
    system->listener = attributes;
    return OK;
}

Result System::getListenerAttributes(int listener, Attributes3D* attributes) const
{
    SystemData* system = Find(gSystems, id);
    if (!system)
        return ERR_INVALID_HANDLE;
    if (listener != 0 || !attributes)
        return ERR_INVALID_PARAM;
    *attributes = system->listener;
    return OK;
}

Result System::getParameterByName(const char* name, float* value, float* finalValue) const
{
    SystemData* system = Find(gSystems, id);
    if (!system)
        return ERR_INVALID_HANDLE;
    if (!name)
        return ERR_INVALID_PARAM;
    auto it = system->globals.find(name);
    if (it == system->globals.end())
        return ERR_NOT_FOUND;
    if (value)
        *value = it->second;
    if (finalValue)
        *finalValue = it->second;
    return OK;
}

Result System::setParameterByName(const char* name, float value, bool) const
{
    SystemData* system = Find(gSystems, id);
    if (!system)
        return ERR_INVALID_HANDLE;
    if (!name || !std::isfinite(value))
        return ERR_INVALID_PARAM;
    system->globals[name] = value;
    Log(std::string("System::setParameterByName ") + name + " " + Format(value));
    return OK;
}

Result System::release() const
{
    auto found = gSystems.find(id);
    if (found == gSystems.end())
        return ERR_INVALID_HANDLE;
    for (auto it = gInstances.begin(); it != gInstances.end();) {
        auto next = std::next(it);
        if (it->second.system == id)
            FreeInstance(it);
        it = next;
    }
    std::erase_if(gEvents, [&](const auto& entry) { return entry.second.system == id; });
    std::erase_if(gBusTable, [&](const auto& entry) { return entry.second.system == id; });
    std::erase_if(gBanks, [&](const auto& entry) { return entry.second.system == id; });
    std::erase_if(gCores, [&](const auto& entry) { return entry.second == id; });
    gSystems.erase(found);
    Log("System::release");
    return OK;
}

// ---- Event description and instance ---------------------------------------------------------------------------

namespace {

// Applies a bus change at once to the instances it reaches.
void ApplyAll(std::uint64_t systemId)
{
    SystemData* system = Find(gSystems, systemId);
    if (!system)
        return;
    for (auto& [instanceId, instance] : gInstances) {
        EventData* event = Find(gEvents, instance.event);
        if (instance.system == systemId && event)
            ApplyVoice(*system, *event, instance);
    }
}

} // namespace

Result EventDescription::createInstance(EventInstance* instance) const
{
    if (instance)
        instance->id = 0;
    EventData* event = Find(gEvents, id);
    if (!event)
        return ERR_INVALID_HANDLE;
    if (!instance)
        return ERR_INVALID_PARAM;
    InstanceData data;
    data.system = event->system;
    data.event = id;
    data.parameters = event->parameters;
    instance->id = NewId();
    gInstances[instance->id] = std::move(data);
    Log("EventDescription::createInstance " + event->path);
    return OK;
}

Result EventInstance::start() const
{
    Resolved r = ResolveInstance(id);
    if (!r.instance || r.instance->released)
        return ERR_INVALID_HANDLE;
    if (!r.instance->voice)
        r.instance->voice = r.system->output->CreateVoice();
    r.instance->sound = Variation(*r.event, *r.instance, *r.system);
    ApplyVoice(*r.system, *r.event, *r.instance);
    r.system->output->Play(r.instance->voice, r.instance->sound, r.event->loop);
    // A paused bus holds the new sound too. The new sound counts for the limiter at once.
    const float limiter = r.system->limiter;
    UpdateLimiter(r.instance->system, *r.system);
    if (r.system->limiter < limiter)
        ApplyAll(r.instance->system);
    else
        ApplyVoice(*r.system, *r.event, *r.instance);
    ++r.instance->starts;
    Log("EventInstance::start " + r.event->path);
    return OK;
}

Result EventInstance::stop(int mode) const
{
    Resolved r = ResolveInstance(id);
    if (!r.instance)
        return ERR_INVALID_HANDLE;
    if (mode != STOP_IMMEDIATE && mode != STOP_ALLOWFADEOUT)
        return ERR_INVALID_PARAM;
    if (r.instance->voice)
        r.system->output->Stop(r.instance->voice);
    Log("EventInstance::stop " + r.event->path);
    return OK;
}

Result EventInstance::release() const
{
    Resolved r = ResolveInstance(id);
    if (!r.instance || r.instance->released)
        return ERR_INVALID_HANDLE;
    r.instance->released = true;
    Log("EventInstance::release " + r.event->path);
    return OK;
}

Result EventInstance::set3DAttributes(const Attributes3D& attributes) const
{
    Resolved r = ResolveInstance(id);
    if (!r.instance)
        return ERR_INVALID_HANDLE;
    r.instance->attributes = attributes;
    r.instance->placed = true;
    ApplyVoice(*r.system, *r.event, *r.instance);
    return OK;
}

Result EventInstance::getParameterByName(const char* name, float* value, float* finalValue) const
{
    Resolved r = ResolveInstance(id);
    if (!r.instance)
        return ERR_INVALID_HANDLE;
    if (!name)
        return ERR_INVALID_PARAM;
    auto it = r.instance->parameters.find(name);
    if (it == r.instance->parameters.end())
        return ERR_NOT_FOUND;
    if (value)
        *value = it->second;
    if (finalValue)
        *finalValue = it->second;
    return OK;
}

Result EventInstance::setParameterByName(const char* name, float value, bool) const
{
    Resolved r = ResolveInstance(id);
    if (!r.instance)
        return ERR_INVALID_HANDLE;
    if (!name || !std::isfinite(value))
        return ERR_INVALID_PARAM;
    auto it = r.instance->parameters.find(name);
    if (it == r.instance->parameters.end())
        return ERR_NOT_FOUND;
    it->second = value;
    ApplyVoice(*r.system, *r.event, *r.instance);
    Log("EventInstance::setParameterByName " + r.event->path + " " + name + " " + Format(value));
    return OK;
}

Result EventInstance::getPlaybackState(PlaybackState* state) const
{
    Resolved r = ResolveInstance(id);
    if (!r.instance)
        return ERR_INVALID_HANDLE;
    if (!state)
        return ERR_INVALID_PARAM;
    *state = r.instance->voice && r.system->output->IsPlaying(r.instance->voice) ? PLAYBACK_PLAYING : PLAYBACK_STOPPED;
    return OK;
}

// ---- Bus ---------------------------------------------------------------------------------------------------------

Result Bus::setVolume(float volume) const
{
    BusData* bus = Find(gBusTable, id);
    if (!bus)
        return ERR_INVALID_HANDLE;
    if (!std::isfinite(volume) || volume < 0.0f)
        return ERR_INVALID_PARAM;
    bus->volume = volume;
    ApplyAll(bus->system);
    return OK;
}

Result Bus::getVolume(float* volume) const
{
    BusData* bus = Find(gBusTable, id);
    if (!bus)
        return ERR_INVALID_HANDLE;
    if (volume)
        *volume = bus->volume;
    return OK;
}

Result Bus::setMute(bool mute) const
{
    BusData* bus = Find(gBusTable, id);
    if (!bus)
        return ERR_INVALID_HANDLE;
    bus->mute = mute;
    ApplyAll(bus->system);
    Log("Bus::setMute " + bus->path + (mute ? " true" : " false"));
    return OK;
}

Result Bus::getMute(bool* mute) const
{
    BusData* bus = Find(gBusTable, id);
    if (!bus)
        return ERR_INVALID_HANDLE;
    if (mute)
        *mute = bus->mute;
    return OK;
}

Result Bus::setPaused(bool paused) const
{
    BusData* bus = Find(gBusTable, id);
    if (!bus)
        return ERR_INVALID_HANDLE;
    bus->paused = paused;
    ApplyAll(bus->system);
    Log("Bus::setPaused " + bus->path + (paused ? " true" : " false"));
    return OK;
}

Result Bus::getPaused(bool* paused) const
{
    BusData* bus = Find(gBusTable, id);
    if (!bus)
        return ERR_INVALID_HANDLE;
    if (paused)
        *paused = bus->paused;
    return OK;
}

// ---- Inspection ------------------------------------------------------------------------------------------------

namespace inspect {

std::vector<InstanceInfo> Instances()
{
    std::vector<InstanceInfo> list;
    for (auto& [id, instance] : gInstances) {
        Resolved r = ResolveInstance(id);
        if (!r.instance)
            continue;
        InstanceInfo info;
        info.id = id;
        info.eventPath = r.event->path;
        info.playing = instance.voice && r.system->output->IsPlaying(instance.voice);
        info.released = instance.released;
        info.starts = instance.starts;
        const auto& sounds = r.event->sounds;
        info.variation = static_cast<int>(std::find(sounds.begin(), sounds.end(), instance.sound) - sounds.begin());
        info.parameters = instance.parameters;
        info.attributes = instance.attributes;
        list.push_back(std::move(info));
    }
    return list;
}

std::vector<InstanceInfo> InstancesOf(const std::string& eventName)
{
    std::vector<InstanceInfo> list;
    for (InstanceInfo& info : Instances()) {
        const std::size_t slash = info.eventPath.rfind('/');
        const std::string last = slash == std::string::npos ? info.eventPath : info.eventPath.substr(slash + 1);
        if (info.eventPath == eventName || last == eventName)
            list.push_back(std::move(info));
    }
    return list;
}

BusInfo BusState(const std::string& busPath)
{
    BusInfo info;
    for (auto& [id, bus] : gBusTable) {
        if (bus.path != busPath && bus.guid != busPath)
            continue;
        SystemData* system = Find(gSystems, bus.system);
        if (!system)
            continue;
        info.found = true;
        info.volume = bus.volume;
        info.mute = bus.mute;
        info.paused = bus.paused;
        for (BusData* link : Chain(bus.system, bus.guid)) {
            info.chainVolume *= BusOwnVolume(*system, *link);
            info.chainMute = info.chainMute || link->mute;
            info.chainPaused = info.chainPaused || link->paused;
        }
        break;
    }
    return info;
}

float GlobalParameter(const std::string& name, float missing)
{
    return gSystems.empty() ? missing : GlobalValue(gSystems.begin()->second, name, missing);
}

Attributes3D Listener()
{
    return gSystems.empty() ? Attributes3D{} : gSystems.begin()->second.listener;
}

const std::vector<std::string>& CallLog()
{
    return gCallLog;
}

int CountCalls(const std::string& entry)
{
    return static_cast<int>(std::count(gCallLog.begin(), gCallLog.end(), entry));
}

void ClearCallLog()
{
    gCallLog.clear();
}

bool HasDevice()
{
    for (auto& [id, system] : gSystems) {
        if (system.output && system.output->IsDevice())
            return true;
    }
    return false;
}

void SetSilentClockStep(float seconds)
{
    SetSilentStep(seconds);
}

} // namespace inspect

} // namespace studio
