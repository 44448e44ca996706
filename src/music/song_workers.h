#pragma once
// Runs the independent parts of a song on several threads. A part is spawned
// as a job and its sound fetched with Get. workerCount threads run the jobs,
// the calling thread counted as one: workers take queued jobs in the order
// spawned, and a thread waiting in Get for a job nobody has started runs that
// job itself, so jobs may spawn and wait on jobs without dead-locking. With
// one worker every job runs at once on the calling thread, in the order of
// the recipe. Only where work runs changes, never what it computes.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "music/sample_buffer.h"

class SongWorkers {
public:
    struct Job {
        std::function<SampleBuffer()> work;
        SampleBuffer result;
        bool started = false;
        bool done = false;
    };
    using Sound = std::shared_ptr<Job>;

    explicit SongWorkers(unsigned workerCount);
    // Waits for the running jobs; queued jobs nobody asked for are dropped.
    ~SongWorkers();
    SongWorkers(const SongWorkers&) = delete;
    SongWorkers& operator=(const SongWorkers&) = delete;

    Sound Spawn(std::function<SampleBuffer()> work);
    // The job's sound. A job that throws (only running out of memory can)
    // ends the process with a message: other jobs may still be using the
    // parts of the frame that spawned it, so unwinding is not safe.
    const SampleBuffer& Get(const Sound& sound);

private:
    void Run(const Sound& job, std::unique_lock<std::mutex>& lock);
    void WorkerLoop();

    bool inline_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Sound> queue_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};
