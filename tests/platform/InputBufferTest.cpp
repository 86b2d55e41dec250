#include "InputBuffer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <string>
#include <unistd.h>

namespace {

// A non-blocking pipe standing in for a port.
class InputBufferTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(pipe2(m_hPipe, O_NONBLOCK | O_CLOEXEC), 0); }
    void TearDown() override {
        close(m_hPipe[0]);
        if (m_hPipe[1] >= 0) {
            close(m_hPipe[1]);
        }
    }
    void Send(const std::string& strData) {
        ASSERT_EQ(write(m_hPipe[1], strData.data(), strData.size()),
                  static_cast<ssize_t>(strData.size()));
    }
    std::string Take(CInputBuffer& buffer, std::size_t nCount) {
        std::string strData(nCount, '\0');
        strData.resize(buffer.Take(reinterpret_cast<unsigned char*>(strData.data()), nCount));
        return strData;
    }

    int m_hPipe[2] = {-1, -1};
};

std::string Pattern(std::size_t nStart, std::size_t nCount) {
    std::string strData;
    for (std::size_t i = nStart; i < nStart + nCount; ++i) {
        strData.push_back(static_cast<char>('a' + i % 23));
    }
    return strData;
}

TEST_F(InputBufferTest, KeepsArrivalOrderWhileTakingAndFillingInTurns) {
    CInputBuffer buffer(1'000'000);
    std::size_t nSent = 0;
    std::string strTaken;
    // Uneven pieces, so that the kept bytes move to the front and the block grows at times.
    for (int i = 0; i < 200; ++i) {
        const std::size_t nPiece = 1 + static_cast<std::size_t>(i * 977 % 9000);
        Send(Pattern(nSent, nPiece));
        nSent += nPiece;
        std::size_t nAdded = 0;
        ASSERT_EQ(buffer.FillFrom(m_hPipe[0], &nAdded), CInputBuffer::kEmptied);
        ASSERT_EQ(nAdded, nPiece);
        strTaken += Take(buffer, static_cast<std::size_t>(i * 613 % 8000));
    }
    strTaken += Take(buffer, nSent);
    EXPECT_TRUE(buffer.IsEmpty());
    EXPECT_EQ(strTaken, Pattern(0, nSent));
    EXPECT_EQ(Take(buffer, 10), "");
}

TEST_F(InputBufferTest, StopsAtItsLimitAndLeavesTheRestInThePort) {
    CInputBuffer buffer(5000);
    Send(Pattern(0, 12'000));
    std::size_t nAdded = 0;
    EXPECT_EQ(buffer.FillFrom(m_hPipe[0], &nAdded), CInputBuffer::kFull);
    EXPECT_EQ(nAdded, 5000u);
    EXPECT_EQ(buffer.Size(), 5000u);
    EXPECT_EQ(buffer.FillFrom(m_hPipe[0], &nAdded), CInputBuffer::kFull);
    EXPECT_EQ(nAdded, 0u);
    EXPECT_EQ(Take(buffer, 1000), Pattern(0, 1000));
    EXPECT_EQ(buffer.FillFrom(m_hPipe[0], &nAdded), CInputBuffer::kFull);
    EXPECT_EQ(nAdded, 1000u);
    EXPECT_EQ(Take(buffer, 20'000), Pattern(1000, 5000));
    EXPECT_EQ(buffer.FillFrom(m_hPipe[0], &nAdded), CInputBuffer::kFull);
    EXPECT_EQ(Take(buffer, 20'000), Pattern(6000, 5000));
    EXPECT_EQ(buffer.FillFrom(m_hPipe[0], &nAdded), CInputBuffer::kEmptied);
    EXPECT_EQ(nAdded, 1000u);
    EXPECT_EQ(Take(buffer, 20'000), Pattern(11'000, 1000));
}

TEST_F(InputBufferTest, AnEndOfFileIsAHangUpAfterTheLastBytes) {
    CInputBuffer buffer(1000);
    Send("last");
    close(m_hPipe[1]);
    m_hPipe[1] = -1;
    std::size_t nAdded = 0;
    // A short read ends the fill: the end shows at the next one.
    EXPECT_EQ(buffer.FillFrom(m_hPipe[0], &nAdded), CInputBuffer::kEmptied);
    EXPECT_EQ(buffer.FillFrom(m_hPipe[0], &nAdded), CInputBuffer::kHungUp);
    EXPECT_EQ(nAdded, 0u);
    EXPECT_EQ(Take(buffer, 100), "last");
    EXPECT_EQ(buffer.FillFrom(-1, &nAdded), CInputBuffer::kFailed);
}

// A pseudo-terminal's device side reports the other side's going with EIO, not an end of
// file: a hang-up as well, after the bytes that came before it.
TEST(InputBufferHangUpTest, AnEioAfterTheLastBytesIsAHangUp) {
    int hMaster = -1;
    int hSlave = -1;
    ASSERT_EQ(openpty(&hMaster, &hSlave, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(fcntl(hMaster, F_SETFL, O_NONBLOCK), 0);
    ASSERT_EQ(write(hSlave, "xy", 2), 2);
    close(hSlave);
    CInputBuffer buffer(1000);
    std::size_t nAdded = 0;
    CInputBuffer::EFill eFill = CInputBuffer::kEmptied;
    for (int k = 0; k < 100 && eFill == CInputBuffer::kEmptied; ++k) {
        std::size_t nMore = 0;
        eFill = buffer.FillFrom(hMaster, &nMore);
        nAdded += nMore;
        if (eFill == CInputBuffer::kEmptied) {
            usleep(1000); // the pseudo-terminal hands the bytes over from a worker
        }
    }
    EXPECT_EQ(eFill, CInputBuffer::kHungUp);
    EXPECT_EQ(nAdded, 2u);
    unsigned char bytes[4] = {};
    EXPECT_EQ(buffer.Take(bytes, sizeof bytes), 2u);
    close(hMaster);
}

} // namespace
