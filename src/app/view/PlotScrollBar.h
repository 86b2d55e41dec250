#pragma once

#include <QRect>
#include <QScrollBar>

struct CScrollBarState;

// The view's horizontal scroll bar. While data arrive its range and position change with
// nearly every paint of the view, mostly by less than a pixel of the box; drawing the bar (the
// style's gradients, which the toolkit spreads over worker threads) would then cost more than
// the plot. It is drawn again only when what it shows changes.
class CPlotScrollBar : public QScrollBar {
    Q_OBJECT

public:
    explicit CPlotScrollBar(QWidget* pParent = nullptr);

    // Range, page and position all at once, drawn again only if the bar looks different then.
    // The box under the mouse stays where the user drags it.
    void Show(const CScrollBarState& state);

protected:
    void sliderChange(SliderChange eChange) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    // Everything of the bar's state that its drawing depends on.
    struct SLook {
        QRect m_rect;
        QRect m_slider;
        bool m_bEmpty = false;
        bool m_bAtMinimum = false;
        bool m_bAtMaximum = false;
        int m_nState = 0;
        int m_nActive = 0;
        bool operator==(const SLook&) const = default;
    };
    SLook Look() const;

    SLook m_painted;
    bool m_bPainted = false;
    // Changes made by Show are looked at once, after the last of them.
    bool m_bShowing = false;
};
