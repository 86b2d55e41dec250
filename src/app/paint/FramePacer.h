#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

// Paces the repaints that new data asks for to at most one per display frame: the first
// request after a quiet frame paints at once, the ones that follow within the frame are
// gathered into one paint when it ends. Any paint (whatever asked for it) counts as the
// frame's; nothing is scheduled while nothing new arrives. A paint that took longer than a
// frame (a window of millions of samples) is followed by a pause as long as it took, so that
// the user's input still gets at least half of the time.
class CFramePacer : public QObject {
    Q_OBJECT

public:
    // fnPaint asks for a paint (which must end in OnPainted).
    explicit CFramePacer(std::function<void()> fnPaint, QObject* pParent = nullptr);

    // The display's refresh rate in Hz; anything not above 0 means 60.
    void SetRefreshRate(double fHz);
    std::int64_t FrameNs() const { return m_nFrameNs; }
    // The clock, in nanoseconds of a steady clock (tests use a fake one).
    void SetClock(std::function<std::int64_t()> fnNowNs) { m_fnNowNs = std::move(fnNowNs); }

    void RequestPaint();
    // Around every paint of the view.
    void OnPaintStarted();
    void OnPainted();
    // A paint is scheduled for the end of the frame.
    bool IsScheduled() const { return m_timer.isActive(); }
    // The scheduled paint, now (what the timer runs).
    void OnFrameEnd();

private:
    std::function<void()> m_fnPaint;
    std::function<std::int64_t()> m_fnNowNs;
    QTimer m_timer;
    std::int64_t m_nFrameNs = 0;
    std::int64_t m_nLastPaintNs = 0;
    std::int64_t m_nPaintStartNs = -1;
    // Between the end of a paint and the next that new data may ask for.
    std::int64_t m_nGapNs = 0;
    bool m_bHavePainted = false;
    // A paint was asked for and has not happened yet: it will show the new data too.
    bool m_bPaintAsked = false;
};
