#pragma once
// Moves camera 0 of the window: follows a target transform with per-frame smoothing and an offset,
// keeps the view inside a rectangle of world bounds, shakes on request and switches between zoom
// levels.
#include <string>
#include <vector>

#include "core/GameObjectHandle.h"
#include "core/ISystem.h"

struct Camera;
class GameObject;
class Stream;
class Transform;

class CameraSystem : public ISystem {
public:
    // Reads "TargetOffsetY", "TargetOffsetX", "Lerp Speed", "ShakeMagnitude", "ZoomLevels" and
    // "Starting Zoom Level" from the settings (null: none); becomes CameraSystemInstance.
    explicit CameraSystem(Stream* settings = nullptr);
    // Clears CameraSystemInstance when it points here.
    ~CameraSystem() override;

    std::string GetName() override { return "Camera System"; }
    // Camera 0, default bounds (+-100), seeds the engine's generator, sets the starting zoom.
    void Init() override;
    // Developer keys, follow, shake; then camera 0 takes the position.
    void Update(float dt) override;
    void Draw() override {}
    // 20 "Set Camera Target", 21 "ShakeCamera", 22 "SetCameraBounds", 28 "Set Player Spawn" (only
    // messages without a target).
    void HandleMessage(Message* message) override;

    // Follows the transform from now on; null is reported and stops the follow. A transform that
    // belongs to an object is followed while that object lives (checked by its id every frame).
    void SetTarget(Transform* transform);
    // Zoom level by index; an index outside the list changes nothing.
    void SetZoomLevel(int index);
    // Camera 0 becomes this system's camera (after a window resize).
    void SetCamera(Camera* newCamera);
    // Camera 0 while the window's camera list has one; null otherwise.
    Camera* GetCamera();
    // The followed transform, or null. Drops the target (one trace line) once its object is gone.
    Transform* GetTarget();

    Camera* camera = nullptr;          // camera 0; not owned
    Transform* target = nullptr;       // not owned; null = no follow
    float targetOffsetX = 0.0f;
    float targetOffsetY = 0.0f;
    float halfWidth = 0.0f;
    float halfHeight = 0.0f;
    float lerpSpeed = 0.0f;
    float maxX = 0.0f;
    float maxY = 0.0f;
    float minX = 0.0f;
    float minY = 0.0f;
    float shakeMagnitude = 0.0f;
    float shakeTimer = 0.0f;
    int zoomIndex = 0;
    std::vector<int> zoomLevels;

private:
    // The object the target belongs to; empty for a transform of no object.
    GameObjectHandle targetOwner;
};

// The camera system made last, or null.
extern CameraSystem* CameraSystemInstance;

// Hands camera 0 to CameraSystemInstance (the window calls it after a resize); nothing without one.
void CameraSystemResetCamera(Camera* camera);
