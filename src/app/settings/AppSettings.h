#pragma once

#include "BoardFormat.h"
#include "PortChoice.h"
#include "SendText.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

// One channel's Channel Setup.
struct SChannelSettings {
    int m_nColor = 0;
    int m_nPointType = 0;
    bool m_bInterpolate = true;
    bool m_bMarkMinMax = false;
    bool m_bSoundEnabled = false;
    float m_fBeepLimitMin = 0.0f;
    float m_fBeepLimitMax = 0.0f;
    // The name the user typed; empty for none (the board's or "ch N" is shown).
    std::string m_strName;

    bool operator==(const SChannelSettings&) const = default;
};

// The main window's place and size (without the frame), when known.
struct SWindowSettings {
    bool m_bKnown = false;
    int m_nX = 0;
    int m_nY = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    bool m_bMaximized = false;

    bool operator==(const SWindowSettings&) const = default;
};

// Every setting the program keeps between runs. A default-constructed value holds what a
// first start uses, so a user who never changes a setting gets exactly that.
struct SAppSettings {
    static constexpr int kChannelCount = 10;
    static constexpr int kPortCount = kPortChoiceCount;
    static constexpr int kSpeedCount = static_cast<int>(std::size(kSpeedChoices));
    static constexpr int kStopBitsCount = 2;
    static constexpr int kParityCount = 3;
    static constexpr int kColorCount = 7;
    static constexpr int kPointTypeCount = 4;
    static constexpr int kTriggerEdgeCount = 3;
    static constexpr int kTriggerModeCount = 2;
    static constexpr int kLegendCornerCount = 4;

    // Port Setup: list positions, a typed speed in bits per second (0 when the list's is
    // used; the speed position is then -1), what the board sends.
    int m_nPort = 0;
    int m_nSpeed = 1;
    int m_nStopBits = 0;
    int m_nParity = 0;
    int m_nTypedSpeed = 0;
    EBoardFormat m_eBoardFormat = EBoardFormat::kHashSets;
    // Reconnect When the Board Returns.
    bool m_bReconnect = false;
    // The send bar: shown, its line end, the lines sent (oldest first).
    bool m_bSendBarShown = false;
    ELineEnd m_eLineEnd = kDefaultLineEnd;
    std::vector<std::string> m_vSendHistory;
    // Scroll keys leave collection on.
    bool m_bKeepCollectingWhenScrolled = false;
    // X Axis and Y Axis.
    float m_fPointsPerDiv = 5.0f;
    bool m_bDoublePpdAtMax = false;
    float m_fYMax = 2.5f;
    float m_fYMin = -2.5f;
    bool m_bAutoScale = false;
    // Plot > Legend, and its corner (see CLegendOverlay::ECorner).
    bool m_bLegend = false;
    int m_nLegendCorner = 0;
    // File > Save's "Write a header line".
    bool m_bSaveHeaderLine = false;
    std::array<SChannelSettings, kChannelCount> m_vChannels = StartChannelSettings();
    // View > Statistics and Plot > X Axis in Seconds.
    bool m_bShowStatistics = false;
    bool m_bXAxisInSeconds = false;
    // The trigger's choices (it starts off whatever they are): channel from 0, level, edge
    // and mode as list positions, the crossing's place in the window in per cent.
    int m_nTriggerChannel = 0;
    float m_fTriggerLevel = 0.0f;
    int m_nTriggerEdge = 0;
    int m_nTriggerPosition = 50;
    int m_nTriggerMode = 0;
    SWindowSettings m_window;

    bool operator==(const SAppSettings&) const = default;

    // The channels as the store sets them up at start.
    static std::array<SChannelSettings, kChannelCount> StartChannelSettings();
};

// Puts the default back into every field whose value the program could not use: an index
// outside its list, a limit or range that is not a finite number, a ppd below 1, a negative
// typed speed, a channel name with control characters, a window too small or too large to be
// meant; of the send history, the newest lines that are not empty, as many as it keeps.
void ValidateSettings(SAppSettings& settings);
