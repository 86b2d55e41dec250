#pragma once

#include "SampleSeries.h"

#include <array>
#include <cstddef>
#include <cstdint>

// Receives the sets an interpreter completes, in the order they end.
class CSetSink {
public:
    // nCount is 0..10; 0 for an empty set (a limiter with no number since the last set).
    virtual void OnSet(const Sample* pValues, int nCount) = 0;

protected:
    ~CSetSink() = default;
};

// Turns received text into sets of numbers, chunk by chunk; numbers and sets may be split
// across chunks at any byte.
//
// A number is a maximal run of the characters ',' '-' '.' '/' '0'..'9', of which the first 99
// are converted as atof does in the "C" locale. The limiter ends the set. Every other byte,
// NUL included, is a separator. A set keeps its first ten values; later ones are dropped.
//
// With sets ending at line ends, a LF or a CR also ends the set, provided a digit arrived
// since the set began: so CR LF ends a set once, and an empty line, a line of separators, a
// line right after '#', or a text line such as "time,temp" (whose "," would read as 0.0) make
// no set. A line end without a digit drops whatever that line held. '#' still ends sets as
// it always does.
class CSetInterpreter {
public:
    static constexpr int kMaxValuesPerSet = 10;
    static constexpr int kMaxNumberLength = 99;

    static bool IsNumberChar(char c) { return c >= ',' && c <= '9'; }

    // Interprets length bytes; true when at least one set was completed.
    bool Feed(const char* text, std::size_t length, CSetSink& sink);

    // Forgets the set being assembled and the number in progress: what comes next starts a
    // fresh set.
    void DiscardPartialSet();

    // A change starts a fresh set: the one in progress was gathered by the other rule.
    void SetEndSetsAtLineEnd(bool bEndSetsAtLineEnd);
    bool GetEndSetsAtLineEnd() const { return m_bEndSetsAtLineEnd; }

    char m_cLimiter = '#';

private:
    bool FeedBlock(const char* text, CSetSink& sink);
    const char* ConvertInPlace(const char* p);
    void AppendToNumber(const char* run, std::size_t length);
    void EndNumber();
    void PushValue(Sample v);
    void CompleteSet(CSetSink& sink);

    std::array<Sample, kMaxValuesPerSet> m_vPending{};
    int m_nPending = 0;
    // Whether a digit arrived since the set began; only line ends ask.
    bool m_bDigitInSet = false;
    char m_szNumber[kMaxNumberLength + 1] = {};
    std::uint8_t m_nNumberLen = 0;
    bool m_bEndSetsAtLineEnd = false;
};
