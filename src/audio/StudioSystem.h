#pragma once
// The engine's only door to sound. Starts the studio layer when the factory builds it, loads every bank
// that "GUIDs.txt" names and keeps registries of banks, buses, event descriptions and live event
// instances by short name. Acts on the audio commands broadcast as messages; each frame it ticks the
// layer, hands it the listener, re-applies the master volume and drives the player's movement sounds.
#include <map>
#include <set>
#include <string>

#include "core/GameObjectHandle.h"
#include "core/ISystem.h"
#include "platform/studio/Studio.h"

// Program-wide studio state (one StudioSystem is expected).
extern studio::System gFmodStudioSystem;
extern studio::CoreSystem gFmodCoreSystem;
extern studio::Result gFmodResult;                  // the last call's result; never tested
extern bool gLiveUpdate;
extern std::string gLiveUpdatePath;
extern studio::Attributes3D gListenerAttributes;
extern std::map<std::string, studio::Bank> gBanks;
extern std::map<std::string, studio::Bus> gBuses;
extern std::map<std::string, studio::EventDescription> gEventDescriptions;
extern std::map<std::string, studio::EventInstance> gEventInstances;

class StudioSystem : public ISystem {
public:
    // Creates the studio system, sets its format, reads "audio/AudioSystemSettings", initialises it and
    // loads the GUIDs and banks.
    StudioSystem();
    // Releases the studio system (banks and instances go with it) and forgets the registries.
    ~StudioSystem() override;

    std::string GetName() override { return "StudioSystem"; }
    // Listener at the origin, facing +y, up +z.
    void Init() override;
    void Update(float dt) override;
    void Draw() override {}
    void HandleMessage(Message* message) override;

    // Reads "GUIDs.txt" into the registries, loading each bank it names.
    static void LoadGUIDs();
    // The handle under the first key, in byte order, that contains the name; a null handle when none
    // (descriptions and buses trace the miss).
    static studio::EventDescription FindEventDescription(std::string name);
    static studio::EventInstance FindEventInstance(std::string name);
    static studio::Bus FindBus(std::string name);
    // "Music" reads the global "MusicSlider", "SFX" reads "SFXSlider"; anything else (or a failed read) 0.
    static float GetMixerVolume(std::string busName);

    float mainVolume = 100.0f;   // 0..100

    // The player's last velocity and turning speed, and the music state kept over the credits.
    float lastVelocityX = 0.0f;
    float lastVelocityY = 0.0f;
    float lastRotationalVelocity = 0.0f;
    float savedGameState = 0.0f;
    // The player object the last velocities belong to; a new one starts its idle hum at once.
    GameObjectHandle lastPlayer;

private:
    // Events whose missing instance was told: a change of their parameters is traced once, and again
    // only after an instance of theirs has existed.
    std::set<std::string> toldMissing;

    void Command(const std::string& name, Message* message);
    // An instance of the event was made: its missing-instance line may be told again.
    void InstanceMade(const std::string& event);
    void PlayerSounds(float dt);
};
