// Plot commands beyond the axis dialogs: fitting the Y range, collecting while scrolled back.
#include "view/KovraPlotterView.h"

#include "PlotData.h"
#include "YFit.h"

void CKovraPlotterView::OnFitYRange() {
    CatchUpSkippedPaints(true);
    const auto channels = SummarisedChannels();
    if (FitYRange(channels, g_pPlotData->m_nLastSetCount, m_fPointsPerDiv, m_nScrollBack, m_fYMax,
                  m_fYMin)) {
        SetStatusText("STATUS: Y range fitted to the values in view");
    } else {
        SetStatusText("ERROR: No values in view to fit");
    }
    Repaint();
}

void CKovraPlotterView::OnKeepCollectingWhenScrolled() {
    m_bKeepCollectingWhenScrolled = !m_bKeepCollectingWhenScrolled;
    emit CommandStateChanged();
}
