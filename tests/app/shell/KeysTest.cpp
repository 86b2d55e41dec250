#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"

#include "AppTestSupport.h"
#include "PlotData.h"
#include "PortNames.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {

class KeysTest : public ::testing::Test {
protected:
    // Sends a key press to the view as the keyboard would; true when it went on unconsumed.
    bool Press(int nKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool bRepeat = false) {
        QKeyEvent event(QEvent::KeyPress, nKey, modifiers, QString(), bRepeat);
        QCoreApplication::sendEvent(&m_app.View(), &event);
        return !event.isAccepted();
    }
    void Fill(int nSamples) {
        for (int k = 0; k < nSamples; ++k) {
            g_pPlotData->Interpret("1#");
        }
    }
    CAppFixture m_app;
};

TEST_F(KeysTest, NavigationKeysMoveTheWindowWithinItsLimits) {
    CKovraPlotterView& view = m_app.View();
    Fill(100); // M = 99 - 50 = 49 at ppd 5
    EXPECT_TRUE(Press(Qt::Key_Home));
    EXPECT_EQ(view.Plot().m_nScrollBack, 49);
    EXPECT_FALSE(view.Session().m_bCollecting);
    Press(Qt::Key_Left);
    EXPECT_EQ(view.Plot().m_nScrollBack, 49);
    view.Plot().m_nScrollBack = 20;
    Press(Qt::Key_PageDown);
    EXPECT_EQ(view.Plot().m_nScrollBack, 49);
    view.Plot().m_nScrollBack = 30;
    Press(Qt::Key_PageUp);
    EXPECT_EQ(view.Plot().m_nScrollBack, 0);
    Press(Qt::Key_Right);
    EXPECT_EQ(view.Plot().m_nScrollBack, 0);
    Press(Qt::Key_Left, Qt::NoModifier, true);
    Press(Qt::Key_Left, Qt::NoModifier, true);
    EXPECT_EQ(view.Plot().m_nScrollBack, 2);
    Press(Qt::Key_End);
    EXPECT_EQ(view.Plot().m_nScrollBack, 0);
    EXPECT_FALSE(view.Session().m_bCollecting);
    // Ctrl and Shift make no difference; Alt leaves the key to the menus.
    Press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view.Plot().m_nScrollBack, 49);
    Press(Qt::Key_End, Qt::AltModifier);
    EXPECT_EQ(view.Plot().m_nScrollBack, 49);
}

TEST_F(KeysTest, WithOneScreenOfDataThereIsNothingToScrollTo) {
    CKovraPlotterView& view = m_app.View();
    Fill(30);
    for (int nKey : {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_Left, Qt::Key_Right}) {
        Press(nKey);
        EXPECT_EQ(view.Plot().m_nScrollBack, 0) << nKey;
    }
}

TEST_F(KeysTest, FunctionKeysShowTheirStatusTexts) {
    CKovraPlotterView& view = m_app.View();
    Press(Qt::Key_F3);
    EXPECT_EQ(m_app.Status(), "Not Connected..");
    Press(Qt::Key_F5);
    EXPECT_EQ(m_app.Status(), "Plot OFF (not collecting new data)");
    Press(Qt::Key_F5);
    EXPECT_EQ(m_app.Status(), "Plot ON (collecting)");
    EXPECT_TRUE(view.Session().m_bCollecting);

    SetPortMapping("COM1", "/dev/kovra-no-such-device");
    Press(Qt::Key_F2);
    EXPECT_EQ(m_app.Status(), "Error Connecting.. /dev/kovra-no-such-device does not exist");
    CPtyPair terminal;
    SetPortMapping("COM1", terminal.Path().c_str());
    Press(Qt::Key_F2);
    EXPECT_EQ(m_app.Status(), "Connected..");
    Press(Qt::Key_F2);
    EXPECT_EQ(m_app.Status(), "Already Connected..");
    Press(Qt::Key_F3);
    EXPECT_EQ(m_app.Status(), "Disconnected..");
    EXPECT_FALSE(Press(Qt::Key_F2, Qt::AltModifier) && view.Session().m_bConnected);
    EXPECT_FALSE(view.Session().m_bConnected);
}

TEST_F(KeysTest, BackspaceFeedsATestSetAndF12ClearsWithoutAsking) {
    m_app.View().Session().m_bCollecting = false;
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Backspace);
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 6);
    g_pPlotData->SetSoundEnabled(0, true);
    Press(Qt::Key_F12);
    EXPECT_EQ(g_pPlotData->GetTotalSampleCount(), 0);
    EXPECT_FALSE(g_pPlotData->GetSoundEnabled(0));
    EXPECT_TRUE(m_app.m_dialogs.m_vAsked.empty());
}

} // namespace
