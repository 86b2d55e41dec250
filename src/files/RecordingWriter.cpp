#include "RecordingWriter.h"

#include "RecordingCore.h"

#include "OutputFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

void CRecordingWriter::CCore::Add(const SRecordedSet& set) {
    const std::lock_guard lock(m_mutex);
    if (m_bFailed || m_bStop) {
        return;
    }
    ++m_nAccepted;
    if (m_vPending.size() >= m_options.m_nMaxPending) {
        FailLocked(ENOBUFS);
        m_wake.notify_one();
        return;
    }
    // Only the first of a batch wakes the writer: it then gathers for the write delay.
    if (m_vPending.empty()) {
        m_firstPending = std::chrono::steady_clock::now();
        m_vPending.push_back(set);
        m_wake.notify_one();
    } else {
        m_vPending.push_back(set);
    }
}

void CRecordingWriter::CCore::SetNames(std::vector<std::string> vNames) {
    const std::lock_guard lock(m_mutex);
    m_vNewNames = std::move(vNames);
    m_bNamesChanged = true;
    m_wake.notify_one();
}

void CRecordingWriter::CCore::RequestStop() {
    const std::lock_guard lock(m_mutex);
    m_bStop = true;
    m_wake.notify_one();
}

bool CRecordingWriter::CCore::WaitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_finished.wait_for(lock, timeout, [this] { return m_bFinished; });
}

void CRecordingWriter::CCore::GiveUp() {
    const std::lock_guard callbacks(m_callbackMutex);
    m_bGivenUp = true;
    const std::lock_guard lock(m_mutex);
    FailLocked(ETIMEDOUT);
    m_wake.notify_one();
}

void CRecordingWriter::CCore::SetStopped(std::function<void(const SRecordingEnd&)> fnStopped) {
    std::unique_lock callbacks(m_callbackMutex);
    if (!m_bEnded) {
        m_fnStopped = std::move(fnStopped);
        return;
    }
    callbacks.unlock();
    if (fnStopped) {
        fnStopped(End());
    }
}

bool CRecordingWriter::CCore::IsFile(const struct stat& st) const {
    const std::lock_guard lock(m_mutex);
    return st.st_dev == m_nDevice && st.st_ino == m_nInode;
}

void CRecordingWriter::CCore::FailLocked(int nErrno, bool bLost) {
    if (!m_bFailed) {
        m_bFailed = true;
        m_nErrno = nErrno;
        m_bLost = bLost;
    }
    m_vPending.clear();
}

void CRecordingWriter::CCore::Run() {
    // A pipe whose reader went away gives EPIPE here instead of ending the program.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::unique_lock lock(m_mutex);
    auto wakeUp = [this] { return !m_vPending.empty() || m_bNamesChanged || m_bStop || m_bFailed; };
    // The file went or the write failed: which, and why.
    bool bLost = false;
    int nErrno = 0;
    auto run = [&](auto&& fnStep) {
        lock.unlock();
        bool bOk = false;
        try {
            bOk = fnStep();
            nErrno = errno;
        } catch (const std::bad_alloc&) {
            nErrno = ENOMEM;
        }
        lock.lock();
        if (!bOk) {
            FailLocked(nErrno, bLost);
        }
        return bOk;
    };
    while (!m_bFailed) {
        if (m_vPending.empty() && !m_bNamesChanged) {
            if (m_bStop) {
                break;
            }
            // Idle: asleep until a set comes, or until written data is due on the disk.
            if (!m_bUnsynced) {
                m_wake.wait(lock, wakeUp);
            } else if (!m_wake.wait_until(lock, m_lastSync + m_options.m_syncInterval, wakeUp)) {
                run([&] {
                    bLost = !StillTheFile();
                    return !bLost && Sync();
                });
            }
            continue;
        }
        // Sets that come close together go out in one write.
        if (!m_vPending.empty()) {
            m_wake.wait_until(lock, m_firstPending + m_options.m_writeDelay,
                              [this] { return m_bStop || m_bFailed; });
        }
        if (m_bFailed) {
            break;
        }
        std::vector<SRecordedSet> vSets;
        vSets.swap(m_vPending);
        if (std::exchange(m_bNamesChanged, false)) {
            m_vNames = m_vNewNames;
        }
        const bool bWritten = run([&] {
            const bool bDue =
                std::chrono::steady_clock::now() >= m_lastSync + m_options.m_syncInterval;
            bLost = !StillTheFile();
            return !bLost && WriteSets(vSets) && (!bDue || Sync());
        });
        if (bWritten) {
            m_nWritten += vSets.size();
        }
    }
    if (!m_bFailed && !m_bGivenUp) {
        run([&] {
            bLost = !StillTheFile();
            return !bLost && Sync();
        });
    }
    const bool bFailed = m_bFailed;
    lock.unlock();
    ::close(m_hFile);
    m_hFile = -1;

    std::unique_lock callbacks(m_callbackMutex);
    m_bEnded = true;
    if (!m_bGivenUp) {
        if (bFailed && m_fnFailed) {
            m_fnFailed();
        }
        if (m_fnStopped) {
            m_fnStopped(End());
        }
    }
    callbacks.unlock();
    lock.lock();
    m_bFinished = true;
    m_finished.notify_all();
}

CRecordingWriter::~CRecordingWriter() {
    Stop();
}

bool CRecordingWriter::Start(const std::string& strPath, std::function<void()> fnFailed,
                             const SRecordingOptions& options) {
    Stop();
    m_strPath = ResolveLink(strPath);
    m_pCore = std::make_shared<CCore>(m_strPath, options, std::move(fnFailed));
    if (!m_pCore->Open()) {
        return false;
    }
    m_thread = std::thread([pCore = m_pCore] { pCore->Run(); });
    return true;
}

void CRecordingWriter::AddSet(std::int64_t nMs, std::span<const float> values, bool bAligned) {
    if (!m_thread.joinable()) {
        return;
    }
    SRecordedSet set;
    set.m_nMs = nMs;
    set.m_bAligned = bAligned;
    set.m_nCount = static_cast<int>(std::min<std::size_t>(values.size(), kMaxValues));
    std::copy_n(values.begin(), set.m_nCount, set.m_v.begin());
    m_pCore->Add(set);
}

void CRecordingWriter::SetNames(std::vector<std::string> vNames) {
    if (m_thread.joinable()) {
        m_pCore->SetNames(std::move(vNames));
    }
}

bool CRecordingWriter::Stop() {
    if (m_thread.joinable()) {
        m_pCore->RequestStop();
        if (m_pCore->WaitFinished(m_pCore->Options().m_stopTimeout)) {
            m_thread.join();
        } else {
            // The system does not let the writer finish: it ends by itself when it can, and
            // nothing of it reaches the owner any more.
            m_pCore->GiveUp();
            m_thread.detach();
        }
    }
    return m_pCore == nullptr || m_pCore->End().m_bOk;
}

void CRecordingWriter::StopAsync(std::function<void(const SRecordingEnd&)> fnStopped) {
    if (!m_thread.joinable()) {
        if (fnStopped) {
            fnStopped(End());
        }
        return;
    }
    m_pCore->SetStopped(std::move(fnStopped));
    m_pCore->RequestStop();
}

bool CRecordingWriter::Recording() const {
    return m_thread.joinable() && !m_pCore->StopRequested();
}

bool CRecordingWriter::Failed() const {
    return m_pCore != nullptr && !m_pCore->End().m_bOk;
}

int CRecordingWriter::Error() const {
    return m_pCore != nullptr ? m_pCore->End().m_nErrno : 0;
}

bool CRecordingWriter::Lost() const {
    return m_pCore != nullptr && m_pCore->End().m_bLost;
}

SRecordingEnd CRecordingWriter::End() const {
    return m_pCore != nullptr ? m_pCore->End() : SRecordingEnd{};
}

bool CRecordingWriter::IsRecordingFile(const std::string& strPath) const {
    struct stat st {};
    return m_pCore != nullptr && m_thread.joinable() && ::stat(strPath.c_str(), &st) == 0 &&
           m_pCore->IsFile(st);
}
