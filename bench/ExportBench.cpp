// CSV export of 10 channels x 1,000,000 rows (10 million values) beside the plain way of
// writing the same cells, fprintf("%0.2f") per cell through a stdio stream. Before timing,
// both files are compared byte for byte; the run fails if they differ. One iteration of
// BM_WriteCsv is the time the window waits for such an export.
#include "CsvWriter.h"
#include "PlotData.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr int kRows = 1'000'000;

const CPlotData& Store() {
    static const CPlotData data = [] {
        CPlotData store;
        store.m_cLimiter = '#';
        store.CreateChannels();
        // Values as boards send them: a few digits of different sizes, both signs.
        std::mt19937 random(7);
        const float ranges[] = {1.0f, 5.0f,  100.0f, 2.5f, 1000.0f,
                                3.3f, 50.0f, 10.0f,  0.1f, 40000.0f};
        for (int c = 0; c < CPlotData::kChannelCount; ++c) {
            std::uniform_real_distribution<float> value(-ranges[c], ranges[c]);
            for (int r = 0; r < kRows; ++r) {
                store.AddSample(c, value(random));
            }
        }
        store.m_nLastSetCount = CPlotData::kChannelCount;
        return store;
    }();
    return data;
}

std::string OutputPath(const char* szSuffix) {
    return (std::filesystem::temp_directory_path() /
            ("kovra-bench-export-" + std::to_string(::getpid()) + szSuffix))
        .string();
}

bool FprintfReference(const CPlotData& data, const std::string& strPath) {
    std::FILE* pFile = std::fopen(strPath.c_str(), "wb");
    if (pFile == nullptr) {
        return false;
    }
    const int nRows = data.GetSampleCount(0);
    const int nColumns = data.m_nLastSetCount;
    for (int r = 0; r < nRows; ++r) {
        for (int c = 0; c < nColumns; ++c) {
            std::fprintf(pFile, "%0.2f", static_cast<double>(data.GetSample(c, r)));
            if (c < nColumns - 1) {
                std::fputs(",\t", pFile);
            }
        }
        std::fputs("\r\n", pFile);
    }
    return std::fclose(pFile) == 0;
}

std::int64_t FileSize(const std::string& strPath) {
    return static_cast<std::int64_t>(std::filesystem::file_size(strPath));
}

void BM_WriteCsv(benchmark::State& state) {
    const CPlotData& data = Store();
    const std::string strPath = OutputPath(".csv");
    for (auto _ : state) {
        if (!WriteCsv(data, strPath).Ok()) {
            state.SkipWithError("WriteCsv failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * FileSize(strPath));
    state.counters["values"] = 10.0 * kRows;
}

void BM_FprintfReference(benchmark::State& state) {
    const CPlotData& data = Store();
    const std::string strPath = OutputPath(".ref.csv");
    for (auto _ : state) {
        if (!FprintfReference(data, strPath)) {
            state.SkipWithError("reference write failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * FileSize(strPath));
}

// The formatting alone, into memory, beside snprintf.
void BM_AppendFixed2(benchmark::State& state) {
    const CSampleSeries& series = Store().GetSeries(4);
    std::vector<char> text(kRows * (kMaxFixed2Length + 1));
    std::int64_t nBytes = 0;
    for (auto _ : state) {
        char* p = text.data();
        series.ForEachRun(0, series.size(), [&](const Sample* pRun, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i) {
                p = AppendFixed2(p, pRun[i]);
                *p++ = '\n';
            }
        });
        nBytes += p - text.data();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(nBytes);
}

void BM_SnprintfReference(benchmark::State& state) {
    const CSampleSeries& series = Store().GetSeries(4);
    std::vector<char> text(kRows * (kMaxFixed2Length + 1));
    std::int64_t nBytes = 0;
    for (auto _ : state) {
        char* p = text.data();
        for (std::size_t i = 0; i < series.size(); ++i) {
            p += std::snprintf(p, kMaxFixed2Length + 2, "%0.2f\n", static_cast<double>(series[i]));
        }
        nBytes += p - text.data();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(nBytes);
}

BENCHMARK(BM_WriteCsv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FprintfReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AppendFixed2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SnprintfReference)->Unit(benchmark::kMillisecond);

std::string ReadAll(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The speed means nothing unless the bytes are those of fprintf.
bool SameBytesAsReference() {
    const std::string strPath = OutputPath(".csv");
    const std::string strReference = OutputPath(".ref.csv");
    if (!WriteCsv(Store(), strPath).Ok() || !FprintfReference(Store(), strReference)) {
        std::fprintf(stderr, "FAILED: could not write %s or %s\n", strPath.c_str(),
                     strReference.c_str());
        return false;
    }
    const std::string strText = ReadAll(strPath);
    const std::string strExpected = ReadAll(strReference);
    if (strText != strExpected) {
        const auto [at, _] =
            std::mismatch(strText.begin(), strText.end(), strExpected.begin(), strExpected.end());
        std::fprintf(stderr,
                     "FAILED: WriteCsv differs from fprintf at byte %td (%zu vs %zu bytes)\n",
                     at - strText.begin(), strText.size(), strExpected.size());
        return false;
    }
    std::printf("WriteCsv output identical to fprintf(\"%%0.2f\"): %zu bytes\n", strText.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const bool bSame = SameBytesAsReference();
    if (bSame) {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    std::filesystem::remove(OutputPath(".csv"));
    std::filesystem::remove(OutputPath(".ref.csv"));
    return bSame ? 0 : 1;
}
