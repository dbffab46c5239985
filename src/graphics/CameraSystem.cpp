#include "graphics/CameraSystem.h"

#include <cstdint>
#include <ctime>

#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Matrix4f.h"
#include "core/Message.h"
#include "core/Random.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "core/Vector4f.h"
#include "graphics/InputManager.h"
#include "graphics/Window.h"

CameraSystem* CameraSystemInstance = nullptr;

namespace {

constexpr int KEY_N = KEY_A + ('N' - 'A');
constexpr int KEY_9 = KEY_0 + 9;

// The developer key went down this frame while the debug modifier is held.
bool DebugKeyPressed(int key)
{
    InputManager* input = InputManagerInstance;
    if (!input || DebugModifierKey < 0)
        return false;
    return input->IsKeyDown(DebugModifierKey) && input->IsKeyTriggered(key);
}

// The listed object whose transform this is, or null. The payload of a message is only compared with
// the transforms of live objects, never dereferenced.
GameObject* ListedOwnerOf(const Transform* transform)
{
    GameObjectManager* manager = gGameObjectManager;
    const int count = manager ? manager->GetObjectCount() : 0;
    for (int i = 0; i < count; ++i) {
        GameObject* object = manager->GetObjectAt(i);
        if (object && object->GetTransform() == transform)
            return object;
    }
    return nullptr;
}

void PlaceCamera(Camera* camera, float x, float y)
{
    camera->x = x;
    camera->y = y;
    const Matrix4f matrix = Matrix4f::Translation(x, y, 0.0f);
    for (int i = 0; i < 16; ++i)
        camera->matrix[i] = matrix.m[i];
}

// On one axis: when a view of the given half size around the target would cross an edge, sets the
// camera to the nearest place inside and returns true; otherwise leaves it and returns false.
bool ClampToEdge(float target, float half, float low, float high, float& camera)
{
    if (target + half > high)
        camera = high - half;
    else if (target - half < low)
        camera = low + half;
    else
        return false;
    return true;
}

} // namespace

CameraSystem::CameraSystem(Stream* settings)
{
    if (settings) {
        targetOffsetY = settings->ReadFloat("TargetOffsetY");
        targetOffsetX = settings->ReadFloat("TargetOffsetX");
        lerpSpeed = settings->ReadFloat("Lerp Speed");
        shakeMagnitude = settings->ReadFloat("ShakeMagnitude");
        zoomLevels = settings->ReadIntArray("ZoomLevels");
        zoomIndex = settings->ReadInt("Starting Zoom Level");
    }
    CameraSystemInstance = this;
}

CameraSystem::~CameraSystem()
{
    if (CameraSystemInstance == this)
        CameraSystemInstance = nullptr;
}

Camera* CameraSystem::GetCamera()
{
    // Camera 0 is looked up each time: the window empties its list when it goes away.
    camera = CameraList.empty() ? nullptr : &CameraList[0];
    return camera;
}

void CameraSystem::SetCamera(Camera* newCamera)
{
    camera = newCamera;
}

Transform* CameraSystem::GetTarget()
{
    if (!target || !targetOwner.IsSet())
        return target;
    GameObject* owner = targetOwner.Get();
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    if (!transform) {
        Trace("Camera System: the followed object is gone; the camera stops following");
        target = nullptr;
        targetOwner.Reset();
    }
    target = transform;
    return target;
}

void CameraSystem::Init()
{
    GetCamera();
    maxX = 100.0f;
    maxY = 100.0f;
    minX = -100.0f;
    minY = -100.0f;
    Random::Seed(static_cast<std::uint32_t>(std::time(nullptr)));
    if (zoomLevels.empty()) {
        zoomLevels = {30, 45, 60};
        SetZoomLevel(1);
    } else {
        SetZoomLevel(zoomIndex);
    }
}

void CameraSystem::SetZoomLevel(int index)
{
    if (index < 0 || index >= static_cast<int>(zoomLevels.size()))
        return;
    zoomIndex = index;
    Camera* cam = GetCamera();
    if (!cam)
        return;
    cam->zoom = static_cast<float>(zoomLevels[static_cast<std::size_t>(index)]);
    const Vector4f corner = ScreenToWorld(
        Vector4f(static_cast<float>(WindowWidth - 1), static_cast<float>(WindowHeight - 30), 0.0f, 1.0f));
    halfWidth = corner.x - cam->x;
    halfHeight = cam->y - corner.y;
}

void CameraSystem::SetTarget(Transform* transform)
{
    if (!transform)
        AssertionFailed("transform", "src/CameraSystem", 217, "No target found for Camera System");
    target = transform;
    targetOwner.Set(transform ? transform->GetOwner() : nullptr);
}

void CameraSystem::Update(float dt)
{
    if (!GetTarget())
        return;

    if (DebugKeyPressed(KEY_N))
        shakeTimer = 0.5f;
    if (DebugKeyPressed(KEY_9)) {
        const int lower = zoomIndex - 1;
        if (lower >= 0 && lower < static_cast<int>(zoomLevels.size()))
            SetZoomLevel(lower);
    }
    if (DebugKeyPressed(KEY_0)) {
        const int higher = zoomIndex + 1;
        if (higher < static_cast<int>(zoomLevels.size()))
            SetZoomLevel(higher);
    }

    Camera* cam = GetCamera();
    if (!cam)
        return;

    const float tx = target->TranslationX;
    const float ty = target->TranslationY;
    float x = cam->x;
    float y = cam->y;
    const bool clampX = ClampToEdge(tx, halfWidth, minX, maxX, x);
    const bool clampY = ClampToEdge(ty, halfHeight, minY, maxY, y);

    if (!clampX && !clampY) {
        const float s = lerpSpeed;
        x = (tx + targetOffsetX) * s + (1.0f - s) * cam->x;
        y = (ty + targetOffsetY) * s + (1.0f - s) * cam->y;
    } else if (!clampX) {
        x = tx;
    } else if (!clampY) {
        y = ty;
    }

    if (shakeTimer > 0.0f) {
        const float m = shakeMagnitude;
        const float r1 = static_cast<float>(Random::Next());
        const float r2 = static_cast<float>(Random::Next());
        if (m != 0.0f) {
            const float step = static_cast<float>(Random::MAX) / (2.0f * m);
            x += r1 / step - m;
            y += r2 / step - m;
        }
        shakeTimer -= dt;
    }

    PlaceCamera(cam, x, y);
}

void CameraSystem::HandleMessage(Message* message)
{
    if (!message || message->GetTarget() != nullptr)
        return;
    if (message->Is(MessageId::SetCameraTarget)) {
        if (message->type != MessageType::UInt64) {
            Trace("Camera System: \"Set Camera Target\" carries no transform; ignored");
            return;
        }
        Transform* transform = reinterpret_cast<Transform*>(static_cast<std::uintptr_t>(message->number.u64));
        if (transform && gGameObjectManager) {
            GameObject* owner = ListedOwnerOf(transform);
            if (!owner) {
                Trace("Camera System: \"Set Camera Target\" names no live object's transform; ignored");
                return;
            }
            target = transform;
            targetOwner.Set(owner);
            return;
        }
        SetTarget(transform);
        return;
    }
    const bool shake = message->Is(MessageId::ShakeCamera);
    const bool bounds = message->Is(MessageId::SetCameraBounds);
    const bool spawn = message->Is(MessageId::SetPlayerSpawn);
    if (!shake && !bounds && !spawn)
        return;
    if (message->type != MessageType::Vector) {
        Trace("Camera System: \"%s\" carries no vector; ignored", message->name.c_str());
        return;
    }
    const std::array<float, 4> v = message->vector;
    if (shake) {
        if (SceneChangePendingHook && SceneChangePendingHook())
            return;
        shakeTimer = v[0];
        shakeMagnitude = v[1];
    } else if (bounds) {
        maxX = v[0];
        maxY = v[1];
        minX = v[2];
        minY = v[3];
    } else if (Camera* cam = GetCamera()) {
        PlaceCamera(cam, v[0], v[1]);
    }
}

void CameraSystemResetCamera(Camera* newCamera)
{
    if (CameraSystemInstance)
        CameraSystemInstance->SetCamera(newCamera);
}
