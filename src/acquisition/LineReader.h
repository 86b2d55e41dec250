#pragma once

#include "SetSink.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Reads one set per line, as most boards print them, chunk by chunk; anything may be split
// across chunks at any byte.
//
// A line ends at LF, at CR (so CR LF ends one line and an empty one) and at the limiter '#'.
// Fields are separated by ',' ';' or TAB, or by runs of spaces (NUL counts as a space);
// spaces around ',' ';' and TAB are padding. Two of ',' ';' TAB with nothing but spaces
// between them enclose an empty field, as does one at the start of a line; one at the end of
// a line is dropped, as sketches that print "value," in a loop leave it there.
//
// A field is
// - a number, read as strtod reads it in the "C" locale (optional sign, digits with at most
//   one '.', optional exponent) and narrowed to float: too large is +-inf; also "inf" and
//   "infinity" with any sign and case;
// - a gap, no value for its channel in this set: an empty field, "nan" or "ovf" (any case,
//   any sign);
// - a label "name:value" or "name=value" (the value may follow after spaces: "temp: 21.5"),
//   whose value is a number or a gap. The name is printable UTF-8 without ':' '=' or
//   separators, kept to its first 40 bytes;
// - anything else is text (so is any field longer than 127 bytes).
//
// Value k of a line goes to channel k, labelled or not. A label's value goes to the channel
// of its name; a name seen for the first time takes the lowest channel that has no name and
// no samples yet (none in use, none filled by this line so far), and keeps it until the
// session ends (ForgetSession). In one set a channel takes one value: a label always lands
// in its channel, so an unlabelled value whose position is a channel that a label of the same
// line fills is dropped, and of two labels for one channel the first counts. Values beyond
// channel 10, values that met a clash and labels for which no channel is left are dropped
// and counted.
//
// Every set covers every channel in use (those that got a value, a gap or a name in this
// session), with a gap where the line said nothing. A line that holds only separators is no
// set. A line of names only, before the first set of the session, is a header: it makes no
// set, and its names go to channels 1, 2, ... (just before that set) only when the first set
// after it is unlabelled and has as many fields as the header has names; otherwise, as for a
// boot message of plain words, they are dropped. A later header takes an earlier one's place.
// Any other line with a field of text is skipped and counted.
class CLineReader {
public:
    static constexpr int kMaxChannels = SSetBatch::kStride;
    static constexpr std::size_t kMaxNameLength = 40;
    static constexpr std::size_t kMaxFieldLength = 127;
    static constexpr std::size_t kShownLineLength = 60;

    // Reads length bytes; true when at least one set was completed. Sets and names reach the
    // sink before the call returns.
    bool Feed(const char* text, std::size_t length, CSetSink& sink);

    // Forgets the line in progress: what comes next starts a fresh line.
    void DiscardPartialSet();
    // Starts a new session: names, the channels in use and the counts are forgotten, and a
    // header line is welcome again.
    void ForgetSession();
    // Channel nChannel holds samples from elsewhere (a file), and its name when not empty:
    // labels of that name go there, and new names go past it.
    void AdoptChannel(int nChannel, std::string_view strName);

    std::string_view ChannelName(int nChannel) const;
    int ChannelsInUse() const { return m_nInUse; }
    const SReadCounts& Counts() const { return m_counts; }

    char m_cLimiter = '#';

private:
    enum EClass : std::uint8_t { kFieldByte, kSpace, kHardSeparator, kLineEnd };
    enum class EValue { kNumber, kGap, kText };
    struct SName {
        std::array<char, kMaxNameLength> m_acText{};
        std::uint8_t m_nLength = 0;
        std::string_view View() const { return {m_acText.data(), m_nLength}; }
        void Assign(std::string_view strName);
    };

    void BuildClasses();
    static EValue ParseValue(const char* text, std::size_t length, float& fValue);
    static bool IsName(const char* text, std::size_t length);

    // The place of the next field; a line without end does not count beyond a billion.
    int NextPosition() { return m_nPosition < (1 << 30) ? m_nPosition++ : m_nPosition; }
    void Field(const char* text, std::size_t length, bool bEndedBySpace);
    void EmptyField();
    void StagePositional(int nPosition, float fValue);
    void StageLabelled(int nChannel, float fValue);
    void ResolveAwaitedValue(float fValue);
    int ChannelOfName(const char* text, std::size_t length, int nPosition);

    // A line ends: [pLine, pEnd) is its part in this chunk. True when it made a set.
    bool EndLine(const char* pLine, const char* pEnd, CSetSink& sink);
    void CommitSet(CSetSink& sink);
    void KeepHeader();
    void CommitHeader(CSetSink& sink);
    void SkipLine(const char* pLine, const char* pEnd);
    void KeepLineHead(const char* pLine, const char* pEnd);
    void ResetLine();

    std::array<EClass, 256> m_aClass{};
    char m_cClassLimiter = '\0';
    bool m_bClassesBuilt = false;

    CSetBatcher m_batch;

    // A field cut by the end of a chunk.
    char m_acField[kMaxFieldLength + 1] = {};
    std::size_t m_nFieldLength = 0;
    bool m_bInField = false;

    // The line being read.
    int m_nPosition = 0;
    std::uint16_t m_nPositionalMask = 0;
    std::uint16_t m_nLabelledMask = 0;
    std::uint16_t m_nNewNameMask = 0;
    std::array<float, kMaxChannels> m_afPositional{};
    std::array<float, kMaxChannels> m_afLabelled{};
    std::array<SName, kMaxChannels> m_aNewNames{};
    std::array<std::int8_t, kMaxChannels> m_anNewNameChannel{};
    int m_nNewNames = 0;
    std::array<SName, kMaxChannels> m_aHeader{};
    int m_nHeaderNames = 0;
    std::uint64_t m_nDroppedInLine = 0;
    bool m_bSlotHasField = false; // a field since the line began or the last ',' ';' TAB
    bool m_bLineHasText = false;  // a field with any text at all
    bool m_bText = false;         // a field that is neither number, gap nor label
    bool m_bNotHeader = false;    // a field that is not a name
    bool m_bLabelled = false;     // a field that is a label
    bool m_bAwait = false;        // a label "name:" waits for its value after spaces
    int m_nAwaitChannel = -1;
    char m_acLineHead[kShownLineLength] = {};
    std::size_t m_nLineHead = 0;

    // The session.
    std::array<SName, kMaxChannels> m_aNames{};
    std::array<std::int8_t, kMaxChannels> m_anLabelHint{};
    // A header line's names, until the set after it says whether they name its fields.
    std::array<SName, kMaxChannels> m_aPendingHeader{};
    int m_nPendingNames = 0;
    int m_nPendingFields = 0; // 0: no header pending
    int m_nInUse = 0;
    bool m_bAnySet = false;
    SReadCounts m_counts;
};
