#pragma once

#include "DeviceWatcher.h"

#include <chrono>
#include <poll.h>
#include <string>

// Waits at most five seconds for the watcher to say the device is back, as an event loop does:
// Drain when its descriptor is readable.
inline bool WaitForReturn(CDeviceWatcher& watcher, std::string* pstrPath) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!watcher.Drain(pstrPath)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd pfd{watcher.GetFd(), POLLIN, 0};
        if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
    }
    return true;
}
