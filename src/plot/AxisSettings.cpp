#include "AxisSettings.h"

#include "NumberText.h"
#include "PlotData.h"
#include "SaturatingMath.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

float AxisTextToFloat(std::string_view text) {
    const float v = NumberTextToFloat(text.data(), text.size());
    return std::isinf(v) ? SaturateToFloat(v) : v;
}

} // namespace

std::string FormatFixed(double v, int nDecimals) {
    // Enough for any float printed in full; doubles beyond that are not plot values.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed,
                                      std::max(0, nDecimals));
    if (result.ec != std::errc{}) {
        return {};
    }
    return std::string(buffer, result.ptr);
}

bool IsNumericText(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), CPlotData::IsNumberChar);
}

bool IsValidPointsPerDiv(float fPointsPerDiv) {
    return fPointsPerDiv >= 1.0f && fPointsPerDiv <= kMaxStoredPointsPerDiv;
}

CXAxisResult ApplyXAxisDialog(float fPointsPerDiv, std::string_view strPpd, bool bDoublePpd) {
    CXAxisResult result{fPointsPerDiv, bDoublePpd, "ERROR: Incorrect ppd value"};
    const int value = SaturatingAtoi(strPpd);
    if (value > 0) {
        result.m_fPointsPerDiv = static_cast<float>(value);
        result.m_szStatus = "STATUS: Updated ppd";
    }
    return result;
}

CYAxisResult ApplyYAxisDialog(float fYMax, float fYMin, std::string_view strYMax,
                              std::string_view strYMin, bool bAutoScaling) {
    CYAxisResult result{fYMax, fYMin, bAutoScaling, nullptr};
    if (IsNumericText(strYMax)) {
        result.m_fYMax = AxisTextToFloat(strYMax);
    } else {
        result.m_szStatus = "Error: Invalid character found in ymax";
    }
    if (IsNumericText(strYMin)) {
        result.m_fYMin = AxisTextToFloat(strYMin);
    } else {
        result.m_szStatus = "Error: Invalid character found in ymin";
    }
    return result;
}
