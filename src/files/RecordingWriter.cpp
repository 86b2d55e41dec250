#include "RecordingWriter.h"

#include "CsvWriter.h"
#include "OutputFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::size_t kCopyBufferSize = 64 * 1024;

struct SSet {
    std::int64_t m_nMs = 0;
    int m_nCount = 0;
    std::array<float, CRecordingWriter::kMaxValues> m_v{};
};

std::string HeaderLine(int nWidth, const std::vector<std::string>& vNames) {
    std::string strHeader = "time_s";
    for (int c = 1; c <= nWidth; ++c) {
        const auto k = static_cast<std::size_t>(c - 1);
        strHeader += ',';
        strHeader += HeaderCell(k < vNames.size() ? std::string_view(vNames[k]) : "", c);
    }
    return strHeader + "\n";
}

void AppendLine(std::string& strText, std::int64_t nMs, std::span<const float> values) {
    char szLine[32 + CRecordingWriter::kMaxValues * 24];
    char* const pEnd = szLine + sizeof szLine;
    char* p = std::to_chars(szLine, pEnd, nMs / 1000).ptr;
    const auto nFraction = static_cast<int>(nMs % 1000);
    *p++ = '.';
    *p++ = static_cast<char>('0' + nFraction / 100);
    *p++ = static_cast<char>('0' + nFraction / 10 % 10);
    *p++ = static_cast<char>('0' + nFraction % 10);
    for (const float v : values) {
        *p++ = ',';
        // The shortest text that reads back as exactly this float; a gap is an empty cell.
        if (!std::isnan(v)) {
            p = std::to_chars(p, pEnd, v).ptr;
        }
    }
    *p++ = '\n';
    strText.append(szLine, p);
}

} // namespace

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
    void Add(const SSet& set);
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
    bool WriteSets(const std::vector<SSet>& vSets);
    bool WriteText(const char* p, std::size_t n);
    bool WriteHeader(int nWidth);
    bool Rewrite(const std::string& strHeader);
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
    std::vector<SSet> m_vPending;
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

bool CRecordingWriter::CCore::Open() {
    const auto fail = [this](int nErrno) {
        m_bFailed = true;
        m_nErrno = nErrno;
        return false;
    };
    struct stat st {};
    const bool bExists = ::stat(m_strPath.c_str(), &st) == 0;
    if (bExists && !S_ISREG(st.st_mode) && (!m_options.m_bPipesAllowed || S_ISDIR(st.st_mode))) {
        return fail(S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP);
    }
    if (const int nErrno = CheckReplaceable(m_strPath); nErrno != 0) {
        return fail(nErrno);
    }
    RemoveStaleTempFiles(DirectoryOf(m_strPath));
    // Read too: a new header copies what was written into a new file. Not blocking on a pipe
    // that slipped in after the check; the check after the open refuses it.
    m_hFile = ::open(m_strPath.c_str(),
                     O_RDWR | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
    if (m_hFile < 0) {
        return fail(errno);
    }
    if (::fstat(m_hFile, &st) != 0) {
        return fail(errno);
    }
    m_bRegular = S_ISREG(st.st_mode);
    if (!m_bRegular && !m_options.m_bPipesAllowed) {
        return fail(ENOTSUP);
    }
    ::fcntl(m_hFile, F_SETFL, O_APPEND);
    m_nDevice = st.st_dev;
    m_nInode = st.st_ino;
    m_lastSync = std::chrono::steady_clock::now();
    return true;
}

void CRecordingWriter::CCore::Add(const SSet& set) {
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
        std::vector<SSet> vSets;
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

bool CRecordingWriter::CCore::WriteSets(const std::vector<SSet>& vSets) {
    m_strText.clear();
    // Names that came since the last write: a header already written is written anew.
    if (m_nHeaderWidth >= 0) {
        const std::string strHeader = HeaderLine(m_nHeaderWidth, m_vNames);
        if (strHeader != m_strHeader && !WriteHeader(m_nHeaderWidth)) {
            return false;
        }
    }
    for (const SSet& set : vSets) {
        if (set.m_nCount > m_nHeaderWidth) {
            if (!WriteText(m_strText.data(), m_strText.size()) || !WriteHeader(set.m_nCount)) {
                return false;
            }
            m_strText.clear();
        }
        AppendLine(m_strText, set.m_nMs,
                   std::span<const float>(set.m_v.data(), static_cast<std::size_t>(set.m_nCount)));
    }
    return WriteText(m_strText.data(), m_strText.size());
}

bool CRecordingWriter::CCore::WriteText(const char* p, std::size_t n) {
    std::size_t nDone = 0;
    while (nDone < n) {
        const ssize_t written = ::write(m_hFile, p + nDone, n - nDone);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int nErrno = written == 0 ? ENOSPC : errno;
            // A line cut short would read as a different value: the file ends after the last
            // whole line.
            const char* pLastEnd =
                nDone == 0 ? nullptr : static_cast<const char*>(::memrchr(p, '\n', nDone));
            const std::size_t nWhole =
                pLastEnd == nullptr ? 0 : static_cast<std::size_t>(pLastEnd - p) + 1;
            m_nFileSize += nWhole;
            if (nWhole < nDone && ::ftruncate(m_hFile, static_cast<off_t>(m_nFileSize)) != 0) {
                // The device is gone with the rest.
            }
            errno = nErrno;
            return false;
        }
        nDone += static_cast<std::size_t>(written);
    }
    m_nFileSize += n;
    m_bUnsynced = m_bUnsynced || n > 0;
    return true;
}

// The header names the widest set so far. Before the first set it is simply written; later
// the file is written anew with it.
bool CRecordingWriter::CCore::WriteHeader(int nWidth) {
    std::string strHeader = HeaderLine(nWidth, m_vNames);
    const bool bFirst = m_nHeaderWidth < 0;
    m_nHeaderWidth = nWidth;
    if (bFirst) {
        m_nHeaderBytes = strHeader.size();
        m_strHeader = std::move(strHeader);
        return WriteText(m_strHeader.data(), m_strHeader.size());
    }
    if (!m_bRegular) {
        m_strHeader = std::move(strHeader); // what went down a pipe stays sent
        return true;
    }
    return Rewrite(strHeader);
}

// The file written anew beside itself, header first, taking the old one's place. When that
// fails (a full disk), the old file stays whole under its old header, and the recording ends:
// a header narrower than the lines after it would read as other columns.
bool CRecordingWriter::CCore::Rewrite(const std::string& strHeader) {
    COutputFile widened;
    bool bCopied =
        widened.OpenReplacing(m_strPath) && widened.Write(strHeader.data(), strHeader.size());
    const std::unique_ptr<char[]> pBuffer(new char[kCopyBufferSize]);
    int nReadErrno = 0;
    for (std::uint64_t nAt = m_nHeaderBytes; bCopied && nAt < m_nFileSize;) {
        const ssize_t nRead = ::pread(
            m_hFile, pBuffer.get(),
            static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBufferSize, m_nFileSize - nAt)),
            static_cast<off_t>(nAt));
        nReadErrno = nRead < 0 ? errno : nRead == 0 ? EIO : 0;
        bCopied = nRead > 0 && widened.Write(pBuffer.get(), static_cast<std::size_t>(nRead));
        nAt += nRead > 0 ? static_cast<std::uint64_t>(nRead) : 0;
    }
    if (!bCopied || !widened.Commit()) {
        widened.Abandon();
        errno = widened.Error() != 0 && widened.Error() != ECANCELED ? widened.Error()
                : nReadErrno != 0                                    ? nReadErrno
                                                                     : EIO;
        return false;
    }
    const int hWidened = ::open(m_strPath.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (hWidened < 0) {
        return false;
    }
    ::close(m_hFile);
    m_hFile = hWidened;
    m_nFileSize = m_nFileSize - m_nHeaderBytes + strHeader.size();
    m_nHeaderBytes = strHeader.size();
    m_strHeader = strHeader;
    m_bUnsynced = true;
    KeepIdentity();
    return true;
}

void CRecordingWriter::CCore::KeepIdentity() {
    struct stat st {};
    if (::fstat(m_hFile, &st) == 0) {
        const std::lock_guard lock(m_mutex);
        m_nDevice = st.st_dev;
        m_nInode = st.st_ino;
    }
}

// Whether the name still leads to the file written: not when it was deleted (no link left),
// moved away, or replaced by another file (a save onto it). errno says which.
bool CRecordingWriter::CCore::StillTheFile() {
    if (!m_bRegular) {
        return true;
    }
    struct stat own {};
    struct stat named {};
    if (::fstat(m_hFile, &own) != 0) {
        return false;
    }
    const bool bNamed = ::stat(m_strPath.c_str(), &named) == 0;
    if (bNamed && (named.st_dev != own.st_dev || named.st_ino != own.st_ino)) {
        errno = ESTALE;
        return false;
    }
    if (!bNamed || own.st_nlink == 0) {
        errno = ENOENT;
        return false;
    }
    return true;
}

bool CRecordingWriter::CCore::Sync() {
    if (!m_bUnsynced) {
        return true;
    }
    // A pipe or terminal has nothing to flush.
    if (::fdatasync(m_hFile) != 0 && errno != EINVAL && errno != EROFS) {
        return false;
    }
    m_bUnsynced = false;
    m_lastSync = std::chrono::steady_clock::now();
    return true;
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

void CRecordingWriter::AddSet(std::int64_t nMs, std::span<const float> values) {
    if (!m_thread.joinable()) {
        return;
    }
    SSet set;
    set.m_nMs = nMs;
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
