#pragma once

// A deliberately plain model of the stream interpreter: one byte at a time, the number text
// in a 100-character buffer, atof for the value. Tests compare the real interpreter and the
// program's exports against it.
#include <array>
#include <cstddef>
#include <cstdlib>
#include <vector>

class CReferenceInterpreter {
public:
    static constexpr int kChannels = 10;

    // Feeds one chunk, which ends at its first NUL.
    void Feed(const char* text) {
        for (const char* p = text; *p != '\0'; ++p) {
            Byte(*p);
        }
    }

    // Feeds bytes as a port delivers them: a NUL is a separator like any other.
    void FeedBytes(const char* text, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            Byte(text[i]);
        }
    }

    void DiscardPartialSet() {
        m_vPending.clear();
        m_nNumberLen = 0;
    }

    // As the store's ClearAll: the set and the number being assembled go too.
    void Clear() {
        for (auto& channel : m_vChannels) {
            channel.clear();
        }
        DiscardPartialSet();
        m_nLastSetCount = 0;
    }

    // Must run with the "C" numeric locale, as atof reads the process locale.
    const std::array<std::vector<float>, kChannels>& Channels() const { return m_vChannels; }
    int LastSetCount() const { return m_nLastSetCount; }

private:
    void Byte(char c) {
        if (m_nNumberLen > 99) {
            m_nNumberLen = 99;
        }
        if (c == '#') {
            EndSet();
        } else if (c >= ',' && c <= '9') {
            m_szNumber[m_nNumberLen++] = c;
        } else if (m_nNumberLen != 0) {
            EndNumber();
        }
    }

    void EndSet() {
        if (m_nNumberLen != 0) {
            EndNumber();
        }
        for (std::size_t j = 0; j < m_vPending.size(); ++j) {
            m_vChannels[j].push_back(m_vPending[j]);
        }
        m_nLastSetCount = static_cast<int>(m_vPending.size());
        m_vPending.clear();
    }

    void EndNumber() {
        m_szNumber[m_nNumberLen] = '\0';
        if (m_vPending.size() < kChannels) {
            m_vPending.push_back(static_cast<float>(std::atof(m_szNumber)));
        }
        m_nNumberLen = 0;
    }

    char m_szNumber[101] = {};
    int m_nNumberLen = 0;
    std::vector<float> m_vPending;
    std::array<std::vector<float>, kChannels> m_vChannels;
    int m_nLastSetCount = 0;
};
