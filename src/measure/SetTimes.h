#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// When each set arrived, in milliseconds since the first set, for live data (a time per
// read and the number of sets it brought) and for an opened recording (a time per row).
//
// Stored as 32-bit words: a set alone at its millisecond is one word, its time; four or
// more sets at the same millisecond (a read that brought a burst, or reads faster than the
// clock's millisecond) are two words, their count with the top bit set and their time. A
// checkpoint (word, first set) marks the first such pair in every stretch of 1024 words,
// so the time of any set is a binary search and at most a stretch's scan away. Every pair
// stands for at least 4 sets, so it and its checkpoint save at least what they cost: the
// store never takes more than 4 bytes per set, and a burst of k sets takes 8 bytes.
//
// At 1,000 sets/s that is at most 4,000 B/s, 14.4 MB per hour, when every read brings one
// set at its own millisecond; reads of 10 sets every 10 ms take 800 B/s, 2.9 MB per hour.
// Times are kept to the millisecond up to 2^31 ms (24.8 days) and never go back.
class CSetTimes {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::uint32_t kMaxMs = 0x7FFFFFFFu;

    // A read at tNow completed nSets sets. The first read with sets is time 0; after
    // AdoptRowTimes the next read continues from the recording's last time.
    void OnSets(Clock::time_point tNow, std::size_t nSets);
    // The times of an opened recording, one per row (set), in milliseconds as written,
    // in place of all held: the first row is time 0.
    void AdoptRowTimes(const std::vector<std::uint32_t>& vRowMs);
    // With the store: no sets, no times.
    void Reset();

    std::size_t SetCount() const { return m_nSets; }
    // Milliseconds since the first set of set n; nothing for a set not (yet) timed.
    std::optional<std::uint32_t> Milliseconds(std::size_t n) const;
    std::optional<double> Seconds(std::size_t n) const;
    // Sets per second from the first set to the last: the rate of an opened recording.
    std::optional<double> AverageSetsPerSecond() const;

    // What the times take: words and checkpoints (the figure the 4 bytes per set bound),
    // and the same with the room reserved for growth.
    std::size_t PayloadBytes() const;
    std::size_t CapacityBytes() const;

private:
    static constexpr std::size_t kBlockShift = 12;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;
    static constexpr std::size_t kStretch = 1024;
    static constexpr std::uint32_t kPairFlag = 0x80000000u;
    static constexpr std::uint32_t kMaxPairSets = 0x7FFFFFFFu;
    static constexpr std::size_t kMinPairSets = 4;
    static constexpr std::size_t kNoPair = static_cast<std::size_t>(-1);

    struct SCheckpoint {
        std::uint32_t m_nWord;
        std::uint32_t m_nSet;
    };

    void Append(std::uint32_t nMs, std::size_t nSets);
    std::uint32_t& Word(std::size_t i) const {
        return m_vBlocks[i >> kBlockShift][i & (kBlockSize - 1)];
    }
    void Push(std::uint32_t nWord);

    std::vector<std::unique_ptr<std::uint32_t[]>> m_vBlocks;
    std::size_t m_nWords = 0;
    std::vector<SCheckpoint> m_vCheckpoints;
    std::size_t m_nSets = 0;
    std::optional<Clock::time_point> m_tFirst;
    std::uint32_t m_nLastMs = 0;
    // The last entry, when it is a pair.
    std::size_t m_nLastPairWord = kNoPair;
    // Single-set entries at the end that share m_nLastMs.
    std::size_t m_nTrailingSingles = 0;
};

// The 11 X labels in seconds since the first set: label j is the time of the set of its
// sample number (j x ppd + start), empty where that set has no time. All labels take the
// fewest decimals, 0 to 3, that show a division's average step: ceil(-log10(step)), so a
// step of 5 s reads "0 5 10", 0.2 s "0.0 0.2 0.4" and 0.05 s "0.00 0.05 0.10"; a step under
// a millisecond takes 3.
std::array<std::string, 11> TimeAxisLabels(const CSetTimes& times, float fPointsPerDiv, int nStart);
