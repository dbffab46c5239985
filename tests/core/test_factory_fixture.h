#pragma once
// Shared by the factory and manager tests: a scratch data folder to run in, an engine with the
// message system, the factory and the manager, a system that records every broadcast message, and
// a behaviour whose reactions a test sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Behavior.h"
#include "CoreEngine.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/ISystem.h"
#include "core/Message.h"
#include "MessageRecorder.h"
#include "core/MessageSystem.h"
#include "core/ObjectFactory.h"
#include "TestFiles.h"

namespace testfixture {

using testsupport::MessageRecorder;

// A behaviour for tests: counts its calls and runs what the test hands it.
class ProbeBehavior : public Behavior {
public:
    std::string GetName() override { return "ProbeBehavior"; }
    // A copy with the reactions but fresh counters.
    Object* Clone() override
    {
        auto* copy = new ProbeBehavior(*this);
        copy->inits = 0;
        copy->updates = 0;
        copy->messages.clear();
        return copy;
    }
    void Init() override
    {
        ++inits;
        ++totalInits;
    }
    void OnUpdate(float dt) override
    {
        ++updates;
        if (onUpdate)
            onUpdate(*this, dt);
    }
    void HandleMessage(Message* message) override
    {
        messages.push_back(message->name);
        if (onMessage)
            onMessage(*this, message);
    }

    int inits = 0;
    int updates = 0;
    std::vector<std::string> messages;
    std::function<void(ProbeBehavior&, float)> onUpdate;
    std::function<void(ProbeBehavior&, Message*)> onMessage;
    static inline int totalInits = 0;
};

inline ProbeBehavior* ProbeOf(GameObject* object)
{
    return object ? dynamic_cast<ProbeBehavior*>(object->GetComponent(ComponentType::Behavior)) : nullptr;
}

// Runs each test inside a fresh scratch folder holding assets/data/, with the core engine: a
// MessageSystem, a recorder, both factories and a GameObjectManager.
class ObjectsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch_.Enter();
        std::filesystem::create_directories(scratch_ / "assets/data/archetypes");

        core_ = std::make_unique<testsupport::CoreEngine>();
        engine = core_->engine;
        recorder = core_->recorder;
        objectFactory = core_->objectFactory;
        factory = core_->factory;
        manager = core_->manager;
        ProbeBehavior::totalInits = 0;
    }

    void TearDown() override
    {
        core_.reset();
        engine = nullptr;
    }

    // Writes assets/data/<name>.json.
    void WriteData(const std::string& name, const std::string& json)
    {
        scratch_.Write("assets/data/" + name + ".json", json);
    }
    void RemoveData(const std::string& name)
    {
        std::filesystem::remove(scratch_ / ("assets/data/" + name + ".json"));
    }

    // Delivers the queued messages.
    void Deliver() { core_->Deliver(); }

    // A plain object with a probe behaviour, registered with the manager.
    GameObject* AddProbe(const std::string& name)
    {
        auto* object = new GameObject();
        object->SetName(name);
        object->SetComponent(new ProbeBehavior());
        manager->AddGameObject(object);
        return object;
    }

    std::vector<std::string> ListedNames()
    {
        std::vector<std::string> names;
        for (int i = 0; i < manager->GetObjectCount(); ++i)
            names.push_back(manager->GetObjectAt(i)->GetName());
        return names;
    }

    Engine* engine = nullptr;
    MessageRecorder* recorder = nullptr;
    ObjectFactory* objectFactory = nullptr;
    GameObjectFactory* factory = nullptr;
    GameObjectManager* manager = nullptr;

private:
    testsupport::ScratchDir scratch_{"objects"};
    std::unique_ptr<testsupport::CoreEngine> core_;
};

} // namespace testfixture
