#include "commands/CommandIds.h"
#include "paint/FramePacer.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"
#include "view/PlotCommands.h"
#include "view/PlotNavigator.h"
#include "view/PlotOverlay.h"
#include "view/PlotScreen.h"

#include "AppTestSupport.h"
#include "PlotData.h"
#include "PlotScroll.h"
#include "SerialWnd.h"
#include "TonePlayer.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>
#include <random>

namespace {

TEST(FramePacerTest, GathersTheRequestsOfAFrameIntoOnePaintAndIdlesAfterwards) {
    int nPaints = 0;
    std::int64_t now = 0;
    CFramePacer pacer([&] { ++nPaints; });
    pacer.SetClock([&] { return now; });
    pacer.SetRefreshRate(50.0); // 20 ms frames
    // The first request after a quiet time paints at once.
    pacer.RequestPaint();
    EXPECT_EQ(nPaints, 1);
    pacer.RequestPaint(); // the paint has not happened yet: it will show this too
    EXPECT_EQ(nPaints, 1);
    pacer.OnPainted();
    EXPECT_FALSE(pacer.IsScheduled());
    for (int k = 1; k <= 10; ++k) {
        now = k * 1'000'000;
        pacer.RequestPaint();
    }
    EXPECT_EQ(nPaints, 1);
    ASSERT_TRUE(pacer.IsScheduled());
    now = 20'000'000;
    pacer.OnFrameEnd();
    EXPECT_EQ(nPaints, 2);
    pacer.OnPainted();
    EXPECT_FALSE(pacer.IsScheduled());
    // A paint for another reason (a key, a resize) shows what the frame's end would have.
    now = 25'000'000;
    pacer.RequestPaint();
    ASSERT_TRUE(pacer.IsScheduled());
    pacer.OnPainted();
    EXPECT_FALSE(pacer.IsScheduled());
    // Quiet for a frame: painted at once again.
    now = 60'000'000;
    pacer.RequestPaint();
    EXPECT_EQ(nPaints, 3);
    EXPECT_EQ(pacer.FrameNs(), 20'000'000);
    pacer.SetRefreshRate(0.0);
    EXPECT_EQ(pacer.FrameNs(), 16'666'666);
}

// A paint of a huge window leaves the user as much time again before new data paints again.
TEST(FramePacerTest, ALongPaintIsFollowedByAPauseAsLong) {
    int nPaints = 0;
    std::int64_t now = 0;
    CFramePacer pacer([&] { ++nPaints; });
    pacer.SetClock([&] { return now; });
    pacer.SetRefreshRate(50.0);
    pacer.RequestPaint();
    pacer.OnPaintStarted();
    now = 300'000'000; // a paint of 300 ms
    pacer.OnPainted();
    now = 400'000'000;
    pacer.RequestPaint();
    EXPECT_EQ(nPaints, 1);
    EXPECT_TRUE(pacer.IsScheduled());
    pacer.OnFrameEnd();
    EXPECT_EQ(nPaints, 2);
    // A quick paint again: one frame is enough.
    now = 600'000'000;
    pacer.OnPaintStarted();
    now = 605'000'000;
    pacer.OnPainted();
    now = 626'000'000;
    pacer.RequestPaint();
    EXPECT_EQ(nPaints, 3);
}

class PaintPacingTest : public ::testing::Test {
protected:
    PaintPacingTest() : m_view(m_app.View()) {
        SetToneOutput(&m_tones);
        m_pSerial = ConnectScriptedPort(m_view);
        m_app.Frame().resize(600, 400);
        m_app.Frame().show();
        m_view.Screen().Pacer().SetClock([this] { return m_nNow; });
        EXPECT_TRUE(CAppFixture::WaitFor([this] { return m_view.Screen().PaintCount() > 0; }));
        // The window's own first paints (shown, resized) are over.
        CAppFixture::Pump(100);
        m_nNow = 1'000'000'000;
    }
    ~PaintPacingTest() override {
        m_view.Session().m_bConnected = false;
        SetToneOutput(nullptr);
    }
    void Receive(const std::string& strText) {
        m_pSerial->m_strNext = strText;
        m_view.Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR, 0), 0);
    }

    class CCountingTones : public CToneOutput {
    public:
        void Beep(DWORD, DWORD) override { ++m_nBeeps; }
        int m_nBeeps = 0;
    };

    CCountingTones m_tones;
    CAppFixture m_app;
    CKovraPlotterView& m_view;
    CScriptedSerial* m_pSerial = nullptr;
    std::int64_t m_nNow = 0;
};

TEST_F(PaintPacingTest, ManyNotificationsInAFrameGiveOnePaintAndAnIdleSetIsPaintedAtOnce) {
    const int nBefore = m_view.Screen().PaintCount();
    Receive("1 2#");
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return m_view.Screen().PaintCount() == nBefore + 1; }));
    // The clock stands still: every notification from now on falls in the same frame.
    for (int k = 0; k < 30; ++k) {
        Receive(std::to_string(k) + " 1#");
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(m_view.Screen().PaintCount(), nBefore + 1);
    EXPECT_TRUE(m_view.Screen().Pacer().IsScheduled());
    // The end of the frame paints them all at once, and then nothing wakes the view.
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return m_view.Screen().PaintCount() == nBefore + 2; }));
    EXPECT_EQ(m_view.Painter().CaptionText(), QStringLiteral("62 values in 2 channels"));
    CAppFixture::Pump(100);
    EXPECT_EQ(m_view.Screen().PaintCount(), nBefore + 2);
    EXPECT_FALSE(m_view.Screen().Pacer().IsScheduled());
}

TEST_F(PaintPacingTest, AutomaticScalingSeesASpikeThatLeftTheWindowBetweenFrames) {
    m_view.Plot().m_fPointsPerDiv = 1.0f; // a window of 10 samples
    m_view.Plot().m_bAutoScale = true;
    const int nBefore = m_view.Screen().PaintCount();
    Receive("0.5#");
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return m_view.Screen().PaintCount() == nBefore + 1; }));
    Receive("4.0#0.1#");
    for (int k = 0; k < 30; ++k) {
        Receive("0.2#");
    }
    // (The scroll bar that appears then asks for a paint of its own.)
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return m_view.Screen().PaintCount() >= nBefore + 2; }));
    EXPECT_EQ(m_view.Plot().m_fYMax, 4.0f * 1.1f);
}

TEST_F(PaintPacingTest, CapturesShowTheLastPaintAndChangeNothing) {
    g_pPlotData->SetSoundEnabled(0, true);
    m_view.Plot().m_bDoublePpdAtMax = true;
    m_view.Plot().m_bAutoScale = true;
    std::string strSets;
    for (int k = 0; k < 60; ++k) {
        strSets += "2.0#";
    }
    Receive(strSets);
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return m_tones.m_nBeeps > 0; }));
    CAppFixture::Pump(50);
    // Sets that the screen does not show yet would double ppd and move the range again.
    m_nNow += 1'000'000'000;
    m_view.Screen().Pacer().SetRefreshRate(0.001);
    Receive("9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#"
            "9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#9#");
    CAppFixture::Pump(50);
    Receive("9#");
    const int nBeeps = m_tones.m_nBeeps;
    const float fPpd = m_view.Plot().m_fPointsPerDiv;
    const float fYMax = m_view.Plot().m_fYMax;
    const int nPaints = m_view.Screen().PaintCount();
    const QImage shown = m_view.Screen().ShownPicture();
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() / "kovra-capture";
    std::filesystem::create_directories(directory);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory);
    QKeyEvent f9(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_view, &f9);
    m_app.Frame().Action(ID_EDIT_COPY)->trigger();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(directory);
    EXPECT_TRUE(m_app.Status().startsWith(QStringLiteral("Current view copied")));
    EXPECT_EQ(m_tones.m_nBeeps, nBeeps);
    EXPECT_EQ(m_view.Plot().m_fPointsPerDiv, fPpd);
    EXPECT_EQ(m_view.Plot().m_fYMax, fYMax);
    EXPECT_EQ(m_view.Screen().PaintCount(), nPaints);
    EXPECT_TRUE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32) ==
                shown);
}

// What the window shows, read from the screen.
QImage OnScreen(QWidget& widget) {
    const QPoint origin = widget.mapTo(widget.window(), QPoint(0, 0));
    return widget.screen()
        ->grabWindow(widget.window()->winId(), origin.x(), origin.y(), widget.width(),
                     widget.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

TEST_F(PaintPacingTest, TheViewPaintsStraightIntoTheWindowAndCapturesShowWhatItPainted) {
    m_view.Plot().m_bAutoScale = true;
    std::string strSets;
    for (int k = 0; k < 80; ++k) {
        strSets += std::to_string(k % 7) + " -" + std::to_string(k % 5) + "#";
    }
    const int nBefore = m_view.Screen().PaintCount();
    Receive(strSets);
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return m_view.Screen().PaintCount() > nBefore; }));
    CAppFixture::Pump(50);
    ASSERT_TRUE(m_view.Screen().Canvas().HoldsLastPaint());
    const QImage shown = OnScreen(*m_view.viewport());
    // Sets that no paint has shown yet.
    Receive("30 -30#31 -31#");
    const QImage captured = m_view.Screen().ShownPicture();
    EXPECT_TRUE(captured == shown);
    EXPECT_FALSE(m_view.Screen().RenderPicture() == shown);
    // Painted at last, the same way as the reference picture.
    const QImage expected = m_view.Screen().RenderPicture();
    m_view.viewport()->repaint();
    EXPECT_TRUE(m_view.Screen().Canvas().HoldsLastPaint());
    EXPECT_TRUE(OnScreen(*m_view.viewport()) == expected);
    // A capture keeps what it took: it is not a view of the window that later paints change.
    EXPECT_TRUE(captured == shown);
}

TEST_F(PaintPacingTest, TheWheelOverTheScrollBarMovesOneSampleTheWayItDoesOverThePlot) {
    std::string strSets;
    for (int k = 0; k < 300; ++k) {
        strSets += "1#";
    }
    Receive(strSets);
    // From the middle, where the bar itself could move either way.
    m_view.Navigator().ScrollBy(ScrollAction::PageOlder);
    m_view.Navigator().ScrollBy(ScrollAction::PageOlder);
    m_view.Navigator().UpdateScrollBar();
    QScrollBar* pBar = m_view.horizontalScrollBar();
    // The bar as the user sees it: shown, under the pointer. (A hidden bar takes no wheel.)
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return pBar->isVisible(); }));
    auto wheel = [&](QPoint delta) {
        QWheelEvent event({5, 5}, pBar->mapToGlobal(QPointF(5, 5)), {}, delta, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(pBar, &event);
    };
    std::vector<int> vScrollBack;
    for (int k = 0; k < 3; ++k) {
        wheel({0, -120});
        vScrollBack.push_back(m_view.Plot().m_nScrollBack);
    }
    for (int k = 0; k < 4; ++k) {
        wheel({0, 120});
        vScrollBack.push_back(m_view.Plot().m_nScrollBack);
    }
    // A sideways wheel (a tilt wheel, a touchpad) the same way.
    wheel({-120, 0});
    vScrollBack.push_back(m_view.Plot().m_nScrollBack);
    EXPECT_EQ(vScrollBack, (std::vector<int>{101, 102, 103, 102, 101, 100, 99, 100}));
    EXPECT_FALSE(m_view.Session().m_bCollecting);
}

TEST_F(PaintPacingTest, KeepCollectingHoldsTheWindowOnItsSamples) {
    std::string strSets;
    for (int k = 0; k < 300; ++k) {
        strSets += std::to_string(k) + "#";
    }
    Receive(strSets);
    m_app.Frame().Action(ID_PLOT_KEEPCOLLECTING)->trigger();
    EXPECT_TRUE(m_view.Plot().m_bKeepCollectingWhenScrolled);
    QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_view, &pageDown);
    EXPECT_TRUE(m_view.Session().m_bCollecting);
    EXPECT_EQ(m_view.Plot().m_nScrollBack, 50);
    Receive("300#301#302#");
    EXPECT_EQ(g_pPlotData->GetSampleCount(0), 303);
    EXPECT_EQ(m_view.Plot().m_nScrollBack, 53);
    // Following the newest data, the window moves on as before.
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_view, &end);
    Receive("303#");
    EXPECT_EQ(m_view.Plot().m_nScrollBack, 0);
    // F5 still pauses.
    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_view, &f5);
    Receive("304#");
    EXPECT_EQ(g_pPlotData->GetSampleCount(0), 304);
    // Off again (the default): scrolling stops collection.
    m_app.Frame().Action(ID_PLOT_KEEPCOLLECTING)->trigger();
    QCoreApplication::sendEvent(&m_view, &f5);
    QCoreApplication::sendEvent(&m_view, &pageDown);
    EXPECT_FALSE(m_view.Session().m_bCollecting);
}

TEST_F(PaintPacingTest, FitYRangeTakesTheShownValuesOfShownChannels) {
    // Channel 3 is hidden; the first set has left the window of 50 samples.
    std::string strSets = "100 -100 0#";
    for (int k = 0; k < 60; ++k) {
        strSets += std::to_string(k % 5) + " " + std::to_string(-k % 3) + " 1000#";
    }
    Receive(strSets);
    m_view.PlotCommands().OnChannelToggle(2);
    m_app.Frame().Action(ID_PLOT_FITY)->trigger();
    // Values 0..4 and -2..0: span 6, margin 0.3.
    EXPECT_FLOAT_EQ(m_view.Plot().m_fYMax, 4.3f);
    EXPECT_FLOAT_EQ(m_view.Plot().m_fYMin, -2.3f);
    EXPECT_EQ(m_app.Status(), QStringLiteral("STATUS: Y range fitted to the values in view"));
    g_pPlotData->ClearAll();
    m_app.Frame().Action(ID_PLOT_FITY)->trigger();
    EXPECT_EQ(m_app.Status(), QStringLiteral("ERROR: No values in view to fit"));
    EXPECT_FLOAT_EQ(m_view.Plot().m_fYMax, 4.3f);
}

TEST_F(PaintPacingTest, F7FitsTheYRangeFromTheKeyboard) {
    Receive("1 -3#2 -1#");
    m_app.Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_app.Frame()));
    m_view.setFocus();
    QTest::keyClick(&m_view, Qt::Key_F7);
    EXPECT_EQ(m_app.Status(), QStringLiteral("STATUS: Y range fitted to the values in view"));
    EXPECT_FLOAT_EQ(m_view.Plot().m_fYMax, 2.25f);
}

} // namespace

// A box of one colour over the plot.
class CBoxOverlay : public CPlotOverlay {
public:
    CBoxOverlay(QRect box, QRgb nColour, bool bPartOfPicture)
        : m_box(box), m_nColour(nColour), m_bPartOfPicture(bPartOfPicture) {}
    bool PartOfPicture() const override { return m_bPartOfPicture; }
    void Draw(QPainter& painter, const CPlotGeometry&) override {
        painter.fillRect(m_box, QColor(m_nColour));
    }

private:
    QRect m_box;
    QRgb m_nColour;
    bool m_bPartOfPicture;
};

TEST_F(PaintPacingTest, OverlaysOfTheWindowStayOutOfCapturesThoseOfThePictureGoIn) {
    const QRgb kRed = qRgb(255, 0, 0);
    const QRgb kBlue = qRgb(0, 0, 255);
    CBoxOverlay onWindow(QRect(100, 100, 10, 10), kRed, false);
    CBoxOverlay inPicture(QRect(200, 100, 10, 10), kBlue, true);
    m_view.Painter().AddOverlay(&onWindow);
    m_view.Painter().AddOverlay(&inPicture);
    m_view.viewport()->repaint();
    const QImage shown = OnScreen(*m_view.viewport());
    EXPECT_EQ(shown.pixel(105, 105), kRed);
    EXPECT_EQ(shown.pixel(205, 105), kBlue);
    for (const QImage& capture : {m_view.Screen().ShownPicture(), m_view.Screen().RenderPicture(),
                                  m_view.Screen().GrabView()}) {
        EXPECT_NE(capture.pixel(105, 105), kRed);
        EXPECT_EQ(capture.pixel(205, 105), kBlue);
    }
    m_view.Painter().RemoveOverlay(&onWindow);
    m_view.Painter().RemoveOverlay(&inPicture);
}

// Backspace moves the window to the newest samples and Keep Collecting changes how the window
// went along with them: the paints skipped before are caught up first, under the state they had.
TEST_F(PaintPacingTest, StateChangesCatchUpTheSkippedPaintsFirst) {
    const auto receiveSets = [this](int nCount, const std::string& strSet) {
        std::string strSets;
        for (int k = 0; k < nCount; ++k) {
            strSets += strSet;
        }
        Receive(strSets);
    };
    // Held at the oldest samples, the skipped paints never doubled ppd; replayed at the
    // newest, each would have.
    m_view.Plot() = SPlotSettings{1.0f, true, 0, 2.5f, -2.5f, false, 0.0f, 0.0f, true};
    receiveSets(40, "1#");
    Press(m_view, Qt::Key_Home);
    m_view.viewport()->repaint();
    const float fHeld = m_view.Plot().m_fPointsPerDiv;
    m_view.Screen().Pacer().SetRefreshRate(0.001);
    receiveSets(100, "1#");
    Press(m_view, Qt::Key_Backspace);
    m_view.viewport()->repaint();
    // One paint at the newest samples doubles once, for the test set's first channel.
    EXPECT_EQ(m_view.Plot().m_fPointsPerDiv, 2.0f * fHeld);

    // Not following the data, the skipped windows slid over a spike that the window shown
    // before and after never holds; replayed as following, they would have stood still.
    Press(m_view, Qt::Key_F12);
    m_view.Screen().Pacer().SetRefreshRate(60);
    m_view.Plot() = SPlotSettings{1.0f, false, 20, 2.5f, -2.5f, true, 0.0f, 0.0f, false};
    receiveSets(45, "0.5#");
    receiveSets(1, "9#");
    receiveSets(14, "0.5#");
    CAppFixture::Pump(50);
    ASSERT_EQ(m_view.Plot().m_fYMax, 0.5f * 1.1f);
    m_view.Screen().Pacer().SetRefreshRate(0.001);
    receiveSets(20, "0.5#");
    m_app.Frame().Action(ID_PLOT_KEEPCOLLECTING)->trigger();
    m_view.viewport()->repaint();
    EXPECT_EQ(m_view.Plot().m_fYMax, 9.0f * 1.1f);
}

// The paints that pacing skips each tested the newest value against the limits: their alarm
// sounds with the next paint, once however many of them would have beeped.
TEST_F(PaintPacingTest, SetsBetweenTwoPaintsSoundTheirAlarm) {
    g_pPlotData->SetSoundEnabled(0, true);
    g_pPlotData->SetBeepLimitMax(0, 1.8f);
    g_pPlotData->SetBeepLimitMin(0, -1.8f);
    const auto paintedAfter = [this](const std::string& strSets) {
        const int nBefore = m_view.Screen().PaintCount();
        Receive(strSets);
        return CAppFixture::WaitFor([&] { return m_view.Screen().PaintCount() > nBefore; });
    };
    ASSERT_TRUE(paintedAfter("0#"));
    ASSERT_TRUE(paintedAfter("2.0#0.5#"));
    EXPECT_EQ(m_tones.m_nBeeps, 1);
    ASSERT_TRUE(paintedAfter("2#2#-2#2#0#"));
    EXPECT_EQ(m_tones.m_nBeeps, 3);
}

// However many paints pacing skips, and whether a capture at a new size drew a picture of its
// own in between, the plot decides as a paint after every set would have.
TEST_F(PaintPacingTest, SkippedPaintsDecideAsAPaintAfterEverySetWould) {
    SPlotSettings reference;
    for (const int nRound : {0, 1, 2}) {
        Press(m_view, Qt::Key_F12);
        m_view.Plot() = SPlotSettings{1.0f, true, 0, 2.5f, -2.5f, true, 0.0f, 0.0f, false};
        // Round 0 paints after every set; the others not before the end.
        m_view.Screen().Pacer().SetRefreshRate(nRound == 0 ? 60 : 0.001);
        for (int k = 0; k < 120; ++k) {
            Receive(std::to_string(k % 9) + " -" + std::to_string(k % 4) + "#");
            if (nRound == 0) {
                m_view.viewport()->repaint();
            }
        }
        if (nRound == 2) {
            m_view.viewport()->resize(m_view.viewport()->size() - QSize(40, 30));
            ASSERT_FALSE(m_view.Screen().ShownPicture().isNull());
        }
        m_view.viewport()->repaint();
        const SPlotSettings& plot = m_view.Plot();
        if (nRound == 0) {
            reference = plot;
            ASSERT_GT(reference.m_fPointsPerDiv, 8.0f);
        } else {
            EXPECT_EQ(plot.m_fPointsPerDiv, reference.m_fPointsPerDiv) << nRound;
            EXPECT_EQ(plot.m_fYMax, reference.m_fYMax) << nRound;
            EXPECT_EQ(plot.m_fYMin, reference.m_fYMin) << nRound;
        }
    }
    m_view.Screen().Pacer().SetRefreshRate(60);
}
