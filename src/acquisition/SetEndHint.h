#pragma once

#include "BoardFormat.h"

#include <chrono>
#include <cstddef>
#include <optional>

// Decides when to tell the user that bytes keep arriving but no set ends, which is what a
// board printing lines without '#' looks like. Fed with each batch of received bytes that
// went to the interpreter (not while collection is off: those bytes are never looked at).
// A stretch starts with the first bytes after a completed set or an opened port; once it has
// lasted two seconds without a set, the hint is due, once for that stretch. Given the bytes,
// it also notes what the board seems to print (line ends, name:value fields), so that the
// hint can name the format that would read them.
class CSetEndHint {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kPatience = std::chrono::seconds(2);

    // A port was opened: start watching afresh.
    void Reset();
    // Bytes were interpreted at tNow, and bSetCompleted says whether they ended a set. True
    // when the hint should be shown now.
    bool OnBytesInterpreted(Clock::time_point tNow, bool bSetCompleted);
    bool OnBytesInterpreted(Clock::time_point tNow, bool bSetCompleted, const char* pBytes,
                            std::size_t nBytes);
    // What the hint says, for the format the board is read in and what this stretch held.
    const char* Text(EBoardFormat eFormat) const;

private:
    // What it says without looking at the bytes.
    static const char* PlainText(EBoardFormat eFormat);
    void Look(const char* pBytes, std::size_t nBytes);

    std::optional<Clock::time_point> m_tStretchStart;
    bool m_bShown = false;
    bool m_bLineEnds = false;
    bool m_bLabels = false;
    // Where a "name:value" field stands, across reads: 0 nothing, 1 in a name, 2 after its
    // ':' or '=' (spaces may follow).
    int m_nLabelState = 0;
};
