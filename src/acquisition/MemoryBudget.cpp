#include "MemoryBudget.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// A figure of a /proc/meminfo line ("MemAvailable:   23808836 kB"), in bytes; 0 when the
// text has no such line.
std::size_t MemInfoBytes(const char* szText, const char* szName) {
    const char* p = std::strstr(szText, szName);
    if (p == nullptr) {
        return 0;
    }
    return static_cast<std::size_t>(std::strtoull(p + std::strlen(szName), nullptr, 10)) * 1024;
}

// The start of a small file of /proc, terminated; empty when it cannot be read.
template <std::size_t N>
void ReadProcFile(const char* szPath, char (&szText)[N]) {
    szText[0] = '\0';
    const int hFile = ::open(szPath, O_RDONLY | O_CLOEXEC);
    if (hFile < 0) {
        return;
    }
    const ssize_t n = ::read(hFile, szText, N - 1);
    ::close(hFile);
    szText[n > 0 ? n : 0] = '\0';
}

} // namespace

bool LeavesEnoughUnused(const SMemoryFigures& figures, std::size_t nBytes) {
    if (figures.m_nPhysical != 0 && figures.m_nAvailable < figures.m_nPhysical / 10 + nBytes) {
        return false;
    }
    if (figures.m_nAddressLimit != 0 &&
        figures.m_nMapped + nBytes > figures.m_nAddressLimit - figures.m_nAddressLimit / 10) {
        return false;
    }
    return true;
}

bool CCappedGauge::MayGrow(std::size_t nBytes) {
    if (nBytes > m_nCap - m_nTaken || (m_pRule != nullptr && !m_pRule->MayGrow(nBytes))) {
        return false;
    }
    m_nTaken += nBytes;
    return true;
}

SMemoryFigures ReadMemoryFigures() {
    SMemoryFigures figures;
    // MemTotal and MemAvailable are among the first lines.
    char szMemInfo[512];
    ReadProcFile("/proc/meminfo", szMemInfo);
    figures.m_nAvailable = MemInfoBytes(szMemInfo, "MemAvailable:");
    // Without the available figure the physical rule cannot be applied at all.
    figures.m_nPhysical = figures.m_nAvailable != 0 ? MemInfoBytes(szMemInfo, "MemTotal:") : 0;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        figures.m_nAddressLimit = static_cast<std::size_t>(limit.rlim_cur);
    }
    char szStatm[128];
    ReadProcFile("/proc/self/statm", szStatm);
    figures.m_nMapped = static_cast<std::size_t>(std::strtoull(szStatm, nullptr, 10)) *
                        static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return figures;
}

bool CSystemMemoryGauge::MayGrow(std::size_t nBytes) {
    return LeavesEnoughUnused(ReadMemoryFigures(), nBytes);
}

bool ParseMemorySize(std::string_view strText, std::size_t* pnBytes) {
    std::size_t nShift = 0;
    if (!strText.empty()) {
        switch (strText.back()) {
        case 'K':
        case 'k':
            nShift = 10;
            break;
        case 'M':
        case 'm':
            nShift = 20;
            break;
        case 'G':
        case 'g':
            nShift = 30;
            break;
        case 'T':
        case 't':
            nShift = 40;
            break;
        default:
            break;
        }
    }
    if (nShift != 0) {
        strText.remove_suffix(1);
    }
    if (strText.empty()) {
        return false;
    }
    std::size_t nValue = 0;
    for (const char c : strText) {
        if (c < '0' || c > '9' || nValue > (SIZE_MAX - 9) / 10) {
            return false;
        }
        nValue = nValue * 10 + static_cast<std::size_t>(c - '0');
    }
    if (nValue > (SIZE_MAX >> nShift)) {
        return false;
    }
    *pnBytes = nValue << nShift;
    return true;
}
