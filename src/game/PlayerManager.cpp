#include "game/PlayerManager.h"

#include <cstdint>

#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/CameraSystem.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "world/SceneSystem.h"
#include "world/TileMapSystem.h"

PlayerManager* gPlayerManager = nullptr;
std::string gPlayerSpriteSheetName;

namespace {

constexpr int MSG_REQUEST_PLAYER = 0;
constexpr int MSG_RETURN_PLAYER = 1;
constexpr int MSG_SET_CAMERA_TARGET = 20;
constexpr int MSG_SET_PLAYER_SPAWN = 28;
constexpr int MSG_ON_MANAGER_CLEAR = 36;
constexpr float SWITCH_TIME = 2.0f;
constexpr float TIMER_SLACK = 1.0e-4f;
const char* const ROTATION_SHEET = "PemmetRotationSpritesheet";
const char* const MOVING_SHEET = "PemmetMovingSpritesheet";

// The dancing player, found by the last reset.
GameObjectHandle gDancer;
float gSwitchTimer = 0.0f;
bool gSwitchArmed = false;

GameObject* FirstPlayer()
{
    return gPlayerManager ? gPlayerManager->GetPlayer(0) : nullptr;
}

// The player's sprite sheet plays the named sheet, looping.
void PlaySheet(GameObject* player)
{
    SpriteSheet* sheet = player ? player->GetSpriteSheet() : nullptr;
    if (!sheet || !GraphicsLibraryInstance)
        return;
    sheet->PlayAnimation(gPlayerSpriteSheetName, true, "PlayerBase");
}

// The camera forgets its target; the objects it could follow were deleted with the scene.
void ClearCameraTarget()
{
    if (CameraSystemInstance)
        CameraSystemInstance->target = nullptr;
}

template <typename Hook, typename Fn>
void Uninstall(Hook& hook, Fn fn)
{
    if (hook == fn)
        hook = nullptr;
}

} // namespace

// ---- Sprite-sheet switching ----------------------------------------------------------------------------

void ResetPlayerSpriteSheet()
{
    GameObject* player = gGameObjectManager ? gGameObjectManager->FindGameObject("Player") : nullptr;
    gDancer.Set(player);
    if (player) {
        GameObject* eyes = player->FindChild("PlayerEyes");
        if (Sprite* sprite = eyes ? eyes->GetSprite() : nullptr)
            sprite->color[3] = 0.0f;
        if (Transform* transform = player->GetTransform())
            transform->SetRotation(0.0f);
        gPlayerSpriteSheetName = ROTATION_SHEET;
        PlaySheet(player);
    }
    gSwitchTimer = 0.0f;
    gSwitchArmed = true;
}

void SwitchPlayerSpriteSheet(float dt)
{
    if (!gSwitchArmed)
        return;
    gSwitchTimer += dt;
    if (gSwitchTimer < SWITCH_TIME)
        return;
    gSwitchTimer = 0.0f;
    GameObject* player = gDancer.Get();
    if (!player)
        return;
    const bool toMoving = gPlayerSpriteSheetName == ROTATION_SHEET;
    gPlayerSpriteSheetName = toMoving ? MOVING_SHEET : ROTATION_SHEET;
    if (Transform* transform = player->GetTransform()) {
        const float factor = toMoving ? 2.0f : 0.5f;
        transform->SetScale(transform->ScaleX * factor, transform->ScaleY * factor);
    }
    PlaySheet(player);
}

void StopPlayerSpriteSheet()
{
    gSwitchArmed = false;
    gDancer.Reset();
}

bool IsPlayerSpriteSheetArmed()
{
    return gSwitchArmed;
}

void ResetPlayerSpriteSheetSwitches()
{
    gPlayerSpriteSheetName.clear();
    gDancer.Reset();
    gSwitchTimer = 0.0f;
    gSwitchArmed = false;
}

// ---- PlayerManager ---------------------------------------------------------------------------------------

PlayerManager::PlayerManager()
{
    gPlayerManager = this;
    TileMapPlayerHook = FirstPlayer;
    SceneResetPlayerSpriteSheetHook = ResetPlayerSpriteSheet;
    SceneSwitchPlayerSpriteSheetHook = SwitchPlayerSpriteSheet;
    SceneStopPlayerSpriteSheetHook = StopPlayerSpriteSheet;
}

PlayerManager::~PlayerManager()
{
    if (gPlayerManager != this)
        return;
    gPlayerManager = nullptr;
    Uninstall(TileMapPlayerHook, FirstPlayer);
    Uninstall(SceneResetPlayerSpriteSheetHook, ResetPlayerSpriteSheet);
    Uninstall(SceneSwitchPlayerSpriteSheetHook, SwitchPlayerSpriteSheet);
    Uninstall(SceneStopPlayerSpriteSheetHook, StopPlayerSpriteSheet);
}

void PlayerManager::Init()
{
    ClearCameraTarget();
    players.assign(maxPlayers, GameObjectHandle());
    count = 0;
    AddPlayer();
    dancing = false;
}

void PlayerManager::OnDisable()
{
    ClearCameraTarget();
}

GameObject* PlayerManager::GetPlayer(unsigned slot) const
{
    return slot < players.size() ? players[slot].Get() : nullptr;
}

void PlayerManager::AddPlayer()
{
    unsigned slot = 0;
    while (slot < players.size() && players[slot].Get())
        ++slot;
    if (maxPlayers == 0 || slot >= players.size()) {
        Trace("No space open for a new player\n");
        return;
    }
    if (!gGameObjectFactory)
        return;
    GameObject* player = gGameObjectFactory->CreateGameObject("Player", true);
    players[slot].Set(player);
    Transform* transform = player ? player->GetTransform() : nullptr;
    count += 1;
    if (!transform) {
        Trace("PlayerManager: the \"Player\" object has no Transform; it is not placed and the camera does not follow it");
        return;
    }

    if (slot == 0) {
        if (!gSceneSystem || !gSceneSystem->current) {
            transform->SetTranslation(-1000.0f, -1000.0f);
        } else {
            const float* spawn = gSceneSystem->current->GetSpawnPoint();
            if (spawn[0] != -1.0f && spawn[1] != -1.0f)
                transform->SetTranslation(spawn[0], spawn[1]);
        }
    } else if (slot == 1) {
        transform->SetTranslation(-2.0f, transform->TranslationY);
        if (Sprite* sprite = player->GetSprite(); sprite && GraphicsLibraryInstance) {
            sprite->texture = GraphicsLibrary::GetTexture("p2sketch", -1);
            sprite->textureIndex = sprite->texture ? GraphicsLibrary::GetTextureIndex(sprite->texture->name) : -1;
        }
    }
    SendMessage(MSG_SET_CAMERA_TARGET, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(transform)),
                nullptr);
}

void PlayerManager::Update(float dt)
{
    if (!active)
        return;
    if (count == 0)
        AddPlayer();
    if (dancing)
        DanceStep(dt);
}

void PlayerManager::DanceStep(float dt)
{
    const int i = danceStep;
    if (i < 0 || i >= static_cast<int>(timers.size()))
        return;
    timers[static_cast<std::size_t>(i)] -= dt;
    // Within a ten-thousandth of a second counts as run out: sixty float steps of 1/60 s leave a
    // remainder above zero and would make every second one frame longer.
    if (timers[static_cast<std::size_t>(i)] > TIMER_SLACK)
        return;
    std::string event = "Player_Happy";
    if (i < static_cast<int>(soundEffects.size())) {
        event = soundEffects[static_cast<std::size_t>(i)];
        if (i > 1)
            Trace("Pop up message");
    }
    SendMessage(std::string("Event_Play"), event.c_str(), nullptr);
    danceStep = i + 1;
}

void PlayerManager::StartDance()
{
    Stream file("DanceTimings", StreamMode_Data, false);
    if (file.IsValid()) {
        timers = file.ReadFloatArray("Timers");
        soundEffects = file.ReadStringArray("Sound Effect");
    } else {
        Trace("PlayerManager: \"DanceTimings.json\" not found; the dance plays nothing");
        timers.clear();
        soundEffects.clear();
    }
    danceStep = 0;
    dancing = true;
}

void PlayerManager::HandleMessage(Message* message)
{
    if (!message || (message->GetTarget() && message->GetTarget() != this))
        return;
    if (message->Is(MSG_REQUEST_PLAYER)) {
        Object* asker = message->GetSender();
        GameObject* player = GetPlayer(0);
        SendMessage(MSG_RETURN_PLAYER, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(player)), asker);
    } else if (message->Is(MSG_SET_PLAYER_SPAWN)) {
        if (message->type != MessageType::Vector) {
            Trace("PlayerManager: \"Set Player Spawn\" carries no position; ignored");
            return;
        }
        if (GameObject* player = GetPlayer(0)) {
            if (Transform* transform = player->GetTransform())
                transform->SetTranslation(message->vector[0], message->vector[1]);
        }
    } else if (message->IsNamed("StartDance")) {
        StartDance();
    } else if (message->Is(MSG_ON_MANAGER_CLEAR)) {
        // Every object is gone, the followed player with them.
        ClearCameraTarget();
    }
}
