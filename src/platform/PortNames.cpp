#include "PortNames.h"

#include "BasicTypes.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <map>
#include <mutex>
#include <sys/ioctl.h>
#include <tuple>
#include <unistd.h>

namespace {

struct CPortTable {
    std::mutex mutex;
    std::map<std::string, std::string> explicitMap;
    // The device behind "COM1", "COM2", ...; "" for a free name.
    std::vector<std::string> vDetected;
    std::map<std::string, std::string> descriptions; // by device
};

CPortTable& Table() {
    static CPortTable table;
    return table;
}

std::string Upper(std::string str) {
    std::transform(str.begin(), str.end(), str.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return str;
}

std::string BaseName(const std::string& strPath) {
    const auto nSlash = strPath.rfind('/');
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

bool StartsWith(const std::string& str, const char* szPrefix) {
    return str.rfind(szPrefix, 0) == 0;
}

// Sort key: group (USB first), the name without its trailing number, the number.
std::tuple<int, std::string, unsigned long, std::string> SortKey(const std::string& strPath) {
    const std::string strBase = BaseName(strPath);
    const bool bUsb = StartsWith(strBase, "ttyACM") || StartsWith(strBase, "ttyUSB");
    std::size_t nDigits = strBase.size();
    while (nDigits > 0 && std::isdigit(static_cast<unsigned char>(strBase[nDigits - 1])) != 0) {
        --nDigits;
    }
    const std::string strNumber = strBase.substr(nDigits);
    const unsigned long nNumber =
        strNumber.empty() || strNumber.size() > 9 ? 0 : std::stoul(strNumber);
    return {bUsb ? 0 : 1, strBase.substr(0, nDigits), nNumber, strPath};
}

// "COMn" with n from 1: n, else 0.
std::size_t ComIndex(const std::string& strUpper) {
    if (!StartsWith(strUpper, "COM") || strUpper.size() < 4 || strUpper.size() > 6) {
        return 0;
    }
    std::size_t n = 0;
    for (std::size_t i = 3; i < strUpper.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(strUpper[i])) == 0) {
            return 0;
        }
        n = n * 10 + static_cast<std::size_t>(strUpper[i] - '0');
    }
    return n;
}

} // namespace

bool SerialHardwarePresent(const std::string& strPath) noexcept {
    try {
        // sysfs tells without opening the device, so without needing the right to.
        std::ifstream type("/sys/class/tty/" + BaseName(strPath) + "/type");
        int nType = 0;
        if (type >> nType) {
            return nType != PORT_UNKNOWN;
        }
    } catch (...) {
        return false;
    }
    const int hFd = open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (hFd < 0) {
        return false;
    }
    serial_struct info{};
    const bool bPresent = ioctl(hFd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(hFd);
    return bPresent;
}

std::vector<std::string> OrderPortDevices(const std::vector<std::string>& vFound,
                                          SerialHardwareProbe pfnProbe) {
    std::vector<std::string> vDevices;
    for (const std::string& strPath : vFound) {
        if (strPath.empty() ||
            std::find(vDevices.begin(), vDevices.end(), strPath) != vDevices.end()) {
            continue;
        }
        if (StartsWith(BaseName(strPath), "ttyS") && pfnProbe != nullptr && !pfnProbe(strPath)) {
            continue;
        }
        vDevices.push_back(strPath);
    }
    std::sort(vDevices.begin(), vDevices.end(),
              [](const std::string& a, const std::string& b) { return SortKey(a) < SortKey(b); });
    return vDevices;
}

void SetDetectedPorts(const std::vector<CFoundPort>& vFound, SerialHardwareProbe pfnProbe) {
    std::vector<std::string> vPaths;
    std::map<std::string, std::string> descriptions;
    for (const CFoundPort& found : vFound) {
        vPaths.push_back(found.strPath);
        if (!found.strDescription.empty()) {
            descriptions[found.strPath] = found.strDescription;
        }
    }
    const std::vector<std::string> vDevices = OrderPortDevices(vPaths, pfnProbe);
    const auto isFound = [&](const std::string& strPath) {
        return std::find(vDevices.begin(), vDevices.end(), strPath) != vDevices.end();
    };

    CPortTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto isMappedName = [&](std::size_t nSlot) {
        return table.explicitMap.count("COM" + std::to_string(nSlot + 1)) != 0;
    };
    const auto isMappedDevice = [&](const std::string& strPath) {
        return std::any_of(table.explicitMap.begin(), table.explicitMap.end(),
                           [&](const auto& mapping) { return mapping.second == strPath; });
    };
    std::vector<std::string>& vSlots = table.vDetected;
    for (std::size_t i = 0; i < vSlots.size(); ++i) {
        if (!isFound(vSlots[i]) || isMappedName(i) || isMappedDevice(vSlots[i])) {
            vSlots[i].clear();
        }
    }
    for (const std::string& strPath : vDevices) {
        if (std::find(vSlots.begin(), vSlots.end(), strPath) != vSlots.end() ||
            isMappedDevice(strPath)) {
            continue;
        }
        std::size_t nSlot = 0;
        while ((nSlot < vSlots.size() && !vSlots[nSlot].empty()) || isMappedName(nSlot)) {
            ++nSlot;
        }
        while (vSlots.size() <= nSlot) {
            vSlots.emplace_back();
        }
        vSlots[nSlot] = strPath;
    }
    while (!vSlots.empty() && vSlots.back().empty()) {
        vSlots.pop_back();
    }
    table.descriptions = std::move(descriptions);
}

bool SetPortMapping(const char* szName, const char* szDevice) noexcept {
    if (szName == nullptr || *szName == '\0' || *szName == '/') {
        return false;
    }
    const bool bRemove = szDevice == nullptr || *szDevice == '\0';
    if (!bRemove && *szDevice != '/') {
        return false;
    }
    try {
        std::string strName = Upper(szName);
        CPortTable& table = Table();
        std::lock_guard lock(table.mutex);
        if (bRemove) {
            table.explicitMap.erase(strName);
        } else {
            table.explicitMap[std::move(strName)] = szDevice;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool SetPortMappingFromText(const char* szMapping) noexcept {
    if (szMapping == nullptr) {
        return false;
    }
    const char* pEquals = std::strchr(szMapping, '=');
    if (pEquals == nullptr || pEquals[1] == '\0') {
        return false;
    }
    try {
        const std::string strName(szMapping, pEquals);
        return SetPortMapping(strName.c_str(), pEquals + 1);
    } catch (...) {
        return false;
    }
}

void ClearPortMappings() noexcept {
    CPortTable& table = Table();
    std::lock_guard lock(table.mutex);
    table.explicitMap.clear();
    table.vDetected.clear();
    table.descriptions.clear();
}

int ResolvePortName(const char* szName, std::string* pstrPath) noexcept {
    try {
        pstrPath->clear();
        if (szName == nullptr || *szName == '\0') {
            return ERROR_FILE_NOT_FOUND;
        }
        if (*szName == '/') {
            *pstrPath = szName;
            return ERROR_SUCCESS;
        }
        const std::string strName = Upper(szName);
        CPortTable& table = Table();
        std::lock_guard lock(table.mutex);
        if (const auto it = table.explicitMap.find(strName); it != table.explicitMap.end()) {
            *pstrPath = it->second;
            return ERROR_SUCCESS;
        }
        const std::size_t nIndex = ComIndex(strName);
        if (nIndex >= 1 && nIndex <= table.vDetected.size() &&
            !table.vDetected[nIndex - 1].empty()) {
            *pstrPath = table.vDetected[nIndex - 1];
            return ERROR_SUCCESS;
        }
        return ERROR_FILE_NOT_FOUND;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

std::string DescribePortName(const char* szName) {
    std::string strPath;
    ResolvePortName(szName, &strPath);
    std::string strText = std::string(szName != nullptr ? szName : "") + "  (" +
                          (strPath.empty() ? std::string("none") : strPath) + ")";
    CPortTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (const auto it = table.descriptions.find(strPath); it != table.descriptions.end()) {
        strText += "  " + it->second;
    }
    return strText;
}
