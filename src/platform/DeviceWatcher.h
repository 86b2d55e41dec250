#pragma once

#include "DeviceIdentity.h"

#include <cstdint>
#include <string>
#include <vector>

// Waits for a device that went away to come back (DeviceIdentity.h), without a thread or a
// timer: inotify watches the folders where it would appear (its node's, /dev/serial/by-id's,
// a link's; the nearest that exists while one is missing), and nothing runs until one of them
// changes. The owner puts GetFd() in its event loop (a QSocketNotifier, poll) and calls Drain
// when it is readable.
//
// "Back" means present and usable again after it was seen gone, or present as a node made
// anew. A pseudo-terminal is back only through a link made again, never by its own path: a
// new pseudo-terminal may get the number of the one that left, and belong to anybody.
//
// Start it when the device-gone notice comes, before the port is closed, so that its going is
// seen. Used by one thread.
class CDeviceWatcher {
public:
    CDeviceWatcher() = default;
    ~CDeviceWatcher();
    CDeviceWatcher(const CDeviceWatcher&) = delete;
    CDeviceWatcher& operator=(const CDeviceWatcher&) = delete;

    // Begins waiting for the device; a result code (87 for an identity without a path, or the
    // watching cannot start: no inotify descriptor or watch to be had).
    int Start(const SDeviceIdentity& identity);
    // Ends the waiting (Disconnect, a successful reconnect); the descriptor closes.
    void Stop() noexcept;
    bool IsWatching() const noexcept { return m_hInotify >= 0; }
    const SDeviceIdentity& GetIdentity() const noexcept { return m_identity; }
    // Readable when something changed; -1 while not watching.
    int GetFd() const noexcept { return m_hInotify; }

    // Takes what the kernel reported, without waiting, and looks again when something changed
    // (and at the first call after Start, for a device that came back at once). True, with the
    // path to open, when the device is back. Watching goes on: when that path cannot be opened
    // yet, a later call says true again after the next change.
    bool Drain(std::string* pstrPath);

private:
    // A name whose removal (or, for the link, any change) the watcher looks out for.
    struct SWatchedName {
        std::string strFolder;
        std::string strName;
        bool bLink = false;
        int nWd = -1; // the watch of strFolder itself, -1 while it has none
    };

    void WatchFolders() noexcept;
    void Note(int nWd, std::uint32_t nMask, const char* szName);

    SDeviceIdentity m_identity;
    int m_hInotify = -1;
    std::vector<SWatchedName> m_vNames;
    bool m_bLookDue = false;
    bool m_bSeenGone = false;
    bool m_bLinkRenewed = false;
    bool m_bRenewedLinkOnly = false;
};
