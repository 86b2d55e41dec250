#include "view/PlotScrollBar.h"
#include "AppTestSupport.h"
#include "PlotScroll.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

class CCountingScrollBar : public CPlotScrollBar {
public:
    int m_nPaints = 0;

protected:
    void paintEvent(QPaintEvent* pEvent) override {
        ++m_nPaints;
        CPlotScrollBar::paintEvent(pEvent);
    }
};

// The bar as the view sets it after each batch, and a plain bar with the same values.
void SetAsTheViewDoes(CPlotScrollBar& bar, QScrollBar& plain, int nCount, float fPpd,
                      int nScrollBack) {
    const CScrollBarState state = ComputeScrollBar(nCount, fPpd, nScrollBack);
    bar.Show(state);
    plain.setRange(state.m_nMin, state.m_bHidden ? 0 : state.m_nLastPos);
    plain.setPageStep(state.m_nPage);
    plain.setValue(state.m_nPos);
}

// The bar is drawn again only when it would look different: whenever it skips a paint, a
// plain bar drawn with the new values looks exactly like the one on screen.
TEST(PlotScrollBarTest, SkipsOnlyPaintsThatWouldShowTheSame) {
    CCountingScrollBar bar;
    bar.resize(400, 16);
    bar.show();
    QScrollBar plain(Qt::Horizontal);
    plain.resize(400, 16);
    struct SStep {
        int m_nCount;
        float m_fPpd;
        int m_nScrollBack;
    };
    std::vector<SStep> vSteps;
    // Data arriving (the box shrinks, then creeps), scrolling back and forth, a new ppd.
    for (int n = 60; n < 3000; n += 37) {
        vSteps.push_back({n, 5.0f, 0});
    }
    for (int s = 0; s < 400; s += 13) {
        vSteps.push_back({3000, 5.0f, s});
    }
    vSteps.push_back({3000, 50.0f, 0});
    vSteps.push_back({3000, 50.0f, 0});
    vSteps.push_back({3000, 300.1f, 0});
    vSteps.push_back({3000, 5.0f, 2950});
    SetAsTheViewDoes(bar, plain, 100, 5.0f, 0);
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return bar.m_nPaints > 0; }));
    QImage shown = plain.grab().toImage();
    int nSkipped = 0;
    for (const SStep& step : vSteps) {
        const int nPaints = bar.m_nPaints;
        SetAsTheViewDoes(bar, plain, step.m_nCount, step.m_fPpd, step.m_nScrollBack);
        CAppFixture::Pump(5);
        const QImage now = plain.grab().toImage();
        if (bar.m_nPaints == nPaints) {
            ++nSkipped;
            EXPECT_TRUE(now == shown) << "count " << step.m_nCount << " ppd " << step.m_fPpd
                                      << " scrolled back " << step.m_nScrollBack;
        }
        shown = now;
    }
    // Once the box is as small as it gets, new data moves nothing on a 400-pixel bar.
    EXPECT_GT(nSkipped, static_cast<int>(vSteps.size()) / 2);
}

} // namespace
