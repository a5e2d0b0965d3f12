// The case a script builds key by key: the same document as the case file it spells out, the
// batch's result columns, and the command line's sentences for what it refuses.
#include "automation/script_case.h"

#include <cmath>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/batch.h"
#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

namespace kestrol::automation {
namespace {

namespace fs = std::filesystem;
const fs::path kCases = fs::path(__FILE__).parent_path().parent_path() / "examples" / "cases";

ScriptValue Number(double v) { return {ScriptValue::Kind::Number, v, {}}; }
ScriptValue Text(const std::string& t) { return {ScriptValue::Kind::Text, 0.0, t}; }

// Spells a case file out as a script would: every key set on its own, design keys flat.
void SetFromFile(ScriptCase& s, const fs::path& file) {
    const nlohmann::json root = nlohmann::json::parse(host::ReadInputFile(file.string()));
    for (const auto& [key, value] : root.items()) {
        if (key == "design") {
            for (const auto& [designKey, designValue] : value.items()) s.SetValue(designKey, Number(designValue.get<double>()));
        } else if (value.is_string()) {
            s.SetValue(key, Text(value.get<std::string>()));
        } else {
            s.SetValue(key, Number(value.get<double>()));
        }
    }
}

TEST(ScriptCaseTest, KeyByKeyGivesTheCaseFilesDocumentAndColumns) {
    int files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(kCases)) {
        if (entry.path().extension() != ".json") continue;
        ++files;
        ScriptCase byKey, loaded;
        SetFromFile(byKey, entry.path());
        loaded.LoadCase(entry.path().string());
        ASSERT_EQ(byKey.Size(), loaded.Size()) << entry.path();
        nlohmann::json a = nlohmann::json::parse(byKey.Json()), b = nlohmann::json::parse(loaded.Json());
        EXPECT_EQ(a["source"], kScriptSource);
        a.erase("source");
        b.erase("source");
        EXPECT_EQ(a, b) << entry.path();

        // Every numeric column is the batch's cell, bit for bit; the rest are its words.
        const host::SizingCase c = host::LoadCaseFile(entry.path().string());
        const host::SizingOutcome o = host::SizeCase(c);
        for (const host::ResultField& f : host::ResultFields()) {
            const ScriptResult r = byKey.Result(host::ResultColumnName(f));
            const double cell = host::ResultCell(f, c, o);
            if (std::isnan(cell)) {
                EXPECT_EQ(r.kind, ScriptResult::Kind::Null) << host::ResultColumnName(f);
            } else {
                ASSERT_EQ(r.kind, ScriptResult::Kind::Number) << host::ResultColumnName(f);
                EXPECT_EQ(r.number, cell) << host::ResultColumnName(f);
            }
        }
        EXPECT_EQ(byKey.Result("status").text, o.Sized() ? "sized" : "not sized");
        EXPECT_EQ(byKey.GetValue(1), o.At(Slot::Diameter));
    }
    EXPECT_EQ(files, 4);
}

struct RefusalRow {
    const char* name;
    const char* key;
    ScriptValue value;
    const char* sentence;
};

const RefusalRow kRefusals[] = {
    {"UnknownKeyWithSuggestion", "vapor_mass_flow_kg_h", {ScriptValue::Kind::Number, 1.0, {}},
     "vapor_mass_flow_kg_h: unknown key \"vapor_mass_flow_kg_h\" (did you mean \"vapour_mass_flow_kg_h\"?)"},
    {"TextThatIsNoNumber", "pressure_kPa", {ScriptValue::Kind::Text, 0.0, "35 bar"}, "pressure_kPa: \"35 bar\" is not a number"},
    {"BooleanForANumber", "pressure_kPa", {ScriptValue::Kind::Other, 0.0, "a Boolean"},
     "pressure_kPa: a Boolean is not a number; give a number or numeric text"},
    {"NumberForAName", "name", {ScriptValue::Kind::Number, 3.0, {}}, "name: a name is text"},
    {"PercentOutOfRange", "assumed_liquid_percent", {ScriptValue::Kind::Number, 20.0, {}}, nullptr},
    {"NegativeDensity", "vapour_density_kg_m3", {ScriptValue::Kind::Text, 0.0, "-1"}, nullptr},
};

class ScriptCaseRefusalTest : public testing::TestWithParam<RefusalRow> {};

TEST_P(ScriptCaseRefusalTest, RaisesTheSentenceAndKeepsTheCaseAndItsSizing) {
    const RefusalRow& row = GetParam();
    ScriptCase s;
    s.LoadCase((kCases / "gas_scrubber_vertical.json").string());
    ASSERT_TRUE(s.Size());
    const std::string before = s.Json();
    try {
        s.SetValue(row.key, row.value);
        FAIL() << "accepted";
    } catch (const host::InputError& e) {
        const std::string expected = row.sentence != nullptr
                                         ? row.sentence
                                         : std::string(row.key) + ": " +
                                               host::CheckValue(host::CaseKeys()[host::FindCaseKey(row.key, false)],
                                                                row.value.kind == ScriptValue::Kind::Text ? std::stod(row.value.text)
                                                                                                          : row.value.number);
        EXPECT_EQ(e.what(), expected);
    }
    EXPECT_EQ(s.Json(), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScriptCaseRefusalTest, testing::ValuesIn(kRefusals),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ScriptCaseTest, ResultsAskedForBeforeSizeOrAfterAChangeRaise) {
    ScriptCase s;
    EXPECT_THROW(s.Status(), host::InputError);
    s.LoadCase((kCases / "gas_scrubber_vertical.json").string());
    s.Size();
    EXPECT_EQ(s.Status(), "sized");
    s.SetValue("pressure_kPa", Text("3600"));
    EXPECT_THROW(s.Result("inside_diameter_m"), host::InputError);
    EXPECT_EQ(s.Value("pressure_kPa").number, 3600.0);
    EXPECT_THROW(s.Result("no_such_column"), host::InputError);
}

TEST(ScriptCaseTest, AnUnsetRequiredKeyIsBadInputWithTheCheckersSentence) {
    ScriptCase s;
    s.LoadCase((kCases / "gas_scrubber_vertical.json").string());
    s.SetValue("vapour_density_kg_m3", ScriptValue{});
    EXPECT_EQ(s.Value("vapour_density_kg_m3").kind, ScriptResult::Kind::Null);
    EXPECT_FALSE(s.Size());
    EXPECT_EQ(s.Status(), "bad input");
    host::SizingCase c = host::LoadCaseFile((kCases / "gas_scrubber_vertical.json").string());
    c.values[host::kVapourDensity] = kEmptyValue;
    EXPECT_EQ(s.Message(), host::CheckCase(c).Text());
    EXPECT_EQ(s.Result("status").text, "bad input");
    EXPECT_THROW(s.Svg(), host::InputError);
    EXPECT_NE(s.Json().find("\"error\""), std::string::npos);
}

}  // namespace
}  // namespace kestrol::automation
