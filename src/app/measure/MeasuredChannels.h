#pragma once

#include "MeasureText.h"
#include "PlotScroll.h"
#include "SampleLocator.h"

#include <QSize>

#include <optional>
#include <string>
#include <vector>

struct SPlotSettings;

// The channel's name as the board gave it; empty while the store keeps none, and the channel
// is then "ch N". The readouts, the statistics and the trigger all take names from here.
std::string ChannelName(int nChannel);
// "temp", or "ch 3".
std::string ChannelLabelOf(int nChannel);

// The channels shown now, for the readouts; vNames keeps their names while they are read.
std::vector<SReadoutChannel> ShownChannels(std::vector<std::string>& vNames);

// The window of a channel as the last paint placed it.
CPlotWindow ChannelWindow(const SPlotSettings& settings, int nChannel);

// The sample of the first channel drawn nearest to client x on a plot of the given size.
std::optional<int> SampleUnder(const SPlotSettings& settings, QSize size, int x);
// The x at which the first channel's sample n is drawn, when it is in the window.
std::optional<int> SampleX(const SPlotSettings& settings, QSize size, int n);
