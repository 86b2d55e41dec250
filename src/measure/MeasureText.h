#pragma once

#include "CursorPair.h"
#include "SampleSeries.h"
#include "SampleStats.h"
#include "SetTimes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The texts of the readouts and the statistics panel, the same whatever the locale ('.'
// as the decimal point).

// "21.50": two decimals between 0.01 and 1e6 in magnitude (and for 0); three significant
// digits beyond, "1.23e-05", "4.56e+07"; "inf", "-inf"; "-" for a gap (NaN).
std::string FormatValue(double v);
// The channel's name, or "ch N" with N from 1 when it has none.
std::string ChannelLabel(int nChannel, std::string_view name);
// "12.345 s".
std::string FormatSeconds(double fSeconds);

// A shown channel, as the readouts read it.
struct SReadoutChannel {
    int m_nChannel = 0;
    std::string_view m_strName;
    const CSampleSeries* m_pSeries = nullptr;
};

// The status bar under the mouse: "#1234  temp 21.50  hum 40.00", with the set's time after
// the number when it is known ("#1234  12.345 s  temp ..."); a channel without a sample
// there shows "-". pTimes may be null.
std::string FormatReadout(int nSample, const CSetTimes* pTimes,
                          std::span<const SReadoutChannel> channels);

// The cursors: "A #100  B #250  Δ 150  Δt 1.500 s  temp 1.00 / 2.00 Δ 1.00  hum ...": each
// channel's value at A, at B, and B - A ("-" when either is a gap). Δt only when both times
// are known. With one cursor set, only its number, time and values; empty with none.
std::string FormatCursorReadout(const CCursorPair& cursors, const CSetTimes* pTimes,
                                std::span<const SReadoutChannel> channels);

// The statistics panel: one row per channel under these headings.
inline constexpr std::array<const char*, 7> kStatsColumns = {"Channel", "Last",    "Min",  "Max",
                                                             "Mean",    "Std dev", "Count"};
// The count is of the values that are not gaps, "1000 (2 inf)" when some are infinite (they
// are in min and max, not in mean and deviation).
std::array<std::string, 7> StatsRow(std::string_view label, const SSampleStats& stats);

// The line's figures, as the app counts them.
struct SLineFigures {
    std::uint64_t m_nSetsPerSecond = 0;
    std::uint64_t m_nBytesPerSecond = 0;
    // From the sets' times, for data that are not arriving (an opened recording).
    std::optional<double> m_fAverageSetsPerSecond;
    std::uint64_t m_nValuesDropped = 0; // beyond 10 channels
    std::uint64_t m_nLinesSkipped = 0;
    std::uint64_t m_nLineErrors = 0;
};
// Label and value rows: "Sets per second", "Bytes per second", "Average sets per second"
// (only when known), "Values dropped", "Lines skipped", "Line errors".
std::vector<std::pair<std::string, std::string>> LineFigureRows(const SLineFigures& figures);
