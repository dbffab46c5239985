#pragma once
// The level's treasure: the rooms (objects "Room1Boundary".."Room8Boundary"), the treasure file named
// by the scene, one collectable per listed point inside a room, the per-room counts of what is left
// and what was collected, the pickup chain behind the music parameter "PickUp_Chain", the ping
// display of a room's count, and the end-screen read-out of time and treasure.
//
// Collectables and display objects belong to the GameObjectManager; they are held here by handle, so
// one deleted with the scene's other objects reads as null (the same as a collected entry).
#include <array>
#include <string>
#include <vector>

#include "core/GameObjectHandle.h"
#include "core/ISystem.h"

class GameObject;

class TreasureManager : public ISystem {
public:
    static constexpr int MAX_ROOMS = 8;
    // Display objects: two collected digits, two total digits, the slash, the room name.
    static constexpr int DISPLAY_COUNT = 6;
    enum Display { COLLECTED_0 = 0, COLLECTED_1 = 1, TOTAL_0 = 2, TOTAL_1 = 3, SLASH = 4, ROOM_NAME = 5 };

    // Names the rooms, becomes gTreasureManager, resets and installs the scene system's seams.
    TreasureManager();
    // Clears gTreasureManager and the seams that still point here.
    ~TreasureManager() override;

    std::string GetName() override { return "TreasureManager"; }
    // Clears the treasure-loaded flag (so does OnDisable).
    void Init() override;
    void OnDisable() override;
    // Chain, cleared-room music, clock, ping display and the living room's fixed treasure.
    void Update(float dt) override;
    void Draw() override {}
    // 7 "Spawn Treasure", 24 "Treasure Pick Up", 25 "ResetTreasure", 26 "CreateTreasureDisplay",
    // "NormalChainLengthSet", "ShortChainLengthSet".
    void HandleMessage(Message* message) override;

    // Reads "<name>.json" ({"numTreasure", "Treasure"}) and spawns a collectable per point inside a
    // room (only while active).
    void LoadTreasureData(const std::string& fileName);
    // The first room 0..NumRooms-1 whose boundary rectangle holds the point (edges included); rooms
    // whose boundary object is missing are skipped; -1 for none.
    int GetRoomNum(float x, float y);
    // Creates one collectable ("Collectable" with "CollectableCommon" over it) at (x, y) in the room.
    // False when it could not be placed.
    bool SpawnCollectable(int room, float x, float y);
    // Removes the first listed collectable whose sprite alpha is exactly 0.
    void CollectTreasure();
    // In "LivingRoomScene" only: PingRoom, then the room's treasure is revealed as well.
    void PingTreasure(float hold, float fadeTime, float strength);
    // In "LivingRoomScene" only: shows the count of the player's room.
    void PingRoom(float hold, float fadeTime, float strength);
    // Rebuilds the collected digits of a room.
    void ShowRoomCount(int room);
    // The end screen: minutes, colon, seconds, "Pickup" and the collected total.
    void CreateTreasureDisplay();
    // Empties everything for a new level.
    void Reset();
    // After the scene's objects were deleted: forgets the room entries and display objects; the counts
    // and the clock stay.
    void ForgetSceneObjects();
    // The room's remaining count moves to its collected count.
    void CloseRoom(int room);

    // Room queries; a room outside 0..7 gives 0 or an empty list.
    int GetRemaining(int room) const;
    int GetCollected(int room) const;
    int GetTotalCollected() const;
    // The room's listed collectables in spawn order; collected or deleted entries are null.
    std::vector<GameObject*> GetRoomObjects(int room) const;
    GameObject* GetDisplay(int index) const;

    float clock = 0.0f;
    int NumRooms = 0;
    int pingedRoom = -1;
    bool treasureLoaded = false;
    std::string fileName;
    std::array<std::vector<GameObjectHandle>, MAX_ROOMS> roomObjects;
    std::array<std::vector<std::array<float, 4>>, MAX_ROOMS> roomPositions;
    std::array<int, MAX_ROOMS> remaining{};
    std::array<int, MAX_ROOMS> collected{};
    int totalRemaining = 0;
    bool countsOnly = true;
    float pingHold = 0.0f;
    float pingFadeTime = 0.0f;
    float pingStrength = 0.0f;
    std::array<GameObjectHandle, DISPLAY_COUNT> display;

private:
    void UpdateChain(float dt);
    void UpdateClearedRoom();
    void UpdatePing(float dt);
    void KeepLivingRoomTreasure();
    // The display object of that slot, created from "EndScreenDisplay" when there is none.
    GameObject* DisplayObject(int index, bool throughFogHidden);
    void RemoveDisplay(int index);
};

// The treasure manager made last, or null.
extern TreasureManager* gTreasureManager;
// "Room1".."Room8".
extern std::string gRoomNames[TreasureManager::MAX_ROOMS];
// The chain windows, seconds: below 11 pickups and from then on.
extern float NormalChainLength;
extern float ShortChainLength;
// The pickup chain: count, seconds left of its window, count last sent.
extern float gChainCount;
extern float gChainWindowLeft;
extern float gChainLastSent;
// Puts the chain values and windows back to their start values (for tests).
void ResetTreasureSwitches();
