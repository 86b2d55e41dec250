#pragma once

#include "JobProgress.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// One piece of work on a thread of its own, which its owner follows, stops and waits for.
// Whatever the work produces it leaves in data the owner gave it, to be read once Finished()
// is true (the finish is published under a lock, so those reads see every write of the work).
class CBackgroundJob {
public:
    using Work = std::function<void(CJobProgress&)>;

    // Starts at once. fnFinished, if any, runs on the job's thread right after the work has
    // returned and the job counts as finished, for example to wake up the owner's thread.
    // When no thread can be started, both run here before the constructor returns.
    explicit CBackgroundJob(Work work, std::function<void()> fnFinished = {});
    // Asks the work to stop and waits for the thread.
    ~CBackgroundJob();
    CBackgroundJob(const CBackgroundJob&) = delete;
    CBackgroundJob& operator=(const CBackgroundJob&) = delete;

    void Cancel() { m_progress.Cancel(); }
    bool Finished() const;
    // Waits at most that long; true once the work has returned.
    bool WaitFor(std::chrono::milliseconds timeout) const;
    const CJobProgress& Progress() const { return m_progress; }

private:
    void Run(const Work& work, const std::function<void()>& fnFinished);

    Work m_work;
    std::function<void()> m_fnFinished;
    CJobProgress m_progress;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_finished;
    bool m_bFinished = false;
    std::thread m_thread;
};
