#include "Trigger.h"

#include "MeasureText.h"
#include "SaturatingMath.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

const char* EdgeSymbol(ETriggerEdge eEdge) {
    switch (eEdge) {
    case ETriggerEdge::kRising:
        return "\u2191";
    case ETriggerEdge::kFalling:
        return "\u2193";
    case ETriggerEdge::kEither:
        return "\u2195";
    }
    return "?";
}

bool EdgeMatches(ETriggerEdge eEdge, bool bHigh) {
    return eEdge == ETriggerEdge::kEither || bHigh == (eEdge == ETriggerEdge::kRising);
}

} // namespace

int CTrigger::SamplesBefore(int nWindowSamples, int nPositionPercent) {
    const std::int64_t n = std::max(nWindowSamples, 1);
    const std::int64_t nPercent = std::clamp(nPositionPercent, 0, 100);
    return static_cast<int>(std::min(n * nPercent / 100, n - 1));
}

void CTrigger::Configure(const STriggerSettings& settings, const CSampleSeries& series) {
    const bool bNewCondition = !m_settings.m_bOn || settings.m_nChannel != m_settings.m_nChannel ||
                               settings.m_fLevel != m_settings.m_fLevel ||
                               settings.m_eEdge != m_settings.m_eEdge;
    m_settings = settings;
    if (bNewCondition) {
        m_nHeld.reset();
    }
    StartLooking(series);
}

void CTrigger::Arm(const CSampleSeries& series) {
    StartLooking(series);
}

void CTrigger::Forget(const CSampleSeries& series) {
    m_nHeld.reset();
    StartLooking(series);
}

void CTrigger::StartLooking(const CSampleSeries& series) {
    m_nGeneration = series.Generation();
    m_nCovered = series.size();
    m_vPending.clear();
    m_bHeldSinceArmed = false;
    m_nSide = -1;
    if (!series.empty()) {
        const float v = series[series.size() - 1];
        if (v == v) {
            m_nSide = v >= m_settings.m_fLevel ? 1 : 0;
        }
    }
}

bool CTrigger::IsFilled(int nCrossing, std::size_t nCount, int nWindowSamples) const {
    const std::int64_t nStart =
        std::max(0, nCrossing - SamplesBefore(nWindowSamples, m_settings.m_nPositionPercent));
    return static_cast<std::int64_t>(nCount) >= nStart + std::max(nWindowSamples, 1) + 1;
}

void CTrigger::Update(const CSampleSeries& series, int nWindowSamples) {
    if (series.Generation() != m_nGeneration || series.size() < m_nCovered) {
        m_nGeneration = series.Generation();
        m_nCovered = 0;
        m_nSide = -1;
        m_vPending.clear();
        m_nHeld.reset();
        m_bHeldSinceArmed = false;
    }
    const bool bSingle = m_settings.m_eMode == ETriggerMode::kSingle;
    // Single looks no further once it has its crossing.
    const bool bLook = m_settings.m_bOn && !(bSingle && (m_bHeldSinceArmed || !m_vPending.empty()));
    if (bLook && m_nCovered < series.size()) {
        const float fLevel = m_settings.m_fLevel;
        const ETriggerEdge eEdge = m_settings.m_eEdge;
        int nSide = m_nSide;
        auto nIndex = static_cast<int>(m_nCovered);
        series.ForEachRun(m_nCovered, series.size(), [&](const Sample* pRun, std::size_t nCount) {
            for (std::size_t k = 0; k < nCount; ++k, ++nIndex) {
                const float v = pRun[k];
                if (v != v) {
                    nSide = -1;
                    continue;
                }
                const int nHigh = v >= fLevel ? 1 : 0;
                if (nSide >= 0 && nHigh != nSide && EdgeMatches(eEdge, nHigh == 1) &&
                    !(bSingle && !m_vPending.empty())) {
                    m_vPending.push_back(nIndex);
                }
                nSide = nHigh;
            }
        });
        m_nSide = nSide;
    }
    m_nCovered = series.size();
    while (!m_vPending.empty() && IsFilled(m_vPending.front(), series.size(), nWindowSamples)) {
        m_nHeld = m_vPending.front();
        m_vPending.pop_front();
        m_bHeldSinceArmed = true;
    }
}

ETriggerState CTrigger::State() const {
    if (!m_settings.m_bOn) {
        return ETriggerState::kOff;
    }
    if (m_bHeldSinceArmed) {
        return ETriggerState::kTriggered;
    }
    return m_vPending.empty() ? ETriggerState::kArmed : ETriggerState::kWaiting;
}

std::optional<int> CTrigger::HeldWindowStart(int nWindowSamples) const {
    if (!m_nHeld) {
        return std::nullopt;
    }
    return std::max(0, *m_nHeld - SamplesBefore(nWindowSamples, m_settings.m_nPositionPercent));
}

std::string CTrigger::StatusText(std::string_view label) const {
    const ETriggerState eState = State();
    if (eState == ETriggerState::kOff) {
        return {};
    }
    std::string text = "TRIG ";
    if (label.empty()) {
        text.append("ch").append(std::to_string(m_settings.m_nChannel + 1));
    } else {
        text.append(label);
    }
    text.append(" ")
        .append(EdgeSymbol(m_settings.m_eEdge))
        .append(" ")
        .append(FormatValue(m_settings.m_fLevel))
        .append(": ");
    switch (eState) {
    case ETriggerState::kArmed:
        return text.append("armed");
    case ETriggerState::kWaiting:
        return text.append("waiting");
    default:
        return text.append("triggered at #").append(std::to_string(*m_nHeld));
    }
}

int ScrollBackForStart(int nCount, int nWindowSamples, int nStart) {
    return static_cast<int>(
        std::clamp<std::int64_t>(std::int64_t{nCount} - 1 - nWindowSamples - nStart, 0, INT_MAX));
}

int WindowSamples(float fPointsPerDiv) {
    return std::max(1, SaturatingTrunc(10.0 * static_cast<double>(fPointsPerDiv)));
}
