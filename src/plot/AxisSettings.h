#pragma once

#include <string>
#include <string_view>

// What the X Axis and Y Axis dialogs show and what their OK does with the texts. All
// conversions use '.' as the decimal point whatever the process locale.

// printf's "%0.<decimals>f" in the "C" locale.
std::string FormatFixed(double v, int nDecimals);

// The initial texts: "%0.0f" of the ppd, "%0.1f" of a Y limit.
inline std::string PpdDialogText(float fPointsPerDiv) {
    return FormatFixed(fPointsPerDiv, 0);
}
inline std::string YLimitDialogText(float fLimit) {
    return FormatFixed(fLimit, 1);
}

// Not empty, and every character is one the stream interpreter takes for a number.
bool IsNumericText(std::string_view text);

struct CXAxisResult {
    float m_fPointsPerDiv = 0.0f;
    bool m_bDoublePpdAtMax = false;
    const char* m_szStatus = nullptr;
};

// The largest ppd a settings file may hold.
inline constexpr float kMaxStoredPointsPerDiv = 1e10f;

// Whether a ppd read back from the settings is one the program can have set: from 1 (the
// smallest the X Axis dialog takes) to kMaxStoredPointsPerDiv; anything else gives way to the
// default.
bool IsValidPointsPerDiv(float fPointsPerDiv);

// OK of X Axis: a ppd text whose atoi value is above 0 replaces the ppd (a digit run beyond
// the int range counts as INT_MAX); the check box is applied either way.
CXAxisResult ApplyXAxisDialog(float fPointsPerDiv, std::string_view strPpd, bool bDoublePpd);

struct CYAxisResult {
    float m_fYMax = 0.0f;
    float m_fYMin = 0.0f;
    bool m_bAutoScale = false;
    // nullptr when both texts were taken.
    const char* m_szStatus = nullptr;
};

// OK of Y Axis: each limit whose text passes IsNumericText becomes its atof value; a value
// beyond the float range becomes +-FLT_MAX, so the range stays finite. The automatic
// scaling flag is applied whatever the texts held.
CYAxisResult ApplyYAxisDialog(float fYMax, float fYMin, std::string_view strYMax,
                              std::string_view strYMin, bool bAutoScaling);
