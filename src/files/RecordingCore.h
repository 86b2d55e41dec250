#pragma once

// The writer's shared core, its thread's half and its file's half in two files.

#include "RecordingWriter.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// One set handed over, waiting for the writer's thread.
struct SRecordedSet {
    std::int64_t m_nMs = 0;
    int m_nCount = 0;
    bool m_bAligned = false;
    std::array<float, CRecordingWriter::kMaxValues> m_v{};
};

// Everything the writer's thread touches. It is shared with that thread, so that a thread the
// owner had to give up on (stuck in a write) can still end on its own later.
class CRecordingWriter::CCore {
public:
    CCore(std::string strPath, const SRecordingOptions& options, std::function<void()> fnFailed)
        : m_strPath(std::move(strPath)), m_options(options), m_fnFailed(std::move(fnFailed)) {}
    ~CCore() {
        if (m_hFile >= 0) {
            ::close(m_hFile);
        }
    }

    bool Open();
    void Run();
    void Add(const SRecordedSet& set);
    void SetNames(std::vector<std::string> vNames);
    void RequestStop();
    bool WaitFinished(std::chrono::milliseconds timeout);
    void GiveUp();
    void SetStopped(std::function<void(const SRecordingEnd&)> fnStopped);
    bool IsFile(const struct stat& st) const;
    const SRecordingOptions& Options() const { return m_options; }

    SRecordingEnd End() const {
        const std::lock_guard lock(m_mutex);
        return EndLocked();
    }
    bool StopRequested() const {
        const std::lock_guard lock(m_mutex);
        return m_bStop;
    }

private:
    SRecordingEnd EndLocked() const {
        return {!m_bFailed, m_nErrno, m_bLost, m_nWritten, m_nAccepted - m_nWritten};
    }
    void FailLocked(int nErrno, bool bLost = false);
    bool WriteSets(const std::vector<SRecordedSet>& vSets);
    bool WriteText(const char* p, std::size_t n);
    bool WriteHeader(int nWidth, bool bPad = false);
    bool Rewrite(const std::string& strHeader, int nPadTo);
    bool StillTheFile();
    void KeepIdentity();
    bool Sync();

    const std::string m_strPath;
    const SRecordingOptions m_options;
    const std::function<void()> m_fnFailed;

    // Shared with the owner.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    std::vector<SRecordedSet> m_vPending;
    std::vector<std::string> m_vNewNames;
    bool m_bNamesChanged = false;
    std::chrono::steady_clock::time_point m_firstPending;
    bool m_bStop = false;
    bool m_bFailed = false;
    bool m_bLost = false;
    bool m_bFinished = false;
    int m_nErrno = 0;
    std::uint64_t m_nAccepted = 0;
    std::uint64_t m_nWritten = 0;
    dev_t m_nDevice = 0;
    ino_t m_nInode = 0;
    bool m_bRegular = true;

    // The callbacks, and the owner's giving up, which ends them.
    std::mutex m_callbackMutex;
    std::function<void(const SRecordingEnd&)> m_fnStopped;
    bool m_bEnded = false;
    std::atomic<bool> m_bGivenUp{false};

    // The writer's thread only (and Open, before it starts).
    int m_hFile = -1;
    int m_nHeaderWidth = -1; // no header yet
    std::vector<std::string> m_vNames;
    std::string m_strHeader;
    std::uint64_t m_nHeaderBytes = 0;
    std::uint64_t m_nFileSize = 0;
    bool m_bUnsynced = false;
    std::chrono::steady_clock::time_point m_lastSync;
    std::string m_strText;
};
