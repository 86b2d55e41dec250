// F8 over 50 million stored values (10 channels x 5 million rows): how long the export takes
// and how long the user-interface thread is kept from its events meanwhile, beside the
// reference measured in the same run, the same export written on the user-interface thread
// (the time the window froze before exports ran in the background).
#include "files/FileCommands.h"
#include "files/JobRunner.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"

#include "CsvWriter.h"
#include "PlotData.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace {

constexpr int kChannels = 10;
constexpr int kRows = 5'000'000;
constexpr int kTickMs = 5;

double Ms(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() / ("kovra-bench-stall-" + std::to_string(getpid()));
    std::filesystem::create_directory(directory);
    std::filesystem::current_path(directory);

    CKovraPlotterView view;
    view.OnInitialUpdate();
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kChannels; ++c) {
            g_pPlotData->AddSample(c, value(random));
        }
    }
    g_pPlotData->m_nLastSetCount = kChannels;

    // Before and after, the shorter of the two: the disk's write-back of one file slows the
    // next, whichever it is.
    QElapsedTimer timer;
    auto reference = [&] {
        timer.restart();
        const bool bOk = WriteCsv(*g_pPlotData, "reference.csv").Ok();
        const double fMs = Ms(timer);
        std::filesystem::remove("reference.csv");
        return bOk ? fMs : -1.0;
    };
    timer.start();
    double fReferenceMs = reference();

    // The user-interface thread's events: a tick every 5 ms, and the longest gap between two.
    double fWorstGapMs = 0.0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        fWorstGapMs = std::max(fWorstGapMs, Ms(sinceTick));
        sinceTick.restart();
    });
    ticker.start(kTickMs);
    sinceTick.start();
    timer.restart();
    view.Files().OnKeyQuickCsv();
    const double fKeyMs = Ms(timer);
    fWorstGapMs = std::max(fWorstGapMs, Ms(sinceTick));
    while (view.Files().Jobs().Busy()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double fExportMs = Ms(timer);
    ticker.stop();
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        std::filesystem::remove(entry.path());
    }
    fReferenceMs = std::min(fReferenceMs, reference());
    if (fReferenceMs < 0.0) {
        std::fprintf(stderr, "the reference export failed\n");
        return 1;
    }

    std::printf("F8 of %d values (10 channels x %d rows)\n", kChannels * kRows, kRows);
    std::printf("  reference, written on the user-interface thread: %8.0f ms\n", fReferenceMs);
    std::printf("  in the background, until its status text:        %8.0f ms  (%.2f x reference)\n",
                fExportMs, fExportMs / fReferenceMs);
    std::printf("  the key handler returned after:                  %8.1f ms  (%.3f x reference)\n",
                fKeyMs, fKeyMs / fReferenceMs);
    std::printf("  worst gap between 5 ms ticks meanwhile:          %8.1f ms  (%.3f x reference)\n",
                fWorstGapMs, fWorstGapMs / fReferenceMs);
    view.DestroyWindow();
    std::filesystem::current_path("/");
    std::filesystem::remove_all(directory);
    return 0;
}
