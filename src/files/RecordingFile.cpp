// The recording's file: its lines, its header (rewritten when it widens or names change), its
// identity and its flushes to the disk.
#include "RecordingCore.h"

#include "CsvWriter.h"
#include "OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr std::size_t kCopyBufferSize = 64 * 1024;

std::string HeaderLine(int nWidth, const std::vector<std::string>& vNames) {
    std::string strHeader = "time_s";
    for (int c = 1; c <= nWidth; ++c) {
        const auto k = static_cast<std::size_t>(c - 1);
        strHeader += ',';
        strHeader += HeaderCell(k < vNames.size() ? std::string_view(vNames[k]) : "", c);
    }
    return strHeader + "\n";
}

// nCells at least values.size(): the cells past the values are gaps.
void AppendLine(std::string& strText, std::int64_t nMs, std::span<const float> values,
                std::size_t nCells) {
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
    for (std::size_t c = values.size(); c < nCells; ++c) {
        *p++ = ',';
    }
    *p++ = '\n';
    strText.append(szLine, p);
}

} // namespace

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

bool CRecordingWriter::CCore::WriteSets(const std::vector<SRecordedSet>& vSets) {
    m_strText.clear();
    // Names that came since the last write: a header already written is written anew.
    if (m_nHeaderWidth >= 0) {
        const std::string strHeader = HeaderLine(m_nHeaderWidth, m_vNames);
        if (strHeader != m_strHeader && !WriteHeader(m_nHeaderWidth)) {
            return false;
        }
    }
    for (const SRecordedSet& set : vSets) {
        if (set.m_nCount > m_nHeaderWidth) {
            if (!WriteText(m_strText.data(), m_strText.size()) ||
                !WriteHeader(set.m_nCount, set.m_bAligned)) {
                return false;
            }
            m_strText.clear();
        }
        // An aligned set narrower than the header (a new session) leaves gaps in the others.
        const int nCells = set.m_bAligned && set.m_nCount > 0 ? m_nHeaderWidth : set.m_nCount;
        AppendLine(m_strText, set.m_nMs,
                   std::span<const float>(set.m_v.data(), static_cast<std::size_t>(set.m_nCount)),
                   static_cast<std::size_t>(nCells));
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
// the file is written anew with it, the lines before padded to its width when bPad.
bool CRecordingWriter::CCore::WriteHeader(int nWidth, bool bPad) {
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
    return Rewrite(strHeader, bPad ? nWidth : 0);
}

// The file written anew beside itself, header first, taking the old one's place. When that
// fails (a full disk), the old file stays whole under its old header, and the recording ends:
// a header narrower than the lines after it would read as other columns. With nPadTo, each
// line with values gets empty cells up to that many values: a short line would read as a
// short set, its missing cells taken from the channels after it.
bool CRecordingWriter::CCore::Rewrite(const std::string& strHeader, int nPadTo) {
    COutputFile widened;
    bool bCopied =
        widened.OpenReplacing(m_strPath) && widened.Write(strHeader.data(), strHeader.size());
    const std::unique_ptr<char[]> pBuffer(new char[kCopyBufferSize]);
    const std::string strPadding(static_cast<std::size_t>(std::max(nPadTo, 0)), ',');
    std::uint64_t nPadded = 0;
    int nCells = 0; // of the line being copied, after its time
    int nReadErrno = 0;
    for (std::uint64_t nAt = m_nHeaderBytes; bCopied && nAt < m_nFileSize;) {
        const ssize_t nRead = ::pread(
            m_hFile, pBuffer.get(),
            static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBufferSize, m_nFileSize - nAt)),
            static_cast<off_t>(nAt));
        nReadErrno = nRead < 0 ? errno : nRead == 0 ? EIO : 0;
        const char* p = pBuffer.get();
        const char* const pEnd = p + std::max<ssize_t>(nRead, 0);
        for (const char* q = p; bCopied && nPadTo > 0 && q != pEnd; ++q) {
            if (*q == ',') {
                ++nCells;
            } else if (*q == '\n') {
                // A line with the time alone is an empty set, which stays empty.
                const auto nMissing =
                    static_cast<std::size_t>(nCells == 0 ? 0 : std::max(nPadTo - nCells, 0));
                bCopied = widened.Write(p, static_cast<std::size_t>(q - p)) &&
                          widened.Write(strPadding.data(), nMissing);
                nPadded += nMissing;
                nCells = 0;
                p = q;
            }
        }
        bCopied = bCopied && nRead > 0 && widened.Write(p, static_cast<std::size_t>(pEnd - p));
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
    m_nFileSize = m_nFileSize - m_nHeaderBytes + strHeader.size() + nPadded;
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
