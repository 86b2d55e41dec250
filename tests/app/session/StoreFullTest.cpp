#include "commands/CommandIds.h"
#include "dialogs/StatusSink.h"
#include "session/AcquisitionSession.h"
#include "shell/StatusPane.h"
#include "view/KovraPlotterView.h"
#include "view/PlotScreen.h"

#include "AppTestSupport.h"
#include "PlotData.h"
#include "SerialWnd.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int kPerBlock = static_cast<int>(CSampleSeries::kBlockSize);
const QString kFullText = QString::fromLatin1(CMemoryShortage::kStoreFullText);

// A port that always has three-value sets to read.
class CEndlessSerial : public CSerialWnd {
public:
    int Read(void* pBuffer, DWORD nSize, DWORD* pnRead, OVERLAPPED*, DWORD) override {
        static const std::string strSets = "1 2 3#";
        for (DWORD n = 0; n < nSize; ++n) {
            static_cast<char*>(pBuffer)[n] = strSets[m_nRead++ % strSets.size()];
        }
        *pnRead = nSize;
        return 0;
    }
    std::size_t m_nRead = 0;
};

// The program with room for exactly one block of three channels, fed by a device that never
// stops.
class StoreFullTest : public ::testing::Test {
protected:
    StoreFullTest() : m_app(Budget(3)) {
        delete g_pSerial;
        g_pSerial = new CEndlessSerial;
        View().Session().m_bConnected = true;
    }
    ~StoreFullTest() override { View().Session().m_bConnected = false; }

    static SCommandLine Budget(std::size_t nBlocks) {
        SCommandLine commandLine;
        commandLine.m_nMemoryBudget = nBlocks * CSampleSeries::kBlockBytes;
        return commandLine;
    }
    CKovraPlotterView& View() { return m_app.View(); }
    void Press(int nKey) {
        QKeyEvent event(QEvent::KeyPress, nKey, Qt::NoModifier);
        QCoreApplication::sendEvent(&View(), &event);
    }
    // A notification from the port, after what the session posted to itself before it (the
    // hand-over of a read that took its share).
    void Notify() {
        QCoreApplication::sendPostedEvents(&View().Session());
        View().Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR, 0), 0);
    }
    // Takes what the device sends until the store is full.
    void FillUp() {
        for (int k = 0; k < 10'000 && !g_pPlotData->IsMemoryFull(); ++k) {
            Notify();
        }
        ASSERT_TRUE(g_pPlotData->IsMemoryFull());
    }
    bool PlotChecked() {
        m_app.Frame().UpdateCommandUI();
        return m_app.Frame().Action(ID_OTHER_TOGGLEPLOT)->isChecked();
    }

    CAppFixture m_app;
};

TEST_F(StoreFullTest, AFullStoreStopsCollectionOnceAndSaysSo) {
    ASSERT_TRUE(PlotChecked());
    FillUp();
    EXPECT_FALSE(View().Session().m_bCollecting);
    EXPECT_FALSE(PlotChecked());
    EXPECT_EQ(m_app.Status(), kFullText);
    EXPECT_TRUE(m_app.Frame().StatusPane()->State().m_bMemoryFull);
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 3 * kPerBlock);
    EXPECT_EQ(View().Painter().CaptionText(),
              QStringLiteral("%1 values in 3 channels").arg(3 * kPerBlock));

    // Said once: what the user does next is not overwritten by more data.
    View().Status().SetStatusText("STATUS: Updated ppd");
    View().GenerateTestSet();
    Notify();
    EXPECT_EQ(m_app.Status(), "STATUS: Updated ppd");
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 3 * kPerBlock);
}

TEST_F(StoreFullTest, F5TriesAgainAndClearingCollectsAgain) {
    FillUp();
    Press(Qt::Key_F5);
    EXPECT_EQ(m_app.Status(), kFullText);
    EXPECT_FALSE(View().Session().m_bCollecting);

    // Room has come (here: a larger budget): F5 collects again, until it is full again.
    g_pPlotData->SetMemoryBudget(6 * CSampleSeries::kBlockBytes);
    Press(Qt::Key_F5);
    EXPECT_EQ(m_app.Status(), "Plot ON (collecting)");
    EXPECT_TRUE(View().Session().m_bCollecting);
    FillUp();
    EXPECT_EQ(g_pPlotData->GetSampleCount(0), 2 * kPerBlock);
    EXPECT_FALSE(View().Session().m_bCollecting);

    Press(Qt::Key_F12);
    EXPECT_EQ(m_app.Status(), "Plot ON (collecting)");
    EXPECT_TRUE(View().Session().m_bCollecting);
    EXPECT_TRUE(PlotChecked());
    EXPECT_FALSE(m_app.Frame().StatusPane()->State().m_bMemoryFull);
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 0);
    Notify();
    EXPECT_GT(g_pPlotData->GetTotalSampleCount(), 0);

    FillUp();
    m_app.m_dialogs.m_vConfirmAnswers = {true};
    m_app.Frame().Action(ID_FILE_NEW)->trigger();
    EXPECT_TRUE(View().Session().m_bCollecting);
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 0);
}

TEST_F(StoreFullTest, ClearingAStoreThatIsNotFullLeavesCollectionAsTheUserSetIt) {
    Press(Qt::Key_F5);
    ASSERT_FALSE(View().Session().m_bCollecting);
    Press(Qt::Key_F12);
    EXPECT_FALSE(View().Session().m_bCollecting);
    EXPECT_EQ(m_app.Status(), "Plot OFF (not collecting new data)");
}

TEST(PictureMemoryTest, APictureThatCouldNotBeAllocatedIsLeftAlone) {
    CAppFixture app;
    for (int k = 0; k < 200; ++k) {
        app.View().GenerateTestSet();
    }
    QImage none;
    app.View().OnDraw(none);
    EXPECT_TRUE(none.isNull());
    EXPECT_FALSE(app.View().Screen().RenderPicture().isNull());
}

TEST(MemoryBudgetOptionTest, TakesASizeAndRefusesAnythingElse) {
    SCommandLine commandLine;
    QString strError;
    ASSERT_TRUE(
        ParseCommandLine({"kovraplotter", "--memory-budget", "512M"}, &commandLine, &strError));
    EXPECT_EQ(commandLine.m_nMemoryBudget, std::size_t{512} << 20);
    for (const char* szBad : {"0", "lots", "-5M"}) {
        SCOPED_TRACE(szBad);
        SCommandLine bad;
        EXPECT_FALSE(ParseCommandLine({"kovraplotter", "--memory-budget", szBad}, &bad, &strError));
        EXPECT_TRUE(strError.startsWith("Bad --memory-budget")) << strError.toStdString();
    }
    // Without the option the system's rule applies.
    SCommandLine plain;
    ASSERT_TRUE(ParseCommandLine({"kovraplotter"}, &plain, &strError));
    EXPECT_EQ(plain.m_nMemoryBudget, 0u);
}

} // namespace
