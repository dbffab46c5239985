#pragma once
// Shared by the factory and manager tests: a scratch data folder to run in, an engine with the
// message system, the factory and the manager, a system that records every broadcast message, and
// a behaviour whose reactions a test sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "Behavior.h"
#include "Engine.h"
#include "GameObject.h"
#include "GameObjectFactory.h"
#include "GameObjectManager.h"
#include "ISystem.h"
#include "Message.h"
#include "MessageSystem.h"
#include "ObjectFactory.h"

namespace testfixture {

// Records the name and text of every message the engine broadcasts to it.
class MessageRecorder : public ISystem {
public:
    std::string GetName() override { return "MessageRecorder"; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}
    void HandleMessage(Message* message) override
    {
        names.push_back(message->name);
        texts.push_back(message->text);
    }
    int Count(const std::string& name) const
    {
        int n = 0;
        for (const std::string& seen : names)
            n += seen == name ? 1 : 0;
        return n;
    }
    void Clear()
    {
        names.clear();
        texts.clear();
    }

    std::vector<std::string> names;
    std::vector<std::string> texts;
};

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

// Runs each test inside a fresh scratch folder holding assets/data/, with an engine made of a
// MessageSystem, a recorder, an ObjectFactory, a GameObjectFactory and a GameObjectManager.
class ObjectsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::error_code ec;
        previous_ = std::filesystem::current_path();
        root_ = std::filesystem::temp_directory_path() /
                ("dustrun_objects_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_, ec);
        std::filesystem::create_directories(root_ / "assets/data/archetypes");
        std::filesystem::current_path(root_);

        engine = new Engine();
        gEngine = engine;
        engine->AddSystem(std::string("MessageSystem"));
        recorder = new MessageRecorder();
        engine->AddSystem(recorder);
        objectFactory = new ObjectFactory();
        engine->AddSystem(objectFactory);
        factory = new GameObjectFactory();
        engine->AddSystem(factory);
        manager = new GameObjectManager();
        engine->AddSystem(manager);
        engine->Init();
        ProbeBehavior::totalInits = 0;
    }

    void TearDown() override
    {
        delete engine;
        engine = nullptr;
        std::error_code ec;
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(root_, ec);
    }

    // Writes assets/data/<name>.json.
    void WriteData(const std::string& name, const std::string& json)
    {
        const std::filesystem::path path = root_ / "assets/data" / (name + ".json");
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << json;
    }
    void RemoveData(const std::string& name)
    {
        std::filesystem::remove(root_ / "assets/data" / (name + ".json"));
    }

    // Delivers the queued messages.
    void Deliver()
    {
        if (gMessageSystem)
            gMessageSystem->Update(0.0f);
    }

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
    std::filesystem::path previous_;
    std::filesystem::path root_;
};

} // namespace testfixture
