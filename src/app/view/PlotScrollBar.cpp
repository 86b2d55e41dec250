#include "view/PlotScrollBar.h"

#include "PlotScroll.h"

#include <QStyle>
#include <QStyleOptionSlider>

CPlotScrollBar::CPlotScrollBar(QWidget* pParent) : QScrollBar(Qt::Horizontal, pParent) {}

CPlotScrollBar::SLook CPlotScrollBar::Look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    SLook look;
    look.m_rect = option.rect;
    look.m_slider =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    look.m_bEmpty = option.minimum == option.maximum;
    look.m_bAtMinimum =
        option.sliderPosition == option.minimum || option.sliderValue == option.minimum;
    look.m_bAtMaximum =
        option.sliderPosition == option.maximum || option.sliderValue == option.maximum;
    look.m_nState = static_cast<int>(option.state);
    look.m_nActive = static_cast<int>(option.activeSubControls);
    return look;
}

void CPlotScrollBar::Show(const CScrollBarState& state) {
    m_bShowing = true;
    if (state.m_bHidden) {
        setRange(0, 0);
    } else {
        setRange(state.m_nMin, state.m_nLastPos);
        setPageStep(state.m_nPage);
        if (!isSliderDown()) {
            setValue(state.m_nPos);
        }
    }
    m_bShowing = false;
    if (!m_bPainted || Look() != m_painted) {
        update();
    }
}

void CPlotScrollBar::sliderChange(SliderChange eChange) {
    // The user's own moves (arrows, drags, keys) show at once, as in any bar.
    if (!m_bShowing) {
        QScrollBar::sliderChange(eChange);
    }
}

void CPlotScrollBar::paintEvent(QPaintEvent* pEvent) {
    m_painted = Look();
    m_bPainted = true;
    QScrollBar::paintEvent(pEvent);
}
