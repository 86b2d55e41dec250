#pragma once

#include "SampleSeries.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

enum class ETriggerEdge { kRising, kFalling, kEither };
enum class ETriggerMode { kNormal, kSingle };

struct STriggerSettings {
    bool m_bOn = false;
    int m_nChannel = 0; // 0 is "ch1"
    float m_fLevel = 0.0f;
    ETriggerEdge m_eEdge = ETriggerEdge::kRising;
    // Where the crossing sits in the window, 0 (left edge) to 100 (right edge) per cent.
    int m_nPositionPercent = 50;
    ETriggerMode m_eMode = ETriggerMode::kNormal;
    friend bool operator==(const STriggerSettings&, const STriggerSettings&) = default;
};

enum class ETriggerState {
    kOff,
    kArmed,     // looking, no crossing since it was armed
    kWaiting,   // a crossing was seen, the samples that fill its window are still coming
    kTriggered, // holding a crossing found since it was armed
};

// Holds the plot still on a repeating signal, as an oscilloscope's trigger does.
//
// The crossing rule is a comparator without hysteresis: a sample is high when it is at or
// above the level (v >= level), low otherwise, so a sample equal to the level counts as
// high. A rising crossing is a high sample right after a low one, a falling crossing a low
// sample right after a high one, and the crossing is at that second sample. A gap (NaN)
// breaks the comparison: the number after it only tells the side, it crosses nothing.
// Infinities are on their side like any number. Each new sample costs one comparison.
//
// A crossing is held once the window around it is filled: the samples after it up to the
// window's end and one more (the plot never shows the newest sample). Normal holds each
// crossing in turn as it fills, so the newest filled one is shown; Single holds the first
// crossing after arming and looks no further until armed again.
class CTrigger {
public:
    // New settings, with the series of the channel they name. A change of channel, level or
    // edge, or switching on, drops the held crossing; any change arms afresh.
    void Configure(const STriggerSettings& settings, const CSampleSeries& series);
    // Looks for crossings in what arrives from now on (Arm Trigger). The crossing held
    // stays shown until a new one is held.
    void Arm(const CSampleSeries& series);
    // The series was emptied or took other values: the crossing held is gone with the
    // samples it was in, and crossings are looked for in what arrives from now on.
    void Forget(const CSampleSeries& series);
    // Takes in the samples appended since the last call. nWindowSamples: 10 x ppd, the
    // samples the plot shows. A series cleared since is taken from its start, and nothing
    // is held.
    void Update(const CSampleSeries& series, int nWindowSamples);

    const STriggerSettings& Settings() const { return m_settings; }
    ETriggerState State() const;
    // The crossing held (sample index), if any.
    std::optional<int> Held() const { return m_nHeld; }
    // The first sample of the window around the held crossing.
    std::optional<int> HeldWindowStart(int nWindowSamples) const;
    // "TRIG ch1 ↑ 1.00: armed", "...: waiting", "...: triggered at #N"; empty when off. A
    // label given (the channel's name) stands in place of "chN".
    std::string StatusText(std::string_view label = {}) const;

    // Samples of the window before the crossing: the position's share of it, at most all
    // but the crossing itself.
    static int SamplesBefore(int nWindowSamples, int nPositionPercent);

private:
    void StartLooking(const CSampleSeries& series);
    bool IsFilled(int nCrossing, std::size_t nCount, int nWindowSamples) const;

    STriggerSettings m_settings;
    std::uint64_t m_nGeneration = 0;
    std::size_t m_nCovered = 0;
    // The side of the last sample: -1 unknown (start, after a gap), 0 low, 1 high.
    int m_nSide = -1;
    // Crossings whose windows are not filled yet, oldest first. At most one per sample of
    // a window, and only while they are younger than it.
    std::deque<int> m_vPending;
    std::optional<int> m_nHeld;
    bool m_bHeldSinceArmed = false;
};

// The scroll-back at which the plot's window of a channel with nCount samples starts at
// nStart (what the view sets at every paint while it shows the held window); 0 when the
// channel does not reach that far yet (a ppd raised since the crossing was held).
int ScrollBackForStart(int nCount, int nWindowSamples, int nStart);

// 10 x ppd, the samples a window holds, at least 1.
int WindowSamples(float fPointsPerDiv);
