// The program as a command in a terminal and as a desktop program that starts and ends.
#include "ProgramDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

TEST(ProgramShellTest, HelpVersionAndBadOptionsAnswerWithoutADisplay) {
    CScratchDirectory directory;
    const SProgramRun version = RunToEnd(directory.Path(), {"--version"});
    EXPECT_EQ(version.m_nStatus, 0);
    EXPECT_EQ(version.m_strOutput, "KovraPlotter 1.1b\n");

    const SProgramRun help = RunToEnd(directory.Path(), {"--help"});
    EXPECT_EQ(help.m_nStatus, 0);
    EXPECT_NE(help.m_strOutput.find("--port-map <NAME=DEVICE>"), std::string::npos)
        << help.m_strOutput;

    const SProgramRun bad = RunToEnd(directory.Path(), {"--frobnicate"});
    EXPECT_EQ(bad.m_nStatus, 2);
    EXPECT_EQ(bad.m_strOutput, "");
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

} // namespace
