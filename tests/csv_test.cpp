#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/csv.h"
#include "row_name.h"

namespace kestrol {
namespace {

constexpr std::size_t kNoFault = std::string::npos;

struct SplitRow {
    const char* name;
    const char* line;
    std::vector<std::string> fields;  ///< when it splits
    std::size_t faultAt;              ///< the offending byte when it does not
};

const SplitRow kSplitRows[] = {
    {"PlainFields", "a,b,c", {"a", "b", "c"}, kNoFault},
    {"BlanksAroundUnquotedAreTrimmed", "  a , b\t,c ", {"a", "b", "c"}, kNoFault},
    {"EmptyFieldsKept", "a,,c,", {"a", "", "c", ""}, kNoFault},
    {"QuotedComma", R"("Smith, J.",2)", {"Smith, J.", "2"}, kNoFault},
    {"DoubledQuoteInsideQuotes", R"("say ""hi""",x)", {R"(say "hi")", "x"}, kNoFault},
    {"DoubledQuotesInTwoFields", R"("a""b",""""," ""c"" ")", {R"(a"b)", R"(")", R"( "c" )"}, kNoFault},
    {"EmptyQuotedField", R"("",x)", {"", "x"}, kNoFault},
    {"BlanksInsideQuotesKept", R"(" padded ",y)", {" padded ", "y"}, kNoFault},
    {"BlanksAfterClosingQuoteAllowed", R"("a"  ,b)", {"a", "b"}, kNoFault},
    {"QuoteAfterBlanksOpensTheField", R"(1,  "x,y")", {"1", "x,y"}, kNoFault},
    {"OpenQuoteRefused", R"("never closed,1)", {}, 0},
    {"OpenQuoteAfterDoubledQuoteRefused", R"(1,"a""b)", {}, 2},
    {"TextAfterClosingQuoteRefused", R"("a"b,1)", {}, 3},
    // RFC 4180 allows a quote only in a quoted field.
    {"StrayQuoteInUnquotedField", R"(B"x,vertical,3500)", {}, 1},
    {"StrayQuoteAtTheEndOfAField", R"(a,12",c)", {}, 4},
    {"StrayQuoteAfterAQuotedField", R"("a",b"c)", {}, 5},
};

class SplitCsvLineTest : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitCsvLineTest, GivesTheFieldsOrWhereTheRecordBreaksTheRules) {
    const SplitRow& row = GetParam();
    std::vector<std::string_view> fields;
    std::string scratch;
    host::CsvFault fault;
    ASSERT_EQ(host::SplitCsvLine(row.line, fields, scratch, &fault), row.faultAt == kNoFault) << fault.reason;
    if (row.faultAt != kNoFault) {
        EXPECT_EQ(fault.offset, row.faultAt) << fault.reason;
        EXPECT_STRNE(fault.reason, "");
        return;
    }
    ASSERT_EQ(fields.size(), row.fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(std::string(fields[i]), row.fields[i]) << "field " << i;
}

INSTANTIATE_TEST_SUITE_P(Rows, SplitCsvLineTest, testing::ValuesIn(kSplitRows), testing_support::RowName());

// Records as RFC 4180 has them: a line break inside quotes is part of the field.
struct RecordRow {
    const char* name;
    std::string text;
    std::vector<std::string> records;
    std::vector<std::size_t> lines;  ///< physical lines each record spans
};

const RecordRow kRecordRows[] = {
    {"OnePerLine", "a,b\nc,d\n", {"a,b", "c,d"}, {1, 1}},
    {"CrLfLineEnds", "a,b\r\nc,d\r\n", {"a,b", "c,d"}, {1, 1}},
    {"LastRecordWithoutLineEnd", "a,b\nc,d", {"a,b", "c,d"}, {1, 1}},
    {"QuotedLineFeed", "\"two\nline\",1\nx,2\n", {"\"two\nline\",1", "x,2"}, {2, 1}},
    {"QuotedCrLf", "\"two\r\nline\",1\r\nx,2\r\n", {"\"two\r\nline\",1", "x,2"}, {2, 1}},
    {"DoubledQuoteBeforeBreakStaysInside", "\"say \"\"hi\"\"\nthere\",1\n", {"\"say \"\"hi\"\"\nthere\",1"}, {2}},
    {"ClosedQuoteEndsAtTheBreak", "\"\",1\n2,3\n", {"\"\",1", "2,3"}, {1, 1}},
    {"OpenQuoteRunsToTheEnd", "\"open,1\nx,2\n", {"\"open,1\nx,2\n"}, {3}},
    // A quote that does not start its field opens nothing: its record still ends at its line.
    {"StrayQuoteEndsAtTheBreak", "A,1\nB\"x,2\nC,3\n", {"A,1", "B\"x,2", "C,3"}, {1, 1, 1}},
    {"StrayQuoteInALaterField", "a,12\",c\nd,e\n", {"a,12\",c", "d,e"}, {1, 1}},
    {"StrayQuoteAfterAClosedField", "\"a\"b\"c,1\nx,2\n", {"\"a\"b\"c,1", "x,2"}, {1, 1}},
    {"StrayQuoteAfterAQuotedLineBreak", "\"two\nline\"x\"y,1\nz,2\n", {"\"two\nline\"x\"y,1", "z,2"}, {2, 1}},
    {"QuoteAfterBlanksStillOpens", "1, \"two\nline\"\nz,2\n", {"1, \"two\nline\"", "z,2"}, {2, 1}},
};

class NextCsvRecordTest : public testing::TestWithParam<RecordRow> {};

TEST_P(NextCsvRecordTest, SplitsRecordsNotLines) {
    const RecordRow& row = GetParam();
    std::string_view rest = row.text;
    std::vector<std::string> records;
    std::vector<std::size_t> lines;
    while (!rest.empty()) {
        std::size_t spanned = 0;
        records.emplace_back(host::NextCsvRecord(rest, spanned));
        lines.push_back(spanned);
    }
    EXPECT_EQ(records, row.records);
    EXPECT_EQ(lines, row.lines);
}

INSTANTIATE_TEST_SUITE_P(Rows, NextCsvRecordTest, testing::ValuesIn(kRecordRows), testing_support::RowName());

struct Utf8Row {
    const char* name;
    std::string text;
    std::size_t firstBad;
};

const Utf8Row kUtf8Rows[] = {
    {"Ascii", "plain,1", std::string::npos},
    {"TwoThreeAndFourBytes", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", std::string::npos},
    {"Latin1Byte", "caf\xE9,1", 3},
    {"OverlongSlash", "a\xC0\xAF", 1},
    {"Surrogate", "ab\xED\xA0\x80", 2},
    {"CutShort", "abc\xE2\x82", 3},
    {"BeyondUnicode", "\xF4\x90\x80\x80", 0},
};

class Utf8Test : public testing::TestWithParam<Utf8Row> {};

TEST_P(Utf8Test, FindsTheFirstBadByte) { EXPECT_EQ(host::FirstInvalidUtf8(GetParam().text), GetParam().firstBad); }

INSTANTIATE_TEST_SUITE_P(Rows, Utf8Test, testing::ValuesIn(kUtf8Rows), testing_support::RowName());

TEST(CsvFieldTest, WrittenFieldsSplitBackUnchanged) {
    const std::vector<std::string> fields = {"plain", "with, comma", R"(with "quotes")", "", "two\nlines", "trailing"};
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line.push_back(',');
        host::AppendCsvField(line, fields[i]);
    }
    std::string_view rest = line;
    std::size_t spanned = 0;
    const std::string_view record = host::NextCsvRecord(rest, spanned);
    EXPECT_TRUE(rest.empty()) << "one record, whatever its fields hold";
    std::vector<std::string_view> back;
    std::string scratch;
    ASSERT_TRUE(host::SplitCsvLine(record, back, scratch));
    ASSERT_EQ(back.size(), fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(std::string(back[i]), fields[i]);
}

struct NumberRow {
    const char* name;
    const char* text;
    bool ok;
    double value;
};

const NumberRow kNumberRows[] = {
    {"Integer", "1500", true, 1500.0},
    {"Decimal", "0.1524", true, 0.1524},
    {"Exponent", "2.5e3", true, 2500.0},
    {"LeadingPlus", "+7", true, 7.0},
    {"Negative", "-3.5", true, -3.5},
    {"Blanks", "  42 ", true, 42.0},
    {"Empty", "", false, 0.0},
    {"TrailingText", "12kg", false, 0.0},
    {"TwoPoints", "1.2.3", false, 0.0},
    {"Hex", "0x10", false, 0.0},
    {"DecimalComma", "1,5", false, 0.0},
    {"TooLarge", "1e999", false, 0.0},
};

class ParseNumberTest : public testing::TestWithParam<NumberRow> {};

TEST_P(ParseNumberTest, ReadsOnlyWholeNumbers) {
    const NumberRow& row = GetParam();
    const std::optional<double> v = host::ParseNumber(row.text);
    ASSERT_EQ(v.has_value(), row.ok);
    if (row.ok) {
        EXPECT_EQ(*v, row.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ParseNumberTest, testing::ValuesIn(kNumberRows), testing_support::RowName());

TEST(ParseNumberTest, NotANumberIsReadSoTheCaseCheckCanRefuseIt) {
    const std::optional<double> v = host::ParseNumber("nan");
    ASSERT_TRUE(v.has_value());
    EXPECT_TRUE(std::isnan(*v));
}

TEST(AppendNumberTest, ReadsBackBitForBit) {
    const double values[] = {0.1, 1.0 / 3.0, 6.561679790026246, 1e-300, std::numeric_limits<double>::denorm_min(), 123456789.123456789,
                             -32767.0, std::numeric_limits<double>::max()};
    for (double v : values) {
        std::string text;
        host::AppendNumber(text, v);
        const std::optional<double> back = host::ParseNumber(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(*back, v) << text;
    }
}

}  // namespace
}  // namespace kestrol
