#include "commands/CommandIds.h"
#include "files/PictureCommands.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"
#include "view/PlotNavigator.h"
#include "view/PlotScreen.h"
#include "view/overlays/LegendOverlay.h"

#include "AppTestSupport.h"
#include "PlotData.h"
#include "PlotGeometry.h"
#include "PlotScroll.h"
#include "TonePlayer.h"

#include <QCoreApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <random>

namespace {

constexpr int kWidth = 485; // (485 - 80) / 10 leaves the last grid line short of the edge
constexpr int kHeight = 340;
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(200, 200, 200);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);

class CRecordingTones : public CToneOutput {
public:
    void Beep(DWORD dwFrequency, DWORD) override { m_vFrequencies.push_back(dwFrequency); }
    std::vector<DWORD> m_vFrequencies;
};

class RenderTest : public ::testing::Test {
protected:
    RenderTest() { SetToneOutput(&m_tones); }
    ~RenderTest() override { SetToneOutput(nullptr); }

    QImage Paint() {
        QImage picture(kWidth, kHeight, QImage::Format_RGB32);
        m_app.View().OnDraw(picture);
        return picture;
    }
    // Whether any pixel of the box is darker than the grid: text or a trace.
    static bool HasInk(const QImage& picture, const QRect& box) {
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                if (qGray(picture.pixel(x, y)) < 150) {
                    return true;
                }
            }
        }
        return false;
    }
    CPixel PointOf(int p, float v) const {
        const CPlotGeometry geometry(kWidth, kHeight);
        const CKovraPlotterView& view = m_app.View();
        return {geometry.PositionToX(p, view.Plot().m_fPointsPerDiv),
                ValueToY(geometry, v, view.Plot().m_fYMax, view.Plot().m_fYMin)};
    }

    CRecordingTones m_tones;
    CAppFixture m_app;
    const CPlotGeometry m_geometry{kWidth, kHeight};
};

TEST_F(RenderTest, EmptyStoreShowsTheGridLabelsAndCaptionOnly) {
    const QImage picture = Paint();
    EXPECT_EQ(picture.pixel(kWidth - 10, kHeight / 2), kWhite);
    for (int i = 0; i <= 10; ++i) {
        // Right of the last vertical line, where no text reaches.
        EXPECT_EQ(picture.pixel(m_geometry.GetRight() - 1, m_geometry.GetGridY(i)), kGrey) << i;
        EXPECT_EQ(picture.pixel(m_geometry.GetGridX(i), m_geometry.GetBottom() - 1), kGrey) << i;
        EXPECT_TRUE(HasInk(picture, QRect(2, m_geometry.GetYLabelTop(i), 30, 12))) << i;
    }
    // Lines end one pixel before their end point.
    EXPECT_EQ(picture.pixel(m_geometry.GetRight(), m_geometry.GetGridY(3)), kWhite);
    EXPECT_TRUE(HasInk(picture, QRect(m_geometry.GetCaptionLeft(), 3, 150, 14)));
    EXPECT_FALSE(HasInk(picture, QRect(0, m_geometry.GetXLabelTop(), kWidth, 17)));
}

// A row for each shown channel in use: its name (or "ch N") and latest value, "-" for a gap.
TEST_F(RenderTest, TheLegendListsEachShownChannelWithItsLatestValue) {
    g_pPlotData->SetBoardFormat(EBoardFormat::kLines);
    g_pPlotData->Interpret("temp:1.5 hum:3 -1\n2.5,,-7e-3\n");
    g_pPlotData->ToggleHidden(0);
    QStringList vRows;
    for (const CLegendOverlay::SRow& row : CLegendOverlay::Rows()) {
        vRows << QStringLiteral("%1 %2 %3").arg(row.m_nChannel).arg(row.m_strName, row.m_strValue);
    }
    EXPECT_EQ(vRows, (QStringList{"1 hum -", "2 ch 3 -0.007"}));
}

// Off, the picture is as it always was; on, the box is in the picture that F9 and printing
// take, in the corner Legend Position moves it to.
TEST_F(RenderTest, TheLegendIsPartOfThePictureInItsCornerOnlyWhileOn) {
    g_pPlotData->Interpret("0 1 2#0 1 2#");
    CPlotScreen& screen = m_app.View().Screen();
    const QImage off = screen.RenderPicture();
    const CPlotGeometry geometry(off.width(), off.height());
    const QRect topRight(geometry.GetRight() - 60, geometry.GetTop() + 1, 50, 30);
    const QRect bottomRight(geometry.GetRight() - 60, geometry.GetBottom() - 31, 50, 30);
    EXPECT_FALSE(HasInk(off, topRight));
    m_app.Frame().Action(ID_PLOT_LEGEND)->trigger();
    const QImage on = screen.RenderPicture();
    EXPECT_TRUE(HasInk(on, topRight));
    // Channel 2's row: a line in its colour.
    const QImage corner = on.copy(geometry.GetRight() - 150, geometry.GetTop(), 150, 80);
    const auto* pPixels = reinterpret_cast<const QRgb*>(corner.constBits());
    EXPECT_NE(std::find(pPixels, pPixels + 150 * 80, kBlue), pPixels + 150 * 80);
    m_app.Frame().Action(ID_PLOT_LEGENDPOSITION)->trigger();
    EXPECT_EQ(m_app.Status(), "Legend in the bottom right corner");
    const QImage moved = screen.RenderPicture();
    EXPECT_FALSE(HasInk(moved, topRight));
    EXPECT_TRUE(HasInk(moved, bottomRight));
    m_app.Frame().Action(ID_PLOT_LEGEND)->trigger();
    EXPECT_EQ(screen.RenderPicture(), off);
}

TEST_F(RenderTest, SamplesAreBlackCrossesJoinedInTheChannelColour) {
    g_pPlotData->Interpret("0 0.5#0 -0.5#");
    const QImage picture = Paint();
    const CPixel first = PointOf(0, 0.5f);
    const CPixel second = PointOf(1, -0.5f);
    EXPECT_EQ(picture.pixel(first.m_nX - 3, first.m_nY), kBlack);
    EXPECT_EQ(picture.pixel(first.m_nX, first.m_nY - 3), kBlack);
    EXPECT_NE(picture.pixel(first.m_nX, first.m_nY - 4), kBlack);
    // Channel 2 is blue: its line runs from the first point down to the second.
    EXPECT_EQ(picture.pixel(first.m_nX + (second.m_nX - first.m_nX) / 2,
                            first.m_nY + (second.m_nY - first.m_nY) / 2),
              kBlue);
    EXPECT_TRUE(HasInk(picture, QRect(m_geometry.GetGridX(0), m_geometry.GetXLabelTop(), 20, 15)));
}

TEST_F(RenderTest, ValuesBeyondTheRangeAreDrawnOnItsEdges) {
    g_pPlotData->Interpret("10#-10#");
    const QImage picture = Paint();
    const int x0 = PointOf(0, 0).m_nX;
    const int x1 = PointOf(1, 0).m_nX;
    EXPECT_EQ(picture.pixel(x0 - 3, m_geometry.GetTop()), kBlack);
    EXPECT_EQ(picture.pixel(x1 - 3, m_geometry.GetBottom()), kBlack);
}

TEST_F(RenderTest, HiddenChannelsAndColourlessLinesDrawNothing) {
    g_pPlotData->Interpret("-1#1.6#-1#");
    g_pPlotData->SetColor(0, 7);
    const QImage shown = Paint();
    const CPixel a = PointOf(0, -1.0f);
    const CPixel b = PointOf(1, 1.6f);
    // Colour index 7: the crosses, no line between them.
    EXPECT_EQ(shown.pixel(a.m_nX - 3, a.m_nY), kBlack);
    EXPECT_EQ(shown.pixel((a.m_nX + b.m_nX) / 2, (a.m_nY + b.m_nY) / 2), kWhite);
    g_pPlotData->ToggleHidden(0);
    const QImage hidden = Paint();
    EXPECT_EQ(hidden.pixel(a.m_nX - 3, a.m_nY), kWhite);
    EXPECT_FALSE(HasInk(hidden, QRect(0, m_geometry.GetXLabelTop(), kWidth, 17)));
}

TEST_F(RenderTest, AlarmSoundsForTheNewestValueAtEveryPaint) {
    g_pPlotData->SetSoundEnabled(0, true);
    g_pPlotData->SetBeepLimitMin(0, -1.8f);
    g_pPlotData->SetBeepLimitMax(0, 1.8f);
    Paint(); // no set yet: no channel is drawn
    g_pPlotData->Interpret("1.0#");
    Paint();
    EXPECT_TRUE(m_tones.m_vFrequencies.empty());
    g_pPlotData->Interpret("2.0#");
    Paint();
    Paint();
    g_pPlotData->Interpret("-2.0#");
    Paint();
    EXPECT_EQ(m_tones.m_vFrequencies, (std::vector<DWORD>{3000, 3000, 400}));
    // Limits the wrong way round: a value between them sounds both, the high one first.
    m_tones.m_vFrequencies.clear();
    g_pPlotData->SetBeepLimitMin(0, 1.0f);
    g_pPlotData->SetBeepLimitMax(0, -1.0f);
    g_pPlotData->Interpret("0.0#");
    Paint();
    EXPECT_EQ(m_tones.m_vFrequencies, (std::vector<DWORD>{3000, 400}));
    m_tones.m_vFrequencies.clear();
    g_pPlotData->ToggleHidden(0);
    Paint();
    EXPECT_TRUE(m_tones.m_vFrequencies.empty());
}

TEST_F(RenderTest, AutomaticScalingGrowsTheRangeAndNeverMakesItInfinite) {
    CKovraPlotterView& view = m_app.View();
    view.Plot().m_bAutoScale = true;
    g_pPlotData->Interpret("1.0#3.0#2.0#");
    Paint();
    EXPECT_EQ(view.Plot().m_fYMax, 3.0f * 1.1f);
    EXPECT_EQ(view.Plot().m_fYMin, -2.5f);
    g_pPlotData->Interpret((std::string(99, '9') + "#").c_str());
    Paint();
    EXPECT_EQ(view.Plot().m_fYMax, 3.0f * 1.1f);
    EXPECT_TRUE(std::isfinite(view.Plot().m_fYMin));
}

TEST_F(RenderTest, OddSettingsNeitherFailNorLeaveThePicture) {
    CKovraPlotterView& view = m_app.View();
    g_pPlotData->Interpret(
        ("1 " + std::string(99, '9') + " -" + std::string(99, '9') + "#").c_str());
    for (int c = 0; c < 3; ++c) {
        g_pPlotData->SetMarkMinMax(c, true);
    }
    view.Plot().m_fYMax = view.Plot().m_fYMin = 1.0f;
    QImage picture = Paint();
    // An empty range draws every value on the middle line.
    EXPECT_EQ(picture.pixel(PointOf(0, 0).m_nX - 3, m_geometry.GetMiddleY()), kBlack);
    view.Plot().m_fYMax = 2.5f;
    view.Plot().m_fYMin = -2.5f;
    view.Plot().m_fPointsPerDiv = 2e9f;
    view.Plot().m_nScrollBack = std::numeric_limits<int>::max();
    // Channel 1's min/max line (1.0) lies in the range; channel 2's (inf) far above it, drawn
    // nowhere; channel 3's (-inf) far below, drawn nowhere either, with or without it.
    const int nLineY = ValueToY(m_geometry, 1.0f, 2.5f, -2.5f);
    for (const bool bThirdMarked : {true, false}) {
        g_pPlotData->SetMarkMinMax(2, bThirdMarked);
        picture = Paint();
        int nInk = 0;
        for (int x = m_geometry.GetLeft(); x < m_geometry.GetRight(); ++x) {
            nInk += picture.pixel(x, nLineY) == kBlack ? 1 : 0;
        }
        EXPECT_GT(nInk, (m_geometry.GetRight() - m_geometry.GetLeft()) / 3) << bThirdMarked;
        EXPECT_EQ(picture.pixel(kWidth - 10, 2), kWhite) << bThirdMarked;
    }
}

TEST_F(RenderTest, DoublingPpdKeepsTheWholeSeriesInView) {
    CKovraPlotterView& view = m_app.View();
    view.Plot().m_bDoublePpdAtMax = true;
    for (int k = 0; k < 52; ++k) {
        g_pPlotData->Interpret("1#");
    }
    const QImage picture = Paint();
    EXPECT_EQ(view.Plot().m_fPointsPerDiv, 10.0f);
    // Every sample, the first one too, is in the window that the doubled ppd gives.
    for (int j = 0; j < 52; ++j) {
        const CPixel point = PointOf(j, 1.0f);
        EXPECT_EQ(picture.pixel(point.m_nX, point.m_nY), kBlack) << j;
    }
}

TEST_F(RenderTest, ScrollBarWheelAndArrowsMoveTheWindow) {
    CKovraPlotterView& view = m_app.View();
    QScrollBar* pBar = view.horizontalScrollBar();
    m_app.Frame().resize(800, 600);
    view.Navigator().UpdateScrollBar();
    EXPECT_EQ(pBar->maximum(), 0);
    for (int k = 0; k < 100; ++k) {
        g_pPlotData->Interpret("1#");
    }
    view.Navigator().UpdateScrollBar();
    // Range 0..100 with a page of 50: the box's last position is 51, where it sits.
    EXPECT_EQ(pBar->maximum(), 51);
    EXPECT_EQ(pBar->pageStep(), 50);
    EXPECT_EQ(pBar->value(), 51);

    pBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(view.Plot().m_nScrollBack, 1);
    EXPECT_FALSE(view.Session().m_bCollecting);
    EXPECT_EQ(pBar->value(), 50);
    pBar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(view.Plot().m_nScrollBack, 1);
    EXPECT_EQ(pBar->value(), 50);

    QWheelEvent down({10, 10}, {10, 10}, {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &down);
    EXPECT_EQ(view.Plot().m_nScrollBack, 2);
    QWheelEvent up({10, 10}, {10, 10}, {}, {0, 360}, Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &up);
    EXPECT_EQ(view.Plot().m_nScrollBack, 1);

    // A drag is measured from the previous drag notification.
    g_nLastTrackPos = 0;
    pBar->setSliderDown(true);
    pBar->setSliderPosition(40);
    EXPECT_EQ(view.Plot().m_nScrollBack, 0);
    pBar->setSliderPosition(30);
    EXPECT_EQ(view.Plot().m_nScrollBack, 10);
    EXPECT_EQ(pBar->sliderPosition(), 30);
    pBar->setSliderDown(false);
    EXPECT_EQ(pBar->value(), 41);
}

TEST_F(RenderTest, LayeredPaintIsThePictureOfDrawingEverySampleInOrder) {
    CKovraPlotterView& view = m_app.View();
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 0.4f);
    std::uniform_int_distribution<int> chance(0, 99);
    float walk[10] = {};
    for (int k = 0; k < 6000; ++k) {
        std::string set;
        for (int c = 0; c < 10; ++c) {
            walk[c] += noise(random) * 0.2f;
            const float v = c % 3 == 0 ? walk[c]
                            : c % 3 == 1
                                ? noise(random) + static_cast<float>(c - 5) * 0.3f
                                : (chance(random) < 2 ? 4.0f : 0.1f * static_cast<float>(c));
            set += std::to_string(v) + " ";
        }
        g_pPlotData->Interpret((set + "#").c_str());
    }
    QImage warmUp(10, 10, QImage::Format_RGB32);
    view.OnDraw(warmUp); // takes in the sets received so far
    struct SCase {
        float fPointsPerDiv;
        bool bAutoScale;
        bool bDouble;
        float fYMin; // a range that puts a min/max line over the X labels, or not
    };
    const SCase cases[] = {{5.0f, false, false, -2.5f},
                           {600.0f, false, false, -2.5f},
                           {600.0f, true, false, -2.5f},
                           {60.0f, false, true, -2.5f},
                           {600.0f, false, false, -0.5f}};
    for (const SCase& testCase : cases) {
        for (int c = 0; c < 10; ++c) {
            g_pPlotData->SetPointType(c, c % 5);
            g_pPlotData->SetInterpolate(c, c != 4);
            g_pPlotData->SetMarkMinMax(c, c % 2 == 0);
            g_pPlotData->SetColor(c, c == 7 ? 7 : c % 7);
        }
        g_pPlotData->ToggleHidden(8);
        auto paint = [&](CPlotPainter::EDrawOrder eOrder,
                         QImage::Format eFormat = QImage::Format_RGB32) {
            view.Plot().m_fPointsPerDiv = testCase.fPointsPerDiv;
            view.Plot().m_bAutoScale = testCase.bAutoScale;
            view.Plot().m_bDoublePpdAtMax = testCase.bDouble;
            view.Plot().m_fYMax = 2.5f;
            view.Plot().m_fYMin = testCase.fYMin;
            view.Plot().m_fAutoMax = view.Plot().m_fAutoMin = 0.0f;
            QImage picture(kWidth, kHeight, eFormat);
            view.OnDraw(picture, eOrder);
            return picture;
        };
        const QImage layered = paint(CPlotPainter::EDrawOrder::kLayered);
        const QImage reference = paint(CPlotPainter::EDrawOrder::kOneByOne);
        EXPECT_TRUE(layered == reference) << "ppd " << testCase.fPointsPerDiv;
        // Painted straight into an X11 window's store, which has an alpha channel: the same
        // bytes, every pixel opaque.
        QImage premultiplied =
            paint(CPlotPainter::EDrawOrder::kLayered, QImage::Format_ARGB32_Premultiplied);
        EXPECT_TRUE(premultiplied.reinterpretAsFormat(QImage::Format_ARGB32) &&
                    premultiplied == layered.convertToFormat(QImage::Format_ARGB32))
            << "ppd " << testCase.fPointsPerDiv;
        g_pPlotData->ToggleHidden(8);
    }
}

TEST_F(RenderTest, LayeredPaintMatchesAtEverySizeDownToOnePixel) {
    CKovraPlotterView& view = m_app.View();
    std::mt19937 random(9);
    std::normal_distribution<float> noise(0.0f, 1.5f);
    for (int k = 0; k < 400; ++k) {
        std::string set;
        for (int c = 0; c < 4; ++c) {
            set += std::to_string(noise(random)) + " ";
        }
        g_pPlotData->Interpret((set + "#").c_str());
    }
    for (int c = 0; c < 4; ++c) {
        g_pPlotData->SetPointType(c, c);
        g_pPlotData->SetMarkMinMax(c, false);
    }
    QImage warmUp(10, 10, QImage::Format_RGB32);
    view.OnDraw(warmUp); // takes in the sets received so far
    const QSize sizes[] = {{1, 1},    {2, 7},    {79, 1},   {300, 20}, {300, 30},
                           {300, 36}, {800, 20}, {300, 39}, {300, 40}, {120, 45}};
    for (const QSize size : sizes) {
        for (const float fPpd : {5.0f, 40.0f}) {
            auto paint = [&](CPlotPainter::EDrawOrder eOrder) {
                view.Plot().m_fPointsPerDiv = fPpd;
                QImage picture(size, QImage::Format_RGB32);
                view.OnDraw(picture, eOrder);
                return picture;
            };
            EXPECT_TRUE(paint(CPlotPainter::EDrawOrder::kLayered) ==
                        paint(CPlotPainter::EDrawOrder::kOneByOne))
                << size.width() << "x" << size.height() << " ppd " << fPpd;
        }
    }
}

TEST_F(RenderTest, PrintsThePictureToAFile) {
    const std::string strPath = std::filesystem::current_path() / "printed.pdf";
    g_pPlotData->Interpret("1 2#2 1#");
    m_app.m_dialogs.m_fnRunDialog = [&](QDialog& dialog) {
        auto& print = dynamic_cast<QPrintDialog&>(dialog);
        print.printer()->setOutputFormat(QPrinter::PdfFormat);
        print.printer()->setOutputFileName(QString::fromStdString(strPath));
        return int(QDialog::Accepted);
    };
    m_app.View().Pictures().OnFilePrint();
    ASSERT_TRUE(std::filesystem::exists(strPath));
    std::filesystem::remove(strPath);
    // On a page twice as high as the plot and wider, the plot fills its height from the top
    // left, every pixel doubled, and leaves the rest of the width blank.
    m_app.Frame().resize(600, 400);
    CAppFixture::Pump(50);
    const QImage picture = m_app.View().Screen().RenderPicture();
    ASSERT_GT(picture.width(), 100);
    QImage page(2 * picture.width() + 100, 2 * picture.height(), QImage::Format_RGB32);
    page.fill(Qt::white);
    m_app.View().Pictures().PrintPicture(page);
    EXPECT_TRUE(page.copy(0, 0, 2 * picture.width(), 2 * picture.height()) ==
                picture.scaled(picture.size() * 2));
    QImage blank(100, page.height(), QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_TRUE(page.copy(2 * picture.width(), 0, 100, page.height()) == blank);
}

} // namespace
