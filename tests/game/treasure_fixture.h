#pragma once
// A scratch data folder with an engine (message system, recorder, factories, object manager), a
// graphics library without a window (textures keep their frame layout, no images), a scene system
// whose current scene the test names, and the treasure manager last.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CoreEngine.h"
#include "FolderTest.h"
#include "TestObjects.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Transform.h"
#include "game/TreasureManager.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Texture.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "world/SceneSystem.h"

namespace treasuretest {

using namespace testsupport;

class TreasureTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        ResetTreasureSwitches();
        folder.Write("assets/data/textures/Number.json", R"({"numFrames": 10, "numRows": 2, "numCols": 5, "frameTime": 0.1})");
        folder.Write("assets/data/textures/EyesHappy.json", R"({"numFrames": 4, "numRows": 2, "numCols": 2, "frameTime": 0.1})");
        folder.Write("assets/data/archetypes/Collectable.json", Shown("Collectable", 0, 0, 0.5f));
        folder.Write("assets/data/CollectableCommon.json", R"({"Archetype": "Collectable", "Name": "CollectableCommon"})");
        folder.Write("assets/data/EndScreenDisplay.json", Shown("EndScreenDisplay", -0.5f, -0.25f, 0.2f));
        folder.Write("assets/data/EndScreenTimer.json", Shown("EndScreenTimer", -0.1f, 0.1f, 0.2f));
        core = new CoreEngine();
        CaptureConsole([&] {
            graphics = new GraphicsLibrary();
            scenes = new SceneSystem();
            core->engine->AddSystem(scenes);
            treasure = new TreasureManager();
            core->engine->AddSystem(treasure);
        });
    }
    void TearDown() override
    {
        delete core;
        delete graphics;
    }

    // An object file with a Transform, a Sprite and a SpriteSheet.
    static std::string Shown(const std::string& name, float x, float y, float scale)
    {
        return "{\"Name\": \"" + name + "\", \"Transform\": {\"TranslationX\": " + std::to_string(x) +
               ", \"TranslationY\": " + std::to_string(y) + ", \"ScaleX\": " + std::to_string(scale) +
               ", \"ScaleY\": " + std::to_string(scale) + "}, \"Sprite\": {\"Alpha\": 1.0}, \"Animation\": {}}";
    }

    // The current scene of the scene system.
    void InScene(const std::string& name)
    {
        folder.Write("assets/data/scenes/" + name + ".json", "{}");
        CaptureConsole([&] {
            Scene* scene = new Scene(name);
            scenes->scenes.push_back(scene);
            scenes->current = scene;
        });
    }

    // Hand-made objects take ids far above the factory's, so handles never mix them up.
    GameObject* Add(GameObject* object)
    {
        static std::uint32_t nextId = 1000000;
        object->SetId(nextId++);
        core->manager->AddGameObject(object);
        return object;
    }
    // Two rooms 10 x 10 centred on (0, 0) and (10, 0).
    void TwoRooms()
    {
        Add(MakePlacedObject("Room1Boundary", 0, 0, 0, 10, 10));
        Add(MakePlacedObject("Room2Boundary", 10, 0, 0, 10, 10));
        treasure->NumRooms = 2;
    }
    // Loads a treasure file of those points; returns the trace.
    std::string Load(const std::string& points, int count)
    {
        folder.Write("assets/data/T.json", "{\"numTreasure\": " + std::to_string(count) + ", \"Treasure\": " + points + "}");
        return CaptureConsole([&] { treasure->LoadTreasureData("T"); });
    }
    GameObject* Player(float x, float y)
    {
        return Add(MakePlacedObject("Player", x, y));
    }

    std::string Frames(int n, float dt = 1.0f / 60.0f)
    {
        return CaptureConsole([&] {
            for (int i = 0; i < n; ++i)
                core->engine->Update(dt);
        });
    }
    // Hides the first visible collectable and posts what a collectable posts on contact.
    void PickUp()
    {
        for (int room = 0; room < TreasureManager::MAX_ROOMS; ++room) {
            for (GameObject* object : treasure->GetRoomObjects(room)) {
                if (object && object->GetSprite()->color[3] != 0.0f) {
                    object->SendMessage(24);
                    object->SendMessage(15, 10, nullptr);
                    object->SendMessage(6);
                    object->SendMessage(17, 1, nullptr);
                    object->GetSprite()->color[3] = 0.0f;
                    return;
                }
            }
        }
    }
    // The values of "PickUp_Chain" posted so far.
    std::vector<float> Chain() const
    {
        std::vector<float> values;
        for (const SeenMessage& seen : core->recorder->seen)
            if (seen.name == "Change_Global_Param" && seen.clip.paramName == "PickUp_Chain")
                values.push_back(seen.clip.paramValue);
        return values;
    }

    CoreEngine* core = nullptr;
    GraphicsLibrary* graphics = nullptr;
    SceneSystem* scenes = nullptr;
    TreasureManager* treasure = nullptr;
};

} // namespace treasuretest
