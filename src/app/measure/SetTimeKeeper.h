#pragma once

#include "SetTimes.h"

#include <cstdint>
#include <functional>
#include <vector>

class CCommandMap;
class CPlotPainter;

// When each set of the store arrived, and Plot > X Axis in Seconds (off by default), which
// labels the X axis with those times in place of sample numbers.
class CSetTimeKeeper {
public:
    // The painter asks for the X labels; fnRepaint repaints the plot.
    CSetTimeKeeper(CPlotPainter& painter, std::function<void()> fnRepaint);

    void RegisterCommands(CCommandMap& commands);

    // Sets arrived from the port: the ones not timed yet arrived now.
    void OnSetsCompleted();
    // An opened file took the store's place; its sets have no times (see AdoptRecordingTimes).
    void OnLoaded();
    // The times of an opened recording, one per row (set) in milliseconds as its time
    // column has them, for the sets the store holds now. Call after OnLoaded.
    void AdoptRecordingTimes(const std::vector<std::uint32_t>& vRowMs);

    // The times of the store's sets as numbered there; null when none are known.
    const CSetTimes* Times() const;

    bool XAxisInSeconds() const { return m_bXAxisInSeconds; }
    void SetXAxisInSeconds(bool bOn);

private:
    CSetTimes m_times;
    // The first channel's samples the times go with: its series, and whether its sets came
    // without times.
    std::uint64_t m_nGeneration = 0;
    bool m_bUntimed = false;
    bool m_bXAxisInSeconds = false;
    std::function<void()> m_fnRepaint;
};
