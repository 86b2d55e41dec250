#pragma once

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

// A file system of a few hundred kilobytes for one test, so that writes really run out of
// room: a tmpfs mounted on a fresh directory, unmounted and removed afterwards. Mounting needs
// the superuser (as the tests run in CI); elsewhere Mounted() is false and the caller says so.
class CSmallDisk {
public:
    explicit CSmallDisk(std::size_t nBytes) {
        char szTemplate[] = "/tmp/kovra-disk-XXXXXX";
        if (::mkdtemp(szTemplate) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_strPath = szTemplate;
        const std::string strOptions = "size=" + std::to_string(nBytes) + ",mode=0777";
        m_bMounted = ::geteuid() == 0 && ::mount("tmpfs", m_strPath.c_str(), "tmpfs",
                                                 MS_NOSUID | MS_NODEV, strOptions.c_str()) == 0;
    }
    ~CSmallDisk() {
        if (m_bMounted) {
            ::umount2(m_strPath.c_str(), MNT_DETACH);
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_strPath, ignored);
    }
    CSmallDisk(const CSmallDisk&) = delete;
    CSmallDisk& operator=(const CSmallDisk&) = delete;

    bool Mounted() const { return m_bMounted; }
    const std::string& Path() const { return m_strPath; }
    std::string Path(const std::string& strName) const { return m_strPath + "/" + strName; }

    std::size_t FreeBytes() const {
        struct statvfs st {};
        ::statvfs(m_strPath.c_str(), &st);
        return static_cast<std::size_t>(st.f_bavail) * st.f_frsize;
    }

    // Takes room with a filler file until about nLeave bytes are free.
    void Fill(std::size_t nLeave) {
        const std::size_t nFree = FreeBytes();
        if (nFree <= nLeave) {
            return;
        }
        const int hFile = ::open(Path(".filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const std::string strBlock(4096, 'f');
        for (std::size_t nLeft = nFree - nLeave; nLeft >= strBlock.size();
             nLeft -= strBlock.size()) {
            if (::write(hFile, strBlock.data(), strBlock.size()) <= 0) {
                break;
            }
        }
        ::close(hFile);
    }

private:
    std::string m_strPath;
    bool m_bMounted = false;
};
