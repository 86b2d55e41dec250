#pragma once

#include <cstddef>
#include <string>

// A file being written by an export. A failed export never leaves a partial file under the
// name the user asked for: the data either reaches the file whole (Commit returns true) or
// what was written is taken away again. Unbuffered: callers hand over large blocks.
class COutputFile {
public:
    COutputFile() = default;
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;
    ~COutputFile() { Abandon(); }

    // For a name the user chose. The data goes to a temporary file beside the target and
    // takes its name only in Commit, so an existing file stays as it was until the new one
    // is complete. Devices and pipes are written in place, and so is a file whose directory
    // takes no temporary file (then a failure removes, or at least empties, the file).
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
    void Reset();
    bool Fail(int nErrno);
    bool OpenInPlace(const std::string& strPath);

    int m_hFile = -1;
    std::string m_strPath;     // the name the data ends up under
    std::string m_strTempPath; // set while writing beside the target
    bool m_bRegular = false;   // a plain file, not a device or pipe
    bool m_bFailed = false;
    int m_nErrno = 0;
};
