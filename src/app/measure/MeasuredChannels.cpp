#include "measure/MeasuredChannels.h"

#include "session/AcquisitionSession.h"

#include "PlotData.h"
#include "PlotSettings.h"

namespace {

CSampleLocator FirstChannelLocator(const SPlotSettings& settings, QSize size) {
    return CSampleLocator(CPlotGeometry(size.width(), size.height()), ChannelWindow(settings, 0));
}

} // namespace

std::string ChannelName(int nChannel) {
    return g_pPlotData != nullptr ? g_pPlotData->GetChannelName(nChannel) : std::string();
}

std::string ChannelLabelOf(int nChannel) {
    return ChannelLabel(nChannel, ChannelName(nChannel));
}

std::vector<SReadoutChannel> ShownChannels(std::vector<std::string>& vNames) {
    std::vector<SReadoutChannel> channels;
    vNames.clear();
    if (g_pPlotData == nullptr) {
        return channels;
    }
    // The views into the names stay put.
    vNames.reserve(CPlotData::kChannelCount);
    for (int c = 0; c < g_pPlotData->m_nLastSetCount; ++c) {
        if (!g_pPlotData->IsHidden(c)) {
            vNames.push_back(ChannelName(c));
            channels.push_back({c, vNames.back(), &g_pPlotData->GetSeries(c)});
        }
    }
    return channels;
}

CPlotWindow ChannelWindow(const SPlotSettings& settings, int nChannel) {
    const int nCount = g_pPlotData != nullptr ? g_pPlotData->GetSampleCount(nChannel) : 0;
    // The paint has put a doubled ppd into the settings already.
    return ComputeVisibleWindow(nCount, settings.m_fPointsPerDiv, settings.m_nScrollBack, false);
}

std::optional<int> SampleUnder(const SPlotSettings& settings, QSize size, int x) {
    return FirstChannelLocator(settings, size).SampleAtX(x);
}

std::optional<int> SampleX(const SPlotSettings& settings, QSize size, int n) {
    return FirstChannelLocator(settings, size).SampleToX(n);
}
