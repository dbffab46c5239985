#pragma once
// Shared helpers of the tile-map, camera, level and fog tests: a scratch folder to work in (the tests
// write their own data files there), console capture and small object builders.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "Collider.h"
#include "GameObject.h"
#include "Message.h"
#include "Physics.h"
#include "Trace.h"
#include "Transform.h"

namespace worldtest {

namespace fs = std::filesystem;

// Everything printed to the console while the action runs.
inline std::string Capture(const std::function<void()>& action)
{
    fflush(stdout);
    testing::internal::CaptureStdout();
    action();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Works in a fresh folder of its own for the life of the object; the repository stays reachable
// through repo.
class Scratch {
public:
    explicit Scratch(const std::string& tag)
    {
        repo = fs::current_path();
        dir = fs::temp_directory_path() / ("dustrun_world_" + std::to_string(::getpid()) + "_" + tag);
        fs::remove_all(dir);
        fs::create_directories(dir / "assets/data");
        fs::current_path(dir);
    }
    ~Scratch()
    {
        fs::current_path(repo);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    // Writes a file under assets/data/.
    void Data(const std::string& relative, const std::string& text) const
    {
        WriteFile(dir / "assets/data" / relative, text);
    }
    // Copies a folder of the repository into the scratch folder.
    void CopyFromRepo(const std::string& relative) const
    {
        fs::create_directories((dir / relative).parent_path());
        fs::copy(repo / relative, dir / relative, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    fs::path repo;
    fs::path dir;
};

// A message with a text payload, sent by the given object.
inline Message* TextMessage(const std::string& name, const std::string& text, Object* sender)
{
    auto* message = new Message(name, sender, nullptr, MessageType::String);
    message->text = text;
    message->complete = true;
    return message;
}

inline Message* VectorMessage(const std::string& name, float x, float y, float z, float w, Object* sender)
{
    auto* message = new Message(name, sender, nullptr, MessageType::Vector);
    message->SetVector(x, y, z, w);
    return message;
}

// An object with a Transform at (x, y), scale 1, and a Physics; with a dynamic square collider when
// asked.
inline GameObject* MakeMover(const std::string& name, float x, float y, bool withCollider)
{
    auto* object = new GameObject();
    object->SetName(name);
    auto* transform = new Transform();
    transform->SetTranslation(x, y);
    transform->SetScale(1.0f, 1.0f);
    object->SetComponent(transform);
    object->SetComponent(new Physics());
    if (withCollider) {
        auto* collider = new Collider();
        collider->SetSquare(0.5f, 0.5f);
        collider->IsDynamic = 1;
        object->SetComponent(collider);
    }
    return object;
}

} // namespace worldtest
