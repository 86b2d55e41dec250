#include "BackgroundJob.h"

#include <system_error>

CBackgroundJob::CBackgroundJob(Work work, std::function<void()> fnFinished)
    : m_work(std::move(work)), m_fnFinished(std::move(fnFinished)) {
    try {
        m_thread = std::thread([this] { Run(m_work, m_fnFinished); });
    } catch (const std::system_error&) {
        // No thread to be had (memory is short, or the system's limit is reached): the work
        // runs here, and the caller waits for what it would otherwise have followed.
        Run(m_work, m_fnFinished);
    }
}

CBackgroundJob::~CBackgroundJob() {
    Cancel();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CBackgroundJob::Run(const Work& work, const std::function<void()>& fnFinished) {
    work(m_progress);
    {
        const std::lock_guard lock(m_mutex);
        m_bFinished = true;
    }
    m_finished.notify_all();
    if (fnFinished) {
        fnFinished();
    }
}

bool CBackgroundJob::Finished() const {
    const std::lock_guard lock(m_mutex);
    return m_bFinished;
}

bool CBackgroundJob::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_finished.wait_for(lock, timeout, [this] { return m_bFinished; });
}
