#pragma once
// Shared by the scene tests: a scratch data folder to run in, an engine with the message system, a
// recorder of every broadcast message, the object factories and the object manager, stand-in systems
// that count OnEnable/OnDisable, and helpers to write data files and capture trace output.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/ISystem.h"
#include "core/Message.h"
#include "core/MessageSystem.h"
#include "core/ObjectFactory.h"
#include "core/Stream.h"
#include "core/Transform.h"
#include "world/Scene.h"
#include "world/SceneSystem.h"

namespace scenetest {

// One delivered message, copied.
struct Seen {
    std::string name;
    std::string text;
    MessageType type;
    std::array<float, 4> vector;
    float number;
    Object* sender;
};

// Records every message the engine broadcasts to it.
class Recorder : public ISystem {
public:
    std::string GetName() override { return "Recorder"; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}
    void HandleMessage(Message* message) override
    {
        seen.push_back({message->name, message->text, message->type, message->vector,
                        message->type == MessageType::Float ? message->number.f : 0.0f, message->sender});
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const Seen& s : seen)
            names.push_back(s.name);
        return names;
    }
    int Count(const std::string& name) const
    {
        int n = 0;
        for (const Seen& s : seen)
            n += s.name == name ? 1 : 0;
        return n;
    }
    const Seen* Find(const std::string& name) const
    {
        for (const Seen& s : seen)
            if (s.name == name)
                return &s;
        return nullptr;
    }
    std::vector<Seen> seen;
};

// A system under a name of the test's choosing that counts its switches.
class StandIn : public ISystem {
public:
    explicit StandIn(std::string systemName) : name_(std::move(systemName)) {}
    std::string GetName() override { return name_; }
    void Init() override { ++inits; }
    void Update(float) override {}
    void Draw() override {}
    void OnEnable() override { ++enables; }
    void OnDisable() override { ++disables; }
    int inits = 0;
    int enables = 0;
    int disables = 0;

private:
    std::string name_;
};

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::error_code ec;
        previous_ = std::filesystem::current_path();
        root_ = std::filesystem::temp_directory_path() /
                ("dustrun_scene_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_, ec);
        std::filesystem::create_directories(root_ / "assets/data/archetypes");
        std::filesystem::create_directories(root_ / "assets/data/scenes");
        std::filesystem::current_path(root_);

        engine = new Engine();
        gEngine = engine;
        engine->AddSystem(std::string("MessageSystem"));
        recorder = new Recorder();
        engine->AddSystem(recorder);
        engine->AddSystem(new ObjectFactory());
        factory = new GameObjectFactory();
        engine->AddSystem(factory);
        manager = new GameObjectManager();
        engine->AddSystem(manager);
        engine->Init();

        WriteData("archetypes/Box", R"({ "Name": "Box", "Transform": { "TranslationX": 7.0, "TranslationY": 8.0,
            "ScaleX": 2.0, "ScaleY": 3.0, "Rotation": 10.0 } })");
    }

    void TearDown() override
    {
        delete engine;
        engine = nullptr;
        gEngine = nullptr;
        std::error_code ec;
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(root_, ec);
    }

    // Writes assets/data/<name>.json exactly as given.
    void WriteData(const std::string& name, const std::string& text)
    {
        const std::filesystem::path path = root_ / "assets/data" / (name + ".json");
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string ReadData(const std::string& name)
    {
        std::ifstream in(root_ / "assets/data" / (name + ".json"), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    void WriteScene(const std::string& name, const std::string& text) { WriteData("scenes/" + name, text); }

    void Deliver()
    {
        if (gMessageSystem)
            gMessageSystem->Update(0.0f);
    }

    // Adds a SceneSystem to the engine (it is the first one, so it becomes gSceneSystem).
    SceneSystem* AddSceneSystem()
    {
        auto* system = new SceneSystem();
        engine->AddSystem(system);
        return system;
    }

    std::vector<std::string> ObjectNames()
    {
        std::vector<std::string> names;
        for (int i = 0; i < manager->GetObjectCount(); ++i)
            names.push_back(manager->GetObjectAt(i)->GetName());
        return names;
    }

    Engine* engine = nullptr;
    Recorder* recorder = nullptr;
    GameObjectFactory* factory = nullptr;
    GameObjectManager* manager = nullptr;

private:
    std::filesystem::path previous_;
    std::filesystem::path root_;
};

// Collects what the trace prints while it lives.
class TraceCapture {
public:
    TraceCapture() { ::testing::internal::CaptureStdout(); }
    ~TraceCapture()
    {
        if (!done_)
            ::testing::internal::GetCapturedStdout();
    }
    std::string Take()
    {
        done_ = true;
        return ::testing::internal::GetCapturedStdout();
    }

private:
    bool done_ = false;
};

inline int CountOf(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

} // namespace scenetest
