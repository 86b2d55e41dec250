#include "DeviceWatcher.h"

#include "BasicTypes.h"
#include "PlatformError.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Appearing, going, and the owner and mode udev gives a new node. Writes to ttys (IN_MODIFY)
// are left out: a folder of busy terminals stays quiet.
constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                        IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

fs::path Normal(const std::string& strPath) {
    std::error_code error;
    const fs::path path = fs::absolute(fs::path(strPath), error);
    return (error ? fs::path(strPath) : path).lexically_normal();
}

} // namespace

CDeviceWatcher::~CDeviceWatcher() {
    Stop();
}

int CDeviceWatcher::Start(const SDeviceIdentity& identity) {
    Stop();
    if (identity.strPath.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    m_hInotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_hInotify < 0) {
        return LastError();
    }
    m_identity = identity;
    m_vNames.clear();
    const auto addName = [this](const std::string& strPath, bool bLink) {
        if (!strPath.empty()) {
            const fs::path path = Normal(strPath);
            m_vNames.push_back({path.parent_path().string(), path.filename().string(), bLink, -1});
        }
    };
    addName(identity.strPath, identity.bLink);
    addName(identity.strNode, false);
    addName(identity.strById, false);
    m_bRenewedLinkOnly =
        identity.bPseudoTerminal && identity.strUsbSerial.empty() && identity.strById.empty();
    m_bLookDue = true;
    m_bSeenGone = false;
    m_bLinkRenewed = false;
    errno = 0;
    WatchFolders();
    for (const SWatchedName& name : m_vNames) {
        if (name.nWd != -1) {
            return ERROR_SUCCESS;
        }
    }
    // Not even an ancestor of a folder could be watched (inotify's limits reached).
    const int nResult = ErrorFromErrno(errno != 0 ? errno : ENOSPC);
    Stop();
    return nResult;
}

void CDeviceWatcher::Stop() noexcept {
    if (m_hInotify >= 0) {
        close(m_hInotify);
        m_hInotify = -1;
    }
}

// Each folder where the device would appear, or the nearest ancestor while it is missing (udev
// removes /dev/serial/by-id with its last name). Adding a watch again is cheap and changes
// nothing, so this runs after every change.
void CDeviceWatcher::WatchFolders() noexcept {
    for (SWatchedName& name : m_vNames) {
        name.nWd = -1;
        for (fs::path folder = name.strFolder;; folder = folder.parent_path()) {
            const int nWd = inotify_add_watch(m_hInotify, folder.c_str(), kFolderEvents);
            if (nWd >= 0 || folder == folder.root_path() || folder.empty()) {
                if (folder == name.strFolder) {
                    name.nWd = nWd;
                } else if (nWd >= 0) {
                    name.nWd = -2; // watched through an ancestor
                }
                break;
            }
        }
    }
}

void CDeviceWatcher::Note(int nWd, std::uint32_t nMask, const char* szName) {
    for (const SWatchedName& name : m_vNames) {
        if (name.nWd != nWd || name.strName != szName) {
            continue;
        }
        if ((nMask & (IN_DELETE | IN_MOVED_FROM)) != 0) {
            m_bSeenGone = true;
        }
        if (name.bLink && (nMask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) != 0) {
            m_bLinkRenewed = true;
        }
    }
}

bool CDeviceWatcher::Drain(std::string* pstrPath) {
    if (m_hInotify < 0) {
        return false;
    }
    bool bChanged = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(m_hInotify, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        bChanged = true;
        for (ssize_t nAt = 0; nAt + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + nAt, sizeof event);
            const char* szName = event.len > 0 ? buffer + nAt + sizeof event : "";
            Note(event.wd, event.mask, szName);
            nAt += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
    if (bChanged) {
        // A folder may have come or gone.
        WatchFolders();
        m_bLookDue = true;
    }
    if (!m_bLookDue) {
        return false;
    }
    m_bLookDue = false;
    std::string strPath;
    SNodeStamp stamp;
    if (!LocateDevice(m_identity, &strPath, &stamp)) {
        m_bSeenGone = true;
        return false;
    }
    const bool bBack = m_bRenewedLinkOnly
                           ? m_identity.bLink &&
                                 (m_bLinkRenewed || stamp.nLinkInode != m_identity.stamp.nLinkInode)
                           : m_bSeenGone || !stamp.IsSameNode(m_identity.stamp);
    if (bBack) {
        *pstrPath = strPath;
    }
    return bBack;
}
