// The program as a command in a terminal and as a desktop program that starts and ends.
#include "ProgramDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <termios.h>
#include <thread>

namespace {

TEST(ProgramShellTest, HelpVersionAndBadOptionsAnswerWithoutADisplay) {
    CScratchDirectory directory;
    const SProgramRun version = RunToEnd(directory.Path(), {"--version"}, true);
    EXPECT_EQ(version.m_nStatus, 0);
    EXPECT_EQ(version.m_strOutput, "KovraPlotter 1.1b\n");

    for (const char* szHelp : {"--help", "-h", "--help-all"}) {
        const SProgramRun help = RunToEnd(directory.Path(), {szHelp}, true);
        EXPECT_EQ(help.m_nStatus, 0) << szHelp;
        EXPECT_NE(help.m_strOutput.find("--port-map <NAME=DEVICE>"), std::string::npos)
            << szHelp << ": " << help.m_strOutput;
    }

    const SProgramRun bad = RunToEnd(directory.Path(), {"--frobnicate"}, true);
    EXPECT_EQ(bad.m_nStatus, 2);
    EXPECT_EQ(bad.m_strOutput, "");
    EXPECT_NE(bad.m_strError.find("Unknown option 'frobnicate'"), std::string::npos)
        << bad.m_strError;
}

TEST(ProgramShellTest, ExitEndsTheProcessWithStatusZeroOnlyAfterYes) {
    CScratchDirectory directory;
    CProgram program(directory.Path(), {});
    EXPECT_EQ(program.Command("command 57665"),
              std::vector<std::string>{"question Close Kovra? no"});
    EXPECT_EQ(program.Status(), "Ready");
    program.Command("answer yes");
    program.Command("command 57665");
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST(ProgramShellTest, ADebugLogThatIsAFifoOrALinkNeitherHangsNorWritesElsewhere) {
    CScratchDirectory fifoDirectory;
    ASSERT_EQ(mkfifo((fifoDirectory.Path() + "/debug.txt").c_str(), 0600), 0);
    {
        CProgram program(fifoDirectory.Path(), {});
        EXPECT_EQ(program.Status(), "Ready");
        EXPECT_EQ(program.Quit(), 0);
    }
    CScratchDirectory linkDirectory;
    const std::string strTarget = linkDirectory.Path() + "/elsewhere.txt";
    std::filesystem::create_symlink(strTarget, linkDirectory.Path() + "/debug.txt");
    CProgram program(linkDirectory.Path(), {});
    EXPECT_EQ(program.Status(), "Ready");
    EXPECT_EQ(program.Quit(), 0);
    EXPECT_FALSE(std::filesystem::exists(strTarget));
}

bool Has(const std::vector<std::string>& vLines, const std::string& strLine) {
    return std::find(vLines.begin(), vLines.end(), strLine) != vLines.end();
}

// Fills the next dialog's fields ("NAME TEXT" each) and presses OK.
void FillAndOk(CProgram& program, const std::vector<std::string>& vFields) {
    for (const std::string& strField : vFields) {
        program.Command("dialog-set " + strField);
    }
    program.Command("dialog-ok");
}

TEST(ProgramShellTest, SettingsAndTheWindowSurviveARestart) {
    CScratchDirectory directory;
    CPtyPair device;
    const std::vector<std::string> vArguments = {"--port-map", "COM1=" + device.Path()};
    {
        CProgram program(directory.Path(), vArguments);
        FillAndOk(program, {"comboSpeed 57600 bps", "comboStopBits 2", "comboParity Odd",
                            "comboFormat One set per line"});
        EXPECT_TRUE(Has(program.Command("command 32774"), "dialog Port Setup accepted"));
        FillAndOk(program, {"editPpd 10", "checkDoublePpd on"});
        program.Command("command 32773");
        FillAndOk(program, {"editYMax 7.5", "editYMin -1.5", "checkAutoScaling on"});
        program.Command("command 32771");
        FillAndOk(program, {"comboColor YELLOW", "comboPointType POINT", "checkInterpolate off",
                            "checkMarkMinMax on", "checkSoundEnabled on", "editBeepLimitMin -0.5",
                            "editBeepLimitMax 1.25"});
        program.Command("command 32781");
        program.Command("command 32800"); // keep collecting while scrolled back
        program.Command("window 40 30 700 500");
        EXPECT_EQ(program.Quit(), 0);
    }
    CProgram program(directory.Path(), vArguments);
    const auto portSetup = program.Command("command 32774");
    for (const char* szField :
         {"field comboSpeed = 57600 bps", "field comboStopBits = 2", "field comboParity = Odd",
          "field comboFormat = One set per line"}) {
        EXPECT_TRUE(Has(portSetup, szField)) << szField;
    }
    const auto xAxis = program.Command("command 32773");
    EXPECT_TRUE(Has(xAxis, "field editPpd = 10"));
    EXPECT_TRUE(Has(xAxis, "field checkDoublePpd = on"));
    const auto yAxis = program.Command("command 32771");
    for (const char* szField :
         {"field editYMax = 7.5", "field editYMin = -1.5", "field checkAutoScaling = on"}) {
        EXPECT_TRUE(Has(yAxis, szField)) << szField;
    }
    const auto channels = program.Command("command 32781");
    for (const char* szField : {"field comboColor = YELLOW", "field comboPointType = POINT",
                                "field checkInterpolate = off", "field checkMarkMinMax = on",
                                "field checkSoundEnabled = on", "field editBeepLimitMin = -0.50",
                                "field editBeepLimitMax = 1.25"}) {
        EXPECT_TRUE(Has(channels, szField)) << szField;
    }
    EXPECT_EQ(program.Command("window"), std::vector<std::string>{"window 40 30 700 500"});

    // The connection uses them: 57600 bps, odd parity (a pseudo-terminal keeps PARODD only)
    // and two stop bits; scrolling back leaves collection on; a line end ends a set.
    program.Command("key F2");
    program.Command("key Left");
    EXPECT_EQ(program.Pane(), "COM1 " + device.Path() + " 57600 | collecting");
    termios settings{};
    ASSERT_EQ(tcgetattr(device.Slave(), &settings), 0);
    EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B57600));
    EXPECT_EQ(settings.c_cflag & (PARODD | CSTOPB), static_cast<tcflag_t>(PARODD | CSTOPB));
    device.Send("1 2\n3 4\r\n");
    EXPECT_TRUE(program.WaitForValues(4, std::chrono::seconds(20)));
    EXPECT_EQ(program.Quit(), 0);
}

TEST(ProgramShellTest, InterruptedOrTerminatedItEndsInOrderAndKeepsItsSettings) {
    for (const int nSignal : {SIGINT, SIGTERM, SIGHUP}) {
        CScratchDirectory directory;
        CProgram program(directory.Path(), {});
        program.Command("window 40 30 700 500");
        program.Signal(nSignal);
        EXPECT_EQ(program.WaitForExit(), 0) << nSignal;
        CProgram again(directory.Path(), {});
        EXPECT_EQ(again.Command("window"), std::vector<std::string>{"window 40 30 700 500"})
            << nSignal;
    }
}

TEST(ProgramShellTest, TerminatedWithADialogOpenItStillEndsInOrder) {
    CScratchDirectory directory;
    CProgram program(directory.Path(), {});
    program.Command("window 40 30 700 500");
    // The X Axis dialog stays open in its own event loop until the signal ends the program.
    program.Command("hold 20000");
    std::thread signaller([&program] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        program.Signal(SIGTERM);
    });
    program.Command("command 32773");
    signaller.join();
    EXPECT_EQ(program.WaitForExit(), 0);
    CProgram again(directory.Path(), {});
    EXPECT_EQ(again.Command("window"), std::vector<std::string>{"window 40 30 700 500"});
}

TEST(ProgramShellTest, ACorruptOrStrangeSettingsFileGivesTheDefaults) {
    CScratchDirectory directory;
    const std::string strSettings = directory.Path() + "/" + kSettingsFile;
    std::mt19937 random(7);
    std::string strGarbage(4096, '\0');
    for (char& c : strGarbage) {
        c = static_cast<char>(random());
    }
    std::ofstream(strSettings, std::ios::binary) << "[Port]\nSpeed=3\n"
                                                 << strGarbage << "\n[Plot]\nPointsPerDiv=9\n";
    const std::vector<std::string> vDefaults = {
        "field comboSpeed = 9600 bps", "field comboStopBits = 1", "field comboParity = None"};
    {
        CProgram program(directory.Path(), {});
        const auto portSetup = program.Command("command 32774");
        for (const std::string& strField : vDefaults) {
            EXPECT_TRUE(Has(portSetup, strField)) << strField;
        }
        EXPECT_TRUE(Has(program.Command("command 32773"), "field editPpd = 5"));
        EXPECT_EQ(program.Quit(), 0);
    }
    // A FIFO in its place neither blocks the start nor is written.
    std::filesystem::remove(strSettings);
    ASSERT_EQ(mkfifo(strSettings.c_str(), 0600), 0);
    CProgram program(directory.Path(), {});
    const auto portSetup = program.Command("command 32774");
    for (const std::string& strField : vDefaults) {
        EXPECT_TRUE(Has(portSetup, strField)) << strField;
    }
    FillAndOk(program, {"comboSpeed 57600 bps"});
    program.Command("command 32774");
    EXPECT_EQ(program.Quit(), 0);
    EXPECT_TRUE(std::filesystem::is_fifo(strSettings));
}

} // namespace
