#pragma once

#include <climits>
#include <concepts>
#include <string_view>

// Truncates toward zero like a cast, but a value beyond the int range gives INT_MAX or
// INT_MIN and NaN gives 0: a plain cast of such a value is undefined behaviour, and plot
// values (an infinite sample, a typed ppd of 2e9) do reach it.
template <std::floating_point F>
constexpr int SaturatingTrunc(F v) {
    if (v != v) {
        return 0;
    }
    if (v >= static_cast<F>(2147483648.0)) {
        return INT_MAX;
    }
    // Everything below -2^31 truncates to INT_MIN or further down.
    if (v < static_cast<F>(-2147483648.0)) {
        return INT_MIN;
    }
    if constexpr (sizeof(F) > sizeof(double)) {
        // An x87 cast switches the rounding mode, which stalls the pipeline (about 15 ns a
        // sample when mapping a million). Cast the nearest double instead and correct it
        // when rounding carried v onto an integer from the zero side.
        const double near = static_cast<double>(v);
        if (near >= 2147483648.0) {
            return INT_MAX;
        }
        int t = static_cast<int>(near);
        if (static_cast<double>(t) == near) {
            const F rest = v - static_cast<F>(near);
            if (rest < 0 && near > 0) {
                --t;
            } else if (rest > 0 && near < 0) {
                ++t;
            }
        }
        return t;
    } else {
        return static_cast<int>(v);
    }
}

// atoi in the "C" locale (leading white space, one optional sign, the leading digits; 0
// without digits) that gives INT_MAX or INT_MIN instead of overflowing on long digit runs.
int SaturatingAtoi(std::string_view text);

// Narrows to float; values beyond the float range become +-FLT_MAX, NaN stays NaN.
float SaturateToFloat(double v);
