#include "settings/AppSettings.h"

#include "AxisSettings.h"
#include "PlotData.h"
#include "SendHistory.h"

#include <algorithm>
#include <cmath>

std::array<SChannelSettings, SAppSettings::kChannelCount> SAppSettings::StartChannelSettings() {
    static const std::array<SChannelSettings, kChannelCount> channels = [] {
        CPlotData store;
        store.CreateChannels();
        std::array<SChannelSettings, kChannelCount> start{};
        for (int i = 0; i < kChannelCount; ++i) {
            SChannelSettings& channel = start[static_cast<std::size_t>(i)];
            channel.m_nColor = store.GetColor(i);
            channel.m_nPointType = store.GetPointType(i);
            channel.m_bInterpolate = store.GetInterpolate(i);
            channel.m_bMarkMinMax = store.GetMarkMinMax(i);
            channel.m_bSoundEnabled = store.GetSoundEnabled(i);
            channel.m_fBeepLimitMin = store.GetBeepLimitMin(i);
            channel.m_fBeepLimitMax = store.GetBeepLimitMax(i);
        }
        store.DestroyChannels();
        return start;
    }();
    return channels;
}

namespace {

template <class T, class Valid>
void KeepIf(T& value, const T& fallback, Valid isValid) {
    if (!isValid(value)) {
        value = fallback;
    }
}

bool InRange(int n, int nCount) {
    return n >= 0 && n < nCount;
}

// Large enough for any real screen arrangement, small enough that no sum overflows.
constexpr int kMaxWindowCoordinate = 100'000;
constexpr int kMinWindowSide = 100;
constexpr int kMaxWindowSide = 32'767;

} // namespace

void ValidateSettings(SAppSettings& s) {
    const SAppSettings d;
    const auto isFinite = [](float f) { return std::isfinite(f); };
    KeepIf(s.m_nPort, d.m_nPort, [](int n) { return InRange(n, SAppSettings::kPortCount); });
    KeepIf(s.m_nTypedSpeed, d.m_nTypedSpeed, [](int n) { return n >= 0; });
    // No list position goes with a typed speed.
    KeepIf(s.m_nSpeed, d.m_nSpeed, [&s](int n) {
        return InRange(n, SAppSettings::kSpeedCount) || (n == -1 && s.m_nTypedSpeed > 0);
    });
    KeepIf(s.m_nStopBits, d.m_nStopBits,
           [](int n) { return InRange(n, SAppSettings::kStopBitsCount); });
    KeepIf(s.m_nParity, d.m_nParity, [](int n) { return InRange(n, SAppSettings::kParityCount); });
    KeepIf(s.m_fPointsPerDiv, d.m_fPointsPerDiv, [](float f) { return IsValidPointsPerDiv(f); });
    KeepIf(s.m_fYMax, d.m_fYMax, isFinite);
    KeepIf(s.m_fYMin, d.m_fYMin, isFinite);
    KeepIf(s.m_nLegendCorner, d.m_nLegendCorner,
           [](int n) { return InRange(n, SAppSettings::kLegendCornerCount); });
    for (std::size_t i = 0; i < s.m_vChannels.size(); ++i) {
        SChannelSettings& channel = s.m_vChannels[i];
        const SChannelSettings& start = d.m_vChannels[i];
        KeepIf(channel.m_nColor, start.m_nColor,
               [](int n) { return InRange(n, SAppSettings::kColorCount); });
        KeepIf(channel.m_nPointType, start.m_nPointType,
               [](int n) { return InRange(n, SAppSettings::kPointTypeCount); });
        KeepIf(channel.m_fBeepLimitMin, start.m_fBeepLimitMin, isFinite);
        KeepIf(channel.m_fBeepLimitMax, start.m_fBeepLimitMax, isFinite);
        // A name is one line of text, as the Name field takes it.
        KeepIf(channel.m_strName, start.m_strName, [](const std::string& strName) {
            return std::none_of(strName.begin(), strName.end(),
                                [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        });
    }
    KeepIf(s.m_eLineEnd, d.m_eLineEnd, [](ELineEnd e) {
        return std::find(std::begin(kLineEnds), std::end(kLineEnds), e) != std::end(kLineEnds);
    });
    CSendHistory history;
    history.SetLines(s.m_vSendHistory);
    s.m_vSendHistory = history.Lines();
    KeepIf(s.m_nTriggerChannel, d.m_nTriggerChannel,
           [](int n) { return InRange(n, SAppSettings::kChannelCount); });
    KeepIf(s.m_fTriggerLevel, d.m_fTriggerLevel, isFinite);
    KeepIf(s.m_nTriggerEdge, d.m_nTriggerEdge,
           [](int n) { return InRange(n, SAppSettings::kTriggerEdgeCount); });
    KeepIf(s.m_nTriggerPosition, d.m_nTriggerPosition, [](int n) { return n >= 0 && n <= 100; });
    KeepIf(s.m_nTriggerMode, d.m_nTriggerMode,
           [](int n) { return InRange(n, SAppSettings::kTriggerModeCount); });
    const SWindowSettings& w = s.m_window;
    const auto isCoordinate = [](int n) {
        return n >= -kMaxWindowCoordinate && n <= kMaxWindowCoordinate;
    };
    const auto isSide = [](int n) { return n >= kMinWindowSide && n <= kMaxWindowSide; };
    if (!isCoordinate(w.m_nX) || !isCoordinate(w.m_nY) || !isSide(w.m_nWidth) ||
        !isSide(w.m_nHeight)) {
        s.m_window = d.m_window;
    }
}
