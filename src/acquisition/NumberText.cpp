#include "NumberText.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace {

constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Rare texts (more than 19 significant digits, or very long fractions) go to the C library
// itself, with a "C" locale so that '.' is the decimal point whatever the process uses.
double SlowConvert(const char* text, std::size_t length) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    char buffer[128];
    char* copy = length < sizeof buffer ? buffer : static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr) {
        return 0.0;
    }
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    const double value = strtod_l(copy, nullptr, cLocale);
    if (copy != buffer) {
        std::free(copy);
    }
    return value;
}

} // namespace

float NumberTextToFloat(const char* text, std::size_t length) {
    std::size_t i = 0;
    const bool negative = length > 0 && text[0] == '-';
    if (negative) {
        ++i;
    }
    std::uint64_t mantissa = 0;
    int significantDigits = 0;
    int fractionDigits = 0;
    bool anyDigit = false;
    bool seenPoint = false;
    for (; i < length; ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            anyDigit = true;
            if (seenPoint) {
                ++fractionDigits;
            }
            if (mantissa != 0 || c != '0') {
                if (++significantDigits <= 19) {
                    mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
                }
            }
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!anyDigit) {
        return 0.0f;
    }
    double value;
    // One correctly rounded division of exact operands equals the correctly rounded decimal.
    if (significantDigits <= 19 && mantissa <= kMaxExactMantissa &&
        fractionDigits <= kMaxExactPower) {
        value = static_cast<double>(mantissa) / kExactPowersOfTen[fractionDigits];
        if (negative) {
            value = -value;
        }
    } else {
        value = SlowConvert(text, i);
    }
    return static_cast<float>(value);
}
