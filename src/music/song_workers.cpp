#include "music/song_workers.h"
#include "platform/system/console.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

SongWorkers::SongWorkers(unsigned workerCount) : inline_(workerCount <= 1)
{
    for (unsigned i = 1; i < workerCount; ++i)
        threads_.emplace_back([this] { WorkerLoop(); });
}

SongWorkers::~SongWorkers()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    for (auto& t : threads_)
        t.join();
}

SongWorkers::Sound SongWorkers::Spawn(std::function<SampleBuffer()> work)
{
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    if (inline_) {
        job->started = true;
        job->result = job->work();
        job->work = nullptr;
        job->done = true;
        return job;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(job);
    }
    changed_.notify_one();
    return job;
}

void SongWorkers::Run(const Sound& job, std::unique_lock<std::mutex>& lock)
{
    job->started = true;
    lock.unlock();
    SampleBuffer result;
    try {
        result = job->work();
    } catch (const std::exception& e) {
        ConsoleErrorPrintf("song rendering failed: %s\n", e.what());
        std::abort();
    } catch (...) {
        ConsoleErrorPrintf("song rendering failed\n");
        std::abort();
    }
    lock.lock();
    job->result = std::move(result);
    job->work = nullptr;
    job->done = true;
    changed_.notify_all();
}

const SampleBuffer& SongWorkers::Get(const Sound& sound)
{
    if (!inline_) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!sound->started) {
            // Nobody has taken it: run it here rather than wait for a worker.
            auto it = std::find(queue_.begin(), queue_.end(), sound);
            if (it != queue_.end())
                queue_.erase(it);
            Run(sound, lock);
        }
        // Started elsewhere: its own needs are met or being met, so it ends.
        changed_.wait(lock, [&] { return sound->done; });
    }
    return sound->result;
}

void SongWorkers::WorkerLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_)
            return;
        Sound job = queue_.front();
        queue_.pop_front();
        Run(job, lock);
    }
}
