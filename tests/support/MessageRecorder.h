#pragma once
// A system that keeps a copy of every message the engine hands it.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/ISystem.h"
#include "core/Message.h"

namespace testsupport {

// One delivered message as the recorder saw it.
struct SeenMessage {
    std::string name;
    MessageType type;
    Object* sender;
    Object* target;
    MessageNumber number;
    std::string text;
    std::array<float, 4> vector;
    AudioClip clip;
};

class MessageRecorder : public ISystem {
public:
    explicit MessageRecorder(std::string systemName = "MessageRecorder") : name(std::move(systemName)) {}
    std::string GetName() override { return name; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}
    void HandleMessage(Message* message) override;

    std::vector<std::string> Names() const;
    std::vector<std::string> Texts() const;
    int Count(const std::string& messageName) const;
    void Clear() { seen.clear(); }

    std::string name;
    std::vector<SeenMessage> seen;
    // Runs after each message is recorded, when set.
    std::function<void(Message*)> onMessage;
};

} // namespace testsupport
