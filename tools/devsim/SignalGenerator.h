#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

enum class EWaveform { Sine, Square, Sawtooth, Noise };

struct CGeneratorSettings {
    int nChannels = 3; // 1..10
    // Waveform of channel 1, 2, ...; the list repeats for further channels.
    std::vector<EWaveform> vWaveforms{EWaveform::Sine, EWaveform::Square, EWaveform::Sawtooth};
    // Sets per period of channel 1; channel k (from 0) takes 1 + k/2 times as long, so that
    // channels of the same waveform are told apart.
    double fPeriodSets = 100.0;
    double fAmplitude = 2.0;
    std::uint32_t nSeed = 1;
    // Sets end at the line end alone, as a sketch that prints one reading per line does.
    bool bLineEnded = false;
};

// "sine,square,sawtooth,noise" (any of them, in any order); false on an unknown name or an
// empty list.
bool ParseWaveforms(const std::string& strList, std::vector<EWaveform>* pvWaveforms);
// An explanation of what is wrong with the settings, or "" when they are fine.
std::string CheckGeneratorSettings(const CGeneratorSettings& settings);

// The sets a board prints: each value as "%0.3f" would print it, whatever the locale, the values
// separated by spaces, the set ended by '#', CR and LF. For example "1.000 -2.000 0.500#\r\n",
// or "1.000 -2.000 0.500\r\n" when line-ended.
class CSignalGenerator {
public:
    // Settings outside their ranges are brought into them (1..10 channels, a period of at
    // least one set, sine where no waveform is given).
    explicit CSignalGenerator(const CGeneratorSettings& settings);

    void AppendSet(std::string* pstrOut);
    std::string NextSet();
    std::uint64_t GetSetCount() const { return m_nSets; }

private:
    double Value(int nChannel);

    CGeneratorSettings m_settings;
    std::uint64_t m_nSets = 0;
    std::mt19937 m_random;
    std::uniform_real_distribution<double> m_noise{-1.0, 1.0};
};
