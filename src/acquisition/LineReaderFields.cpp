// What a field of a line is: a number, a gap, a name or text.
#include "LineReader.h"

#include "LineReaderText.h"
#include "NumberText.h"

#include <cstring>

void CLineReader::SName::Assign(std::string_view strName) {
    m_nLength =
        static_cast<std::uint8_t>(CutAtCharacter(strName.data(), strName.size(), kMaxNameLength));
    std::memcpy(m_acText.data(), strName.data(), m_nLength);
}

void CLineReader::BuildClasses() {
    m_aClass.fill(kFieldByte);
    m_aClass[Byte(' ')] = kSpace;
    m_aClass[Byte('\0')] = kSpace;
    m_aClass[Byte(',')] = kHardSeparator;
    m_aClass[Byte(';')] = kHardSeparator;
    m_aClass[Byte('\t')] = kHardSeparator;
    m_aClass[Byte('\r')] = kLineEnd;
    m_aClass[Byte('\n')] = kLineEnd;
    if (m_cLimiter != '\0') {
        m_aClass[Byte(m_cLimiter)] = kLineEnd;
    }
    m_cClassLimiter = m_cLimiter;
    m_bClassesBuilt = true;
}

// The common numbers (up to 19 significant digits and a power of ten up to 22) are exact in
// one division or multiplication of doubles, which is what strtod returns; the rest go to
// strtod itself.
CLineReader::EValue CLineReader::ParseValue(const char* text, std::size_t length, float& fValue) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (length == 0) {
        return EValue::kGap;
    }
    std::size_t i = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+') {
        ++i;
    }
    if (i == length) {
        return EValue::kText;
    }
    if (!IsDigit(text[i]) && text[i] != '.') {
        const char* word = text + i;
        const std::size_t n = length - i;
        if (EqualsIgnoringCase(word, n, "inf") || EqualsIgnoringCase(word, n, "infinity")) {
            fValue = negative ? -std::numeric_limits<float>::infinity()
                              : std::numeric_limits<float>::infinity();
            return EValue::kNumber;
        }
        if (EqualsIgnoringCase(word, n, "nan") || EqualsIgnoringCase(word, n, "ovf")) {
            return EValue::kGap;
        }
        return EValue::kText;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;
    int exponent = 0;
    bool anyDigit = false;
    bool slow = false;
    for (; i < length && IsDigit(text[i]); ++i) {
        anyDigit = true;
        const unsigned d = static_cast<unsigned>(text[i] - '0');
        if (mantissa == 0 && d == 0) {
            continue;
        }
        if (digits < 19) {
            mantissa = mantissa * 10 + d;
            ++digits;
        } else {
            slow = true;
        }
    }
    if (i < length && text[i] == '.') {
        for (++i; i < length && IsDigit(text[i]); ++i) {
            anyDigit = true;
            const unsigned d = static_cast<unsigned>(text[i] - '0');
            if (mantissa == 0 && d == 0) {
                --exponent;
            } else if (digits < 19) {
                mantissa = mantissa * 10 + d;
                ++digits;
                --exponent;
            } else {
                slow = true;
            }
        }
    }
    if (!anyDigit) {
        return EValue::kText;
    }
    if (i < length && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negativeExponent = i < length && text[i] == '-';
        if (i < length && (text[i] == '-' || text[i] == '+')) {
            ++i;
        }
        if (i == length || !IsDigit(text[i])) {
            return EValue::kText;
        }
        int written = 0;
        for (; i < length && IsDigit(text[i]); ++i) {
            written = std::min(written * 10 + (text[i] - '0'), 1'000'000);
        }
        exponent += negativeExponent ? -written : written;
    }
    if (i != length) {
        return EValue::kText;
    }
    if (mantissa == 0) {
        fValue = negative ? -0.0f : 0.0f;
    } else if (!slow && mantissa <= (std::uint64_t{1} << 53) && exponent >= -22 && exponent <= 22) {
        double value = static_cast<double>(mantissa);
        value = exponent < 0 ? value / kPowersOfTen[-exponent] : value * kPowersOfTen[exponent];
        fValue = static_cast<float>(negative ? -value : value);
    } else {
        fValue = static_cast<float>(StrtodInCLocale(text, length));
    }
    return EValue::kNumber;
}

bool CLineReader::IsName(const char* text, std::size_t length) {
    if (length == 0) {
        return false;
    }
    for (std::size_t i = 0; i < length;) {
        const unsigned char c = Byte(text[i]);
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F || c == ':' || c == '=') {
                return false;
            }
            ++i;
            continue;
        }
        const std::size_t n = Utf8SequenceLength(text + i, length - i);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}
