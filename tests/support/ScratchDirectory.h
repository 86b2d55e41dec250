#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

// A directory of its own for a test under /tmp, removed with everything in it afterwards.
class CScratchDirectory {
public:
    CScratchDirectory() {
        char szTemplate[] = "/tmp/kovra-test-XXXXXX";
        if (mkdtemp(szTemplate) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_strPath = szTemplate;
    }
    ~CScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(m_strPath, ignored);
    }
    CScratchDirectory(const CScratchDirectory&) = delete;
    CScratchDirectory& operator=(const CScratchDirectory&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string PathOf(const std::string& strName) const { return m_strPath + "/" + strName; }
    std::string Read(const std::string& strName) const {
        std::ifstream file(PathOf(strName), std::ios::binary);
        std::stringstream contents;
        contents << file.rdbuf();
        return contents.str();
    }
    void Write(const std::string& strName, const std::string& strContents) const {
        std::ofstream(PathOf(strName), std::ios::binary) << strContents;
    }

private:
    std::string m_strPath;
};
