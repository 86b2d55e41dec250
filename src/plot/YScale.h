#pragma once

// The Y range and the extremes recorded by automatic scaling (the view's m_fYMax, m_fYMin,
// m_fAutoMax, m_fAutoMin).
class CYScale {
public:
    // One step of automatic scaling for a sample about to be drawn: a new largest sample
    // sets the top to 1.1 times its value, a new smallest the bottom. True when the range
    // changed. An infinite or NaN sample changes nothing, and a product beyond the float
    // range stops at +-FLT_MAX, so the range always stays finite.
    bool AutoScale(float v);

    float m_fYMax = 2.5f;
    float m_fYMin = -2.5f;
    float m_fAutoMax = 0.0f;
    float m_fAutoMin = 0.0f;
};
