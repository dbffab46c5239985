// JobSystem: worker counts, the global pool, clean and quick shutdown, jobs, and threads that fail
// to start.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

#include "core/JobSystem.h"

namespace {

using namespace std::chrono_literals;

// Runs f on another thread and fails the test (instead of hanging) when it takes longer than limit.
template <typename F>
bool FinishesWithin(std::chrono::seconds limit, F f)
{
    auto done = std::async(std::launch::async, f);
    return done.wait_for(limit) == std::future_status::ready;
}

bool WaitForJobs(const JobSystem& jobs)
{
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (jobs.PendingJobs() != 0) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(JobSystem, WorkerCountFromHardwareThreads)
{
    EXPECT_EQ(JobSystem::WorkersFor(8), 7u);
    EXPECT_EQ(JobSystem::WorkersFor(1), 0u);
    EXPECT_EQ(JobSystem::WorkersFor(0), 1u);
    EXPECT_EQ(JobSystem::WorkersFor(2), 1u);

    {
        JobSystem jobs(8);
        EXPECT_EQ(jobs.RequestedWorkers(), 7u);
        EXPECT_EQ(jobs.StartedWorkers(), 7u);
    }
    {
        JobSystem jobs(1);
        EXPECT_EQ(jobs.StartedWorkers(), 0u);
    }
    {
        JobSystem jobs(0);
        EXPECT_EQ(jobs.StartedWorkers(), 1u);
    }
    {
        JobSystem jobs;
        const unsigned h = std::thread::hardware_concurrency();
        EXPECT_EQ(jobs.StartedWorkers(), JobSystem::WorkersFor(h));
    }
}

TEST(JobSystem, NameFlagsAndGlobal)
{
    ASSERT_EQ(gJobSystem, nullptr);
    auto* first = new JobSystem(4);
    EXPECT_EQ(first->GetName(), "Job System");
    EXPECT_EQ(first->exposed, 0);
    EXPECT_EQ(first->active, 1);
    EXPECT_EQ(gJobSystem, first);

    // A second pool starts nothing and does not take over the global, nor clear it when it goes.
    auto* second = new JobSystem(4);
    EXPECT_EQ(second->StartedWorkers(), 0u);
    EXPECT_EQ(gJobSystem, first);
    delete second;
    EXPECT_EQ(gJobSystem, first);

    first->Init();
    first->Update(1.0f / 60.0f);
    first->Draw();
    delete first;
    EXPECT_EQ(gJobSystem, nullptr);
}

TEST(JobSystem, DestroyingIdleWorkersReturns)
{
    EXPECT_TRUE(FinishesWithin(30s, [] {
        JobSystem jobs(8);
        std::this_thread::sleep_for(20ms);  // let every worker reach its wait
    }));
}

TEST(JobSystem, CreateAndDestroyManyTimesNeverHangs)
{
    EXPECT_TRUE(FinishesWithin(60s, [] {
        for (int round = 0; round < 300; ++round) {
            JobSystem jobs(static_cast<unsigned>(round % 9));
            // Destroy at once, often while workers are between their stop check and their wait.
        }
    }));
    EXPECT_EQ(gJobSystem, nullptr);
}

TEST(JobSystem, JobsRunOnWorkers)
{
    JobSystem jobs(4);
    std::atomic<int> sum{0};
    std::atomic<int> onOtherThread{0};
    const auto mainThread = std::this_thread::get_id();
    for (int i = 1; i <= 100; ++i) {
        EXPECT_TRUE(jobs.AddJob([&sum, &onOtherThread, mainThread, i] {
            sum += i;
            if (std::this_thread::get_id() != mainThread)
                ++onOtherThread;
        }));
    }
    ASSERT_TRUE(WaitForJobs(jobs));
    EXPECT_EQ(sum.load(), 5050);
    EXPECT_EQ(onOtherThread.load(), 100);
}

TEST(JobSystem, OneWorkerRunsJobsInQueueOrder)
{
    JobSystem jobs(2);
    ASSERT_EQ(jobs.StartedWorkers(), 1u);
    std::string order;
    std::mutex m;
    for (char c = 'a'; c <= 'j'; ++c)
        jobs.AddJob([&, c] {
            std::lock_guard<std::mutex> lock(m);
            order += c;
        });
    ASSERT_TRUE(WaitForJobs(jobs));
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(order, "abcdefghij");
}

TEST(JobSystem, WithoutWorkersJobsRunAtOnce)
{
    JobSystem jobs(1);
    int ran = 0;
    EXPECT_TRUE(jobs.AddJob([&] { ++ran; }));
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(jobs.PendingJobs(), 0u);
}

TEST(JobSystem, EmptyAndThrowingJobsDoNotStopThePool)
{
    JobSystem jobs(3);
    EXPECT_FALSE(jobs.AddJob(std::function<void()>()));
    jobs.AddJob([] { throw std::runtime_error("job failed on purpose"); });
    std::atomic<int> ran{0};
    jobs.AddJob([&] { ++ran; });
    ASSERT_TRUE(WaitForJobs(jobs));
    EXPECT_EQ(ran.load(), 1);
}

TEST(JobSystem, ThreadStartFailureKeepsTheStartedWorkers)
{
    testing::internal::CaptureStdout();
    JobSystem::SetThreadStartLimitForTesting(2);
    bool finished = FinishesWithin(30s, [] {
        JobSystem jobs(8);
        EXPECT_EQ(jobs.RequestedWorkers(), 7u);
        EXPECT_EQ(jobs.StartedWorkers(), 2u);
        std::atomic<int> ran{0};
        for (int i = 0; i < 20; ++i)
            jobs.AddJob([&] { ++ran; });
        EXPECT_TRUE(WaitForJobs(jobs));
        EXPECT_EQ(ran.load(), 20);
    });
    JobSystem::SetThreadStartLimitForTesting(-1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(finished);
    EXPECT_NE(out.find("JobSystem: could not start worker thread 3 of 7"), std::string::npos) << out;
    EXPECT_EQ(gJobSystem, nullptr);

    // No thread at all: a pool without workers that still works.
    JobSystem::SetThreadStartLimitForTesting(0);
    {
        JobSystem jobs(4);
        EXPECT_EQ(jobs.StartedWorkers(), 0u);
        int ran = 0;
        jobs.AddJob([&] { ++ran; });
        EXPECT_EQ(ran, 1);
    }
    JobSystem::SetThreadStartLimitForTesting(-1);
}

TEST(JobQueue, TryPopIsFirstInFirstOut)
{
    JobQueue queue;
    Job out;
    EXPECT_FALSE(queue.TryPop(out));
    int value = 0;
    queue.Push(Job{[&] { value = 1; }});
    queue.Push(Job{[&] { value = 2; }});
    EXPECT_EQ(queue.Size(), 2u);
    ASSERT_TRUE(queue.TryPop(out));
    out.work();
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(queue.TryPop(out));
    out.work();
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(queue.Empty());
}

} // namespace

#include "core/Engine.h"

namespace {

TEST(JobSystemEngine, SecondEntryStartsNoWorkersAndLookupFindsTheFirst)
{
    Engine engine;
    auto* first = dynamic_cast<JobSystem*>(engine.AddSystem(std::string("JobSystem")));
    auto* second = dynamic_cast<JobSystem*>(engine.AddSystem(std::string("JobSystem")));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    engine.Init();
    EXPECT_EQ(gJobSystem, first);
    EXPECT_EQ(first->StartedWorkers(), JobSystem::WorkersFor(std::thread::hardware_concurrency()));
    EXPECT_EQ(second->StartedWorkers(), 0u);
    EXPECT_EQ(engine.GetSystem("Job System"), first);
    testing::internal::CaptureStdout();
    EXPECT_EQ(engine.GetSystem("JobSystem"), nullptr);
    testing::internal::GetCapturedStdout();
    engine.Update(1.0f / 60.0f);
    engine.Draw();
    EXPECT_TRUE(FinishesWithin(30s, [&engine] { engine.DeleteSystems(); }));
    EXPECT_EQ(gJobSystem, nullptr);
}

} // namespace
