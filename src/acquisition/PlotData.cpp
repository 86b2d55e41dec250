#include "PlotData.h"

#include "NumberText.h"

#include <climits>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kStartColors[CPlotData::kChannelCount] = {0, 1, 4, 3, 2, 5, 6, 0, 1, 2};

} // namespace

void CPlotData::CreateChannels() {
    for (int i = 0; i < kChannelCount; ++i) {
        m_vChannels.push_back(std::make_unique<CPlotChannel>());
    }
    for (int i = 0; i < kChannelCount; ++i) {
        CPlotChannel& channel = *m_vChannels[static_cast<std::size_t>(i)];
        channel.Clear();
        channel.m_nColor = kStartColors[i];
        channel.m_bMarkMinMax = false;
        channel.m_bSoundEnabled = false;
    }
}

void CPlotData::DestroyChannels() {
    for (auto& channel : m_vChannels) {
        channel->Clear();
    }
    m_vChannels.clear();
}

void CPlotData::ClearAll() {
    for (auto& channel : m_vChannels) {
        channel->Clear();
    }
    m_nLastSetCount = 0;
    m_vPending.clear();
    m_nPending = 0;
}

CPlotChannel& CPlotData::Channel(int i) {
    if (i < 0 || static_cast<std::size_t>(i) >= m_vChannels.size()) {
        throw std::out_of_range("channel index out of range");
    }
    return *m_vChannels[static_cast<std::size_t>(i)];
}

const CPlotChannel& CPlotData::Channel(int i) const {
    return const_cast<CPlotData*>(this)->Channel(i);
}

void CPlotData::AddSample(int i, Sample v) { Channel(i).Append(v); }
Sample CPlotData::GetSample(int i, int j) const { return Channel(i).GetSample(j); }
int CPlotData::GetSampleCount(int i) const { return Channel(i).GetSampleCount(); }
const CSampleSeries& CPlotData::GetSeries(int i) const { return Channel(i).m_vSamples; }

int CPlotData::GetTotalSampleCount() const {
    long long total = 0;
    for (const auto& channel : m_vChannels) {
        total += channel->GetSampleCount();
    }
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

void CPlotData::ToggleHidden(int i) { Channel(i).m_bHidden = !Channel(i).m_bHidden; }
bool CPlotData::IsHidden(int i) const { return Channel(i).m_bHidden; }
float CPlotData::GetMin(int i) const { return Channel(i).m_fMin; }
float CPlotData::GetMax(int i) const { return Channel(i).m_fMax; }
int CPlotData::GetColor(int i) const { return Channel(i).m_nColor; }
void CPlotData::SetColor(int i, int nColor) { Channel(i).m_nColor = nColor; }
int CPlotData::GetPointType(int i) const { return Channel(i).m_nPointType; }
void CPlotData::SetPointType(int i, int nPointType) { Channel(i).m_nPointType = nPointType; }
bool CPlotData::GetInterpolate(int i) const { return Channel(i).m_bInterpolate; }
void CPlotData::SetInterpolate(int i, bool bInterpolate) { Channel(i).m_bInterpolate = bInterpolate; }
bool CPlotData::GetMarkMinMax(int i) const { return Channel(i).m_bMarkMinMax; }
void CPlotData::SetMarkMinMax(int i, bool bMarkMinMax) { Channel(i).m_bMarkMinMax = bMarkMinMax; }
bool CPlotData::GetSoundEnabled(int i) const { return Channel(i).m_bSoundEnabled; }
void CPlotData::SetSoundEnabled(int i, bool bSoundEnabled) {
    Channel(i).m_bSoundEnabled = bSoundEnabled;
}
float CPlotData::GetBeepLimitMin(int i) const { return Channel(i).m_fBeepLimitMin; }
void CPlotData::SetBeepLimitMin(int i, float fLimit) { Channel(i).m_fBeepLimitMin = fLimit; }
float CPlotData::GetBeepLimitMax(int i) const { return Channel(i).m_fBeepLimitMax; }
void CPlotData::SetBeepLimitMax(int i, float fLimit) { Channel(i).m_fBeepLimitMax = fLimit; }

void CPlotData::EndNumber() {
    const Sample value = NumberTextToFloat(m_szNumber, m_nNumberLen > kMaxNumberLength
                                                           ? kMaxNumberLength
                                                           : m_nNumberLen);
    // A set has one value per channel; values beyond the tenth have nowhere to go.
    if (m_nPending < kChannelCount) {
        m_vPending.push_back(value);
        ++m_nPending;
    }
    m_nNumberLen = 0;
    m_szNumber[0] = '\0';
}

void CPlotData::CompleteSet() {
    for (int j = 0; j < m_nPending; ++j) {
        AddSample(j, m_vPending[static_cast<std::size_t>(j)]);
    }
    m_vPending.clear();
    m_nLastSetCount = static_cast<std::uint8_t>(m_nPending);
    m_nPending = 0;
}

bool CPlotData::Interpret(const char* text) {
    const char limiter = m_cLimiter;
    bool bSetCompleted = false;
    const char* p = text;
    for (;;) {
        const char c = *p;
        if (c == '\0') {
            break;
        }
        if (c == limiter) {
            if (m_nNumberLen != 0) {
                EndNumber();
            }
            CompleteSet();
            bSetCompleted = true;
            ++p;
        } else if (IsNumberChar(c)) {
            const char* end = p + 1;
            while (IsNumberChar(*end) && *end != limiter) {
                ++end;
            }
            const std::size_t runLength = static_cast<std::size_t>(end - p);
            // Only the first 99 characters of a run count; the length saturates at 100 so
            // that a run continued by the next chunk is still known to be in progress.
            if (m_nNumberLen < kMaxNumberLength) {
                const std::size_t room = kMaxNumberLength - m_nNumberLen;
                const std::size_t take = runLength < room ? runLength : room;
                std::memcpy(m_szNumber + m_nNumberLen, p, take);
                m_nNumberLen = static_cast<std::uint8_t>(m_nNumberLen + take);
                if (take < runLength) {
                    m_nNumberLen = kMaxNumberLength + 1;
                }
            }
            p = end;
        } else {
            if (m_nNumberLen != 0) {
                EndNumber();
            }
            ++p;
        }
    }
    return bSetCompleted;
}
