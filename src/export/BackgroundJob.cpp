#include "BackgroundJob.h"

CBackgroundJob::CBackgroundJob(Work work, std::function<void()> fnFinished)
    : m_thread([this, work = std::move(work), fnFinished = std::move(fnFinished)] {
          Run(work, fnFinished);
      }) {}

CBackgroundJob::~CBackgroundJob() {
    Cancel();
    m_thread.join();
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
