#include "measure/Instrument.h"
#include "commands/CommandIds.h"
#include "measure/HoverReadout.h"
#include "measure/MouseZoom.h"
#include "measure/PlotCursors.h"
#include "measure/SetTimeKeeper.h"
#include "measure/StatisticsControl.h"
#include "measure/TriggerControl.h"
#include "session/AcquisitionSession.h"
#include "shell/StatusPane.h"
#include "view/KovraPlotterView.h"
#include "view/PlotScreen.h"

#include "AppTestSupport.h"
#include "PlotData.h"
#include "PlotScroll.h"
#include "PlotZoom.h"
#include "SerialWnd.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

// Sample k of a square wave of period 20, low first.
int Square(int k) {
    return k % 20 < 10 ? -1 : 1;
}

class InstrumentTest : public ::testing::Test {
protected:
    InstrumentTest() : m_view(m_app.View()), m_plot(*m_view.viewport()) {
        m_pSerial = ConnectScriptedPort(m_view);
        m_app.Frame().resize(600, 400);
        m_app.Frame().show();
        EXPECT_TRUE(CAppFixture::WaitFor([this] { return m_view.Screen().PaintCount() > 0; }));
        CAppFixture::Pump(100);
    }
    ~InstrumentTest() override { m_view.Session().m_bConnected = false; }

    void Receive(const std::string& strText) {
        m_pSerial->m_strNext = strText;
        m_view.Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR, 0), 0);
    }
    // Sets k = first .. first + count - 1 of "square k#" (or of "square 3#" with bConstant).
    void ReceiveSquare(int nFirst, int nCount, bool bConstant = false) {
        std::string strSets;
        for (int k = nFirst; k < nFirst + nCount; ++k) {
            strSets += std::to_string(Square(k)) + " " + std::to_string(bConstant ? 3 : k) + "#";
        }
        Receive(strSets);
    }
    void Mouse(QEvent::Type eType, QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const Qt::MouseButton eButton = eType == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(eType, at, m_plot.mapToGlobal(at), eButton,
                          eType == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          modifiers);
        QCoreApplication::sendEvent(&m_plot, &event);
    }
    void Click(QPoint at, Qt::KeyboardModifiers modifiers) {
        Mouse(QEvent::MouseButtonPress, at, modifiers);
        Mouse(QEvent::MouseButtonRelease, at, modifiers);
    }
    QImage OnScreen() const {
        const QPoint origin = m_plot.mapTo(m_plot.window(), QPoint(0, 0));
        return m_plot.screen()
            ->grabWindow(m_plot.window()->winId(), origin.x(), origin.y(), m_plot.width(),
                         m_plot.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    void PaintNow() {
        m_plot.repaint();
        CAppFixture::Pump(20);
    }

    CAppFixture m_app;
    CKovraPlotterView& m_view;
    QWidget& m_plot;
    CScriptedSerial* m_pSerial = nullptr;
};

TEST_F(InstrumentTest, HoverShowsTheValuesUnderThePointerAndPaintsNothingButItsLine) {
    ReceiveSquare(0, 60);
    PaintNow();
    m_view.Status().SetStatusText("before hovering");
    const QImage plot = m_view.Screen().ShownPicture();
    const int nPaints = m_view.Screen().PaintCount();
    const CPlotGeometry geometry(m_plot.width(), m_plot.height());
    for (const int x : {200, 215, 350}) {
        const int nStrips = m_view.Screen().StripPaintCount();
        Mouse(QEvent::MouseMove, {x, 100});
        const int n = *m_view.Instrument().Hover().Sample();
        EXPECT_EQ(
            m_app.Status(),
            QStringLiteral("#%1  0.000 s  ch 1 %2.00  ch 2 %3.00").arg(n).arg(Square(n)).arg(n));
        ASSERT_TRUE(
            CAppFixture::WaitFor([&] { return m_view.Screen().StripPaintCount() > nStrips; }));
        // The window shows the plot as it was, with the line at that sample and nowhere else.
        QImage expected = plot;
        QPainter painter(&expected);
        m_view.Instrument().Hover().Draw(painter, geometry);
        painter.end();
        EXPECT_TRUE(OnScreen() == expected) << x;
    }
    EXPECT_EQ(m_view.Screen().PaintCount(), nPaints);
    EXPECT_TRUE(m_view.Screen().ShownPicture() == plot);
    EXPECT_TRUE(
        m_view.Screen().GrabView().copy(m_plot.geometry()).convertToFormat(QImage::Format_RGB32) ==
        plot);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&m_plot, &leave);
    EXPECT_EQ(m_app.Status(), QStringLiteral("before hovering"));
    CAppFixture::Pump(50);
    EXPECT_TRUE(OnScreen() == plot);
}

TEST_F(InstrumentTest, ADragZoomsToTheRectangleAndZoomBackReturns) {
    ReceiveSquare(0, 300);
    PaintNow();
    const SPlotSettings before = m_view.Plot();
    const int nFirstCount = g_pPlotData->GetSampleCount(0);
    // A click is no zoom.
    Click({200, 150}, Qt::NoModifier);
    EXPECT_FALSE(m_view.Instrument().Zoom().CanGoBack());

    Mouse(QEvent::MouseButtonPress, {300, 250});
    Mouse(QEvent::MouseMove, {250, 200});
    Mouse(QEvent::MouseButtonRelease, {150, 100});
    const SZoom zoom = ZoomToRect(CPlotGeometry(m_plot.width(), m_plot.height()),
                                  {before.m_fPointsPerDiv, 0, before.m_fYMax, before.m_fYMin},
                                  nFirstCount, {300, 250}, {150, 100});
    ASSERT_EQ(zoom.m_eResult, EZoomResult::kZoomed);
    EXPECT_EQ(m_view.Plot().m_fPointsPerDiv, zoom.m_ranges.m_fPointsPerDiv);
    EXPECT_LT(m_view.Plot().m_fPointsPerDiv, before.m_fPointsPerDiv);
    EXPECT_EQ(m_view.Plot().m_nScrollBack, zoom.m_ranges.m_nScrollBack);
    EXPECT_EQ(m_view.Plot().m_fYMax, zoom.m_ranges.m_fYMax);
    EXPECT_EQ(m_view.Plot().m_fYMin, zoom.m_ranges.m_fYMin);
    // A window back in the history stops collection, as scrolling back does.
    EXPECT_FALSE(m_view.Session().m_bCollecting);

    m_app.Frame().UpdateCommandUI();
    QAction* pZoomBack = m_app.Frame().Action(ID_PLOT_ZOOMBACK);
    ASSERT_TRUE(pZoomBack->isEnabled());
    pZoomBack->trigger();
    EXPECT_EQ(m_view.Plot().m_fPointsPerDiv, before.m_fPointsPerDiv);
    EXPECT_EQ(m_view.Plot().m_nScrollBack, 0);
    EXPECT_EQ(m_view.Plot().m_fYMax, before.m_fYMax);
    EXPECT_EQ(m_view.Plot().m_fYMin, before.m_fYMin);
    EXPECT_FALSE(pZoomBack->isEnabled());
}

TEST_F(InstrumentTest, TheTriggerHoldsASquareWaveStillAcross100Sets) {
    m_view.Plot().m_fPointsPerDiv = 4.0f; // two periods in view
    m_app.m_dialogs.m_fnRunDialog = [](QDialog& dialog) {
        dialog.findChild<QCheckBox*>("checkOn")->setChecked(true);
        dialog.findChild<QComboBox*>("comboChannel")->setCurrentIndex(0);
        dialog.findChild<QLineEdit*>("editLevel")->setText("0");
        dialog.findChild<QComboBox*>("comboEdge")->setCurrentText("Rising");
        dialog.findChild<QLineEdit*>("editPosition")->setText("25");
        dialog.accept();
        return QDialog::Accepted;
    };
    m_app.Frame().Action(ID_PLOT_TRIGGER)->trigger();
    ReceiveSquare(0, 100, true);
    const CPlotGeometry geometry(m_plot.width(), m_plot.height());
    // The traces, without the labels that number the samples.
    const QRect traces(geometry.GetLeft() + 1, geometry.GetTop(),
                       geometry.GetRight() - geometry.GetLeft() - 1,
                       geometry.GetBottom() - geometry.GetTop());
    const QImage held = m_view.Screen().RenderPicture().copy(traces);
    for (int k = 100; k < 200; ++k) {
        ReceiveSquare(k, 1, true);
        ASSERT_TRUE(m_view.Screen().RenderPicture().copy(traces) == held) << k;
    }
    EXPECT_EQ(g_pPlotData->GetSampleCount(0), 200);
    // The newest crossing whose window is full: 30 samples after it and one more.
    EXPECT_EQ(m_view.Instrument().Trigger().Trigger().Held(), 150);
    m_app.Frame().UpdateCommandUI();
    EXPECT_EQ(m_app.Frame().StatusPane()->State().m_strTrigger,
              "TRIG ch1 \u2191 0.00: triggered at #150");
    // Scrolling leaves the trigger's window until End.
    Press(m_view, Qt::Key_PageDown);
    EXPECT_FALSE(m_view.Instrument().Trigger().InView());
    Press(m_view, Qt::Key_End);
    EXPECT_TRUE(m_view.Instrument().Trigger().InView());
    // The crossing goes with the data (F12): armed again.
    Press(m_view, Qt::Key_F12);
    EXPECT_EQ(m_view.Instrument().Trigger().Trigger().Held(), std::nullopt);
    m_app.Frame().UpdateCommandUI();
    EXPECT_EQ(m_app.Frame().StatusPane()->State().m_strTrigger, "TRIG ch1 \u2191 0.00: armed");
}

TEST_F(InstrumentTest, SingleHoldsTheFirstCrossingUntilArmedAgain) {
    m_view.Plot().m_fPointsPerDiv = 1.0f; // windows of 10 samples
    m_view.Instrument().Trigger().Apply(
        {true, 0, 0.0f, ETriggerEdge::kFalling, 50, ETriggerMode::kSingle});
    ReceiveSquare(0, 100, true);
    // Falling at 20, 40, ...: the first one stays.
    EXPECT_EQ(m_view.Instrument().Trigger().Trigger().Held(), 20);
    m_app.Frame().UpdateCommandUI();
    m_app.Frame().Action(ID_PLOT_ARMTRIGGER)->trigger();
    EXPECT_EQ(m_view.Instrument().Trigger().Trigger().State(), ETriggerState::kArmed);
    ReceiveSquare(100, 30, true);
    // The next one after arming: 99 was high.
    EXPECT_EQ(m_view.Instrument().Trigger().Trigger().Held(), 100);
    // The window of 10 samples with the crossing in its middle.
    EXPECT_EQ(ComputeVisibleWindow(130, 1.0f, m_view.Plot().m_nScrollBack, false).m_nStart, 95);
    // Off: the plot follows the newest data again, and no level is drawn.
    m_view.Instrument().Trigger().Apply({});
    EXPECT_EQ(m_view.Plot().m_nScrollBack, 0);
    EXPECT_FALSE(m_view.Instrument().Trigger().Visible());
}

TEST_F(InstrumentTest, CursorsAndTheTriggerLevelAreOnTheWindowOnly) {
    ReceiveSquare(0, 60);
    PaintNow();
    const QImage plain = m_view.Screen().ShownPicture();
    m_view.Instrument().Trigger().Apply(
        {true, 1, 1.0f, ETriggerEdge::kRising, 50, ETriggerMode::kNormal});
    Click({150, 100}, Qt::ControlModifier);
    Click({250, 100}, Qt::ShiftModifier);
    PaintNow();
    EXPECT_FALSE(OnScreen() == plain);
    EXPECT_TRUE(m_view.Screen().ShownPicture() == plain);
    EXPECT_TRUE(m_view.Screen().RenderPicture() == plain);
}

TEST_F(InstrumentTest, TheReadoutTellsEachSetsTimeWhereItIsKnown) {
    ReceiveSquare(0, 4);
    m_view.Instrument().Times().AdoptRecordingTimes({1000, 1250, 2500, 3000});
    PaintNow();
    m_view.Instrument().Times().SetXAxisInSeconds(true);
    // Sample 2 of a window of 50 that holds 3 (the newest is not drawn).
    const int x = CPlotGeometry(m_plot.width(), m_plot.height()).PositionToX(2, 5.0f);
    const struct {
        std::function<void()> fnBefore;
        QString strExpected;
    } cases[] = {
        {[] {}, QStringLiteral("#2  1.500 s  ch 1 -1.00  ch 2 2.00")},
        // An opened file without times; the store emptied and filled anew.
        {[&] { m_view.Instrument().Times().OnLoaded(); },
         QStringLiteral("#2  ch 1 -1.00  ch 2 2.00")},
        {[&] {
             g_pPlotData->ClearAll();
             ReceiveSquare(0, 4);
         },
         QStringLiteral("#2  0.000 s  ch 1 -1.00  ch 2 2.00")},
    };
    for (const auto& test : cases) {
        test.fnBefore();
        Mouse(QEvent::MouseMove, {x, 100});
        EXPECT_EQ(m_app.Status(), test.strExpected);
        Mouse(QEvent::MouseMove, {x + 100, 100});
    }
}

TEST_F(InstrumentTest, TheStatisticsPanelShowsTheFiguresOfAKnownSignal) {
    m_app.Frame().Action(ID_VIEW_STATISTICS)->trigger();
    const CStatisticsPanel& panel = *m_view.Instrument().Statistics().Panel();
    ASSERT_TRUE(panel.isVisible());
    EXPECT_LT(m_plot.width() + panel.width(), m_app.Frame().width() + 1);
    ReceiveSquare(0, 400, true);
    const auto cell = [&](const char* szTable, int nRow, int nColumn) {
        const QTableWidgetItem* pItem =
            panel.findChild<QTableWidget*>(szTable)->item(nRow, nColumn);
        return pItem != nullptr ? pItem->text() : QString();
    };
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return cell("tableAll", 0, 6) == "400"; }));
    // (The mean is 0 to a few units in the last place.)
    EXPECT_LT(std::fabs(cell("tableAll", 0, 4).toDouble()), 1e-15);
    const QStringList square = {"ch 1", "1.00", "-1.00", "1.00", "", "1.00", "400"};
    const QStringList constant = {"ch 2", "3.00", "3.00", "3.00", "3.00", "0.00", "400"};
    for (int c = 0; c < 7; ++c) {
        if (!square[c].isEmpty()) {
            EXPECT_EQ(cell("tableAll", 0, c), square[c]) << c;
        }
        EXPECT_EQ(cell("tableAll", 1, c), constant[c]) << c;
    }
    // The window: samples 349 to 398 (the newest is not drawn).
    EXPECT_EQ(cell("tableInView", 0, 1), "1.00");
    EXPECT_EQ(cell("tableInView", 0, 6), "50");
    EXPECT_EQ(cell("tableLine", 0, 1), "400");
    EXPECT_EQ(cell("tableLine", 1, 1), QString::number(200 * 5 + 200 * 4));
    // A notification that tells of a framing error.
    m_view.Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR | EV_ERR, CE_FRAME), 0);
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return cell("tableLine", 4, 1) == "1"; }));

    // Between the cursors, both samples included.
    Click({m_plot.width() / 3, 150}, Qt::ControlModifier);
    Click({m_plot.width() * 2 / 3, 150}, Qt::ShiftModifier);
    EXPECT_TRUE(m_app.Status().startsWith(QStringLiteral("A #")));
    const auto range = m_view.Instrument().Cursors().Pair().Range();
    ASSERT_TRUE(range);
    ASSERT_TRUE(CAppFixture::WaitFor([&] {
        return cell("tableInView", 0, 6) == QString::number(range->m_nLast - range->m_nFirst);
    }));
    EXPECT_TRUE(panel.Figures().m_bBetweenCursors);
    Press(m_view, Qt::Key_Escape);
    EXPECT_FALSE(m_view.Instrument().Cursors().Visible());
}

TEST_F(InstrumentTest, TheLineRatesCountEveryByteAndEachSetOnce) {
    m_app.Frame().Action(ID_VIEW_STATISTICS)->trigger();
    const auto rate = [&](int nRow) {
        m_view.Instrument().Statistics().Refresh();
        return m_view.Instrument().Statistics().Panel()->Figures().m_vLine[nRow].second;
    };
    // Bytes that end no set yet.
    Receive("1 2 3 4 5 6 7 8 9");
    EXPECT_EQ(rate(1), "17");
    EXPECT_EQ(rate(0), "0");
    Receive("#");
    ReceiveSquare(0, 9);
    // Emptied data takes nothing back from what arrived.
    Press(m_view, Qt::Key_F12);
    ReceiveSquare(0, 25);
    EXPECT_EQ(rate(0), "35");
}

} // namespace
