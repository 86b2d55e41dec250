#include "LogFile.h"
#include "ScratchDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class LogFileTest : public ::testing::Test {
protected:
    std::string PathOf(const char* szName) const { return m_directory.PathOf(szName); }

    CScratchDirectory m_directory;
};

TEST_F(LogFileTest, CreatesOrAppendsToARegularFile) {
    const std::string strLog = PathOf("debug.txt");
    std::FILE* pNew = OpenLogFile(strLog.c_str());
    ASSERT_NE(pNew, nullptr);
    std::fputs("first\n", pNew);
    std::fclose(pNew);
    std::FILE* pAgain = OpenLogFile(strLog.c_str());
    ASSERT_NE(pAgain, nullptr);
    std::fputs("second\n", pAgain);
    std::fclose(pAgain);
    EXPECT_EQ(m_directory.Read("debug.txt"), "first\nsecond\n");
}

TEST_F(LogFileTest, AFifoIsRefusedWithoutWaitingForAReader) {
    const std::string strFifo = PathOf("debug.txt");
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [&] { return OpenLogFile(strFifo.c_str()); });
    if (opening.wait_for(5s) != std::future_status::ready) {
        // Let the blocked open finish so that the test can end.
        const int hReader = open(strFifo.c_str(), O_RDONLY | O_NONBLOCK);
        std::FILE* pFile = opening.get();
        if (pFile != nullptr) {
            std::fclose(pFile);
        }
        close(hReader);
        FAIL() << "opening a FIFO waited for a reader";
    }
    EXPECT_EQ(opening.get(), nullptr);

    // With a reader there the open would not block: it is refused all the same.
    const int hReader = open(strFifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(hReader, 0);
    EXPECT_EQ(OpenLogFile(strFifo.c_str()), nullptr);
    close(hReader);
}

TEST_F(LogFileTest, SymbolicLinksAndDirectoriesAreRefusedAndNothingIsCreatedOrWritten) {
    const std::string strTarget = PathOf("someone-elses-file");
    const std::string strLink = PathOf("debug.txt");
    fs::create_symlink(strTarget, strLink);
    EXPECT_EQ(OpenLogFile(strLink.c_str()), nullptr);
    EXPECT_FALSE(fs::exists(strTarget));

    m_directory.Write("someone-elses-file", "precious\n");
    EXPECT_EQ(OpenLogFile(strLink.c_str()), nullptr);
    EXPECT_EQ(m_directory.Read("someone-elses-file"), "precious\n");

    const std::string strDirectory = PathOf("logs");
    fs::create_directory(strDirectory);
    EXPECT_EQ(OpenLogFile(strDirectory.c_str()), nullptr);
}

} // namespace
