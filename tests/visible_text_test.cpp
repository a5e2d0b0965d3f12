#include <string>

#include <gtest/gtest.h>

#include "host/visible_text.h"
#include "row_name.h"

namespace kestrol {
namespace {

struct VisibleRow {
    const char* name;
    std::string text;
    std::string shown;
};

const VisibleRow kVisibleRows[] = {
    {"PlainTextAsItIs", "V-101 \"A\" & <B>", "V-101 \"A\" & <B>"},
    {"BackslashKept", "C:\\cases\\a.json", "C:\\cases\\a.json"},
    {"NonAsciiKept", "S\xC3\xA9parateur \xE2\x80\x94 \xF0\x9F\x9B\xA2", "S\xC3\xA9parateur \xE2\x80\x94 \xF0\x9F\x9B\xA2"},
    {"Bell", "a\x07" "b", "a\\u0007b"},
    {"EscapeSequence", "\x1B[31mred", "\\u001B[31mred"},
    {"TabNewlineAndReturn", "a\tb\nc\rd", "a\\u0009b\\u000Ac\\u000Dd"},
    {"Delete", "a\x7F", "a\\u007F"},
    {"EightBitControlSequenceIntroducer", "a\xC2\x9B" "31m", "a\\u009B31m"},
    {"NonCharacters", "\xEF\xBF\xBE\xEF\xBF\xBF", "\\uFFFE\\uFFFF"},
    {"LastCharacterBeforeThemKept", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
    {"StrayContinuationByte", "a\x80" "b", "a\\x80b"},
    {"OverlongSlash", "\xC0\xAF", "\\xC0\\xAF"},
    {"Surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
    {"PastTheLastCodePoint", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
    {"CutShort", "ab\xE2\x80", "ab\\xE2\\x80"},
};

class VisibleTextTest : public testing::TestWithParam<VisibleRow> {};

TEST_P(VisibleTextTest, WritesOutWhatWouldActAndKeepsTheRest) { EXPECT_EQ(host::VisibleText(GetParam().text), GetParam().shown); }

INSTANTIATE_TEST_SUITE_P(Rows, VisibleTextTest, testing::ValuesIn(kVisibleRows), testing_support::RowName());

TEST(VisibleTextTest, NoByteBelowASpaceSurvives) {
    std::string every;
    for (int byte = 1; byte < 256; ++byte) every += static_cast<char>(byte);
    for (const char ch : host::VisibleText(every)) EXPECT_GE(static_cast<unsigned char>(ch), 0x20u);
}

}  // namespace
}  // namespace kestrol
