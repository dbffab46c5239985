#include "core/Object.h"

#include <string>

#include "core/GameObject.h"
#include "core/MessageSystem.h"
#include "core/Trace.h"

Object* Object::Clone()
{
    AssertionFailed("false", "src/Object", 26,
                    "Unable to clone " + GetName() + "since no clone functio was created");
    return new GameObject();
}

void Object::HandleMessage(Message*) {}
void Object::OnFieldChanged(std::string) {}
void Object::WriteToMenuFile() {}
void Object::OnEnable() {}
void Object::OnDisable() {}

namespace {

// The name of a well-known message id; reports an id outside the table and gives null.
const std::string* NameOfId(int id)
{
    if (id < 0 || id >= MESSAGE_NAME_COUNT) {
        AssertionFailed("id >= 0 && id < MESSAGE_NAME_COUNT", "src/Object", __LINE__,
                        "Message id " + std::to_string(id) + " is not a known message; nothing was sent");
        return nullptr;
    }
    return &MessageNames[id];
}

// Steps shared by the number and text senders: warn about a message that is already complete
// (the payload is stored all the same), then mark it complete when it has a sender.
void BeforeStore(const Message* message)
{
    if (message->complete)
        Trace("Unable to set data due to message being complete.");
}

void AfterStore(Message* message)
{
    if (message->sender != nullptr)
        message->complete = true;
}

} // namespace

// AudioClip
void Object::SendMessage(int id, AudioClip clip, Object* target)
{
    if (const std::string* name = NameOfId(id))
        SendMessage(*name, std::move(clip), target);
}

void Object::SendMessage(std::string name, AudioClip clip, Object* target)
{
    Message* message = new Message(std::move(name), this, target, MessageType::AudioClip);
    message->SetAudioClip(clip);
    MessageSystem::Post(message);
}

// Vector
void Object::SendMessage(int id, float x, float y, float z, float w, Object* target)
{
    if (const std::string* name = NameOfId(id))
        SendMessage(*name, x, y, z, w, target);
}

void Object::SendMessage(std::string name, float x, float y, float z, float w, Object* target)
{
    Message* message = new Message(std::move(name), this, target, MessageType::Vector);
    message->SetVector(x, y, z, w);
    MessageSystem::Post(message);
}

// String
void Object::SendMessage(int id, const char* text, Object* target)
{
    if (const std::string* name = NameOfId(id))
        SendMessage(*name, text, target);
}

void Object::SendMessage(std::string name, const char* text, Object* target)
{
    std::string copy = text ? text : "";
    Message* message = new Message(std::move(name), this, target, MessageType::String);
    BeforeStore(message);
    message->text = std::move(copy);
    AfterStore(message);
    MessageSystem::Post(message);
}

// UInt
void Object::SendMessage(int id, std::uint32_t value, Object* target)
{
    if (const std::string* name = NameOfId(id))
        SendMessage(*name, value, target);
}

void Object::SendMessage(std::string name, std::uint32_t value, Object* target)
{
    Message* message = new Message(std::move(name), this, target, MessageType::UInt);
    BeforeStore(message);
    message->number.u64 = 0;
    message->number.u = value;
    AfterStore(message);
    MessageSystem::Post(message);
}

// UInt64
void Object::SendMessage(int id, std::uint64_t value, Object* target)
{
    if (const std::string* name = NameOfId(id))
        SendMessage(*name, value, target);
}

void Object::SendMessage(std::string name, std::uint64_t value, Object* target)
{
    Message* message = new Message(std::move(name), this, target, MessageType::UInt64);
    BeforeStore(message);
    message->number.u64 = value;
    AfterStore(message);
    MessageSystem::Post(message);
}

// Float
void Object::SendMessage(int id, float value, Object* target)
{
    if (const std::string* name = NameOfId(id))
        SendMessage(*name, value, target);
}

void Object::SendMessage(std::string name, float value, Object* target)
{
    Message* message = new Message(std::move(name), this, target, MessageType::Float);
    BeforeStore(message);
    message->number.u64 = 0;
    message->number.f = value;
    AfterStore(message);
    MessageSystem::Post(message);
}

// Int
void Object::SendMessage(int id, int value, Object* target)
{
    if (const std::string* name = NameOfId(id))
        SendMessage(*name, value, target);
}

void Object::SendMessage(std::string name, int value, Object* target)
{
    Message* message = new Message(std::move(name), this, target, MessageType::Int);
    BeforeStore(message);
    message->number.u64 = 0;
    message->number.i = value;
    AfterStore(message);
    MessageSystem::Post(message);
}

// None
void Object::SendMessage(int id, Object* target)
{
    if (const std::string* name = NameOfId(id))
        SendMessage(*name, target);
}

void Object::SendMessage(std::string name, Object* target)
{
    MessageSystem::Post(new Message(std::move(name), this, target, MessageType::None));
}
