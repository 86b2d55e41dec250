#pragma once

#include "SetSink.h"

#include <cstddef>
#include <cstdint>

// Reads sets ended by '#' (the limiter), chunk by chunk; numbers and sets may be split across
// chunks at any byte.
//
// A number is a maximal run of the characters ',' '-' '.' '/' '0'..'9', of which the first 99
// are converted as atof does in the "C" locale. The limiter ends the set. Every other byte,
// NUL and line ends included, is a separator. A set keeps its first ten values; later ones
// are dropped and counted.
class CHashInterpreter {
public:
    static constexpr int kMaxValuesPerSet = 10;
    static constexpr int kMaxNumberLength = 99;

    static bool IsNumberChar(char c) { return c >= ',' && c <= '9'; }

    // Interprets length bytes; true when at least one set was completed. The sets reach the
    // sink before the call returns.
    bool Feed(const char* text, std::size_t length, CSetSink& sink);

    // Forgets the set being assembled and the number in progress: what comes next starts a
    // fresh set.
    void DiscardPartialSet();

    std::uint64_t ValuesDropped() const { return m_nValuesDropped; }
    int LargestSet() const { return m_nLargestSet; }
    void ResetCounts() {
        m_nValuesDropped = 0;
        m_nLargestSet = 0;
    }

    char m_cLimiter = '#';

private:
    bool FeedBlock(const char* text, const char* end, CSetSink& sink);
    const char* ConvertInPlace(const char* p);
    void AppendToNumber(const char* run, std::size_t length);
    void EndNumber();
    void PushValue(Sample v) {
        if (m_nPending < kMaxValuesPerSet) {
            m_batch.Slot()[m_nPending++] = v;
        } else {
            ++m_nDroppedInSet;
        }
    }
    void CompleteSet(CSetSink& sink);

    CSetBatcher m_batch;
    int m_nPending = 0;
    std::uint64_t m_nDroppedInSet = 0;
    char m_szNumber[kMaxNumberLength + 1] = {};
    std::uint8_t m_nNumberLen = 0;
    std::uint64_t m_nValuesDropped = 0;
    int m_nLargestSet = 0;
};
