#pragma once
// The root of the engine, its systems, game objects and components. Per-frame work, message
// handling and message sending all go through these virtual operations; many share an empty default.
#include <cstdint>
#include <string>

#include "core/Message.h"

class Object {
public:
    Object() = default;
    virtual ~Object() = default;

    virtual std::string GetName() = 0;
    virtual void Init() = 0;
    virtual void Update(float dt) = 0;
    virtual void Draw() = 0;
    // Default: reports that the object can't be cloned and returns a new, empty GameObject.
    virtual Object* Clone();
    // Default: ignores the message (which is not owned by the handler).
    virtual void HandleMessage(Message* message);

    // Sending. Every message is sent by this object; target null means no target. The by-id members
    // look the name up in MessageNames (an id outside 0..36 is reported and nothing is sent) and
    // forward to the by-name member of their pair. The message goes to MessageSystem::Post.
    virtual void SendMessage(int id, AudioClip clip, Object* target);
    virtual void SendMessage(std::string name, AudioClip clip, Object* target);
    virtual void SendMessage(int id, float x, float y, float z, float w, Object* target);
    virtual void SendMessage(std::string name, float x, float y, float z, float w, Object* target);
    virtual void SendMessage(int id, const char* text, Object* target);
    virtual void SendMessage(std::string name, const char* text, Object* target);
    virtual void SendMessage(int id, std::uint32_t value, Object* target);
    virtual void SendMessage(std::string name, std::uint32_t value, Object* target);
    virtual void SendMessage(int id, std::uint64_t value, Object* target);
    virtual void SendMessage(std::string name, std::uint64_t value, Object* target);
    virtual void SendMessage(int id, float value, Object* target);
    virtual void SendMessage(std::string name, float value, Object* target);
    virtual void SendMessage(int id, int value, Object* target);
    virtual void SendMessage(std::string name, int value, Object* target);
    virtual void SendMessage(int id, Object* target = nullptr);
    virtual void SendMessage(std::string name, Object* target = nullptr);

    // Default: ignores the field name.
    virtual void OnFieldChanged(std::string field);
    virtual void WriteToMenuFile();
    virtual void OnEnable();
    virtual void OnDisable();

    bool IsActive() const { return active != 0; }
    void SetActive(bool on) { active = on ? 1 : 0; }

    std::uint8_t exposed = 0;   // set once the editable fields are registered
    std::uint8_t active = 1;    // the Engine updates and messages only active systems
};
