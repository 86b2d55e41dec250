#include "DataFileReader.h"

#include "JobProgress.h"
#include "MemoryBudget.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;
// No row of ten values comes near this; a longer line is not data.
constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;
// The store counts samples in an int.
constexpr std::uint64_t kMaxRows = INT_MAX;
constexpr std::size_t kMaxNumberLength = 64;
// The verdict on a data file rests on this many of its first lines: text that is mostly not
// rows of numbers is no data file, and a few numbers found in it by chance are not data.
constexpr std::uint64_t kJudgedLines = 1000;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view TrimBlanks(std::string_view cell) {
    while (!cell.empty() && IsBlank(cell.front())) {
        cell.remove_prefix(1);
    }
    while (!cell.empty() && IsBlank(cell.back())) {
        cell.remove_suffix(1);
    }
    return cell;
}

bool IsQuoted(std::string_view cell) {
    return cell.size() >= 2 && cell.front() == '"' && cell.back() == '"';
}

std::string_view Trim(std::string_view cell) {
    cell = TrimBlanks(cell);
    return IsQuoted(cell) ? cell.substr(1, cell.size() - 2) : cell;
}

// The program's exports separate cells by ",\t"; a TAB alone separates cells of a TSV file,
// whose numbers may have decimal commas.
char ChooseSeparator(std::string_view line) {
    if (line.find(';') != std::string_view::npos) {
        return ';';
    }
    if (line.find(",\t") != std::string_view::npos) {
        return ',';
    }
    if (line.find('\t') != std::string_view::npos) {
        return '\t';
    }
    return line.find(',') != std::string_view::npos ? ',' : 0;
}

// Calls f(cell) for each cell of the line, trimmed (its quotes too unless bKeepQuotes); stops
// early when f returns false.
template <bool bKeepQuotes = false, class F>
void ForEachCell(std::string_view line, char cSeparator, F&& f) {
    for (;;) {
        const std::size_t nEnd = cSeparator == 0 ? std::string_view::npos : line.find(cSeparator);
        const std::string_view cell = line.substr(0, nEnd);
        if (!f(bKeepQuotes ? TrimBlanks(cell) : Trim(cell)) || nEnd == std::string_view::npos) {
            return;
        }
        line.remove_prefix(nEnd + 1);
    }
}

} // namespace

CDataFileParser::CDataFileParser(CMemoryGauge* pGauge)
    : m_pGauge(pGauge), m_hCLocale(::newlocale(LC_ALL_MASK, "C", nullptr)) {}

CDataFileParser::~CDataFileParser() {
    if (m_hCLocale != nullptr) {
        ::freelocale(m_hCLocale);
    }
}

void CDataFileParser::Feed(std::string_view text) {
    while (!text.empty() && !Refused()) {
        const std::size_t nEnd = text.find('\n');
        if (nEnd == std::string_view::npos) {
            if (!m_bOverlong) {
                m_strCarry.append(text);
                if (m_strCarry.size() > kMaxLineLength) {
                    m_strCarry.clear();
                    m_bOverlong = true;
                }
            }
            return;
        }
        if (m_bOverlong) {
            m_bOverlong = false;
            m_bAtStart = false;
            Skip();
        } else if (m_strCarry.empty()) {
            Line(text.substr(0, nEnd));
        } else {
            m_strCarry.append(text.substr(0, nEnd));
            Line(m_strCarry);
            m_strCarry.clear();
        }
        text.remove_prefix(nEnd + 1);
    }
}

void CDataFileParser::Finish() {
    if (m_bOverlong) {
        m_bOverlong = false;
        Skip();
    } else if (!m_strCarry.empty()) {
        Line(m_strCarry);
        m_strCarry.clear();
    }
    if (m_data.m_nRows == 0 || 2 * m_nJudgedSkipped > m_nJudged) {
        m_data.m_eStatus = ELoadStatus::kNotDataFile;
    }
}

bool CDataFileParser::Refused() const {
    return m_nJudged >= kJudgedLines && 2 * m_nJudgedSkipped > m_nJudged;
}

void CDataFileParser::Skip() {
    ++m_data.m_nSkipped;
    if (m_nJudged < kJudgedLines) {
        ++m_nJudged;
        ++m_nJudgedSkipped;
    }
}

void CDataFileParser::Line(std::string_view line) {
    if (m_bAtStart) {
        m_bAtStart = false;
        if (line.starts_with(kByteOrderMark)) {
            line.remove_prefix(kByteOrderMark.size());
        }
    }
    if (std::all_of(line.begin(), line.end(), IsBlank)) {
        // In one column, a gap is written as an empty line: one between rows is a row.
        if (m_cSeparator == 0 && m_data.m_nRows != 0 && !m_bTimeColumn) {
            ++m_nBlankRows;
        }
        return;
    }
    if (m_bFirstLine) {
        m_bFirstLine = false;
        m_cSeparator = ChooseSeparator(line);
        if (IsHeader(line)) {
            ReadHeader(line);
            return;
        }
    }
    // A line of nothing but separators is blank before the first row, and where a row needs
    // a time; after it, it is a row of gaps, as the exports write one.
    if ((m_data.m_nRows == 0 || m_bTimeColumn) &&
        std::all_of(line.begin(), line.end(),
                    [this](char c) { return IsBlank(c) || c == m_cSeparator; })) {
        return;
    }
    std::array<float, CLoadedData::kMaxColumns> values{};
    int nValues = 0;
    std::uint32_t nTimeMs = 0;
    int nDropped = 0;
    if (!ParseRow(line, values, nValues, nTimeMs, nDropped)) {
        Skip();
        return;
    }
    // Empty lines at the end of the file are no rows: only those before this one are.
    const std::array<float, 1> gap{std::numeric_limits<float>::quiet_NaN()};
    for (; m_nBlankRows != 0; --m_nBlankRows) {
        AddRow(gap.data(), 1, 0);
    }
    AddRow(values.data(), nValues, nTimeMs);
    m_data.m_nDroppedColumns = std::max(m_data.m_nDroppedColumns, nDropped);
}

void CDataFileParser::AddRow(const float* pValues, int nValues, std::uint32_t nTimeMs) {
    if (m_data.m_nRows >= kMaxRows) {
        Skip();
        return;
    }
    m_nJudged += m_nJudged < kJudgedLines ? 1 : 0;
    ++m_data.m_nRows;
    // A time alone is an empty set, which the store never kept: no time of a set either.
    if (m_bTimeColumn && nValues != 0) {
        Grow(m_data.m_vTimeMs.size());
        m_data.m_vTimeMs.push_back(nTimeMs);
    }
    for (int c = 0; c < nValues; ++c) {
        CPlotChannel& channel = m_data.m_channels[static_cast<std::size_t>(c)];
        if (m_pGauge != nullptr && !channel.m_vSamples.HasRoom() &&
            !m_pGauge->MayGrow(CSampleSeries::kBlockBytes)) {
            throw std::bad_alloc();
        }
        channel.Append(pValues[c]);
    }
    m_data.m_nColumns = std::max(m_data.m_nColumns, nValues);
}

// The times are counted as samples are: a block's worth of memory asked for at a time.
void CDataFileParser::Grow(std::size_t nSize) {
    static_assert(sizeof(std::uint32_t) == sizeof(Sample));
    if (nSize % CSampleSeries::kBlockSize != 0) {
        return;
    }
    // The vector itself grows by doubling, so that a long recording is not copied over and
    // over; the gauge is asked block by block.
    if (m_pGauge != nullptr && !m_pGauge->MayGrow(CSampleSeries::kBlockBytes)) {
        throw std::bad_alloc();
    }
}

void CDataFileParser::ReadHeader(std::string_view line) {
    bool bFirst = true;
    bool bNamed = false;
    ForEachCell(line, m_cSeparator, [&](std::string_view cell) {
        if (std::exchange(bFirst, false) && cell == "time_s") {
            m_bTimeColumn = true;
            return true;
        }
        if (m_data.m_vNames.size() >= CLoadedData::kMaxColumns) {
            return false;
        }
        // "chN" in its own column is what the program writes for a channel without a name.
        const std::string strPlaceholder = "ch" + std::to_string(m_data.m_vNames.size() + 1);
        m_data.m_vNames.emplace_back(cell == strPlaceholder ? std::string_view() : cell);
        bNamed = bNamed || !m_data.m_vNames.back().empty();
        return true;
    });
    if (!bNamed) {
        m_data.m_vNames.clear();
    }
}

bool CDataFileParser::IsHeader(std::string_view line) const {
    // Whatever the decimal mark turns out to be: with '.' in place of ',' every number of a
    // data line reads. Only the cells a row would be read from count.
    bool bHeader = false;
    int nCells = 0;
    // Quotes kept: a name in quotes is a name, even one that reads as a number (the program
    // quotes such).
    ForEachCell<true>(line, m_cSeparator, [&](std::string_view cell) {
        if (cell.empty()) {
            return true;
        }
        if (++nCells > CLoadedData::kMaxColumns) {
            return false;
        }
        char szCell[kMaxNumberLength];
        if (cell.size() >= sizeof szCell) {
            bHeader = true;
            return false;
        }
        std::replace_copy(cell.begin(), cell.end(), szCell, ',', '.');
        szCell[cell.size()] = '\0';
        char* pEnd = nullptr;
        static_cast<void>(::strtod_l(szCell, &pEnd, m_hCLocale));
        bHeader = pEnd != szCell + cell.size() || std::strpbrk(szCell, "xX") != nullptr;
        return !bHeader;
    });
    return bHeader;
}

bool CDataFileParser::ParseRow(std::string_view line,
                               std::array<float, CLoadedData::kMaxColumns>& values, int& nValues,
                               std::uint32_t& nTimeMs, int& nDropped) {
    bool bOk = true;
    bool bTime = m_bTimeColumn;
    nValues = 0;
    nDropped = 0;
    ForEachCell(line, m_cSeparator, [&](std::string_view cell) {
        if (bTime) {
            bTime = false;
            bOk = ParseTime(cell, nTimeMs);
            return bOk;
        }
        if (nValues == CLoadedData::kMaxColumns) {
            ++nDropped;
            return true;
        }
        float fValue = std::numeric_limits<float>::quiet_NaN(); // a gap
        if (!cell.empty() && !ParseCell(cell, fValue)) {
            bOk = false;
            return false;
        }
        values[static_cast<std::size_t>(nValues++)] = fValue;
        return true;
    });
    return bOk && !bTime;
}

bool CDataFileParser::ParseTime(std::string_view cell, std::uint32_t& nMs) {
    char szNumber[kMaxNumberLength];
    std::size_t n = 0;
    char cMark = 0;
    double dSeconds = 0.0;
    if (cell.empty() || !NumberText(cell, szNumber, n, cMark) ||
        std::from_chars(szNumber, szNumber + n, dSeconds).ptr != szNumber + n ||
        !(dSeconds >= 0.0) || !std::isfinite(dSeconds)) {
        return false;
    }
    if (cMark != 0) {
        m_cDecimal = cMark;
    }
    const double dMs = std::nearbyint(dSeconds * 1000.0);
    nMs = dMs < static_cast<double>(UINT32_MAX) ? static_cast<std::uint32_t>(dMs) : UINT32_MAX;
    return true;
}

bool CDataFileParser::NumberText(std::string_view cell, char* szNumber, std::size_t& n,
                                 char& cMark) {
    if (cell.size() >= kMaxNumberLength) {
        return false;
    }
    n = 0;
    std::size_t nFirst = cell.front() == '+' && cell.size() > 1 && cell[1] != '-' && cell[1] != '+';
    cMark = 0;
    for (std::size_t i = nFirst; i < cell.size(); ++i) {
        char c = cell[i];
        if (c == '.' || (c == ',' && m_cSeparator != ',')) {
            if (cMark != 0) {
                return false; // two marks: "1.234,5", "1,2,3"
            }
            cMark = c;
            c = '.';
        } else if (c == 'x' || c == 'X') {
            return false; // no hexadecimal numbers
        }
        szNumber[n++] = c;
    }
    return cMark == 0 || m_cDecimal == 0 || cMark == m_cDecimal;
}

bool CDataFileParser::ParseCell(std::string_view cell, float& fValue) {
    char szNumber[kMaxNumberLength];
    std::size_t n = 0;
    char cMark = 0;
    if (!NumberText(cell, szNumber, n, cMark)) {
        return false;
    }
    const auto result = std::from_chars(szNumber, szNumber + n, fValue);
    if (result.ptr != szNumber + n) {
        return false;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a float's range: infinite, or zero when too small, as the C library reads it.
        szNumber[n] = '\0';
        fValue = ::strtof_l(szNumber, nullptr, m_hCLocale);
    } else if (result.ec != std::errc()) {
        return false;
    }
    if (cMark != 0) {
        m_cDecimal = cMark;
    }
    return true;
}

CLoadedData ReadDataFile(const std::string& strPath, CJobProgress* pProgress,
                         CMemoryGauge* pGauge) {
    CLoadedData failed;
    // Not blocking on a pipe without a writer; anything but a plain file is refused anyway.
    const int hFile = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (hFile < 0 || ::fstat(hFile, &st) != 0 || !S_ISREG(st.st_mode)) {
        failed.m_eStatus = ELoadStatus::kCannotOpen;
        failed.m_nErrno = hFile < 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP;
        if (hFile >= 0) {
            ::close(hFile);
        }
        return failed;
    }
    if (pProgress != nullptr) {
        pProgress->SetTotal(static_cast<std::uint64_t>(st.st_size));
    }
    ELoadStatus eStatus = ELoadStatus::kOk;
    int nErrno = 0;
    try {
        auto pParser = std::make_unique<CDataFileParser>(pGauge);
        const std::unique_ptr<char[]> pBuffer(new char[kReadSize]);
        for (;;) {
            if (pProgress != nullptr && pProgress->Cancelled()) {
                eStatus = ELoadStatus::kCancelled;
                break;
            }
            const ssize_t nRead = ::read(hFile, pBuffer.get(), kReadSize);
            if (nRead < 0 && errno == EINTR) {
                continue;
            }
            if (nRead < 0) {
                eStatus = ELoadStatus::kReadFailed;
                nErrno = errno;
                break;
            }
            if (nRead > 0) {
                pParser->Feed(std::string_view(pBuffer.get(), static_cast<std::size_t>(nRead)));
                if (pProgress != nullptr) {
                    pProgress->Add(static_cast<std::uint64_t>(nRead));
                }
            }
            if (nRead == 0 || pParser->Refused()) {
                pParser->Finish();
                eStatus = pParser->Result().m_eStatus;
                break;
            }
        }
        ::close(hFile);
        if (eStatus == ELoadStatus::kOk) {
            return std::move(pParser->Result());
        }
        failed.m_nRows = pParser->Result().m_nRows;
        failed.m_nSkipped = pParser->Result().m_nSkipped;
    } catch (const std::bad_alloc&) {
        ::close(hFile);
        eStatus = ELoadStatus::kNoMemory;
        nErrno = ENOMEM;
    }
    failed.m_eStatus = eStatus;
    failed.m_nErrno = nErrno;
    return failed;
}
