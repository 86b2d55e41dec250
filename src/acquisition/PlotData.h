#pragma once

#include "PlotChannel.h"
#include "SetSizeLog.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The ten channels and the set being assembled by the stream interpreter.
class CPlotData {
public:
    static constexpr int kChannelCount = 10;
    static constexpr int kMaxNumberLength = 99;

    void CreateChannels();
    void DestroyChannels();
    void ClearAll();

    void AddSample(int i, Sample v);
    Sample GetSample(int i, int j) const;
    int GetSampleCount(int i) const;
    int GetTotalSampleCount() const;
    const CSampleSeries& GetSeries(int i) const;
    // Puts the samples of loaded (read from a file) in channel i in place of its own, with
    // their extremes; how the channel is drawn and alarmed stays.
    void AdoptSamples(int i, CPlotChannel& loaded);

    void ToggleHidden(int i);
    bool IsHidden(int i) const;
    float GetMin(int i) const;
    float GetMax(int i) const;
    int GetColor(int i) const;
    void SetColor(int i, int nColor);
    int GetPointType(int i) const;
    void SetPointType(int i, int nPointType);
    bool GetInterpolate(int i) const;
    void SetInterpolate(int i, bool bInterpolate);
    bool GetMarkMinMax(int i) const;
    void SetMarkMinMax(int i, bool bMarkMinMax);
    bool GetSoundEnabled(int i) const;
    void SetSoundEnabled(int i, bool bSoundEnabled);
    float GetBeepLimitMin(int i) const;
    void SetBeepLimitMin(int i, float fLimit);
    float GetBeepLimitMax(int i) const;
    void SetBeepLimitMax(int i, float fLimit);

    // Feeds received text up to its NUL; true when at least one set was completed.
    bool Interpret(const char* text);
    static bool IsNumberChar(char c) { return c >= ',' && c <= '9'; }

    char m_cLimiter = 0;
    std::uint8_t m_nLastSetCount = 0;
    // When set, told the size of every completed set.
    CSetSizeLog* m_pSetLog = nullptr;

private:
    CPlotChannel& Channel(int i);
    const CPlotChannel& Channel(int i) const;
    void AppendToNumber(const char* run, std::size_t length);
    const char* ConvertInPlace(const char* p);
    bool InterpretBlock(const char* text);
    void EndNumber();
    void PushPending(Sample v);
    void CompleteSet();

    // A set has one value per channel; values beyond the tenth have nowhere to go.
    std::array<Sample, kChannelCount> m_vPending{};
    int m_nPending = 0;
    std::vector<std::unique_ptr<CPlotChannel>> m_vChannels;

    // The number being assembled lives across calls and survives ClearAll: a number split
    // between two chunks is read as if it had arrived whole.
    char m_szNumber[kMaxNumberLength + 1] = {};
    std::uint8_t m_nNumberLen = 0;
};
