#include "settings/SettingsStore.h"
#include "commands/CommandIds.h"
#include "dialogs/XAxisDlg.h"
#include "files/FileCommands.h"
#include "link/SendBar.h"
#include "measure/Instrument.h"
#include "measure/SetTimeKeeper.h"
#include "measure/StatisticsControl.h"
#include "measure/TriggerControl.h"
#include "session/AcquisitionSession.h"
#include "settings/AppSettings.h"
#include "view/KovraPlotterView.h"
#include "view/PlotScreen.h"
#include "view/overlays/LegendOverlay.h"

#include "AppTestSupport.h"
#include "PlotData.h"
#include "ScratchDirectory.h"
#include "ui_XAxisDlg.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class SettingsStoreTest : public ::testing::Test {
protected:
    QString PathOf(const char* szName) const {
        return QString::fromStdString(m_directory.PathOf(szName));
    }
    void Write(const char* szName, const std::string& strContents) const {
        m_directory.Write(szName, strContents);
    }

    CScratchDirectory m_directory;
};

// Every field away from its default, the fields the view does not have yet included.
SAppSettings Changed() {
    SAppSettings settings;
    settings.m_nPort = 3;
    settings.m_nSpeed = -1; // a typed speed, not one of the list
    settings.m_nStopBits = 1;
    settings.m_nParity = 2;
    settings.m_nTypedSpeed = 76'800;
    settings.m_eBoardFormat = EBoardFormat::kLines;
    settings.m_bLegend = true;
    settings.m_nLegendCorner = 2;
    settings.m_bSaveHeaderLine = true;
    settings.m_bKeepCollectingWhenScrolled = true;
    settings.m_fPointsPerDiv = 40.0f;
    settings.m_bDoublePpdAtMax = true;
    settings.m_fYMax = 3.3000002f;
    settings.m_fYMin = -1e-7f;
    settings.m_bAutoScale = true;
    for (std::size_t i = 0; i < settings.m_vChannels.size(); ++i) {
        SChannelSettings& channel = settings.m_vChannels[i];
        channel.m_nColor = static_cast<int>(6 - i % 7);
        channel.m_nPointType = static_cast<int>(3 - i % 4);
        channel.m_bInterpolate = i % 2 == 1;
        channel.m_bMarkMinMax = i % 3 == 0;
        channel.m_bSoundEnabled = i % 2 == 0;
        channel.m_fBeepLimitMin = -0.1f * static_cast<float>(i);
        channel.m_fBeepLimitMax = 1e30f + static_cast<float>(i);
        channel.m_strName = i % 2 == 0 ? "t\u00e9mp, " + std::to_string(i) + " = [a]" : "";
    }
    settings.m_bShowStatistics = true;
    settings.m_bXAxisInSeconds = true;
    settings.m_nTriggerChannel = 9;
    settings.m_fTriggerLevel = -0.25f;
    settings.m_nTriggerEdge = 2;
    settings.m_nTriggerPosition = 100;
    settings.m_nTriggerMode = 1;
    settings.m_window = {true, -20, 35, 1024, 700, true};
    settings.m_bReconnect = true;
    settings.m_bSendBarShown = true;
    settings.m_eLineEnd = ELineEnd::kCrLf;
    settings.m_vSendHistory = {"gain 2", "say \"a, b\" = [x];", "caf\u00e9 \\x00\t"};
    return settings;
}

TEST_F(SettingsStoreTest, EverySettingComesBackExactly) {
    // The folder is made when missing, as on a first start.
    const CSettingsStore store(PathOf("new/KovraPlotter.conf"));
    EXPECT_EQ(store.Load(), SAppSettings{});
    ASSERT_TRUE(store.Save(Changed()));
    EXPECT_EQ(store.Load(), Changed());
    // Nothing kept without a path.
    const CSettingsStore none{QString()};
    EXPECT_FALSE(none.Save(Changed()));
    EXPECT_EQ(none.Load(), SAppSettings{});
}

TEST_F(SettingsStoreTest, EachUnusableValueGivesItsOwnDefault) {
    Write("bad.conf", "[Port]\nPort=4\nSpeed=-1\nStopBits=1\nParity=2x\nTypedSpeed=-9600\n"
                      "EndSetsAtLineEnd=yes\n"
                      "BoardFormat=csv\n"
                      "[Plot]\nPointsPerDiv=0.5\nYMax=nan\nYMin=-inf\nAutoScale=true\n"
                      "LegendCorner=4\n"
                      "DoublePpdAtMax=1\n"
                      "[Channel1]\nColor=7\nPointType=3\nBeepLimitMin=1e39\nBeepLimitMax=0x10\n"
                      "[Channel2]\nColor=-1\nPointType=4\nInterpolate=false\nBeepLimitMax= 2.5 \n"
                      "Name=\"two\\nlines\"\n"
                      "[Window]\nX=10\nY=10\nWidth=5\nHeight=400\n"
                      "[Send]\nLineEnd=LF CR\n"
                      "[SendHistory]\n1\\Line=a\n2\\Line=\n3\\Line=b\nsize=2147483647\n"
                      "[Trigger]\nChannel=10\nLevel=inf\nEdge=3\nPosition=101\nMode=2\n");
    const SAppSettings loaded = CSettingsStore(PathOf("bad.conf")).Load();
    SAppSettings expected;
    expected.m_nStopBits = 1;
    expected.m_bAutoScale = true;
    expected.m_vChannels[0].m_nPointType = 3;
    expected.m_vChannels[1].m_bInterpolate = false;
    expected.m_vChannels[1].m_fBeepLimitMax = 2.5f;
    expected.m_vSendHistory = {"a", "b"};
    EXPECT_EQ(loaded, expected);

    // A typed speed goes without a list position; a position past the list is none.
    Write("typed.conf", "[Port]\nSpeed=-1\nTypedSpeed=76800\n");
    const SAppSettings typed = CSettingsStore(PathOf("typed.conf")).Load();
    EXPECT_EQ(typed.m_nSpeed, -1);
    EXPECT_EQ(typed.m_nTypedSpeed, 76'800);
    Write("past.conf", "[Port]\nSpeed=14\n");
    EXPECT_EQ(CSettingsStore(PathOf("past.conf")).Load().m_nSpeed, 1);

    for (const char* szWindow :
         {"X=200000\nY=0\nWidth=800\nHeight=600", "X=0\nY=0\nWidth=800\nHeight=99999",
          "X=0\nY=-100001\nWidth=800\nHeight=600"}) {
        Write("window.conf", std::string("[Window]\n") + szWindow + "\n");
        EXPECT_EQ(CSettingsStore(PathOf("window.conf")).Load().m_window, SWindowSettings{})
            << szWindow;
    }
}

// Files from before the format had a key: line ends ending sets is the line format. The
// format's own key wins, and saving writes only it.
TEST_F(SettingsStoreTest, TheFormerLineEndChoiceReadsAsTheLineFormat) {
    for (const auto& [szPort, eFormat] :
         {std::pair{"EndSetsAtLineEnd=true\n", EBoardFormat::kLines},
          std::pair{"EndSetsAtLineEnd=true\nBoardFormat=hash\n", EBoardFormat::kHashSets}}) {
        Write("old.conf", std::string("[Port]\n") + szPort);
        const CSettingsStore store(PathOf("old.conf"));
        EXPECT_EQ(store.Load().m_eBoardFormat, eFormat) << szPort;
        ASSERT_TRUE(store.Save(store.Load()));
        EXPECT_EQ(m_directory.Read("old.conf").find("EndSetsAtLineEnd"), std::string::npos);
    }
}

TEST_F(SettingsStoreTest, ADamagedFileOrSomethingElseAtThePathGivesTheDefaults) {
    std::string strBinary = "[Port]\nSpeed=3\n";
    strBinary += std::string("\0\x01\xff\xfe", 4);
    Write("binary.conf", strBinary);
    Write("latin1.conf", "[Port]\nSpeed=3\n# caf\xe9\n");
    Write("huge.conf", "[Port]\nSpeed=3\n" + std::string(300 * 1024, '#') + "\n");
    for (const char* szName : {"binary.conf", "latin1.conf", "huge.conf"}) {
        EXPECT_EQ(CSettingsStore(PathOf(szName)).Load(), SAppSettings{}) << szName;
    }

    fs::create_directory(m_directory.PathOf("folder.conf"));
    const CSettingsStore folder(PathOf("folder.conf"));
    EXPECT_EQ(folder.Load(), SAppSettings{});
    EXPECT_FALSE(folder.Save(Changed()));

    // A FIFO with a writer that never writes would block a reader: it is neither read nor
    // written.
    const QString strFifo = PathOf("fifo.conf");
    ASSERT_EQ(mkfifo(QFile::encodeName(strFifo).constData(), 0600), 0);
    const int hWriter = open(QFile::encodeName(strFifo).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(hWriter, 0);
    auto loading = std::async(std::launch::async, [&] {
        const CSettingsStore fifo(strFifo);
        return std::make_pair(fifo.Load(), fifo.Save(Changed()));
    });
    const bool bBlocked = loading.wait_for(5s) != std::future_status::ready;
    // Lets a blocked reader see the end of the file, so that the test can end.
    close(hWriter);
    ASSERT_FALSE(bBlocked) << "a FIFO at the settings path blocked";
    const auto [loaded, bSaved] = loading.get();
    EXPECT_EQ(loaded, SAppSettings{});
    EXPECT_FALSE(bSaved);
    EXPECT_TRUE(fs::is_fifo(m_directory.PathOf("fifo.conf")));
}

// The program with a settings file, as a user starts it.
SCommandLine WithSettings(const QString& strPath) {
    SCommandLine commandLine;
    commandLine.m_strSettingsPath = strPath;
    return commandLine;
}

TEST_F(SettingsStoreTest, TheProgramStartsWithTheFileAndSavesEachChange) {
    const QString strPath = PathOf("KovraPlotter.conf");
    SAppSettings saved = Changed();
    saved.m_window = {true, 30, 40, 640, 480, false};
    ASSERT_TRUE(CSettingsStore(strPath).Save(saved));
    {
        CAppFixture app(WithSettings(strPath));
        const CKovraPlotterView& view = app.View();
        EXPECT_EQ(view.Session().m_nPort, 3);
        EXPECT_EQ(view.Session().m_nSpeed, -1);
        EXPECT_EQ(view.Session().m_nTypedSpeed, 76'800);
        EXPECT_EQ(view.Session().m_eBoardFormat, EBoardFormat::kLines);
        EXPECT_EQ(g_pPlotData->GetBoardFormat(), EBoardFormat::kLines);
        EXPECT_TRUE(view.Legend().Shown());
        EXPECT_EQ(view.Legend().Corner(), 2);
        EXPECT_TRUE(view.Files().m_bSaveHeaderLine);
        EXPECT_EQ(view.Session().m_nStopBits, 1);
        EXPECT_EQ(view.Session().m_nParity, 2);
        EXPECT_EQ(view.Plot().m_fPointsPerDiv, 40.0f);
        EXPECT_TRUE(view.Plot().m_bDoublePpdAtMax);
        EXPECT_EQ(view.Plot().m_fYMax, 3.3000002f);
        EXPECT_EQ(view.Plot().m_fYMin, -1e-7f);
        EXPECT_TRUE(view.Plot().m_bAutoScale);
        EXPECT_TRUE(view.Plot().m_bKeepCollectingWhenScrolled);
        EXPECT_TRUE(view.Instrument().Statistics().Shown());
        EXPECT_TRUE(view.Instrument().Times().XAxisInSeconds());
        // The trigger's choices come back; the trigger itself starts off.
        const STriggerSettings& trigger = view.Instrument().Trigger().Settings();
        EXPECT_EQ(trigger, (STriggerSettings{false, 9, -0.25f, ETriggerEdge::kEither, 100,
                                             ETriggerMode::kSingle}));
        for (int i = 0; i < CPlotData::kChannelCount; ++i) {
            const SChannelSettings& channel = saved.m_vChannels[static_cast<std::size_t>(i)];
            EXPECT_EQ(g_pPlotData->GetColor(i), channel.m_nColor) << i;
            EXPECT_EQ(g_pPlotData->GetPointType(i), channel.m_nPointType) << i;
            EXPECT_EQ(g_pPlotData->GetInterpolate(i), channel.m_bInterpolate) << i;
            EXPECT_EQ(g_pPlotData->GetMarkMinMax(i), channel.m_bMarkMinMax) << i;
            EXPECT_EQ(g_pPlotData->GetSoundEnabled(i), channel.m_bSoundEnabled) << i;
            EXPECT_EQ(g_pPlotData->GetBeepLimitMin(i), channel.m_fBeepLimitMin) << i;
            EXPECT_EQ(g_pPlotData->GetBeepLimitMax(i), channel.m_fBeepLimitMax) << i;
            EXPECT_EQ(g_pPlotData->GetChannelName(i), channel.m_strName) << i;
        }
        EXPECT_EQ(app.Frame().geometry(), QRect(30, 40, 640, 480));
        EXPECT_TRUE(view.Session().ReconnectOn());
        EXPECT_TRUE(view.SendBar().Shown());
        EXPECT_EQ(view.SendBar().LineEnd(), ELineEnd::kCrLf);
        EXPECT_EQ(view.SendBar().History().Lines(), saved.m_vSendHistory);

        // A command that changes a setting saves it at once; one that changes none does not
        // write the file.
        app.m_dialogs.m_fnRunDialog = [](QDialog& dialog) {
            static_cast<CXAxisDlg&>(dialog).Controls().editPpd->setText("12");
            dialog.accept();
            return dialog.result();
        };
        app.Frame().Action(ID_PLOT_XAXIS)->trigger();
        const SAppSettings afterCommand = CSettingsStore(strPath).Load();
        EXPECT_EQ(afterCommand.m_fPointsPerDiv, 12.0f);
        EXPECT_EQ(afterCommand.m_eBoardFormat, EBoardFormat::kLines);
        EXPECT_EQ(afterCommand.m_nTypedSpeed, 76'800);
        fs::remove(m_directory.PathOf("KovraPlotter.conf"));
        app.Frame().Action(ID_CHANNEL_TOGGLE1)->trigger();
        EXPECT_FALSE(fs::exists(m_directory.PathOf("KovraPlotter.conf")));

        // The window's place is saved when the program ends.
        app.Frame().setGeometry(50, 60, 700, 500);
    }
    const SAppSettings atExit = CSettingsStore(strPath).Load();
    EXPECT_EQ(atExit.m_window, (SWindowSettings{true, 50, 60, 700, 500, false}));
    EXPECT_EQ(atExit.m_fPointsPerDiv, 12.0f);
}

TEST_F(SettingsStoreTest, AWindowPlaceOnNoScreenKeepsOnlyTheSize) {
    const QString strPath = PathOf("KovraPlotter.conf");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    SAppSettings saved;
    saved.m_window = {true, screen.right() + 500, screen.top(), 640, 480, true};
    ASSERT_TRUE(CSettingsStore(strPath).Save(saved));
    CAppFixture app(WithSettings(strPath));
    EXPECT_EQ(app.Frame().normalGeometry().size(), QSize(640, 480));
    EXPECT_TRUE(screen.intersects(app.Frame().normalGeometry()));
    EXPECT_TRUE(app.Frame().windowState() & Qt::WindowMaximized);
}

} // namespace

namespace {

// A file that did not read as settings is never written over; the program starts from the
// defaults and says so. /dev/null is how one asks for that without a word.
TEST_F(SettingsStoreTest, AFileThatIsNotSettingsIsLeftAlone) {
    const std::string strNote = "Shopping: milk\nbread = 2\n";
    Write("note.txt", strNote);
    Write("data.csv", "1.5,2.5\n3.5,4.5\n");
    for (const char* szName : {"note.txt", "data.csv"}) {
        const std::string strBefore = m_directory.Read(szName);
        {
            CAppFixture app(WithSettings(PathOf(szName)));
            EXPECT_TRUE(app.Status().contains("is not a settings file")) << szName;
            EXPECT_EQ(app.View().Plot().m_fPointsPerDiv, 5.0f);
            app.View().Plot().m_fPointsPerDiv = 12.0f;
            app.Frame().Action(ID_CHANNEL_TOGGLE1)->trigger();
        }
        EXPECT_EQ(m_directory.Read(szName), strBefore) << szName;
    }
    CAppFixture quiet(WithSettings(QStringLiteral("/dev/null")));
    EXPECT_FALSE(quiet.Status().contains("settings"));
}

// The command line's port, speed and format are for that run: the next plain start has the user's.
TEST_F(SettingsStoreTest, WhatTheCommandLineSaysIsNotSaved) {
    const QString strPath = PathOf("KovraPlotter.conf");
    SAppSettings saved;
    saved.m_nPort = 2;
    saved.m_nSpeed = 5;
    ASSERT_TRUE(CSettingsStore(strPath).Save(saved));
    SCommandLine commandLine = WithSettings(strPath);
    commandLine.m_nConnectPort = 0;
    commandLine.m_dwSpeed = 300;
    commandLine.m_bFormatGiven = true;
    commandLine.m_eFormat = EBoardFormat::kLines;
    {
        CAppFixture app(commandLine);
        EXPECT_EQ(app.View().Session().m_nPort, 0);
        EXPECT_EQ(app.View().Session().m_nTypedSpeed, 300);
        EXPECT_EQ(g_pPlotData->GetBoardFormat(), EBoardFormat::kLines);
        app.View().Plot().m_fPointsPerDiv = 12.0f;
        app.Frame().Action(ID_CHANNEL_TOGGLE1)->trigger();
    }
    SAppSettings expected = saved;
    expected.m_fPointsPerDiv = 12.0f;
    SAppSettings afterRun = CSettingsStore(strPath).Load();
    afterRun.m_window = expected.m_window;
    EXPECT_EQ(afterRun, expected);
}

TEST_F(SettingsStoreTest, AWindowLargerThanTheScreenIsCutToIt) {
    const QString strPath = PathOf("KovraPlotter.conf");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    SAppSettings saved;
    saved.m_window = {true, screen.left(), screen.top(), 32'767, 32'767, false};
    ASSERT_TRUE(CSettingsStore(strPath).Save(saved));
    CAppFixture app(WithSettings(strPath));
    EXPECT_EQ(app.Frame().geometry().size(), screen.size());
}

} // namespace
