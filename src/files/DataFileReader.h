#pragma once

#include "PlotChannel.h"

#include <array>
#include <clocale>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CJobProgress;
class CMemoryGauge;

enum class ELoadStatus {
    kOk,
    // Missing, unreadable, or not a plain file; m_nErrno says why (EISDIR for a directory,
    // ENOTSUP for a pipe or a device).
    kCannotOpen,
    kReadFailed,
    kNoMemory,
    kCancelled,
    // The text holds no readable row, or more than half of its first 1,000 lines that are not
    // blank (nor the header) cannot be read: an empty file, a header alone, a binary file, text
    // in another encoding. Nothing of it is returned.
    kNotDataFile,
};

// The values of a data file, as channels ready to take the place of the store's.
struct CLoadedData {
    static constexpr int kMaxColumns = 10;

    ELoadStatus m_eStatus = ELoadStatus::kOk;
    int m_nErrno = 0;
    // Channel c holds column c of every row that had one, with its extremes.
    std::array<CPlotChannel, kMaxColumns> m_channels;
    int m_nColumns = 0;           // the widest row read, at most kMaxColumns
    std::uint64_t m_nRows = 0;    // rows read
    std::uint64_t m_nSkipped = 0; // rows that could not be read
    // Cells after the tenth value, in the widest row: columns that are not loaded.
    int m_nDroppedColumns = 0;
    // The header's names of channels 1, 2, ... ("" for a cell without one, and for the
    // "chN" that stands for no name); empty when the file names no channel.
    std::vector<std::string> m_vNames;
    // A recording's time column: the time of each row read that holds a value or a gap, in
    // milliseconds (the largest time saturates at about 49 days); empty when the file has
    // none. A row with its time alone is a set without values, which adds no sample.
    std::vector<std::uint32_t> m_vTimeMs;
};

// Reads the text of a data file, fed in pieces of any size, a UTF-8 byte-order mark before it
// passed over:
// - the program's exports (cells separated by ",\t", CR LF line ends);
// - its recordings (a header "time_s,ch1,..."; the time column is not a channel, its times
//   are returned apart);
// - CSV and TSV of other programs: cells separated by ',', ';' or TAB (the first line that is
//   not blank decides which: ';' if it has one, else ',' if it has ",\t" as the exports do,
//   else TAB, else ',', else it is a single column),
//   spaces around cells and one pair of double quotes ignored, LF or CR LF line ends.
// The first line that is not blank is a header when any of its cells is not a number or is in
// double quotes (as the program writes a name that would read as a number); its cells name
// the channels. Blank lines, and lines of nothing but separators, are passed over
// before the first row, at the end, and where a row needs a time; between rows, a line of
// nothing but separators is a row of gaps, as is a blank line in a single column (the exports
// write a set of gaps so). Each row's values go to channels 1, 2, ... in order, as a set of that
// many values would; values after the tenth are dropped, as the interpreter drops them. Numbers: an
// optional sign, digits with a decimal point, an optional exponent, "inf" (each read as the
// nearest float; too large ones as infinite). An empty cell, also the last one of a row (as
// the exports and recordings write a gap in the last channel), and "nan" are a gap: a NaN
// sample, so that every channel stays aligned to its rows.
// Decimal commas: a comma-separated file uses '.'; in a semicolon- or TAB-separated file a
// cell may use ',' instead ("1,5"), and the first cell with either mark fixes it for the file.
// A row is skipped and counted when a cell is not a number, when it mixes both marks
// ("1.234,5"), uses the other mark than the file, or has no time where a time column is.
// Nothing is guessed: such a row is not read at all. Too many such rows make the text no data
// file at all (ELoadStatus::kNotDataFile, set by Finish).
class CDataFileParser {
public:
    // With a gauge, each new block of samples is asked of it first, and a refusal is a lack
    // of memory.
    explicit CDataFileParser(CMemoryGauge* pGauge = nullptr);
    ~CDataFileParser();
    CDataFileParser(const CDataFileParser&) = delete;
    CDataFileParser& operator=(const CDataFileParser&) = delete;

    // Throws std::bad_alloc when the values do not fit in memory or the gauge says no.
    void Feed(std::string_view text);
    // The last line, if the text does not end with a line end; then judges the whole.
    void Finish();
    // Already judged no data file: the rest need not be read.
    bool Refused() const;
    CLoadedData& Result() { return m_data; }

private:
    void Line(std::string_view line);
    void Skip();
    void AddRow(const float* pValues, int nValues, std::uint32_t nTimeMs);
    bool IsHeader(std::string_view line) const;
    void ReadHeader(std::string_view line);
    bool ParseRow(std::string_view line, std::array<float, CLoadedData::kMaxColumns>& values,
                  int& nValues, std::uint32_t& nTimeMs, int& nDropped);
    // The cell as plain number text with '.' as the mark (in szNumber, n characters), and the
    // mark the cell used (0 for none); false when it cannot be a number of this file.
    bool NumberText(std::string_view cell, char* szNumber, std::size_t& n, char& cMark);
    bool ParseCell(std::string_view cell, float& fValue);
    bool ParseTime(std::string_view cell, std::uint32_t& nMs);
    void Grow(std::size_t nSize);

    CMemoryGauge* m_pGauge;
    CLoadedData m_data;
    std::string m_strCarry; // a line not yet ended
    bool m_bOverlong = false;
    bool m_bAtStart = true;      // before the first line, where a byte-order mark may be
    bool m_bFirstLine = true;    // before the first line that is not blank
    std::uint64_t m_nJudged = 0; // of the first lines that count for the verdict
    std::uint64_t m_nJudgedSkipped = 0;
    char m_cSeparator = 0;
    std::uint64_t m_nBlankRows = 0; // empty lines after a row of a single column, not yet rows
    char m_cDecimal = 0;            // 0 until the first cell with a decimal mark
    bool m_bTimeColumn = false;
    locale_t m_hCLocale;
};

// Reads the data file at strPath (see CDataFileParser). With a progress object, the bytes read
// are counted into it and a cancel request stops the reading (kCancelled). With a gauge, values
// and times that would take more memory than it allows stop the reading (kNoMemory). A file
// that is no data file stops the reading as soon as that is clear (kNotDataFile, with the rows
// and skipped rows counted until then).
CLoadedData ReadDataFile(const std::string& strPath, CJobProgress* pProgress = nullptr,
                         CMemoryGauge* pGauge = nullptr);
