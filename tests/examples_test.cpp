#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "command_runner.h"
#include "row_name.h"
#include "core/values.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kExamples = fs::path(__FILE__).parent_path().parent_path() / "examples";

using testing_support::CommandResult;
using testing_support::Kestrol;

double Value(const json& field) { return field.at("value").get<double>(); }

struct ExampleRow {
    const char* name;
    const char* file;
    const char* orientation;
    bool chosen;
    bool heavyLiquid;
    bool rating;  ///< the design block fixes the diameter and both levels
};

const ExampleRow kExamples_[] = {
    {"GasScrubber", "gas_scrubber_vertical.json", "vertical", false, false, false},
    {"ProductionSeparator", "production_separator_horizontal.json", "horizontal", false, true, false},
    {"DryGas", "dry_gas_no_liquid.json", "vertical", true, false, false},
    {"Rating", "rating_existing_vessel.json", "horizontal", false, true, true},
};

class ExampleCaseTest : public testing::TestWithParam<ExampleRow> {
protected:
    json Report(const std::string& units = "si") {
        const CommandResult r = Kestrol({"size", (kExamples / "cases" / GetParam().file).string(), "--format", "json", "--units", units});
        EXPECT_EQ(r.status, 0) << r.err << r.out;
        return json::parse(r.out);
    }
};

TEST_P(ExampleCaseTest, IsSizedWithAConsistentVessel) {
    const ExampleRow& row = GetParam();
    const json report = Report();
    ASSERT_EQ(report.at("sized"), true) << report.dump(2);
    const json& vessel = report.at("vessel");
    EXPECT_EQ(vessel.at("orientation"), row.orientation);
    EXPECT_EQ(vessel.at("orientation_chosen_by_sizing"), row.chosen);

    const double diameter = Value(vessel.at("inside_diameter"));
    const double length = Value(vessel.at("overall_length"));
    const double ratio = vessel.at("length_to_diameter_ratio").get<double>();
    // Two 2:1 heads each a quarter diameter deep on a cylinder of ratio x D.
    EXPECT_NEAR(length, (ratio + 0.5) * diameter, 1e-9 * length);
    if (!row.rating) {
        const double steps = diameter / kRoundingStep;
        EXPECT_NEAR(steps, std::round(steps), 1e-9) << "a sized diameter is a whole number of 6-inch steps";
    }
    const json& liquids = report.at("liquids");
    const double light = Value(liquids.at("light_liquid_layer"));
    const double heavy = row.heavyLiquid ? Value(liquids.at("heavy_liquid_level")) : 0.0;
    EXPECT_GT(light, 0.0);
    EXPECT_LT(heavy + light, row.orientation == std::string("vertical") ? length : diameter) << "the liquid stays inside the shell";
    EXPECT_GT(Value(liquids.at("holdup_time_below_minimum_level")), 0.0);

    const json& cost = report.at("cost");
    EXPECT_NEAR(Value(cost.at("total_cost")), Value(cost.at("vessel_cost")) + Value(cost.at("platforms_and_ladders_cost")), 1e-6);
    EXPECT_GT(Value(report.at("mechanical").at("wall_thickness")), 0.0);
}

TEST_P(ExampleCaseTest, UsUnitsReportTheSameVessel) {
    const json si = Report("si");
    const json us = Report("us");
    EXPECT_EQ(us.at("vessel").at("inside_diameter").at("unit"), "ft");
    EXPECT_NEAR(Value(us.at("vessel").at("inside_diameter")) * 0.3048, Value(si.at("vessel").at("inside_diameter")), 1e-12);
    EXPECT_EQ(us.at("mechanical").at("wall_thickness").at("unit"), "in");
    EXPECT_EQ(si.at("mechanical").at("wall_thickness").at("unit"), "mm");
    EXPECT_NEAR(Value(us.at("mechanical").at("wall_thickness")) / 39.37, Value(si.at("mechanical").at("wall_thickness")) / 1000.0, 1e-12);
}

TEST_P(ExampleCaseTest, TextReportEndsSized) {
    const CommandResult r = Kestrol({"size", (kExamples / "cases" / GetParam().file).string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nResult: sized.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("not computed"), std::string::npos) << r.out;
}

// Every example gives the viscosities its checks need, so that it shows them all.
TEST_P(ExampleCaseTest, ShowsItsSettlingChecksAndNozzles) {
    const json report = Report();
    const json& settling = report.at("settling");
    EXPECT_FALSE(settling.at("vapour_cut_size").is_null()) << settling.dump();
    EXPECT_FALSE(settling.at("drag_regime").is_null());
    const bool heavy = !report.at("feed").at("heavy_liquid_mass_flow").is_null();
    EXPECT_EQ(settling.at("heavy_in_light_cut_size").is_null(), !heavy);
    EXPECT_EQ(settling.at("light_in_heavy_cut_size").is_null(), !heavy);
    EXPECT_EQ(report.at("nozzles").size(), heavy ? 4u : 3u);
    for (const json& n : report.at("nozzles")) EXPECT_FALSE(n.at("nominal_size").is_null()) << n.dump();
    for (const json& f : report.at("review")) EXPECT_NE(f.at("code"), "settling-not-checked");
    const CommandResult r = Kestrol({"size", (kExamples / "cases" / GetParam().file).string()});
    EXPECT_NE(r.out.find("\nSettling\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nNozzles\n"), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Rows, ExampleCaseTest, testing::ValuesIn(kExamples_), testing_support::RowName());

TEST(RatingExampleTest, KeepsTheGivenDiameterAndLevels) {
    const CommandResult r = Kestrol({"size", (kExamples / "cases" / "rating_existing_vessel.json").string(), "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json report = json::parse(r.out);
    std::ifstream file(kExamples / "cases" / "rating_existing_vessel.json");
    const json design = json::parse(file).at("design");
    const json& diameter = report.at("vessel").at("inside_diameter");
    EXPECT_EQ(Value(diameter), design.at("diameter_m").get<double>());
    EXPECT_EQ(diameter.at("given"), true);
    EXPECT_EQ(Value(report.at("liquids").at("heavy_liquid_level")), design.at("heavy_liquid_level_m").get<double>());
    EXPECT_EQ(Value(report.at("liquids").at("light_liquid_layer")), design.at("light_liquid_layer_m").get<double>());
}

TEST(ExampleDrawingTest, SvgIsWrittenForASizedExample) {
    const fs::path svg = fs::temp_directory_path() / "kestrol-example-drawing.svg";
    fs::remove(svg);
    const CommandResult r = Kestrol({"size", (kExamples / "cases" / "production_separator_horizontal.json").string(), "--svg", svg.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ifstream file(svg);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("<svg"), std::string::npos);
    EXPECT_NE(text.str().find("heavy liquid level"), std::string::npos);
    file.close();  // Windows removes no file that is still open
    fs::remove(svg);
}

TEST(ExampleBatchTest, EveryGeneratedCaseIsSizedOrSaysWhy) {
    const fs::path results = fs::temp_directory_path() / "kestrol-example-results.csv";
    const CommandResult r = Kestrol({"size", (kExamples / "batch" / "cases.csv").string(), "-o", results.string()});
    std::ifstream input(kExamples / "batch" / "cases.csv"), output(results);
    std::string line;
    std::size_t inputRows = 0, outputRows = 0, sized = 0, unexplained = 0;
    while (std::getline(input, line)) ++inputRows;
    while (std::getline(output, line)) {
        ++outputRows;
        if (line.find(",sized,") != std::string::npos) ++sized;
        if (line.find(",not sized,") != std::string::npos && line.find("could not be sized; missing:") == std::string::npos) ++unexplained;
    }
    output.close();  // Windows removes no file that is still open
    fs::remove(results);
    EXPECT_EQ(outputRows, inputRows);
    EXPECT_EQ(unexplained, 0u);
    EXPECT_GT(sized, (inputRows - 1) * 9 / 10) << r.err;
    EXPECT_EQ(r.status, sized + 1 == outputRows ? 0 : 1) << r.err;
}

}  // namespace
}  // namespace kestrol
