#include "PlotData.h"

#include "NumberText.h"

#include <algorithm>
#include <bit>
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

void CPlotData::PushPending(Sample v) {
    if (m_nPending < kChannelCount) {
        m_vPending[static_cast<std::size_t>(m_nPending++)] = v;
    }
}

void CPlotData::EndNumber() {
    const std::size_t length = m_nNumberLen > kMaxNumberLength ? kMaxNumberLength : m_nNumberLen;
    PushPending(NumberTextToFloat(m_szNumber, length));
    m_nNumberLen = 0;
    m_szNumber[0] = '\0';
}

void CPlotData::CompleteSet() {
    for (int j = 0; j < m_nPending; ++j) {
        m_vChannels[static_cast<std::size_t>(j)]->Append(m_vPending[static_cast<std::size_t>(j)]);
    }
    m_nLastSetCount = static_cast<std::uint8_t>(m_nPending);
    if (m_pSetLog != nullptr) {
        m_pSetLog->Add(m_nPending);
    }
    m_nPending = 0;
}

void CPlotData::AppendToNumber(const char* run, std::size_t length) {
    if (m_nNumberLen >= kMaxNumberLength) {
        return;
    }
    // Only the first 99 characters of a run count; the length saturates at 100 so that a
    // run continued by the next chunk is still known to be in progress.
    const std::size_t room = kMaxNumberLength - m_nNumberLen;
    const std::size_t take = length < room ? length : room;
    std::memcpy(m_szNumber + m_nNumberLen, run, take);
    m_nNumberLen =
        static_cast<std::uint8_t>(take < length ? kMaxNumberLength + 1 : m_nNumberLen + take);
}

namespace {

// Eight bytes at a time, so that the length of a digit run costs no branch. Little-endian:
// the first character is the lowest byte.
static_assert(std::endian::native == std::endian::little);

std::uint64_t Load8(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// How many of the 8 bytes, from the first, are decimal digits. A byte is a digit when both
// it and it plus 6 have the high nibble 3; a carry out of a byte from 0xFA up only reaches
// bytes after that non-digit.
unsigned LeadingDigitCount(std::uint64_t v) {
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u;
    constexpr std::uint64_t kThrees = 0x3030303030303030u;
    const std::uint64_t nonDigit =
        ((v & kHigh) ^ kThrees) | (((v + 0x0606060606060606u) & kHigh) ^ kThrees);
    return nonDigit == 0 ? 8u : static_cast<unsigned>(std::countr_zero(nonDigit)) / 8u;
}

// The value of the first n (1..8) bytes, all digits. Shifting them to the top leaves zero
// digits in front; the rest is the usual pairwise combination.
std::uint64_t DigitsValue(std::uint64_t v, unsigned n) {
    v = (v - 0x3030303030303030u) << (8 * (8 - n));
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
         (((v >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
        32;
    return v & 0xFFFFFFFFu;
}

constexpr std::uint64_t kIntPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

} // namespace

// The common case in one pass: a whole number "-ddd.ddd" with fewer than 8 digits on either
// side of the point that ends inside this block. Returns where its run ends, or nullptr to
// let the general path assemble it (split across blocks, long, or a limiter among the number
// characters). Reads up to 17 bytes from p: the block is padded for that.
const char* CPlotData::ConvertInPlace(const char* p) {
    const char* q = p;
    const bool negative = *q == '-';
    q += negative ? 1 : 0;
    const std::uint64_t integer = Load8(q);
    const unsigned integerDigits = LeadingDigitCount(integer);
    if (integerDigits == 8) {
        return nullptr;
    }
    std::uint64_t mantissa = integerDigits != 0 ? DigitsValue(integer, integerDigits) : 0;
    q += integerDigits;
    unsigned fractionDigits = 0;
    if (*q == '.') {
        ++q;
        const std::uint64_t fraction = Load8(q);
        fractionDigits = LeadingDigitCount(fraction);
        if (fractionDigits == 8) {
            return nullptr;
        }
        if (fractionDigits != 0) {
            mantissa =
                mantissa * kIntPowersOfTen[fractionDigits] + DigitsValue(fraction, fractionDigits);
        }
        q += fractionDigits;
    }
    if (integerDigits + fractionDigits == 0 || IsNumberChar(m_cLimiter)) {
        return nullptr;
    }
    // What follows the converted prefix ("1,5", "1.2.3", "5-3") still belongs to the run.
    while (IsNumberChar(*q)) {
        ++q;
    }
    if (*q == '\0') {
        return nullptr;
    }
    PushPending(ExactDecimalToFloat(mantissa, fractionDigits, negative));
    return q;
}

bool CPlotData::Interpret(const char* text) {
    // Copied block by block into a zero-padded buffer so that the eight-byte reads of the
    // number conversion never leave it. Block ends behave like chunk ends.
    constexpr std::size_t kBlock = 4096;
    constexpr std::size_t kPadding = 32;
    char block[kBlock + kPadding];
    const std::size_t length = std::strlen(text);
    bool bSetCompleted = false;
    for (std::size_t at = 0; at < length; at += kBlock) {
        const std::size_t n = std::min(kBlock, length - at);
        std::memcpy(block, text + at, n);
        std::memset(block + n, 0, kPadding);
        bSetCompleted |= InterpretBlock(block);
    }
    return bSetCompleted;
}

bool CPlotData::InterpretBlock(const char* text) {
    const char limiter = m_cLimiter;
    const bool limiterIsNumberChar = IsNumberChar(limiter);
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
            const char* end = m_nNumberLen == 0 ? ConvertInPlace(p) : nullptr;
            if (end == nullptr) {
                end = p + 1;
                while (IsNumberChar(*end) && !(limiterIsNumberChar && *end == limiter)) {
                    ++end;
                }
                AppendToNumber(p, static_cast<std::size_t>(end - p));
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
