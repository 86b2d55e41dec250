#pragma once

#include <cstddef>
#include <cstdint>

// The value of a number text as the C library's atof reads it in the "C" locale, narrowed
// to float: an optional '-', digits with at most one '.', up to the first character that
// does not fit; 0.0 when no digit comes before that point. Independent of the process
// locale and bit-exact with (float)atof, including -0.0 and +inf for overlong digit runs.
float NumberTextToFloat(const char* text, std::size_t length);

// Up to this many digits a decimal mantissa is exact in a double (below 2^53).
inline constexpr std::ptrdiff_t kMaxExactDigits = 15;

// mantissa / 10^fractionDigits for a mantissa of at most kMaxExactDigits digits and at most
// 22 fraction digits: both operands are exact, so the one correctly rounded division gives
// the correctly rounded decimal, which is what strtod returns.
inline float ExactDecimalToFloat(std::uint64_t mantissa, std::ptrdiff_t fractionDigits,
                                 bool negative) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const double value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    return static_cast<float>(negative ? -value : value);
}
