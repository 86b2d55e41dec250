#include "commands/CommandIds.h"
#include "dialogs/StatusSink.h"
#include "session/AcquisitionSession.h"
#include "session/RecordingControl.h"
#include "view/KovraPlotterView.h"

#include "AppTestSupport.h"
#include "PlotData.h"
#include "ScratchCurrentDirectory.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

QStringList MenuLayout(const CMainFrame& frame) {
    QStringList layout;
    for (QAction* pPopup : frame.menuBar()->actions()) {
        layout << pPopup->text();
        for (QAction* pItem : pPopup->menu()->actions()) {
            layout << (pItem->isSeparator() ? QStringLiteral("  ---")
                                            : QStringLiteral("  ") + pItem->text());
        }
    }
    return layout;
}

TEST(ShellTest, MenuBarHasTheProgramsItemsInOrder) {
    CAppFixture app;
    const QStringList expected = {"&File",
                                  "  &New\tCtrl+N",
                                  "  &Open..\tCtrl+O",
                                  "  &Save..\tCtrl+S",
                                  "  ---",
                                  "  Record to file..",
                                  "  Stop recording",
                                  "  ---",
                                  "  &Print...\tCtrl+P",
                                  "  Print Pre&view",
                                  "  P&rint Setup...",
                                  "  ---",
                                  "  E&xit",
                                  "&Connection",
                                  "  Port Setup..",
                                  "  Connect (F2)",
                                  "  Disconnect (F3)",
                                  "  ---",
                                  "  Reconnect When the Board Returns",
                                  "&Plot",
                                  "  Y Axis..",
                                  "  X Axis..",
                                  "  Interpreter Setup..",
                                  "  Channel Setup..",
                                  "  ---",
                                  "  Fit Y Range to Data\tF7",
                                  "  Keep Collecting While Scrolled Back",
                                  "  ---",
                                  "  Legend",
                                  "  Legend Position",
                                  "  ---",
                                  "  Zoom Back\tCtrl+-",
                                  "  Trigger..",
                                  "  Arm Trigger\tCtrl+R",
                                  "  X Axis in Seconds",
                                  "&View",
                                  "  Statistics",
                                  "  Send Bar\tCtrl+T",
                                  "&Other",
                                  "  Toggle Plot on/off (F5)",
                                  "  Take Screenshot (F9)",
                                  "  Quick CSV export (F8)",
                                  "&Help",
                                  "  &About KovraPlotter...",
                                  "  Help"};
    EXPECT_EQ(MenuLayout(app.Frame()), expected);
    EXPECT_EQ(app.Frame().windowTitle(), "Untitled - KovraPlotter");
    EXPECT_EQ(app.Status(), "Ready");
}

TEST(ShellTest, CommandsWithoutAHandlerStayGreyed) {
    CAppFixture app;
    for (int nId : {ID_PLOT_INTERPRETERSETUP, ID_OTHER_SCREENSHOT, ID_HELP_HELP, ID_EDIT_CUT,
                    ID_EDIT_PASTE, ID_EDIT_UNDO, ID_FILE_STOPRECORDING}) {
        EXPECT_FALSE(app.Frame().Action(nId)->isEnabled()) << nId;
    }
    for (int nId : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_RECORD, ID_APP_EXIT, ID_APP_ABOUT,
                    ID_OTHER_TOGGLEPLOT, ID_CHANNEL_TOGGLE1, ID_CHANNEL_TOGGLE10}) {
        EXPECT_TRUE(app.Frame().Action(nId)->isEnabled()) << nId;
    }
}

// Every key of the accelerator table reaches its command's action, and no other.
TEST(ShellTest, AcceleratorsAreBound) {
    CAppFixture app;
    const std::pair<const char*, int> kExpected[] = {
        {"Alt+1", ID_CHANNEL_TOGGLE1},
        {"Alt+2", ID_CHANNEL_TOGGLE1 + 1},
        {"Alt+3", ID_CHANNEL_TOGGLE1 + 2},
        {"Alt+4", ID_CHANNEL_TOGGLE1 + 3},
        {"Alt+5", ID_CHANNEL_TOGGLE1 + 4},
        {"Alt+6", ID_CHANNEL_TOGGLE1 + 5},
        {"Alt+7", ID_CHANNEL_TOGGLE1 + 6},
        {"Alt+8", ID_CHANNEL_TOGGLE1 + 7},
        {"Alt+9", ID_CHANNEL_TOGGLE1 + 8},
        {"Alt+0", ID_CHANNEL_TOGGLE10},
        {"Ctrl+C", ID_EDIT_COPY},
        {"Ctrl+Ins", ID_EDIT_COPY},
        {"Ctrl+N", ID_FILE_NEW},
        {"Ctrl+O", ID_FILE_OPEN},
        {"Ctrl+P", ID_FILE_PRINT},
        {"Ctrl+S", ID_FILE_SAVE},
        {"Ctrl+V", ID_EDIT_PASTE},
        {"Shift+Ins", ID_EDIT_PASTE},
        {"Ctrl+X", ID_EDIT_CUT},
        {"Shift+Del", ID_EDIT_CUT},
        {"Ctrl+Z", ID_EDIT_UNDO},
        {"Alt+Backspace", ID_EDIT_UNDO},
        {"F7", ID_PLOT_FITY},
        {"Ctrl+-", ID_PLOT_ZOOMBACK},
        {"Ctrl+R", ID_PLOT_ARMTRIGGER},
        {"Ctrl+T", ID_VIEW_SENDBAR},
        {"F6", ID_NEXT_PANE},
        {"Shift+F6", ID_PREV_PANE},
    };
    for (const auto& [szKeys, nId] : kExpected) {
        const QKeySequence keys(QString::fromLatin1(szKeys));
        int nBound = 0;
        for (QAction* pAction : app.Frame().findChildren<QAction*>()) {
            if (pAction->shortcuts().contains(keys)) {
                ++nBound;
                EXPECT_EQ(pAction, app.Frame().Action(nId)) << szKeys;
            }
        }
        EXPECT_EQ(nBound, 1) << szKeys;
    }
}

TEST(ShellTest, TogglePlotCarriesACheckMarkWhileCollecting) {
    CAppFixture app;
    QAction* pToggle = app.Frame().Action(ID_OTHER_TOGGLEPLOT);
    EXPECT_TRUE(pToggle->isChecked());
    pToggle->trigger();
    EXPECT_FALSE(app.View().Session().m_bCollecting);
    EXPECT_FALSE(pToggle->isChecked());
    pToggle->trigger();
    EXPECT_TRUE(pToggle->isChecked());
}

TEST(ShellTest, MenuPromptsShowWhileAnItemIsHighlighted) {
    CAppFixture app;
    QMenu* pFile = app.Frame().menuBar()->actions()[0]->menu();
    pFile->popup({0, 0});
    pFile->setActiveAction(app.Frame().Action(ID_FILE_NEW));
    EXPECT_EQ(app.Status(), "Create a new document");
    pFile->setActiveAction(app.Frame().Action(ID_APP_EXIT));
    EXPECT_EQ(app.Status(), "Quit the application; prompts to save documents");
    QMenu* pOther = app.Frame().menuBar()->actions()[4]->menu();
    pFile->hide();
    pOther->popup({0, 0});
    pOther->setActiveAction(app.Frame().Action(ID_OTHER_TOGGLEPLOT));
    EXPECT_EQ(app.Status(), "");
    pOther->hide();
    EXPECT_EQ(app.Status(), "Ready");
}

TEST(ShellTest, PointingAtTheMenuBarKeepsTheStatusText) {
    CAppFixture app;
    app.View().Status().SetStatusText("Plot OFF (not collecting new data)");
    QMenuBar* pMenuBar = app.Frame().menuBar();
    // As the window system delivers a pointer that moves across the bar and leaves it.
    auto moveTo = [](QWidget* pWidget, QPoint point) {
        QMouseEvent event(QEvent::MouseMove, point, pWidget->mapToGlobal(point), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(pWidget, &event);
    };
    for (QAction* pPopup : pMenuBar->actions()) {
        moveTo(pMenuBar, pMenuBar->actionGeometry(pPopup).center());
    }
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pMenuBar, &leave);
    EXPECT_EQ(app.Status(), "Plot OFF (not collecting new data)");
}

TEST(ShellTest, StatusTextIsFormattedAndCutAt255Characters) {
    CAppFixture app;
    app.View().Status().SetStatusText("%s %d", "value", 42);
    EXPECT_EQ(app.Status(), "value 42");
    const std::string strLong(1000, 'x');
    app.View().Status().SetStatusText("%s", strLong.c_str());
    EXPECT_EQ(app.Status(), QString(255, QLatin1Char('x')));
}

TEST(ShellTest, ChannelCommandsShowAndHideTheirChannel) {
    CAppFixture app;
    app.Frame().Action(ID_CHANNEL_TOGGLE1)->trigger();
    app.Frame().Action(ID_CHANNEL_TOGGLE10)->trigger();
    EXPECT_TRUE(g_pPlotData->IsHidden(0));
    EXPECT_TRUE(g_pPlotData->IsHidden(9));
    EXPECT_FALSE(g_pPlotData->IsHidden(1));
    app.Frame().Action(ID_CHANNEL_TOGGLE1)->trigger();
    EXPECT_FALSE(g_pPlotData->IsHidden(0));
}

TEST(ShellTest, ExitAsksAndEndsWithStatusZero) {
    CAppFixture app;
    QList<int> vExitStatus;
    QObject::connect(&app.View(), &CKovraPlotterView::ExitRequested,
                     [&](int nStatus) { vExitStatus << nStatus; });
    app.m_dialogs.m_vConfirmAnswers = {false, true};
    app.Frame().Action(ID_APP_EXIT)->trigger();
    EXPECT_TRUE(vExitStatus.isEmpty());
    EXPECT_NE(g_pPlotData, nullptr);
    app.Frame().Action(ID_APP_EXIT)->trigger();
    EXPECT_EQ(vExitStatus, QList<int>{0});
    EXPECT_EQ(g_pPlotData, nullptr);
    EXPECT_EQ(app.m_dialogs.m_vAsked, (std::vector<QString>{"Close Kovra?", "Close Kovra?"}));
}

TEST(ShellTest, AboutBoxAndWindowShowTheProgramsIcon) {
    CAppFixture app;
    QString strText;
    bool bIconShown = false;
    app.m_dialogs.m_fnRunDialog = [&](QDialog& dialog) {
        strText = dialog.windowTitle();
        for (auto* pLabel : dialog.findChildren<QLabel*>()) {
            strText += QLatin1Char('|') + pLabel->text();
            bIconShown |= !pLabel->pixmap().isNull();
        }
        return int(QDialog::Accepted);
    };
    app.Frame().Action(ID_APP_ABOUT)->trigger();
    EXPECT_TRUE(strText.startsWith("About KovraPlotter|KovraPlotter Version 1.1b"))
        << strText.toStdString();
    EXPECT_TRUE(bIconShown);
    EXPECT_FALSE(app.Frame().windowIcon().pixmap(64, 64).isNull());
    EXPECT_EQ(QPixmap(":/icons/kovraplotter-256.png").size(), QSize(256, 256));
}

TEST(ShellTest, CommandLineOptions) {
    qunsetenv(kSettingsVariable);
    SCommandLine commandLine;
    QString strError;
    EXPECT_TRUE(ParseCommandLine({"kovraplotter", "--demo", "--port-map", "COM2=/dev/ttyUSB0",
                                  "--port-map", "COM3=/dev/ttyACM1"},
                                 &commandLine, &strError));
    EXPECT_TRUE(commandLine.m_bDemo);
    EXPECT_EQ(commandLine.m_vPortMaps, (QStringList{"COM2=/dev/ttyUSB0", "COM3=/dev/ttyACM1"}));
    for (const char* szBad :
         {"COM1", "COM1=ttyUSB0", "=/dev/x", "FOO=/dev/x", "COM9=/dev/x", "COM1=/"}) {
        SCommandLine bad;
        EXPECT_FALSE(ParseCommandLine({"kovraplotter", "--port-map", szBad}, &bad, &strError))
            << szBad;
        EXPECT_FALSE(strError.isEmpty());
    }
    // The settings file: --settings, else the environment, else none (the caller chooses).
    EXPECT_TRUE(commandLine.m_strSettingsPath.isEmpty());
    qputenv(kSettingsVariable, "/from/environment.conf");
    SCommandLine fromEnvironment;
    EXPECT_TRUE(ParseCommandLine({"kovraplotter"}, &fromEnvironment, &strError));
    EXPECT_EQ(fromEnvironment.m_strSettingsPath, "/from/environment.conf");
    SCommandLine fromOption;
    EXPECT_TRUE(
        ParseCommandLine({"kovraplotter", "--settings", "mine.conf"}, &fromOption, &strError));
    EXPECT_EQ(fromOption.m_strSettingsPath, "mine.conf");
    qunsetenv(kSettingsVariable);

    SCommandLine bad;
    EXPECT_FALSE(ParseCommandLine({"kovraplotter", "--format", "csv"}, &bad, &strError));
    EXPECT_FALSE(ParseCommandLine({"kovraplotter", "--snapshot-after", "soon"}, &bad, &strError));
    EXPECT_FALSE(ParseCommandLine({"kovraplotter", "--frobnicate"}, &bad, &strError));
    EXPECT_FALSE(ParseCommandLine({"kovraplotter", "--settings", ""}, &bad, &strError));
}

// Every modal exchange runs an event loop of its own, in which a quit signal or the control
// channel may end the program: what the command does after it must not touch what is gone.
TEST(ShellTest, EndingTheProgramInsideADialogLeavesNothingHalfDone) {
    for (const int nId :
         {ID_CONNECTION_PORTSETUP, ID_PLOT_XAXIS, ID_PLOT_YAXIS, ID_PLOT_CHANNELSETUP, ID_FILE_NEW,
          ID_FILE_SAVE, ID_FILE_OPEN, ID_FILE_RECORD}) {
        CScratchCurrentDirectory directory;
        std::ofstream("in.txt") << "1,2\n3,4\n";
        CAppFixture app;
        g_pPlotData->Interpret("1 2#");
        app.m_dialogs.m_vConfirmAnswers = {true, true};
        app.m_dialogs.m_strSaveFileName = QStringLiteral("out.csv");
        app.m_dialogs.m_strOpenFileName = QStringLiteral("in.txt");
        app.m_dialogs.m_fnRunDialog = [](QDialog& dialog) {
            dialog.accept();
            return dialog.result();
        };
        app.m_dialogs.m_fnDuringModal = [&app] { app.View().DestroyWindow(); };
        EXPECT_TRUE(app.View().OnCmdMsg(nId));
        EXPECT_EQ(g_pPlotData, nullptr) << nId;
        EXPECT_FALSE(app.View().Session().Recording().Recording()) << nId;
        EXPECT_FALSE(std::filesystem::exists("out.csv")) << nId;
    }
}

} // namespace
