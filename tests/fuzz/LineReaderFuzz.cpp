// Feeds arbitrary bytes to the line reader and checks what must hold for any input:
// - the same sets and names come out whatever the chunks (sizes chosen by the first byte);
// - no set holds more than ten values, and the channels in use never shrink;
// - in the store, which lives across inputs, every channel of the last set holds as many
//   samples as the first, so that sample n of each belongs to set n;
// - a field of number characters reads as strtod reads it in the "C" locale: a number when
//   strtod takes the whole field, with the same float, and a skipped line otherwise.
#include "LineReader.h"
#include "NumberText.h"
#include "PlotData.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Sets as their bit patterns (so that gaps compare) and names, in order.
class CTraceSink : public CSetSink {
public:
    void OnSet(const Sample* pValues, int nCount) override {
        Check(nCount >= 1 && nCount <= SSetBatch::kStride && nCount >= m_nWidest);
        m_nWidest = nCount;
        m_strTrace += static_cast<char>(nCount);
        m_strTrace.append(reinterpret_cast<const char*>(pValues), nCount * sizeof(Sample));
    }
    void OnChannelName(int nChannel, std::string_view strName) override {
        Check(nChannel >= 0 && nChannel < SSetBatch::kStride && !strName.empty());
        m_strTrace += static_cast<char>(0x40 + nChannel);
        m_strTrace += strName;
    }
    std::string m_strTrace;
    int m_nWidest = 0;
};

void CheckNumberField(const std::uint8_t* data, std::size_t size) {
    static const char kAlphabet[] = "0123456789+-.eE";
    std::string field;
    for (std::size_t i = 0; i < size && i < 40; ++i) {
        field += kAlphabet[data[i] % (sizeof kAlphabet - 1)];
    }
    if (field.empty()) {
        return;
    }
    char* pEnd = nullptr;
    const double fStrtod = std::strtod(field.c_str(), &pEnd);
    const bool bNumber = *pEnd == '\0';
    // After a first set no line is a header: a field that is no number makes a line to skip.
    CLineReader reader;
    CTraceSink sink;
    reader.Feed("0\n", 2, sink);
    const std::string line = field + "\n";
    Check(reader.Feed(line.data(), line.size(), sink) == bNumber);
    if (bNumber) {
        const float fWanted = static_cast<float>(fStrtod);
        Check(sink.m_strTrace.size() == 10 &&
              std::memcmp(sink.m_strTrace.data() + 6, &fWanted, sizeof fWanted) == 0);
    } else {
        Check(reader.Counts().m_nLinesSkipped == 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const char* text = reinterpret_cast<const char*>(data) + 1;
    const std::size_t length = size - 1;
    const std::size_t step = 1 + data[0] % 64;

    CLineReader whole;
    CTraceSink wholeSink;
    whole.Feed(text, length, wholeSink);
    CLineReader split;
    CTraceSink splitSink;
    for (std::size_t at = 0; at < length; at += step) {
        split.Feed(text + at, std::min(step, length - at), splitSink);
    }
    Check(wholeSink.m_strTrace == splitSink.m_strTrace);
    Check(whole.Counts().m_nLinesSkipped == split.Counts().m_nLinesSkipped);
    Check(whole.Counts().m_nValuesDropped == split.Counts().m_nValuesDropped);
    Check(whole.Counts().m_strLastSkippedLine == split.Counts().m_strLastSkippedLine);
    Check(whole.Counts().m_strLastSkippedLine.size() <= CLineReader::kShownLineLength);

    // One store for all inputs, so that what one leaves (a half line, the channels in use,
    // names) meets the next.
    static CPlotData* const pStore = [] {
        auto* pCreated = new CPlotData;
        pCreated->m_cLimiter = '#';
        pCreated->CreateChannels();
        pCreated->SetBoardFormat(EBoardFormat::kLines);
        return pCreated;
    }();
    CPlotData& store = *pStore;
    if (store.GetSampleCount(0) > 1'000'000) {
        store.ClearAll();
    }
    for (std::size_t at = 0; at < length; at += step) {
        store.Interpret(text + at, std::min(step, length - at));
    }
    Check(store.m_nLastSetCount <= CPlotData::kChannelCount);
    for (int i = 1; i < store.m_nLastSetCount; ++i) {
        Check(store.GetSampleCount(i) == store.GetSampleCount(0));
    }

    CheckNumberField(data + 1, length);
    return 0;
}
