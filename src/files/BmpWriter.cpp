#include "BmpWriter.h"

#include "OutputFile.h"
#include "TimeStampedName.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace {

// Field writers and readers fix the byte order: the file is little-endian on every host.
void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

std::uint32_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}

std::uint32_t Get32(const std::uint8_t* p) {
    return Get16(p) | (Get16(p + 2) << 16);
}

// The file header for a DIB block, or false when the block is not one.
bool MakeFileHeader(const std::vector<std::uint8_t>& vDib,
                    std::uint8_t (&header)[kBmpFileHeaderSize]) {
    if (vDib.size() < kBmpInfoHeaderSize ||
        vDib.size() > std::numeric_limits<std::uint32_t>::max() - kBmpFileHeaderSize) {
        return false;
    }
    const std::uint32_t nInfoSize = Get32(vDib.data());
    const std::uint32_t nBitCount = Get16(vDib.data() + 14);
    // Palette pictures carry one colour-table entry per possible index.
    const std::uint32_t nColors = nBitCount <= 8 ? std::uint32_t{1} << nBitCount : 0;
    const std::uint64_t nOffBits = kBmpFileHeaderSize + std::uint64_t{nInfoSize} + 4 * nColors;
    if (nOffBits > kBmpFileHeaderSize + vDib.size()) {
        return false;
    }
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, static_cast<std::uint32_t>(kBmpFileHeaderSize + vDib.size()));
    Put16(header + 6, 0);
    Put16(header + 8, 0);
    Put32(header + 10, static_cast<std::uint32_t>(nOffBits));
    return true;
}

bool WriteBmp(COutputFile& file, const std::uint8_t (&header)[kBmpFileHeaderSize],
              const std::vector<std::uint8_t>& vDib) {
    const bool bWritten = file.Write(header, sizeof header) && file.Write(vDib.data(), vDib.size());
    return file.Commit() && bWritten;
}

} // namespace

std::uint32_t BmpRowSize(std::uint32_t nWidth, std::uint32_t nBitCount) {
    const std::uint64_t bits = std::uint64_t{nWidth} * nBitCount;
    return static_cast<std::uint32_t>(((bits + 31) & ~std::uint64_t{31}) / 8);
}

std::vector<std::uint8_t> MakeDib32(const std::uint8_t* pBits, int nWidth, int nHeight,
                                    std::size_t nStride) {
    constexpr std::uint32_t kBitCount = 32;
    if (pBits == nullptr || nWidth <= 0 || nHeight <= 0) {
        return {};
    }
    const auto width = static_cast<std::uint32_t>(nWidth);
    const auto height = static_cast<std::uint32_t>(nHeight);
    const std::uint64_t nRowSize = BmpRowSize(width, kBitCount);
    const std::uint64_t nImageSize = nRowSize * height;
    if (nStride < std::size_t{width} * 4 || nImageSize > std::numeric_limits<std::uint32_t>::max() -
                                                             kBmpFileHeaderSize -
                                                             kBmpInfoHeaderSize) {
        return {};
    }

    std::vector<std::uint8_t> vDib(kBmpInfoHeaderSize + nImageSize);
    std::uint8_t* p = vDib.data();
    Put32(p + 0, kBmpInfoHeaderSize);
    Put32(p + 4, width);
    Put32(p + 8, height); // positive: rows stored bottom-up
    Put16(p + 12, 1);
    Put16(p + 14, kBitCount);
    Put32(p + 16, 0); // uncompressed
    Put32(p + 20, static_cast<std::uint32_t>(nImageSize));
    // Resolution and colour counts stay 0.

    std::uint8_t* pOut = p + kBmpInfoHeaderSize;
    for (std::uint32_t y = height; y-- > 0;) {
        const std::uint8_t* pRow = pBits + std::size_t{y} * nStride;
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint32_t pixel;
            std::memcpy(&pixel, pRow + std::size_t{x} * 4, 4);
            Put32(pOut, pixel & 0x00FFFFFF);
            pOut += 4;
        }
    }
    return vDib;
}

bool WriteBmpFile(const std::string& strPath, const std::vector<std::uint8_t>& vDib) {
    std::uint8_t header[kBmpFileHeaderSize];
    if (!MakeFileHeader(vDib, header)) {
        return false;
    }
    COutputFile file;
    return file.OpenReplacing(strPath) && WriteBmp(file, header, vDib);
}

CExportResult WriteBmpToNewFile(const std::vector<std::uint8_t>& vDib, const std::tm& tmLocal,
                                const std::string& strDirectory) {
    CExportResult result;
    std::uint8_t header[kBmpFileHeaderSize];
    if (!MakeFileHeader(vDib, header)) {
        result.m_nErrno = EINVAL;
        return result;
    }
    COutputFile file;
    if (!CreateTimeStampedFile(file, tmLocal, ".bmp", strDirectory, result.m_strPath)) {
        result.m_nErrno = file.Error();
        return result;
    }
    result.m_eStatus =
        WriteBmp(file, header, vDib) ? EExportStatus::kOk : EExportStatus::kWriteFailed;
    result.m_nErrno = file.Error();
    return result;
}
