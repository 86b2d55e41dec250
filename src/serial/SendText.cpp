#include "SendText.h"

#include "SerialBase.h"

#include <cctype>

namespace {

constexpr const char* kEscapesHelp = ": use \\n, \\r, \\t, \\\\ or \\xNN";

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const int nLower = std::tolower(static_cast<unsigned char>(c));
    return nLower >= 'a' && nLower <= 'f' ? nLower - 'a' + 10 : -1;
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The whole character that starts at nAt (a UTF-8 sequence of several bytes).
std::string_view CharacterAt(std::string_view text, std::size_t nAt) {
    std::size_t nEnd = nAt + 1;
    while (nEnd < text.size() && IsContinuation(text[nEnd])) {
        ++nEnd;
    }
    return text.substr(nAt, nEnd - nAt);
}

} // namespace

const char* LineEndName(ELineEnd eLineEnd) {
    switch (eLineEnd) {
    case ELineEnd::kNone:
        return "None";
    case ELineEnd::kLf:
        return "LF";
    case ELineEnd::kCr:
        return "CR";
    case ELineEnd::kCrLf:
        return "CR LF";
    }
    return "LF";
}

bool ParseLineEndName(std::string_view name, ELineEnd* peLineEnd) {
    for (const ELineEnd eLineEnd : kLineEnds) {
        if (name == LineEndName(eLineEnd)) {
            *peLineEnd = eLineEnd;
            return true;
        }
    }
    return false;
}

std::string_view LineEndBytes(ELineEnd eLineEnd) {
    switch (eLineEnd) {
    case ELineEnd::kNone:
        return "";
    case ELineEnd::kLf:
        return "\n";
    case ELineEnd::kCr:
        return "\r";
    case ELineEnd::kCrLf:
        return "\r\n";
    }
    return "\n";
}

bool EncodeSendText(std::string_view text, ELineEnd eLineEnd, std::string* pstrBytes,
                    std::string* pstrError) {
    std::string strBytes;
    std::size_t nColumn = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsContinuation(text[i])) {
            ++nColumn;
        }
        if (text[i] != '\\') {
            strBytes += text[i];
            continue;
        }
        const std::string strWhere = " at column " + std::to_string(nColumn);
        if (i + 1 == text.size()) {
            *pstrError = "\\" + strWhere + " ends the line: write \\\\ for a backslash";
            return false;
        }
        const char cEscape = text[++i];
        ++nColumn;
        switch (cEscape) {
        case 'n':
            strBytes += '\n';
            break;
        case 'r':
            strBytes += '\r';
            break;
        case 't':
            strBytes += '\t';
            break;
        case '\\':
            strBytes += '\\';
            break;
        case 'x': {
            const int nHigh = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
            const int nLow = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
            if (nHigh < 0 || nLow < 0) {
                *pstrError = "\\x" + strWhere + " needs two hex digits";
                return false;
            }
            strBytes += static_cast<char>(nHigh * 16 + nLow);
            i += 2;
            nColumn += 2;
            break;
        }
        default:
            *pstrError =
                "unknown escape \\" + std::string(CharacterAt(text, i)) + strWhere + kEscapesHelp;
            return false;
        }
    }
    strBytes += LineEndBytes(eLineEnd);
    *pstrBytes = std::move(strBytes);
    return true;
}

std::string EscapeBytes(std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string strText;
    for (const char c : bytes) {
        const auto n = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            strText += "\\\\";
            break;
        case '\t':
            strText += "\\t";
            break;
        case '\r':
            strText += "\\r";
            break;
        case '\n':
            strText += "\\n";
            break;
        default:
            if (n >= 0x20 && n < 0x7F) {
                strText += c;
            } else {
                strText += {'\\', 'x', kHex[n >> 4], kHex[n & 15]};
            }
        }
    }
    return strText;
}

int SendToPort(CSerialBase& port, std::string_view bytes, DWORD* pnSent) {
    return port.Write(bytes.data(), static_cast<DWORD>(bytes.size()), pnSent, nullptr,
                      kSendTimeoutMs);
}
