#include "SaturatingMath.h"

#include <cfloat>
#include <cstdint>

int SaturatingAtoi(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // One past INT_MAX so that the negative side can reach INT_MIN.
    constexpr std::int64_t kLimit = std::int64_t{INT_MAX} + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) {
            value = kLimit;
        }
    }
    if (negative) {
        return static_cast<int>(-value);
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

float SaturateToFloat(double v) {
    if (v > FLT_MAX) {
        return FLT_MAX;
    }
    if (v < -FLT_MAX) {
        return -FLT_MAX;
    }
    return static_cast<float>(v);
}
