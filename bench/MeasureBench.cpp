// What measuring costs beside the work that is there anyway, over the same 4 million
// samples: the statistics of a range (one pass) and the trigger's look at new samples,
// beside the min/max scan the paint already makes of a window and a plain sum (a bound no
// one-pass statistic beats); the running statistics per appended sample; the sample under
// the mouse in a window of 4 million. BM_SetTimesPerHour prints what the sets' times take
// for an hour at 1,000 sets/s, read by read as boards send them.
#include "SampleLocator.h"
#include "SampleStats.h"
#include "SeriesSummary.h"
#include "SetTimes.h"
#include "Trigger.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr std::size_t kSamples = 4 << 20;

const CSampleSeries& Noise() {
    static const CSampleSeries series = [] {
        CSampleSeries s;
        std::mt19937 random(7);
        std::normal_distribution<float> noise(0.0f, 1.0f);
        for (std::size_t j = 0; j < kSamples; ++j) {
            // A square wave of period 200 under the noise, for the trigger.
            s.Append(noise(random) * 0.1f + ((j / 100) % 2 == 0 ? -1.0f : 1.0f));
        }
        return s;
    }();
    return series;
}

void BM_RangeStats(benchmark::State& state) {
    const CSampleSeries& series = Noise();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ComputeStats(series, 0, series.size()));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
}

void BM_MinMaxScanReference(benchmark::State& state) {
    const CSampleSeries& series = Noise();
    for (auto _ : state) {
        CValueRange range;
        series.ForEachRun(0, series.size(), [&](const Sample* p, std::size_t n) {
            range.Merge(ScanRange(p, n, false));
        });
        benchmark::DoNotOptimize(range);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
}

void BM_PlainSumReference(benchmark::State& state) {
    const CSampleSeries& series = Noise();
    for (auto _ : state) {
        double sum = 0.0;
        series.ForEachRun(0, series.size(), [&](const Sample* p, std::size_t n) {
            for (std::size_t k = 0; k < n; ++k) {
                sum += p[k];
            }
        });
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
}

// Sets arrive a read at a time (10 samples) and the figures are brought up to date after
// each, far more often than the panel asks.
void BM_RunningStatsPerRead(benchmark::State& state) {
    const CSampleSeries& source = Noise();
    for (auto _ : state) {
        state.PauseTiming();
        CSampleSeries series;
        CRunningStats running;
        state.ResumeTiming();
        for (std::size_t j = 0; j < (1u << 20); ++j) {
            series.Append(source[j]);
            if (j % 10 == 9) {
                running.Update(series);
            }
        }
        benchmark::DoNotOptimize(running.All());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * (1u << 20)));
}

void BM_AppendOnlyReference(benchmark::State& state) {
    const CSampleSeries& source = Noise();
    for (auto _ : state) {
        state.PauseTiming();
        CSampleSeries series;
        state.ResumeTiming();
        for (std::size_t j = 0; j < (1u << 20); ++j) {
            series.Append(source[j]);
        }
        benchmark::DoNotOptimize(series.size());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * (1u << 20)));
}

void BM_TriggerLook(benchmark::State& state) {
    const CSampleSeries& series = Noise();
    STriggerSettings settings;
    settings.m_bOn = true;
    CSampleSeries empty;
    for (auto _ : state) {
        CTrigger trigger;
        trigger.Configure(settings, empty);
        // The whole series as if it had just arrived.
        trigger.Update(series, 50);
        benchmark::DoNotOptimize(trigger.Held());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
}

void BM_SampleUnderMouse(benchmark::State& state) {
    const CPlotGeometry geometry(1920, 1000);
    const CPlotWindow window = ComputeVisibleWindow(static_cast<int>(kSamples) + 1,
                                                    static_cast<float>(kSamples / 10), 0, false);
    const CSampleLocator locator(geometry, window);
    int x = geometry.GetLeft();
    for (auto _ : state) {
        benchmark::DoNotOptimize(locator.SampleAtX(x));
        x = x < geometry.GetRight() ? x + 1 : geometry.GetLeft();
    }
}

// One hour at 1,000 sets/s: one set a read, 10 sets every 10 ms, 100 every 100 ms.
void BM_SetTimesPerHour(benchmark::State& state) {
    const auto nSetsPerRead = static_cast<std::size_t>(state.range(0));
    std::size_t nBytes = 0;
    for (auto _ : state) {
        CSetTimes times;
        const CSetTimes::Clock::time_point t0{};
        for (std::size_t nSet = 0; nSet < 3600000; nSet += nSetsPerRead) {
            times.OnSets(t0 + std::chrono::milliseconds(nSet + nSetsPerRead - 1), nSetsPerRead);
        }
        nBytes = times.PayloadBytes();
        benchmark::DoNotOptimize(times.Milliseconds(1234567));
    }
    state.counters["MB_per_hour"] = static_cast<double>(nBytes) / 1e6;
    state.counters["bytes_per_set"] = static_cast<double>(nBytes) / 3600000.0;
}

} // namespace

BENCHMARK(BM_RangeStats)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinMaxScanReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSumReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunningStatsPerRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendOnlyReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TriggerLook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SampleUnderMouse);
BENCHMARK(BM_SetTimesPerHour)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
