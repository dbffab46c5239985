#pragma once
// Creates the player objects from "Player", hands the first one to whoever asks for it, places it at
// the scene's spawn point, and after a win plays the closing dance: timed sound events read from
// "DanceTimings". The free functions below switch the player's sprite sheets during the dance.
#include <string>
#include <vector>

#include "core/GameObjectHandle.h"
#include "core/ISystem.h"

class GameObject;

class PlayerManager : public ISystem {
public:
    // Four player slots; becomes gPlayerManager and gives the tile map and the scene system their
    // player seams.
    PlayerManager();
    // Clears gPlayerManager and the seams that still point here.
    ~PlayerManager() override;

    std::string GetName() override { return "PlayerManager"; }
    // A fresh table of empty slots, one new player, no dance (OnEnable runs it again). The camera
    // stops following the players of the last scene, whose objects are gone by now.
    void Init() override;
    void OnEnable() override { Init(); }
    // Switched off for a scene without players: the camera stops following the old player.
    void OnDisable() override;
    // Only while active: a player when there is none, and the dance step.
    void Update(float dt) override;
    void Draw() override {}
    // 0 "Request Player", 28 "Set Player Spawn", "StartDance", 36 "On Manager Clear"; messages for
    // another target are ignored.
    void HandleMessage(Message* message) override;

    // Creates the next player in the first free slot.
    void AddPlayer();
    // The player of a slot, or null.
    GameObject* GetPlayer(unsigned slot) const;

    unsigned maxPlayers = 4;
    std::vector<GameObjectHandle> players;   // objects owned by the GameObjectManager
    unsigned count = 0;
    bool dancing = false;
    std::vector<float> timers;
    std::vector<std::string> soundEffects;
    int danceStep = 0;

private:
    void DanceStep(float dt);
    void StartDance();
};

// The player manager made last, or null.
extern PlayerManager* gPlayerManager;

// The sprite sheet the player shows during the dance.
extern std::string gPlayerSpriteSheetName;
// Called when the next scene is "Win": the player's eyes hidden, the rotation sheet looping, and the
// switching armed.
void ResetPlayerSpriteSheet();
// Every frame: while armed, every 2 s the player alternates between the rotation sheet and the moving
// sheet at twice the scale.
void SwitchPlayerSpriteSheet(float dt);
// Disarms the switching (when the "Win" scene loads and its player goes).
void StopPlayerSpriteSheet();
// True while the switching is armed.
bool IsPlayerSpriteSheetArmed();
// Puts the switching back to its start values (for tests).
void ResetPlayerSpriteSheetSwitches();
