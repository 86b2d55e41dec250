// The plain part of painting a dense view: 10 channels of 100,000 samples each (ppd 10,000)
// on a 1600 x 900 client, that is 1,000,000 samples per paint. Measures turning the windows
// into pixels (clamp, ValueToY, PositionToX) and reducing the drawing steps, beside a
// reference in the same run: a naive loop that maps each sample with one float
// multiply-add and a plain cast. Counters report how many drawing steps the reduction keeps.
#include "PlotScroll.h"
#include "TraceBuilder.h"
#include "TraceReducer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kChannels = 10;
constexpr int kSamples = 100000;
constexpr float kPpd = 10000.0f;
constexpr int kWidth = 1600;
constexpr int kHeight = 900;

enum Signal { kWalk, kSine, kNoise };

const std::vector<CSampleSeries>& Channels(Signal signal) {
    static std::vector<CSampleSeries> channels[3];
    std::vector<CSampleSeries>& made = channels[signal];
    if (made.empty()) {
        std::mt19937 random(1);
        std::normal_distribution<float> step(0.0f, 0.02f);
        std::uniform_real_distribution<float> noise(-2.0f, 2.0f);
        made.resize(kChannels);
        for (int c = 0; c < kChannels; ++c) {
            float v = 0.0f;
            for (int k = 0; k < kSamples; ++k) {
                switch (signal) {
                case kWalk:
                    v = std::clamp(v + step(random), -2.4f, 2.4f);
                    break;
                case kSine:
                    v = 2.0f *
                        std::sin(static_cast<float>(k) * 0.0005f * static_cast<float>(c + 1));
                    break;
                case kNoise:
                    v = noise(random);
                    break;
                }
                made[static_cast<std::size_t>(c)].Append(v);
            }
        }
    }
    return made;
}

void BM_NaiveMapping(benchmark::State& state) {
    const auto& channels = Channels(static_cast<Signal>(state.range(0)));
    const CPlotGeometry geometry(kWidth, kHeight);
    std::vector<CPixel> pixels(kSamples);
    const float k = static_cast<float>(geometry.GetBottom() - geometry.GetTop()) / -5.0f;
    const float c = static_cast<float>(geometry.GetBottom()) - k * -2.5f;
    const float dx = geometry.GetPixelsPerDiv() / kPpd;
    for (auto _ : state) {
        for (const CSampleSeries& series : channels) {
            for (std::size_t p = 0; p < series.size(); ++p) {
                pixels[p] = {static_cast<int>(static_cast<float>(p) * dx + 40.0f),
                             static_cast<int>(c + k * series[p])};
            }
            benchmark::DoNotOptimize(pixels.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * kChannels * kSamples);
}

void BM_TracePixels(benchmark::State& state) {
    const auto& channels = Channels(static_cast<Signal>(state.range(0)));
    const CPlotGeometry geometry(kWidth, kHeight);
    std::vector<CPixel> pixels;
    for (auto _ : state) {
        for (const CSampleSeries& series : channels) {
            const int n = static_cast<int>(series.size());
            const CPlotWindow window = ComputeVisibleWindow(n, kPpd, 0, false);
            CYScale scale;
            benchmark::DoNotOptimize(ComputeTracePixels(series, window.m_nStart, window.m_nEnd,
                                                        geometry, kPpd, false, scale, pixels));
        }
    }
    state.SetItemsProcessed(state.iterations() * kChannels * kSamples);
}

void BM_TraceReduce(benchmark::State& state) {
    const auto& channels = Channels(static_cast<Signal>(state.range(0)));
    const int pointType = static_cast<int>(state.range(1));
    const bool lines = state.range(2) != 0;
    const CPlotGeometry geometry(kWidth, kHeight);
    std::vector<std::vector<CPixel>> pixels(kChannels);
    std::size_t full = 0;
    for (int c = 0; c < kChannels; ++c) {
        CYScale scale;
        ComputeTracePixels(channels[static_cast<std::size_t>(c)], 0, kSamples, geometry, kPpd,
                           false, scale, pixels[static_cast<std::size_t>(c)]);
        std::vector<CTraceOp> ops;
        BuildTraceOps(pixels[static_cast<std::size_t>(c)], pointType, lines, ops);
        full += ops.size();
    }
    CTraceReducer reducer;
    std::vector<CTraceOp> ops;
    std::size_t kept = 0;
    for (auto _ : state) {
        kept = 0;
        for (const auto& window : pixels) {
            reducer.Reduce(window, pointType, lines, kWidth, kHeight, ops);
            kept += ops.size();
        }
    }
    state.counters["steps"] = static_cast<double>(full);
    state.counters["kept"] = static_cast<double>(kept);
    state.SetItemsProcessed(state.iterations() * kChannels * kSamples);
}

// Signals: 0 random walk, 1 sines, 2 uniform noise over 80% of the height.
BENCHMARK(BM_NaiveMapping)->Arg(kWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TracePixels)->Arg(kWalk)->Arg(kNoise)->Unit(benchmark::kMillisecond);
// Point type CROSS with lines, and POINT without.
BENCHMARK(BM_TraceReduce)
    ->Args({kWalk, kPointTypeCross, 1})
    ->Args({kSine, kPointTypeCross, 1})
    ->Args({kNoise, kPointTypeCross, 1})
    ->Args({kWalk, kPointTypePoint, 0})
    ->Args({kNoise, kPointTypePoint, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
