#include "PlotData.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <utility>

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
    m_interpreter.DiscardPartialSet();
}

void CPlotData::DiscardPartialSet() {
    m_interpreter.DiscardPartialSet();
}

void CPlotData::SetEndSetsAtLineEnd(bool bEndSetsAtLineEnd) {
    m_interpreter.SetEndSetsAtLineEnd(bEndSetsAtLineEnd);
}

bool CPlotData::GetEndSetsAtLineEnd() const {
    return m_interpreter.GetEndSetsAtLineEnd();
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

void CPlotData::AddSample(int i, Sample v) {
    Channel(i).Append(v);
}
Sample CPlotData::GetSample(int i, int j) const {
    return Channel(i).GetSample(j);
}
int CPlotData::GetSampleCount(int i) const {
    return Channel(i).GetSampleCount();
}
void CPlotData::AdoptSamples(int i, CPlotChannel& loaded) {
    CPlotChannel& channel = Channel(i);
    channel.m_vSamples = std::move(loaded.m_vSamples);
    channel.m_fMin = loaded.m_fMin;
    channel.m_fMax = loaded.m_fMax;
}

const CSampleSeries& CPlotData::GetSeries(int i) const {
    return Channel(i).m_vSamples;
}

int CPlotData::GetTotalSampleCount() const {
    long long total = 0;
    for (const auto& channel : m_vChannels) {
        total += channel->GetSampleCount();
    }
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

void CPlotData::ToggleHidden(int i) {
    Channel(i).m_bHidden = !Channel(i).m_bHidden;
}
bool CPlotData::IsHidden(int i) const {
    return Channel(i).m_bHidden;
}
float CPlotData::GetMin(int i) const {
    return Channel(i).m_fMin;
}
float CPlotData::GetMax(int i) const {
    return Channel(i).m_fMax;
}
int CPlotData::GetColor(int i) const {
    return Channel(i).m_nColor;
}
void CPlotData::SetColor(int i, int nColor) {
    Channel(i).m_nColor = nColor;
}
int CPlotData::GetPointType(int i) const {
    return Channel(i).m_nPointType;
}
void CPlotData::SetPointType(int i, int nPointType) {
    Channel(i).m_nPointType = nPointType;
}
bool CPlotData::GetInterpolate(int i) const {
    return Channel(i).m_bInterpolate;
}
void CPlotData::SetInterpolate(int i, bool bInterpolate) {
    Channel(i).m_bInterpolate = bInterpolate;
}
bool CPlotData::GetMarkMinMax(int i) const {
    return Channel(i).m_bMarkMinMax;
}
void CPlotData::SetMarkMinMax(int i, bool bMarkMinMax) {
    Channel(i).m_bMarkMinMax = bMarkMinMax;
}
bool CPlotData::GetSoundEnabled(int i) const {
    return Channel(i).m_bSoundEnabled;
}
void CPlotData::SetSoundEnabled(int i, bool bSoundEnabled) {
    Channel(i).m_bSoundEnabled = bSoundEnabled;
}
float CPlotData::GetBeepLimitMin(int i) const {
    return Channel(i).m_fBeepLimitMin;
}
void CPlotData::SetBeepLimitMin(int i, float fLimit) {
    Channel(i).m_fBeepLimitMin = fLimit;
}
float CPlotData::GetBeepLimitMax(int i) const {
    return Channel(i).m_fBeepLimitMax;
}
void CPlotData::SetBeepLimitMax(int i, float fLimit) {
    Channel(i).m_fBeepLimitMax = fLimit;
}

static_assert(CSetInterpreter::kMaxValuesPerSet == CPlotData::kChannelCount);

// Hands the interpreter's sets to the channels.
class CPlotData::CChannelAppender final : public CSetSink {
public:
    explicit CChannelAppender(CPlotData& data) : m_data(data) {}
    void OnSet(const Sample* pValues, int nCount) override { m_data.CompleteSet(pValues, nCount); }

private:
    CPlotData& m_data;
};

void CPlotData::CompleteSet(const Sample* pValues, int nCount) {
    for (int j = 0; j < nCount; ++j) {
        m_vChannels[static_cast<std::size_t>(j)]->Append(pValues[j]);
    }
    m_nLastSetCount = static_cast<std::uint8_t>(nCount);
    if (m_pSetLog != nullptr) {
        m_pSetLog->Add(nCount);
    }
}

bool CPlotData::Interpret(const char* text) {
    return Interpret(text, std::strlen(text));
}

bool CPlotData::Interpret(const char* text, std::size_t length) {
    m_interpreter.m_cLimiter = m_cLimiter;
    CChannelAppender appender(*this);
    return m_interpreter.Feed(text, length, appender);
}
