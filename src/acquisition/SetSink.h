#pragma once

#include "SampleSeries.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Sets completed in one go, oldest first: set k holds m_pCounts[k] values (0..10) at
// m_pValues[k * kStride]. A gap is a quiet NaN.
struct SSetBatch {
    static constexpr int kStride = 10;

    const Sample* m_pValues = nullptr;
    const std::uint8_t* m_pCounts = nullptr;
    int m_nSets = 0;
    // Every set covers every channel in use, with a gap where the board gave no value: a
    // channel that joins late must first get gaps for the sets it missed, so that sample n of
    // every channel belongs to set n. Sets ended by '#' leave later channels short instead.
    bool m_bAligned = false;
};

// Receives the sets a reader completes, in the order they end, and the channel names the
// board prints.
class CSetSink {
public:
    // nCount is 0..10; 0 for an empty set (a limiter with no number since the last set).
    virtual void OnSet(const Sample* pValues, int nCount) = 0;
    // The sets of one chunk at a time. By default one OnSet after another; the store takes
    // them whole, so that what each set costs it is paid once per chunk.
    virtual void OnSets(const SSetBatch& batch) {
        for (int k = 0; k < batch.m_nSets; ++k) {
            OnSet(batch.m_pValues + static_cast<std::ptrdiff_t>(k) * SSetBatch::kStride,
                  batch.m_pCounts[k]);
        }
    }
    // Channel nChannel (0..9) is called strName from now on (a label or a header line). Comes
    // after the sets that arrived before the name and before those that follow it.
    virtual void OnChannelName(int nChannel, std::string_view strName) {
        (void)nChannel;
        (void)strName;
    }

protected:
    ~CSetSink() = default;
};

// What readers keep the user informed with, since the store was last cleared.
struct SReadCounts {
    // Values (gaps included) beyond the tenth of a set, and those that met a clash (below).
    std::uint64_t m_nValuesDropped = 0;
    // The most values one set held, when that was more than ten; 0 otherwise.
    int m_nLargestSet = 0;
    // Lines that were neither a set, an empty line nor a header (line format only).
    std::uint64_t m_nLinesSkipped = 0;
    // The first 60 bytes of the last of them, control bytes shown as '?'.
    std::string m_strLastSkippedLine;
    // Names learnt from the stream (each header name and each new label counts).
    std::uint64_t m_nNamesLearnt = 0;
};

// The sets of a chunk, gathered until the chunk ends (or the batch is full) and handed to the
// sink in one call. The set being assembled lives in the slot after the completed ones.
class CSetBatcher {
public:
    static constexpr int kCapacity = 128;
    static constexpr int kStride = SSetBatch::kStride;

    Sample* Slot() { return m_afValues + static_cast<std::ptrdiff_t>(m_nSets) * kStride; }
    int Sets() const { return m_nSets; }

    // The slot's set is complete with nCount values.
    void Complete(int nCount, CSetSink& sink, bool bAligned) {
        m_anCounts[m_nSets++] = static_cast<std::uint8_t>(nCount);
        if (m_nSets == kCapacity) {
            Flush(sink, bAligned);
        }
    }

    // Hands the completed sets over; the set being assembled moves to the first slot.
    void Flush(CSetSink& sink, bool bAligned) {
        if (m_nSets == 0) {
            return;
        }
        // Whatever the sink does (it may throw), these sets are handed over once.
        struct SMoveDown {
            CSetBatcher& m_batch;
            ~SMoveDown() {
                std::memmove(m_batch.m_afValues, m_batch.Slot(), kStride * sizeof(Sample));
                m_batch.m_nSets = 0;
            }
        } moveDown{*this};
        sink.OnSets({m_afValues, m_anCounts, m_nSets, bAligned});
    }

private:
    Sample m_afValues[(kCapacity + 1) * kStride] = {};
    std::uint8_t m_anCounts[kCapacity] = {};
    int m_nSets = 0;
};
