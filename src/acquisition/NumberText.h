#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The value of a number text as the C library's atof reads it in the "C" locale, narrowed
// to float: an optional '-', digits with at most one '.', up to the first character that
// does not fit; 0.0 when no digit comes before that point. Independent of the process
// locale and bit-exact with (float)atof, including -0.0 and +inf for overlong digit runs.
float NumberTextToFloat(const char* text, std::size_t length);

// strtod of the first length bytes of text in the "C" locale, whatever the process uses.
double StrtodInCLocale(const char* text, std::size_t length);

// Up to this many digits a decimal mantissa is exact in a double (below 2^53).
inline constexpr std::ptrdiff_t kMaxExactDigits = 15;

// mantissa / 10^fractionDigits for a mantissa of at most kMaxExactDigits digits and at most
// 22 fraction digits, as (float)strtod gives it: the correctly rounded double, narrowed.
// Both operands are exact, so one division gives that double; a multiplication by the
// reciprocal is within three units of its last place, and narrowing keeps only its top 24
// bits, so unless the 29 bits dropped lie within those units of the halfway point between
// two floats, the product narrows to the same float, several times faster.
inline float ExactDecimalToFloat(std::uint64_t mantissa, std::ptrdiff_t fractionDigits,
                                 bool negative) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    static constexpr double kReciprocals[] = {
        1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11,
        1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};
    const double m = static_cast<double>(mantissa);
    double value = m * kReciprocals[fractionDigits];
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    constexpr std::uint64_t kDropped = (std::uint64_t{1} << 29) - 1;
    constexpr std::uint64_t kHalfway = std::uint64_t{1} << 28;
    if (((bits & kDropped) - (kHalfway - 8)) <= 16) {
        value = m / kPowersOfTen[fractionDigits];
    }
    return static_cast<float>(negative ? -value : value);
}
