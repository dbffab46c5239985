#pragma once
// An engine holding the systems most object tests need, added in the game's order: a MessageSystem,
// a MessageRecorder, the GameObjectFactory, the ObjectFactory and the GameObjectManager. It is
// initialised (its start-up lines kept off the console) and published as gEngine while it lives.
#include <string>

#include "MessageRecorder.h"

class Engine;
class GameObjectFactory;
class GameObjectManager;
class MessageSystem;
class ObjectFactory;

namespace testsupport {

class CoreEngine {
public:
    explicit CoreEngine(const std::string& recorderName = "MessageRecorder");
    ~CoreEngine();
    CoreEngine(const CoreEngine&) = delete;
    CoreEngine& operator=(const CoreEngine&) = delete;

    // Delivers the queued messages.
    void Deliver();

    Engine* engine = nullptr;
    MessageSystem* messages = nullptr;
    MessageRecorder* recorder = nullptr;
    GameObjectFactory* factory = nullptr;
    ObjectFactory* objectFactory = nullptr;
    GameObjectManager* manager = nullptr;
};

} // namespace testsupport
