// The camera system without a window: settings, zoom half-extents, follow with smoothing and bounds,
// the messages it handles, the shake and the developer keys. Camera 0 is a plain entry of CameraList.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Message.h"
#include "core/Random.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/CameraSystem.h"
#include "graphics/InputManager.h"
#include "graphics/Window.h"
#include "world/SceneSystem.h"
#include "TestObjects.h"
#include "test_tilemap_fixture.h"

using namespace testsupport;
using namespace worldtest;

namespace {

struct Owned {
    explicit Owned(Message* m) : message(m) {}
    ~Owned() { delete message; }
    Message* message;
};

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceReset();
        WindowWidth = 1920;
        WindowHeight = 1080;
        CameraList.clear();
        CameraList.push_back(Camera{});
        CaptureConsole([&] { camera = new CameraSystem(nullptr); });
        target.SetTranslation(0.0f, 0.0f);
        target.SetScale(1.0f, 1.0f);
    }
    void TearDown() override
    {
        delete camera;
        CameraList.clear();
    }
    Camera& cam() { return CameraList[0]; }

    // Follow with nothing in the way: bounds far out, no smoothing unless asked.
    void FreeFollow(float lerp)
    {
        camera->Init();
        camera->lerpSpeed = lerp;
        camera->maxX = camera->maxY = 1000.0f;
        camera->minX = camera->minY = -1000.0f;
        camera->SetTarget(&target);
    }

    void Send(Message* message)
    {
        Owned guard(message);
        camera->HandleMessage(message);
    }

    CameraSystem* camera = nullptr;
    Transform target;
};

} // namespace

TEST_F(CameraTest, NameAndGlobal)
{
    EXPECT_EQ(camera->GetName(), "Camera System");
    EXPECT_EQ(CameraSystemInstance, camera);
    CameraSystem* second = nullptr;
    CaptureConsole([&] { second = new CameraSystem(nullptr); });
    EXPECT_EQ(CameraSystemInstance, second);
    delete second;
    EXPECT_EQ(CameraSystemInstance, nullptr);
}

TEST_F(CameraTest, FactoryReadsTheSettingsFile)
{
    Scratch scratch("camera_settings");
    scratch.Data("CameraSystem.json",
                 "{\"TargetOffsetY\": 1.5, \"TargetOffsetX\": -2.0, \"Lerp Speed\": 0.25, \"ShakeMagnitude\": 0.75,"
                 " \"ZoomLevels\": [20, 40, 80], \"Starting Zoom Level\": 2}");
    ISystem* system = nullptr;
    CaptureConsole([&] { system = CreateSystem("CameraSystem"); });
    auto* made = dynamic_cast<CameraSystem*>(system);
    ASSERT_NE(made, nullptr);
    EXPECT_FLOAT_EQ(made->targetOffsetY, 1.5f);
    EXPECT_FLOAT_EQ(made->targetOffsetX, -2.0f);
    EXPECT_FLOAT_EQ(made->lerpSpeed, 0.25f);
    EXPECT_FLOAT_EQ(made->shakeMagnitude, 0.75f);
    EXPECT_EQ(made->zoomLevels, (std::vector<int>{20, 40, 80}));
    EXPECT_EQ(made->zoomIndex, 2);
    EXPECT_EQ(CameraSystemInstance, made);
    made->Init();
    EXPECT_FLOAT_EQ(cam().zoom, 80.0f);
    delete made;
}

TEST_F(CameraTest, MissingSettingsAreReportedAndGiveTheDefaults)
{
    Scratch scratch("camera_missing");
    ISystem* system = nullptr;
    std::string out = CaptureConsole([&] { system = CreateSystem("CameraSystem"); });
    auto* made = dynamic_cast<CameraSystem*>(system);
    ASSERT_NE(made, nullptr);
    for (const char* key : {"TargetOffsetY", "TargetOffsetX", "Lerp Speed", "ShakeMagnitude", "ZoomLevels",
                            "Starting Zoom Level"})
        EXPECT_TRUE(Contains(out, std::string("'") + key + "'")) << key << "\n" << out;
    EXPECT_FLOAT_EQ(made->lerpSpeed, 0.0f);
    EXPECT_TRUE(made->zoomLevels.empty());
    // An empty list gives 30, 45, 60 and zoom 45.
    made->Init();
    EXPECT_EQ(made->zoomLevels, (std::vector<int>{30, 45, 60}));
    EXPECT_EQ(made->zoomIndex, 1);
    EXPECT_FLOAT_EQ(cam().zoom, 45.0f);
    delete made;
}

TEST_F(CameraTest, WrongTypesAndTruncatedSettingsReadAsMissing)
{
    Scratch scratch("camera_bad");
    scratch.Data("CameraSystem.json", "{\"Lerp Speed\": \"fast\", \"ZoomLevels\": 7, \"Starting");
    ISystem* system = nullptr;
    CaptureConsole([&] { system = CreateSystem("CameraSystem"); });
    auto* made = dynamic_cast<CameraSystem*>(system);
    ASSERT_NE(made, nullptr);
    EXPECT_FLOAT_EQ(made->lerpSpeed, 0.0f);
    EXPECT_TRUE(made->zoomLevels.empty());
    delete made;

    scratch.Data("CameraSystem.json", "{\"Lerp Speed\": \"fast\", \"ZoomLevels\": 7}");
    std::string out = CaptureConsole([&] { system = CreateSystem("CameraSystem"); });
    made = dynamic_cast<CameraSystem*>(system);
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(Contains(out, "'Lerp Speed'")) << out;
    EXPECT_TRUE(made->zoomLevels.empty());
    delete made;
}

TEST_F(CameraTest, InitSetsCameraBoundsAndZoom)
{
    camera->maxX = 5.0f;
    camera->zoomLevels = {20, 40};
    camera->zoomIndex = 0;
    camera->Init();
    EXPECT_EQ(camera->camera, &cam());
    EXPECT_FLOAT_EQ(camera->maxX, 100.0f);
    EXPECT_FLOAT_EQ(camera->maxY, 100.0f);
    EXPECT_FLOAT_EQ(camera->minX, -100.0f);
    EXPECT_FLOAT_EQ(camera->minY, -100.0f);
    EXPECT_FLOAT_EQ(cam().zoom, 20.0f);
}

TEST_F(CameraTest, StartingZoomOutOfRangeKeepsTheZoom)
{
    cam().zoom = 33.0f;
    camera->zoomLevels = {20, 40};
    camera->zoomIndex = 5;
    camera->Init();
    EXPECT_FLOAT_EQ(cam().zoom, 33.0f);
    camera->SetZoomLevel(-1);
    camera->SetZoomLevel(2);
    EXPECT_FLOAT_EQ(cam().zoom, 33.0f);
}

TEST_F(CameraTest, ZoomHalfExtentsAt1920x1080)
{
    camera->Init(); // zoom 45: the projection scale is 120
    // The corner pixel (1919, 1050) in world units: x = (2 * 1919 / 1920 - 1) * 1920 / 120,
    // y = -(2 * 1050 / 1080 - 1) * 1080 / 120 - 0.35.
    EXPECT_NEAR(camera->halfWidth, (2.0 * 1919.0 / 1920.0 - 1.0) * 16.0, 1e-4);
    EXPECT_NEAR(camera->halfHeight, (2.0 * 1050.0 / 1080.0 - 1.0) * 9.0 + 0.35, 1e-4);
    camera->SetZoomLevel(2); // zoom 60: scale 135
    EXPECT_NEAR(camera->halfWidth, (2.0 * 1919.0 / 1920.0 - 1.0) * 1920.0 / 135.0, 1e-4);
    EXPECT_NEAR(camera->halfHeight, (2.0 * 1050.0 / 1080.0 - 1.0) * 1080.0 / 135.0 + 0.35, 1e-4);
    // Measured from the camera's own position.
    cam().x = 10.0f;
    cam().y = -4.0f;
    const float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, -4, 0, 1};
    std::copy(matrix, matrix + 16, cam().matrix);
    camera->SetZoomLevel(2);
    EXPECT_NEAR(camera->halfWidth, (2.0 * 1919.0 / 1920.0 - 1.0) * 1920.0 / 135.0, 1e-3);
}

TEST_F(CameraTest, LerpStepsTowardsTheTarget)
{
    FreeFollow(0.25f);
    target.SetTranslation(8.0f, 0.0f);
    const float expected[] = {2.0f, 3.5f, 4.625f, 5.46875f};
    for (float x : expected) {
        camera->Update(1.0f / 60.0f);
        EXPECT_FLOAT_EQ(cam().x, x);
        EXPECT_FLOAT_EQ(cam().y, 0.0f);
        EXPECT_FLOAT_EQ(cam().matrix[12], x);
        EXPECT_FLOAT_EQ(cam().matrix[13], 0.0f);
    }
    // dt does not enter the smoothing.
    FreeFollow(0.25f);
    cam().x = 0.0f;
    camera->Update(5.0f);
    EXPECT_FLOAT_EQ(cam().x, 2.0f);
}

TEST_F(CameraTest, OffsetIsAddedWhileFollowingFreely)
{
    FreeFollow(1.0f);
    camera->targetOffsetX = 1.0f;
    camera->targetOffsetY = -2.0f;
    target.SetTranslation(3.0f, 4.0f);
    camera->Update(0.0f);
    EXPECT_FLOAT_EQ(cam().x, 4.0f);
    EXPECT_FLOAT_EQ(cam().y, 2.0f);
}

TEST_F(CameraTest, ClampsAtTheBoundsAndSnapsTheOtherAxis)
{
    camera->Init();
    camera->lerpSpeed = 0.25f;
    camera->targetOffsetY = 3.0f;
    camera->halfWidth = 16.0f;
    camera->halfHeight = 9.0f;
    camera->SetTarget(&target);
    target.SetTranslation(90.0f, 7.0f);
    camera->Update(0.1f);
    EXPECT_FLOAT_EQ(cam().x, 84.0f);
    EXPECT_FLOAT_EQ(cam().y, 7.0f); // the target's y as it is: no offset, no smoothing

    target.SetTranslation(-95.0f, -95.0f);
    camera->Update(0.1f);
    EXPECT_FLOAT_EQ(cam().x, -84.0f);
    EXPECT_FLOAT_EQ(cam().y, -91.0f);

    // Y alone clamps: x is the target's x.
    target.SetTranslation(12.5f, 95.0f);
    camera->Update(0.1f);
    EXPECT_FLOAT_EQ(cam().x, 12.5f);
    EXPECT_FLOAT_EQ(cam().y, 91.0f);
}

TEST_F(CameraTest, NoSmoothingLeavesTheCameraStillInsideButStillClamps)
{
    camera->Init();
    camera->halfWidth = 16.0f;
    camera->halfHeight = 9.0f;
    camera->SetTarget(&target);
    target.SetTranslation(20.0f, 10.0f);
    camera->Update(0.1f);
    EXPECT_FLOAT_EQ(cam().x, 0.0f);
    EXPECT_FLOAT_EQ(cam().y, 0.0f);
    target.SetTranslation(20.0f, 95.0f);
    camera->Update(0.1f);
    EXPECT_FLOAT_EQ(cam().x, 20.0f);
    EXPECT_FLOAT_EQ(cam().y, 91.0f);
}

TEST_F(CameraTest, BoundsMessage)
{
    camera->Init();
    Send(VectorMessage("SetCameraBounds", 10.0f, 20.0f, -30.0f, -40.0f, camera));
    EXPECT_FLOAT_EQ(camera->maxX, 10.0f);
    EXPECT_FLOAT_EQ(camera->maxY, 20.0f);
    EXPECT_FLOAT_EQ(camera->minX, -30.0f);
    EXPECT_FLOAT_EQ(camera->minY, -40.0f);
    // A message with a target is not for the camera.
    auto* targeted = new Message("SetCameraBounds", camera, camera, MessageType::Vector);
    targeted->SetVector(1.0f, 1.0f, 1.0f, 1.0f);
    Send(targeted);
    EXPECT_FLOAT_EQ(camera->maxX, 10.0f);
}

TEST_F(CameraTest, SpawnMessageJumpsExactlyThenFollowResumes)
{
    FreeFollow(0.5f);
    camera->maxX = camera->maxY = 5.0f;
    camera->minX = camera->minY = -5.0f;
    camera->halfWidth = camera->halfHeight = 1.0f;
    Send(VectorMessage("Set Player Spawn", 12.0f, -3.0f, 0.0f, 0.0f, camera));
    EXPECT_FLOAT_EQ(cam().x, 12.0f);
    EXPECT_FLOAT_EQ(cam().y, -3.0f);
    EXPECT_FLOAT_EQ(cam().matrix[12], 12.0f);
    EXPECT_FLOAT_EQ(cam().matrix[13], -3.0f);
    target.SetTranslation(2.0f, 1.0f);
    camera->Update(0.1f);
    EXPECT_FLOAT_EQ(cam().x, 7.0f);
    EXPECT_FLOAT_EQ(cam().y, -1.0f);
}

TEST_F(CameraTest, TargetMessageCarriesATransform)
{
    camera->Init();
    auto* message = new Message("Set Camera Target", camera, nullptr, MessageType::UInt64);
    message->number.u64 = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&target));
    message->complete = true;
    Send(message);
    EXPECT_EQ(camera->target, &target);
    // The wrong payload is ignored.
    Send(VectorMessage("Set Camera Target", 1.0f, 2.0f, 3.0f, 4.0f, camera));
    EXPECT_EQ(camera->target, &target);
}

TEST_F(CameraTest, NullTargetIsReportedAndStopsTheFollow)
{
    FreeFollow(1.0f);
    std::string out = CaptureConsole([&] { camera->SetTarget(nullptr); });
    EXPECT_TRUE(Contains(out, "Assertion `transform` failed.")) << out;
    EXPECT_TRUE(Contains(out, "src/CameraSystem Line 217: No target found for Camera System")) << out;
    EXPECT_EQ(camera->target, nullptr);
    cam().x = 3.0f;
    camera->Update(0.1f);
    EXPECT_FLOAT_EQ(cam().x, 3.0f);
}

// The followed object is deleted and a new object is built where it lay (same object address, and
// with a Transform most likely the same Transform address too). The camera must not follow the
// newcomer, nor read the freed transform when the newcomer has none.
TEST_F(CameraTest, TargetOfAnObjectThatGoesIsDroppedEvenWhenItsAddressIsReused)
{
    for (const bool newcomerHasTransform : {true, false}) {
        SCOPED_TRACE(newcomerHasTransform ? "newcomer with a Transform" : "newcomer without one");
        GameObjectManager manager;
        manager.Init();
        GameObject* object = MakeMover("Player", 2.0f, 2.0f, false);
        CaptureConsole([&] { manager.AddGameObject(object); });
        camera->Init();
        camera->lerpSpeed = 1.0f;
        cam().x = cam().y = 0.0f;
        auto* message = new Message("Set Camera Target", camera, nullptr, MessageType::UInt64);
        message->number.u64 = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(object->GetTransform()));
        message->complete = true;
        Send(message);
        ASSERT_EQ(camera->GetTarget(), object->GetTransform());
        camera->Update(0.1f);
        EXPECT_FLOAT_EQ(cam().x, 2.0f);

        const void* freed = object;
        CaptureConsole([&] { manager.ClearGameObjects(); });
        GameObject* newcomer = BuildAtAddress(freed, [&] {
            if (newcomerHasTransform)
                return MakeMover("Menu", 40.0f, -7.0f, false);
            auto* bare = new GameObject();
            bare->SetName("Menu");
            return bare;
        });
#if !defined(__SANITIZE_ADDRESS__)
        EXPECT_EQ(static_cast<const void*>(newcomer), freed) << "the probe needs the old address";
#endif
        CaptureConsole([&] { manager.AddGameObject(newcomer); });

        const std::string first = CaptureConsole([&] { camera->Update(0.1f); });
        const std::string second = CaptureConsole([&] { camera->Update(0.1f); });
        EXPECT_EQ(camera->target, nullptr);
        EXPECT_FLOAT_EQ(cam().x, 2.0f) << "the camera stays where it was";
        EXPECT_FLOAT_EQ(cam().y, 2.0f);
        EXPECT_TRUE(Contains(first, "the followed object is gone")) << first;
        EXPECT_TRUE(second.empty()) << second;

        // A transform no listed object owns is refused.
        auto* stale = new Message("Set Camera Target", camera, nullptr, MessageType::UInt64);
        stale->number.u64 = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&target));
        stale->complete = true;
        const std::string refused = CaptureConsole([&] { Send(stale); });
        EXPECT_EQ(camera->target, nullptr);
        EXPECT_TRUE(Contains(refused, "names no live object's transform")) << refused;
    }
}

TEST_F(CameraTest, ShakeStaysWithinItsMagnitudeForItsTime)
{
    FreeFollow(1.0f);
    Random::Seed(1234);
    target.SetTranslation(5.0f, -5.0f);
    Send(VectorMessage("ShakeCamera", 0.5f, 2.0f, 0.0f, 0.0f, camera));
    EXPECT_FLOAT_EQ(camera->shakeTimer, 0.5f);
    EXPECT_FLOAT_EQ(camera->shakeMagnitude, 2.0f);
    const float dt = 1.0f / 60.0f;
    int shaken = 0;
    float largest = 0.0f;
    for (int frame = 0; frame < 60; ++frame) {
        const bool shaking = camera->shakeTimer > 0.0f;
        camera->Update(dt);
        const float dx = cam().x - 5.0f;
        const float dy = cam().y + 5.0f;
        EXPECT_LE(std::fabs(dx), 2.0f + 1e-4f);
        EXPECT_LE(std::fabs(dy), 2.0f + 1e-4f);
        largest = std::max({largest, std::fabs(dx), std::fabs(dy)});
        if (shaking)
            ++shaken;
        else {
            EXPECT_FLOAT_EQ(dx, 0.0f);
            EXPECT_FLOAT_EQ(dy, 0.0f);
        }
    }
    EXPECT_GE(shaken, 30);
    EXPECT_LE(shaken, 31);
    EXPECT_GT(largest, 0.5f);
}

TEST_F(CameraTest, ShakeIsIgnoredDuringASceneChange)
{
    camera->Init();
    // The camera asks gSceneSystem whether a change is pending.
    Send(VectorMessage("ShakeCamera", 0.5f, 2.0f, 0.0f, 0.0f, camera));
    EXPECT_FLOAT_EQ(camera->shakeTimer, 0.5f) << "no scene system, no change pending";
    camera->shakeTimer = 0.0f;
    SceneSystem scenes;
    ASSERT_EQ(gSceneSystem, &scenes);
    scenes.reload = true;
    Send(VectorMessage("ShakeCamera", 0.5f, 2.0f, 0.0f, 0.0f, camera));
    EXPECT_FLOAT_EQ(camera->shakeTimer, 0.0f);
    scenes.reload = false;
    Send(VectorMessage("ShakeCamera", 0.5f, 2.0f, 0.0f, 0.0f, camera));
    EXPECT_FLOAT_EQ(camera->shakeTimer, 0.5f);
}

TEST_F(CameraTest, ZeroMagnitudeShakeMovesNothing)
{
    FreeFollow(1.0f);
    target.SetTranslation(1.0f, 1.0f);
    Send(VectorMessage("ShakeCamera", 1.0f, 0.0f, 0.0f, 0.0f, camera));
    camera->Update(0.1f);
    EXPECT_FLOAT_EQ(cam().x, 1.0f);
    EXPECT_FLOAT_EQ(cam().y, 1.0f);
}

TEST_F(CameraTest, DeveloperKeysShakeAndZoom)
{
    auto keys = std::make_shared<ScriptedKeySource>();
    InputManager input(keys);
    input.Init();
    FreeFollow(1.0f);
    ASSERT_EQ(camera->zoomIndex, 1);
    auto press = [&](int key) {
        keys->SetKey(GLFW_KEY_SLASH, true);
        keys->SetKey(key, true);
        input.Update(0.0f);
        camera->Update(0.0f);
        keys->ReleaseAll();
        input.Update(0.0f);
    };
    press(GLFW_KEY_0);
    EXPECT_EQ(camera->zoomIndex, 2);
    EXPECT_FLOAT_EQ(cam().zoom, 60.0f);
    press(GLFW_KEY_0); // no level 3
    EXPECT_EQ(camera->zoomIndex, 2);
    press(GLFW_KEY_9);
    press(GLFW_KEY_9);
    EXPECT_EQ(camera->zoomIndex, 0);
    EXPECT_FLOAT_EQ(cam().zoom, 30.0f);
    press(GLFW_KEY_9); // no level -1
    EXPECT_EQ(camera->zoomIndex, 0);
    camera->shakeMagnitude = 0.3f;
    press(GLFW_KEY_N);
    EXPECT_NEAR(camera->shakeTimer, 0.5f, 1e-6f);
    EXPECT_FLOAT_EQ(camera->shakeMagnitude, 0.3f);

    // Without the modifier nothing happens.
    keys->SetKey(GLFW_KEY_0, true);
    input.Update(0.0f);
    camera->Update(0.0f);
    EXPECT_EQ(camera->zoomIndex, 0);
    keys->ReleaseAll();
    input.Update(0.0f);
}

TEST_F(CameraTest, NoCameraInTheListIsHarmless)
{
    CameraList.clear();
    camera->Init();
    EXPECT_EQ(camera->camera, nullptr);
    camera->SetTarget(&target);
    camera->Update(0.1f);
    Send(VectorMessage("Set Player Spawn", 1.0f, 1.0f, 0.0f, 0.0f, camera));
    CameraSystemResetCamera(nullptr);
    SUCCEED();
}

TEST(RandomGenerator, SameSeedSameSequenceWithinRange)
{
    Random::Seed(42);
    int first[8];
    for (int& value : first) {
        value = Random::Next();
        EXPECT_GE(value, 0);
        EXPECT_LE(value, 32767);
    }
    Random::Seed(42);
    for (int value : first)
        EXPECT_EQ(Random::Next(), value);
    int low = 32767, high = 0;
    for (int i = 0; i < 10000; ++i) {
        const int value = Random::Next();
        low = std::min(low, value);
        high = std::max(high, value);
    }
    EXPECT_LT(low, 100);
    EXPECT_GT(high, 32667);
}

TEST_F(CameraTest, TheWindowHandsCameraZeroBackAfterAResize)
{
    EXPECT_EQ(WindowCameraResetHook, &CameraSystemResetCamera);
    camera->camera = nullptr;
    CameraSystemResetCamera(&cam());
    EXPECT_EQ(camera->camera, &cam());
}
