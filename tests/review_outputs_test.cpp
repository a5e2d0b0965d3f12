#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "command_runner.h"
#include "row_name.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::CommandResult;
using testing_support::Kestrol;

const fs::path kCases = fs::path(__FILE__).parent_path().parent_path() / "examples" / "cases";
const std::string kScrubber = (kCases / "gas_scrubber_vertical.json").string();
const std::string kProduction = (kCases / "production_separator_horizontal.json").string();

/// A file in a scratch folder named after the running test.
std::string Scratch(const std::string& name, const std::string& text) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    const fs::path folder = fs::temp_directory_path() / ("kestrol-review-" + std::string(info->test_suite_name()) + "-" + info->name());
    fs::create_directories(folder);
    const fs::path file = folder / name;
    std::ofstream(file, std::ios::binary) << text;
    return file.string();
}

std::size_t At(const std::string& text, const std::string& fragment) {
    const std::size_t at = text.find(fragment);
    EXPECT_NE(at, std::string::npos) << "missing: " << fragment;
    return at;
}

TEST(ReviewText, FollowsTheResultsGoverningLineFirstThenWarningsThenNotes) {
    const CommandResult r = Kestrol({"size", kScrubber});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::size_t cost = At(r.out, "\nCost\n");
    const std::size_t review = At(r.out, "\nReview\n");
    const std::size_t governing = At(r.out, "  Diameter set by the vapour load (100% of the allowable velocity); height set by the ratio floor of 3.");
    const std::size_t level = At(r.out, "  warning level-below-minimum: The liquid surface at 0.178 m lies below the minimum liquid level of 0.914 m.");
    const std::size_t note = At(r.out, "  note    design-pressure:");
    const std::size_t result = At(r.out, "Result: sized.");
    EXPECT_LT(cost, review);
    EXPECT_LT(review, governing);
    EXPECT_LT(governing, level);
    EXPECT_LT(level, note);
    EXPECT_LT(note, result);
    // The weight the cost comes from closes the mechanical results.
    EXPECT_LT(At(r.out, "  Wall thickness"), At(r.out, "  Vessel weight                   16,588 kg"));
    EXPECT_LT(At(r.out, "  Vessel weight"), cost);
}

TEST(ReviewJson, GoverningObjectAndReviewArray) {
    const CommandResult r = Kestrol({"size", kScrubber, "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json report = json::parse(r.out);
    const json& governing = report.at("governing");
    EXPECT_EQ(governing.at("diameter"), "vapour-load");
    EXPECT_EQ(governing.at("length"), "ratio-floor");
    EXPECT_EQ(governing.at("ratio"), 3.0);
    EXPECT_GT(governing.at("vapour_load_percent").get<double>(), 99.0);
    EXPECT_LE(governing.at("vapour_load_percent").get<double>(), 100.0);
    EXPECT_EQ(governing.at("vapour_alone_diameter").at("value"), 1.9812);

    const json& findings = report.at("review");
    ASSERT_GE(findings.size(), 3u);
    EXPECT_EQ(findings[0].at("code"), "level-below-minimum");
    EXPECT_EQ(findings[0].at("severity"), "warning");
    EXPECT_NEAR(findings[0].at("values").at("liquid_surface").at("value").get<double>(), 0.178016, 1e-6);
    EXPECT_EQ(findings[0].at("values").at("minimum_liquid_level").at("unit"), "m");
    // The notes in code order: the level set points' come after the weight and cost.
    const auto cost = std::find_if(findings.begin(), findings.end(), [](const json& f) { return f.at("code") == "weight-and-cost"; });
    ASSERT_NE(cost, findings.end());
    EXPECT_EQ(cost->at("severity"), "note");
    EXPECT_EQ(findings.back().at("code"), "levels-too-close");
    EXPECT_NEAR(report.at("mechanical").at("vessel_weight").at("value").get<double>(),
                cost->at("values").at("vessel_weight").at("value").get<double>(), 1e-9);
}

TEST(ReviewJson, UnitsFollowTheReport) {
    const CommandResult r = Kestrol({"size", kScrubber, "--format", "json", "--units", "us"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json report = json::parse(r.out);
    const json& level = report.at("review")[0].at("values").at("minimum_liquid_level");
    EXPECT_EQ(level.at("unit"), "ft");
    EXPECT_NEAR(level.at("value").get<double>(), 3.0, 1e-12);
    EXPECT_EQ(report.at("mechanical").at("vessel_weight").at("unit"), "lb");
}

TEST(ReviewJson, UnsizedCaseKeepsTheKeys) {
    // A vessel fixed far too small for its liquid cannot be sized.
    const std::string file = Scratch("small.json", R"({"orientation": "vertical", "pressure_kPa": 1000, "temperature_C": 40,
        "vapour_mass_flow_kg_h": 5000, "vapour_density_kg_m3": 10, "light_liquid_mass_flow_kg_h": 90000,
        "light_liquid_density_kg_m3": 800, "design": {"diameter_m": 0.3, "overall_length_m": 1.2}})");
    const CommandResult r = Kestrol({"size", file, "--format", "json"});
    ASSERT_EQ(r.status, 1) << r.out;
    const json report = json::parse(r.out);
    EXPECT_TRUE(report.at("governing").is_null());
    EXPECT_EQ(report.at("review"), json::array());
}

const std::string kBatchHeader =
    "name,orientation,pressure_kPa,temperature_C,vapour_mass_flow_kg_h,vapour_density_kg_m3,light_liquid_mass_flow_kg_h,"
    "light_liquid_density_kg_m3,heavy_liquid_mass_flow_kg_h,heavy_liquid_density_kg_m3\n";
const std::string kScrubberRow = "scrubber,vertical,3500,35,60000,28,1500,720,,\n";
const std::string kProductionRow = "production,horizontal,1200,55,25000,9.5,90000,830,40000,1020\n";

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t at = line.find(','); at != std::string::npos; at = line.find(',', start)) {
        fields.push_back(line.substr(start, at - start));
        start = at + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

TEST(ReviewCsv, ColumnsAndWarningCount) {
    const std::string file = Scratch("cases.csv", kBatchHeader + kScrubberRow + kProductionRow + kScrubberRow);
    const CommandResult r = Kestrol({"size", file});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(r.out.substr(start, end - start));
    ASSERT_EQ(lines.size(), 4u);
    const std::vector<std::string> header = Fields(lines[0]);
    auto column = [&](const std::string& name) {
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i] == name) return i;
        ADD_FAILURE() << "no column " << name;
        return std::size_t{0};
    };
    const std::vector<std::string> scrubber = Fields(lines[1]);
    const std::vector<std::string> production = Fields(lines[2]);
    ASSERT_EQ(scrubber.size(), header.size());
    EXPECT_EQ(scrubber[column("governing_diameter")], "vapour-load");
    EXPECT_EQ(scrubber[column("governing_length")], "ratio-floor");
    // The spare height above the scrubber's low level is told by the level's finding.
    EXPECT_EQ(scrubber[column("warnings")], "level-below-minimum;gas-load-out-of-range");
    EXPECT_GT(std::stod(scrubber[column("vapour_load_percent")]), 99.0);
    EXPECT_NEAR(std::stod(scrubber[column("vessel_weight_kg")]), 16588.0, 1.0);
    EXPECT_EQ(production[column("governing_diameter")], "liquid-holdup");
    EXPECT_EQ(production[column("governing_length")], "pressure-class-ratio");
    EXPECT_EQ(production[column("warnings")], "");
    EXPECT_EQ(scrubber[column("status")], "sized");

    At(r.err, "2 sized cases with review warnings: level-below-minimum 2, gas-load-out-of-range 2\n");
}

TEST(ReviewCsv, BadRowKeepsItsColumnsInLine) {
    const std::string file = Scratch("cases.csv", kBatchHeader + "cold,vertical,3500,-300,60000,28,1500,720,,\n" + kProductionRow);
    const CommandResult r = Kestrol({"size", file});
    EXPECT_EQ(r.status, 1);
    const std::size_t first = r.out.find('\n');
    const std::size_t second = r.out.find('\n', first + 1);
    const std::vector<std::string> header = Fields(r.out.substr(0, first));
    const std::string bad = r.out.substr(first + 1, second - first - 1);
    // The message holds no comma, so the fields line up with the header.
    EXPECT_EQ(Fields(bad).size(), header.size()) << bad;
    EXPECT_NE(bad.find("bad input"), std::string::npos);
    EXPECT_NE(bad.find("below absolute zero"), std::string::npos) << bad;
}

struct StrictRow {
    const char* name;
    std::string file;  ///< a case file, or batch rows after the header
    bool batch;
    bool strict;
    int status;
};

const StrictRow kStrictRows[] = {
    {"WarningsPassWithoutStrict", kScrubber, false, false, 0},
    {"WarningsFailWithStrict", kScrubber, false, true, 1},
    {"NotesAlonePassStrict", kProduction, false, true, 0},
    {"BatchWithAWarningFailsStrict", kProductionRow + kScrubberRow, true, true, 1},
    {"BatchWithoutWarningsPassesStrict", kProductionRow + kProductionRow, true, true, 0},
};

class StrictTest : public testing::TestWithParam<StrictRow> {};

TEST_P(StrictTest, ExitStatus) {
    const StrictRow& row = GetParam();
    const std::string input = row.batch ? Scratch("cases.csv", kBatchHeader + row.file) : row.file;
    std::vector<std::string> args = {"size", input, "-o", Scratch("out.txt", "")};
    if (row.strict) args.push_back("--strict");
    const CommandResult r = Kestrol(args);
    EXPECT_EQ(r.status, row.status) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Rows, StrictTest, testing::ValuesIn(kStrictRows), testing_support::RowName());

TEST(ReviewSvg, FlaggedLevelAndHeightInTheWarningColour) {
    const std::string svgFile = Scratch("v.svg", "");
    ASSERT_EQ(Kestrol({"size", kScrubber, "--svg", svgFile}).status, 0);
    std::ifstream in(svgFile);
    const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    At(svg, "liquid level 0.178 m: below the minimum level</text>");
    // Its spare height belongs to the level's finding, drawn at the level.
    EXPECT_EQ(svg.find("height set by the ratio"), std::string::npos);
    At(svg, "stroke=\"#d4380d\"");
    At(svg, "fill=\"#d4380d\"");

    const std::string calm = Scratch("p.svg", "");
    ASSERT_EQ(Kestrol({"size", kProduction, "--svg", calm}).status, 0);
    std::ifstream in2(calm);
    const std::string plain((std::istreambuf_iterator<char>(in2)), std::istreambuf_iterator<char>());
    EXPECT_EQ(plain.find("#d4380d"), std::string::npos);
}

struct TemperatureRow {
    const char* name;
    const char* temperature;
    int status;
};

const TemperatureRow kTemperatureRows[] = {
    {"AbsoluteZeroIsAccepted", "-273.15", 0},
    {"BelowAbsoluteZeroIsBadInput", "-273.16", 2},
    {"MinusThreeHundredIsBadInput", "-300", 2},
};

class TemperatureTest : public testing::TestWithParam<TemperatureRow> {};

TEST_P(TemperatureTest, RefusedBelowAbsoluteZero) {
    const std::string file = Scratch("case.json", std::string(R"({"orientation": "vertical", "pressure_kPa": 3500, "temperature_C": )") +
                                                      GetParam().temperature +
                                                      R"(, "vapour_mass_flow_kg_h": 60000, "vapour_density_kg_m3": 28,
        "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720})");
    const CommandResult r = Kestrol({"size", file, "-o", Scratch("out.txt", "")});
    EXPECT_EQ(r.status, GetParam().status) << r.err;
    if (GetParam().status == 2) {
        EXPECT_NE(r.err.find("temperature_C: is below absolute zero (-273.15 deg C)"), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TemperatureTest, testing::ValuesIn(kTemperatureRows), testing_support::RowName());

}  // namespace
}  // namespace kestrol
