#include "OutputFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kNewFileMode = 0666; // narrowed by the umask, as any program's new files

std::atomic<unsigned> g_nTempCounter{0};

std::string DirectoryOf(const std::string& strPath) {
    const std::size_t slash = strPath.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return strPath.substr(0, slash + 1);
}

std::string BaseNameOf(const std::string& strPath) {
    const std::size_t slash = strPath.rfind('/');
    return slash == std::string::npos ? strPath : strPath.substr(slash + 1);
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

} // namespace

bool COutputFile::Fail(int nErrno) {
    if (!m_bFailed) {
        m_bFailed = true;
        m_nErrno = nErrno;
    }
    return false;
}

void COutputFile::Reset() {
    Abandon();
    m_strPath.clear();
    m_strTempPath.clear();
    m_bRegular = false;
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
    m_bRegular = true;
    return true;
}

bool COutputFile::OpenInPlace(const std::string& strPath) {
    // Non-blocking only for the open: a pipe without a reader must fail, not hang the caller.
    m_hFile = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK,
                     kNewFileMode);
    if (m_hFile < 0) {
        return Fail(errno);
    }
    const int flags = ::fcntl(m_hFile, F_GETFL);
    if (flags >= 0) {
        ::fcntl(m_hFile, F_SETFL, flags & ~O_NONBLOCK);
    }
    struct stat st {};
    m_bRegular = ::fstat(m_hFile, &st) == 0 && S_ISREG(st.st_mode);
    m_strPath = strPath;
    return true;
}

bool COutputFile::OpenReplacing(const std::string& strPath) {
    Reset();
    const std::string strTarget = ResolveLink(strPath);
    struct stat st {};
    const bool bExists = ::stat(strTarget.c_str(), &st) == 0;
    if (bExists && !S_ISREG(st.st_mode)) {
        return OpenInPlace(strTarget);
    }

    // A hidden name in the same directory, so the rename cannot cross file systems.
    const std::string strPrefix = DirectoryOf(strTarget) + "." + BaseNameOf(strTarget) + "." +
                                  std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string strTemp = strPrefix + std::to_string(g_nTempCounter++) + ".tmp";
        m_hFile = ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (m_hFile >= 0) {
            if (bExists) {
                ::fchmod(m_hFile, st.st_mode & 07777);
            }
            m_strPath = strTarget;
            m_strTempPath = std::move(strTemp);
            m_bRegular = true;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    // No temporary file possible (a name too long, a directory we may not add to, ...):
    // write the target itself, as a plain save would.
    return OpenInPlace(strTarget);
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
    }
    return true;
}

bool COutputFile::Commit() {
    if (m_hFile < 0) {
        return Fail(EBADF);
    }
    // No fsync: the export runs on the user-interface thread, and flushing tens of megabytes
    // to a slow stick would freeze the window for seconds. A full disk or quota shows at
    // write() on local file systems and at close() on network ones, and both are checked.
    const int hFile = m_hFile;
    m_hFile = -1;
    if (::close(hFile) != 0 && !m_bFailed) {
        Fail(errno);
    }
    if (!m_bFailed && !m_strTempPath.empty() &&
        ::rename(m_strTempPath.c_str(), m_strPath.c_str()) != 0) {
        Fail(errno);
    }
    if (m_bFailed) {
        if (!m_strTempPath.empty()) {
            ::unlink(m_strTempPath.c_str());
        } else if (m_bRegular && ::unlink(m_strPath.c_str()) != 0) {
            // Written in place where we may not remove it: empty it rather than leave a
            // partial export that looks complete.
            ::truncate(m_strPath.c_str(), 0);
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
