// Saving over a file the user already has: what may be replaced, and that a failure leaves it
// as it was, with its permissions, its owner and its other names.
#include "CsvWriter.h"
#include "PlotData.h"
#include "SmallDisk.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

CPlotData MakeStore(const std::string& strSets) {
    CPlotData data;
    data.m_cLimiter = '#';
    data.CreateChannels();
    data.Interpret(strSets.c_str());
    return data;
}

std::string ManySets(int nSets) {
    std::string strSets;
    for (int i = 0; i < nSets; ++i) {
        strSets += "1 2 3 4 5 6 7 8 9 10#";
    }
    return strSets;
}

struct stat Stat(const std::string& strPath) {
    struct stat st {};
    EXPECT_EQ(::stat(strPath.c_str(), &st), 0) << strPath;
    return st;
}

// WriteCsv as another user, in a child process; its status.
EExportStatus WriteCsvAs(uid_t nUser, const CPlotData& data, const std::string& strPath) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(nUser) != 0 || ::setuid(nUser) != 0) {
            ::_exit(100);
        }
        ::_exit(static_cast<int>(WriteCsv(data, strPath).m_eStatus));
    }
    int nStatus = 0;
    ::waitpid(pid, &nStatus, 0);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) != 100) << "could not become the user";
    return static_cast<EExportStatus>(WEXITSTATUS(nStatus));
}

TEST(OutputFileTest, AWriteProtectedFileIsRefusedAndKept) {
    CTempDir dir;
    const CPlotData data = MakeStore("1 2#");
    const std::string strPath = dir.Path("kept.csv");
    WriteFile(strPath, "precious\r\n");
    // Nobody may write it: refused also for the superuser, who passes every other check.
    ASSERT_EQ(::chmod(strPath.c_str(), 0444), 0);
    const CExportResult result = WriteCsv(data, strPath);
    EXPECT_EQ(result.m_eStatus, EExportStatus::kCannotOpen);
    EXPECT_EQ(result.m_nErrno, EACCES);
    EXPECT_EQ(ReadFile(strPath), "precious\r\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"kept.csv"});

    if (::geteuid() != 0) {
        return; // a user who is not the superuser was refused by the permission check above
    }
    // The owner may write it, another user may not, though the directory lets anyone add and
    // rename files: a save by that user must not replace it.
    ASSERT_EQ(::chmod(dir.Dir().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(strPath.c_str(), 0644), 0);
    EXPECT_EQ(WriteCsvAs(kNobody, data, strPath), EExportStatus::kCannotOpen);
    EXPECT_EQ(ReadFile(strPath), "precious\r\n");
    EXPECT_EQ(Stat(strPath).st_uid, 0u);

    // Saved over by the superuser, a file of another user stays that user's.
    ASSERT_EQ(::chown(strPath.c_str(), kNobody, kNobody), 0);
    ASSERT_TRUE(WriteCsv(data, strPath).Ok());
    EXPECT_EQ(ReadFile(strPath), "1.00,\t2.00\r\n");
    EXPECT_EQ(Stat(strPath).st_uid, kNobody);
    EXPECT_EQ(Stat(strPath).st_mode & 07777, 0644u);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"kept.csv"});
}

TEST(OutputFileTest, AFailedSaveNeverRemovesOrShortensTheOldFile) {
    CTempDir dir;
    const CPlotData big = MakeStore(ManySets(2000));
    // A name so long that a temporary name built from it would not fit.
    const std::string strLong = dir.Path(std::string(250, 'n') + ".csv");
    ASSERT_TRUE(WriteCsv(MakeStore("5#"), strLong).Ok());
    const std::string strLinked = dir.Path("linked.csv");
    WriteFile(strLinked, "linked export\r\n");
    ASSERT_EQ(::link(strLinked.c_str(), dir.Path("other-name.csv").c_str()), 0);
    {
        const CFileSizeLimit limit(4096);
        EXPECT_EQ(WriteCsv(big, strLong).m_eStatus, EExportStatus::kWriteFailed);
        EXPECT_EQ(WriteCsv(big, strLinked).m_eStatus, EExportStatus::kWriteFailed);
    }
    EXPECT_EQ(ReadFile(strLong), "5.00\r\n");
    EXPECT_EQ(ReadFile(strLinked), "linked export\r\n");
    EXPECT_EQ(Stat(strLinked).st_nlink, 2u);
    EXPECT_EQ(dir.Names(), (std::set<std::string>{std::string(250, 'n') + ".csv", "linked.csv",
                                                  "other-name.csv"}));
}

TEST(OutputFileTest, AFileWithOtherLinksIsWrittenInPlaceAndKeepsThem) {
    CTempDir dir;
    const std::string strPath = dir.Path("data.csv");
    const std::string strOther = dir.Path("same-data.csv");
    WriteFile(strPath, "an older export, longer than the new one\r\n");
    ASSERT_EQ(::chmod(strPath.c_str(), 0604), 0);
    ASSERT_EQ(::link(strPath.c_str(), strOther.c_str()), 0);
    const ino_t nInode = Stat(strPath).st_ino;

    ASSERT_TRUE(WriteCsv(MakeStore("7 8#"), strPath).Ok());
    EXPECT_EQ(ReadFile(strPath), "7.00,\t8.00\r\n");
    EXPECT_EQ(ReadFile(strOther), "7.00,\t8.00\r\n");
    EXPECT_EQ(Stat(strPath).st_ino, nInode);
    EXPECT_EQ(Stat(strPath).st_nlink, 2u);
    EXPECT_EQ(Stat(strPath).st_mode & 07777, 0604u);

    // Longer than before, and then empty.
    const std::string strLonger = ReadFile(strPath) + ReadFile(strPath);
    ASSERT_TRUE(WriteCsv(MakeStore("7 8#7 8#"), strOther).Ok());
    EXPECT_EQ(ReadFile(strPath), strLonger);
    ASSERT_TRUE(WriteCsv(MakeStore(""), strPath).Ok());
    EXPECT_EQ(ReadFile(strOther), "");
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"data.csv", "same-data.csv"}));
}

TEST(OutputFileTest, ALinkedFileOnAFullDiskIsLeftAsItWas) {
    CSmallDisk disk(256 * 1024);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "needs the superuser to mount a small file system (CI runs as one)";
    }
    const std::string strPath = disk.Path("linked.csv");
    const std::string strOld(3000, 'o');
    WriteFile(strPath, strOld);
    ASSERT_EQ(::link(strPath.c_str(), disk.Path("other.csv").c_str()), 0);
    // About 40 KB of rows: the new contents fit once, but not a second time beside them.
    const CPlotData data = MakeStore(ManySets(800));
    disk.Fill(60 * 1024);
    const CExportResult result = WriteCsv(data, strPath);
    EXPECT_EQ(result.m_eStatus, EExportStatus::kWriteFailed);
    EXPECT_EQ(result.m_nErrno, ENOSPC);
    EXPECT_EQ(ReadFile(strPath), strOld);
    EXPECT_EQ(Stat(strPath).st_nlink, 2u);
}

} // namespace

namespace {

// An export into a pipe whose reader goes away fails with EPIPE: the signal the system sends
// for it must not end the program.
TEST(OutputFileTest, APipeWhoseReaderGoesFailsTheExportWithoutASignal) {
    CTempDir dir;
    const std::string strPipe = dir.Path("pipe");
    ASSERT_EQ(::mkfifo(strPipe.c_str(), 0600), 0);
    const int hReader = ::open(strPipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(hReader, 0);
    const CPlotData data = MakeStore(ManySets(10000)); // far more than a pipe holds
    std::thread closer([hReader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::close(hReader);
    });
    const CExportResult result = WriteCsv(data, strPipe);
    closer.join();
    EXPECT_EQ(result.m_eStatus, EExportStatus::kWriteFailed);
    EXPECT_EQ(result.m_nErrno, EPIPE);
}

} // namespace
