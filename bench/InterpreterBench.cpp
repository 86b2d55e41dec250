// Interpreter throughput on a realistic stream, fed in 100-byte chunks as the serial
// handler feeds it (as C strings and as received bytes in '#'-ended sets; one set a line,
// plain and labelled, read by the line reader), beside two references over the same text:
// atof per number (the naive reader) and a memchr scan (a bound no parser beats). Also reports the
// memory a stored sample costs after 10 million values in one channel. The second argument of
// BM_Interpret puts the store under the program's memory rule (the system gauge, read at every
// block) and a budget, to show what keeping to them costs.
#include "MemoryBudget.h"
#include "PlotData.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

constexpr std::size_t kStreamBytes = 8 << 20;
constexpr std::size_t kChunk = 100;

std::string MakeStream(int valuesPerSet, const char* szSetEnd, bool bLabels = false) {
    std::mt19937 random(42);
    std::uniform_real_distribution<double> value(-99.999, 99.999);
    std::string stream;
    stream.reserve(kStreamBytes + 256);
    char cell[32];
    while (stream.size() < kStreamBytes) {
        for (int k = 0; k < valuesPerSet; ++k) {
            const int n =
                bLabels
                    ? std::snprintf(cell, sizeof cell, k == 0 ? "ch%d:%.3f" : " ch%d:%.3f", k + 1,
                                    value(random))
                    : std::snprintf(cell, sizeof cell, k == 0 ? "%.3f" : " %.3f", value(random));
            stream.append(cell, static_cast<std::size_t>(n));
        }
        stream += szSetEnd;
    }
    return stream;
}

const std::string& Stream(int valuesPerSet) {
    static const std::string three = MakeStream(3, "#\r\n");
    static const std::string ten = MakeStream(10, "#\r\n");
    return valuesPerSet == 3 ? three : ten;
}

// The same values, one set a line, as most boards print them, plain or labelled.
const std::string& LineStream(int valuesPerSet) {
    static const std::string three = MakeStream(3, "\r\n");
    static const std::string ten = MakeStream(10, "\r\n");
    return valuesPerSet == 3 ? three : ten;
}

const std::string& LabelStream(int valuesPerSet) {
    static const std::string three = MakeStream(3, "\r\n", true);
    static const std::string ten = MakeStream(10, "\r\n", true);
    return valuesPerSet == 3 ? three : ten;
}

enum class EFeed { kCString, kBytes, kLines, kLabels };

// Feeds the stream in 100-byte chunks as the serial handler does: as C strings (the
// test-set generator's way) or as received bytes, '#'-ended; or one set a line.
template <EFeed eFeed>
void BM_Interpret(benchmark::State& state) {
    const int valuesPerSet = static_cast<int>(state.range(0));
    const std::string& stream = eFeed == EFeed::kLines    ? LineStream(valuesPerSet)
                                : eFeed == EFeed::kLabels ? LabelStream(valuesPerSet)
                                                          : Stream(valuesPerSet);
    // One store for all iterations, cleared between them; like the reference, it maps fresh
    // blocks each time (a cleared store gives its blocks back to the system).
    CPlotData data;
    data.m_cLimiter = '#';
    data.CreateChannels();
    data.SetBoardFormat(eFeed == EFeed::kLines || eFeed == EFeed::kLabels
                            ? EBoardFormat::kLines
                            : EBoardFormat::kHashSets);
    if (state.range(1) != 0) {
        data.SetMemoryGauge(std::make_unique<CSystemMemoryGauge>());
        data.SetMemoryBudget(std::size_t{1} << 30);
    }
    char chunk[kChunk + 1];
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += kChunk) {
            const std::size_t n = std::min(kChunk, stream.size() - at);
            if constexpr (eFeed == EFeed::kCString) {
                std::memcpy(chunk, stream.data() + at, n);
                chunk[n] = '\0';
                benchmark::DoNotOptimize(data.Interpret(chunk));
            } else {
                benchmark::DoNotOptimize(data.Interpret(stream.data() + at, n));
            }
        }
        benchmark::DoNotOptimize(data.GetSampleCount(0));
        state.PauseTiming();
        data.ClearAll();
        state.ResumeTiming();
    }
    data.DestroyChannels();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}

// The naive way to do the same job: atof at each number, the values of a set handed to
// the same kind of store at each '#'.
void BM_AtofReference(benchmark::State& state) {
    const std::string& stream = Stream(static_cast<int>(state.range(0)));
    CPlotData data;
    data.m_cLimiter = '#';
    data.CreateChannels();
    for (auto _ : state) {
        float pending[CPlotData::kChannelCount];
        int count = 0;
        const char* p = stream.c_str();
        while (*p != '\0') {
            if (CPlotData::IsNumberChar(*p)) {
                const float value = static_cast<float>(std::atof(p));
                if (count < CPlotData::kChannelCount) {
                    pending[count++] = value;
                }
                while (CPlotData::IsNumberChar(*p)) {
                    ++p;
                }
            } else {
                if (*p == '#') {
                    for (int j = 0; j < count; ++j) {
                        data.AddSample(j, pending[j]);
                    }
                    count = 0;
                }
                ++p;
            }
        }
        benchmark::DoNotOptimize(data.GetSampleCount(0));
        state.PauseTiming();
        data.ClearAll();
        state.ResumeTiming();
    }
    data.DestroyChannels();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}

void BM_MemchrReference(benchmark::State& state) {
    const std::string& stream = Stream(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::size_t sets = 0;
        const char* p = stream.data();
        const char* end = p + stream.size();
        while ((p = static_cast<const char*>(
                    std::memchr(p, '#', static_cast<std::size_t>(end - p)))) != nullptr) {
            ++sets;
            ++p;
        }
        benchmark::DoNotOptimize(sets);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}

long ResidentKiB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return -1;
    }
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
        }
    }
    std::fclose(status);
    return kib;
}

void BM_MemoryPerSample(benchmark::State& state) {
    constexpr int kSamples = 10'000'000;
    for (auto _ : state) {
        const long before = ResidentKiB();
        CPlotData data;
        data.m_cLimiter = '#';
        data.CreateChannels();
        for (int j = 0; j < kSamples; ++j) {
            data.AddSample(0, static_cast<float>(j));
        }
        const long after = ResidentKiB();
        state.counters["bytes_per_sample_rss"] =
            static_cast<double>(after - before) * 1024.0 / kSamples;
        state.counters["bytes_per_sample_allocated"] =
            static_cast<double>(data.GetSeries(0).CapacityBytes()) / kSamples;
        data.DestroyChannels();
    }
}

} // namespace

BENCHMARK(BM_Interpret<EFeed::kCString>)
    ->ArgsProduct({{3, 10}, {0}})
    ->ArgNames({"values", "budget"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Interpret<EFeed::kBytes>)
    ->ArgsProduct({{3, 10}, {0, 1}})
    ->ArgNames({"values", "budget"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Interpret<EFeed::kLines>)
    ->ArgsProduct({{3, 10}, {0}})
    ->ArgNames({"values", "budget"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Interpret<EFeed::kLabels>)
    ->ArgsProduct({{3, 10}, {0}})
    ->ArgNames({"values", "budget"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AtofReference)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrReference)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryPerSample)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
