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

// Maker and product of the USB device a tty hangs from: the nearest directory above its
// device that has an idVendor.
std::string UsbDescription(const fs::path& tty, const fs::path& root) {
    std::error_code error;
    fs::path dir = fs::canonical(tty / "device", error);
    if (error) {
        return {};
    }
    for (; dir != root && dir != dir.root_path(); dir = dir.parent_path()) {
        std::error_code missing;
        if (!fs::exists(dir / "idVendor", missing)) {
            continue;
        }
        const std::string strMaker = ReadLine(dir / "manufacturer");
        const std::string strProduct = ReadLine(dir / "product");
        if (strMaker.empty() || strProduct.empty()) {
            return strMaker + strProduct;
        }
        return strMaker + ", " + strProduct;
    }
    return {};
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
            vFound.push_back({"/dev/" + DeviceName(tty), UsbDescription(tty, root)});
        }
    }
    return vFound;
}

void RediscoverPorts() {
    const char* szRoot = std::getenv("KOVRA_SYSFS_ROOT");
    SetDetectedPorts(FindSerialPorts(szRoot != nullptr && *szRoot != '\0' ? szRoot : "/sys"));
}
