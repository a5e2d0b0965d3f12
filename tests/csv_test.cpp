#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/csv.h"
#include "row_name.h"

namespace kestrol {
namespace {

struct SplitRow {
    const char* name;
    const char* line;
    bool ok;
    std::vector<std::string> fields;
};

const SplitRow kSplitRows[] = {
    {"PlainFields", "a,b,c", true, {"a", "b", "c"}},
    {"BlanksAroundUnquotedAreTrimmed", "  a , b\t,c ", true, {"a", "b", "c"}},
    {"EmptyFieldsKept", "a,,c,", true, {"a", "", "c", ""}},
    {"QuotedComma", R"("Smith, J.",2)", true, {"Smith, J.", "2"}},
    {"DoubledQuoteInsideQuotes", R"("say ""hi""",x)", true, {R"(say "hi")", "x"}},
    {"BlanksInsideQuotesKept", R"(" padded ",y)", true, {" padded ", "y"}},
    {"BlanksAfterClosingQuoteAllowed", R"("a"  ,b)", true, {"a", "b"}},
    {"OpenQuoteRefused", R"("never closed,1)", false, {}},
    {"TextAfterClosingQuoteRefused", R"("a"b,1)", false, {}},
};

class SplitCsvLineTest : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitCsvLineTest, GivesTheFields) {
    const SplitRow& row = GetParam();
    std::vector<std::string_view> fields;
    std::string scratch;
    ASSERT_EQ(host::SplitCsvLine(row.line, fields, scratch), row.ok);
    if (!row.ok) return;
    ASSERT_EQ(fields.size(), row.fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(std::string(fields[i]), row.fields[i]) << "field " << i;
}

INSTANTIATE_TEST_SUITE_P(Rows, SplitCsvLineTest, testing::ValuesIn(kSplitRows), testing_support::RowName());

TEST(CsvFieldTest, WrittenFieldsSplitBackUnchanged) {
    const std::vector<std::string> fields = {"plain", "with, comma", R"(with "quotes")", "", "trailing"};
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line.push_back(',');
        host::AppendCsvField(line, fields[i]);
    }
    std::vector<std::string_view> back;
    std::string scratch;
    ASSERT_TRUE(host::SplitCsvLine(line, back, scratch));
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
