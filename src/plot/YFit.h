#pragma once

#include "PaintReplay.h"

#include <span>

// Y Max and Y Min that show the finite samples in view with a margin of 5 % of their span
// above and below (5 % of their magnitude, at least 0.05, for a flat span). In view: the window
// of each channel the paint draws (below nDrawnCount, not hidden), as it lies now. False
// when there is no finite sample in view.
bool FitYRange(std::span<const CReplayChannel> channels, int nDrawnCount, float fPointsPerDiv,
               int nScrollBack, float& fYMax, float& fYMin);
