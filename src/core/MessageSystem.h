#pragma once
// Owns posted messages and delivers them, first in first out, as broadcasts through
// Engine::HandleMessage during its Update.
#include "core/ISystem.h"

class Engine;
class LinkedList;
class Message;

class MessageSystem : public ISystem {
public:
    MessageSystem() = default;
    // Frees every undelivered message and the queue; clears gMessageSystem when it points here.
    ~MessageSystem() override;

    std::string GetName() override { return "MessageSystem"; }
    // Publishes this system in gMessageSystem and creates an empty queue.
    void Init() override;
    // Delivers the queue until it is empty, including messages posted by handlers meanwhile.
    // dt is ignored.
    void Update(float dt) override;
    void Draw() override {}

    // Takes ownership: queues the message on gMessageSystem, or frees it at once when there is none
    // (or it has not been initialised).
    static void Post(Message* message);
    // The engine that receives the broadcasts. Null is reported (and stored); delivery then falls
    // back to gEngine.
    void SetEngine(Engine* engine);
    Engine* GetEngine() const { return p_engine; }
    // Forgets the engine when it is the given one (the engine is going away).
    void ForgetEngine(const Engine* engine)
    {
        if (p_engine == engine)
            p_engine = nullptr;
    }
    // Messages waiting in the queue.
    int QueuedCount() const;

private:
    LinkedList* queue = nullptr;
    Engine* p_engine = nullptr;
};

// The live (initialised) MessageSystem, or null.
extern MessageSystem* gMessageSystem;
