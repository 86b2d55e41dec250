#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// A sysfs tree laid out as the kernel lays it out, in a directory of its own, for offering a
// program devices of a test's choosing (KOVRA_SYSFS_ROOT).
class CFakeSysfs {
public:
    CFakeSysfs() {
        char szTemplate[] = "/tmp/kovra-sysfs-XXXXXX";
        if (mkdtemp(szTemplate) != nullptr) {
            m_root = szTemplate;
            std::filesystem::create_directories(m_root / "class" / "tty");
        }
    }
    ~CFakeSysfs() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    CFakeSysfs(const CFakeSysfs&) = delete;
    CFakeSysfs& operator=(const CFakeSysfs&) = delete;

    const std::filesystem::path& Root() const { return m_root; }

    // A tty under the device directory strDevice (relative to devices/), named strDevName in
    // /dev; strDevice "" for a tty with no device behind it.
    void AddTty(const std::string& strName, const std::string& strDevice,
                const std::string& strDevName) const {
        namespace fs = std::filesystem;
        const fs::path parent = m_root / "devices" / (strDevice.empty() ? "virtual" : strDevice);
        const fs::path tty = parent / "tty" / strName;
        fs::create_directories(tty);
        Write(tty / "uevent", "MAJOR=166\nMINOR=0\nDEVNAME=" + strDevName + "\n");
        if (!strDevice.empty()) {
            fs::create_directory_symlink(fs::relative(parent, tty), tty / "device");
        }
        fs::create_directory_symlink(fs::relative(tty, m_root / "class" / "tty"),
                                     m_root / "class" / "tty" / strName);
    }
    // The tty goes, as when its board is unplugged.
    void RemoveTty(const std::string& strName) const {
        namespace fs = std::filesystem;
        const fs::path link = m_root / "class" / "tty" / strName;
        std::error_code ignored;
        fs::remove_all(fs::canonical(link, ignored), ignored);
        fs::remove(link, ignored);
    }
    // A USB device's own directory, with what it reports ("" for a text it leaves out).
    void AddUsbDevice(const std::string& strDevice, const std::string& strMaker,
                      const std::string& strProduct, const std::string& strSerial = "") const {
        const std::filesystem::path dir = m_root / "devices" / strDevice;
        std::filesystem::create_directories(dir);
        Write(dir / "idVendor", "2341\n");
        if (!strMaker.empty()) {
            Write(dir / "manufacturer", strMaker + "\n");
        }
        if (!strProduct.empty()) {
            Write(dir / "product", strProduct + "\n");
        }
        if (!strSerial.empty()) {
            Write(dir / "serial", strSerial + "\n");
        }
    }

private:
    static void Write(const std::filesystem::path& path, const std::string& strText) {
        std::ofstream(path) << strText;
    }
    std::filesystem::path m_root;
};
