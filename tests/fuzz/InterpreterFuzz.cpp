// Feeds arbitrary bytes to the interpreter in chunks whose sizes come from the input and
// compares the store, bit for bit, with a plain byte-by-byte model of the interpreter. The
// store and the model live across inputs, so state carried between calls is exercised too.
#include "PlotData.h"
#include "ReferenceInterpreter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

CPlotData& Store() {
    static CPlotData* store = [] {
        auto* created = new CPlotData;
        created->m_cLimiter = '#';
        created->CreateChannels();
        return created;
    }();
    return *store;
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CReferenceInterpreter reference;
    CPlotData& store = Store();
    if (store.GetSampleCount(0) > 1'000'000) {
        store.ClearAll();
        reference.Clear();
    }
    int before[CPlotData::kChannelCount];
    for (int i = 0; i < CPlotData::kChannelCount; ++i) {
        before[i] = store.GetSampleCount(i);
    }
    std::size_t at = 0;
    while (at < size) {
        // The first byte of each chunk sets its length, so chunk boundaries vary too.
        const std::size_t length = 1 + data[at] % 128;
        const std::string chunk(reinterpret_cast<const char*>(data) + at,
                                std::min(length, size - at));
        store.Interpret(chunk.c_str());
        reference.Feed(chunk.c_str());
        at += length;
    }
    Check(store.m_nLastSetCount == reference.LastSetCount());
    for (int i = 0; i < CPlotData::kChannelCount; ++i) {
        const auto& expected = reference.Channels()[static_cast<std::size_t>(i)];
        Check(store.GetSampleCount(i) == static_cast<int>(expected.size()));
        for (std::size_t j = static_cast<std::size_t>(before[i]); j < expected.size(); ++j) {
            const float actual = store.GetSample(i, static_cast<int>(j));
            Check(std::memcmp(&actual, &expected[j], sizeof actual) == 0);
        }
    }
    return 0;
}
