#pragma once

#include "PlotChannel.h"

#include <array>
#include <clocale>
#include <cstdint>
#include <string>
#include <string_view>

class CJobProgress;
class CMemoryGauge;

enum class ELoadStatus {
    kOk,
    kCannotOpen, // missing, unreadable, or not a plain file
    kReadFailed,
    kNoMemory,
    kCancelled,
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
};

// Reads the text of a data file, fed in pieces of any size:
// - the program's exports (cells separated by ",\t", CR LF line ends);
// - its recordings (a header "time_s,ch1,..."; the time column is not a channel);
// - CSV and TSV of other programs: cells separated by ',', ';' or TAB (the first line that is
//   not blank decides which: ';' if it has one, else ',' if it has ",\t" as the exports do,
//   else TAB, else ',', else it is a single column),
//   spaces around cells and one pair of double quotes ignored, LF or CR LF line ends.
// The first line that is not blank is a header when any of its cells is not a number; other
// blank lines are passed over. Each row's values go to channels 1, 2, ... in order, as a set
// of that many values would; values after the tenth are dropped, as the interpreter drops
// them. Numbers: an optional sign, digits with a decimal point, an optional exponent, "inf"
// and "nan" (each read as the nearest float; too large ones as infinite).
// Decimal commas: a comma-separated file uses '.'; in a semicolon- or TAB-separated file a
// cell may use ',' instead ("1,5"), and the first cell with either mark fixes it for the file.
// A row is skipped and counted when a cell is not a number, when it mixes both marks
// ("1.234,5"), uses the other mark than the file, or leaves a value empty before another.
// Nothing is guessed: such a row is not read at all.
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
    // The last line, if the text does not end with a line end.
    void Finish();
    CLoadedData& Result() { return m_data; }

private:
    void Line(std::string_view line);
    bool IsHeader(std::string_view line) const;
    bool ParseRow(std::string_view line, std::array<float, CLoadedData::kMaxColumns>& values,
                  int& nValues);
    bool ParseCell(std::string_view cell, float& fValue);

    CMemoryGauge* m_pGauge;
    CLoadedData m_data;
    std::string m_strCarry; // a line not yet ended
    bool m_bOverlong = false;
    bool m_bFirstLine = true;
    char m_cSeparator = 0;
    char m_cDecimal = 0; // 0 until the first cell with a decimal mark
    bool m_bTimeColumn = false;
    locale_t m_hCLocale;
};

// Reads the data file at strPath (see CDataFileParser). With a progress object, the bytes read
// are counted into it and a cancel request stops the reading (kCancelled). With a gauge, values
// that would take more memory than it allows stop the reading (kNoMemory).
CLoadedData ReadDataFile(const std::string& strPath, CJobProgress* pProgress = nullptr,
                         CMemoryGauge* pGauge = nullptr);
