#include "RecordingWriter.h"

#include "OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kCopyBufferSize = 64 * 1024;

std::string HeaderLine(int nWidth) {
    std::string strHeader = "time_s";
    for (int c = 1; c <= nWidth; ++c) {
        strHeader += ",ch" + std::to_string(c);
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
        // The shortest text that reads back as exactly this float.
        p = std::to_chars(p, pEnd, v).ptr;
    }
    *p++ = '\n';
    strText.append(szLine, p);
}

} // namespace

CRecordingWriter::~CRecordingWriter() {
    Stop();
}

bool CRecordingWriter::Start(const std::string& strPath, std::function<void()> fnFailed,
                             const SRecordingOptions& options) {
    Stop();
    m_strPath = ResolveLink(strPath);
    m_options = options;
    m_fnFailed = std::move(fnFailed);
    m_vPending.clear();
    m_bStop = false;
    m_bFailed = false;
    m_nErrno = CheckReplaceable(m_strPath);
    if (m_nErrno != 0) {
        m_bFailed = true;
        return false;
    }
    // Read too: widening the header copies what was written into a new file.
    m_hFile = ::open(m_strPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    if (m_hFile < 0) {
        m_nErrno = errno;
        m_bFailed = true;
        return false;
    }
    m_nHeaderWidth = -1;
    m_nHeaderBytes = 0;
    m_nFileSize = 0;
    m_bUnsynced = false;
    m_lastSync = std::chrono::steady_clock::now();
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CRecordingWriter::AddSet(std::int64_t nMs, std::span<const float> values) {
    SSet set;
    set.m_nMs = nMs;
    set.m_nCount = static_cast<int>(std::min<std::size_t>(values.size(), kMaxValues));
    std::copy_n(values.begin(), set.m_nCount, set.m_v.begin());
    const std::lock_guard lock(m_mutex);
    if (!m_thread.joinable() || m_bFailed || m_bStop) {
        return;
    }
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

bool CRecordingWriter::Stop() {
    if (!m_thread.joinable()) {
        return !m_bFailed;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_one();
    m_thread.join();
    return !m_bFailed;
}

bool CRecordingWriter::Failed() const {
    const std::lock_guard lock(m_mutex);
    return m_bFailed;
}

int CRecordingWriter::Error() const {
    const std::lock_guard lock(m_mutex);
    return m_nErrno;
}

void CRecordingWriter::FailLocked(int nErrno) {
    if (!m_bFailed) {
        m_bFailed = true;
        m_nErrno = nErrno;
    }
    m_vPending.clear();
}

void CRecordingWriter::Run() {
    std::unique_lock lock(m_mutex);
    auto wakeUp = [this] { return !m_vPending.empty() || m_bStop || m_bFailed; };
    int nErrno = 0;
    while (!m_bFailed) {
        if (m_vPending.empty()) {
            if (m_bStop) {
                break;
            }
            // Idle: asleep until a set comes, or until written data is due on the disk.
            if (!m_bUnsynced) {
                m_wake.wait(lock, wakeUp);
            } else if (!m_wake.wait_until(lock, m_lastSync + m_options.m_syncInterval, wakeUp)) {
                lock.unlock();
                const bool bSynced = Sync();
                nErrno = errno;
                lock.lock();
                if (!bSynced) {
                    FailLocked(nErrno);
                }
            }
            continue;
        }
        // Sets that come close together go out in one write.
        m_wake.wait_until(lock, m_firstPending + m_options.m_writeDelay,
                          [this] { return m_bStop || m_bFailed; });
        if (m_bFailed) {
            break;
        }
        std::vector<SSet> vSets;
        vSets.swap(m_vPending);
        lock.unlock();
        const bool bDue = std::chrono::steady_clock::now() >= m_lastSync + m_options.m_syncInterval;
        bool bWritten = false;
        try {
            bWritten = WriteSets(vSets) && (!bDue || Sync());
            nErrno = errno;
        } catch (const std::bad_alloc&) {
            nErrno = ENOMEM;
        }
        lock.lock();
        if (!bWritten) {
            FailLocked(nErrno);
        }
    }
    bool bFailed = m_bFailed;
    lock.unlock();
    if (!bFailed && !Sync()) {
        nErrno = errno;
        lock.lock();
        FailLocked(nErrno);
        lock.unlock();
        bFailed = true;
    }
    ::close(m_hFile);
    m_hFile = -1;
    if (bFailed && m_fnFailed) {
        m_fnFailed();
    }
}

bool CRecordingWriter::WriteSets(const std::vector<SSet>& vSets) {
    m_strText.clear();
    for (const SSet& set : vSets) {
        if (set.m_nCount > m_nHeaderWidth) {
            if (!WriteText(m_strText.data(), m_strText.size()) || !Widen(set.m_nCount)) {
                return false;
            }
            m_strText.clear();
        }
        AppendLine(m_strText, set.m_nMs,
                   std::span<const float>(set.m_v.data(), static_cast<std::size_t>(set.m_nCount)));
    }
    return WriteText(m_strText.data(), m_strText.size());
}

bool CRecordingWriter::WriteText(const char* p, std::size_t n) {
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
// the file is written anew beside itself, header first, and takes the old one's place.
bool CRecordingWriter::Widen(int nWidth) {
    const std::string strHeader = HeaderLine(nWidth);
    if (m_nHeaderWidth < 0) {
        m_nHeaderWidth = nWidth;
        m_nHeaderBytes = strHeader.size();
        return WriteText(strHeader.data(), strHeader.size());
    }
    m_nHeaderWidth = nWidth;
    struct stat st {};
    if (::fstat(m_hFile, &st) != 0 || !S_ISREG(st.st_mode)) {
        return true; // a device or pipe: what was sent stays sent
    }
    COutputFile widened;
    bool bCopied =
        widened.OpenReplacing(m_strPath) && widened.Write(strHeader.data(), strHeader.size());
    const std::unique_ptr<char[]> pBuffer(new char[kCopyBufferSize]);
    for (std::uint64_t nAt = m_nHeaderBytes; bCopied && nAt < m_nFileSize;) {
        const ssize_t nRead = ::pread(
            m_hFile, pBuffer.get(),
            static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBufferSize, m_nFileSize - nAt)),
            static_cast<off_t>(nAt));
        bCopied = nRead > 0 && widened.Write(pBuffer.get(), static_cast<std::size_t>(nRead));
        nAt += nRead > 0 ? static_cast<std::uint64_t>(nRead) : 0;
    }
    if (!bCopied || !widened.Commit()) {
        // The old, narrower header stays: every line is still whole and in its place.
        return true;
    }
    const int hWidened = ::open(m_strPath.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (hWidened < 0) {
        return false;
    }
    ::close(m_hFile);
    m_hFile = hWidened;
    m_nFileSize = m_nFileSize - m_nHeaderBytes + strHeader.size();
    m_nHeaderBytes = strHeader.size();
    m_bUnsynced = true;
    return true;
}

bool CRecordingWriter::Sync() {
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
