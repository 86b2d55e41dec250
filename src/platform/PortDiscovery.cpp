#include "PortDiscovery.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs file, without its line end; "" when there is none.
std::string ReadLine(const fs::path& path) {
    std::ifstream file(path);
    std::string strLine;
    std::getline(file, strLine);
    while (!strLine.empty() && (strLine.back() == '\r' || strLine.back() == ' ')) {
        strLine.pop_back();
    }
    return strLine;
}

// The node's name under /dev: DEVNAME of the uevent ("pts/3" for some), else the tty's name.
std::string DeviceName(const fs::path& tty) {
    std::ifstream uevent(tty / "uevent");
    for (std::string strLine; std::getline(uevent, strLine);) {
        if (strLine.rfind("DEVNAME=", 0) == 0 && strLine.size() > 8) {
            return strLine.substr(8);
        }
    }
    return tty.filename().string();
}

// What the USB device a tty hangs from reports: the nearest directory above the tty's device
// that has an idVendor is the device, the nearest with a bInterfaceNumber its interface.
void DescribeUsb(const fs::path& tty, const fs::path& root, CFoundPort* pFound) {
    std::error_code error;
    fs::path dir = fs::canonical(tty / "device", error);
    if (error) {
        return;
    }
    for (; dir != root && dir != dir.root_path(); dir = dir.parent_path()) {
        std::error_code missing;
        if (pFound->strUsbInterface.empty() && fs::exists(dir / "bInterfaceNumber", missing)) {
            pFound->strUsbInterface = ReadLine(dir / "bInterfaceNumber");
        }
        if (!fs::exists(dir / "idVendor", missing)) {
            continue;
        }
        const std::string strMaker = ReadLine(dir / "manufacturer");
        const std::string strProduct = ReadLine(dir / "product");
        pFound->strDescription = strMaker.empty() || strProduct.empty()
                                     ? strMaker + strProduct
                                     : strMaker + ", " + strProduct;
        pFound->strUsbSerial = ReadLine(dir / "serial");
        return;
    }
}

} // namespace

std::vector<CFoundPort> FindSerialPorts(const std::string& strSysRoot) {
    std::vector<CFoundPort> vFound;
    std::error_code error;
    const fs::path root = fs::canonical(strSysRoot, error);
    if (error) {
        return vFound;
    }
    for (fs::directory_iterator it(root / "class" / "tty", error), end; !error && it != end;
         it.increment(error)) {
        const fs::path tty = it->path();
        // Consoles, pseudo-terminals and the like have no device behind them.
        std::error_code missing;
        if (fs::exists(tty / "device", missing)) {
            CFoundPort found;
            found.strPath = "/dev/" + DeviceName(tty);
            DescribeUsb(tty, root, &found);
            vFound.push_back(std::move(found));
        }
    }
    return vFound;
}

std::string SysfsRoot() {
    const char* szRoot = std::getenv("KOVRA_SYSFS_ROOT");
    return szRoot != nullptr && *szRoot != '\0' ? szRoot : "/sys";
}

void RediscoverPorts() {
    SetDetectedPorts(FindSerialPorts(SysfsRoot()));
}
