#pragma once

#include <QMetaObject>

#include <functional>

class CPlotPainter;
class CPlotScrollBar;
class QAbstractScrollArea;
struct CScrollResult;
enum class ScrollAction;

extern int g_nLastTrackPos;

// Scrolling through the stored samples: the keys, the wheel and the scroll bar move the
// window, and the bar follows the window. Scrolling stops collection unless the plot keeps
// collecting while scrolled back.
class CPlotNavigator {
public:
    // The bar becomes view's; fnStopCollecting stops collection; fnRepaint repaints the view.
    CPlotNavigator(QAbstractScrollArea& view, CPlotPainter& painter,
                   std::function<void()> fnStopCollecting, std::function<void()> fnRepaint);
    ~CPlotNavigator();
    CPlotNavigator(const CPlotNavigator&) = delete;
    CPlotNavigator& operator=(const CPlotNavigator&) = delete;

    // fnScrolled runs whenever the user moves the window (keys, wheel, bar).
    void SetScrolledHandler(std::function<void()> fnScrolled) {
        m_fnScrolled = std::move(fnScrolled);
    }

    void ScrollBy(ScrollAction eAction);
    // A wheel turned by nDelta (eighths of a degree) over the plot or the bar.
    void OnWheel(int nDelta);
    // The bar shows the window as it stands.
    void UpdateScrollBar();

private:
    void OnHScroll(int nAction);
    void ApplyScroll(const CScrollResult& result);

    CPlotPainter& m_painter;
    CPlotScrollBar* m_pScrollBar;
    std::function<void()> m_fnStopCollecting;
    std::function<void()> m_fnRepaint;
    std::function<void()> m_fnScrolled;
    // The bar outlives this object: its signals stop reaching it first.
    QMetaObject::Connection m_actionConnection;
    QMetaObject::Connection m_releaseConnection;
};
