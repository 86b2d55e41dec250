#include "paint/FramePacer.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

constexpr double kDefaultRefreshHz = 60.0;

} // namespace

CFramePacer::CFramePacer(std::function<void()> fnPaint, QObject* pParent)
    : QObject(pParent), m_fnPaint(std::move(fnPaint)), m_fnNowNs([] {
          static QElapsedTimer s_clock = [] {
              QElapsedTimer clock;
              clock.start();
              return clock;
          }();
          return static_cast<std::int64_t>(s_clock.nsecsElapsed());
      }) {
    SetRefreshRate(0.0);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CFramePacer::OnFrameEnd);
}

void CFramePacer::SetRefreshRate(double fHz) {
    const double fRate = fHz > 0.0 ? fHz : kDefaultRefreshHz;
    m_nFrameNs = static_cast<std::int64_t>(1e9 / fRate);
}

void CFramePacer::RequestPaint() {
    if (m_bPaintAsked || m_timer.isActive()) {
        return;
    }
    const std::int64_t nNow = m_fnNowNs();
    const std::int64_t nDue = m_nLastPaintNs + std::max(m_nFrameNs, m_nGapNs);
    if (!m_bHavePainted || nNow >= nDue) {
        m_bPaintAsked = true;
        m_fnPaint();
        return;
    }
    // Rounded up: the paint never comes before the frame has ended.
    m_timer.start(static_cast<int>((nDue - nNow + 999'999) / 1'000'000));
}

void CFramePacer::OnFrameEnd() {
    m_timer.stop();
    m_bPaintAsked = true;
    m_fnPaint();
}

void CFramePacer::OnPaintStarted() {
    m_nPaintStartNs = m_fnNowNs();
}

void CFramePacer::OnPainted() {
    m_nLastPaintNs = m_fnNowNs();
    m_nGapNs = m_nPaintStartNs >= 0 ? m_nLastPaintNs - m_nPaintStartNs : 0;
    m_nPaintStartNs = -1;
    m_bHavePainted = true;
    m_bPaintAsked = false;
    // What the frame's end was to show is on screen now.
    m_timer.stop();
}
