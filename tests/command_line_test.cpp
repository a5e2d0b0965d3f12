#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "command_runner.h"
#include "row_name.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;

using testing_support::CommandResult;
using testing_support::Kestrol;

/// A scratch folder of its own per test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() / ("kestrol-" + std::string(info->test_suite_name()) + "-" + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string Write(const std::string& name, const std::string& text) const {
        const fs::path file = path_ / name;
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// A two-phase feed every check accepts; rows below break one thing each.
const char* const kGoodStream = R"("pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 60000,
    "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720)";

std::string CaseWith(const std::string& extra) { return std::string("{") + kGoodStream + (extra.empty() ? "" : ", " + extra) + "}"; }

struct BadInputRow {
    const char* name;
    std::string caseText;  ///< written to case.json (or case.csv); empty: no file at all
    std::vector<std::string> extraArgs;
    int status;
    const char* fragment;  ///< must appear on standard error
    bool csv = false;
};

const BadInputRow kBadInputs[] = {
    {"MissingFile", "", {}, 2, "cannot be read"},
    {"MalformedJson", R"({"pressure_kPa": 100,)", {}, 2, "malformed JSON"},
    {"NaNIsNoJson", CaseWith(R"("cost": NaN)"), {}, 2, "malformed JSON"},
    {"NotAnObject", "[1, 2]", {}, 2, "one JSON object, not array"},
    {"UnknownKeySuggestsNearest", CaseWith(R"("vapor_mass_flow_kg_h": 1)"), {}, 2, R"(did you mean "vapour_mass_flow_kg_h"?)"},
    {"UnknownDesignKeySuggestsNearest", CaseWith(R"("design": {"diamter_m": 1.2})"), {}, 2, R"(did you mean "diameter_m"?)"},
    {"UnknownKeyFarFromAnyGetsNoGuess", CaseWith(R"("colour": 1)"), {}, 2, "unknown key \"colour\"\n"},
    {"WrongType", R"({"pressure_kPa": "high"})", {}, 2, "pressure_kPa: must be a number, not string"},
    {"BooleanIsNoNumber", CaseWith(R"("heavy_liquid_mass_flow_kg_h": true)"), {}, 2, "must be a number, not boolean"},
    {"NegativeDensity", R"({"vapour_density_kg_m3": -3})", {}, 2, "vapour_density_kg_m3: must be greater than 0"},
    {"ZeroFlow", R"({"light_liquid_mass_flow_kg_h": 0})", {}, 2, "light_liquid_mass_flow_kg_h: must be greater than 0"},
    {"OverflowIsRefused", R"({"pressure_kPa": 1e999})", {}, 2, "number overflow parsing '1e999'"},
    {"EmptyMarkerRefused", R"({"temperature_C": -32767})", {}, 2, "empty marker"},
    {"LiquidLighterThanVapour", CaseWith(R"("heavy_liquid_mass_flow_kg_h": 10, "heavy_liquid_density_kg_m3": 20)"), {}, 2,
     "a liquid must be denser than the vapour"},
    {"HeavyLighterThanLight", CaseWith(R"("heavy_liquid_mass_flow_kg_h": 10, "heavy_liquid_density_kg_m3": 700)"), {}, 2,
     "denser than the light liquid"},
    {"FlowWithoutDensity", CaseWith(R"("heavy_liquid_mass_flow_kg_h": 10)"), {}, 2,
     "heavy_liquid_mass_flow_kg_h is given without heavy_liquid_density_kg_m3"},
    {"DuplicateKey", R"({"pressure_kPa": 100, "pressure_kPa": 200})", {}, 2, "\"pressure_kPa\" is given twice"},
    {"OrientationTypo", CaseWith(R"("orientation": "vertcal")"), {}, 2, R"(did you mean "vertical"?)"},
    {"DesignNotAnObject", CaseWith(R"("design": 3)"), {}, 2, "design: must be an object"},
    {"MaterialOutsideTable", CaseWith(R"("design": {"material_code": 7})"), {}, 2, "whole number from 1 to 5"},
    {"FractionalMaterial", CaseWith(R"("design": {"material_code": 1.5})"), {}, 2, "whole number from 1 to 5"},
    {"PercentOutsideRange", CaseWith(R"("assumed_liquid_percent": 20)"), {}, 2, "between 0.5 and 10"},
    {"JointEfficiencyAboveOne", CaseWith(R"("design": {"joint_efficiency": 1.2})"), {}, 2, "at most 1"},
    {"UnknownOption", CaseWith(""), {"--colour"}, 2, "--colour"},
    {"UnknownFormat", CaseWith(""), {"--format", "xml"}, 2, "xml"},
    {"SvgWithBatch", "name,pressure_kPa\n", {"--svg", "x.svg"}, 2, "--svg draws one case", true},
    {"UnknownCsvColumn", "name,presure_kPa\n", {}, 2, R"(unknown column "presure_kPa" (did you mean "pressure_kPa"?))", true},
    {"RepeatedCsvColumn", "name,pressure_kPa,pressure_kPa\n", {}, 2, "named twice", true},
    {"EmptyCsv", "\n\n", {}, 2, "the file is empty", true},
    // The object's own checks: the case reached it, so the status is 1 and the sentence says
    // what to add.
    {"NoLiquidNoShare", R"({"pressure_kPa": 2500, "temperature_C": 20, "vapour_mass_flow_kg_h": 12000, "vapour_density_kg_m3": 19})",
     {}, 1, "give assumed_liquid_percent"},
    {"NoLiquidNoDensity",
     R"({"pressure_kPa": 2500, "temperature_C": 20, "vapour_mass_flow_kg_h": 12000, "vapour_density_kg_m3": 19,
         "assumed_liquid_percent": 2})",
     {}, 1, "give assumed_liquid_density_kg_m3"},
    {"MissingPressure", R"({"temperature_C": 20, "vapour_mass_flow_kg_h": 12000, "vapour_density_kg_m3": 19,
         "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 700})",
     {}, 1, "give pressure_kPa"},
    {"NoVapour", R"({"pressure_kPa": 2500, "temperature_C": 20, "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 700})",
     {}, 1, "give a positive vapour_mass_flow_kg_h"},
};

class BadInputTest : public testing::TestWithParam<BadInputRow> {};

TEST_P(BadInputTest, ExitsWithStatusAndMessage) {
    const BadInputRow& row = GetParam();
    TempFolder folder;
    const std::string name = row.csv ? "case.csv" : "case.json";
    const std::string path = row.caseText.empty() ? folder.Path(name) : folder.Write(name, row.caseText);
    std::vector<std::string> args = {"size", path};
    for (std::string arg : row.extraArgs) args.push_back(arg == "x.svg" ? folder.Path(arg) : arg);
    const CommandResult result = Kestrol(args);
    EXPECT_EQ(result.status, row.status) << result.err;
    // The report goes to standard output; the reason must reach the engineer in either stream.
    EXPECT_NE((result.err + result.out).find(row.fragment), std::string::npos) << "stderr: " << result.err << "\nstdout: " << result.out;
    if (row.status == 2 && row.extraArgs.empty()) {
        EXPECT_TRUE(result.out.empty()) << "no report for an unusable case";
        EXPECT_NE(result.err.find(path), std::string::npos) << "the message names the file";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputTest, testing::ValuesIn(kBadInputs), testing_support::RowName());

TEST(CommandLineTest, RunStillPlaysHostScripts) {
    TempFolder folder;
    const std::string script = folder.Write("s.json", R"({"calls": [["AllocValues", 39], ["GetValue", 14]]})");
    const CommandResult result = Kestrol({"run", script});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("\"results\":[0,-32767.0]"), std::string::npos) << result.out;
}

TEST(CommandLineTest, ReportGoesToTheOutputFileWhenAsked) {
    TempFolder folder;
    const std::string input = folder.Write("c.json", CaseWith(R"("name": "to file")"));
    const std::string output = folder.Path("report.json");
    const CommandResult result = Kestrol({"size", input, "--format", "json", "-o", output});
    EXPECT_TRUE(result.out.empty());
    std::ifstream written(output);
    std::stringstream text;
    text << written.rdbuf();
    EXPECT_NE(text.str().find("\"name\": \"to file\""), std::string::npos) << text.str();
}

}  // namespace
}  // namespace kestrol
