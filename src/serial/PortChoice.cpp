#include "PortChoice.h"

#include "LineSettings.h"
#include "SerialTypes.h"

#include <cctype>
#include <iterator>

const char* PortOfChoice(int nPort) {
    static const char* const kPorts[kPortChoiceCount] = {"COM1", "COM2", "COM3", "COM4"};
    return nPort >= 0 && nPort < kPortChoiceCount ? kPorts[nPort] : nullptr;
}

DWORD SpeedOfChoice(int nSpeed, int nTypedSpeed) {
    if (nTypedSpeed > 0) {
        return static_cast<DWORD>(nTypedSpeed);
    }
    if (nSpeed >= 0 && nSpeed < static_cast<int>(std::size(kSpeedChoices))) {
        return kSpeedChoices[nSpeed];
    }
    return 9600;
}

int SpeedChoiceIndex(DWORD dwSpeed) {
    for (std::size_t i = 0; i < std::size(kSpeedChoices); ++i) {
        if (kSpeedChoices[i] == dwSpeed) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ChooseSpeed(DWORD dwSpeed, int* pnSpeed, int* pnTypedSpeed) {
    *pnSpeed = SpeedChoiceIndex(dwSpeed);
    *pnTypedSpeed = *pnSpeed < 0 ? static_cast<int>(dwSpeed) : 0;
}

BYTE StopBitsOfChoice(int nStopBits) {
    return nStopBits == 1 ? TWOSTOPBITS : ONESTOPBIT;
}

BYTE ParityOfChoice(int nParity) {
    return nParity == 1 ? EVENPARITY : nParity == 2 ? ODDPARITY : NOPARITY;
}

bool ParseSpeedText(std::string_view text, DWORD* pdwSpeed) {
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    std::uint64_t nSpeed = 0;
    std::size_t nDigits = 0;
    for (; nDigits < text.size() && text[nDigits] >= '0' && text[nDigits] <= '9'; ++nDigits) {
        nSpeed = nSpeed * 10 + static_cast<std::uint64_t>(text[nDigits] - '0');
        if (nSpeed > kMaxLineSpeed) {
            return false;
        }
    }
    std::string_view unit = text.substr(nDigits);
    while (!unit.empty() && isSpace(unit.front())) {
        unit.remove_prefix(1);
    }
    const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    const bool bUnitOk = unit.empty() || (unit.size() == 3 && lower(unit[0]) == 'b' &&
                                          lower(unit[1]) == 'p' && lower(unit[2]) == 's');
    if (nDigits == 0 || nSpeed == 0 || !bUnitOk) {
        return false;
    }
    *pdwSpeed = static_cast<DWORD>(nSpeed);
    return true;
}

std::string SpeedChoiceText(DWORD dwSpeed) {
    return std::to_string(dwSpeed) + " bps";
}
