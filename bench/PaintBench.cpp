// Milliseconds per paint of a 1600 x 900 view, beside a reference in the same run: a plain
// loop that draws every sample with QPainter::drawLine into an image of the same size.
// The History cases put 10 million samples of each of the ten channels in the window.
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"

#include "PlotData.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 900;
constexpr int kChannels = 10;
constexpr int kSamples = 100'000;

// A view whose ten channels each hold kSamples of a noisy sine, one a different speed.
CKovraPlotterView& View() {
    static CKovraPlotterView* pView = [] {
        auto* pCreated = new CKovraPlotterView;
        pCreated->OnInitialUpdate();
        std::mt19937 random(7);
        std::normal_distribution<float> noise(0.0f, 0.3f);
        for (int j = 0; j < kSamples; ++j) {
            for (int c = 0; c < kChannels; ++c) {
                g_pPlotData->AddSample(c, 2.0f * std::sin(static_cast<float>(j) * 0.0005f *
                                                          static_cast<float>(c + 1)) +
                                              noise(random));
            }
        }
        g_pPlotData->m_nLastSetCount = kChannels;
        return pCreated;
    }();
    return *pView;
}

void Configure(float fPointsPerDiv, int nPointType, bool bInterpolate) {
    View().Plot().m_fPointsPerDiv = fPointsPerDiv;
    for (int c = 0; c < kChannels; ++c) {
        g_pPlotData->SetPointType(c, nPointType);
        g_pPlotData->SetInterpolate(c, bInterpolate);
    }
}

void Paint(benchmark::State& state, float fPointsPerDiv, int nPointType, bool bInterpolate) {
    Configure(fPointsPerDiv, nPointType, bInterpolate);
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        View().OnDraw(picture);
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.counters["samples"] =
        static_cast<double>(std::min<double>(kSamples, 10.0 * fPointsPerDiv) * kChannels);
}

void BM_Paint_Ppd5(benchmark::State& state) {
    Paint(state, 5.0f, 0, true);
}
void BM_Paint_Ppd10000(benchmark::State& state) {
    Paint(state, 10000.0f, 0, true);
}
void BM_Paint_Ppd10000_PointsOnly(benchmark::State& state) {
    Paint(state, 10000.0f, 3, false);
}

constexpr int kHistorySamples = 10'000'000;

// The store grown to kHistorySamples per channel: the sine goes on, with its noise.
void GrowToHistory() {
    View();
    if (g_pPlotData->GetSampleCount(0) >= kHistorySamples) {
        return;
    }
    std::mt19937 random(9);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    for (int j = g_pPlotData->GetSampleCount(0); j < kHistorySamples; ++j) {
        for (int c = 0; c < kChannels; ++c) {
            g_pPlotData->AddSample(
                c, 2.0f * std::sin(static_cast<float>(j) * 0.0005f * static_cast<float>(c + 1)) +
                       noise(random));
        }
    }
}

void PaintHistory(benchmark::State& state, int nPointType) {
    GrowToHistory();
    Configure(kHistorySamples / 10.0f, nPointType, true);
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    View().OnDraw(picture); // the first paint summarises the history once
    for (auto _ : state) {
        View().OnDraw(picture);
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.counters["samples"] = static_cast<double>(kHistorySamples) * kChannels;
}

// (d) and (e): the whole history of ten channels in the window, lines between the samples.
void BM_Paint_History_PointWithLines(benchmark::State& state) {
    PaintHistory(state, 3);
}
void BM_Paint_History_CrossWithLines(benchmark::State& state) {
    PaintHistory(state, 0);
}

// The naive way: one QPainter::drawLine per sample, the same samples and pixel mapping.
void BM_DrawLineReference(benchmark::State& state) {
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    const double xScale = (kWidth - 80.0) / kSamples;
    const double yScale = (kHeight - 40.0) / 5.0;
    for (auto _ : state) {
        picture.fill(Qt::white);
        QPainter painter(&picture);
        for (int c = 0; c < kChannels; ++c) {
            painter.setPen(QColor::fromHsv(c * 36, 255, 200));
            const CSampleSeries& series = g_pPlotData->GetSeries(c);
            int prevX = 40;
            int prevY = static_cast<int>(kHeight - 20 - (series[0] + 2.5) * yScale);
            for (int j = 1; j < kSamples; ++j) {
                const int x = static_cast<int>(40 + j * xScale);
                const int y = static_cast<int>(
                    kHeight - 20 - (series[static_cast<std::size_t>(j)] + 2.5) * yScale);
                painter.drawLine(prevX, prevY, x, y);
                prevX = x;
                prevY = y;
            }
        }
    }
    state.counters["samples"] = static_cast<double>(kSamples) * kChannels;
}

} // namespace

BENCHMARK(BM_Paint_Ppd5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint_Ppd10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint_Ppd10000_PointsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawLineReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint_History_PointWithLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint_History_CrossWithLines)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    View();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    View().DestroyWindow();
    return 0;
}
