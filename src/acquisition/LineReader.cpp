#include "LineReader.h"

#include "LineReaderText.h"

#include <algorithm>
#include <bit>
#include <cstring>

bool CLineReader::Feed(const char* text, std::size_t length, CSetSink& sink) {
    if (!m_bClassesBuilt || m_cClassLimiter != m_cLimiter) {
        BuildClasses();
    }
    const auto& classes = m_aClass;
    const char* p = text;
    const char* const end = text + length;
    // Where this chunk's part of the line being read begins.
    const char* pLine = p;
    bool bSetCompleted = false;
    if (m_bInField) {
        const char* q = p;
        while (q != end && classes[Byte(*q)] == kFieldByte) {
            ++q;
        }
        // One byte beyond the longest field is enough to know it is too long.
        const std::size_t take =
            std::min(static_cast<std::size_t>(q - p), kMaxFieldLength + 1 - m_nFieldLength);
        std::memcpy(m_acField + m_nFieldLength, p, take);
        m_nFieldLength += take;
        if (q == end) {
            KeepLineHead(pLine, end);
            return false;
        }
        m_bInField = false;
        Field(m_acField, m_nFieldLength, classes[Byte(*q)] == kSpace);
        p = q;
    }
    while (p != end) {
        const EClass eClass = classes[Byte(*p)];
        if (eClass == kFieldByte) {
            const char* q = p + 1;
            while (q != end && classes[Byte(*q)] == kFieldByte) {
                ++q;
            }
            if (q == end) {
                m_nFieldLength = std::min(static_cast<std::size_t>(q - p), kMaxFieldLength + 1);
                std::memcpy(m_acField, p, m_nFieldLength);
                m_bInField = true;
                break;
            }
            Field(p, static_cast<std::size_t>(q - p), classes[Byte(*q)] == kSpace);
            p = q;
            continue;
        }
        if (eClass == kHardSeparator) {
            if (m_bAwait) {
                ResolveAwaitedValue(kGap);
            } else if (!m_bSlotHasField) {
                EmptyField();
            }
            m_bSlotHasField = false;
        } else if (eClass == kLineEnd) {
            bSetCompleted |= EndLine(pLine, p, sink);
            pLine = p + 1;
        }
        ++p;
    }
    KeepLineHead(pLine, end);
    m_batch.Flush(sink, true);
    return bSetCompleted;
}

void CLineReader::Field(const char* text, std::size_t length, bool bEndedBySpace) {
    m_bSlotHasField = true;
    m_bLineHasText = true;
    float fValue = 0.0f;
    const EValue eValue =
        length > kMaxFieldLength ? EValue::kText : ParseValue(text, length, fValue);
    if (m_bAwait) {
        // "name: value": the field after the spaces is the label's value, if it is one.
        if (eValue != EValue::kText) {
            ResolveAwaitedValue(eValue == EValue::kGap ? kGap : fValue);
            return;
        }
        ResolveAwaitedValue(kGap);
    }
    const int nPosition = NextPosition();
    if (eValue != EValue::kText) {
        m_bNotHeader = true;
        StagePositional(nPosition, eValue == EValue::kGap ? kGap : fValue);
        return;
    }
    if (length > kMaxFieldLength) {
        m_bText = true;
        m_bNotHeader = true;
        return;
    }
    const char* mark =
        std::find_if(text, text + length, [](char c) { return c == ':' || c == '='; });
    if (mark != text + length && mark != text &&
        IsName(text, static_cast<std::size_t>(mark - text))) {
        m_bNotHeader = true;
        m_bLabelled = true;
        const int nChannel = ChannelOfName(text, static_cast<std::size_t>(mark - text), nPosition);
        const char* value = mark + 1;
        const std::size_t valueLength = static_cast<std::size_t>(text + length - value);
        if (valueLength == 0) {
            if (bEndedBySpace) {
                m_bAwait = true;
                m_nAwaitChannel = nChannel;
            } else {
                StageLabelled(nChannel, kGap);
            }
            return;
        }
        const EValue eLabelled = ParseValue(value, valueLength, fValue);
        if (eLabelled == EValue::kText) {
            m_bText = true;
            return;
        }
        StageLabelled(nChannel, eLabelled == EValue::kGap ? kGap : fValue);
        return;
    }
    m_bText = true;
    // A header name does not start as a number does: "1.5V 2.0A" is a line to skip.
    const char c = text[0];
    if (m_bNotHeader || IsDigit(c) || c == '+' || c == '-' || c == '.' || !IsName(text, length)) {
        m_bNotHeader = true;
        return;
    }
    if (m_nHeaderNames < kMaxChannels) {
        m_aHeader[static_cast<std::size_t>(m_nHeaderNames++)].Assign({text, length});
    }
}

void CLineReader::EmptyField() {
    m_bNotHeader = true;
    StagePositional(NextPosition(), kGap);
}

void CLineReader::StagePositional(int nPosition, float fValue) {
    if (nPosition >= kMaxChannels) {
        ++m_nDroppedInLine;
        return;
    }
    m_nPositionalMask = static_cast<std::uint16_t>(m_nPositionalMask | (1u << nPosition));
    m_afPositional[static_cast<std::size_t>(nPosition)] = fValue;
}

void CLineReader::StageLabelled(int nChannel, float fValue) {
    if (nChannel < 0 || (m_nLabelledMask & (1u << nChannel)) != 0) {
        ++m_nDroppedInLine;
        return;
    }
    m_nLabelledMask = static_cast<std::uint16_t>(m_nLabelledMask | (1u << nChannel));
    m_afLabelled[static_cast<std::size_t>(nChannel)] = fValue;
}

void CLineReader::ResolveAwaitedValue(float fValue) {
    m_bAwait = false;
    StageLabelled(m_nAwaitChannel, fValue);
}

int CLineReader::ChannelOfName(const char* text, std::size_t length, int nPosition) {
    const std::string_view name(text, CutAtCharacter(text, length, kMaxNameLength));
    // A board prints its labels in the same order line after line.
    const bool bHinted = nPosition < kMaxChannels;
    if (bHinted) {
        const int nHint = m_anLabelHint[static_cast<std::size_t>(nPosition)];
        if (m_aNames[static_cast<std::size_t>(nHint)].View() == name) {
            return nHint;
        }
    }
    for (int c = 0; c < kMaxChannels; ++c) {
        if (m_aNames[static_cast<std::size_t>(c)].View() == name) {
            if (bHinted) {
                m_anLabelHint[static_cast<std::size_t>(nPosition)] = static_cast<std::int8_t>(c);
            }
            return c;
        }
    }
    for (int k = 0; k < m_nNewNames; ++k) {
        if (m_aNewNames[static_cast<std::size_t>(k)].View() == name) {
            return m_anNewNameChannel[static_cast<std::size_t>(k)];
        }
    }
    const unsigned taken = m_nPositionalMask | m_nLabelledMask | m_nNewNameMask;
    for (int c = m_nInUse; c < kMaxChannels; ++c) {
        if ((taken & (1u << c)) == 0) {
            m_aNewNames[static_cast<std::size_t>(m_nNewNames)].Assign(name);
            m_anNewNameChannel[static_cast<std::size_t>(m_nNewNames++)] =
                static_cast<std::int8_t>(c);
            m_nNewNameMask = static_cast<std::uint16_t>(m_nNewNameMask | (1u << c));
            return c;
        }
    }
    return -1;
}

bool CLineReader::EndLine(const char* pLine, const char* pEnd, CSetSink& sink) {
    if (m_bAwait) {
        ResolveAwaitedValue(kGap);
    }
    bool bSet = false;
    if (m_bLineHasText) {
        if (!m_bText) {
            CommitSet(sink);
            bSet = true;
        } else if (!m_bNotHeader && !m_bAnySet) {
            KeepHeader();
        } else {
            SkipLine(pLine, pEnd);
        }
    }
    ResetLine();
    return bSet;
}

void CLineReader::CommitSet(CSetSink& sink) {
    if (m_nPendingFields != 0) {
        CommitHeader(sink);
    }
    const unsigned clashes = m_nPositionalMask & m_nLabelledMask;
    m_nDroppedInLine += static_cast<std::uint64_t>(std::popcount(clashes));
    const unsigned filled = m_nPositionalMask | m_nLabelledMask;
    const int nInUse = std::max(m_nInUse, static_cast<int>(std::bit_width(filled)));
    if (m_nNewNames != 0) {
        // The sets before this line were read without these names.
        m_batch.Flush(sink, true);
        for (int k = 0; k < m_nNewNames; ++k) {
            const auto c =
                static_cast<std::size_t>(m_anNewNameChannel[static_cast<std::size_t>(k)]);
            m_aNames[c] = m_aNewNames[static_cast<std::size_t>(k)];
            ++m_counts.m_nNamesLearnt;
            sink.OnChannelName(static_cast<int>(c), m_aNames[c].View());
        }
    }
    Sample* pOut = m_batch.Slot();
    for (int c = 0; c < nInUse; ++c) {
        const unsigned bit = 1u << c;
        const auto k = static_cast<std::size_t>(c);
        pOut[c] = (m_nLabelledMask & bit) != 0     ? m_afLabelled[k]
                  : (m_nPositionalMask & bit) != 0 ? m_afPositional[k]
                                                   : kGap;
    }
    if (m_nDroppedInLine != 0) {
        m_counts.m_nValuesDropped += m_nDroppedInLine;
        if (m_nPosition > kMaxChannels) {
            m_counts.m_nLargestSet = std::max(m_counts.m_nLargestSet, m_nPosition);
        }
    }
    m_nInUse = nInUse;
    m_bAnySet = true;
    m_batch.Complete(nInUse, sink, true);
}

void CLineReader::KeepHeader() {
    m_aPendingHeader = m_aHeader;
    m_nPendingNames = m_nHeaderNames;
    m_nPendingFields = m_nPosition;
}

// The first set after a header: the header names its fields, or it was words of another kind.
void CLineReader::CommitHeader(CSetSink& sink) {
    const bool bNames = !m_bLabelled && m_nPosition == m_nPendingFields;
    m_nPendingFields = 0;
    if (!bNames) {
        return;
    }
    m_batch.Flush(sink, true);
    for (int c = 0; c < m_nPendingNames; ++c) {
        const auto k = static_cast<std::size_t>(c);
        m_aNames[k] = m_aPendingHeader[k];
        ++m_counts.m_nNamesLearnt;
        sink.OnChannelName(c, m_aNames[k].View());
    }
}

void CLineReader::KeepLineHead(const char* pLine, const char* pEnd) {
    const std::size_t n =
        std::min(static_cast<std::size_t>(pEnd - pLine), kShownLineLength - m_nLineHead);
    std::memcpy(m_acLineHead + m_nLineHead, pLine, n);
    m_nLineHead += n;
}

void CLineReader::SkipLine(const char* pLine, const char* pEnd) {
    KeepLineHead(pLine, pEnd);
    ++m_counts.m_nLinesSkipped;
    // A character cut by the limit goes; control bytes would garble a status bar.
    std::size_t n = m_nLineHead;
    if (n == kShownLineLength) {
        std::size_t lead = n;
        while (lead > 0 && (Byte(m_acLineHead[lead - 1]) & 0xC0) == 0x80) {
            --lead;
        }
        if (lead > 0 && Byte(m_acLineHead[lead - 1]) >= 0xC0 &&
            Utf8SequenceLength(m_acLineHead + lead - 1, n - lead + 1) == 0) {
            n = lead - 1;
        }
    }
    std::string& strShown = m_counts.m_strLastSkippedLine;
    strShown.assign(m_acLineHead, n);
    for (char& c : strShown) {
        if (Byte(c) < 0x20 || Byte(c) == 0x7F) {
            c = '?';
        }
    }
}

void CLineReader::ResetLine() {
    m_nPosition = 0;
    m_nPositionalMask = 0;
    m_nLabelledMask = 0;
    m_nNewNameMask = 0;
    m_nNewNames = 0;
    m_nHeaderNames = 0;
    m_nDroppedInLine = 0;
    m_bSlotHasField = false;
    m_bLineHasText = false;
    m_bText = false;
    m_bNotHeader = false;
    m_bLabelled = false;
    m_bAwait = false;
    m_nLineHead = 0;
}

void CLineReader::DiscardPartialSet() {
    ResetLine();
    m_bInField = false;
    m_nFieldLength = 0;
}

void CLineReader::ForgetSession() {
    DiscardPartialSet();
    m_aNames = {};
    m_anLabelHint = {};
    m_nPendingFields = 0;
    m_nInUse = 0;
    m_bAnySet = false;
    m_counts = {};
}

void CLineReader::AdoptChannel(int nChannel, std::string_view strName) {
    if (nChannel < 0 || nChannel >= kMaxChannels) {
        return;
    }
    m_nInUse = std::max(m_nInUse, nChannel + 1);
    if (!strName.empty()) {
        m_aNames[static_cast<std::size_t>(nChannel)].Assign(strName);
    }
}

std::string_view CLineReader::ChannelName(int nChannel) const {
    if (nChannel < 0 || nChannel >= kMaxChannels) {
        return {};
    }
    return m_aNames[static_cast<std::size_t>(nChannel)].View();
}
