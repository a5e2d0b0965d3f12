#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "drawn_vessels.h"
#include "file_text.h"
#include "host/batch.h"
#include "host/report.h"
#include "model/result_fields.h"
#include "row_name.h"

namespace kestrol {
namespace {

using host::Quantity;
using host::UnitSystem;
using testing_support::DrawnOutcome;
using testing_support::ThreePhaseCase;

struct FormatRow {
    const char* name;
    double value;
    int digits;
    const char* text;
};

const FormatRow kFormatRows[] = {
    {"RoundsHalfUpToWhole", 12563.83, 0, "12,564"},
    {"NegativeWithSeparators", -1234567.891, 2, "-1,234,567.89"},
    {"PadsDigits", 0.5, 3, "0.500"},
    {"ThreeDigitsNoSeparator", 999.0, 0, "999"},
    {"FourDigitsOneSeparator", 1000.0, 0, "1,000"},
    {"NegativeThreeDigitsNoSeparator", -100.0, 1, "-100.0"},
};

class FormatNumberTest : public testing::TestWithParam<FormatRow> {};

TEST_P(FormatNumberTest, MatchesRow) {
    EXPECT_EQ(host::FormatNumber(GetParam().value, GetParam().digits), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rows, FormatNumberTest, testing::ValuesIn(kFormatRows), testing_support::RowName());

struct ConvertRow {
    const char* name;
    double si;
    Quantity quantity;
    UnitSystem system;
    double shown;
    double tolerance;  ///< the conversion factors' own precision
};

const ConvertRow kConvertRows[] = {
    {"MetreInFeet", 0.3048, Quantity::Length, UnitSystem::US, 1.0, 1e-12},
    {"FixedLengthShownAsMagnitude", -0.9144, Quantity::Length, UnitSystem::US, 3.0, 1e-12},
    {"ThicknessInInches", 0.0254, Quantity::Thickness, UnitSystem::US, 0.999998, 1e-9},
    {"ThicknessInMillimetres", 0.009525, Quantity::Thickness, UnitSystem::SI, 9.525, 1e-12},
    {"AtmosphereIsZeroGauge", 101.325, Quantity::Pressure, UnitSystem::US, 0.0, 1e-4},
    {"BoilingWaterInFahrenheit", 100.0, Quantity::Temperature, UnitSystem::US, 212.0, 1e-12},
    {"NegativeTemperatureKeepsSign", -40.0, Quantity::Temperature, UnitSystem::US, -40.0, 1e-12},
    {"KilogramsInPounds", 0.45359237, Quantity::MassFlow, UnitSystem::US, 1.0, 1e-12},
    {"WaterDensityInPoundsPerCubicFoot", 1000.0, Quantity::Density, UnitSystem::US, 62.42796, 1e-5},
    {"StressInPsi", 6.89475908677537, Quantity::Stress, UnitSystem::US, 1.0, 1e-6},
    {"VelocityInFeetPerSecond", 0.3048, Quantity::Velocity, UnitSystem::US, 1.0, 1e-12},
    {"SecondsStaySeconds", -600.0, Quantity::Time, UnitSystem::US, 600.0, 0.0},
};

class ConvertTest : public testing::TestWithParam<ConvertRow> {};

TEST_P(ConvertTest, MatchesRow) {
    const ConvertRow& row = GetParam();
    EXPECT_NEAR(host::Convert(row.si, row.quantity, row.system), row.shown, row.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Rows, ConvertTest, testing::ValuesIn(kConvertRows), testing_support::RowName());

TEST(TextReportTest, SizedVerticalVesselShowsGroupsUnitsAndGivenValues) {
    host::SizingCase c = ThreePhaseCase();
    c.values[static_cast<std::size_t>(host::FindCaseKey("diameter_m", true))] = 1.524;
    const host::SizingOutcome o = DrawnOutcome(0, -1.524, 6.0);
    const std::string text = host::TextReport(c, o, UnitSystem::SI, "case.json");
    for (const char* expected : {"\nVessel\n", "\nLiquids\n", "\nVapour\n", "\nMechanical\n", "\nCost\n", "Overall height", "1.524 m  (given)",
                                 "600 s  (10.0 min)", "Disengagement height", "1 (carbon steel)", "9.5 mm", "12,564 USD",
                                 "Result: sized."})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(text.find("Vapour space height"), std::string::npos) << "a horizontal vessel's row";
}

TEST(TextReportTest, UsUnitsReportFeetInchesAndPsig) {
    const host::SizingOutcome o = DrawnOutcome(1, 3.048, 12.192);
    const std::string text = host::TextReport(ThreePhaseCase(), o, UnitSystem::US, "case.json");
    for (const char* expected : {"10.00 ft", "40.00 ft", "0.375 in", "psig", "131.0 deg F", "lb/h", "Vapour space height"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(text.find(" m\n"), std::string::npos) << text;
}

TEST(TextReportTest, MissingResultsAreNamedAndTheVerdictIsPlain) {
    host::SizingOutcome o = DrawnOutcome(0, 1.524, 6.0);
    o.values[static_cast<std::size_t>(Index(Slot::Diameter))] = kEmptyValue;
    o.values[static_cast<std::size_t>(Index(Slot::WallThickness))] = kEmptyValue;
    const std::string text = host::TextReport(ThreePhaseCase(), o, UnitSystem::SI, "case.json");
    EXPECT_NE(text.find("Result: NOT SIZED."), std::string::npos) << text;
    EXPECT_NE(text.find("missing: inside diameter and wall thickness"), std::string::npos) << text;
    EXPECT_NE(text.find("not computed"), std::string::npos) << text;
}

TEST(JsonReportTest, CarriesTheSameResultsWithUnitsAlongside) {
    const host::SizingOutcome o = DrawnOutcome(1, 3.048, 12.192);
    const nlohmann::json report = nlohmann::json::parse(host::JsonReport(ThreePhaseCase(), o, UnitSystem::US, "case.json"));
    EXPECT_EQ(report["sized"], true);
    EXPECT_EQ(report["vessel"]["orientation"], "horizontal");
    EXPECT_EQ(report["vessel"]["inside_diameter"]["unit"], "ft");
    EXPECT_NEAR(report["vessel"]["inside_diameter"]["value"].get<double>(), 10.0, 1e-12);
    EXPECT_NEAR(report["vessel"]["length_to_diameter_ratio"].get<double>(), 3.5, 1e-12);
    EXPECT_EQ(report["mechanical"]["material_code"], 1);
    EXPECT_EQ(report["cost"]["total_cost"]["unit"], "USD");
    EXPECT_EQ(report["feed"]["pressure"]["unit"], "psig");
    EXPECT_TRUE(report["liquids"].contains("heavy_liquid_level"));
    EXPECT_TRUE(report["vapour"]["disengagement_height"].is_null()) << "vertical only";
    EXPECT_EQ(report["missing_results"], nlohmann::json::array());
}

TEST(JsonReportTest, FailedCaseListsMissingResultsAndNoGroups) {
    host::SizingOutcome o;
    o.result = SIZING_E_NOPERCENT;
    const nlohmann::json report = nlohmann::json::parse(host::JsonReport(ThreePhaseCase(), o, UnitSystem::SI, "case.json"));
    EXPECT_EQ(report["sized"], false);
    EXPECT_NE(report["problem"].get<std::string>().find("assumed_liquid_percent"), std::string::npos);
    EXPECT_TRUE(report["vessel"]["inside_diameter"].is_null());
    EXPECT_TRUE(report["vessel"]["orientation"].is_null());
}

// A case that was not sized shows no dimension, level, wall or cost, however absurd the
// numbers the failed search left behind; the design basis it was sized against stays.
struct UnsizedRow {
    const char* name;
    bool pathFailed;
};

const UnsizedRow kUnsizedRows[] = {{"PathFailed", true}, {"RequiredResultMissing", false}};

class UnsizedReportTest : public testing::TestWithParam<UnsizedRow> {};

TEST_P(UnsizedReportTest, ShowsNoResultsOnlyTheBasis) {
    host::SizingOutcome o = DrawnOutcome(0, 4.2e69, 7.0e70);
    o.pathFailed = GetParam().pathFailed;
    o.values[static_cast<std::size_t>(Index(Slot::WallThickness))] = 7.5e72;
    o.values[static_cast<std::size_t>(Index(Slot::VesselCost))] = kEmptyValue;
    const host::SizingCase c = ThreePhaseCase();
    ASSERT_FALSE(o.Sized());

    const std::string text = host::TextReport(c, o, UnitSystem::SI, "case.json");
    EXPECT_EQ(text.find("e+"), std::string::npos) << text;
    EXPECT_EQ(text.find(",000,000,000"), std::string::npos) << text;
    EXPECT_NE(text.find("1 (carbon steel)"), std::string::npos) << "the material is part of the basis\n" << text;

    const nlohmann::json report = nlohmann::json::parse(host::JsonReport(c, o, UnitSystem::SI, "case.json"));
    for (const char* group : {"vessel", "liquids", "cost"}) {
        for (const auto& item : report.at(group).items()) {
            if (item.key() == "orientation" || item.key() == "orientation_chosen_by_sizing" || item.key() == "cost_index") continue;
            EXPECT_TRUE(item.value().is_null()) << group << "." << item.key() << " = " << item.value();
        }
    }
    EXPECT_TRUE(report["mechanical"]["wall_thickness"].is_null());
    EXPECT_EQ(report["mechanical"]["material_code"], 1);
    EXPECT_NEAR(report["vapour"]["allowable_vapour_velocity"]["value"].get<double>(), 0.4, 1e-15);

    std::string row;
    host::AppendResultColumns(row, c, o);
    EXPECT_EQ(row.find("e+"), std::string::npos) << row;
    EXPECT_NE(row.find(",not sized,"), std::string::npos) << row;
    EXPECT_EQ(row.rfind("vertical,,,,", 0), 0u) << "diameter, length, ratio and heavy level are empty: " << row;
}

INSTANTIATE_TEST_SUITE_P(Rows, UnsizedReportTest, testing::ValuesIn(kUnsizedRows), testing_support::RowName());

// The weight the cost comes from is a result of its own, reported whether or not the review
// runs. The worked example of the cost step: D = 1 m, L = 3 m, heads allowed 0.8116 D, carbon
// steel 7861.088 kg/m3, a 6/16 in wall: W = 3.141592654 x 1 x (0.8116 x 1 + 3) x 7861.088 x
// 0.0095250 = 896.614 kg, 896.614 / 0.45359237 = 1,976.7 lb.
host::SizingOutcome WorkedExampleOutcome() {
    host::SizingOutcome o = DrawnOutcome(0, 1.0, 3.0);
    o.values[static_cast<std::size_t>(Index(Slot::HeadLengthFactor))] = 0.8116;
    return o;
}
constexpr double kWorkedExampleWeight = 896.614;  // kg, to the six digits the example prints

std::string LineWith(const std::string& text, const std::string& label) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  " + label + " ", 0) == 0) return line;
    return "";
}

TEST(VesselWeightFieldTest, EveryOutputShowsItWithoutTheReview) {
    const host::SizingCase c = ThreePhaseCase();
    const host::SizingOutcome o = WorkedExampleOutcome();
    ASSERT_TRUE(o.Sized());
    const std::string text = host::TextReport(c, o, UnitSystem::SI, "case.json", false);
    EXPECT_EQ(LineWith(text, "Vessel weight"), "  Vessel weight                      897 kg") << text;
    EXPECT_LT(text.find("  Wall thickness"), text.find("  Vessel weight")) << "it closes the mechanical results";
    EXPECT_LT(text.find("  Vessel weight"), text.find("\nCost\n"));
    EXPECT_EQ(LineWith(host::TextReport(c, o, UnitSystem::US, "case.json", false), "Vessel weight"),
              "  Vessel weight                    1,977 lb");

    const nlohmann::json report = host::JsonDocument(c, o, UnitSystem::SI, "case.json", false);
    const nlohmann::json& weight = report.at("mechanical").at("vessel_weight");
    ASSERT_TRUE(weight.is_object()) << report.at("mechanical");
    EXPECT_NEAR(weight.at("value").get<double>(), kWorkedExampleWeight, 5e-4);
    EXPECT_EQ(weight.at("unit"), "kg");
    EXPECT_EQ(weight.at("given"), false);

    const std::string header = host::ResultHeader();
    std::string row;
    host::AppendResultColumns(row, c, o);
    const auto cells = [](const std::string& line) {
        std::vector<std::string> out(1);
        for (const char ch : line) {
            if (ch == ',') {
                out.emplace_back();
            } else {
                out.back().push_back(ch);
            }
        }
        return out;
    };
    const std::vector<std::string> names = cells(header), values = cells(row);
    const auto at = std::find(names.begin(), names.end(), "vessel_weight_kg");
    ASSERT_EQ(std::count(names.begin(), names.end(), "vessel_weight_kg"), 1) << header;
    ASSERT_LT(static_cast<std::size_t>(at - names.begin()), values.size()) << row;
    EXPECT_NEAR(std::stod(values[static_cast<std::size_t>(at - names.begin())]), kWorkedExampleWeight, 5e-4) << row;
}

// Like the wall it is made of, a vessel that was not sized has no weight.
TEST(VesselWeightFieldTest, NotReportedForAnUnsizedVessel) {
    host::SizingOutcome o = WorkedExampleOutcome();
    o.pathFailed = true;
    const nlohmann::json report = host::JsonDocument(ThreePhaseCase(), o, UnitSystem::SI, "case.json", true);
    EXPECT_TRUE(report.at("mechanical").at("vessel_weight").is_null());
    EXPECT_EQ(LineWith(host::TextReport(ThreePhaseCase(), o, UnitSystem::SI, "case.json", true), "Vessel weight"),
              "  Vessel weight                        -  not computed");
}

// The field is the very weight the cost step priced: put through the step's correlation,
// Cv = exp(a + (b + c ln W) ln W) x CI / 252.5 x F, it gives slot 36 to the last bit. Any other
// reading of the slots (a full-precision pi, the cylinder alone, the wall before the
// allowance) moves the cost. The bundled cases and cases with a given wall and other materials.
const char* const kPricedCases[] = {
    R"({"orientation": "vertical", "pressure_kPa": 150, "temperature_C": 30, "vapour_mass_flow_kg_h": 5000,
        "vapour_density_kg_m3": 1.5, "light_liquid_mass_flow_kg_h": 500, "light_liquid_density_kg_m3": 998})",
    R"({"orientation": "horizontal", "pressure_kPa": 2500, "temperature_C": 60, "vapour_mass_flow_kg_h": 40000,
        "vapour_density_kg_m3": 20, "light_liquid_mass_flow_kg_h": 60000, "light_liquid_density_kg_m3": 780,
        "design": {"wall_thickness_m": 0.03, "material_code": 4}})",
    R"({"orientation": "vertical", "pressure_kPa": 900, "temperature_C": 250, "vapour_mass_flow_kg_h": 12000,
        "vapour_density_kg_m3": 8, "light_liquid_mass_flow_kg_h": 3000, "light_liquid_density_kg_m3": 850,
        "design": {"material_code": 3, "corrosion_allowance_m": 0}})",
};

TEST(VesselWeightFieldTest, IsTheWeightTheCostStepPriced) {
    std::vector<std::pair<std::string, std::string>> cases;
    const std::filesystem::path folder = std::filesystem::path(__FILE__).parent_path().parent_path() / "examples" / "cases";
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        cases.emplace_back(entry.path().string(), testing_support::ReadFile(entry.path()));
    for (const char* text : kPricedCases) cases.emplace_back("inline", text);
    const host::ResultField* weightField = nullptr;
    for (const host::ResultField& f : host::ResultFields())
        if (std::string(f.key) == "vessel_weight") weightField = &f;
    ASSERT_NE(weightField, nullptr);
    for (const auto& [source, text] : cases) {
        const host::SizingCase c = host::ParseCaseJson(text, source);
        const host::SizingOutcome o = host::SizeCase(c);
        ASSERT_TRUE(o.Sized()) << source << "\n" << text;
        ASSERT_TRUE(host::Reported(*weightField, c, o)) << source;
        const double w = host::FieldValue(*weightField, o);
        const double lnW = std::log(w);
        const double cost = std::exp(o.At(Slot::VesselCostA) + (o.At(Slot::VesselCostB) + o.At(Slot::VesselCostC) * lnW) * lnW) *
                            (std::fabs(o.At(Slot::CostIndex)) * 0.0039603960396039604) * std::fabs(o.At(Slot::MaterialCostFactor));
        EXPECT_EQ(cost, o.At(Slot::VesselCost)) << source << ": weight " << w;
    }
}

// A control character in a name or a path would act on the terminal the report is printed on:
// the text report writes it out, sized or not; the JSON report keeps the name, in the library's
// escapes, so that a script reads back what the engineer wrote.
TEST(TextReportTest, ControlCharactersInNameAndPathAreWrittenOut) {
    for (int code = 1; code <= 0x7F; code = code == 0x1F ? 0x7F : code + 1) {
        host::SizingCase c = ThreePhaseCase();
        c.name = std::string("V-1 ") + static_cast<char>(code) + "[31m";
        const std::string source = std::string("case") + static_cast<char>(code) + ".json";
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(code));
        for (const bool sized : {true, false}) {
            host::SizingOutcome o = DrawnOutcome(0, 1.524, 6.0);
            if (!sized) o.values[static_cast<std::size_t>(Index(Slot::Diameter))] = kEmptyValue;
            const std::string text = host::TextReport(c, o, UnitSystem::SI, source);
            for (const char ch : text)
                ASSERT_TRUE(ch == '\n' || static_cast<unsigned char>(ch) >= 0x20) << "byte " << code << " in\n" << text;
            EXPECT_NE(text.find(std::string("V-1 ") + escape + "[31m  (case" + escape + ".json)"), std::string::npos) << text;
        }
        const nlohmann::json report = nlohmann::json::parse(host::JsonReport(c, DrawnOutcome(0, 1.524, 6.0), UnitSystem::SI, source));
        EXPECT_EQ(report["name"], c.name);
        EXPECT_EQ(report["source"], source);
    }
}

}  // namespace
}  // namespace kestrol
