#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

enum class EWaveform { Sine, Square, Sawtooth, Noise };

// How a set is printed: values separated by spaces and ended by '#', CR and LF (Hash), or one
// set per line ended by CR and LF, the values separated by spaces, commas or TABs, or printed
// as name:value fields (Labels).
enum class ESetFormat { Hash, Spaces, Csv, Tsv, Labels };

// sine, square, sawtooth.
std::vector<EWaveform> DefaultWaveforms();

struct CGeneratorSettings {
    int nChannels = 3; // 1..10
    // Waveform of channel 1, 2, ...; the list repeats for further channels.
    std::vector<EWaveform> vWaveforms = DefaultWaveforms();
    // Sets per period of channel 1; channel k (from 0) takes 1 + k/2 times as long, so that
    // channels of the same waveform are told apart.
    double fPeriodSets = 100.0;
    double fAmplitude = 2.0;
    std::uint32_t nSeed = 1;
    ESetFormat eFormat = ESetFormat::Hash;
    // > 0 (line formats only): every nGapEvery-th set leaves one value out, of channel 1 the
    // first time, then of channel 2, and so on: "nan" between spaces, an empty field between
    // commas or TABs, no field at all among labels.
    int nGapEvery = 0;

    // Sets end at the line end alone, as a sketch that prints one reading per line does.
    bool IsLineEnded() const { return eFormat != ESetFormat::Hash; }
};

// "sine,square,sawtooth,noise" (any of them, in any order); false on an unknown name or an
// empty list.
bool ParseWaveforms(const std::string& strList, std::vector<EWaveform>* pvWaveforms);
// "hash", "spaces", "csv", "tsv" or "labels"; false on anything else.
bool ParseSetFormat(const std::string& strName, ESetFormat* peFormat);
// An explanation of what is wrong with the settings, or "" when they are fine.
std::string CheckGeneratorSettings(const CGeneratorSettings& settings);

// The sets a board prints: each value as "%0.3f" would print it, whatever the locale, in the
// chosen format. For example "1.000 -2.000 0.500#\r\n", "1.000,-2.000,0.500\r\n" or, with
// labels named after the waveforms (a name that repeats gets a number: sine, sine2, ...),
// "sine:1.000 square:-2.000 sawtooth:0.500\r\n".
class CSignalGenerator {
public:
    // Settings outside their ranges are brought into them (1..10 channels, a period of at
    // least one set, sine where no waveform is given).
    explicit CSignalGenerator(const CGeneratorSettings& settings);

    void AppendSet(std::string* pstrOut);
    std::string NextSet();
    std::uint64_t GetSetCount() const { return m_nSets; }
    // The label of channel nChannel (from 0).
    const std::string& GetChannelName(int nChannel) const {
        return m_vNames[static_cast<std::size_t>(nChannel)];
    }

private:
    double Value(int nChannel);

    CGeneratorSettings m_settings;
    std::vector<std::string> m_vNames;
    std::uint64_t m_nSets = 0;
    std::mt19937 m_random;
    std::uniform_real_distribution<double> m_noise{-1.0, 1.0};
};
