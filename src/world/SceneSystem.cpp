#include "world/SceneSystem.h"

#include "core/Engine.h"

#include <GLFW/glfw3.h>

#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/InputManager.h"
#include "graphics/LightingSystem.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Window.h"
#include "world/LevelSystem.h"

SceneSystem* gSceneSystem = nullptr;
GameObject* gPlayerObject = nullptr;

void (*ScenePingRoomHook)(ISystem*, float, float, float) = nullptr;
int (*SceneRoomNumHook)(ISystem*, float, float) = nullptr;
int (*SceneRoomRemainingHook)(ISystem*, int) = nullptr;
std::vector<GameObjectHandle> (*SceneRoomObjectsHook)(ISystem*, int) = nullptr;
void (*SceneCollectTreasureHook)(ISystem*) = nullptr;
void (*SceneCloseRoomHook)(ISystem*, int) = nullptr;
void (*SceneResetPlayerSpriteSheetHook)() = nullptr;
void (*SceneSwitchPlayerSpriteSheetHook)(float) = nullptr;
void (*SceneStopPlayerSpriteSheetHook)() = nullptr;

namespace {

constexpr int ROOM_COUNT = 8;

GameObject* FindObject(const std::string& objectName)
{
    return gGameObjectManager ? gGameObjectManager->FindGameObject(objectName) : nullptr;
}

void ClearLevelGrid()
{
    if (auto* levels = dynamic_cast<LevelSystem*>(Scene::FindSystem("LevelSystem")))
        levels->ClearCurrentGrid();
}

// The key index of a GLFW key, or -1.
int Key(int glfwKey)
{
    return InputManager::KeyIndexFromGlfw(glfwKey);
}

// What the engine and the window below ask of the scenes.
bool CurrentScenePausable()
{
    return gSceneSystem && gSceneSystem->current && gSceneSystem->current->IsPausable();
}

bool ChangePending()
{
    return gSceneSystem && gSceneSystem->IsChangePending();
}

} // namespace

SceneSystem::SceneSystem()
{
    if (!gSceneSystem) {
        gSceneSystem = this;
        ScenePausableHook = CurrentScenePausable;
        SceneChangePendingHook = ChangePending;
        startMarker = -1;
        // The first scene fades in from black.
        SetFadeAlpha(0.0f);
    }
}

SceneSystem::~SceneSystem()
{
    while (!scenes.empty()) {
        Scene* scene = scenes.back();
        scenes.pop_back();
        delete scene;
    }
    current = nullptr;
    next = nullptr;
    settingUp = nullptr;
    if (gSceneSystem == this) {
        gSceneSystem = nullptr;
        ScenePausableHook = nullptr;
        SceneChangePendingHook = nullptr;
    }
}

void SceneSystem::Init()
{
    Stream initial("scenes/InitialScene", StreamMode_Data, false);
    SetNextScene(initial.ReadString("Initial Scene"));
}

float SceneSystem::GetFadeAlpha() const
{
    return CurrentWindow ? CurrentWindow->globalAlpha : ownAlpha_;
}

void SceneSystem::SetFadeAlpha(float alpha)
{
    ownAlpha_ = alpha;
    if (CurrentWindow)
        CurrentWindow->globalAlpha = alpha;
}

bool SceneSystem::IsChangePending() const
{
    return (next && next != current) || reload;
}

Scene* SceneSystem::FindScene(const std::string& sceneName) const
{
    for (Scene* scene : scenes) {
        if (scene->GetName() == sceneName)
            return scene;
    }
    return nullptr;
}

std::string SceneSystem::GetCurrentScene()
{
    if (!gSceneSystem || !gSceneSystem->current)
        return std::string();
    return gSceneSystem->current->GetName();
}

std::string SceneSystem::GetSceneBeingSetUp()
{
    if (gSceneSystem && gSceneSystem->settingUp)
        return gSceneSystem->settingUp->GetName();
    return GetCurrentScene();
}

void SceneSystem::SetNextScene(std::string sceneName)
{
    if (winPending)
        return;
    if (sceneName == "Win") {
        if (SceneResetPlayerSpriteSheetHook)
            SceneResetPlayerSpriteSheetHook();
        SceneSystem* sender = gSceneSystem ? gSceneSystem : this;
        sender->SendMessage(std::string("Final Collect"));
        sender->SendMessage(std::string("StartDance"));
        fadeTimer = WIN_FADE_TIME;
        fadeStep = WIN_FADE_STEP;
        winPending = true;
    }
    Scene* scene = FindScene(sceneName);
    if (!scene)
        scene = new Scene(sceneName);
    QueueNextScene(scene);
}

void SceneSystem::QueueNextScene(Scene* nextScene)
{
    if (!nextScene) {
        AssertionFailed("nextScene", "src/SceneSystem", 337, "The scene which passed in was empty");
        return;
    }
    SceneSystem* system = gSceneSystem ? gSceneSystem : this;

    // The system keeps one scene per name: a second scene of a listed name gives way to the listed one.
    Scene* listed = system->FindScene(nextScene->GetName());
    if (listed && listed != nextScene) {
        delete nextScene;
        nextScene = listed;
    }

    if (system->current && system->current->GetName() == nextScene->GetName()) {
        system->startMarker = 0;
        system->reload = true;
        return;
    }
    nextScene->SetOwner(system);
    system->next = nextScene;
    system->startMarker = 0;
    if (!listed)
        system->scenes.push_back(nextScene);
}

void SceneSystem::Update(float dt)
{
    if (startMarker == 0) {
        if (!IsChangePending()) {
            const float alpha = GetFadeAlpha();
            if (alpha < 1.0f) {
                SendMessage(std::string("ContinueMovement"));
                SetFadeAlpha(static_cast<float>(static_cast<double>(alpha) + 0.02));
            }
        } else if (fadeTimer > 0.0f) {
            SendMessage(std::string("StopMovement"));
            fadeTimer -= dt;
            SetFadeAlpha(GetFadeAlpha() - fadeStep);
        } else {
            fadeTimer = FADE_TIME;
            fadeStep = FADE_STEP;
            if (next)
                PrepareSceneAssets(next->GetName());
            LoadNextScene();
        }
    }

    if (current)
        current->Update(dt);
    if (InputManagerInstance)
        DebugKeys();
    if (SceneSwitchPlayerSpriteSheetHook)
        SceneSwitchPlayerSpriteSheetHook(dt);
}

void SceneSystem::PrepareSceneAssets(const std::string& sceneName)
{
    if (sceneName == "Win") {
        if (SceneStopPlayerSpriteSheetHook)
            SceneStopPlayerSpriteSheetHook();
        gPlayerObject = FindObject("Player");
        if (gPlayerObject) {
            if (GameObject* eyes = gPlayerObject->FindChild("PlayerEyes")) {
                if (Sprite* sprite = eyes->GetSprite())
                    sprite->color[3] = 1.0f;
            }
            if (SpriteSheet* sheet = gPlayerObject->GetSpriteSheet())
                sheet->StopAnimation();
        }
        gPlayerObject = nullptr;
    } else if (sceneName == "TitleMenuScene") {
        if (GraphicsLibraryInstance)
            GraphicsLibrary::GetTexture("PemmetRotationSpritesheet", -1);
    } else if (sceneName == "LivingRoomScene") {
        if (GraphicsLibraryInstance)
            GraphicsLibrary::GetTexture("PemmetMovingSpritesheet", -1);
    }
}

void SceneSystem::LoadNextScene()
{
    winPending = false;

    if (current) {
        current->SendMessage(std::string("Event_Stop"), "Ambience_RoomTone", nullptr);
        // The audio system stops the low-battery loop and releases it.
        current->SendMessage(std::string("Event_StopDestroy"), "Player_BatteryLow", nullptr);
        current->SendMessage(std::string("Event_Stop"), "Player_Motor", nullptr);
        // The player's own loops go with the player.
        for (const char* loop : {"Player_Idle", "Player_Movement", "Player_Turning"})
            current->SendMessage(std::string("Event_StopDestroy"), loop, nullptr);
        if (current->IsGameplay())
            current->SendMessage(std::string("UnloadTileMap"));
        if (gGameObjectManager)
            gGameObjectManager->ClearGameObjects();
    }

    Scene* incoming = next ? next : current;
    if (!incoming) {
        startMarker = 0;
        reload = false;
        return;
    }

    settingUp = incoming;
    if (incoming != current || !reload) {
        incoming->SetUpSystems();
        if (GameObject* player = FindObject("Player")) {
            if (Transform* transform = player->GetTransform()) {
                const float* spawn = incoming->GetSpawnPoint();
                if (transform->TranslationX != spawn[0]) {
                    transform->TranslationX = spawn[0];
                    transform->dirty = true;
                }
                if (transform->TranslationY != spawn[1]) {
                    transform->TranslationY = spawn[1];
                    transform->dirty = true;
                }
            }
        }
    } else {
        incoming->Restart();
    }
    incoming->Init();
    settingUp = nullptr;

    current = incoming;
    startMarker = 0;
    reload = false;
}

void SceneSystem::HandleMessage(Message* message)
{
    if (!message)
        return;
    if (message->IsNamed("Scene_SpecialLoadTimer")) {
        if (message->type != MessageType::Float) {
            Trace("Scene_SpecialLoadTimer carries no number; the fade timer is kept");
            return;
        }
        SceneSystem* system = gSceneSystem ? gSceneSystem : this;
        system->fadeTimer = message->number.f;
    } else if (message->IsNamed("Audio_LogoCancel")) {
        SendMessage(std::string("Event_Play"), "Trans_LogoSkip", nullptr);
        SendMessage(std::string("Event_Destroy"), "Trans_LogoSkip", nullptr);
    }
}

void SceneSystem::DebugKeys()
{
    InputManager* input = InputManagerInstance;
    if (!input || !input->IsKeyDown(DebugModifierKey))
        return;
    SceneSystem* system = gSceneSystem ? gSceneSystem : this;

    if (input->IsKeyDown(Key(GLFW_KEY_1))) {
        ClearLevelGrid();
        system->SetNextScene("MainMenuScene");
    } else if (input->IsKeyDown(Key(GLFW_KEY_2))) {
        system->JumpInLivingRoom(5.0f, 13.0f);
    } else if (input->IsKeyDown(Key(GLFW_KEY_3))) {
        system->JumpInLivingRoom(36.25f, 13.5f);
    } else if (input->IsKeyDown(Key(GLFW_KEY_4))) {
        system->JumpInLivingRoom(43.0f, 26.5f);
    } else if (input->IsKeyDown(Key(GLFW_KEY_5))) {
        ClearLevelGrid();
        system->SetNextScene("Win");
    } else if (input->IsKeyDown(Key(GLFW_KEY_6))) {
        ClearLevelGrid();
        system->SetNextScene("SplashScreen");
    }

    if (input->IsKeyTriggered(Key(GLFW_KEY_L))) {
        if (auto* lighting = dynamic_cast<LightingSystem*>(Scene::FindSystem("LightingSystem")))
            lighting->enabled = lighting->enabled ? 0 : 1;
    }
    if (input->IsKeyTriggered(Key(GLFW_KEY_M)))
        SendMessage(std::string("Set_Bus_Mute"), "Music", nullptr);
    if (input->IsKeyTriggered(Key(GLFW_KEY_E)) && CurrentWindow) {
        if (IsFullscreen())
            SetWindowed();
        else
            SetFullscreen();
    }
    if (input->IsKeyTriggered(Key(GLFW_KEY_X)))
        system->CollectPlayerRoom();
}

void SceneSystem::JumpInLivingRoom(float x, float y)
{
    if (GetCurrentScene() == "LivingRoomScene") {
        GameObject* player = FindObject("Player");
        Transform* transform = player ? player->GetTransform() : nullptr;
        if (!transform)
            return;
        transform->SetTranslation(x, y);
        if (auto* lighting = dynamic_cast<LightingSystem*>(Scene::FindSystem("LightingSystem")))
            lighting->RevealCircle(x, y, 10);
        if (ISystem* treasure = Scene::FindSystem("TreasureManager")) {
            if (ScenePingRoomHook)
                ScenePingRoomHook(treasure, 0.5f, 1.0f, 0.75f);
        }
        return;
    }
    if (auto* levels = dynamic_cast<LevelSystem*>(Scene::FindSystem("LevelSystem")))
        levels->SetCurrentLevel(0);
    if (auto* lighting = dynamic_cast<LightingSystem*>(Scene::FindSystem("LightingSystem")))
        lighting->LoadLevelGrid();
    SetNextScene("LivingRoomScene");
}

void SceneSystem::CollectPlayerRoom()
{
    GameObject* player = FindObject("Player");
    Transform* transform = player ? player->GetTransform() : nullptr;
    ISystem* treasure = Scene::FindSystem("TreasureManager");
    if (!transform || !treasure || !SceneRoomNumHook || !SceneRoomRemainingHook || !SceneRoomObjectsHook)
        return;
    const int start = SceneRoomNumHook(treasure, transform->TranslationX, transform->TranslationY);
    if (start < 0)
        return;
    for (int step = 0; step < ROOM_COUNT; ++step) {
        const int room = (start + step) % ROOM_COUNT;
        if (SceneRoomRemainingHook(treasure, room) <= 0)
            continue;
        for (const GameObjectHandle& entry : SceneRoomObjectsHook(treasure, room)) {
            // Collected entries are empty; an entry whose object is gone is passed over as well.
            GameObject* collectable = entry.Get();
            if (!collectable)
                continue;
            if (Sprite* sprite = collectable->GetSprite())
                sprite->color[3] = 0.0f;
            if (SceneCollectTreasureHook)
                SceneCollectTreasureHook(treasure);
        }
        if (SceneCloseRoomHook)
            SceneCloseRoomHook(treasure, room);
        return;
    }
}
