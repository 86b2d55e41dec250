#pragma once

#include "YScale.h"

// The plot's settings, which the paint reads and partly decides: the X density, the window's
// place, the Y range with what automatic scaling recorded, and whether scrolling back stops
// collection. A default-constructed value holds the first paint's.
struct SPlotSettings {
    float m_fPointsPerDiv = 5.0f;
    bool m_bDoublePpdAtMax = false;
    int m_nScrollBack = 0;
    float m_fYMax = 2.5f;
    float m_fYMin = -2.5f;
    bool m_bAutoScale = false;
    float m_fAutoMax = 0.0f;
    float m_fAutoMin = 0.0f;
    // Scrolling back leaves collection on; the window holds still on its samples.
    bool m_bKeepCollectingWhenScrolled = false;

    CYScale Scale() const { return CYScale{m_fYMax, m_fYMin, m_fAutoMax, m_fAutoMin}; }
    void SetScale(const CYScale& scale) {
        m_fYMax = scale.m_fYMax;
        m_fYMin = scale.m_fYMin;
        m_fAutoMax = scale.m_fAutoMax;
        m_fAutoMin = scale.m_fAutoMin;
    }
};
