#include "world/Scene.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "core/Vector4f.h"
#include "graphics/LightingSystem.h"
#include "graphics/Window.h"
#include "world/LevelSystem.h"

void (*SceneLoadMenuHook)(ISystem*, const std::string&) = nullptr;
void (*SceneSetRoomCountHook)(ISystem*, int) = nullptr;
void (*SceneClearTreasureDisplayHook)(ISystem*) = nullptr;
void (*SceneResetTreasureHook)(ISystem*) = nullptr;

namespace {

using rapidjson::Value;

constexpr float DEGREES_TO_RADIANS = 0.017453292f;
constexpr int MAX_ROOMS = 8;
constexpr int MAX_FOG_CELLS = 4096;
const char* const GAMEPLAY_SYSTEMS[] = {"PlayerManager", "ScoreManager", "TileMapSystem"};

// The root member of that name, or null (also when the root is not an object).
const Value* Member(const Stream* stream, const char* key)
{
    if (!stream || !stream->data.IsObject())
        return nullptr;
    auto it = stream->data.FindMember(key);
    return it == stream->data.MemberEnd() ? nullptr : &it->value;
}

const Value* Member(const Value* object, const char* key)
{
    if (!object || !object->IsObject())
        return nullptr;
    auto it = object->FindMember(key);
    return it == object->MemberEnd() ? nullptr : &it->value;
}

bool IsFiniteNumber(const Value* value)
{
    return value && value->IsNumber() && std::isfinite(value->GetDouble());
}

// A number that fits a float; anything else is not.
bool ReadFloat(const Value* value, float& out)
{
    if (!IsFiniteNumber(value) || std::fabs(value->GetDouble()) > 3.4e38)
        return false;
    out = static_cast<float>(value->GetDouble());
    return true;
}

bool ReadInt(const Value* value, int& out)
{
    if (!value || !value->IsInt())
        return false;
    out = value->GetInt();
    return true;
}

// Elements 0 and 1 of an array of numbers.
bool ReadPair(const Value* value, float& x, float& y)
{
    if (!value || !value->IsArray() || value->Size() < 2)
        return false;
    return ReadFloat(&(*value)[0], x) && ReadFloat(&(*value)[1], y);
}

std::string String(const Value& value)
{
    return std::string(value.GetString(), value.GetStringLength());
}

// Stores a transform value only when it differs, marking the transform changed.
void Store(Transform* transform, float& field, float value)
{
    if (field != value) {
        field = value;
        transform->dirty = true;
    }
}

GameObject* Create(const std::string& objectName)
{
    if (!gGameObjectFactory) {
        Trace("Scene: no GameObjectFactory; \"%s\" was not created", objectName.c_str());
        return nullptr;
    }
    return gGameObjectFactory->CreateGameObject(objectName, true);
}

} // namespace

ISystem* Scene::FindSystem(const std::string& systemName)
{
    if (!gEngine)
        return nullptr;
    for (ISystem* system : gEngine->GetSystems()) {
        if (system && system->GetName() == systemName)
            return system;
    }
    return nullptr;
}

Scene::Scene(std::string sceneName) : name(std::move(sceneName))
{
    dataStream = new Stream(("scenes/" + name).c_str(), StreamMode_Data, false);

    const Value* tileMap = Member(dataStream, "Tilemap Name");
    if (tileMap && tileMap->IsString())
        tileMapName = String(*tileMap);
    else
        Trace("ERROR: No Tilemap id given for the scene: %s", name.c_str());

    if (const Value* value = Member(dataStream, "Pausable")) {
        if (value->IsBool())
            pausable = value->GetBool();
        else
            Trace("Scene %s: \"Pausable\" is not true or false; the scene is not pausable", name.c_str());
    }

    if (const Value* colour = Member(dataStream, "Background")) {
        static const char* const keys[4] = {"ColorR", "ColorG", "ColorB", "Alpha"};
        if (!colour->IsObject()) {
            Trace("Scene %s: \"Background\" is not an object; the default colour is used", name.c_str());
        } else {
            for (int i = 0; i < 4; ++i) {
                float component = 0.0f;
                if (!ReadFloat(Member(colour, keys[i]), component))
                    Trace("Scene %s: \"Background\" has no number \"%s\"; 0 is used", name.c_str(), keys[i]);
                background[i] = component;
            }
        }
    }

    if (const Value* point = Member(dataStream, "Player Spawn Position")) {
        float x = -1.0f;
        float y = -1.0f;
        if (ReadPair(point, x, y)) {
            spawn[0] = x;
            spawn[1] = y;
        } else {
            Trace("Scene %s: \"Player Spawn Position\" is not a pair of numbers; no spawn point", name.c_str());
        }
    }

    // Keys read later, each time the scene is set up: a wrong type is told once, here.
    if (const Value* type = Member(dataStream, "Scene Type"); type && !type->IsString())
        Trace("Scene %s: \"Scene Type\" is not a name; the scene is not a gameplay scene", name.c_str());
    if (const Value* level = Member(dataStream, "Level"); level && !level->IsInt())
        Trace("Scene %s: \"Level\" is not a whole number; a reload keeps the level's fog", name.c_str());
    if (const Value* shown = Member(dataStream, "Scene Name"); shown && !shown->IsString())
        Trace("Scene %s: \"Scene Name\" is not a name; it is not the win screen", name.c_str());
    if (const Value* rooms = Member(dataStream, "RoomSystem"); rooms && !rooms->IsObject())
        Trace("Scene %s: \"RoomSystem\" is not an object; the rooms are left as they were", name.c_str());

    if (!dataStream->IsValid())
        AssertionFailed("dataStream->IsValid()", "src/Scene", 107, "Unable to find scene with name " + name + ".");
}

Scene::~Scene()
{
    delete dataStream;
}

std::string Scene::GetSceneType() const
{
    const Value* type = Member(dataStream, "Scene Type");
    return type && type->IsString() ? String(*type) : std::string();
}

void Scene::Init()
{
    if (!owner)
        return;

    // 1. The menu.
    if (const Value* menu = Member(dataStream, "Menu")) {
        if (!menu->IsString()) {
            Trace("Scene %s: \"Menu\" is not a name; no menu", name.c_str());
        } else if (ISystem* menus = FindSystem("MenuSystem")) {
            if (SceneLoadMenuHook)
                SceneLoadMenuHook(menus, String(*menu));
        }
    }

    // 2. The fog of war, 3. the rooms, 4. the treasure display.
    SetUpFog();
    SetUpRooms();
    if (ISystem* treasure = FindSystem("TreasureManager")) {
        if (SceneClearTreasureDisplayHook)
            SceneClearTreasureDisplayHook(treasure);
    }

    // 5. The objects.
    CreateSceneObjects();

    // 6. Treasure, tile map and spawn point of a gameplay scene.
    if (IsGameplay()) {
        if (const Value* list = Member(dataStream, "CollectibleList")) {
            if (list->IsString())
                SendMessage(MessageId::SpawnTreasure, String(*list).c_str(), nullptr);
            else
                Trace("Scene %s: \"CollectibleList\" is not a name; no treasure", name.c_str());
        }
        if (!tileMapName.empty()) {
            SendMessage(std::string("LoadTileMap"), tileMapName.c_str(), nullptr);
            SendMessage(std::string("DisplayTileMap"), tileMapName.c_str(), nullptr);
        } else if (gEngine) {
            if (ISystem* tiles = gEngine->GetSystem("TileMapSystem")) {
                tiles->SetActive(false);
                tiles->OnDisable();
            }
        }
        if (spawn[0] != -1.0f && spawn[1] != -1.0f)
            SendMessage(MessageId::SetPlayerSpawn, spawn[0], spawn[1], 0.0f, 0.0f, nullptr);
    }

    // 7. The background colour, for every scene.
    SendMessage(std::string("SetBGColor"), background[0], background[1], background[2], background[3], nullptr);
}

void Scene::SetUpFog()
{
    auto* lighting = dynamic_cast<LightingSystem*>(FindSystem("LightingSystem"));
    const Value* block = Member(dataStream, "LightingSystem");
    if (block && !block->IsObject()) {
        Trace("Scene %s: \"LightingSystem\" is not an object; the fog is off", name.c_str());
        block = nullptr;
    }
    if (!block) {
        if (lighting)
            lighting->enabled = 0;
        return;
    }

    if (const Value* position = Member(block, "GridPosition")) {
        float x = 0.0f;
        float y = 0.0f;
        if (!ReadPair(position, x, y)) {
            Trace("Scene %s: \"GridPosition\" is not a pair of numbers; the grid stays where it is", name.c_str());
        } else if (lighting) {
            lighting->originX = x;
            lighting->originY = y;
        }
    }

    const Value* widthValue = Member(block, "GridWidth");
    const Value* heightValue = Member(block, "GridHeight");
    if (widthValue && heightValue) {
        int width = 0;
        int height = 0;
        if (!ReadInt(widthValue, width) || !ReadInt(heightValue, height) || width < 1 || height < 1 ||
            width > MAX_FOG_CELLS || height > MAX_FOG_CELLS) {
            Trace("Scene %s: the fog grid size must be two whole numbers from 1 to %d; the grid is kept",
                  name.c_str(), MAX_FOG_CELLS);
        } else if (lighting && lighting->ResizeGrid(width, height)) {
            // The new, unrevealed grid becomes the current level's grid as well.
            if (auto* levels = dynamic_cast<LevelSystem*>(FindSystem("LevelSystem")))
                levels->CopyFromLighting(*lighting);
        }
    }

    if (lighting)
        lighting->enabled = 1;
}

void Scene::SetUpRooms()
{
    const Value* block = Member(dataStream, "RoomSystem");
    const Value* countValue = Member(block, "NumRooms");
    if (!countValue)
        return;
    int numRooms = 0;
    if (!ReadInt(countValue, numRooms)) {
        Trace("Scene %s: \"NumRooms\" is not a whole number; the rooms are left as they were", name.c_str());
        return;
    }
    if (numRooms > MAX_ROOMS) {
        Trace("TreasureManager ERROR: Too many rooms!! Max is 8");
        return;
    }
    if (numRooms < 0) {
        Trace("Scene %s: \"NumRooms\" is below 0; the rooms are left as they were", name.c_str());
        return;
    }
    if (ISystem* treasure = FindSystem("TreasureManager")) {
        if (SceneSetRoomCountHook)
            SceneSetRoomCountHook(treasure, numRooms);
    }
    for (int i = 1; i <= numRooms; ++i) {
        const std::string boundary = "Room" + std::to_string(i) + "Boundary";
        if (gGameObjectManager && gGameObjectManager->FindGameObject(boundary))
            continue;
        Create("archetypes/" + boundary);
    }
}

void Scene::CreateSceneObjects()
{
    // 1. Objects created as they are.
    if (const Value* list = Member(dataStream, "Init GameObjects")) {
        if (!list->IsArray()) {
            Trace("Scene %s: \"Init GameObjects\" is not a list; none created", name.c_str());
        } else {
            for (rapidjson::SizeType i = 0; i < list->Size(); ++i) {
                const Value& entry = (*list)[i];
                if (entry.IsString())
                    Create(String(entry));
                else
                    Trace("Scene %s: \"Init GameObjects\" entry %u is not a name; skipped", name.c_str(), i);
            }
        }
    }

    // 2. Placed objects need both their names and their positions.
    const Value* names = Member(dataStream, "Scene GameObjects");
    const Value* positions = Member(dataStream, "Scene Positions");
    if (!names || !positions)
        return;
    if (!names->IsArray() || !positions->IsArray()) {
        Trace("Scene %s: \"Scene GameObjects\" and \"Scene Positions\" must be lists; no objects placed", name.c_str());
        return;
    }

    // 3.-5. Missing scales and rotations are written back, one default per position.
    const rapidjson::SizeType count = positions->Size();
    if (!Member(dataStream, "Scene Scales")) {
        std::vector<Vector4f> scales(count, Vector4f(1.0f, 1.0f, 1.0f, 0.0f));
        dataStream->AddField("Scene Scales", Stream::StreamData(std::move(scales)));
    }
    if (!Member(dataStream, "Scene Rotation")) {
        std::vector<int32_t> rotations(count, 0);
        dataStream->AddField("Scene Rotation", Stream::StreamData(std::move(rotations)));
    }

    // 6. The arrays as they are now (AddField may have moved members: look them up again).
    names = Member(dataStream, "Scene GameObjects");
    positions = Member(dataStream, "Scene Positions");
    const Value* scales = Member(dataStream, "Scene Scales");
    const Value* rotations = Member(dataStream, "Scene Rotation");
    if (scales && !scales->IsArray()) {
        Trace("Scene %s: \"Scene Scales\" is not a list; the archetypes' scales are kept", name.c_str());
        scales = nullptr;
    }
    if (rotations && !rotations->IsArray()) {
        Trace("Scene %s: \"Scene Rotation\" is not a list; the archetypes' rotations are kept", name.c_str());
        rotations = nullptr;
    }

    const rapidjson::SizeType objects = names->Size();
    auto reportShort = [&](const Value* list, const char* key) {
        if (list && list->Size() < objects)
            Trace("Scene %s: \"%s\" holds %u entries for %u objects; the others keep their archetype's values",
                  name.c_str(), key, list->Size(), objects);
    };
    reportShort(positions, "Scene Positions");
    reportShort(scales, "Scene Scales");
    reportShort(rotations, "Scene Rotation");

    // 7. Create, place, scale and rotate.
    for (rapidjson::SizeType i = 0; i < objects; ++i) {
        const Value& entry = (*names)[i];
        if (!entry.IsString()) {
            Trace("Scene %s: \"Scene GameObjects\" entry %u is not a name; skipped", name.c_str(), i);
            continue;
        }
        const std::string objectName = String(entry);
        GameObject* object = Create(objectName);
        if (!object)
            continue;
        const std::string shown = object->GetName();
        Transform* transform = object->GetTransform();
        if (!transform) {
            Trace("Scene %s: object \"%s\" has no Transform; it is not placed", name.c_str(), shown.c_str());
            continue;
        }
        float x = 0.0f;
        float y = 0.0f;
        if (i < positions->Size()) {
            if (ReadPair(&(*positions)[i], x, y)) {
                Store(transform, transform->TranslationX, x);
                Store(transform, transform->TranslationY, y);
            } else {
                Trace("Scene %s: position %u is not a pair of numbers; \"%s\" keeps its own", name.c_str(), i,
                      shown.c_str());
            }
        }
        if (scales && i < scales->Size()) {
            if (ReadPair(&(*scales)[i], x, y)) {
                Store(transform, transform->ScaleX, x);
                Store(transform, transform->ScaleY, y);
            } else {
                Trace("Scene %s: scale %u is not a pair of numbers; \"%s\" keeps its own", name.c_str(), i,
                      shown.c_str());
            }
        }
        if (rotations && i < rotations->Size()) {
            const Value& degrees = (*rotations)[i];
            float value = 0.0f;
            if (ReadFloat(&degrees, value) && std::fabs(value) < 1.0e9f) {
                const int whole = degrees.IsInt() ? degrees.GetInt() : static_cast<int>(value);
                Store(transform, transform->Rotation, static_cast<float>(whole) * DEGREES_TO_RADIANS);
            } else {
                Trace("Scene %s: rotation %u is not a number; \"%s\" keeps its own", name.c_str(), i,
                      shown.c_str());
            }
        }
    }
}

void Scene::SwitchGameplaySystems(bool on)
{
    for (const char* systemName : GAMEPLAY_SYSTEMS) {
        ISystem* system = FindSystem(systemName);
        if (!system)
            continue;
        system->SetActive(on);
        if (on)
            system->OnEnable();
        else
            system->OnDisable();
    }
}

void Scene::SetUpSystems()
{
    if (!gEngine)
        return;
    if (IsGameplay()) {
        if (gEngine->GetSystem("PlayerManager")) {
            SwitchGameplaySystems(true);
            if (ISystem* treasure = FindSystem("TreasureManager")) {
                if (SceneResetTreasureHook)
                    SceneResetTreasureHook(treasure);
            }
        } else {
            // The first gameplay scene brings the gameplay systems in. One that is already there
            // (added by an earlier scene while the player manager is missing) is switched on instead
            // of being added a second time.
            for (const char* systemName : GAMEPLAY_SYSTEMS) {
                if (ISystem* present = FindSystem(systemName)) {
                    present->SetActive(true);
                    present->OnEnable();
                } else if (ISystem* system = gEngine->AddSystem(std::string(systemName))) {
                    system->Init();
                }
            }
            // The level's clock starts with the level, not with the program (the treasure manager
            // has been counting through the menus since it was made).
            if (ISystem* treasure = FindSystem("TreasureManager")) {
                if (SceneResetTreasureHook)
                    SceneResetTreasureHook(treasure);
            }
        }
        return;
    }

    // A menu screen's objects are placed around the world's origin: camera 0 goes back there (a level
    // leaves it wherever it last followed the player).
    if (!CameraList.empty()) {
        Camera& camera = CameraList[0];
        camera.x = 0.0f;
        camera.y = 0.0f;
        const Camera start;
        std::copy(std::begin(start.matrix), std::end(start.matrix), std::begin(camera.matrix));
    }

    const Value* sceneName = Member(dataStream, "Scene Name");
    if (sceneName && sceneName->IsString() && String(*sceneName) == "Win")
        gEngine->SendMessage(MessageId::CreateTreasureDisplay);
    if (FindSystem("PlayerManager"))
        SwitchGameplaySystems(false);
}

void Scene::Restart()
{
    if (IsGameplay() && FindSystem("PlayerManager")) {
        SwitchGameplaySystems(false);
        if (ISystem* treasure = FindSystem("TreasureManager")) {
            if (SceneResetTreasureHook)
                SceneResetTreasureHook(treasure);
        }
        SwitchGameplaySystems(true);
    }
    int level = 0;
    if (ReadInt(Member(dataStream, "Level"), level) && level >= 1 && level <= 3) {
        if (auto* levels = dynamic_cast<LevelSystem*>(FindSystem("LevelSystem")))
            levels->ClearCurrentGrid();
    }
}
