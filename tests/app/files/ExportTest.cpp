#include "commands/CommandIds.h"
#include "files/FileCommands.h"
#include "files/JobRunner.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"
#include "view/PlotNavigator.h"

#include "AppTestSupport.h"
#include "CsvWriter.h"
#include "PlotData.h"
#include "ScratchCurrentDirectory.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(ExportTest, F8WritesTheChannelsToANewTimeStampedFile) {
    CScratchCurrentDirectory directory;
    CAppFixture app;
    g_pPlotData->Interpret("1.5 0.25#-2 3.14159#");
    Press(app.View(), Qt::Key_F8);
    Press(app.View(), Qt::Key_F8);
    const auto files = directory.Files(".csv");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(Contents(files[0]), "1.50,\t0.25\r\n-2.00,\t3.14\r\n");
    EXPECT_EQ(Contents(files[1]), Contents(files[0]));
    // The second export in the same second (or twelve hours later) gets a name of its own.
    const std::string strLater = app.Status().toStdString();
    EXPECT_EQ(strLater.rfind("Channels dumped to KovraPlot_", 0), 0u) << strLater;
    EXPECT_NE(std::find(files.begin(), files.end(), strLater.substr(19)), files.end());
    app.Frame().Action(ID_OTHER_QUICKCSV)->trigger();
    EXPECT_EQ(directory.Files(".csv").size(), 3u);
    EXPECT_EQ(app.Status().toStdString(), strLater);
}

TEST(ExportTest, AFailedExportSaysSoInsteadOfClaimingSuccess) {
    CAppFixture app;
    g_pPlotData->Interpret("1#");
    {
        CScratchCurrentDirectory directory;
        // The current directory is gone: nothing can be created in it.
        fs::remove(directory.m_path);
        Press(app.View(), Qt::Key_F8);
        fs::create_directory(directory.m_path);
    }
    EXPECT_EQ(app.m_dialogs.m_vNotified,
              std::vector<QString>{"Problem opening file.. No such file or directory"});
    EXPECT_TRUE(app.Status().startsWith("Error: channels not dumped to KovraPlot_"));

    app.m_dialogs.m_strSaveFileName = "/dev/full";
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(app.m_dialogs.m_vNotified.back(), "Problem writing file..");
    app.m_dialogs.m_strSaveFileName = "/no/such/directory/data.csv";
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(app.m_dialogs.m_vNotified.back(), "Problem opening file.. No such file or directory");
}

TEST(ExportTest, SaveWritesWhereTheDialogSays) {
    CScratchCurrentDirectory directory;
    CAppFixture app;
    g_pPlotData->Interpret("-0.001#");
    app.m_dialogs.m_strSaveFileName = QString::fromStdString(directory.m_path / "chosen.csv");
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    // A loaded machine may take longer than the quiet wait.
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !app.View().Files().Jobs().Busy(); }));
    EXPECT_EQ(Contents("chosen.csv"), "-0.00\r\n");
    EXPECT_EQ(app.m_dialogs.m_vAsked.back(), "Comma separated files (*.csv);;All files (*) / csv");
    app.m_dialogs.m_strSaveFileName.clear();
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(directory.Files(".csv"), std::vector<std::string>{"chosen.csv"});
}

// Save offers "Write a header line", off at first and then as the user last left it (a
// cancelled dialog changes nothing); the header names the channels.
TEST(ExportTest, SaveWritesAHeaderLineWhenAskedAndRemembersTheChoice) {
    CScratchCurrentDirectory directory;
    CAppFixture app;
    g_pPlotData->SetBoardFormat(EBoardFormat::kLines);
    g_pPlotData->Interpret("temp:1.5 hum:\n");
    g_pPlotData->SetChannelName(1, "Humidity");
    // The file ("" cancels), the answer (-1 leaves the box), what the box showed, the header.
    const std::tuple<const char*, int, bool, std::string> steps[] = {
        {"a.csv", -1, false, ""},
        {"b.csv", 1, false, "temp,\tHumidity\r\n"},
        {"", 0, true, ""},
        {"c.csv", -1, true, "temp,\tHumidity\r\n"}};
    for (const auto& [szFile, nAnswer, bShown, strHeader] : steps) {
        app.m_dialogs.m_strSaveFileName = szFile;
        app.m_dialogs.m_nSaveCheckAnswer = nAnswer;
        app.Frame().Action(ID_FILE_SAVE)->trigger();
        ASSERT_TRUE(CAppFixture::WaitFor([&] { return !app.View().Files().Jobs().Busy(); }));
        EXPECT_EQ(app.m_dialogs.m_vSaveChecksShown.back(),
                  std::pair(QStringLiteral("Write a header line"), bShown));
        EXPECT_EQ(*szFile != 0 ? Contents(szFile) : "",
                  *szFile != 0 ? strHeader + "1.50,\t\r\n" : "");
    }
}

// A store whose export takes long enough to run past the point where the window goes on.
void FillForALongExport() {
    for (int r = 0; r < 1'000'000; ++r) {
        for (int c = 0; c < 4; ++c) {
            g_pPlotData->AddSample(c, static_cast<float>(r % 1000) * 0.5f - static_cast<float>(c));
        }
    }
    g_pPlotData->m_nLastSetCount = 4;
}

// Exports go on their way at once and show their progress at once.
void NoQuietWait(CKovraPlotterView& view) {
    view.Files().Jobs().m_quietWait = std::chrono::milliseconds(0);
    view.Files().Jobs().m_dialogDelay = std::chrono::milliseconds(0);
}

TEST(ExportTest, ALongExportRunsWhileCollectionAndTheUserGoOn) {
    CScratchCurrentDirectory directory;
    CAppFixture app;
    CKovraPlotterView& view = app.View();
    FillForALongExport();
    ASSERT_TRUE(WriteCsv(*g_pPlotData, "expected.csv").Ok());
    std::ofstream("chosen.csv") << "an older export";
    NoQuietWait(view);
    app.m_dialogs.m_strSaveFileName = QString::fromStdString(directory.m_path / "chosen.csv");
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    ASSERT_TRUE(view.Files().Jobs().Busy());
    // New sets, a clear, more sets and a file opened in place of the data while the file is
    // written: the file holds what was stored when the export began.
    g_pPlotData->Interpret("9 9 9 9 9#");
    Press(view, Qt::Key_F12);
    g_pPlotData->Interpret("8 8#");
    std::ofstream("opened.csv") << "7\n6\n";
    app.m_dialogs.m_strOpenFileName = "opened.csv";
    app.m_dialogs.m_vConfirmAnswers = {true};
    app.Frame().Action(ID_FILE_OPEN)->trigger();
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !view.Files().Jobs().Busy(); }, 120'000));
    EXPECT_EQ(Contents("chosen.csv"), Contents("expected.csv"));
    ASSERT_FALSE(app.m_dialogs.m_vProgress.empty());
    EXPECT_EQ(app.m_dialogs.m_vProgress.front(), "Writing chosen.csv..");
    EXPECT_TRUE(app.m_dialogs.m_vNotified.empty());
    EXPECT_EQ(g_pPlotData->GetSampleCount(0), 2);
}

TEST(ExportTest, ACancelledExportLeavesNoFileAndKeepsTheOlderOne) {
    CScratchCurrentDirectory directory;
    CAppFixture app;
    CKovraPlotterView& view = app.View();
    FillForALongExport();
    std::ofstream("older.csv") << "an older export";
    NoQuietWait(view);
    app.m_dialogs.m_bCancelProgress = true;
    app.m_dialogs.m_strSaveFileName = QString::fromStdString(directory.m_path / "older.csv");
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !view.Files().Jobs().Busy(); }, 120'000));
    EXPECT_EQ(Contents("older.csv"), "an older export");
    EXPECT_EQ(app.Status(), "Export cancelled: older.csv not written");

    Press(view, Qt::Key_F8);
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !view.Files().Jobs().Busy(); }, 120'000));
    EXPECT_TRUE(app.Status().startsWith("Export cancelled: KovraPlot_"))
        << app.Status().toStdString();
    EXPECT_EQ(directory.Files(".csv"), std::vector<std::string>{"older.csv"});
    EXPECT_EQ(directory.Files(".tmp"), std::vector<std::string>{});
    EXPECT_TRUE(app.m_dialogs.m_vNotified.empty());
}

TEST(ExportTest, ClosingTheProgramWritesARequestedExportUnlessTheUserCancelsIt) {
    for (const bool bCancel : {false, true}) {
        CScratchCurrentDirectory directory;
        CAppFixture app;
        FillForALongExport();
        NoQuietWait(app.View());
        Press(app.View(), Qt::Key_F8);
        ASSERT_TRUE(app.View().Files().Jobs().Busy());
        // The progress dialog that closing shows, answered with Cancel or left alone.
        app.m_dialogs.m_bCancelProgress = bCancel;
        app.View().DestroyWindow();
        EXPECT_FALSE(app.View().Files().Jobs().Busy());
        const std::vector<std::string> vFiles = directory.Files(".csv");
        if (bCancel) {
            EXPECT_EQ(vFiles, std::vector<std::string>{});
            EXPECT_TRUE(app.Status().startsWith("Export cancelled")) << bCancel;
        } else {
            ASSERT_EQ(vFiles.size(), 1u);
            const std::string strText = Contents(vFiles[0]);
            EXPECT_EQ(std::count(strText.begin(), strText.end(), '\n'), 1'000'000);
            EXPECT_TRUE(app.Status().startsWith("Channels dumped")) << bCancel;
        }
    }
}

TEST(ExportTest, F9SavesTheViewWithItsScrollBarAndCopyTakesThePlotOnly) {
    CScratchCurrentDirectory directory;
    CAppFixture app;
    CKovraPlotterView& view = app.View();
    for (int k = 0; k < 200; ++k) {
        g_pPlotData->Interpret("1#");
    }
    view.Navigator().UpdateScrollBar();
    CAppFixture::Pump(50);
    Press(view, Qt::Key_F9);
    const auto files = directory.Files(".bmp");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(app.Status().toStdString(), "Saving current view to " + files[0]);
    const std::string strBmp = Contents(files[0]);
    EXPECT_EQ(strBmp.size(), 54u + 4u * static_cast<unsigned>(view.width() * view.height()));
    EXPECT_EQ(strBmp.substr(0, 2), "BM");

    app.Frame().Action(ID_EDIT_COPY)->trigger();
    EXPECT_EQ(app.Status(), "Current view copied to clipboard");
    const QImage copied = QApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), view.viewport()->size());
    EXPECT_LT(view.viewport()->height(), view.height());
}

} // namespace
