#pragma once
// The studio audio layer: a Studio system that loads banks (our own JSON files), resolves buses and
// event descriptions by GUID or path, creates event instances, keeps local and global parameters, bus
// volume / mute / pause and the listener, and plays instances through an output (OpenAL Soft, or a
// silent one when no device opens).
//
// Every handle is a small value holding an id. Ids are looked up in the layer's tables on each call and
// never reused, so a null, stale, released or wrong-kind handle returns ERR_INVALID_HANDLE instead of
// touching freed memory. All calls belong to one thread (the game's main thread).
//
// Coordinates are left-handed, as the game sends them (x mirrored); the output converts them.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace studio {

using Result = int;
constexpr Result OK = 0;
constexpr Result ERR_INVALID_HANDLE = 1;
constexpr Result ERR_NOT_FOUND = 2;
constexpr Result ERR_FILE_NOT_FOUND = 3;
constexpr Result ERR_FILE_BAD = 4;
constexpr Result ERR_INVALID_PARAM = 5;
constexpr Result ERR_NOT_INITIALIZED = 6;
constexpr Result ERR_ALREADY_LOADED = 7;
constexpr Result ERR_HEADER_MISMATCH = 8;

constexpr unsigned HEADER_VERSION = 0x00020111;
constexpr int SPEAKERMODE_STEREO = 3;
constexpr unsigned INIT_NORMAL = 0;
constexpr unsigned INIT_LIVEUPDATE = 1;
constexpr unsigned LOAD_BANK_NORMAL = 0;
constexpr int STOP_ALLOWFADEOUT = 0;
constexpr int STOP_IMMEDIATE = 1;

enum PlaybackState : int { PLAYBACK_PLAYING = 0, PLAYBACK_STOPPED = 2 };

struct Vector {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Attributes3D {
    Vector position;
    Vector velocity;
    Vector forward{0.0f, 0.0f, 1.0f};
    Vector up{0.0f, 1.0f, 0.0f};
};

class EventInstance;

// Base of every handle: an id (0 = null).
struct Handle {
    std::uint64_t id = 0;
    bool operator==(const Handle& other) const { return id == other.id; }
    explicit operator bool() const { return id != 0; }
};

class Bank : public Handle {};

class Bus : public Handle {
public:
    Result setVolume(float volume) const;
    Result getVolume(float* volume) const;
    Result setMute(bool mute) const;
    Result getMute(bool* mute) const;
    Result setPaused(bool paused) const;
    Result getPaused(bool* paused) const;
};

class EventDescription : public Handle {
public:
    Result createInstance(EventInstance* instance) const;
};

class EventInstance : public Handle {
public:
    // Starts the instance; a playing instance starts again from the beginning.
    Result start() const;
    Result stop(int mode) const;
    // Frees the instance once it has stopped (a looped instance plays until it is stopped).
    Result release() const;
    Result set3DAttributes(const Attributes3D& attributes) const;
    Result getParameterByName(const char* name, float* value, float* finalValue = nullptr) const;
    Result setParameterByName(const char* name, float value, bool ignoreSeekSpeed = false) const;
    Result getPlaybackState(PlaybackState* state) const;
};

class CoreSystem : public Handle {
public:
    Result setSoftwareFormat(int sampleRate, int speakerMode, int rawSpeakers) const;
};

class System : public Handle {
public:
    static Result create(System* system, unsigned headerVersion = HEADER_VERSION);
    Result getCoreSystem(CoreSystem* core) const;
    // Opens the output; with no device the layer runs silent (traced once).
    Result initialize(int maxChannels, unsigned studioFlags, unsigned coreFlags, void* extraDriverData) const;
    Result loadBankFile(const char* path, unsigned flags, Bank* bank) const;
    // A braced GUID or a path ("event:/...", "bus:/...") of a loaded bank.
    Result getEvent(const char* pathOrGuid, EventDescription* description) const;
    Result getBus(const char* pathOrGuid, Bus* bus) const;
    // Advances playback: applies volumes, pauses and positions, frees released instances that stopped.
    Result update() const;
    Result setListenerAttributes(int listener, const Attributes3D& attributes, const Vector* attenuation = nullptr) const;
    Result getListenerAttributes(int listener, Attributes3D* attributes) const;
    // Global parameters; an unknown one is created by its first set.
    Result getParameterByName(const char* name, float* value, float* finalValue = nullptr) const;
    Result setParameterByName(const char* name, float value, bool ignoreSeekSpeed = false) const;
    // Releases the system with its banks, buses, events and instances.
    Result release() const;
};

// What tests look at. None of it changes playback.
namespace inspect {

struct InstanceInfo {
    std::uint64_t id = 0;
    std::string eventPath;
    bool playing = false;
    bool released = false;
    int starts = 0;
    int variation = 0;   // which of the event's sounds plays
    std::map<std::string, float> parameters;
    Attributes3D attributes;
};

struct BusInfo {
    bool found = false;
    float volume = 1.0f;
    bool mute = false;
    bool paused = false;
    // The state with the parent chain applied.
    float chainVolume = 1.0f;
    bool chainMute = false;
    bool chainPaused = false;
};

// Live (not yet freed) instances of every system, oldest first.
std::vector<InstanceInfo> Instances();
// The instances of one event path ("event:/..." or its last name).
std::vector<InstanceInfo> InstancesOf(const std::string& eventName);
BusInfo BusState(const std::string& busPath);
float GlobalParameter(const std::string& name, float missing = -1.0f);
// Listener 0 of the first live system.
Attributes3D Listener();
// "Class::call argument" per call that reached a live object, oldest first.
const std::vector<std::string>& CallLog();
int CountCalls(const std::string& entry);
void ClearCallLog();
// True while a real device plays the sound.
bool HasDevice();
// The silent output's clock: with a step above 0, each System::update advances it by that many
// seconds instead of the wall clock.
void SetSilentClockStep(float seconds);

} // namespace inspect

} // namespace studio
