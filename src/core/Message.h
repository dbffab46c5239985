#pragma once
// Messages: a name (or a well-known id), a sender, an optional target and one typed payload.
// A Message is built on the heap by its sender and handed to MessageSystem::Post, which owns it
// from then on and frees it after delivery.
#include <array>
#include <cstdint>
#include <string>

class Object;

// Which payload field of a Message is meaningful.
enum class MessageType : int {
    None = 0,
    Int = 1,
    Float = 2,
    UInt64 = 3,
    UInt = 4,
    String = 5,
    Vector = 6,
    AudioClip = 7,
};

// The payload of an audio command; copied by value.
struct AudioClip {
    std::string eventName;
    std::string paramName;
    float paramValue = 0.0f;
    std::string busName;
    float busVolume = 0.0f;
    int intValue = 0;
    std::array<float, 4> position{0.0f, 0.0f, 0.0f, 0.0f};
};

// The well-known message ids by name, in table order (MessageNames[MessageId::Serialize] is
// "Serialize"). Id 13 has an empty name.
namespace MessageId {
constexpr int RequestPlayer = 0;          // "Request Player"
constexpr int RequestReturnPlayer = 1;    // "Request Return Player"
constexpr int GameObjectBuild = 2;        // "GameObject Build"
constexpr int ObjectBuild = 3;            // "ObjectBuild"
constexpr int AddScore = 4;               // "Add Score"
constexpr int SetCountdown = 5;           // "Set Countdown"
constexpr int IncreaseBuffer = 6;         // "Increase Buffer"
constexpr int SpawnTreasure = 7;          // "Spawn Treasure"
constexpr int AskForTimer = 8;            // "AskForTimer"
constexpr int ReturnTimer = 9;            // "ReturnTimer"
constexpr int EventPlay = 10;             // "Event_Play"
constexpr int EventPlayParam = 11;        // "Event_Play_Param"
constexpr int EventStop = 12;             // "Event_Stop"
constexpr int Unnamed = 13;               // ""
constexpr int BusMainSetVolume = 14;      // "Bus_Main_SetVolume"
constexpr int AddPlayerPoints = 15;       // "Add Player Points"
constexpr int ClearPlayerPoints = 16;     // "Clear Player Points"
constexpr int SetPlayerBufferFreeze = 17; // "Set Player Buffer Freeze"
constexpr int PlayerDecreaseTime = 18;    // "Player Decrease Time"
constexpr int PlayerIncreaseTime = 19;    // "Player Increase Time"
constexpr int SetCameraTarget = 20;       // "Set Camera Target"
constexpr int ShakeCamera = 21;           // "ShakeCamera"
constexpr int SetCameraBounds = 22;       // "SetCameraBounds"
constexpr int ZeroBuffer = 23;            // "Zero Buffer"
constexpr int TreasurePickUp = 24;        // "Treasure Pick Up"
constexpr int ResetTreasure = 25;         // "ResetTreasure"
constexpr int CreateTreasureDisplay = 26; // "CreateTreasureDisplay"
constexpr int Serialize = 27;             // "Serialize"
constexpr int SetPlayerSpawn = 28;        // "Set Player Spawn"
constexpr int StairsActive = 29;          // "Stairs Active"
constexpr int StairsInactive = 30;        // "Stairs Inactive"
constexpr int ColliderIDRemove = 31;      // "ColliderIDRemove"
constexpr int CloneObject = 32;           // "CloneObject"
constexpr int CollisionRemove = 33;       // "CollisionRemove"
constexpr int ChangePrefabName = 34;      // "_ChangePrefabeName_"
constexpr int RemoveObjectIndex = 35;     // "Remove Object Index"
constexpr int OnManagerClear = 36;        // "On Manager Clear"
} // namespace MessageId

// Number of well-known message ids (0..36).
constexpr int MESSAGE_NAME_COUNT = 37;
// The names of the well-known messages, indexed by message id ("Request Player" is 0).
extern const std::string MessageNames[MESSAGE_NAME_COUNT];

// The number payload: an int, a float, a 32-bit or a 64-bit unsigned, by the message's type.
union MessageNumber {
    std::int32_t i;
    float f;
    std::uint32_t u;
    std::uint64_t u64;
};

class Message {
public:
    // Clears every payload. A null sender is traced and reported; such a message is never delivered.
    // A None message with a sender is complete at once.
    Message(std::string name, Object* sender, Object* target, MessageType type);

    // True when the name equals the given one exactly.
    bool IsNamed(const std::string& name) const;
    // True when the name equals MessageNames[id]; false for an id outside 0..36.
    bool Is(int id) const;

    // Each getter reports an incomplete message and a wrong type, then returns the field anyway.
    float GetFloat() const;
    std::string GetString() const;
    std::array<float, 4> GetVector() const;
    AudioClip GetAudioClip() const;

    // Each setter reports a complete message and a wrong type, then stores the value anyway and
    // marks the message complete when it has a sender.
    void SetVector(const std::array<float, 4>& value);
    void SetVector(float x, float y, float z, float w);
    void SetAudioClip(const AudioClip& clip);

    Object* GetSender() const { return sender; }
    Object* GetTarget() const { return target; }
    bool IsComplete() const { return complete; }

    MessageType type;
    Object* sender;
    Object* target;          // null = for everybody; handlers compare it themselves
    std::string name;
    std::array<float, 4> vector{0.0f, 0.0f, 0.0f, 0.0f};
    MessageNumber number;    // Int (i), Float (f), UInt (u), UInt64 (u64); read directly by handlers
    std::string text;
    AudioClip audioClip;
    bool complete;
};
