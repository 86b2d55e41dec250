#include "BmpWriter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

namespace {

std::uint32_t Le32(const std::string& str, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;) {
        v = (v << 8) | static_cast<unsigned char>(str[at + i]);
    }
    return v;
}

std::uint32_t Le16(const std::string& str, std::size_t at) {
    return static_cast<unsigned char>(str[at]) | (static_cast<unsigned char>(str[at + 1]) << 8u);
}

// A picture of 0xAARRGGBB words as Qt's RGB32 images hold them, with padding at each row end.
struct CPicture {
    CPicture(int nWidth, int nHeight, std::size_t nStride)
        : m_nWidth(nWidth), m_nHeight(nHeight), m_nStride(nStride),
          m_vBits(nStride * static_cast<std::size_t>(nHeight), 0xEE) {}

    void Set(int x, int y, std::uint32_t pixel) {
        std::memcpy(
            &m_vBits[static_cast<std::size_t>(y) * m_nStride + 4 * static_cast<std::size_t>(x)],
            &pixel, 4);
    }
    std::vector<std::uint8_t> Dib() const {
        return MakeDib32(m_vBits.data(), m_nWidth, m_nHeight, m_nStride);
    }

    int m_nWidth, m_nHeight;
    std::size_t m_nStride;
    std::vector<std::uint8_t> m_vBits;
};

TEST(BmpWriterTest, RowsArePaddedToWholeWords) {
    EXPECT_EQ(BmpRowSize(3, 32), 12u);
    EXPECT_EQ(BmpRowSize(3, 24), 12u);
    EXPECT_EQ(BmpRowSize(5, 24), 16u);
    EXPECT_EQ(BmpRowSize(3, 16), 8u);
    EXPECT_EQ(BmpRowSize(5, 8), 8u);
    EXPECT_EQ(BmpRowSize(9, 4), 8u);
    EXPECT_EQ(BmpRowSize(1, 1), 4u);
    EXPECT_EQ(BmpRowSize(33, 1), 8u);
    EXPECT_EQ(BmpRowSize(0, 32), 0u);
}

TEST(BmpWriterTest, HeadersAndBottomUpRowsOfAThirtyTwoBitPicture) {
    CTempDir dir;
    CPicture picture(3, 2, 16);    // odd width, 4 bytes of padding per input row
    picture.Set(0, 0, 0xFF112233); // top left; the alpha byte must not reach the file
    picture.Set(2, 0, 0x00445566);
    picture.Set(0, 1, 0x00778899); // bottom left
    picture.Set(1, 1, 0x00AABBCC);
    picture.Set(2, 1, 0x00DDEEFF);
    picture.Set(1, 0, 0x00010203);
    const std::string strPath = dir.Path("view.bmp");
    ASSERT_TRUE(WriteBmpFile(strPath, picture.Dib()));

    const std::string strFile = ReadFile(strPath);
    ASSERT_EQ(strFile.size(), 54u + 4 * 3 * 2);
    EXPECT_EQ(strFile.substr(0, 2), "BM");
    EXPECT_EQ(Le32(strFile, 2), strFile.size());              // bfSize
    EXPECT_EQ(Le32(strFile, 6), 0u);                          // both reserved fields
    EXPECT_EQ(Le32(strFile, 10), 54u);                        // bfOffBits: no colour table
    EXPECT_EQ(Le32(strFile, 14), 40u);                        // biSize
    EXPECT_EQ(Le32(strFile, 18), 3u);                         // biWidth
    EXPECT_EQ(Le32(strFile, 22), 2u);                         // biHeight, positive: bottom-up
    EXPECT_EQ(Le16(strFile, 26), 1u);                         // biPlanes
    EXPECT_EQ(Le16(strFile, 28), 32u);                        // biBitCount
    EXPECT_EQ(Le32(strFile, 30), 0u);                         // BI_RGB
    EXPECT_EQ(Le32(strFile, 34), 24u);                        // biSizeImage
    EXPECT_EQ(strFile.substr(38, 16), std::string(16, '\0')); // resolution, colour counts
    const std::string strBottomRow("\x99\x88\x77\0\xCC\xBB\xAA\0\xFF\xEE\xDD\0", 12);
    const std::string strTopRow("\x33\x22\x11\0\x03\x02\x01\0\x66\x55\x44\0", 12);
    EXPECT_EQ(strFile.substr(54), strBottomRow + strTopRow);
}

TEST(BmpWriterTest, ColourTableOfPalettePicturesCountsInTheOffset) {
    // An 8-bit DIB block as a palette display's conversion gives it.
    std::vector<std::uint8_t> vDib(40 + 256 * 4 + BmpRowSize(5, 8) * 2, 0);
    vDib[0] = 40;
    vDib[14] = 8;
    CTempDir dir;
    ASSERT_TRUE(WriteBmpFile(dir.Path("palette.bmp"), vDib));
    const std::string strFile = ReadFile(dir.Path("palette.bmp"));
    EXPECT_EQ(Le32(strFile, 2), 14 + vDib.size());
    EXPECT_EQ(Le32(strFile, 10), 1078u);
}

TEST(BmpWriterTest, NothingToWriteOrNowhereToWriteIsFalse) {
    CTempDir dir;
    const std::vector<std::uint8_t> vDib = CPicture(2, 2, 8).Dib();
    EXPECT_TRUE(CPicture(0, 2, 8).Dib().empty());
    EXPECT_TRUE(CPicture(3, 2, 8).Dib().empty()); // stride shorter than a row
    EXPECT_FALSE(WriteBmpFile(dir.Path("empty.bmp"), {}));
    EXPECT_FALSE(WriteBmpFile(dir.Path("missing/view.bmp"), vDib));
    EXPECT_TRUE(dir.Names().empty());
    EXPECT_FALSE(WriteBmpFile("/dev/full", vDib));
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(BmpWriterTest, FailedWriteKeepsTheEarlierFile) {
    CTempDir dir;
    const std::string strPath = dir.Path("view.bmp");
    WriteFile(strPath, "earlier screenshot");
    const std::vector<std::uint8_t> vDib = CPicture(64, 64, 256).Dib();
    const std::tm tmNow = At(2005, 6, 7, 15, 4, 5);
    bool bWritten = true;
    CExportResult quick;
    {
        const CFileSizeLimit limit(4096);
        bWritten = WriteBmpFile(strPath, vDib);
        quick = WriteBmpToNewFile(vDib, tmNow, dir.Dir());
    }
    EXPECT_FALSE(bWritten);
    EXPECT_EQ(ReadFile(strPath), "earlier screenshot");
    EXPECT_EQ(quick.m_eStatus, EExportStatus::kWriteFailed);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"view.bmp"});
}

TEST(BmpWriterTest, ScreenshotsNeverReplaceEachOther) {
    CTempDir dir;
    const std::tm tmNow = At(2005, 6, 7, 15, 4, 5);
    const CExportResult first = WriteBmpToNewFile(CPicture(1, 1, 4).Dib(), tmNow, dir.Dir());
    const CExportResult second = WriteBmpToNewFile(CPicture(2, 1, 8).Dib(), tmNow, dir.Dir());
    ASSERT_TRUE(first.Ok());
    ASSERT_TRUE(second.Ok());
    EXPECT_EQ(first.m_strPath, dir.Path("KovraPlot_050607_03-04-05.bmp"));
    EXPECT_EQ(second.m_strPath, dir.Path("KovraPlot_050607_03-04-05_2.bmp"));
    EXPECT_EQ(ReadFile(first.m_strPath).size(), 54u + 4);
    EXPECT_EQ(ReadFile(second.m_strPath).size(), 54u + 8);
}

} // namespace
