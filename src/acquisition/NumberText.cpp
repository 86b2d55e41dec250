#include "NumberText.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>

// Rare texts (many digits) go to the C library itself, with a "C" locale so that '.' is
// the decimal point whatever the process uses.
double StrtodInCLocale(const char* text, std::size_t length) {
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

float NumberTextToFloat(const char* text, std::size_t length) {
    std::size_t i = 0;
    const bool negative = length > 0 && text[0] == '-';
    if (negative) {
        ++i;
    }
    std::uint64_t mantissa = 0;
    std::ptrdiff_t significantDigits = 0;
    std::ptrdiff_t fractionDigits = 0;
    bool anyDigit = false;
    bool seenPoint = false;
    for (; i < length; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            anyDigit = true;
            fractionDigits += seenPoint ? 1 : 0;
            // Leading zeros carry no precision; counting only what follows them keeps
            // "0000.5" and "0.000123" on the exact path.
            if (mantissa != 0 || c != '0') {
                if (++significantDigits <= kMaxExactDigits) {
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
    if (significantDigits <= kMaxExactDigits && fractionDigits <= 22) {
        return ExactDecimalToFloat(mantissa, fractionDigits, negative);
    }
    return static_cast<float>(StrtodInCLocale(text, i));
}
