#pragma once

#include "ExportResult.h"

#include <cstddef>
#include <ctime>
#include <string>

class CPlotData;

// Longest text AppendFixed2 writes: '-', the 39 digits of the largest float, ".00".
inline constexpr std::size_t kMaxFixed2Length = 43;

// Writes f as printf("%0.2f", (double)f) does in the "C" locale, whatever the process
// locale: correctly rounded (ties to even in the default rounding mode), "-0.00" for small
// negatives, "inf" / "-inf" / "nan" / "-nan". Returns the end; nothing is terminated. p must
// have room for kMaxFixed2Length characters, which may all be overwritten.
char* AppendFixed2(char* p, float f);

// Writes the channel store as CSV text: one row per sample of channel 1, one column per
// channel up to the last one that holds a sample (hidden ones too), cells "%0.2f" separated
// by ",\t", 0.00 beyond the end of a shorter channel, CR LF after every row. An existing file at
// strPath is replaced only once the new one is complete.
CExportResult WriteCsv(const CPlotData& data, const std::string& strPath);

// The quick export: writes to a new file with the time-stamped ".csv" name in strDirectory
// (the current directory when empty), adding "_2", "_3", ... rather than replace anything.
CExportResult WriteCsvToNewFile(const CPlotData& data, const std::tm& tmLocal,
                                const std::string& strDirectory = {});
