#pragma once

#include <string>

// How an export ended. The caller words the message: "Problem opening file.." for
// kCannotOpen, "Problem writing file.." for kWriteFailed, "Not enough memory to write the
// file.." for kNoMemory.
enum class EExportStatus {
    kOk,
    kCannotOpen, // nothing was created or changed
    // Opened, but the data did not all reach the file. No partial file is left: an earlier
    // file of the name is untouched, or there is none.
    kWriteFailed,
    // Stopped on request before the end: as with kWriteFailed, nothing of it is left.
    kCancelled,
    // Not even the little memory an export still needs (names, the snapshot's block list)
    // could be had: as with kWriteFailed, nothing of it is left.
    kNoMemory,
};

struct CExportResult {
    EExportStatus m_eStatus = EExportStatus::kCannotOpen;
    std::string m_strPath; // the file actually written (or attempted)
    int m_nErrno = 0;      // the system's reason, for logs

    bool Ok() const { return m_eStatus == EExportStatus::kOk; }
};
