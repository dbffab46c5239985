#pragma once
// Owns every Scene, starts the game in the scene named by "scenes/InitialScene" and changes scenes
// with a fade: a request only queues the next scene; over the following frames the window fades out
// while "StopMovement" holds the player still, then the old scene's objects are deleted, the gameplay
// systems are switched for the new scene, the player is put on the spawn point, the new scene is
// initialised and the window fades back in ("ContinueMovement"). It also carries the developer keys
// (held with the "/" key) and drives the player's sprite-sheet switching each frame.
//
// Without a window the fade works on an alpha of the system's own, so the timing is the same.
#include <cstdint>
#include <string>
#include <vector>

#include "core/GameObjectHandle.h"
#include "core/ISystem.h"
#include "world/Scene.h"

class GameObject;

// ---- Seams for systems that join the engine later (see Scene.h) -------------------------------------
// "TreasureManager": show the count of the player's room.
extern void (*ScenePingRoomHook)(ISystem* treasureManager, float hold, float fadeTime, float strength);
// "TreasureManager": the room (0..7) holding a world point, -1 for none.
extern int (*SceneRoomNumHook)(ISystem* treasureManager, float x, float y);
// "TreasureManager": collectables of a room not collected yet.
extern int (*SceneRoomRemainingHook)(ISystem* treasureManager, int room);
// "TreasureManager": the collectables listed for a room (collected entries are empty handles).
extern std::vector<GameObjectHandle> (*SceneRoomObjectsHook)(ISystem* treasureManager, int room);
// "TreasureManager": collect the first hidden (alpha 0) collectable.
extern void (*SceneCollectTreasureHook)(ISystem* treasureManager);
// "TreasureManager": the room's collected count grows by its remaining count, which becomes 0.
extern void (*SceneCloseRoomHook)(ISystem* treasureManager, int room);
// The player's sprite-sheet functions (no system needed): restart the switching for the win dance,
// advance it by dt, stop it.
extern void (*SceneResetPlayerSpriteSheetHook)();
extern void (*SceneSwitchPlayerSpriteSheetHook)(float dt);
extern void (*SceneStopPlayerSpriteSheetHook)();

class SceneSystem : public ISystem {
public:
    // Fade-in step per frame, and the fade-out time and step of an ordinary change.
    static constexpr float FADE_STEP = 0.02f;
    static constexpr float FADE_TIME = 1.0f;
    // Fade-out time and step of a change to "Win".
    static constexpr float WIN_FADE_TIME = 4.2f;
    static constexpr float WIN_FADE_STEP = 0.0044f;

    // The first instance becomes gSceneSystem, starts the fade from black (alpha 0) and answers the
    // window's questions about the current scene (pausable, change pending).
    SceneSystem();
    // Deletes every scene, last first; clears gSceneSystem when it points here.
    ~SceneSystem() override;
    SceneSystem(const SceneSystem&) = delete;
    SceneSystem& operator=(const SceneSystem&) = delete;

    std::string GetName() override { return "Scene System"; }
    // Requests the scene named by "Initial Scene" in "scenes/InitialScene".
    void Init() override;
    // The fade and the change, the current scene's update, the developer keys and the player's
    // sprite-sheet switching.
    void Update(float dt) override;
    void Draw() override {}
    // "Scene_SpecialLoadTimer" (Float) replaces the fade timer; "Audio_LogoCancel" plays
    // "Trans_LogoSkip".
    void HandleMessage(Message* message) override;

    // Requests a change: dropped while a change to "Win" is pending; the scene is taken from the
    // cache or constructed, then queued.
    void SetNextScene(std::string sceneName);
    // Queues a constructed scene on gSceneSystem (this instance when there is none), which takes
    // ownership of it. The current scene's name marks a reload instead. Null is reported.
    void QueueNextScene(Scene* nextScene);
    // Carries the change out: the old scene's audio stops and objects go, the new scene's systems,
    // spawn point and Init.
    void LoadNextScene();

    // The current scene's name of gSceneSystem; empty without a scene system or a current scene.
    static std::string GetCurrentScene();
    // The scene whose objects are being made: while a change is carried out, the incoming scene
    // (which becomes current only once it is set up); otherwise the current scene.
    static std::string GetSceneBeingSetUp();
    // A change is pending: next set and not the current scene, or a reload requested.
    bool IsChangePending() const;
    // The fade alpha: the window's global alpha, or the system's own without a window.
    float GetFadeAlpha() const;
    void SetFadeAlpha(float alpha);
    // A listed scene of that name, or null.
    Scene* FindScene(const std::string& sceneName) const;

    Scene* current = nullptr;
    Scene* next = nullptr;
    std::vector<Scene*> scenes;   // owned, in order of first request
    std::int32_t startMarker = 0; // -1 for the first instance until a scene is queued
    bool reload = false;
    float fadeTimer = 0.0f;
    float fadeStep = FADE_STEP;
    bool winPending = false;
    Scene* settingUp = nullptr;   // the incoming scene while LoadNextScene sets it up

private:
    void DebugKeys();
    void JumpInLivingRoom(float x, float y);
    void CollectPlayerRoom();
    void PrepareSceneAssets(const std::string& sceneName);
    float ownAlpha_ = 1.0f;
};

// The first SceneSystem, or null.
extern SceneSystem* gSceneSystem;
// The "Player" object while a scene change or the player's sprite-sheet code works on it; null
// otherwise (it is never kept across frames by the scene system).
extern GameObject* gPlayerObject;
