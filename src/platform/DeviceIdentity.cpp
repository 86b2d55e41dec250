#include "DeviceIdentity.h"

#include "PortDiscovery.h"

#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The slaves of UNIX98 pseudo-terminals.
bool IsPseudoTerminal(dev_t nDevice) {
    return major(nDevice) >= 136 && major(nDevice) <= 143;
}

std::string Resolved(const std::string& strPath) {
    std::error_code error;
    const fs::path node = fs::canonical(strPath, error);
    return error ? strPath : node.string();
}

} // namespace

SDeviceRoots SDeviceRoots::System() {
    return {SysfsRoot(), "/dev/serial/by-id"};
}

bool StampNode(const std::string& strPath, SNodeStamp* pStamp) {
    struct stat link {};
    struct stat node {};
    if (lstat(strPath.c_str(), &link) != 0 || stat(strPath.c_str(), &node) != 0 ||
        !S_ISCHR(node.st_mode)) {
        return false;
    }
    pStamp->nLinkInode = link.st_ino;
    pStamp->nNodeInode = node.st_ino;
    pStamp->nDevice = node.st_rdev;
    return true;
}

SDeviceIdentity IdentifyDevice(const std::string& strPath, const SDeviceRoots& roots) {
    SDeviceIdentity identity;
    identity.strPath = strPath;
    identity.strNode = Resolved(strPath);
    identity.strSysRoot = roots.strSys;
    std::error_code error;
    identity.bLink = fs::is_symlink(strPath, error);
    if (StampNode(strPath, &identity.stamp)) {
        identity.bPseudoTerminal = IsPseudoTerminal(identity.stamp.nDevice);
    }
    for (const CFoundPort& found : FindSerialPorts(roots.strSys)) {
        if (found.strPath == identity.strNode) {
            identity.strUsbSerial = found.strUsbSerial;
            identity.strUsbInterface = found.strUsbInterface;
            break;
        }
    }
    for (fs::directory_iterator it(roots.strById, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_symlink(error) && Resolved(it->path().string()) == identity.strNode) {
            identity.strById = it->path().string();
            break;
        }
    }
    return identity;
}

bool LocateDevice(const SDeviceIdentity& identity, std::string* pstrPath, SNodeStamp* pStamp) {
    std::vector<std::string> vCandidates;
    if (!identity.strUsbSerial.empty()) {
        for (const CFoundPort& found : FindSerialPorts(identity.strSysRoot)) {
            if (found.strUsbSerial == identity.strUsbSerial &&
                found.strUsbInterface == identity.strUsbInterface) {
                vCandidates.push_back(found.strPath);
            }
        }
    } else if (!identity.strById.empty()) {
        vCandidates.push_back(identity.strById);
    } else {
        vCandidates.push_back(identity.strPath);
    }
    bool bFound = false;
    for (const std::string& strCandidate : vCandidates) {
        SNodeStamp stamp;
        if (!StampNode(strCandidate, &stamp) || access(strCandidate.c_str(), R_OK | W_OK) != 0) {
            continue;
        }
        // The node opened first may still be there, just going away.
        if (!bFound || !stamp.IsSameNode(identity.stamp)) {
            *pstrPath = strCandidate;
            *pStamp = stamp;
            bFound = true;
        }
    }
    return bFound;
}
