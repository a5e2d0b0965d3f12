// The case a script builds key by key: the same document as the case file it spells out, the
// batch's result columns, and the command line's sentences for what it refuses.
#include "automation/script_case.h"

#include <cmath>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/batch.h"
#include "host/datasheet.h"
#include "host/level_report.h"
#include "host/mechanical_report.h"
#include "host/settling_report.h"
#include "host/report.h"
#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

namespace kestrol::automation {
namespace {

namespace fs = std::filesystem;
const fs::path kCases = fs::path(__FILE__).parent_path().parent_path() / "examples" / "cases";

ScriptValue Number(double v) { return {ScriptValue::Kind::Number, v, {}}; }
ScriptValue Text(const std::string& t) { return {ScriptValue::Kind::Text, 0.0, t}; }

// A case file's keys as a script sets them, design keys flat.
nlohmann::json FlatKeys(const fs::path& file) {
    const nlohmann::json root = nlohmann::json::parse(host::ReadInputFile(file.string()));
    nlohmann::json flat = nlohmann::json::object();
    for (const auto& [key, value] : root.items()) {
        if (key == "design") {
            for (const auto& [designKey, designValue] : value.items()) flat[designKey] = designValue;
        } else {
            flat[key] = value;
        }
    }
    return flat;
}

// Spells a case file out as a script would: every key set on its own.
void SetFromFile(ScriptCase& s, const fs::path& file) {
    const nlohmann::json keys = FlatKeys(file);
    for (const auto& [key, value] : keys.items())
        s.SetValue(key, value.is_string() ? Text(value.get<std::string>()) : Number(value.get<double>()));
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
        double settling[host::kSettlingColumnCount];
        host::SettlingCells(c, o, settling);
        for (std::size_t i = 0; i < host::kSettlingColumnCount; ++i) {
            const std::string& column = host::SettlingColumnNames()[i];
            const ScriptResult r = byKey.Result(column);
            if (std::isnan(settling[i])) {
                EXPECT_EQ(r.kind, ScriptResult::Kind::Null) << column;
            } else {
                ASSERT_EQ(r.kind, ScriptResult::Kind::Number) << column;
                EXPECT_EQ(r.number, settling[i]) << column;
            }
        }
        EXPECT_EQ(byKey.Result("status").text, o.Sized() ? "sized" : "not sized");
        const std::string material = host::MechanicalDesignJson(c, o, host::UnitSystem::SI)["material"].get<std::string>();
        const ScriptResult used = byKey.Result(host::kDesignMaterialColumn);
        EXPECT_EQ(used.kind, ScriptResult::Kind::Text) << entry.path();
        EXPECT_EQ(used.text, material) << entry.path();
        // The command line's sheet, but for the source it names.
        EXPECT_EQ(loaded.Datasheet(), host::DatasheetHtml(c, o, host::UnitSystem::SI, entry.path().string(), host::DatasheetDate()));
        EXPECT_EQ(byKey.GetValue(1), o.At(Slot::Diameter));

        // Every key reads back as it was set, words as words.
        const nlohmann::json keys = FlatKeys(entry.path());
        for (const auto& [key, value] : keys.items()) {
            const ScriptResult r = byKey.Value(key);
            if (value.is_string()) {
                ASSERT_EQ(r.kind, ScriptResult::Kind::Text) << key;
                EXPECT_EQ(r.text, value.get<std::string>()) << key;
            } else {
                ASSERT_EQ(r.kind, ScriptResult::Kind::Number) << key;
                EXPECT_EQ(r.number, value.get<double>()) << key;
            }
        }
    }
    EXPECT_EQ(files, 4);
}

// Every key a batch header names is a key of the object; unset, it reads back as Null and the
// case is the file's without it.
TEST(ScriptCaseTest, EveryBatchColumnIsAKeyThatUnsets) {
    const fs::path file = kCases / "rating_existing_vessel.json";
    for (const std::string& key : host::CsvColumnNames()) {
        ScriptCase s;
        s.LoadCase(file.string());
        ASSERT_NO_THROW(s.Value(key)) << key;
        s.SetValue(key, ScriptValue{});
        const ScriptResult r = s.Value(key);
        if (key == "orientation") {
            EXPECT_EQ(r.text, "auto");
        } else {
            EXPECT_EQ(r.kind, ScriptResult::Kind::Null) << key;
        }
    }
    ScriptCase s;
    s.LoadCase(file.string());
    s.SetValue("tag", ScriptValue{});
    s.SetValue("light_liquid_viscosity_Pa_s", ScriptValue{});
    s.Size();
    host::SizingCase c = host::LoadCaseFile(file.string());
    c.title.tag.clear();
    c.process.lightLiquidViscosity = kEmptyValue;
    const host::SizingOutcome o = host::SizeCase(c);
    nlohmann::json a = nlohmann::json::parse(s.Json()), b = nlohmann::json::parse(host::JsonReport(c, o, host::UnitSystem::SI, "x"));
    a.erase("source");
    b.erase("source");
    EXPECT_EQ(a, b);
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
    {"NumberForAName", "name", {ScriptValue::Kind::Number, 3.0, {}}, "name: must be a string"},
    {"NumberForATitle", "revision", {ScriptValue::Kind::Number, 2.0, {}}, "revision: must be a string"},
    {"UnknownMistEliminator", "mist_eliminator", {ScriptValue::Kind::Text, 0.0, "wire"},
     "mist_eliminator: \"wire\" is not one of \"none\", \"mesh\", \"vane\" or \"cyclone\""},
    {"NumberForAWordKey", "inlet_device", {ScriptValue::Kind::Number, 1.0, {}},
     "inlet_device: must be a string: \"none\", \"half_pipe\", \"vane\" or \"cyclone\""},
    {"NegativeViscosity", "vapour_viscosity_Pa_s", {ScriptValue::Kind::Text, 0.0, "-1e-5"},
     "vapour_viscosity_Pa_s: must be a positive number (a dynamic viscosity in Pa s)"},
    {"UnknownSettlingKeyWithSuggestion", "vapor_viscosity_Pa_s", {ScriptValue::Kind::Number, 1e-5, {}},
     "vapor_viscosity_Pa_s: unknown key \"vapor_viscosity_Pa_s\" (did you mean \"vapour_viscosity_Pa_s\"?)"},
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
    EXPECT_THROW(s.Datasheet(), host::InputError);
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
    EXPECT_THROW(s.Datasheet(), host::InputError);
    EXPECT_NE(s.Json().find("\"error\""), std::string::npos);
}

// A levels block's key set on its own reaches the ladder, and each level column is the batch's.
TEST(ScriptCaseTest, ALevelKeyGivesTheBatchsLevelColumns) {
    const std::string file = (kCases / "gas_scrubber_vertical.json").string();
    ScriptCase s;
    s.LoadCase(file);
    s.SetValue("surge_time_s", Number(90.0));
    s.SetValue("alarm_margin_m", Text("0.05"));
    EXPECT_EQ(s.Value("surge_time_s").number, 90.0);
    ASSERT_TRUE(s.Size());
    host::SizingCase c = host::LoadCaseFile(file);
    c.levels.values[host::kSurgeTime] = 90.0;
    c.levels.values[host::kAlarmMargin] = 0.05;
    const auto cells = host::LevelCells(c, host::SizeCase(c));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const char* column = host::LevelColumnNames()[i];
        const ScriptResult r = s.Result(column);
        if (std::isnan(cells[i])) {
            EXPECT_EQ(r.kind, ScriptResult::Kind::Null) << column;
        } else {
            ASSERT_EQ(r.kind, ScriptResult::Kind::Number) << column;
            EXPECT_EQ(r.number, cells[i]) << column;
        }
    }
    EXPECT_NEAR(s.Result("surge_time_s_used").number, 90.0, 1e-9);
}

}  // namespace
}  // namespace kestrol::automation
