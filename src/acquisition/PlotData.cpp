#include "PlotData.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
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
    m_bMemoryFull = false;
}

void CPlotData::ClearAll() {
    for (auto& channel : m_vChannels) {
        channel->Clear();
        channel->m_strStreamName.clear();
    }
    m_nLastSetCount = 0;
    m_bMemoryFull = false;
    m_interpreter.ForgetSession();
}

void CPlotData::DiscardPartialSet() {
    m_interpreter.DiscardPartialSet();
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
    CPlotChannel& channel = Channel(i);
    if (!m_bMemoryFull && MakeRoom(channel.m_vSamples)) {
        channel.AppendInRoom(v);
    }
}
Sample CPlotData::GetSample(int i, int j) const {
    return Channel(i).GetSample(j);
}
int CPlotData::GetSampleCount(int i) const {
    return Channel(i).GetSampleCount();
}
void CPlotData::AdoptSamples(int i, CPlotChannel& loaded) {
    CPlotChannel& channel = Channel(i);
    if (!loaded.m_vSamples.empty()) {
        m_interpreter.AdoptChannel(i, {});
    }
    channel.m_vSamples = std::move(loaded.m_vSamples);
    channel.m_fMin = loaded.m_fMin;
    channel.m_fMax = loaded.m_fMax;
}

const std::string& CPlotData::GetChannelName(int i) const {
    return Channel(i).GetName();
}
void CPlotData::SetChannelName(int i, std::string strName) {
    Channel(i).m_strTypedName = std::move(strName);
}
bool CPlotData::IsChannelNameTyped(int i) const {
    return !Channel(i).m_strTypedName.empty();
}
void CPlotData::SetStreamChannelName(int i, std::string_view strName) {
    Channel(i).m_strStreamName.assign(strName);
    m_interpreter.AdoptChannel(i, strName);
}
const std::string& CPlotData::GetStreamChannelName(int i) const {
    return Channel(i).m_strStreamName;
}

const CSampleSeries& CPlotData::GetSeries(int i) const {
    return Channel(i).m_vSamples;
}

std::size_t CPlotData::GetStoredBytes() const {
    std::size_t nBlocks = 0;
    for (const auto& channel : m_vChannels) {
        nBlocks += channel->m_vSamples.BlockCount();
    }
    return nBlocks * CSampleSeries::kBlockBytes;
}

bool CPlotData::MakeRoom(CSampleSeries& series) {
    if (series.HasRoom()) {
        return true;
    }
    const bool bRoom =
        series.BlockCount() < kMaxBlocksPerChannel &&
        GetStoredBytes() + CSampleSeries::kBlockBytes <= m_nMemoryBudget &&
        (m_pMemoryGauge == nullptr || m_pMemoryGauge->MayGrow(CSampleSeries::kBlockBytes)) &&
        series.MakeRoom();
    m_bMemoryFull = !bRoom;
    return bRoom;
}

bool CPlotData::MakeRoomForSet(int nValues) {
    for (int j = 0; j < nValues; ++j) {
        if (!MakeRoom(m_vChannels[static_cast<std::size_t>(j)]->m_vSamples)) {
            return false;
        }
    }
    return true;
}

// Every channel the set reaches must take its value, or none does: a set stored in part
// would shift the rows of the channels it missed.
bool CPlotData::HasRoomForSet(int nValues) {
    if (m_bMemoryFull) {
        return false;
    }
    for (int j = 0; j < nValues; ++j) {
        if (!m_vChannels[static_cast<std::size_t>(j)]->m_vSamples.HasRoom()) {
            return MakeRoomForSet(nValues);
        }
    }
    return true;
}

bool CPlotData::ResumeAfterFull() {
    m_bMemoryFull = false;
    return MakeRoomForSet(std::max<int>(m_nLastSetCount, 1));
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
static_assert(SSetBatch::kStride == CPlotData::kChannelCount);

// Hands the interpreter's sets and names to the channels.
class CPlotData::CChannelAppender final : public CSetSink {
public:
    explicit CChannelAppender(CPlotData& data) : m_data(data) {}
    void OnSet(const Sample* pValues, int nCount) override {
        m_data.CompleteSet(pValues, nCount, false);
    }
    void OnSets(const SSetBatch& batch) override { m_data.CompleteSets(batch); }
    void OnChannelName(int nChannel, std::string_view strName) override {
        m_data.Channel(nChannel).m_strStreamName.assign(strName);
    }

private:
    CPlotData& m_data;
};

// What every set costs (the room, the alignment, the log) is paid once for the whole batch
// when every channel it reaches has room for all of it and none lags behind.
void CPlotData::CompleteSets(const SSetBatch& batch) {
    const int nSets = batch.m_nSets;
    if (nSets == 0 || m_vChannels.size() < kChannelCount) {
        return;
    }
    int nWidest = 0;
    unsigned nCountsDiffer = 0;
    for (int k = 0; k < nSets; ++k) {
        nWidest = std::max<int>(nWidest, batch.m_pCounts[k]);
        nCountsDiffer |= batch.m_pCounts[k] ^ batch.m_pCounts[0];
    }
    CPlotChannel* apChannels[kChannelCount];
    // Aligned sets that widen within the batch must first give the lagging channels gaps.
    bool bWhole = !m_bMemoryFull && (!batch.m_bAligned || nCountsDiffer == 0);
    for (int j = 0; j < nWidest && bWhole; ++j) {
        apChannels[j] = m_vChannels[static_cast<std::size_t>(j)].get();
        const CSampleSeries& series = apChannels[j]->m_vSamples;
        bWhole = series.Room() >= static_cast<std::size_t>(nSets) &&
                 (!batch.m_bAligned || series.size() == apChannels[0]->m_vSamples.size());
    }
    if (!bWhole) {
        for (int k = 0; k < nSets; ++k) {
            CompleteSet(batch.m_pValues + static_cast<std::ptrdiff_t>(k) * SSetBatch::kStride,
                        batch.m_pCounts[k], batch.m_bAligned);
        }
        return;
    }
    // A channel at a time, its tail and extremes held in registers.
    for (int j = 0; j < nWidest; ++j) {
        CPlotChannel& channel = *apChannels[j];
        Sample* pTail = channel.m_vSamples.Tail();
        float fMin = channel.m_fMin;
        float fMax = channel.m_fMax;
        std::size_t n = 0;
        const Sample* pValue = batch.m_pValues + j;
        for (int k = 0; k < nSets; ++k, pValue += SSetBatch::kStride) {
            if (batch.m_pCounts[k] > j) {
                const float v = *pValue;
                pTail[n++] = v;
                fMin = v < fMin ? v : fMin;
                fMax = v > fMax ? v : fMax;
            }
        }
        channel.m_vSamples.AppendWritten(n);
        channel.m_fMin = fMin;
        channel.m_fMax = fMax;
    }
    m_nLastSetCount = batch.m_pCounts[nSets - 1];
    LogSetSizes(batch.m_pCounts, nSets);
}

void CPlotData::LogSetSizes(const std::uint8_t* pCounts, int nSets) {
    if (m_pSetLog == nullptr) {
        return;
    }
    // The log grows now and then; when even that memory is gone, so is room for more.
    try {
        for (int k = 0; k < nSets; ++k) {
            m_pSetLog->Add(pCounts[k]);
        }
    } catch (const std::bad_alloc&) {
        m_bMemoryFull = true;
    }
}

// A channel that joins late (or lags after a '#' set) first takes gaps up to the row of this
// set. False, and full, when the memory for them cannot be had.
bool CPlotData::AlignForSet(int nValues) {
    if (m_bMemoryFull) {
        return false;
    }
    std::size_t nRows = 0;
    for (int j = 0; j < nValues; ++j) {
        nRows = std::max(nRows, m_vChannels[static_cast<std::size_t>(j)]->m_vSamples.size());
    }
    for (int j = 0; j < nValues; ++j) {
        CPlotChannel& channel = *m_vChannels[static_cast<std::size_t>(j)];
        while (channel.m_vSamples.size() < nRows) {
            if (!MakeRoom(channel.m_vSamples)) {
                return false;
            }
            channel.AppendInRoom(std::numeric_limits<Sample>::quiet_NaN());
        }
    }
    return true;
}

void CPlotData::CompleteSet(const Sample* pValues, int nCount, bool bAligned) {
    if (m_vChannels.size() < kChannelCount || (bAligned && !AlignForSet(nCount)) ||
        !HasRoomForSet(nCount)) {
        return;
    }
    for (int j = 0; j < nCount; ++j) {
        m_vChannels[static_cast<std::size_t>(j)]->AppendInRoom(pValues[j]);
    }
    m_nLastSetCount = static_cast<std::uint8_t>(nCount);
    const std::uint8_t nSize = m_nLastSetCount;
    LogSetSizes(&nSize, 1);
}

bool CPlotData::Interpret(const char* text) {
    return Interpret(text, std::strlen(text));
}

bool CPlotData::Interpret(const char* text, std::size_t length) {
    m_interpreter.m_cLimiter = m_cLimiter;
    CChannelAppender appender(*this);
    return m_interpreter.Feed(text, length, appender);
}
