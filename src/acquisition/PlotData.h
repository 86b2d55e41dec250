#pragma once

#include "MemoryBudget.h"
#include "PlotChannel.h"
#include "SetInterpreter.h"
#include "SetSizeLog.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The ten channels and the set being assembled by the stream interpreter.
class CPlotData {
public:
    static constexpr int kChannelCount = 10;
    static constexpr int kMaxNumberLength = CSetInterpreter::kMaxNumberLength;
    // So that a channel's sample count always fits an int.
    static constexpr std::size_t kMaxBlocksPerChannel = INT_MAX / CSampleSeries::kBlockSize;

    void CreateChannels();
    void DestroyChannels();
    // Empties every channel and drops the set and the number being assembled. Starts a new
    // session of names: names from the stream go (those the user typed stay), and so do the
    // channel places of labels and the counts of GetReadCounts.
    void ClearAll();
    // Drops only the set and the number being assembled, as when a port is opened: what
    // arrives next starts a fresh set.
    void DiscardPartialSet();

    // Dropped when the store is full (below).
    void AddSample(int i, Sample v);
    Sample GetSample(int i, int j) const;
    int GetSampleCount(int i) const;
    int GetTotalSampleCount() const;
    const CSampleSeries& GetSeries(int i) const;
    // Puts the samples of loaded (read from a file) in channel i in place of its own, with
    // their extremes; how the channel is drawn and alarmed stays. Labels from the board that
    // follow go past the channels that hold samples.
    void AdoptSamples(int i, CPlotChannel& loaded);

    // Channel names. The name shown is the one the user typed, else the one the board (a
    // label or a header line) or an opened file gave. SetChannelName is for what the user
    // typed ("" for none, which shows the board's name again); a dialog that shows
    // GetChannelName should call it only when the user changed the text.
    const std::string& GetChannelName(int i) const;
    void SetChannelName(int i, std::string strName);
    bool IsChannelNameTyped(int i) const;
    // A name that an opened file gives channel i: shown unless the user typed one, and the
    // channel of labels of that name from the board.
    void SetStreamChannelName(int i, std::string_view strName);
    const std::string& GetStreamChannelName(int i) const;

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

    // What the stored samples may take: at most nBytes of sample blocks (no limit by default),
    // and a new block only when the gauge agrees (none by default). When the next block would
    // pass the budget, the gauge says no or the block cannot be had, the store is full: the
    // set that needed it and every later value are dropped, every set whole, until ClearAll or
    // a successful ResumeAfterFull. Nothing stored is lost.
    void SetMemoryBudget(std::size_t nBytes) { m_nMemoryBudget = nBytes; }
    std::size_t GetMemoryBudget() const { return m_nMemoryBudget; }
    void SetMemoryGauge(std::unique_ptr<CMemoryGauge> pGauge) {
        m_pMemoryGauge = std::move(pGauge);
    }
    // A gauge for values that are to take the place of the store's: the same budget and the
    // same gauge, counted apart from what the store holds now.
    std::unique_ptr<CMemoryGauge> MakeGaugeForReplacement() const {
        return std::make_unique<CCappedGauge>(m_nMemoryBudget, m_pMemoryGauge);
    }
    bool IsMemoryFull() const { return m_bMemoryFull; }
    // Bytes of sample blocks held, the figure the budget limits.
    std::size_t GetStoredBytes() const;
    // Tries again: makes room for a set as large as the last one (at least one value). True,
    // and no longer full, when there is room; false, and full, when not.
    bool ResumeAfterFull();

    // Feeds text up to its NUL; true when at least one set was completed.
    bool Interpret(const char* text);
    // Feeds bytes as received from a port: every one counts, and a NUL is a separator.
    bool Interpret(const char* text, std::size_t length);
    static bool IsNumberChar(char c) { return CSetInterpreter::IsNumberChar(c); }
    // How the board ends its sets; '#' by default. A change drops the set being assembled.
    // In the line format every set gives every channel in use a value or a gap (NaN), so
    // that sample n of each channel belongs to set n, and m_nLastSetCount is the number of
    // channels in use.
    void SetBoardFormat(EBoardFormat eFormat) { m_interpreter.SetFormat(eFormat); }
    EBoardFormat GetBoardFormat() const { return m_interpreter.GetFormat(); }
    // Values dropped beyond ten, skipped lines and names learnt since the last ClearAll.
    SReadCounts GetReadCounts() const { return m_interpreter.Counts(); }

    char m_cLimiter = 0;
    std::uint8_t m_nLastSetCount = 0;
    // When set, told the size of every completed set.
    CSetSizeLog* m_pSetLog = nullptr;

private:
    class CChannelAppender;

    CPlotChannel& Channel(int i);
    const CPlotChannel& Channel(int i) const;
    void CompleteSets(const SSetBatch& batch);
    void CompleteSet(const Sample* pValues, int nCount, bool bAligned);
    bool AlignForSet(int nValues);
    void LogSetSizes(const std::uint8_t* pCounts, int nSets);
    bool HasRoomForSet(int nValues);
    bool MakeRoomForSet(int nValues);
    bool MakeRoom(CSampleSeries& series);

    std::vector<std::unique_ptr<CPlotChannel>> m_vChannels;
    std::size_t m_nMemoryBudget = SIZE_MAX;
    std::shared_ptr<CMemoryGauge> m_pMemoryGauge;
    bool m_bMemoryFull = false;

    // The set and the number being assembled live across calls: a set or a number split
    // between two chunks is read as if it had arrived whole.
    CSetInterpreter m_interpreter;
};
