#include "core/JobSystem.h"

#include <exception>
#include <system_error>

#include "core/Trace.h"

JobSystem* gJobSystem = nullptr;

namespace {
std::atomic<int> gThreadStartLimit{-1};

// Runs one job; what it throws is traced and goes no further.
void RunJob(const std::function<void()>& work)
{
    try {
        if (work)
            work();
    } catch (const std::exception& error) {
        Trace("JobSystem: a job failed: %s", error.what());
    } catch (...) {
        Trace("JobSystem: a job failed");
    }
}
}

void JobQueue::Push(Job job)
{
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
}

bool JobQueue::TryPop(Job& out)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (jobs_.empty())
        return false;
    out = std::move(jobs_.front());
    jobs_.pop_front();
    return true;
}

bool JobQueue::Empty() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_.empty();
}

std::size_t JobQueue::Size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_.size();
}

void JobSystem::SetThreadStartLimitForTesting(int limit) { gThreadStartLimit = limit; }

unsigned JobSystem::WorkersFor(unsigned reportedHardwareThreads)
{
    if (reportedHardwareThreads == 0)
        return 1;
    return reportedHardwareThreads - 1;
}

JobSystem::JobSystem() : JobSystem(std::thread::hardware_concurrency()) {}

JobSystem::JobSystem(unsigned reportedHardwareThreads)
{
    exposed = 0;
    active = 1;
    if (gJobSystem)
        return;
    gJobSystem = this;
    Start(reportedHardwareThreads);
}

void JobSystem::Start(unsigned reportedHardwareThreads)
{
    const unsigned wanted = WorkersFor(reportedHardwareThreads);
    workerCount_ = wanted;
    workers_.reserve(wanted);
    for (unsigned i = 0; i < wanted; ++i) {
        try {
            const int limit = gThreadStartLimit.load();
            if (limit >= 0 && workers_.size() >= static_cast<std::size_t>(limit))
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            workers_.emplace_back(&JobSystem::WorkerLoop, this);
        } catch (const std::system_error& error) {
            // Keep the workers that did start; the pool works (or runs jobs inline) with fewer.
            Trace("JobSystem: could not start worker thread %u of %u (%s); running with %u",
                  i + 1, wanted, error.what(), static_cast<unsigned>(workers_.size()));
            break;
        }
    }
}

JobSystem::~JobSystem()
{
    {
        // Setting the flag under the wait mutex means no worker can be between its check of the
        // flag and its wait when the broadcast goes out.
        std::lock_guard<std::mutex> lock(waitMutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) {
        if (worker.joinable()) {
            try {
                worker.join();
            } catch (const std::system_error& error) {
                Trace("JobSystem: could not join a worker thread (%s)", error.what());
            }
        }
    }
    workers_.clear();
    if (gJobSystem == this)
        gJobSystem = nullptr;
}

bool JobSystem::AddJob(std::function<void()> work)
{
    if (!work) {
        Trace("JobSystem: an empty job was not queued");
        return false;
    }
    if (workers_.empty()) {
        RunJob(work);
        return true;
    }
    pending_.fetch_add(1);
    queue_.Push(Job{std::move(work)});
    {
        std::lock_guard<std::mutex> lock(waitMutex_);
    }
    wake_.notify_one();
    return true;
}

void JobSystem::WorkerLoop()
{
    while (!stop_.load()) {
        Job job;
        if (queue_.TryPop(job)) {
            RunJob(job.work);
            pending_.fetch_sub(1);
            continue;
        }
        std::unique_lock<std::mutex> lock(waitMutex_);
        wake_.wait(lock, [this] { return stop_.load() || !queue_.Empty(); });
    }
}
