#include "NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

// Compares bit patterns so that -0.0 and +0.0 differ, as they do in an export.
void ExpectSameAsAtof(const std::string& text) {
    const float expected = static_cast<float>(std::atof(text.c_str()));
    const float actual = NumberTextToFloat(text.data(), text.size());
    std::uint32_t e, a;
    std::memcpy(&e, &expected, sizeof e);
    std::memcpy(&a, &actual, sizeof a);
    ASSERT_EQ(a, e) << "text '" << text << "' gives " << actual << ", atof " << expected;
}

TEST(NumberTextTest, OddTexts) {
    for (const char* text : {"",
                             "-",
                             ".",
                             "-.",
                             "--1",
                             "1.2.3",
                             "0000.5",
                             "-0",
                             "-0.0",
                             "-.0",
                             "0",
                             "5-3",
                             ",25",
                             "1,5",
                             "/",
                             "1/2",
                             "-.5",
                             "3.",
                             "9007199254740993",
                             "9007199254740992.5",
                             "0.1",
                             "0.30000000000000004",
                             "340282356779733661637539395458142568448",
                             "340282366920938463463374607431768211455",
                             "1.00000005960464477539062",
                             "0.000000000000000000000000000000000000000000001401298464324817",
                             "16777217",
                             "16777216.999999999",
                             "-123456789012345678901234567890"}) {
        ExpectSameAsAtof(text);
    }
    ExpectSameAsAtof(std::string(99, '9'));
    ExpectSameAsAtof("0." + std::string(97, '0'));
    ExpectSameAsAtof("-0." + std::string(60, '0') + "1");
}

TEST(NumberTextTest, RandomTextsOfNumberCharacters) {
    std::mt19937_64 random(12345);
    const char alphabet[] = ",-./0123456789";
    std::uniform_int_distribution<int> pick(0, 13);
    std::uniform_int_distribution<int> length(1, 99);
    for (int n = 0; n < 200000; ++n) {
        std::string text(static_cast<std::size_t>(length(random)), ' ');
        for (char& c : text) {
            c = alphabet[pick(random)];
        }
        ExpectSameAsAtof(text);
    }
}

TEST(NumberTextTest, RandomDecimalsNearRoundingBoundaries) {
    std::mt19937_64 random(777);
    std::uniform_int_distribution<int> decimals(0, 40);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int n = 0; n < 200000; ++n) {
        // Halfway points between adjacent floats are where double rounding bites.
        float f;
        const std::uint32_t pattern = bits(random) & 0x7f7fffffu;
        std::memcpy(&f, &pattern, sizeof f);
        const double halfway =
            (static_cast<double>(f) + static_cast<double>(std::nextafter(f, INFINITY))) / 2.0;
        char text[512];
        std::snprintf(text, sizeof text, "%.*f", decimals(random), halfway);
        ExpectSameAsAtof(std::string(text).substr(0, 99));
        std::snprintf(text, sizeof text, "%.3f", static_cast<double>(f) / 1e30);
        ExpectSameAsAtof(text);
    }
}

} // namespace
