// A rating sizes the vessel the engineer described: a given length is honoured in either
// orientation, and "(given)" stands only beside a value that equals what was given.
#include <cmath>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "model/case_file.h"
#include "host/report.h"
#include "model/sizing_run.h"
#include "row_name.h"

namespace kestrol {
namespace {

using nlohmann::json;

const char* const kFeed = R"("pressure_kPa": 2000, "temperature_C": 40, "vapour_mass_flow_kg_h": 15000, "vapour_density_kg_m3": 16,
    "light_liquid_mass_flow_kg_h": 20000, "light_liquid_density_kg_m3": 800)";

struct GivenRow {
    const char* name;
    const char* orientation;
    const char* design;
    double diameter;  ///< expected; 0 when the sizing chooses it
    double length;
    double ratio;     ///< expected; 0 when it follows from the others
    bool diameterGiven, lengthGiven, ratioGiven;
};

const GivenRow kGivenRows[] = {
    {"HorizontalLength7", "horizontal", R"({"diameter_m": 1.8, "overall_length_m": 7.0})", 1.8, 7.0, 7.0 / 1.8 - 0.5, true, true, false},
    {"HorizontalLength5", "horizontal", R"({"diameter_m": 1.8, "overall_length_m": 5.0})", 1.8, 5.0, 5.0 / 1.8 - 0.5, true, true, false},
    {"HorizontalLength9", "horizontal", R"({"diameter_m": 1.8, "overall_length_m": 9.0})", 1.8, 9.0, 9.0 / 1.8 - 0.5, true, true, false},
    {"HorizontalLength12", "horizontal", R"({"diameter_m": 1.8, "overall_length_m": 12.0})", 1.8, 12.0, 12.0 / 1.8 - 0.5, true, true, false},
    {"HorizontalLengthAndRatio", "horizontal", R"({"overall_length_m": 8.0, "ratio": 3.5})", 2.0, 8.0, 3.5, false, true, true},
    {"HorizontalRatioOnly", "horizontal", R"({"diameter_m": 1.8, "ratio": 3.0})", 1.8, 6.3, 3.0, true, false, true},
    {"VerticalDiameterAndLength", "vertical", R"({"diameter_m": 2.0, "overall_length_m": 8.0})", 2.0, 8.0, 3.5, true, true, false},
    {"VerticalAllThreeConsistent", "vertical", R"({"diameter_m": 2.0, "overall_length_m": 8.0, "ratio": 3.5})", 2.0, 8.0, 3.5, true, true, true},
};

class GivenDesignTest : public testing::TestWithParam<GivenRow> {};

TEST_P(GivenDesignTest, ReportsTheVesselThatWasDescribed) {
    const GivenRow& row = GetParam();
    const std::string text = std::string("{") + kFeed + R"(, "orientation": ")" + row.orientation + R"(", "design": )" + row.design + "}";
    const host::SizingCase c = host::ParseCaseJson(text, "case.json");
    const host::SizingOutcome o = host::SizeCase(c);
    ASSERT_TRUE(o.Sized()) << host::ExplainFailure(c, o);
    const json report = host::JsonDocument(c, o, host::UnitSystem::SI, "case.json");
    const json& vessel = report.at("vessel");
    const double diameter = vessel.at("inside_diameter").at("value").get<double>();
    const double length = vessel.at("overall_length").at("value").get<double>();
    const double ratio = vessel.at("length_to_diameter_ratio").get<double>();
    EXPECT_NEAR(diameter, row.diameter, 1e-12 * row.diameter);
    EXPECT_NEAR(length, row.length, 1e-12 * row.length);
    EXPECT_NEAR(ratio, row.ratio, 1e-12 * row.ratio);
    EXPECT_EQ(vessel.at("inside_diameter").at("given"), row.diameterGiven);
    EXPECT_EQ(vessel.at("overall_length").at("given"), row.lengthGiven);

    const std::string textReport = host::TextReport(c, o, host::UnitSystem::SI, "case.json");
    const std::string lengthLabel = std::string(row.orientation) == "vertical" ? "Overall height" : "Overall length";
    const std::size_t line = textReport.find(lengthLabel);
    ASSERT_NE(line, std::string::npos);
    const std::string lengthLine = textReport.substr(line, textReport.find('\n', line) - line);
    EXPECT_EQ(lengthLine.find("(given)") != std::string::npos, row.lengthGiven) << lengthLine;
}

INSTANTIATE_TEST_SUITE_P(Rows, GivenDesignTest, testing::ValuesIn(kGivenRows), testing_support::RowName());

// A design within rounding of the last digits is no contradiction; the given value then
// stays beside what the path computed, which is not marked as given.
TEST(GivenDesignTest, RoundedLastDigitsAreAccepted) {
    const std::string text =
        std::string("{") + kFeed + R"(, "orientation": "horizontal", "design": {"diameter_m": 1.8, "ratio": 3.33, "overall_length_m": 6.9})" + "}";
    const host::SizingCase c = host::ParseCaseJson(text, "case.json");
    const host::SizingOutcome o = host::SizeCase(c);
    ASSERT_TRUE(o.Sized()) << host::ExplainFailure(c, o);
    const json vessel = host::JsonDocument(c, o, host::UnitSystem::SI, "case.json").at("vessel");
    EXPECT_NEAR(vessel.at("overall_length").at("value").get<double>(), 1.8 * 3.83, 1e-9);
    EXPECT_EQ(vessel.at("overall_length").at("given"), false) << "6.894 m is not the 6.9 m given";
}

}  // namespace
}  // namespace kestrol
