#pragma once

#include "SampleSeries.h"

#include <string>

// One channel: its series and how it is drawn and alarmed.
class CPlotChannel {
public:
    // Throws std::bad_alloc when the series cannot grow.
    void Append(Sample v) {
        m_vSamples.Append(v);
        Track(v);
    }
    // Only when the series has room (m_vSamples.HasRoom()).
    void AppendInRoom(Sample v) {
        m_vSamples.AppendInRoom(v);
        Track(v);
    }

    // 0.0 outside the series: callers read freely around the visible window.
    Sample GetSample(int j) const {
        if (j < 0 || static_cast<std::size_t>(j) >= m_vSamples.size()) {
            return 0.0f;
        }
        return m_vSamples[static_cast<std::size_t>(j)];
    }

    int GetSampleCount() const { return static_cast<int>(m_vSamples.size()); }

    // Empties the series and resets the alarm settings; the look of the channel stays.
    void Clear();

    // The name shown: the one the user typed, else the one the board (or a file) gave.
    const std::string& GetName() const {
        return m_strTypedName.empty() ? m_strStreamName : m_strTypedName;
    }

    CSampleSeries m_vSamples;
    int m_nColor = 0;
    int m_nPointType = 0;
    bool m_bInterpolate = true;
    bool m_bHidden = false;
    float m_fMin = 0.0f;
    float m_fMax = 0.0f;
    bool m_bMarkMinMax = true;
    bool m_bSoundEnabled = true;
    float m_fBeepLimitMin = -1.8f;
    float m_fBeepLimitMax = 1.8f;
    std::string m_strTypedName;
    std::string m_strStreamName;

private:
    // A gap (NaN) passes both tests untouched.
    void Track(Sample v) {
        if (v > m_fMax) {
            m_fMax = v;
        }
        if (v < m_fMin) {
            m_fMin = v;
        }
    }
};
