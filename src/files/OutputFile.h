#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file being written by an export. A failed export never leaves a partial file under the
// name the user asked for, and never removes or shortens a file that was there before: the
// data either reaches the file whole (Commit returns true) or what was written is taken away
// again. Unbuffered: callers hand over large blocks.
class COutputFile {
public:
    static constexpr int kDeviceStallMs = 5000;

    COutputFile() = default;
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;
    ~COutputFile() { Abandon(); }

    // For a name the user chose. The data goes to a temporary file and reaches the target only
    // in Commit, so an existing file stays as it was until the new one is complete:
    // - usually the temporary file sits beside the target and takes its name (keeping the old
    //   file's permissions, and its owner where the system allows);
    // - a file with other hard links, or one whose directory takes no new file, is
    //   overwritten in place from the complete temporary file, after room for it has been
    //   reserved, so that its links and its inode stay;
    // - devices and pipes are written directly, each write waiting at most kDeviceStallMs for
    //   room (ETIMEDOUT after that: a pipe that nobody reads must not hold the export for
    //   good), and a pipe whose reader went away fails with EPIPE, not a signal.
    // A file the user may not write is refused (EACCES), and so is one that nobody may write
    // (no write permission bit at all), even for the superuser.
    bool OpenReplacing(const std::string& strPath);

    // Creates strPath exclusively: fails with EEXIST when anything of that name exists,
    // so two writers can never share or replace a file.
    bool OpenNew(const std::string& strPath);

    // Writes all n bytes, resuming after short writes and signals. Once a write has failed,
    // every further call fails.
    bool Write(const void* pData, std::size_t n);

    // Closes the file and gives it its name. False when any write, the close or the rename
    // failed; the file is then removed as by Abandon.
    bool Commit();

    // Closes the file and removes what this object wrote. Does nothing after Commit.
    void Abandon();

    // errno of the first failure, 0 when none.
    int Error() const { return m_nErrno; }

private:
    enum class EMode {
        kNew,      // a file this object created: removed on failure
        kRename,   // a temporary file beside the target, renamed over it
        kCopyInto, // a nameless temporary file, copied into the existing target
        kDevice,   // a device or pipe, written directly
    };

    void Reset();
    bool Fail(int nErrno);
    bool OpenDevice(const std::string& strPath);
    bool OpenTempBeside(const std::string& strTarget);
    bool OpenScratch(const std::string& strTarget);
    bool CopyIntoTarget();

    int m_hFile = -1;
    EMode m_eMode = EMode::kNew;
    std::string m_strPath;     // the name the data ends up under
    std::string m_strTempPath; // the temporary file beside it (kRename)
    std::uint64_t m_nWritten = 0;
    std::uint64_t m_nOldSize = 0; // of the target, for kCopyInto
    bool m_bFailed = false;
    int m_nErrno = 0;
};

// The directory part of strPath with its final '/', or "" for a name alone.
std::string DirectoryOf(const std::string& strPath);

// Removes the hidden temporary files that this program, killed while writing them, left in
// strDirectory ("" for the current one): only its own names, only plain files of this user,
// and only those of a process that is gone.
void RemoveStaleTempFiles(const std::string& strDirectory);

// Where a write to strPath goes: the file a symbolic link points to, else strPath itself.
std::string ResolveLink(const std::string& strPath);

// 0 when strPath may be created or replaced by this program; EACCES for an existing file the
// user may not write, or that nobody may write (no write permission bit at all, a file made
// read-only on purpose, which is not replaced even by the superuser); EROFS for one on a file
// system mounted read-only.
int CheckReplaceable(const std::string& strPath);
