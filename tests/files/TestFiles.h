#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/resource.h>

// A fixed local time for the time-stamped names.
inline std::tm At(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond) {
    std::tm tmLocal{};
    tmLocal.tm_year = nYear - 1900;
    tmLocal.tm_mon = nMonth - 1;
    tmLocal.tm_mday = nDay;
    tmLocal.tm_hour = nHour;
    tmLocal.tm_min = nMinute;
    tmLocal.tm_sec = nSecond;
    return tmLocal;
}

// A fresh directory per test, removed afterwards.
class CTempDir {
public:
    CTempDir() {
        std::string strTemplate = (std::filesystem::temp_directory_path() / "kovra-XXXXXX");
        if (::mkdtemp(strTemplate.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_strPath = strTemplate;
    }
    ~CTempDir() { std::filesystem::remove_all(m_strPath); }

    std::string Path(const std::string& strName) const { return m_strPath + "/" + strName; }
    const std::string& Dir() const { return m_strPath; }

    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_strPath)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

private:
    std::string m_strPath;
};

inline std::string ReadFile(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& strPath, const std::string& strText) {
    std::ofstream(strPath, std::ios::binary) << strText;
}

// Makes writes past nBytes fail with EFBIG, as a full disk makes them fail part way.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t nBytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_pOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = nBytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_pOldHandler);
    }

private:
    rlimit m_saved{};
    void (*m_pOldHandler)(int) = nullptr;
};
