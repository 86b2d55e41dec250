#include "CsvWriter.h"

#include "JobProgress.h"
#include "OutputFile.h"
#include "PlotData.h"
#include "TimeStampedName.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Text is gathered in a buffer and handed to the system in one write each time it fills: a
// large one from the heap when there is memory for it (fewer writes), else a small one on the
// stack, so that an export never fails for want of memory.
constexpr std::size_t kBufferSize = std::size_t{1} << 20;
constexpr std::size_t kFallbackBufferSize = std::size_t{64} << 10;
// Rows are formatted in chunks: the chunk's samples are first copied out of each channel
// with sequential reads, then the rows are written from those small arrays.
constexpr std::size_t kChunkRows = 1024;

constexpr char kDigitPairs[] = "00010203040506070809"
                               "10111213141516171819"
                               "20212223242526272829"
                               "30313233343536373839"
                               "40414243444546474849"
                               "50515253545556575859"
                               "60616263646566676869"
                               "70717273747576777879"
                               "80818283848586878889"
                               "90919293949596979899";

// 0..999 without leading zeros: up to three digits, then their count. Copying the four
// bytes and advancing by the count writes a number without a branch on its length.
struct CSmallNumbers {
    char m_v[1000][4] = {};
    constexpr CSmallNumbers() {
        for (int i = 0; i < 1000; ++i) {
            char* p = m_v[i];
            if (i >= 100) {
                *p++ = static_cast<char>('0' + i / 100);
            }
            if (i >= 10) {
                *p++ = static_cast<char>('0' + i / 10 % 10);
            }
            *p++ = static_cast<char>('0' + i % 10);
            m_v[i][3] = static_cast<char>(p - m_v[i]);
        }
    }
};
constexpr CSmallNumbers kSmallNumbers;

// Below this, value × 100 rounds to an integer that fits in 64 bits.
constexpr double kIntegerLimit = 4503599627370496.0; // 2^52
// Below this many hundredths the integer part has at most six digits: two table lookups.
constexpr std::uint64_t kTableLimit = 100'000'000;

char* AppendSmall(char* p, std::uint32_t n) {
    std::memcpy(p, kSmallNumbers.m_v[n], 4);
    return p + kSmallNumbers.m_v[n][3];
}

void CopyRows(const CSeriesSnapshot& series, std::size_t first, std::size_t count, float* pOut) {
    const std::size_t size = series.size();
    const std::size_t last = std::min(first + count, std::max(size, first));
    std::size_t copied = 0;
    series.ForEachRun(first, last, [&](const Sample* pRun, std::size_t n) {
        std::memcpy(pOut + copied, pRun, n * sizeof(Sample));
        copied += n;
    });
    // Past its end a shorter channel reads as 0.0, as GetSample does.
    std::fill(pOut + copied, pOut + count, 0.0f);
}

// Every channel up to the last one that holds a sample: a short or empty last set must not
// hide the columns that earlier sets filled.
std::size_t ColumnCount(const CPlotData& data) {
    for (int c = CPlotData::kChannelCount; c > 0; --c) {
        if (data.GetSampleCount(c - 1) > 0) {
            return static_cast<std::size_t>(c);
        }
    }
    return 0;
}

EExportStatus WriteRows(const CCsvSnapshot& snapshot, bool bHeader, COutputFile& file,
                        CJobProgress* pProgress) {
    const std::size_t nRows = snapshot.m_nRows;
    const std::size_t nColumns = snapshot.m_vColumns.size();
    if (pProgress != nullptr) {
        pProgress->SetTotal(nRows);
    }
    // One column per channel at most, as a snapshot of the store has.
    if (nColumns > CPlotData::kChannelCount) {
        return EExportStatus::kWriteFailed;
    }
    std::array<float, CPlotData::kChannelCount * kChunkRows> vChunk;
    std::array<char, kFallbackBufferSize> vFallback;
    const std::unique_ptr<char[]> pLarge(new (std::nothrow) char[kBufferSize]);
    char* const pBuffer = pLarge != nullptr ? pLarge.get() : vFallback.data();
    const std::size_t nBufferSize = pLarge != nullptr ? kBufferSize : kFallbackBufferSize;
    const std::size_t nMaxRow = nColumns * (kMaxFixed2Length + 2) + 2;
    char* const pFlushAt = pBuffer + nBufferSize - nMaxRow;
    char* p = pBuffer;
    if (bHeader && !snapshot.m_strHeader.empty() &&
        !file.Write(snapshot.m_strHeader.data(), snapshot.m_strHeader.size())) {
        return EExportStatus::kWriteFailed;
    }

    for (std::size_t first = 0; first < nRows; first += kChunkRows) {
        if (pProgress != nullptr && pProgress->Cancelled()) {
            return EExportStatus::kCancelled;
        }
        const std::size_t count = std::min(kChunkRows, nRows - first);
        for (std::size_t c = 0; c < nColumns; ++c) {
            CopyRows(snapshot.m_vColumns[c], first, count, vChunk.data() + c * kChunkRows);
        }
        for (std::size_t r = 0; r < count; ++r) {
            for (std::size_t c = 0; c < nColumns; ++c) {
                const float v = vChunk[c * kChunkRows + r];
                // A gap is an empty cell.
                if (!std::isnan(v)) {
                    p = AppendFixed2(p, v);
                }
                *p++ = ',';
                *p++ = '\t';
            }
            // The last cell has no separator: its ",\t" becomes the line end.
            if (nColumns > 0) {
                p -= 2;
            }
            *p++ = '\r';
            *p++ = '\n';
            if (p >= pFlushAt) {
                if (!file.Write(pBuffer, static_cast<std::size_t>(p - pBuffer))) {
                    return EExportStatus::kWriteFailed;
                }
                p = pBuffer;
            }
        }
        if (pProgress != nullptr) {
            pProgress->Add(count);
        }
    }
    return file.Write(pBuffer, static_cast<std::size_t>(p - pBuffer)) ? EExportStatus::kOk
                                                                      : EExportStatus::kWriteFailed;
}

CExportResult Finish(const CCsvSnapshot& snapshot, bool bHeader, COutputFile& file,
                     std::string strPath, CJobProgress* pProgress) {
    CExportResult result;
    result.m_strPath = std::move(strPath);
    result.m_eStatus = WriteRows(snapshot, bHeader, file, pProgress);
    if (result.m_eStatus != EExportStatus::kOk) {
        file.Abandon();
    } else if (!file.Commit()) {
        result.m_eStatus = EExportStatus::kWriteFailed;
    }
    result.m_nErrno = result.m_eStatus == EExportStatus::kCancelled ? 0 : file.Error();
    return result;
}

// The names of the files and the snapshot's list of blocks still take a little memory; when
// even that is not there, the export fails whole (its file removes itself) and says why.
template <class F>
CExportResult WithoutMemoryFailure(F&& fnExport) noexcept {
    try {
        return fnExport();
    } catch (const std::bad_alloc&) {
        return {EExportStatus::kNoMemory, {}, ENOMEM};
    }
}

} // namespace

char* AppendFixed2(char* p, float f) {
    // Exact: a float's 24-bit significand times 100 needs 31 bits, well within a double.
    const double scaled = std::fabs(static_cast<double>(f) * 100.0);
    if (!(scaled < kIntegerLimit)) {
        // Huge values, infinities and NaN: the library's exact conversion.
        return std::to_chars(p, p + kMaxFixed2Length, static_cast<double>(f),
                             std::chars_format::fixed, 2)
            .ptr;
    }
    // The one rounding printf does, in the current rounding mode (ties to even by default).
    const auto hundredths = static_cast<std::uint64_t>(std::nearbyint(scaled));
    // Branch-free sign: a sample's sign is as good as random to the branch predictor.
    *p = '-';
    p += std::signbit(f) ? 1 : 0;
    const std::uint64_t whole = hundredths / 100;
    if (hundredths >= kTableLimit) {
        p = std::to_chars(p, p + 20, whole).ptr;
    } else if (whole < 1000) {
        p = AppendSmall(p, static_cast<std::uint32_t>(whole));
    } else {
        const auto low = static_cast<std::uint32_t>(whole % 1000);
        p = AppendSmall(p, static_cast<std::uint32_t>(whole / 1000));
        *p++ = static_cast<char>('0' + low / 100);
        std::memcpy(p, kDigitPairs + 2 * (low % 100), 2);
        p += 2;
    }
    *p++ = '.';
    std::memcpy(p, kDigitPairs + 2 * (hundredths % 100), 2);
    return p + 2;
}

namespace {

// As the reader of data files would take the cell: spaces around it ignored, a number as
// strtod reads one ('+' too; hexadecimal is never a number there).
bool ReadsAsNumberOrNothing(std::string_view strCell) {
    const std::size_t nFirst = strCell.find_first_not_of(' ');
    if (nFirst == std::string_view::npos) {
        return true;
    }
    strCell = strCell.substr(nFirst, strCell.find_last_not_of(' ') + 1 - nFirst);
    if (strCell.size() > 1 && strCell[0] == '+' && strCell[1] != '-' && strCell[1] != '+') {
        strCell.remove_prefix(1);
    }
    double d = 0.0;
    const char* const pEnd = strCell.data() + strCell.size();
    return std::from_chars(strCell.data(), pEnd, d).ptr == pEnd;
}

} // namespace

std::string HeaderCell(std::string_view strName, int nChannel) {
    if (strName.empty()) {
        return "ch" + std::to_string(nChannel);
    }
    std::string strCell(strName);
    for (char& c : strCell) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == ',' || c == ';' || c == '"') {
            c = '_';
        }
    }
    return ReadsAsNumberOrNothing(strCell) ? '"' + strCell + '"' : strCell;
}

CCsvSnapshot TakeCsvSnapshot(const CPlotData& data, const SCsvOptions& options) {
    CCsvSnapshot snapshot;
    snapshot.m_nRows = data.GetSeries(0).size();
    const std::size_t nColumns = ColumnCount(data);
    snapshot.m_vColumns.reserve(nColumns);
    for (int c = 0; c < static_cast<int>(nColumns); ++c) {
        snapshot.m_vColumns.push_back(data.GetSeries(c).Snapshot());
    }
    if (options.m_bHeaderLine && nColumns > 0) {
        for (std::size_t c = 0; c < nColumns; ++c) {
            const std::string_view strName =
                c < options.m_vNames.size() ? std::string_view(options.m_vNames[c]) : "";
            snapshot.m_strHeader += HeaderCell(strName, static_cast<int>(c) + 1);
            snapshot.m_strHeader += c + 1 < nColumns ? ",\t" : "\r\n";
        }
    }
    return snapshot;
}

CExportResult WriteCsv(const CCsvSnapshot& snapshot, const std::string& strPath,
                       CJobProgress* pProgress) {
    return WithoutMemoryFailure([&]() -> CExportResult {
        COutputFile file;
        if (!file.OpenReplacing(strPath)) {
            return {EExportStatus::kCannotOpen, strPath, file.Error()};
        }
        return Finish(snapshot, true, file, strPath, pProgress);
    });
}

CExportResult WriteCsvToNewFile(const CCsvSnapshot& snapshot, const std::tm& tmLocal,
                                const std::string& strDirectory, CJobProgress* pProgress) {
    return WithoutMemoryFailure([&]() -> CExportResult {
        COutputFile file;
        std::string strPath;
        if (!CreateTimeStampedFile(file, tmLocal, ".csv", strDirectory, strPath)) {
            return {EExportStatus::kCannotOpen, strPath, file.Error()};
        }
        return Finish(snapshot, false, file, std::move(strPath), pProgress);
    });
}

CExportResult WriteCsv(const CPlotData& data, const std::string& strPath,
                       const SCsvOptions& options) {
    return WithoutMemoryFailure([&] { return WriteCsv(TakeCsvSnapshot(data, options), strPath); });
}

CExportResult WriteCsvToNewFile(const CPlotData& data, const std::tm& tmLocal,
                                const std::string& strDirectory) {
    return WithoutMemoryFailure(
        [&] { return WriteCsvToNewFile(TakeCsvSnapshot(data), tmLocal, strDirectory); });
}
