// File > Open and File > Record to file, as the user meets them: the dialogs and questions,
// what the store and the status bar show afterwards, and what a failing disk does.
#include "commands/CommandIds.h"
#include "dialogs/ChannelSetupDlg.h"
#include "files/FileCommands.h"
#include "files/JobRunner.h"
#include "measure/Instrument.h"
#include "measure/SetTimeKeeper.h"
#include "session/AcquisitionSession.h"
#include "session/RecordingControl.h"
#include "shell/StatusPane.h"
#include "view/KovraPlotterView.h"
#include "view/overlays/LegendOverlay.h"

#include "AppTestSupport.h"
#include "CsvWriter.h"
#include "PlotData.h"
#include "PortNames.h"
#include "ScratchCurrentDirectory.h"
#include "SmallDisk.h"
#include "ui_ChannelSetupDlg.h"

#include <QAction>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

using Values = std::vector<float>;

std::vector<float> Channel(int c) {
    std::vector<float> values;
    for (int j = 0; j < g_pPlotData->GetSampleCount(c); ++j) {
        values.push_back(g_pPlotData->GetSample(c, j));
    }
    return values;
}

void Open(CAppFixture& app, const std::string& strPath) {
    app.m_dialogs.m_strOpenFileName = QString::fromStdString(strPath);
    app.Frame().Action(ID_FILE_OPEN)->trigger();
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !app.View().Files().Jobs().Busy(); }, 120'000));
}

TEST(OpenTest, AFileTakesThePlaceOfTheDataAfterTheQuestionAndCollectionGoesOff) {
    CScratchCurrentDirectory directory;
    CAppFixture app;
    std::ofstream("rec.csv") << "time_s,ch1,ch2\n0.000,1.5,2\n0.010,-3\nbad,1\n0.020,inf,4\n";
    g_pPlotData->Interpret("7 8 9#");

    // No: the data stays, nothing is read.
    app.m_dialogs.m_vConfirmAnswers = {false};
    Open(app, "rec.csv");
    EXPECT_EQ(Channel(2), Values{9.0f});
    EXPECT_TRUE(app.View().Session().m_bCollecting);
    EXPECT_EQ(app.m_dialogs.m_vAsked,
              (std::vector<QString>{"Comma separated files (*.csv);;All files (*)",
                                    "Are you sure you want to teamkill all data?"}));

    app.m_dialogs.m_vConfirmAnswers = {true};
    Open(app, "rec.csv");
    EXPECT_EQ(Channel(0), (Values{1.5f, -3.0f, INFINITY}));
    EXPECT_EQ(Channel(1), (Values{2.0f, 4.0f}));
    EXPECT_EQ(Channel(2), Values{});
    EXPECT_EQ(g_pPlotData->m_nLastSetCount, 2);
    EXPECT_EQ(g_pPlotData->GetMin(0), -3.0f);
    EXPECT_FALSE(app.View().Session().m_bCollecting);
    EXPECT_FALSE(app.Frame().Action(ID_OTHER_TOGGLEPLOT)->isChecked());
    EXPECT_TRUE(app.Frame().StatusPane()->text().contains("paused"))
        << app.Frame().StatusPane()->text().toStdString();
    EXPECT_EQ(app.Status(), "Loaded 3 rows from rec.csv (1 skipped)");
    // A recording's times go with its sets.
    ASSERT_NE(app.View().Instrument().Times().Times(), nullptr);
    EXPECT_EQ(app.View().Instrument().Times().Times()->Seconds(2), 0.02);
    EXPECT_EQ(app.View().Painter().CaptionText(), "5 values in 2 channels");

    // An empty store is not asked about; a cancelled dialog does nothing.
    app.m_dialogs.m_vAsked.clear();
    Press(app.View(), Qt::Key_F12);
    std::ofstream("other.csv") << "5;6,5\n";
    Open(app, "other.csv");
    EXPECT_EQ(Channel(1), Values{6.5f});
    Open(app, "");
    EXPECT_EQ(app.m_dialogs.m_vAsked.size(), 2u);
    EXPECT_EQ(app.Status(), "Loaded 1 rows from other.csv (0 skipped)");
}

TEST(OpenTest, AnExportOpensAsItShowsItsValues) {
    CScratchCurrentDirectory directory;
    CAppFixture app;
    g_pPlotData->Interpret("1.234 -5.678#9.999 0.001#-0.004 7#");
    Press(app.View(), Qt::Key_F8);
    const std::string strName = app.Status().toStdString().substr(19);
    app.m_dialogs.m_vConfirmAnswers = {true};
    Open(app, strName);
    EXPECT_EQ(Channel(0), (Values{1.23f, 10.0f, -0.0f}));
    EXPECT_EQ(Channel(1), (Values{-5.68f, 0.0f, 7.0f}));
    EXPECT_TRUE(std::signbit(Channel(0)[2]));
}

TEST(OpenTest, ACancelledOrFailedLoadLeavesTheStoreAsItWas) {
    CScratchCurrentDirectory directory;
    CAppFixture app;
    CPlotData big;
    big.m_cLimiter = '#';
    big.CreateChannels();
    for (int r = 0; r < 500'000; ++r) {
        for (int c = 0; c < 4; ++c) {
            big.AddSample(c, static_cast<float>(r));
        }
    }
    big.m_nLastSetCount = 4;
    ASSERT_TRUE(WriteCsv(big, "big.csv").Ok());
    g_pPlotData->Interpret("1 2#");
    app.View().Files().Jobs().m_quietWait = std::chrono::milliseconds(0);
    app.View().Files().Jobs().m_dialogDelay = std::chrono::milliseconds(0);
    app.m_dialogs.m_bCancelProgress = true;
    app.m_dialogs.m_vConfirmAnswers = {true, true, true};
    Open(app, "big.csv");
    EXPECT_EQ(app.m_dialogs.m_vProgress, std::vector<QString>{"Loading big.csv.."});
    EXPECT_EQ(app.Status(), "Loading cancelled: big.csv not loaded");
    EXPECT_EQ(Channel(1), Values{2.0f});
    EXPECT_TRUE(app.View().Session().m_bCollecting);

    // What cannot be read, or holds no data, says why and leaves the store alone.
    app.m_dialogs.m_bCancelProgress = false;
    ASSERT_EQ(::mkfifo("pipe.csv", 0600), 0);
    std::ofstream("notes.txt") << "Shopping list\nmilk\nbread\n";
    for (const auto& [szName, szMessage] :
         {std::pair{"pipe.csv", "Problem opening file.. Operation not supported"},
          std::pair{"missing.csv", "Problem opening file.. No such file or directory"},
          std::pair{"notes.txt", "Not a data file: notes.txt"}}) {
        app.m_dialogs.m_vConfirmAnswers = {true};
        Open(app, szName);
        EXPECT_EQ(app.m_dialogs.m_vNotified.back(), szMessage) << app.Status().toStdString();
        EXPECT_EQ(Channel(1), Values{2.0f}) << szName;
    }
    app.m_dialogs.m_vNotified.clear();

    // A file larger than the store may hold (32 blocks here) is not taken in part.
    g_pPlotData->SetMemoryBudget(8 * CSampleSeries::kBlockBytes);
    app.m_dialogs.m_vConfirmAnswers = {true};
    Open(app, "big.csv");
    EXPECT_EQ(app.m_dialogs.m_vNotified, std::vector<QString>{"Not enough memory to load big.csv"});
    EXPECT_EQ(Channel(1), Values{2.0f});
}

// A header names the channels it loads (a "chN" names none), and names show the legend.
TEST(OpenTest, AHeaderNamesTheChannelsItLoadsAndShowsTheLegend) {
    for (const auto& [szText, szNames, bLegend] :
         {std::tuple{"time_s,temp,ch2,hum\n0,1,2,3\n", "temp,,hum", true},
          std::tuple{"1,2\n", ",", false}}) {
        CScratchCurrentDirectory directory;
        CAppFixture app;
        std::ofstream("data.csv") << szText;
        Open(app, "data.csv");
        std::string strNames;
        for (int c = 0; c < g_pPlotData->m_nLastSetCount; ++c) {
            strNames += (c > 0 ? "," : "") + g_pPlotData->GetChannelName(c);
        }
        EXPECT_EQ(strNames, szNames);
        EXPECT_EQ(app.View().Legend().Shown(), bLegend) << szText;
    }
}

class RecordTest : public ::testing::Test {
protected:
    RecordTest() { Recorder().m_options.m_writeDelay = std::chrono::milliseconds(0); }

    CRecordingControl& Recorder() { return m_app.View().Session().Recording(); }
    void Record(const std::string& strPath) {
        m_app.m_dialogs.m_strSaveFileName = QString::fromStdString(strPath);
        m_app.Frame().Action(ID_FILE_RECORD)->trigger();
    }
    // The recording's part of the status pane.
    QString Pane() const {
        const QString strPane = m_app.Frame().StatusPane()->text();
        const qsizetype nAt = strPane.indexOf(" | REC ");
        return nAt < 0 ? QString() : strPane.mid(nAt + 3);
    }

    CScratchCurrentDirectory m_directory;
    CAppFixture m_app;
};

TEST_F(RecordTest, RecordsUntilStoppedWithACheckMarkAndTheCountInTheStatusBar) {
    QAction* pRecord = m_app.Frame().Action(ID_FILE_RECORD);
    QAction* pStop = m_app.Frame().Action(ID_FILE_STOPRECORDING);
    EXPECT_FALSE(pStop->isEnabled());
    Record((m_directory.m_path / "rec.csv").string());
    EXPECT_EQ(m_app.m_dialogs.m_vAsked.back(),
              "Comma separated files (*.csv);;All files (*) / csv");
    EXPECT_TRUE(pRecord->isChecked());
    EXPECT_TRUE(pStop->isEnabled());
    EXPECT_EQ(m_app.Status(), "Recording to rec.csv");
    Recorder().AddSet(Values{1.5f, -2.0f});
    Recorder().AddSet(Values{});
    EXPECT_TRUE(CAppFixture::WaitFor([&] { return Pane() == "REC rec.csv, 2 sets"; }));

    pStop->trigger();
    EXPECT_FALSE(pRecord->isChecked());
    EXPECT_FALSE(pStop->isEnabled());
    EXPECT_EQ(m_app.Status(), "Recording stopped: 2 sets in rec.csv");
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !Recorder().Stopping(); }));
    EXPECT_EQ(Pane(), "");
    const std::string strText = Contents("rec.csv");
    ASSERT_EQ(strText.substr(0, 18), "time_s,ch1,ch2\n0.0");
    EXPECT_NE(strText.find(",1.5,-2\n0."), std::string::npos) << strText;
    // Sets after the stop are not recorded; a cancelled dialog starts nothing.
    Recorder().AddSet(Values{9.0f});
    Record("");
    EXPECT_FALSE(Recorder().Recording());
    EXPECT_EQ(Contents("rec.csv"), strText);
}

// The values of each set in a recording, without the times.
std::vector<std::string> RecordedSets(const std::string& strText) {
    std::vector<std::string> vSets;
    std::istringstream lines(strText);
    std::string strLine;
    std::getline(lines, strLine); // the header
    while (std::getline(lines, strLine)) {
        const std::size_t nComma = strLine.find(',');
        vSets.push_back(nComma == std::string::npos ? "" : strLine.substr(nComma + 1));
    }
    return vSets;
}

TEST_F(RecordTest, EverySetReceivedWhileConnectedIsRecordedCollectingOrNot) {
    CPtyPair terminal;
    SetPortMapping("COM1", terminal.Path().c_str());
    QAction* pConnect = m_app.Frame().Action(ID_CONNECTION_CONNECT);
    pConnect->trigger();
    ASSERT_TRUE(m_app.View().Session().m_bConnected);
    auto waitForSets = [&](std::uint64_t nSets) {
        return CAppFixture::WaitFor([&] { return Recorder().SetCount() == nSets; });
    };
    // A set that began before the recording is recorded whole.
    terminal.Send("1 2#9 9 ");
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return g_pPlotData->GetSampleCount(0) == 1; }));
    Record((m_directory.m_path / "rec.csv").string());
    terminal.Send("8#");
    ASSERT_TRUE(waitForSets(1));
    // Collection off: the store takes nothing, the recording everything.
    Press(m_app.View(), Qt::Key_F5);
    terminal.Send("3 4##");
    ASSERT_TRUE(waitForSets(3));
    EXPECT_EQ(g_pPlotData->GetSampleCount(0), 2);
    // Half a set, then Disconnect and Connect: the recording goes on with a fresh set.
    terminal.Send("5 6");
    CAppFixture::Pump(100);
    m_app.Frame().Action(ID_CONNECTION_DISCONNECT)->trigger();
    pConnect->trigger();
    ASSERT_TRUE(m_app.View().Session().m_bConnected);
    terminal.Send("7#");
    ASSERT_TRUE(waitForSets(4));
    m_app.Frame().Action(ID_FILE_STOPRECORDING)->trigger();
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !Recorder().Stopping(); }));
    EXPECT_EQ(RecordedSets(Contents("rec.csv")),
              (std::vector<std::string>{"9,9,8", "3,4", "", "7"}));
}

// Names the board prints head the recording, a name typed in Channel Setup (whose field
// shows the board's greyed) in their place; they show the legend, which was off.
TEST_F(RecordTest, NamesFromTheBoardAndTypedNamesHeadTheRecordingAndShowTheLegend) {
    CPtyPair terminal;
    SetPortMapping("COM1", terminal.Path().c_str());
    m_app.View().Session().SetBoardFormat(EBoardFormat::kLines);
    m_app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    Record((m_directory.m_path / "rec.csv").string());
    EXPECT_FALSE(m_app.View().Legend().Shown());
    // hum joins late: the set before it records a gap for it.
    terminal.Send("temp:20\r\ntemp:21.5 hum:40\r\ntemp:22\r\n");
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return Recorder().SetCount() == 3; }));
    EXPECT_TRUE(m_app.View().Legend().Shown());
    EXPECT_TRUE(
        CAppFixture::WaitFor([&] { return Contents("rec.csv").starts_with("time_s,temp,hum\n"); }));
    QString strShown;
    m_app.m_dialogs.m_fnRunDialog = [&](QDialog& dialog) {
        auto& controls = static_cast<CChannelSetupDlg&>(dialog).Controls();
        controls.comboChannel->setCurrentIndex(1);
        emit controls.comboChannel->activated(1);
        strShown = controls.editName->text() + "/" + controls.editName->placeholderText();
        controls.editName->setText("Humidity");
        emit controls.editName->textEdited("Humidity");
        dialog.accept();
        return dialog.result();
    };
    m_app.Frame().Action(ID_PLOT_CHANNELSETUP)->trigger();
    EXPECT_EQ(strShown, "/hum");
    terminal.Send("hum:41 temp:23\r\n");
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return Recorder().SetCount() == 4; }));
    // After F12 the board's labels start afresh, in the recording as in the plot.
    Press(m_app.View(), Qt::Key_F12);
    terminal.Send("volt:3\r\n");
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return Recorder().SetCount() == 5; }));
    EXPECT_EQ(g_pPlotData->GetChannelName(0), "volt");
    m_app.Frame().Action(ID_FILE_STOPRECORDING)->trigger();
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !Recorder().Stopping(); }));
    EXPECT_TRUE(Contents("rec.csv").starts_with("time_s,volt,Humidity\n"));
    EXPECT_EQ(RecordedSets(Contents("rec.csv")),
              (std::vector<std::string>{"20,", "21.5,40", "22,", "23,41", "3,"}));
}

TEST_F(RecordTest, AWriteFailureStopsTheRecordingWithAMessageAndCollectionGoesOn) {
    const CSmallDisk disk(64 * 1024);
    ASSERT_TRUE(disk.Mounted()) << "needs the superuser to mount a small disk";
    Record(disk.Path("rec.csv"));
    ASSERT_TRUE(Recorder().Recording());
    for (int k = 0; k < 20'000 && Recorder().Recording(); ++k) {
        Recorder().AddSet(Values{1.0f, 2.0f, 3.0f});
        if (k % 500 == 0) {
            CAppFixture::Pump(0);
        }
    }
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !Recorder().Recording(); }));
    EXPECT_EQ(m_app.m_dialogs.m_vNotified,
              std::vector<QString>{QString::fromStdString(
                  "Recording stopped: rec.csv could not be written (No space left on device). "
                  "The sets recorded until then are in " +
                  disk.Path("rec.csv"))});
    EXPECT_EQ(m_app.Status(), "Recording stopped: rec.csv could not be written");
    EXPECT_FALSE(m_app.Frame().Action(ID_FILE_RECORD)->isChecked());
    EXPECT_TRUE(m_app.View().Session().m_bCollecting);
    g_pPlotData->Interpret("4 5#");
    EXPECT_EQ(g_pPlotData->GetSampleCount(1), 1);

    // A write-protected file is not replaced.
    std::ofstream("kept.csv") << "precious";
    ASSERT_EQ(::chmod("kept.csv", 0444), 0);
    Record((m_directory.m_path / "kept.csv").string());
    EXPECT_EQ(m_app.m_dialogs.m_vNotified.back(), "Problem opening file.. Permission denied");
    EXPECT_FALSE(Recorder().Recording());
    EXPECT_EQ(Contents("kept.csv"), "precious");
}

// The file being recorded is the recording's: Save does not replace it, and a file deleted
// or replaced behind it is not reported as complete.
TEST_F(RecordTest, ARecordingThatLostItsFileSaysSo) {
    const std::string strPath = (m_directory.m_path / "rec.csv").string();
    Record(strPath);
    Recorder().AddSet(Values{1.0f});
    m_app.m_dialogs.m_strSaveFileName = QString::fromStdString(strPath);
    m_app.Frame().Action(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(m_app.m_dialogs.m_vNotified.back(),
              "rec.csv is being recorded: save to another file, or stop the recording first");
    ASSERT_TRUE(CAppFixture::WaitFor(
        [&] { return Contents("rec.csv").find(",1\n") != std::string::npos; }));
    std::filesystem::remove(strPath);
    Recorder().AddSet(Values{2.0f});
    m_app.Frame().Action(ID_FILE_STOPRECORDING)->trigger();
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !Recorder().Stopping(); }));
    EXPECT_TRUE(m_app.m_dialogs.m_vNotified.back().startsWith("Recording lost or moved: rec.csv"));
    EXPECT_EQ(m_app.Status(), "Recording lost: rec.csv was deleted or replaced");
}

TEST_F(RecordTest, ClosingTheProgramEndsTheRecordingWithEverySetInTheFile) {
    // Nothing written before the program ends.
    Recorder().m_options.m_writeDelay = std::chrono::seconds(60);
    Record((m_directory.m_path / "rec.csv").string());
    for (int k = 0; k < 100; ++k) {
        Recorder().AddSet(Values{static_cast<float>(k)});
    }
    m_app.View().DestroyWindow();
    EXPECT_FALSE(Recorder().Recording());
    const std::string strText = Contents("rec.csv");
    EXPECT_EQ(std::count(strText.begin(), strText.end(), '\n'), 101);
    EXPECT_NE(strText.find(",99\n"), std::string::npos);
}

} // namespace
