// The frame loop driven with a scripted clock and a scripted "should close", without a window.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "app/GameLoop.h"
#include "core/CreditsScroll.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/ISystem.h"
#include "core/Transform.h"

namespace {

class RecordingSystem : public ISystem {
public:
    std::string GetName() override { return "Recorder"; }
    void Init() override {}
    void Update(float dt) override { updates.push_back(dt); }
    void Draw() override { ++draws; }

    std::vector<float> updates;
    int draws = 0;
};

// A clock that moves forward by a fixed amount every time it is read.
struct SteppingClock {
    double now = 0.0;
    double increment = 0.005;
    int reads = 0;
    double Read()
    {
        ++reads;
        now += increment;
        return now;
    }
};

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine = new Engine();
        gEngine = engine;
        recorder = new RecordingSystem();
        engine->AddSystem(recorder);
        loop = new GameLoop(engine, nullptr);
        loop->clock = [this]() { return clock.Read(); };
        loop->shouldClose = [this]() { return closeAfter >= 0 && framesSeen >= closeAfter; };
        CreditsScrollState = CreditsScroll();
    }
    void TearDown() override
    {
        delete loop;
        delete engine;
        gEngine = nullptr;
        CreditsScrollState = CreditsScroll();
        StopRequested = 0;
    }

    Engine* engine = nullptr;
    RecordingSystem* recorder = nullptr;
    GameLoop* loop = nullptr;
    SteppingClock clock;
    int closeAfter = -1;
    int framesSeen = 0;
};

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST_F(MainLoopTest, FirstFrameGetsZeroThenAtLeastOneSixtieth)
{
    loop->Start();
    ASSERT_EQ(loop->Run(3), 3);
    ASSERT_EQ(recorder->updates.size(), 3u);
    EXPECT_EQ(recorder->updates[0], 0.0f);
    EXPECT_GE(recorder->updates[1], FRAME_STEP_MIN);
    EXPECT_GE(recorder->updates[2], FRAME_STEP_MIN);
    EXPECT_GE(engine->dt, FRAME_STEP_MIN);
    EXPECT_EQ(recorder->draws, 3);
}

TEST_F(MainLoopTest, AFastFrameWaitsForTheRestOfTheSixtieth)
{
    // Every clock read moves 5 ms: the frame busy-waits through four reads (20 ms).
    loop->Start();
    const int readsBefore = clock.reads;
    loop->Frame();
    EXPECT_EQ(clock.reads - readsBefore, 4);
    EXPECT_NEAR(engine->dt, 0.020f, 1e-5f);
    EXPECT_GE(engine->dt, FRAME_STEP_MIN);
}

TEST_F(MainLoopTest, SlowFrameIsNotCapped)
{
    clock.increment = 0.25f;
    loop->Start();
    loop->Frame();
    loop->Frame();
    EXPECT_EQ(engine->dt, 0.25f);
    EXPECT_EQ(recorder->updates[1], 0.25f);
}

TEST_F(MainLoopTest, StartUpTimeIsPartOfTheSecondStep)
{
    // The clock was read at start-up; start-up itself took two seconds.
    loop->previousTime = 0.0f;
    clock.now = 2.0f;
    clock.increment = 0.02f;
    loop->Frame();
    loop->Frame();
    EXPECT_EQ(recorder->updates[0], 0.0f);
    EXPECT_NEAR(recorder->updates[1], 2.02f, 1e-4f);
}

TEST_F(MainLoopTest, FpsOnlyAfterAFullSecond)
{
    clock.increment = 0.125f; // exact in binary: eight frames make one second
    loop->Start();
    for (int i = 0; i < 7; ++i) {
        loop->Frame();
        EXPECT_EQ(engine->fps, 0.0f) << "frame " << i;
    }
    loop->Frame();
    EXPECT_EQ(engine->fps, 8.0f);
    EXPECT_EQ(loop->fpsFrames, 0);
    EXPECT_EQ(loop->fpsTime, 0.0f);

    // The counter restarts from zero: a slower second gives a lower count.
    clock.increment = 0.25f;
    for (int i = 0; i < 3; ++i)
        loop->Frame();
    EXPECT_EQ(engine->fps, 8.0f);
    loop->Frame();
    EXPECT_EQ(engine->fps, 4.0f);
}

TEST_F(MainLoopTest, PacingIsTheSameAfterAnyRunLength)
{
    // A millisecond per clock read: every frame waits 17 reads, at the start as 100,000 s (28 hours) on.
    for (double start : {0.0, 100000.0}) {
        clock.now = start;
        clock.increment = 0.001;
        engine->fps = 0.0f;
        recorder->updates.clear();
        loop->Start();
        ASSERT_EQ(loop->Run(61), 61);
        for (std::size_t i = 1; i < recorder->updates.size(); ++i)
            ASSERT_NEAR(recorder->updates[i], 0.017f, 1e-5f) << start << " frame " << i;
        EXPECT_EQ(engine->fps, 59.0f) << start;
    }
}

TEST_F(MainLoopTest, AccumulatedTimeResetsToZeroNotReducedBySecond)
{
    clock.increment = 0.75f;
    loop->Start();
    loop->Frame(); // 0.75
    EXPECT_EQ(engine->fps, 0.0f);
    loop->Frame(); // 1.5 -> store 2, reset to 0 (not 0.5)
    EXPECT_EQ(engine->fps, 2.0f);
    EXPECT_EQ(loop->fpsTime, 0.0f);
    loop->Frame(); // 0.75 again: no store yet
    EXPECT_EQ(loop->fpsFrames, 1);
}

TEST_F(MainLoopTest, PausedFramesUpdateWithZeroWhileDrawingGoesOn)
{
    clock.increment = 0.02f;
    // A running credits scroll that is still waiting: the loop reports it on paused frames only.
    CreditsScrollState.running = true;
    CreditsScrollState.waitTime = 100.0f;
    CreditsScrollState.scrollTime = 1.0f;
    ::testing::internal::CaptureStdout();
    loop->Start();
    loop->Frame();
    loop->Frame();
    engine->paused = 1;
    loop->Frame(); // dt handed in was measured before the pause
    loop->Frame();
    loop->Frame();
    engine->paused = 0;
    loop->Frame(); // first frame after unpause still gets 0 (set at the end of the paused frame)
    loop->Frame();
    const std::string out = ::testing::internal::GetCapturedStdout();

    ASSERT_EQ(recorder->updates.size(), 7u);
    EXPECT_EQ(recorder->updates[0], 0.0f);
    EXPECT_NEAR(recorder->updates[1], 0.02f, 1e-5f);
    EXPECT_NEAR(recorder->updates[2], 0.02f, 1e-5f);
    EXPECT_EQ(recorder->updates[3], 0.0f);
    EXPECT_EQ(recorder->updates[4], 0.0f);
    EXPECT_EQ(recorder->updates[5], 0.0f);
    EXPECT_NEAR(recorder->updates[6], 0.02f, 1e-5f);
    EXPECT_EQ(recorder->draws, 7);
    // Engine::dt keeps the measured step while paused.
    EXPECT_NEAR(engine->dt, 0.02f, 1e-5f);
    // The credits step runs only on paused frames and adds the measured step each time.
    EXPECT_EQ(CountOf(out, "Credits scrolling - time elapsed: "), 3) << out;
    EXPECT_NE(out.find("Credits scrolling - time elapsed: 0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Credits scrolling - time elapsed: 0.02\n"), std::string::npos) << out;
    EXPECT_NEAR(CreditsScrollState.elapsed, 0.06f, 1e-5f);
}

class CreditsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager = new GameObjectManager();
        manager->Init();
        credit = new GameObject();
        credit->SetName("CreditLine");
        Transform* transform = new Transform();
        transform->TranslationY = -3.0f;
        credit->SetComponent(transform);
        manager->AddGameObject(credit);
        credits.objects = {GameObjectHandle(credit)};
        credits.waitTime = 0.5f;
        credits.scrollTime = 1.0f;
        credits.speed = 2.0f;
        credits.lowestY = -3.0f;
        credits.highestY = -3.0f;
        credits.running = true;
    }
    void TearDown() override { delete manager; }

    GameObjectManager* manager = nullptr;
    GameObject* credit = nullptr;
    CreditsScroll credits;
};

TEST_F(CreditsTest, WaitsThenScrollsThenStopsOnce)
{
    ::testing::internal::CaptureStdout();
    AdvanceCredits(credits, 0.25f); // elapsed 0: waiting
    AdvanceCredits(credits, 0.25f); // 0.25: waiting
    EXPECT_EQ(credit->GetTransform()->TranslationY, -3.0f);
    AdvanceCredits(credits, 0.25f); // 0.5: moves
    EXPECT_EQ(credit->GetTransform()->TranslationY, -2.5f);
    EXPECT_TRUE(credit->GetTransform()->dirty);
    AdvanceCredits(credits, 0.25f); // 0.75
    AdvanceCredits(credits, 0.25f); // 1.0
    EXPECT_TRUE(credits.running);
    AdvanceCredits(credits, 0.25f); // 1.25
    AdvanceCredits(credits, 0.25f); // 1.5: moves a last time and stops
    EXPECT_FALSE(credits.running);
    AdvanceCredits(credits, 0.25f); // stopped: nothing
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(credit->GetTransform()->TranslationY, -0.5f);
    EXPECT_EQ(CountOf(out, "Credits stopped\n"), 1) << out;
    EXPECT_EQ(CountOf(out, "Credits scrolling - time elapsed: "), 7) << out;
    EXPECT_NE(out.find("Credits scrolling - time elapsed: 1.5\nCredits stopped\n"), std::string::npos) << out;
    EXPECT_TRUE(credits.objects.empty());
    EXPECT_EQ(credits.lowestY, 1000.0f);
    EXPECT_EQ(credits.highestY, -1000.0f);
    // Reset to 0, then the frame's step is added.
    EXPECT_EQ(credits.elapsed, 0.25f);
}

TEST_F(CreditsTest, ZeroSpeedLeavesTheTransformClean)
{
    credits.speed = 0.0f;
    credits.waitTime = 0.0f;
    credit->GetTransform()->GetWorldMatrix(); // clears the dirty flag
    ::testing::internal::CaptureStdout();
    AdvanceCredits(credits, 0.25f);
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(credit->GetTransform()->dirty);
}

TEST_F(CreditsTest, DeletedObjectsAreLeftAlone)
{
    manager->DeleteGameObject("CreditLine"); // the credits list still holds its handle
    GameObject unlisted;
    credits.objects.push_back(GameObjectHandle(&unlisted));
    credits.objects.push_back(GameObjectHandle());
    credits.waitTime = 0.0f;
    ::testing::internal::CaptureStdout();
    AdvanceCredits(credits, 0.25f);
    ::testing::internal::GetCapturedStdout();
    EXPECT_NEAR(credits.elapsed, 0.25f, 1e-6f);
}

TEST_F(CreditsTest, NotRunningDoesNothing)
{
    credits.running = false;
    ::testing::internal::CaptureStdout();
    AdvanceCredits(credits, 0.25f);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_EQ(credits.elapsed, 0.0f);
}

TEST_F(MainLoopTest, InactiveSystemIsDrawnButNotUpdated)
{
    recorder->SetActive(false);
    loop->Start();
    loop->Run(2);
    EXPECT_TRUE(recorder->updates.empty());
    EXPECT_EQ(recorder->draws, 2);
}

TEST_F(MainLoopTest, LoopEndsWhenAskedToClose)
{
    closeAfter = 4;
    loop->clock = [this]() { return clock.Read(); };
    recorder->updates.clear();
    // Count frames through the draw calls.
    loop->shouldClose = [this]() { return recorder->draws >= closeAfter; };
    loop->Start();
    EXPECT_EQ(loop->Run(), 4);
    EXPECT_FALSE(loop->Frame());
    EXPECT_EQ(recorder->draws, 4);
}

TEST_F(MainLoopTest, LoopEndsWhenEngineStopsRunning)
{
    loop->Start();
    loop->Frame();
    engine->running = 0;
    EXPECT_TRUE(loop->ShouldEnd());
    EXPECT_FALSE(loop->Frame());
    EXPECT_EQ(recorder->draws, 1);
}

TEST_F(MainLoopTest, NoEngineRunsNoFrame)
{
    GameLoop empty(nullptr, nullptr);
    EXPECT_TRUE(empty.ShouldEnd());
    EXPECT_FALSE(empty.Frame());
    EXPECT_EQ(empty.Run(5), 0);
}

TEST_F(MainLoopTest, EscapeAloneDoesNotClose)
{
    int closeRequests = 0;
    loop->escapeDown = []() { return true; };
    loop->modifierDown = []() { return false; };
    loop->requestClose = [&]() { ++closeRequests; };
    loop->Start();
    loop->Run(3);
    EXPECT_EQ(closeRequests, 0);
}

TEST_F(MainLoopTest, EscapeWithModifierAsksToCloseAndTheLoopEndsNextFrame)
{
    bool closeRequested = false;
    bool escape = false;
    loop->escapeDown = [&]() { return escape; };
    loop->modifierDown = []() { return true; }; // "/" held the whole time
    loop->requestClose = [&]() { closeRequested = true; };
    loop->shouldClose = [&]() { return closeRequested; };
    loop->Start();
    EXPECT_TRUE(loop->Frame());
    EXPECT_FALSE(closeRequested);
    escape = true;
    EXPECT_TRUE(loop->Frame()); // the frame that sees Escape still updates and draws
    EXPECT_TRUE(closeRequested);
    EXPECT_EQ(recorder->draws, 2);
    EXPECT_FALSE(loop->Frame()); // and the loop ends at the top of the next one
    EXPECT_EQ(recorder->draws, 2);
}

TEST_F(MainLoopTest, DefaultModifierNeedsAnInputManager)
{
    // With no InputManager the default modifier check reads "not held".
    GameLoop fresh(engine, nullptr);
    EXPECT_FALSE(fresh.modifierDown());
    EXPECT_FALSE(fresh.escapeDown());
}

TEST_F(MainLoopTest, StopSignalEndsTheLoopLikeClosing)
{
    GameLoop fresh(engine, nullptr);
    fresh.clock = [this]() { return clock.Read(); };
    InstallStopSignalHandlers();
    fresh.Start();
    EXPECT_TRUE(fresh.Frame());
    std::raise(SIGTERM);
    EXPECT_EQ(StopRequested, 1);
    EXPECT_FALSE(fresh.Frame());
    StopRequested = 0;
    std::raise(SIGINT);
    EXPECT_TRUE(fresh.ShouldEnd());
    StopRequested = 0;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

TEST(FrameClock, StartsNearZeroAndMovesForward)
{
    const double first = ReadFrameClock();
    const double second = ReadFrameClock();
    EXPECT_GE(first, 0.0);
    EXPECT_GE(second, first);
}

} // namespace
