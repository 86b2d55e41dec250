#pragma once

// Files for the tests of the program: a scratch directory of one's own, and what a file holds.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

inline std::string Contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// A directory of its own for a test's files, the current one while the test runs.
class CScratchCurrentDirectory {
public:
    CScratchCurrentDirectory() : m_previous(fs::current_path()) {
        m_path = fs::current_path() / ("scratch-" + std::to_string(++s_nCount));
        fs::create_directory(m_path);
        fs::current_path(m_path);
    }
    ~CScratchCurrentDirectory() {
        fs::current_path(m_previous);
        fs::remove_all(m_path);
    }
    std::vector<std::string> Files(const std::string& strSuffix) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fs::current_path())) {
            if (entry.path().extension() == strSuffix) {
                names.push_back(entry.path().filename());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path m_path;

private:
    fs::path m_previous;
    static inline int s_nCount = 0;
};
