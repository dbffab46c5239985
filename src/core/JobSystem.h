#pragma once
// A small thread pool. Workers sleep on a condition variable until a job is queued or the pool is
// destroyed; the destructor stops and joins them all. The first JobSystem becomes gJobSystem; any
// later one starts no workers.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/ISystem.h"

struct Job {
    std::function<void()> work;
};

// First-in-first-out queue of jobs with its own lock.
class JobQueue {
public:
    void Push(Job job);
    // Moves the front job into out and removes it; false when the queue is empty.
    bool TryPop(Job& out);
    bool Empty() const;
    std::size_t Size() const;

private:
    mutable std::mutex mutex_;
    std::deque<Job> jobs_;
};

class JobSystem : public ISystem {
public:
    // Starts one worker per hardware thread less one (one when the count is unknown, none on a
    // single core), unless another JobSystem is already running.
    JobSystem();
    // The same, as if the platform reported this many hardware threads.
    explicit JobSystem(unsigned reportedHardwareThreads);
    ~JobSystem() override;

    std::string GetName() override { return "Job System"; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}

    // Queues a job and wakes one worker. With no workers the job runs at once on the calling
    // thread. An empty function is refused (false) with a trace line.
    bool AddJob(std::function<void()> work);

    // Workers asked for, and workers that are actually running.
    unsigned RequestedWorkers() const { return workerCount_.load(); }
    unsigned StartedWorkers() const { return static_cast<unsigned>(workers_.size()); }
    // Jobs queued and not yet finished.
    std::uint32_t PendingJobs() const { return pending_.load(); }

    // How many workers a machine reporting this many hardware threads gets.
    static unsigned WorkersFor(unsigned reportedHardwareThreads);

    // Test hook: thread starts after this many succeed fail as if the system were out of threads
    // (-1, the default, never fails).
    static void SetThreadStartLimitForTesting(int limit);

private:
    void Start(unsigned reportedHardwareThreads);
    void WorkerLoop();

    std::vector<std::thread> workers_;
    JobQueue queue_;
    std::condition_variable wake_;
    std::mutex waitMutex_;
    std::atomic<std::uint32_t> pending_{0};
    std::atomic<bool> stop_{false};
    std::atomic<std::uint32_t> workerCount_{0};
};

// The first live JobSystem; cleared when that one is destroyed.
extern JobSystem* gJobSystem;
