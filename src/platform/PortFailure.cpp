#include "PortFailure.h"

#include "PortNames.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ErrnoText(int nErrno) {
    char buffer[128];
    // The GNU strerror_r, which may answer with a text of its own instead of the buffer.
    return strerror_r(nErrno, buffer, sizeof buffer);
}

bool IsNumber(const char* sz) {
    if (*sz == '\0') {
        return false;
    }
    for (; *sz != '\0'; ++sz) {
        if (*sz < '0' || *sz > '9') {
            return false;
        }
    }
    return true;
}

// The name the process was started as, without its directory; its kernel name if none.
std::string ProgramName(const std::string& strProcess) {
    std::ifstream cmdline(strProcess + "/cmdline", std::ios::binary);
    std::string strName;
    std::getline(cmdline, strName, '\0');
    if (strName.empty()) {
        std::ifstream comm(strProcess + "/comm");
        std::getline(comm, strName);
    }
    const auto nSlash = strName.rfind('/');
    return nSlash == std::string::npos ? strName : strName.substr(nSlash + 1);
}

bool HoldsDevice(const std::string& strProcess, dev_t device) {
    const std::string strFds = strProcess + "/fd";
    DIR* pDir = opendir(strFds.c_str());
    if (pDir == nullptr) {
        return false;
    }
    bool bHolds = false;
    while (const dirent* pEntry = readdir(pDir)) {
        struct stat target {};
        if (IsNumber(pEntry->d_name) &&
            stat((strFds + "/" + pEntry->d_name).c_str(), &target) == 0 &&
            S_ISCHR(target.st_mode) && target.st_rdev == device) {
            bHolds = true;
            break;
        }
    }
    closedir(pDir);
    return bHolds;
}

// The group whose members may use the device, as the fix for "no permission" names it.
std::string AccessGroup(const std::string& strDevice) {
    struct stat info {};
    if (stat(strDevice.c_str(), &info) == 0 && info.st_gid != 0 &&
        (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        group entry{};
        group* pFound = nullptr;
        char buffer[4096];
        if (getgrgid_r(info.st_gid, &entry, buffer, sizeof buffer, &pFound) == 0 &&
            pFound != nullptr) {
            return pFound->gr_name;
        }
    }
    return "dialout";
}

std::string HoldersText(const std::string& strDevice) {
    std::string strText = strDevice + " is used by another program";
    const std::vector<CPortHolder> vHolders = FindPortHolders(strDevice);
    for (std::size_t i = 0; i < vHolders.size() && i < 3; ++i) {
        strText += (i == 0 ? ": " : ", ") + vHolders[i].strProgram + " (process " +
                   std::to_string(vHolders[i].nPid) + ")";
    }
    return strText;
}

std::string SettingsText(const CPortFailure& failure) {
    static const char* const kParities[] = {"no parity", "odd parity", "even parity", "mark parity",
                                            "space parity"};
    return std::to_string(failure.dwSpeed) + " bps, 8 data bits, " +
           (failure.nParity < std::size(kParities) ? kParities[failure.nParity] : "no parity") +
           (failure.nStopBits == 2 ? ", 2 stop bits" : ", 1 stop bit");
}

} // namespace

std::vector<CPortHolder> FindPortHolders(const std::string& strDevice) {
    std::vector<CPortHolder> vHolders;
    struct stat info {};
    if (stat(strDevice.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return vHolders;
    }
    DIR* pProc = opendir("/proc");
    if (pProc == nullptr) {
        return vHolders;
    }
    const std::string strSelf = std::to_string(getpid());
    while (const dirent* pEntry = readdir(pProc)) {
        if (!IsNumber(pEntry->d_name) || strSelf == pEntry->d_name) {
            continue;
        }
        const std::string strProcess = std::string("/proc/") + pEntry->d_name;
        if (HoldsDevice(strProcess, info.st_rdev)) {
            vHolders.push_back({std::atoi(pEntry->d_name), ProgramName(strProcess)});
        }
    }
    closedir(pProc);
    return vHolders;
}

std::string DescribePortFailure(const char* szName, const CPortFailure& failure) {
    if (szName == nullptr || *szName == '\0') {
        return "no port is chosen";
    }
    std::string strDevice;
    if (ResolvePortName(szName, &strDevice) != ERROR_SUCCESS) {
        return std::string("no device is behind ") + szName;
    }
    int nErrno = failure.nErrno;
    if (nErrno == 0) {
        // A failure found without a system call: the codes that tell on their own.
        nErrno = failure.nCode == ERROR_FILE_NOT_FOUND      ? ENOENT
                 : failure.nCode == ERROR_INVALID_PARAMETER ? EINVAL
                                                            : 0;
    }
    if (failure.eStep == EPortStep::kSettings) {
        switch (nErrno) {
        case ERANGE:
            return strDevice + " refused " + std::to_string(failure.dwSpeed) + " bps";
        case EINVAL:
            return strDevice + " refused the settings " + SettingsText(failure);
        default:
            break;
        }
    } else {
        switch (nErrno) {
        case ENOENT:
            return strDevice + " does not exist";
        case EACCES:
        case EPERM:
            return "no permission to use " + strDevice + ": run 'sudo usermod -aG " +
                   AccessGroup(strDevice) + " $USER', then log in again";
        case EBUSY:
            return HoldersText(strDevice);
        case ENOTTY:
            return strDevice + " is not a serial port";
        default:
            break;
        }
    }
    if (nErrno == 0) {
        return strDevice + ": error " + std::to_string(failure.nCode);
    }
    return strDevice + ": " + ErrnoText(nErrno);
}
