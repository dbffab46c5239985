#pragma once
// Shared helpers of the tile-map, camera, level and fog tests: a scratch folder to work in (the tests
// write their own data files there), console capture and small object builders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Collider.h"
#include "GameObject.h"
#include "Message.h"
#include "Physics.h"
#include "TestFiles.h"
#include "Trace.h"
#include "Transform.h"

namespace worldtest {

namespace fs = std::filesystem;

using testsupport::CaptureConsole;
using testsupport::Contains;
using testsupport::ReadFile;
using testsupport::WriteFile;

// Works in a fresh folder of its own, holding assets/data/, for the life of the object.
class Scratch : public testsupport::ScratchDir {
public:
    explicit Scratch(const std::string& tag) : ScratchDir("world_" + tag)
    {
        Enter();
        fs::create_directories(root / "assets/data");
    }
    // Writes a file under assets/data/.
    void Data(const std::string& relative, const std::string& text) const { Write("assets/data/" + relative, text); }
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
