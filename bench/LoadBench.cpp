// File > Open of a 100 MB export (10 channels, 1.25 million rows): the reading the program
// does, beside the plain way measured in the same run, a stdio stream read line by line with
// strtof for each cell. Both must find the same number of values.
#include "CsvWriter.h"
#include "DataFileReader.h"
#include "PlotData.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr int kRows = 1'250'000;

double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double WallMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint64_t PlainRead(const std::string& strPath) {
    std::FILE* pFile = std::fopen(strPath.c_str(), "r");
    if (pFile == nullptr) {
        return 0;
    }
    std::uint64_t nValues = 0;
    char szLine[4096];
    while (std::fgets(szLine, sizeof szLine, pFile) != nullptr) {
        for (char* p = szLine;;) {
            char* pEnd = nullptr;
            std::strtof(p, &pEnd);
            if (pEnd == p) {
                break;
            }
            ++nValues;
            p = pEnd + std::strspn(pEnd, ",\t");
        }
    }
    std::fclose(pFile);
    return nValues;
}

} // namespace

int main() {
    const std::string strPath = (std::filesystem::temp_directory_path() /
                                 ("kovra-bench-load-" + std::to_string(getpid()) + ".csv"))
                                    .string();
    {
        CPlotData store;
        store.m_cLimiter = '#';
        store.CreateChannels();
        std::mt19937 random(5);
        std::uniform_real_distribution<float> value(-5000.0f, 5000.0f);
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < CPlotData::kChannelCount; ++c) {
                store.AddSample(c, value(random));
            }
        }
        store.m_nLastSetCount = CPlotData::kChannelCount;
        if (!WriteCsv(store, strPath).Ok()) {
            std::fprintf(stderr, "cannot write %s\n", strPath.c_str());
            return 1;
        }
    }
    const double fMegabytes = static_cast<double>(std::filesystem::file_size(strPath)) / 1e6;

    // Once untimed, so that both find the file in the page cache.
    PlainRead(strPath);
    double fWall = WallMs();
    double fCpu = CpuMs();
    const std::uint64_t nPlainValues = PlainRead(strPath);
    const double fPlainWall = WallMs() - fWall;
    const double fPlainCpu = CpuMs() - fCpu;

    fWall = WallMs();
    fCpu = CpuMs();
    const CLoadedData data = ReadDataFile(strPath);
    const double fLoadWall = WallMs() - fWall;
    const double fLoadCpu = CpuMs() - fCpu;
    std::filesystem::remove(strPath);

    std::uint64_t nValues = 0;
    for (const CPlotChannel& channel : data.m_channels) {
        nValues += static_cast<std::uint64_t>(channel.GetSampleCount());
    }
    if (data.m_eStatus != ELoadStatus::kOk || nValues != nPlainValues) {
        std::fprintf(stderr, "the readings differ: %llu values against %llu\n",
                     static_cast<unsigned long long>(nValues),
                     static_cast<unsigned long long>(nPlainValues));
        return 1;
    }
    std::printf("Open of a %.0f MB export, %llu values\n", fMegabytes,
                static_cast<unsigned long long>(nValues));
    std::printf("  reference, fgets and strtof: %7.0f ms (%.0f ms of CPU)\n", fPlainWall,
                fPlainCpu);
    std::printf(
        "  ReadDataFile:                %7.0f ms (%.0f ms of CPU), %.0f MB/s, %.2f x reference\n",
        fLoadWall, fLoadCpu, fMegabytes / fLoadWall * 1e3, fLoadWall / fPlainWall);
    return 0;
}
