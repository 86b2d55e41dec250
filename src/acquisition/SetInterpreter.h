#pragma once

#include "BoardFormat.h"
#include "HashInterpreter.h"
#include "LineReader.h"
#include "SetSink.h"

#include <cstddef>
#include <string_view>

// Turns received text into sets of numbers in the format the board prints: sets ended by
// '#' (CHashInterpreter, the default) or one set per line (CLineReader). The store and the
// recording each keep one, fed with the same bytes, so that both see the same sets and names.
class CSetInterpreter {
public:
    static constexpr int kMaxValuesPerSet = CHashInterpreter::kMaxValuesPerSet;
    static constexpr int kMaxNumberLength = CHashInterpreter::kMaxNumberLength;

    static bool IsNumberChar(char c) { return CHashInterpreter::IsNumberChar(c); }

    // Interprets length bytes; true when at least one set was completed.
    bool Feed(const char* text, std::size_t length, CSetSink& sink);

    // Forgets the set being assembled (and the number or line in progress): what comes next
    // starts a fresh set.
    void DiscardPartialSet();

    // A change starts a fresh set: the one in progress was gathered by the other rule.
    void SetFormat(EBoardFormat eFormat);
    EBoardFormat GetFormat() const { return m_eFormat; }

    // A new session: the channel names and places learnt from the stream and the counts are
    // forgotten (File > New, F12, Open).
    void ForgetSession();
    // See CLineReader::AdoptChannel.
    void AdoptChannel(int nChannel, std::string_view strName) {
        m_lines.AdoptChannel(nChannel, strName);
    }
    std::string_view ChannelName(int nChannel) const { return m_lines.ChannelName(nChannel); }
    SReadCounts Counts() const;

    char m_cLimiter = '#';

private:
    CHashInterpreter m_hash;
    CLineReader m_lines;
    EBoardFormat m_eFormat = EBoardFormat::kHashSets;
};
