#pragma once

#include <chrono>
#include <optional>

// Decides when to tell the user that bytes keep arriving but no set ends, which is what a
// board printing lines without '#' looks like. Fed with each batch of received bytes that
// went to the interpreter (not while collection is off: those bytes are never looked at).
// A stretch starts with the first bytes after a completed set or an opened port; once it has
// lasted two seconds without a set, the hint is due, once for that stretch.
class CSetEndHint {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kPatience = std::chrono::seconds(2);

    // A port was opened: start watching afresh.
    void Reset();
    // Bytes were interpreted at tNow, and bSetCompleted says whether they ended a set. True
    // when the hint should be shown now.
    bool OnBytesInterpreted(Clock::time_point tNow, bool bSetCompleted);
    // What the hint says, for the interpreter's way of ending sets.
    static const char* Text(bool bEndSetsAtLineEnd);

private:
    std::optional<Clock::time_point> m_tStretchStart;
    bool m_bShown = false;
};
