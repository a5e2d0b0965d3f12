#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "model/script_runner.h"
#include "row_name.h"

namespace kestrol {
namespace {

using nlohmann::json;
using namespace std::string_literals;

/// A script whose calls sit inside `levels` arrays: 400 KB of brackets at 200,000.
std::string CallsNestedIn(std::size_t levels) { return "{\"calls\": " + std::string(levels, '[') + std::string(levels, ']') + "}"; }

json RunText(const std::string& script) { return json::parse(host::RunScript(script)); }

TEST(ScriptRunnerTest, ReportsResultsVectorAndInputs) {
    const json out = RunText(R"({"inputs": {"Pressure": 1000.5},
        "calls": [["AllocValues", 39], ["SetValue", -2.5, 4], ["GetValue", 4], ["GetValue", 0],
                  ["ClearValues"], ["GetVectorPointer"], ["SetValue", "NaN", 5], ["GetValue", 5],
                  ["CalcVerticalLevels", 7.0], ["Calculate"]]})");
    const json& results = out["results"];
    ASSERT_EQ(results.size(), 10u);
    EXPECT_EQ(results[0], 0);
    EXPECT_TRUE(results[1].is_null());
    EXPECT_EQ(results[2], -2.5);
    EXPECT_EQ(results[3], -32767.0);
    EXPECT_EQ(results[5], true);
    EXPECT_EQ(results[7], "NaN");
    ASSERT_TRUE(results[8].is_array());
    EXPECT_EQ(results[8][1], 7.0);          // the caller's double
    EXPECT_EQ(results[9], 2147746306u);     // no flow: SIZING_E_NOFLOW as unsigned
    ASSERT_EQ(out["vector"].size(), 39u);
    EXPECT_EQ(out["vector"][3], -32767.0);  // cleared
    EXPECT_EQ(out["inputs"]["Pressure"], 1000.5);
    EXPECT_EQ(out["inputs"].size(), 14u);
}

TEST(ScriptRunnerTest, NoStorageGivesNullVector) {
    const json out = RunText(R"({"calls": [["GetValue", 1]]})");
    EXPECT_TRUE(out["vector"].is_null());
}

TEST(ScriptRunnerTest, CallbackAnswersTheNoLiquidCase) {
    const json out = RunText(R"({"inputs": {"VapourMassFlow": 1000, "VapourDensity": 10, "Pressure": 1000,
        "Temperature": 40, "AuxiliaryValue1": 1}, "callback": {"0": 20},
        "calls": [["Calculate"]]})");
    EXPECT_EQ(out["results"][0], 2147746310u);  // density not answered
    EXPECT_EQ(out["inputs"]["AssumedLiquidPercent"], 10.0);
}

struct BadScriptRow {
    const char* name;
    std::string script;
    const char* messageFragment;
};
const BadScriptRow kBadScripts[] = {
    {"NotJson", R"({"calls": [)", "malformed JSON: unexpected end of input; expected '[', '{', or a literal (line 1, column 12)"},
    {"NumberTooLargeForADouble", R"({"inputs": {"Pressure": 1e400}, "calls": []})", "number overflow parsing '1e400'"},
    // The reader's excerpt ends inside a character: echoed, so that the message is UTF-8.
    {"NotUtf8", "\xD0", "malformed JSON: invalid literal; last read: '\\xD0' (line 1, column 1)"},
    {"NulAfterTheObject", "{\"calls\": []}\0junk"s, "a NUL byte, which JSON text never holds (nothing but blanks may follow the object) (line 1, column 14)"},
    {"DeepNestingIsRefusedAtTheFirstLevelTooMany", CallsNestedIn(200000), "nests too deeply: a script is an object of inputs, callback answers and calls, each call an array of a name and numbers, and nothing deeper (line 1, column 13)"},
    {"ArgumentNestsTooDeeply", R"({"calls": [["GetValue", [1]]]})", "nests too deeply: a script is an object of inputs, callback answers and calls"},
    {"NotAnObject", R"([1, 2])", "one JSON object"},
    {"NoCalls", R"({"inputs": {}})", "calls: missing"},
    {"UnknownTopKey", R"({"calls": [], "extra": 1})", "unknown key \"extra\""},
    {"UnknownField", R"({"inputs": {"Pressur": 1}, "calls": []})", "inputs.Pressur: unknown field"},
    {"FieldNotNumber", R"({"inputs": {"Pressure": "high"}, "calls": []})", "inputs.Pressure"},
    {"UnknownMethod", R"({"calls": [["GetValue", 1], ["Frobnicate"]]})", "calls[1]: unknown method \"Frobnicate\""},
    {"TooFewArguments", R"({"calls": [["SetValue", 1.0]]})", "calls[0]: SetValue takes 2 numbers"},
    {"TooManyArguments", R"({"calls": [["Calculate", 1]]})", "calls[0]: Calculate takes no arguments, got 1"},
    {"IndexNotInteger", R"({"calls": [["GetValue", 1.5]]})", "calls[0][1]: GetValue argument must be an integer"},
    {"IndexOutOfRange", R"({"calls": [["AllocValues", 3000000000]]})", "calls[0][1]"},
    {"NumberAsText", R"({"calls": [["SetPressure", "1000"]]})", "calls[0][1]: SetPressure argument must be a number"},
    {"CallNotArray", R"({"calls": ["Calculate"]})", "calls[0]: a call is an array"},
    {"CallbackUnknownCode", R"({"callback": {"2": 1}, "calls": []})", "callback.2"},
};
class BadScriptTest : public testing::TestWithParam<BadScriptRow> {};
TEST_P(BadScriptTest, NamesWhatAndWhere) {
    try {
        host::RunScript(GetParam().script);
        FAIL() << "script was accepted";
    } catch (const host::ScriptError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().messageFragment), std::string::npos) << e.what();
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, BadScriptTest, testing::ValuesIn(kBadScripts), testing_support::RowName());

}  // namespace
}  // namespace kestrol
