#include "MeasureText.h"

#include <charconv>
#include <cmath>

namespace {

const char* const kDelta = "\u0394";

std::string ToChars(double v, std::chars_format eFormat, int nPrecision) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v, eFormat, nPrecision);
    return std::string(buffer, result.ptr);
}

std::optional<double> SecondsOf(const CSetTimes* pTimes, int nSample) {
    if (pTimes == nullptr || nSample < 0) {
        return std::nullopt;
    }
    return pTimes->Seconds(static_cast<std::size_t>(nSample));
}

// Appends each piece; GCC 12 sees overlaps that are not there in "x" + std::string chains.
template <class... Pieces>
void Append(std::string& text, const Pieces&... pieces) {
    (text.append(pieces), ...);
}

void AppendValues(std::string& text, std::span<const SReadoutChannel> channels, int nSample) {
    for (const SReadoutChannel& channel : channels) {
        Append(text, "  ", ChannelLabel(channel.m_nChannel, channel.m_strName), " ",
               FormatValue(SampleOrGap(*channel.m_pSeries, nSample)));
    }
}

} // namespace

std::string FormatValue(double v) {
    if (v != v) {
        return "-";
    }
    if (std::isinf(v)) {
        return v > 0 ? "inf" : "-inf";
    }
    const double magnitude = std::fabs(v);
    if (magnitude == 0.0 || (magnitude >= 0.01 && magnitude < 1e6)) {
        // No "-0.00" for a small negative value.
        const std::string text = ToChars(v, std::chars_format::fixed, 2);
        return text == "-0.00" ? "0.00" : text;
    }
    return ToChars(v, std::chars_format::scientific, 2);
}

std::string ChannelLabel(int nChannel, std::string_view name) {
    if (!name.empty()) {
        return std::string(name);
    }
    std::string label;
    Append(label, "ch ", std::to_string(nChannel + 1));
    return label;
}

std::string FormatSeconds(double fSeconds) {
    std::string text = ToChars(fSeconds, std::chars_format::fixed, 3);
    Append(text, " s");
    return text;
}

std::string FormatReadout(int nSample, const CSetTimes* pTimes,
                          std::span<const SReadoutChannel> channels) {
    std::string text;
    Append(text, "#", std::to_string(nSample));
    if (const auto seconds = SecondsOf(pTimes, nSample)) {
        Append(text, "  ", FormatSeconds(*seconds));
    }
    AppendValues(text, channels, nSample);
    return text;
}

std::string FormatCursorReadout(const CCursorPair& cursors, const CSetTimes* pTimes,
                                std::span<const SReadoutChannel> channels) {
    std::string text;
    if (!cursors.BothSet()) {
        const auto one = cursors.A() ? cursors.A() : cursors.B();
        if (!one) {
            return text;
        }
        Append(text, cursors.A() ? "A #" : "B #", std::to_string(*one));
        if (const auto seconds = SecondsOf(pTimes, *one)) {
            Append(text, " ", FormatSeconds(*seconds));
        }
        AppendValues(text, channels, *one);
        return text;
    }
    const int nA = *cursors.A();
    const int nB = *cursors.B();
    Append(text, "A #", std::to_string(nA), "  B #", std::to_string(nB), "  ", kDelta, " ",
           std::to_string(*cursors.DeltaSamples()));
    const auto tA = SecondsOf(pTimes, nA);
    const auto tB = SecondsOf(pTimes, nB);
    if (tA && tB) {
        Append(text, "  ", kDelta, "t ", FormatSeconds(*tB - *tA));
    }
    for (const SReadoutChannel& channel : channels) {
        const float fA = SampleOrGap(*channel.m_pSeries, nA);
        const float fB = SampleOrGap(*channel.m_pSeries, nB);
        Append(text, "  ", ChannelLabel(channel.m_nChannel, channel.m_strName), " ",
               FormatValue(fA), " / ", FormatValue(fB), " ", kDelta, " ",
               FormatValue(static_cast<double>(fB) - fA));
    }
    return text;
}

std::array<std::string, 7> StatsRow(std::string_view label, const SSampleStats& stats) {
    std::string count = std::to_string(stats.m_nCount);
    if (stats.m_nInfinite > 0) {
        Append(count, " (", std::to_string(stats.m_nInfinite), " inf)");
    }
    return {std::string(label),
            FormatValue(stats.m_fLast),
            FormatValue(stats.Min()),
            FormatValue(stats.Max()),
            FormatValue(stats.Mean()),
            FormatValue(stats.StdDev()),
            count};
}

std::vector<std::pair<std::string, std::string>> LineFigureRows(const SLineFigures& figures) {
    std::vector<std::pair<std::string, std::string>> rows;
    rows.emplace_back("Sets per second", std::to_string(figures.m_nSetsPerSecond));
    rows.emplace_back("Bytes per second", std::to_string(figures.m_nBytesPerSecond));
    if (figures.m_fAverageSetsPerSecond) {
        rows.emplace_back("Average sets per second",
                          ToChars(*figures.m_fAverageSetsPerSecond, std::chars_format::fixed, 1));
    }
    rows.emplace_back("Values dropped", std::to_string(figures.m_nValuesDropped));
    rows.emplace_back("Lines skipped", std::to_string(figures.m_nLinesSkipped));
    rows.emplace_back("Line errors", std::to_string(figures.m_nLineErrors));
    return rows;
}
