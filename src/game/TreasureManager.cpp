#include "game/TreasureManager.h"

#include <algorithm>
#include <cmath>

#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "core/Vector2f.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/LightingSystem.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/ParticlePool.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "world/Scene.h"
#include "world/SceneSystem.h"


TreasureManager* gTreasureManager = nullptr;
std::string gRoomNames[TreasureManager::MAX_ROOMS];
float NormalChainLength = 1.0f;
float ShortChainLength = 0.5f;
float gChainCount = 0.0f;
float gChainWindowLeft = 0.0f;
float gChainLastSent = 0.0f;

void ResetTreasureSwitches()
{
    NormalChainLength = 1.0f;
    ShortChainLength = 0.5f;
    gChainCount = 0.0f;
    gChainWindowLeft = 0.0f;
    gChainLastSent = 0.0f;
}

namespace {

constexpr int MSG_SPAWN_TREASURE = 7;
constexpr int MSG_TREASURE_PICK_UP = 24;
constexpr int MSG_RESET_TREASURE = 25;
constexpr int MSG_CREATE_TREASURE_DISPLAY = 26;
constexpr float CHAIN_MAX = 11.0f;
constexpr float CLEARED_ROOM_CHAIN = 12.0f;
constexpr float CLEARED_GREEN = 0.3f;
const char* const LIVING_ROOM = "LivingRoomScene";

bool ValidRoom(int room)
{
    return room >= 0 && room < TreasureManager::MAX_ROOMS;
}

GameObject* FindObject(const std::string& name)
{
    return gGameObjectManager ? gGameObjectManager->FindGameObject(name) : nullptr;
}

GameObject* Create(const std::string& name)
{
    return gGameObjectFactory ? gGameObjectFactory->CreateGameObject(name, true) : nullptr;
}

// A count as two characters, "00".."99"; larger counts show as 99.
std::string TwoDigits(int value)
{
    value = std::clamp(value, 0, 99);
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

void SetPosition(GameObject* object, float x, float y)
{
    if (Transform* transform = object ? object->GetTransform() : nullptr)
        transform->SetTranslation(x, y);
}

void SetColour(GameObject* object, float r, float g, float b)
{
    if (Sprite* sprite = object ? object->GetSprite() : nullptr) {
        sprite->color[0] = r;
        sprite->color[1] = g;
        sprite->color[2] = b;
    }
}

void SetAlpha(GameObject* object, float alpha)
{
    if (Sprite* sprite = object ? object->GetSprite() : nullptr)
        sprite->color[3] = alpha;
}

void SetTexture(GameObject* object, const std::string& textureName)
{
    Sprite* sprite = object ? object->GetSprite() : nullptr;
    if (!sprite || !GraphicsLibraryInstance)
        return;
    sprite->texture = GraphicsLibrary::GetTexture(textureName, -1);
    sprite->textureIndex = sprite->texture ? GraphicsLibrary::GetTextureIndex(sprite->texture->name) : -1;
}

// The object shows the "Number" sheet stopped at the digit's frame.
void ShowDigit(GameObject* object, char digit)
{
    SpriteSheet* sheet = object ? object->GetSpriteSheet() : nullptr;
    if (!sheet || digit < '0' || digit > '9')
        return;
    if (GraphicsLibraryInstance) {
        sheet->PlayAnimation("Number", false, "Number");
        sheet->StopAnimation();
    } else {
        sheet->playing = 0;
    }
    sheet->SetCurrentFrame(digit - '0');
}

void SwitchParticlesOff(GameObject* object)
{
    if (ParticleEmitter* emitter = object->GetParticleEmitter())
        emitter->active = 0;
}

void SetParticleAlpha(GameObject* object, float alpha)
{
    ParticleEmitter* emitter = object->GetParticleEmitter();
    if (!emitter)
        return;
    ParticlePool& pool = emitter->GetPool();
    for (int i = 0; i < pool.End(); ++i) {
        if (pool.Slot(i).active)
            pool.Slot(i).color[3] = alpha;
    }
}

void PostChain(Object* sender, float value)
{
    AudioClip clip;
    clip.paramName = "PickUp_Chain";
    clip.paramValue = value;
    sender->SendMessage(std::string("Change_Global_Param"), clip, nullptr);
}

void PostOneShot(Object* sender, const char* eventName)
{
    sender->SendMessage(std::string("Event_Play"), eventName, nullptr);
    sender->SendMessage(std::string("Event_Destroy"), eventName, nullptr);
}

// ---- Seams of the scene code -------------------------------------------------------------------------

TreasureManager* Cast(ISystem* system)
{
    return dynamic_cast<TreasureManager*>(system);
}

void SeamSetRoomCount(ISystem* system, int numRooms)
{
    if (TreasureManager* treasure = Cast(system))
        treasure->NumRooms = std::clamp(numRooms, 0, TreasureManager::MAX_ROOMS);
}

void SeamForget(ISystem* system)
{
    if (TreasureManager* treasure = Cast(system))
        treasure->ForgetSceneObjects();
}

void SeamReset(ISystem* system)
{
    if (TreasureManager* treasure = Cast(system))
        treasure->Reset();
}

void SeamPingRoom(ISystem* system, float hold, float fadeTime, float strength)
{
    if (TreasureManager* treasure = Cast(system))
        treasure->PingRoom(hold, fadeTime, strength);
}

int SeamRoomNum(ISystem* system, float x, float y)
{
    TreasureManager* treasure = Cast(system);
    return treasure ? treasure->GetRoomNum(x, y) : -1;
}

int SeamRemaining(ISystem* system, int room)
{
    TreasureManager* treasure = Cast(system);
    return treasure ? treasure->GetRemaining(room) : 0;
}

std::vector<GameObjectHandle> SeamRoomObjects(ISystem* system, int room)
{
    std::vector<GameObjectHandle> handles;
    if (TreasureManager* treasure = Cast(system)) {
        for (GameObject* object : treasure->GetRoomObjects(room))
            handles.emplace_back(object);
    }
    return handles;
}

void SeamCollect(ISystem* system)
{
    if (TreasureManager* treasure = Cast(system))
        treasure->CollectTreasure();
}

void SeamCloseRoom(ISystem* system, int room)
{
    if (TreasureManager* treasure = Cast(system))
        treasure->CloseRoom(room);
}

template <typename Hook, typename Fn>
void Install(Hook& hook, Fn fn)
{
    hook = fn;
}

template <typename Hook, typename Fn>
void Uninstall(Hook& hook, Fn fn)
{
    if (hook == fn)
        hook = nullptr;
}

} // namespace

TreasureManager::TreasureManager()
{
    for (int i = 0; i < MAX_ROOMS; ++i)
        gRoomNames[i] = "Room" + std::to_string(i + 1);
    gTreasureManager = this;
    Reset();

    Install(SceneSetRoomCountHook, SeamSetRoomCount);
    Install(SceneClearTreasureDisplayHook, SeamForget);
    Install(SceneResetTreasureHook, SeamReset);
    Install(ScenePingRoomHook, SeamPingRoom);
    Install(SceneRoomNumHook, SeamRoomNum);
    Install(SceneRoomRemainingHook, SeamRemaining);
    Install(SceneRoomObjectsHook, SeamRoomObjects);
    Install(SceneCollectTreasureHook, SeamCollect);
    Install(SceneCloseRoomHook, SeamCloseRoom);
}

TreasureManager::~TreasureManager()
{
    // The seams serve whichever treasure manager the engine holds; they go with the last one.
    if (gTreasureManager == this) {
        gTreasureManager = nullptr;
        Uninstall(SceneSetRoomCountHook, SeamSetRoomCount);
        Uninstall(SceneClearTreasureDisplayHook, SeamForget);
        Uninstall(SceneResetTreasureHook, SeamReset);
        Uninstall(ScenePingRoomHook, SeamPingRoom);
        Uninstall(SceneRoomNumHook, SeamRoomNum);
        Uninstall(SceneRoomRemainingHook, SeamRemaining);
        Uninstall(SceneRoomObjectsHook, SeamRoomObjects);
        Uninstall(SceneCollectTreasureHook, SeamCollect);
        Uninstall(SceneCloseRoomHook, SeamCloseRoom);
    }
}

void TreasureManager::Init()
{
    treasureLoaded = false;
}

void TreasureManager::OnDisable()
{
    treasureLoaded = false;
}

void TreasureManager::Reset()
{
    // The collectables have no editor entries to withdraw in this build.
    // Every room is emptied: rooms at or above NumRooms never hold anything but the counts moved there
    // by closing a room.
    for (int room = 0; room < MAX_ROOMS; ++room) {
        roomObjects[room].clear();
        roomPositions[room].clear();
        remaining[room] = 0;
        collected[room] = 0;
    }
    treasureLoaded = false;
    clock = 0.0f;
    NumRooms = 0;
    pingedRoom = -1;
    totalRemaining = 0;
    countsOnly = true;
    pingHold = 0.0f;
    pingFadeTime = 0.0f;
    pingStrength = 0.0f;
    for (GameObjectHandle& handle : display)
        handle.Reset();
}

void TreasureManager::ForgetSceneObjects()
{
    for (auto& list : roomObjects) {
        for (GameObjectHandle& handle : list)
            handle.Reset();
    }
    for (GameObjectHandle& handle : display)
        handle.Reset();
}

void TreasureManager::HandleMessage(Message* message)
{
    if (!message)
        return;
    if (message->Is(MSG_SPAWN_TREASURE)) {
        if (message->type != MessageType::String) {
            Trace("TreasureManager: \"Spawn Treasure\" carries no file name; no treasure");
            return;
        }
        LoadTreasureData(message->text);
    } else if (message->Is(MSG_TREASURE_PICK_UP)) {
        CollectTreasure();
        gChainCount += 1.0f;
        gChainWindowLeft = gChainCount < CHAIN_MAX ? NormalChainLength : ShortChainLength;
    } else if (message->Is(MSG_RESET_TREASURE)) {
        // Withdraws the collectables' editor entries; there are none in this build.
    } else if (message->Is(MSG_CREATE_TREASURE_DISPLAY)) {
        CreateTreasureDisplay();
    } else if (message->IsNamed("NormalChainLengthSet") || message->IsNamed("ShortChainLengthSet")) {
        if (message->type != MessageType::Float) {
            Trace("TreasureManager: \"%s\" carries no number; ignored", message->name.c_str());
            return;
        }
        (message->IsNamed("NormalChainLengthSet") ? NormalChainLength : ShortChainLength) = message->number.f;
    }
}

void TreasureManager::LoadTreasureData(const std::string& name)
{
    if (!active)
        return;
    treasureLoaded = true;
    fileName = name;

    Stream stream(name.c_str(), StreamMode_Data, false);
    if (!stream.IsValid()) {
        Trace("TreasureManager: File \"%s.json\" not found!", name.c_str());
        return;
    }
    Trace("Loading treasure data from file \"%s.json\"...", name.c_str());
    const int wanted = stream.ReadInt("numTreasure");

    const rapidjson::Value* points = nullptr;
    if (stream.data.IsObject()) {
        auto it = stream.data.FindMember("Treasure");
        if (it != stream.data.MemberEnd() && it->value.IsArray())
            points = &it->value;
    }
    const int available = points ? static_cast<int>(points->Size()) : 0;
    if (wanted > available) {
        Trace("TreasureManager: \"%s.json\" promises %d points but lists %d; %d are read", name.c_str(), wanted,
              available, available);
    }
    const int count = std::min(wanted, available);
    for (int i = 0; i < count; ++i) {
        const rapidjson::Value& point = (*points)[static_cast<rapidjson::SizeType>(i)];
        if (!point.IsArray() || point.Size() < 2 || !point[0].IsNumber() || !point[1].IsNumber() ||
            !std::isfinite(point[0].GetDouble()) || !std::isfinite(point[1].GetDouble())) {
            Trace("TreasureManager: point %d of \"%s.json\" is not a pair of numbers; skipped", i, name.c_str());
            continue;
        }
        const float x = static_cast<float>(point[0].GetDouble());
        const float y = static_cast<float>(point[1].GetDouble());
        const int room = GetRoomNum(x, y);
        if (room == -1)
            continue;
        if (SpawnCollectable(room, x, y)) {
            remaining[room] += 1;
            totalRemaining += 1;
        }
    }
}

int TreasureManager::GetRoomNum(float x, float y)
{
    for (int room = 0; room < NumRooms && room < MAX_ROOMS; ++room) {
        GameObject* boundary = FindObject(gRoomNames[room] + "Boundary");
        Transform* transform = boundary ? boundary->GetTransform() : nullptr;
        if (!transform)
            continue;
        const float halfW = transform->ScaleX / 2.0f;
        const float halfH = transform->ScaleY / 2.0f;
        const float cx = transform->TranslationX;
        const float cy = transform->TranslationY;
        if (x >= cx - halfW && x <= cx + halfW && y >= cy - halfH && y <= cy + halfH)
            return room;
    }
    return -1;
}

bool TreasureManager::SpawnCollectable(int room, float x, float y)
{
    if (!ValidRoom(room) || !gGameObjectFactory)
        return false;
    const int k = static_cast<int>(roomObjects[room].size());
    GameObject* object = gGameObjectFactory->CreateFromArchetype("Collectable", "CollectableCommon");
    if (!object)
        return false;
    Transform* transform = object->GetTransform();
    if (!transform) {
        AssertionFailed("transform", "src/TreasureManager", 262,
                        "Collectable" + gRoomNames[room] + " #" + std::to_string(k) +
                            "'s Transform component does not exist");
        object->RequestDestroy();
        return false;
    }
    transform->SetTranslation(x, y);
    roomObjects[room].emplace_back(object);
    roomPositions[room].push_back({x, y, 0.0f, 1.0f});
    SwitchParticlesOff(object);
    Trace("   Collectable%s #%i spawned at <%f, %f>", gRoomNames[room].c_str(), k, static_cast<double>(x),
          static_cast<double>(y));
    return true;
}

void TreasureManager::CollectTreasure()
{
    for (int room = 0; room < NumRooms && room < MAX_ROOMS; ++room) {
        for (GameObjectHandle& handle : roomObjects[room]) {
            GameObject* object = handle.Get();
            Sprite* sprite = object ? object->GetSprite() : nullptr;
            if (!sprite || sprite->color[3] != 0.0f)
                continue;
            object->RequestDestroy();
            handle.Reset();
            remaining[room] -= 1;
            totalRemaining -= 1;
            collected[room] += 1;
            if (pingStrength > 0.0f)
                ShowRoomCount(room);
            SendMessage(std::string("Collect"));
            return;
        }
    }
    Trace("TreasureManager: No treasure was deleted!");
}

void TreasureManager::CloseRoom(int room)
{
    if (!ValidRoom(room))
        return;
    collected[room] += remaining[room];
    totalRemaining -= remaining[room];
    remaining[room] = 0;
}

int TreasureManager::GetRemaining(int room) const
{
    return ValidRoom(room) ? remaining[room] : 0;
}

int TreasureManager::GetCollected(int room) const
{
    return ValidRoom(room) ? collected[room] : 0;
}

int TreasureManager::GetTotalCollected() const
{
    int total = 0;
    for (int room = 0; room < MAX_ROOMS; ++room)
        total += collected[room];
    return total;
}

std::vector<GameObject*> TreasureManager::GetRoomObjects(int room) const
{
    std::vector<GameObject*> objects;
    if (!ValidRoom(room))
        return objects;
    for (const GameObjectHandle& handle : roomObjects[room])
        objects.push_back(handle.Get());
    return objects;
}

GameObject* TreasureManager::GetDisplay(int index) const
{
    return index >= 0 && index < DISPLAY_COUNT ? display[index].Get() : nullptr;
}

// ---- Update ------------------------------------------------------------------------------------------

void TreasureManager::Update(float dt)
{
    if (dt != 0.0f)
        UpdateChain(dt);
    UpdateClearedRoom();
    clock += dt;
    UpdatePing(dt);
    if (SceneSystem::GetCurrentScene() == LIVING_ROOM)
        KeepLivingRoomTreasure();
}

void TreasureManager::UpdateChain(float dt)
{
    if (gChainWindowLeft == 0.0f && gChainCount != 0.0f) {
        gChainCount = 0.0f;
        PostChain(this, 0.0f);
    } else if (gChainWindowLeft != 0.0f && gChainCount != gChainLastSent) {
        gChainCount = std::min(gChainCount, CHAIN_MAX);
        PostChain(this, gChainCount);
        const char* reaction = gChainCount == 5.0f ? "Player_Content" : gChainCount == 10.0f ? "Player_Happy" : nullptr;
        if (reaction) {
            PostOneShot(this, reaction);
            GameObject* eyes = FindObject("PlayerEyes");
            SpriteSheet* sheet = eyes ? eyes->GetSpriteSheet() : nullptr;
            if (sheet && GraphicsLibraryInstance)
                sheet->PlayAnimation("EyesHappy", false, "");
        }
    }
    gChainWindowLeft = std::max(0.0f, gChainWindowLeft - dt);
    gChainLastSent = gChainCount;
}

void TreasureManager::UpdateClearedRoom()
{
    GameObject* player = FindObject("Player");
    Transform* transform = player ? player->GetTransform() : nullptr;
    if (!transform || !treasureLoaded)
        return;
    const int room = GetRoomNum(transform->TranslationX, transform->TranslationY);
    if (room >= 0 && room < NumRooms && remaining[room] == 0)
        PostChain(this, CLEARED_ROOM_CHAIN);
}

void TreasureManager::UpdatePing(float dt)
{
    if (pingStrength <= 0.0f) {
        pingStrength = 0.0f;
        return;
    }

    if (!countsOnly && ValidRoom(pingedRoom) && LightingSystemInstance) {
        const LightingSystem& fog = *LightingSystemInstance;
        for (const GameObjectHandle& handle : roomObjects[pingedRoom]) {
            GameObject* object = handle.Get();
            Transform* transform = object ? object->GetTransform() : nullptr;
            Sprite* sprite = object ? object->GetSprite() : nullptr;
            // A picked-up collectable waiting for its message stays hidden.
            if (!transform || !sprite || sprite->color[3] == 0.0f)
                continue;
            const auto low = fog.WorldToCell(transform->TranslationX - transform->ScaleX / 2.0f,
                                             transform->TranslationY - transform->ScaleY / 2.0f);
            const auto high = fog.WorldToCell(transform->TranslationX + transform->ScaleX / 2.0f,
                                              transform->TranslationY + transform->ScaleY / 2.0f);
            bool revealed = false;
            for (int row = static_cast<int>(std::min(low.Y, high.Y)); !revealed && row <= static_cast<int>(std::max(low.Y, high.Y)); ++row) {
                for (int column = static_cast<int>(std::min(low.X, high.X)); column <= static_cast<int>(std::max(low.X, high.X)); ++column) {
                    if (fog.GetCell(column, row)) {
                        revealed = true;
                        break;
                    }
                }
            }
            if (!revealed) {
                sprite->drawThroughFog = 1;
                sprite->color[3] = pingStrength;
                SetParticleAlpha(object, pingStrength);
            }
        }
    }

    for (const GameObjectHandle& handle : display)
        SetAlpha(handle.Get(), pingStrength);

    if (pingHold > 0.0f) {
        pingHold -= dt;
        return;
    }
    pingStrength = pingFadeTime > 0.0f ? pingStrength - dt / pingFadeTime : 0.0f;
    if (pingStrength > 0.0f)
        return;
    pingStrength = 0.0f;
    if (!countsOnly) {
        for (int room = 0; room < MAX_ROOMS; ++room) {
            for (const GameObjectHandle& handle : roomObjects[room]) {
                GameObject* object = handle.Get();
                Sprite* sprite = object ? object->GetSprite() : nullptr;
                // A picked-up collectable waiting for its message stays hidden.
                if (!sprite || sprite->color[3] == 0.0f)
                    continue;
                sprite->color[3] = 1.0f;
                sprite->drawThroughFog = 0;
                SetParticleAlpha(object, 1.0f);
            }
        }
    }
    for (const GameObjectHandle& handle : display)
        SetAlpha(handle.Get(), 0.0f);
}

void TreasureManager::KeepLivingRoomTreasure()
{
    int listed = 0;
    for (const auto& list : roomObjects) {
        for (const GameObjectHandle& handle : list)
            listed += handle.Get() ? 1 : 0;
    }
    // At most the deficit of attempts per frame; a failed spawn ends the top-up.
    for (int deficit = totalRemaining - listed; deficit > 0; --deficit) {
        if (!SpawnCollectable(0, 0.0f, 0.0f))
            break;
    }
    for (int room = 0; room < MAX_ROOMS; ++room) {
        for (std::size_t i = 0; i < roomObjects[room].size() && i < roomPositions[room].size(); ++i)
            SetPosition(roomObjects[room][i].Get(), roomPositions[room][i][0], roomPositions[room][i][1]);
    }
}

// ---- Ping display ------------------------------------------------------------------------------------

GameObject* TreasureManager::DisplayObject(int index, bool throughFogHidden)
{
    if (GameObject* existing = display[index].Get())
        return existing;
    GameObject* object = Create("EndScreenDisplay");
    display[index].Set(object);
    if (object && throughFogHidden) {
        if (Sprite* sprite = object->GetSprite()) {
            sprite->drawThroughFog = 1;
            sprite->color[3] = 0.0f;
        }
    }
    return object;
}

void TreasureManager::RemoveDisplay(int index)
{
    if (GameObject* object = display[index].Get())
        object->RequestDestroy();
    display[index].Reset();
}

void TreasureManager::PingTreasure(float hold, float fadeTime, float strength)
{
    if (SceneSystem::GetCurrentScene() != LIVING_ROOM)
        return;
    PingRoom(hold, fadeTime, strength);
    countsOnly = false;
}

void TreasureManager::PingRoom(float hold, float fadeTime, float strength)
{
    if (SceneSystem::GetCurrentScene() != LIVING_ROOM)
        return;
    countsOnly = true;
    GameObject* player = FindObject("Player");
    Transform* transform = player ? player->GetTransform() : nullptr;
    const int room = transform ? GetRoomNum(transform->TranslationX, transform->TranslationY) : -1;
    if (room == -1)
        return;

    pingHold = hold;
    pingFadeTime = fadeTime;
    pingStrength = strength;
    pingedRoom = room;
    Trace("Pinging Room %i", room);

    const std::string total = TwoDigits(remaining[room] + collected[room]);
    const bool cleared = remaining[room] + collected[room] > 0 && remaining[room] == 0;
    const float green = cleared ? CLEARED_GREEN : 1.0f;
    ShowRoomCount(room);
    Trace("Treasure total: \"%s\"", total.c_str());

    // The total starts next to the slash: without its leading zero, its one digit takes the first place
    // (as the count's one digit takes the place nearest the slash on the other side).
    const int dropped = total[0] == '0' ? 1 : 0;
    for (int i = 0; i < 2; ++i) {
        const int slot = TOTAL_0 + i;
        if (i < dropped) {
            RemoveDisplay(slot);
            continue;
        }
        GameObject* digit = DisplayObject(slot, true);
        SetPosition(digit, 0.2f + 0.15f * static_cast<float>(i - dropped), 0.8f);
        ShowDigit(digit, total[static_cast<std::size_t>(i)]);
        SetColour(digit, 1.0f, green, 1.0f);
    }

    GameObject* slash = DisplayObject(SLASH, true);
    SetPosition(slash, 0.0f, 0.79f);
    SetTexture(slash, "slash_character");
    SetColour(slash, 1.0f, green, 1.0f);

    GameObject* roomName = DisplayObject(ROOM_NAME, true);
    SetPosition(roomName, 0.0f, 0.55f);
    if (Transform* nameTransform = roomName ? roomName->GetTransform() : nullptr)
        nameTransform->SetScale(2.0f * nameTransform->ScaleY, nameTransform->ScaleY);
    SetTexture(roomName, gRoomNames[room]);
    SetColour(roomName, 1.0f, green, 1.0f);
}

void TreasureManager::ShowRoomCount(int room)
{
    if (!ValidRoom(room))
        return;
    const std::string count = TwoDigits(collected[room]);
    const bool cleared = remaining[room] + collected[room] > 0 && remaining[room] == 0;
    const float green = cleared ? CLEARED_GREEN : 1.0f;
    if (cleared) {
        for (int slot : {TOTAL_0, TOTAL_1, SLASH, ROOM_NAME})
            SetColour(display[slot].Get(), 1.0f, CLEARED_GREEN, 1.0f);
    }
    const float length = static_cast<float>(count.size());
    for (std::size_t i = 0; i < count.size(); ++i) {
        const int slot = COLLECTED_0 + static_cast<int>(i);
        if (i == 0 && count[0] == '0') {
            RemoveDisplay(slot);
            continue;
        }
        GameObject* digit = DisplayObject(slot, true);
        if (!digit)
            continue;
        SetPosition(digit, -0.05f - 0.15f * length + 0.15f * static_cast<float>(i), 0.8f);
        ShowDigit(digit, count[i]);
        SetColour(digit, 1.0f, green, 1.0f);
    }
}

// ---- End screen --------------------------------------------------------------------------------------

void TreasureManager::CreateTreasureDisplay()
{
    const int seconds = clock > 0.0f ? static_cast<int>(clock) : 0;
    const std::string minutesText = std::to_string(seconds / 60);
    std::string secondsText = std::to_string(seconds % 60);
    if (secondsText.size() < 2)
        secondsText = "0" + secondsText;

    GameObject* colon = Create("EndScreenTimer");
    Transform* colonTransform = colon ? colon->GetTransform() : nullptr;
    if (!colonTransform) {
        Trace("TreasureManager: \"EndScreenTimer\" has no Transform; no time is shown");
    } else {
        const float x0 = colonTransform->TranslationX;
        const float y0 = colonTransform->TranslationY;
        colonTransform->SetTranslation(x0 + 0.1125f, y0 - 0.01f);
        SetTexture(colon, "colon_character");

        const int n = static_cast<int>(minutesText.size());
        for (int j = 0; j < n; ++j) {
            GameObject* digit = Create("EndScreenTimer");
            SetPosition(digit, x0 - 0.125f * static_cast<float>(n - 1 - j), y0);
            ShowDigit(digit, minutesText[static_cast<std::size_t>(j)]);
        }
        // The seconds' digits stand as close as the ping's: one and a half digit scales apart (wider,
        // "0:10" would read "0:1 0").
        for (std::size_t j = 0; j < secondsText.size(); ++j) {
            GameObject* digit = Create("EndScreenTimer");
            const Transform* digitTransform = digit ? digit->GetTransform() : nullptr;
            const float step = digitTransform ? 1.5f * digitTransform->ScaleX : 0.1875f;
            SetPosition(digit, x0 + 0.2375f + step * static_cast<float>(j), y0);
            ShowDigit(digit, secondsText[j]);
        }
    }

    GameObject* pickup = Create("EndScreenDisplay");
    Transform* pickupTransform = pickup ? pickup->GetTransform() : nullptr;
    if (!pickupTransform) {
        Trace("TreasureManager: \"EndScreenDisplay\" has no Transform; no pickup count is shown");
        return;
    }
    SetTexture(pickup, "Pickup");
    pickupTransform->SetScale(pickupTransform->ScaleX, pickupTransform->ScaleY / 1.5f);
    const float x1 = pickupTransform->TranslationX;
    const float y1 = pickupTransform->TranslationY;
    const std::string total = std::to_string(GetTotalCollected());
    for (std::size_t j = 0; j < total.size(); ++j) {
        GameObject* digit = Create("EndScreenDisplay");
        SetPosition(digit, x1 + 0.25f * static_cast<float>(j + 1), y1);
        ShowDigit(digit, total[j]);
    }
}
