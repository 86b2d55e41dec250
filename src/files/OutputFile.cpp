#include "OutputFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kNewFileMode = 0666; // narrowed by the umask, as any program's new files
constexpr std::size_t kCopyBufferSize = 64 * 1024;

std::atomic<unsigned> g_nTempCounter{0};

std::string DirectoryOf(const std::string& strPath) {
    const std::size_t slash = strPath.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return strPath.substr(0, slash + 1);
}

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

// The superuser passes every permission check; a file without any write bit was made
// read-only on purpose, and is not replaced by anyone.
bool MayWrite(const std::string& strPath, const struct stat& st) {
    return (st.st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, strPath.c_str(), W_OK, AT_EACCESS) == 0;
}

} // namespace

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
    return MayWrite(strPath, st) ? 0 : EACCES;
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
    // Non-blocking only for the open: a pipe without a reader must fail, not hang the caller.
    m_hFile = ::open(strPath.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_hFile < 0) {
        return Fail(errno);
    }
    const int flags = ::fcntl(m_hFile, F_GETFL);
    if (flags >= 0) {
        ::fcntl(m_hFile, F_SETFL, flags & ~O_NONBLOCK);
    }
    m_strPath = strPath;
    m_eMode = EMode::kDevice;
    return true;
}

bool COutputFile::OpenTempBeside(const std::string& strTarget) {
    // A short hidden name in the same directory: the rename cannot cross file systems, and a
    // target whose own name is near the length limit still gets one.
    const std::string strPrefix =
        DirectoryOf(strTarget) + ".kovra-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string strTemp = strPrefix + std::to_string(g_nTempCounter++) + ".tmp";
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
    if (!MayWrite(strTarget, st)) {
        return Fail(EACCES);
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
    while (n > 0) {
        const ssize_t written = ::write(m_hFile, p, n);
        if (written < 0) {
            if (errno == EINTR) {
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
