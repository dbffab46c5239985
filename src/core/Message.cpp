#include "core/Message.h"

#include "core/Trace.h"

const std::string MessageNames[MESSAGE_NAME_COUNT] = {
    "Request Player",           // 0
    "Request Return Player",    // 1
    "GameObject Build",         // 2
    "ObjectBuild",              // 3
    "Add Score",                // 4
    "Set Countdown",            // 5
    "Increase Buffer",          // 6
    "Spawn Treasure",           // 7
    "AskForTimer",              // 8
    "ReturnTimer",              // 9
    "Event_Play",               // 10
    "Event_Play_Param",         // 11
    "Event_Stop",               // 12
    "",                         // 13
    "Bus_Main_SetVolume",       // 14
    "Add Player Points",        // 15
    "Clear Player Points",      // 16
    "Set Player Buffer Freeze", // 17
    "Player Decrease Time",     // 18
    "Player Increase Time",     // 19
    "Set Camera Target",        // 20
    "ShakeCamera",              // 21
    "SetCameraBounds",          // 22
    "Zero Buffer",              // 23
    "Treasure Pick Up",         // 24
    "ResetTreasure",            // 25
    "CreateTreasureDisplay",    // 26
    "Serialize",                // 27
    "Set Player Spawn",         // 28
    "Stairs Active",            // 29
    "Stairs Inactive",          // 30
    "ColliderIDRemove",         // 31
    "CloneObject",              // 32
    "CollisionRemove",          // 33
    "_ChangePrefabeName_",      // 34
    "Remove Object Index",      // 35
    "On Manager Clear",         // 36
};

namespace {
// Assertion sites of this file report under this location.
constexpr const char* kFile = "src/Message";
} // namespace

Message::Message(std::string messageName, Object* messageSender, Object* messageTarget, MessageType messageType)
    : type(messageType), sender(messageSender), target(messageTarget), name(std::move(messageName)),
      complete(false)
{
    number.u64 = 0;
    if (sender == nullptr) {
        Trace("MESSAGE::ERROR:: Sender of message %s is NULL", name.c_str());
        AssertionFailed("sender != NULL", kFile, 86, "Message Error: Sender of message " + name + " is null");
    }
    if (type == MessageType::None && sender != nullptr)
        complete = true;
}

bool Message::IsNamed(const std::string& other) const
{
    return name.size() == other.size() && name == other;
}

bool Message::Is(int id) const
{
    if (id < 0 || id >= MESSAGE_NAME_COUNT)
        return false;
    return IsNamed(MessageNames[id]);
}

float Message::GetFloat() const
{
    if (!complete)
        AssertionFailed("complete", kFile, 142, "This message is not complete");
    if (type != MessageType::Float)
        AssertionFailed("type == MessageType::Float", kFile, 143, "The message data is not a float");
    return number.f;
}

std::string Message::GetString() const
{
    if (!complete)
        AssertionFailed("complete", kFile, 163, "Unable to access data since the message is incomplete");
    if (type != MessageType::String)
        AssertionFailed("type == MessageType::String", kFile, 164, "This message is not a string.");
    return text;
}

std::array<float, 4> Message::GetVector() const
{
    if (!complete)
        AssertionFailed("complete", kFile, 171, "Unable to access data since the message is incomplete");
    if (type != MessageType::Vector)
        AssertionFailed("type == MessageType::Vector", kFile, 172, "This data is not a vector");
    return vector;
}

AudioClip Message::GetAudioClip() const
{
    if (!complete)
        AssertionFailed("complete", kFile, 179, "Unable to access data since the message is incomplete");
    if (type != MessageType::AudioClip)
        AssertionFailed("type == MessageType::AudioClip", kFile, 180, "This data is not a audioClip");
    return audioClip;
}

void Message::SetVector(const std::array<float, 4>& value)
{
    if (complete)
        AssertionFailed("!complete", kFile, 253, "Unable to set data due to message being complete");
    if (type != MessageType::Vector)
        AssertionFailed("type == MessageType::Vector", kFile, 254, "Message data was not a vector");
    vector = value;
    complete = sender != nullptr;
}

void Message::SetVector(float x, float y, float z, float w)
{
    SetVector(std::array<float, 4>{x, y, z, w});
}

void Message::SetAudioClip(const AudioClip& clip)
{
    if (complete)
        AssertionFailed("!complete", kFile, 261, "Unable to set data due to message being complete");
    if (type != MessageType::AudioClip)
        AssertionFailed("type == MessageType::AudioClip", kFile, 262, "Message data was not an audio clip");
    audioClip = clip;
    complete = sender != nullptr;
}
