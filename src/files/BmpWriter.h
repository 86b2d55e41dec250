#pragma once

#include "ExportResult.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Size of the BMP file header in front of the DIB block.
inline constexpr std::size_t kBmpFileHeaderSize = 14;
// Size of the information header that starts a DIB block.
inline constexpr std::size_t kBmpInfoHeaderSize = 40;

// Bytes of one stored row of nWidth pixels of nBitCount bits: rows are padded to whole
// 32-bit units, ((nWidth × nBitCount + 31) & ~31) / 8.
std::uint32_t BmpRowSize(std::uint32_t nWidth, std::uint32_t nBitCount);

// The DIB block (information header, no colour table, pixel rows bottom-up, each pixel
// blue, green, red, 0) of a picture of 32-bit pixels. pBits holds nHeight rows, the top row
// first, nStride bytes apart; each pixel is a 32-bit word 0xAARRGGBB in the host's byte
// order (as a QImage of Format_RGB32 or Format_ARGB32 stores them); alpha is dropped.
// Empty when the picture is empty or too large for the file format.
std::vector<std::uint8_t> MakeDib32(const std::uint8_t* pBits, int nWidth, int nHeight,
                                    std::size_t nStride);

// Writes the file header and then the DIB block to strPath. False when there is no DIB or
// the file could not be created or written; an existing file at strPath stays as it was
// unless the new one was written whole.
bool WriteBmpFile(const std::string& strPath, const std::vector<std::uint8_t>& vDib);

// The screenshot: writes to a new file with the time-stamped ".bmp" name in strDirectory
// (the current directory when empty), adding "_2", "_3", ... rather than replace anything.
CExportResult WriteBmpToNewFile(const std::vector<std::uint8_t>& vDib, const std::tm& tmLocal,
                                const std::string& strDirectory = {});
