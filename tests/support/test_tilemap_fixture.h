#pragma once
// Shared helpers of the tile-map, camera, level and fog tests: a scratch folder to work in (the tests
// write their own data files there), tile-map JSON builders and small object and message builders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/Message.h"
#include "world/Collider.h"
#include "world/Physics.h"
#include "TestFiles.h"
#include "core/Trace.h"
#include "core/Transform.h"

namespace worldtest {

namespace fs = std::filesystem;

using testsupport::CaptureConsole;
using testsupport::Contains;
using testsupport::ReadFile;
using testsupport::WriteFile;

// Works in a fresh folder of its own (named after the tag and the running test), holding assets/data/,
// for the life of the object.
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

// Tile-map JSON: a list of tile ids, a tile layer, a whole map and a tileset file.
inline std::string Gids(const std::vector<int>& gids)
{
    std::string text = "[";
    for (std::size_t i = 0; i < gids.size(); ++i)
        text += (i ? ", " : "") + std::to_string(gids[i]);
    return text + "]";
}

inline std::string Layer(int id, const std::string& name, const std::vector<int>& gids, bool visible = true)
{
    return "{\"data\": " + Gids(gids) + ", \"id\": " + std::to_string(id) + ", \"name\": \"" + name +
           "\", \"type\": \"tilelayer\", \"visible\": " + (visible ? "true" : "false") + "}";
}

inline std::string Map(int width, int height, int nextLayerId, const std::vector<std::string>& layers,
                       const std::string& tilesets, int numOfTileSets)
{
    std::string text = "{\"width\": " + std::to_string(width) + ", \"height\": " + std::to_string(height) +
                       ", \"nextlayerid\": " + std::to_string(nextLayerId) + ", \"layers\": [";
    for (std::size_t i = 0; i < layers.size(); ++i)
        text += (i ? ", " : "") + layers[i];
    return text + "], \"numOfTileSets\": " + std::to_string(numOfTileSets) + ", \"tilesets\": " + tilesets + "}";
}

inline std::string TilesetFile(const std::string& name, int columns, int tilecount)
{
    return "{\"columns\": " + std::to_string(columns) + ", \"tilecount\": " + std::to_string(tilecount) +
           ", \"name\": \"" + name + "\", \"image\": \"../../textures/" + name + ".png\"}";
}

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
    object->SetId(GameObjectFactory::TakeNextId());
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
