#include "AppTestSupport.h"
#include "CommandIds.h"
#include "KovraPlotterView.h"
#include "PlotData.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// A directory of its own for a test's files, the current one while the test runs.
class CScratchDirectory {
public:
    CScratchDirectory() : m_previous(fs::current_path()) {
        m_path = fs::current_path() / ("scratch-" + std::to_string(++s_nCount));
        fs::create_directory(m_path);
        fs::current_path(m_path);
    }
    ~CScratchDirectory() {
        fs::current_path(m_previous);
        fs::remove_all(m_path);
    }
    std::vector<std::string> Files(const std::string& strSuffix) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fs::current_path())) {
            if (entry.path().extension() == strSuffix) {
                names.push_back(entry.path().filename());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path m_path;

private:
    fs::path m_previous;
    static inline int s_nCount = 0;
};

void Press(CKovraPlotterView& view, int nKey) {
    QKeyEvent event(QEvent::KeyPress, nKey, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
}

TEST(ExportTest, F8WritesTheChannelsToANewTimeStampedFile) {
    CScratchDirectory directory;
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
        CScratchDirectory directory;
        // The current directory is gone: nothing can be created in it.
        fs::remove(directory.m_path);
        Press(app.View(), Qt::Key_F8);
        fs::create_directory(directory.m_path);
    }
    EXPECT_EQ(app.m_dialogs.m_vNotified, std::vector<QString>{"Problem opening file.."});
    EXPECT_TRUE(app.Status().startsWith("Error: channels not dumped to KovraPlot_"));

    app.m_dialogs.m_strSaveFileName = "/dev/full";
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(app.m_dialogs.m_vNotified.back(), "Problem writing file..");
    app.m_dialogs.m_strSaveFileName = "/no/such/directory/data.csv";
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(app.m_dialogs.m_vNotified.back(), "Problem opening file..");
}

TEST(ExportTest, SaveWritesWhereTheDialogSays) {
    CScratchDirectory directory;
    CAppFixture app;
    g_pPlotData->Interpret("-0.001#");
    app.m_dialogs.m_strSaveFileName = QString::fromStdString(directory.m_path / "chosen.csv");
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(Contents("chosen.csv"), "-0.00\r\n");
    EXPECT_EQ(app.m_dialogs.m_vAsked.back(), "Comma separated files (*.csv);;All files (*) / csv");
    app.m_dialogs.m_strSaveFileName.clear();
    app.Frame().Action(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(directory.Files(".csv"), std::vector<std::string>{"chosen.csv"});
}

TEST(ExportTest, F9SavesTheViewWithItsScrollBarAndCopyTakesThePlotOnly) {
    CScratchDirectory directory;
    CAppFixture app;
    CKovraPlotterView& view = app.View();
    for (int k = 0; k < 200; ++k) {
        g_pPlotData->Interpret("1#");
    }
    view.UpdateScrollBar();
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
