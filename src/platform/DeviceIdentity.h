#pragma once

#include <string>
#include <sys/types.h>

// Knowing a device again after it went away (unplugged, re-flashed, a simulated board that hung
// up), whatever name the system gives it when it comes back.

// Which node a path leads to: a node made again has other numbers (though a pseudo-terminal
// made again may get its old number back, inode and all), a symbolic link made again another
// inode (though a file system may hand out a freed one again).
struct SNodeStamp {
    ino_t nLinkInode = 0; // of the path itself, not followed
    ino_t nNodeInode = 0; // of the device node it leads to
    dev_t nDevice = 0;    // that node's device number

    bool IsSameNode(const SNodeStamp& other) const {
        return nNodeInode == other.nNodeInode && nDevice == other.nDevice;
    }
};

// Where devices are looked up: the sysfs root (SysfsRoot()) and udev's folder of stable names.
struct SDeviceRoots {
    std::string strSys;
    std::string strById;
    static SDeviceRoots System();
};

// A device as it was when opened. It is known again by the USB serial number of its board (and
// the interface, for a board with several ports) when it has one; else by its stable name
// under /dev/serial/by-id when it has one; else by the path it was opened by, a symbolic link
// (kovra-devsim --link PATH) staying a link.
struct SDeviceIdentity {
    std::string strPath;         // as opened; "" for no device
    std::string strNode;         // the device node behind it, links resolved
    std::string strUsbSerial;    // "" when none
    std::string strUsbInterface; // "" when unknown
    std::string strById;         // the stable name (a full path) that leads to strNode, or ""
    std::string strSysRoot;      // where the serial number was read
    bool bLink = false;          // strPath is a symbolic link
    bool bPseudoTerminal = false;
    SNodeStamp stamp; // of strPath when opened
};

// The identity of the device at strPath, which must be there (a port just opened).
SDeviceIdentity IdentifyDevice(const std::string& strPath,
                               const SDeviceRoots& roots = SDeviceRoots::System());

// Where that device is now: the path to open and the stamp of what it leads to. False when it
// is not there, or not yet usable (udev gives a new node its owner and mode a moment after the
// kernel makes it). Among several candidates one that is not the node opened first wins.
bool LocateDevice(const SDeviceIdentity& identity, std::string* pstrPath, SNodeStamp* pStamp);

// The stamp of the node a path leads to; false when it leads to no character device.
bool StampNode(const std::string& strPath, SNodeStamp* pStamp);
