#include "SignalGenerator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <sstream>
#include <utility>

namespace {

constexpr int kMaxChannels = 10;

} // namespace

std::vector<EWaveform> DefaultWaveforms() {
    return {EWaveform::Sine, EWaveform::Square, EWaveform::Sawtooth};
}

bool ParseWaveforms(const std::string& strList, std::vector<EWaveform>* pvWaveforms) {
    std::vector<EWaveform> vWaveforms;
    std::istringstream list(strList);
    std::string strName;
    while (std::getline(list, strName, ',')) {
        if (strName == "sine") {
            vWaveforms.push_back(EWaveform::Sine);
        } else if (strName == "square") {
            vWaveforms.push_back(EWaveform::Square);
        } else if (strName == "sawtooth") {
            vWaveforms.push_back(EWaveform::Sawtooth);
        } else if (strName == "noise") {
            vWaveforms.push_back(EWaveform::Noise);
        } else {
            return false;
        }
    }
    if (vWaveforms.empty()) {
        return false;
    }
    *pvWaveforms = std::move(vWaveforms);
    return true;
}

bool ParseSetFormat(const std::string& strName, ESetFormat* peFormat) {
    static const std::pair<const char*, ESetFormat> kFormats[] = {{"hash", ESetFormat::Hash},
                                                                  {"spaces", ESetFormat::Spaces},
                                                                  {"csv", ESetFormat::Csv},
                                                                  {"tsv", ESetFormat::Tsv},
                                                                  {"labels", ESetFormat::Labels}};
    for (const auto& [szName, eFormat] : kFormats) {
        if (strName == szName) {
            *peFormat = eFormat;
            return true;
        }
    }
    return false;
}

std::string CheckGeneratorSettings(const CGeneratorSettings& settings) {
    if (settings.nChannels < 1 || settings.nChannels > kMaxChannels) {
        return "the number of channels must be 1 to 10";
    }
    if (!std::isfinite(settings.fPeriodSets) || settings.fPeriodSets < 1.0) {
        return "the period must be at least one set";
    }
    if (!std::isfinite(settings.fAmplitude) || std::fabs(settings.fAmplitude) > 1e9) {
        return "the amplitude must be a number of at most 1e9";
    }
    if (settings.nGapEvery < 0) {
        return "gaps come every N sets, N at least 1";
    }
    if (settings.nGapEvery > 0 && !settings.IsLineEnded()) {
        return "gaps need a line format (csv, tsv, spaces or labels): '#' sets have none";
    }
    return "";
}

CSignalGenerator::CSignalGenerator(const CGeneratorSettings& settings)
    : m_settings(settings), m_random(settings.nSeed) {
    m_settings.nChannels = std::clamp(m_settings.nChannels, 1, kMaxChannels);
    if (!std::isfinite(m_settings.fPeriodSets) || m_settings.fPeriodSets < 1.0) {
        m_settings.fPeriodSets = 1.0;
    }
    if (!std::isfinite(m_settings.fAmplitude)) {
        m_settings.fAmplitude = 1.0;
    }
    if (m_settings.vWaveforms.empty()) {
        m_settings.vWaveforms.push_back(EWaveform::Sine);
    }
    static const char* const kWaveNames[] = {"sine", "square", "sawtooth", "noise"};
    int anSeen[4] = {};
    for (int i = 0; i < m_settings.nChannels; ++i) {
        const auto nWave = static_cast<std::size_t>(
            m_settings.vWaveforms[static_cast<std::size_t>(i) % m_settings.vWaveforms.size()]);
        const int nSeen = ++anSeen[nWave];
        m_vNames.push_back(kWaveNames[nWave] + (nSeen > 1 ? std::to_string(nSeen) : ""));
    }
}

double CSignalGenerator::Value(int nChannel) {
    const double fPeriod = m_settings.fPeriodSets * (1.0 + 0.5 * nChannel);
    const double fCycles = static_cast<double>(m_nSets) / fPeriod;
    const double fPhase = fCycles - std::floor(fCycles);
    const double fAmplitude = m_settings.fAmplitude;
    const std::size_t nWave = static_cast<std::size_t>(nChannel) % m_settings.vWaveforms.size();
    switch (m_settings.vWaveforms[nWave]) {
    case EWaveform::Sine:
        return fAmplitude * std::sin(2.0 * std::numbers::pi * fPhase);
    case EWaveform::Square:
        return fPhase < 0.5 ? fAmplitude : -fAmplitude;
    case EWaveform::Sawtooth:
        return fAmplitude * (2.0 * fPhase - 1.0);
    case EWaveform::Noise:
        return fAmplitude * m_noise(m_random);
    }
    return 0.0;
}

void CSignalGenerator::AppendSet(std::string* pstrOut) {
    const ESetFormat eFormat = m_settings.eFormat;
    const char cSeparator = eFormat == ESetFormat::Csv   ? ','
                            : eFormat == ESetFormat::Tsv ? '\t'
                                                         : ' ';
    const int nGapEvery = m_settings.nGapEvery;
    const std::uint64_t nSet = m_nSets + 1;
    const int nLeftOut = nGapEvery > 0 && nSet % static_cast<std::uint64_t>(nGapEvery) == 0
                             ? static_cast<int>((nSet / static_cast<std::uint64_t>(nGapEvery) - 1) %
                                                static_cast<std::uint64_t>(m_settings.nChannels))
                             : -1;
    char szValue[64];
    bool bFirst = true;
    for (int i = 0; i < m_settings.nChannels; ++i) {
        // Every channel's value is drawn, so that a gap leaves the others as they would be.
        const double fValue = Value(i);
        if (i == nLeftOut && eFormat == ESetFormat::Labels) {
            continue;
        }
        if (!bFirst) {
            pstrOut->push_back(cSeparator);
        }
        bFirst = false;
        if (eFormat == ESetFormat::Labels) {
            *pstrOut += m_vNames[static_cast<std::size_t>(i)] + ":";
        }
        if (i == nLeftOut) {
            pstrOut->append(eFormat == ESetFormat::Spaces ? "nan" : "");
            continue;
        }
        const auto result =
            std::to_chars(szValue, szValue + sizeof szValue, fValue, std::chars_format::fixed, 3);
        pstrOut->append(szValue, result.ptr);
    }
    pstrOut->append(m_settings.IsLineEnded() ? "\r\n" : "#\r\n");
    ++m_nSets;
}

std::string CSignalGenerator::NextSet() {
    std::string strSet;
    AppendSet(&strSet);
    return strSet;
}
