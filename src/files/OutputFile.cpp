#include "OutputFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kNewFileMode = 0666; // narrowed by the umask, as any program's new files
constexpr std::size_t kCopyBufferSize = 64 * 1024;

std::atomic<unsigned> g_nTempCounter{0};

constexpr std::string_view kTempPrefix = ".kovra-";
constexpr std::string_view kTempSuffix = ".tmp";

// A file without a name in strDirectory, gone as soon as it is closed (or the program is).
int OpenNameless(const std::string& strDirectory) {
    const std::string strDir = strDirectory.empty() ? std::string(".") : strDirectory;
    int hFile = ::open(strDir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (hFile >= 0 || (errno != EOPNOTSUPP && errno != EISDIR)) {
        return hFile;
    }
    // A file system without nameless files: a named one, unlinked at once.
    std::string strTemplate = strDir + "/.kovra-XXXXXX";
    hFile = ::mkostemp(strTemplate.data(), O_CLOEXEC);
    if (hFile >= 0) {
        ::unlink(strTemplate.c_str());
    }
    return hFile;
}

bool WriteAllAt(int hFile, const char* p, std::size_t n, off_t nOffset) {
    while (n > 0) {
        const ssize_t written = ::pwrite(hFile, p, n, nOffset);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        p += written;
        n -= static_cast<std::size_t>(written);
        nOffset += written;
    }
    return true;
}

// 0 or why not. The superuser passes every permission check; a file without any write bit
// was made read-only on purpose, and is not replaced by anyone.
int WriteRefusal(const std::string& strPath, const struct stat& st) {
    if ((st.st_mode & 0222) == 0) {
        return EACCES;
    }
    return ::faccessat(AT_FDCWD, strPath.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

// The pid in a temporary name of ours, ".kovra-<pid>-<n>.tmp"; 0 for any other name.
pid_t TempFileOwner(std::string_view name) {
    if (!name.starts_with(kTempPrefix) || !name.ends_with(kTempSuffix)) {
        return 0;
    }
    name.remove_prefix(kTempPrefix.size());
    pid_t pid = 0;
    const auto [pEnd, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
    return ec == std::errc() && pEnd != name.data() && *pEnd == '-' ? pid : 0;
}

// Waits until the non-blocking descriptor takes more, at most kDeviceStallMs.
bool WaitForRoom(int hFile) {
    pollfd pfd{hFile, POLLOUT, 0};
    for (;;) {
        const int nReady = ::poll(&pfd, 1, COutputFile::kDeviceStallMs);
        if (nReady > 0) {
            return true;
        }
        if (nReady == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

// A write that gives EPIPE instead of raising SIGPIPE, which would end the program.
ssize_t WriteWithoutSignal(int hFile, const void* p, std::size_t n) {
    sigset_t pipeSignal;
    sigset_t saved;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &saved);
    const ssize_t written = ::write(hFile, p, n);
    const int nErrno = errno;
    if (written < 0 && nErrno == EPIPE && sigismember(&saved, SIGPIPE) == 0) {
        const timespec noWait{};
        ::sigtimedwait(&pipeSignal, nullptr, &noWait);
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    errno = nErrno;
    return written;
}

} // namespace

std::string DirectoryOf(const std::string& strPath) {
    const std::size_t slash = strPath.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return strPath.substr(0, slash + 1);
}

void RemoveStaleTempFiles(const std::string& strDirectory) {
    const std::string strDir = strDirectory.empty() ? std::string("./") : strDirectory;
    const std::unique_ptr<DIR, int (*)(DIR*)> pDir(::opendir(strDir.c_str()), &::closedir);
    if (pDir == nullptr) {
        return;
    }
    while (const dirent* pEntry = ::readdir(pDir.get())) {
        const pid_t pid = TempFileOwner(pEntry->d_name);
        // A process of that number that still runs may be writing it (or be another program
        // that took the number since): left alone.
        if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(pDir.get()), pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
            ::unlinkat(::dirfd(pDir.get()), pEntry->d_name, 0);
        }
    }
}

// Replacing through a symbolic link replaces the file it points to, not the link.
std::string ResolveLink(const std::string& strPath) {
    struct stat st {};
    if (::lstat(strPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return strPath;
    }
    char* resolved = ::realpath(strPath.c_str(), nullptr);
    if (resolved == nullptr) {
        return strPath;
    }
    std::string strResolved(resolved);
    std::free(resolved);
    return strResolved;
}

int CheckReplaceable(const std::string& strPath) {
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return 0; // a new file, or a device: the open itself decides
    }
    return WriteRefusal(strPath, st);
}

bool COutputFile::Fail(int nErrno) {
    if (!m_bFailed) {
        m_bFailed = true;
        m_nErrno = nErrno;
    }
    return false;
}

void COutputFile::Reset() {
    Abandon();
    m_eMode = EMode::kNew;
    m_strPath.clear();
    m_strTempPath.clear();
    m_nWritten = 0;
    m_nOldSize = 0;
    m_bFailed = false;
    m_nErrno = 0;
}

bool COutputFile::OpenNew(const std::string& strPath) {
    Reset();
    m_hFile = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (m_hFile < 0) {
        return Fail(errno);
    }
    m_strPath = strPath;
    m_eMode = EMode::kNew;
    return true;
}

bool COutputFile::OpenDevice(const std::string& strPath) {
    // Non-blocking: a pipe without a reader fails at once, and one that nobody reads only
    // holds a write for a while (Write).
    m_hFile = ::open(strPath.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_hFile < 0) {
        return Fail(errno);
    }
    m_strPath = strPath;
    m_eMode = EMode::kDevice;
    return true;
}

bool COutputFile::OpenTempBeside(const std::string& strTarget) {
    // A short hidden name in the same directory: the rename cannot cross file systems, and a
    // target whose own name is near the length limit still gets one.
    const std::string strPrefix =
        DirectoryOf(strTarget) + std::string(kTempPrefix) + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string strTemp =
            strPrefix + std::to_string(g_nTempCounter++) + std::string(kTempSuffix);
        m_hFile = ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (m_hFile >= 0) {
            m_strTempPath = std::move(strTemp);
            m_strPath = strTarget;
            m_eMode = EMode::kRename;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool COutputFile::OpenScratch(const std::string& strTarget) {
    // Beside the target where possible, so that the space it needs is on the same disk.
    m_hFile = OpenNameless(DirectoryOf(strTarget));
    if (m_hFile < 0) {
        const char* szTmp = std::getenv("TMPDIR");
        m_hFile = OpenNameless(szTmp != nullptr && *szTmp != '\0' ? szTmp : "/tmp");
    }
    if (m_hFile < 0) {
        return Fail(errno);
    }
    m_strPath = strTarget;
    m_eMode = EMode::kCopyInto;
    return true;
}

bool COutputFile::OpenReplacing(const std::string& strPath) {
    Reset();
    const std::string strTarget = ResolveLink(strPath);
    struct stat st {};
    if (::stat(strTarget.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            return Fail(errno);
        }
        // A new file: beside it, or, where no other name can be made, the file itself.
        return OpenTempBeside(strTarget) || OpenNew(strTarget);
    }
    if (!S_ISREG(st.st_mode)) {
        return OpenDevice(strTarget);
    }
    if (const int nErrno = WriteRefusal(strTarget, st); nErrno != 0) {
        return Fail(nErrno);
    }
    m_nOldSize = static_cast<std::uint64_t>(st.st_size);
    if (st.st_nlink == 1 && OpenTempBeside(strTarget)) {
        ::fchmod(m_hFile, st.st_mode & 07777);
        if (::fchown(m_hFile, st.st_uid, st.st_gid) != 0) {
            // Only the superuser may give a file away: the new file stays ours, as any
            // program's save would leave it.
        }
        return true;
    }
    return OpenScratch(strTarget);
}

bool COutputFile::Write(const void* pData, std::size_t n) {
    if (m_hFile < 0) {
        return Fail(EBADF);
    }
    if (m_bFailed) {
        return false;
    }
    const char* p = static_cast<const char*>(pData);
    const bool bDevice = m_eMode == EMode::kDevice;
    while (n > 0) {
        const ssize_t written =
            bDevice ? WriteWithoutSignal(m_hFile, p, n) : ::write(m_hFile, p, n);
        if (written < 0) {
            if (errno == EINTR || (errno == EAGAIN && WaitForRoom(m_hFile))) {
                continue;
            }
            return Fail(errno);
        }
        if (written == 0) {
            return Fail(ENOSPC);
        }
        p += written;
        n -= static_cast<std::size_t>(written);
        m_nWritten += static_cast<std::uint64_t>(written);
    }
    return true;
}

// The complete new contents are in the scratch file. Room for them is reserved in the
// target first, so that a full disk fails before a single byte of the old file changes;
// only an error of the device itself can still leave the target half overwritten.
bool COutputFile::CopyIntoTarget() {
    const int hTarget = ::open(m_strPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (hTarget < 0) {
        return Fail(errno);
    }
    bool bOk = true;
    if (m_nWritten > 0) {
        const int nError = ::posix_fallocate(hTarget, 0, static_cast<off_t>(m_nWritten));
        if (nError != 0) {
            // The reservation may have lengthened the file: give it back its old size.
            if (m_nWritten > m_nOldSize &&
                ::ftruncate(hTarget, static_cast<off_t>(m_nOldSize)) != 0) {
                // Nothing of the old contents changed; only its length may show the attempt.
            }
            Fail(nError);
            bOk = false;
        }
    }
    const std::unique_ptr<char[]> pBuffer(bOk ? new char[kCopyBufferSize] : nullptr);
    for (std::uint64_t nDone = 0; bOk && nDone < m_nWritten;) {
        const auto nWant =
            static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBufferSize, m_nWritten - nDone));
        const ssize_t nRead = ::pread(m_hFile, pBuffer.get(), nWant, static_cast<off_t>(nDone));
        if (nRead < 0 && errno == EINTR) {
            continue;
        }
        if (nRead <= 0 || !WriteAllAt(hTarget, pBuffer.get(), static_cast<std::size_t>(nRead),
                                      static_cast<off_t>(nDone))) {
            Fail(nRead == 0 ? EIO : errno);
            bOk = false;
            break;
        }
        nDone += static_cast<std::uint64_t>(nRead);
    }
    if (bOk && m_nWritten < m_nOldSize &&
        ::ftruncate(hTarget, static_cast<off_t>(m_nWritten)) != 0) {
        Fail(errno);
        bOk = false;
    }
    if (::close(hTarget) != 0 && bOk) {
        Fail(errno);
        bOk = false;
    }
    return bOk;
}

bool COutputFile::Commit() {
    if (m_hFile < 0) {
        return Fail(EBADF);
    }
    // No fsync: flushing tens of megabytes to a slow stick takes seconds, and the rename is
    // all a crash needs to leave either the old or the new file. A full disk or quota shows at
    // write() on local file systems and at close() on network ones, and both are checked.
    if (m_eMode == EMode::kCopyInto) {
        if (!m_bFailed) {
            CopyIntoTarget();
        }
        ::close(m_hFile); // nameless: closing removes it
        m_hFile = -1;
        return !m_bFailed;
    }
    const int hFile = m_hFile;
    m_hFile = -1;
    if (::close(hFile) != 0 && !m_bFailed) {
        Fail(errno);
    }
    if (!m_bFailed && m_eMode == EMode::kRename &&
        ::rename(m_strTempPath.c_str(), m_strPath.c_str()) != 0) {
        Fail(errno);
    }
    if (m_bFailed) {
        if (m_eMode == EMode::kRename) {
            ::unlink(m_strTempPath.c_str());
        } else if (m_eMode == EMode::kNew) {
            ::unlink(m_strPath.c_str());
        }
    }
    m_strTempPath.clear();
    return !m_bFailed;
}

void COutputFile::Abandon() {
    if (m_hFile < 0) {
        return;
    }
    if (!m_bFailed) {
        Fail(ECANCELED);
    }
    Commit();
}
