// Feeds arbitrary bytes to the interpreter in chunks whose sizes come from the input and
// compares the store, bit for bit, with a plain byte-by-byte model of the interpreter. The
// store and the model live across inputs, so state carried between calls is exercised too.
// The input's first byte chooses whether the set in progress is dropped first (as opening a
// port does); each chunk's first byte sets its length and whether it goes in as a C string
// (up to a NUL) or as received bytes (NUL a separator).
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
    if (size == 0) {
        return 0;
    }
    if ((data[0] & 2) != 0) {
        store.DiscardPartialSet();
        reference.DiscardPartialSet();
    }
    std::size_t at = 1;
    while (at < size) {
        const std::size_t length = 1 + (data[at] & 0x7f);
        const bool bBytes = (data[at] & 0x80) != 0;
        const std::string chunk(reinterpret_cast<const char*>(data) + at,
                                std::min(length, size - at));
        if (bBytes) {
            store.Interpret(chunk.data(), chunk.size());
            reference.FeedBytes(chunk.data(), chunk.size());
        } else {
            store.Interpret(chunk.c_str());
            reference.Feed(chunk.c_str());
        }
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
