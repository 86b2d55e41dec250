#pragma once

// The byte-level rules the line reader's parts share.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

inline constexpr float kGap = std::numeric_limits<float>::quiet_NaN();

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

inline bool EqualsIgnoringCase(const char* text, std::size_t length, std::string_view word) {
    if (length != word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if ((Byte(text[i]) | 0x20) != Byte(word[i])) {
            return false;
        }
    }
    return true;
}

// The length of the UTF-8 sequence at text[0] that is complete within length bytes, or 0
// when it is not one (a stray continuation byte, an overlong form, a surrogate, beyond
// U+10FFFF, or cut short).
inline std::size_t Utf8SequenceLength(const char* text, std::size_t length) {
    const unsigned char lead = Byte(text[0]);
    std::size_t n = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (n > length) {
        return 0;
    }
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned char c = Byte(text[k]);
        if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return n;
}

// At most nMax bytes of text, not cutting a character of several bytes in two.
inline std::size_t CutAtCharacter(const char* text, std::size_t length, std::size_t nMax) {
    if (length <= nMax) {
        return length;
    }
    std::size_t n = nMax;
    while (n > 0 && (Byte(text[n]) & 0xC0) == 0x80) {
        --n;
    }
    return n;
}
