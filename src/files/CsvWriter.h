#pragma once

#include "ExportResult.h"
#include "SampleSeries.h"

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

class CJobProgress;
class CPlotData;

// Longest text AppendFixed2 writes: '-', the 39 digits of the largest float, ".00".
inline constexpr std::size_t kMaxFixed2Length = 43;

// Writes f as printf("%0.2f", (double)f) does in the "C" locale, whatever the process
// locale: correctly rounded (ties to even in the default rounding mode), "-0.00" for small
// negatives, "inf" / "-inf" / "nan" / "-nan". Returns the end; nothing is terminated. p must
// have room for kMaxFixed2Length characters, which may all be overwritten.
char* AppendFixed2(char* p, float f);

// The text of a channel's name in a header line: "chN" (N = nChannel, from 1) for a channel
// without a name; characters that would split the cell or the line (',' ';' TAB '"' and control
// characters) become '_', so that the line reads back as the same number of cells. A name that
// would read as a number ("1", "nan") or as an empty cell (spaces) is put in double quotes, so
// that the line still reads as a header and the name as itself.
std::string HeaderCell(std::string_view strName, int nChannel);

// File > Save may start the file with a line of channel names; the quick export never does.
struct SCsvOptions {
    bool m_bHeaderLine = false;
    // The name of channel c + 1 at index c; a missing or empty one is written "chN".
    std::vector<std::string> m_vNames;
};

// What an export writes, as the store held it when the export began: one column per channel
// up to the last one that holds a sample, as many rows as channel 1 had samples, and the
// header line asked for (with its line end; empty for none). Taken on the thread that feeds
// the store; written on any thread while the store goes on.
struct CCsvSnapshot {
    std::vector<CSeriesSnapshot> m_vColumns;
    std::size_t m_nRows = 0;
    std::string m_strHeader;
};
CCsvSnapshot TakeCsvSnapshot(const CPlotData& data, const SCsvOptions& options = {});

// Writes the channel store as CSV text: one row per sample of channel 1, one column per
// channel up to the last one that holds a sample (hidden ones too), cells "%0.2f" separated
// by ",\t", an empty cell for a gap (a NaN sample), 0.00 beyond the end of a shorter channel,
// CR LF after every row; with options.m_bHeaderLine, a first line of the channels' names in
// the same form. An existing file at strPath is replaced only once the new one is complete.
CExportResult WriteCsv(const CPlotData& data, const std::string& strPath,
                       const SCsvOptions& options = {});

// The quick export: writes to a new file with the time-stamped ".csv" name in strDirectory
// (the current directory when empty), adding "_2", "_3", ... rather than replace anything.
// Never a header line.
CExportResult WriteCsvToNewFile(const CPlotData& data, const std::tm& tmLocal,
                                const std::string& strDirectory = {});

// The same from a snapshot, the same bytes. With a progress object, the rows written are
// counted into it, and a cancel request stops the export (kCancelled, no file left).
CExportResult WriteCsv(const CCsvSnapshot& snapshot, const std::string& strPath,
                       CJobProgress* pProgress = nullptr);
CExportResult WriteCsvToNewFile(const CCsvSnapshot& snapshot, const std::tm& tmLocal,
                                const std::string& strDirectory = {},
                                CJobProgress* pProgress = nullptr);
