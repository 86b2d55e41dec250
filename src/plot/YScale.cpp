#include "YScale.h"

#include "SaturatingMath.h"

#include <cmath>

namespace {

// The double product of two floats is exact, so narrowing it rounds once, as a float
// multiplication would, but cannot overflow.
float Grown(float v) {
    return SaturateToFloat(static_cast<double>(v) * 1.1f);
}

} // namespace

bool CYScale::AutoScale(float v) {
    if (!std::isfinite(v)) {
        return false;
    }
    bool changed = false;
    if (v > m_fAutoMax) {
        m_fAutoMax = v;
        m_fYMax = Grown(v);
        changed = true;
    }
    if (v < m_fAutoMin) {
        m_fAutoMin = v;
        m_fYMin = Grown(v);
        changed = true;
    }
    return changed;
}
