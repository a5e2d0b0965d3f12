// The mechanical design at design conditions: the wall formulas against a published design,
// the pressures they give back, the stress table, the plates, vacuum and the review's findings.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mechanical/design_conditions.h"
#include "mechanical/plate_grades.h"
#include "model/case_file.h"
#include "review/review.h"
#include "row_name.h"
#include "sized_case.h"

namespace kestrol {
namespace {

using host::PlateGrade;
using testing_support::SizeJson;

constexpr double kInch = 0.0254;

// Pressure Vessel Engineering Ltd., sample calculation PVE-Sample 1 (Advanced Pressure Vessel
// 9.2.3, 2008), cylindrical shell S1: 100 psi, 96.125 in inside diameter corroded, 0.0625 in
// corrosion allowance, E = 0.70, a 1/2 in plate; it reports an actual circumferential stress of
// 15,780 psi. That is the stress at which the corroded plate holds exactly its 100 psi.
TEST(ShellFormulaTest, PublishedShellHoldsItsDesignPressureAtItsReportedStress) {
    const double corroded = 0.5 - 0.0625;  // [in]
    EXPECT_NEAR(mechanical::ShellMawp(corroded, 96.125 / 2.0, 15780.0, 0.70), 100.0, 0.01);
    // and the thickness the formula asks at that stress is the corroded plate
    EXPECT_NEAR(mechanical::ShellThicknessRequired(100.0, 96.125 / 2.0, 15780.0, 0.70), corroded, 1e-4);
}

struct FormulaRow {
    const char* name;
    double pressure, diameter, stress, efficiency;
};
const FormulaRow kFormulaRows[] = {
    {"LowPressure", 150.0, 1.0, 137895.0, 1.0},
    {"SpotRadiography", 2500.0, 2.4384, 137895.0, 0.85},
    {"NearTheThinWallLimit", 50000.0, 1.5, 137895.0, 1.0},
};
class WallFormulaTest : public testing::TestWithParam<FormulaRow> {};
TEST_P(WallFormulaTest, MawpOfTheRequiredWallIsThePressure) {
    const FormulaRow& r = GetParam();
    const double shell = mechanical::ShellThicknessRequired(r.pressure, r.diameter / 2.0, r.stress, r.efficiency);
    const double head = mechanical::HeadThicknessRequired(r.pressure, r.diameter, r.stress, r.efficiency);
    EXPECT_NEAR(mechanical::ShellMawp(shell, r.diameter / 2.0, r.stress, r.efficiency), r.pressure, 1e-9 * r.pressure);
    EXPECT_NEAR(mechanical::HeadMawp(head, r.diameter, r.stress, r.efficiency), r.pressure, 1e-9 * r.pressure);
    EXPECT_LT(head, shell);  // a 2:1 head asks a little less than the shell: P R / (S E - 0.1 P)
}
INSTANTIATE_TEST_SUITE_P(Rows, WallFormulaTest, testing::ValuesIn(kFormulaRows), testing_support::RowName());

TEST(HydrotestTest, ThirteenTenthsOfTheMawpTimesTheStressRatio) {
    EXPECT_DOUBLE_EQ(mechanical::HydrotestPressure(1000.0, 137.9, 137.9), 1300.0);
    EXPECT_NEAR(mechanical::HydrotestPressure(1000.0, 20.0, 12.0), 1300.0 * 20.0 / 12.0, 1e-9);
}

struct StressRow {
    const char* name;
    PlateGrade grade;
    double celsius;
    double ksi;  // kEmptyValue: past the table
};
double C(double f) { return (f - 32.0) / 1.8; }
const StressRow kStressRows[] = {
    {"ColdIsTheFirstRow", PlateGrade::SA516Gr70, -40.0, 20.0},
    {"ListedTemperature", PlateGrade::SA516Gr70, C(700.0), 18.1},
    {"HalfwayBetweenRows", PlateGrade::SA516Gr70, C(625.0), 19.1},
    {"PastTheTable", PlateGrade::SA516Gr70, C(1001.0), kEmptyValue},
    {"StainlessFallsEarly", PlateGrade::SA240Type304, C(150.0), 18.35},
    {"Type316", PlateGrade::SA240Type316, C(200.0), 17.3},
    {"LowTemperatureGradeSameLine", PlateGrade::SA516Gr70LowTemperature, C(775.0), 13.4},
};
class AllowableStressTest : public testing::TestWithParam<StressRow> {};
TEST_P(AllowableStressTest, InterpolatesStraightBetweenListedTemperatures) {
    const StressRow& r = GetParam();
    const double kpa = mechanical::AllowableStressKpa(r.grade, r.celsius);
    if (IsEmpty(r.ksi)) {
        EXPECT_TRUE(IsEmpty(kpa));
    } else {
        EXPECT_NEAR(kpa / 6894.75908677537, r.ksi, 1e-9);
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, AllowableStressTest, testing::ValuesIn(kStressRows), testing_support::RowName());

TEST(PlateTest, RoundsUpToTheListedPlates) {
    EXPECT_NEAR(mechanical::RoundUpToPlate(0.26 * kInch) / kInch, 0.3125, 1e-12);
    EXPECT_NEAR(mechanical::RoundUpToPlate(0.375 * kInch) / kInch, 0.375, 1e-12);  // a plate stays
    EXPECT_NEAR(mechanical::RoundUpToPlate(1.13 * kInch) / kInch, 1.25, 1e-12);    // eighths past 1 1/8 in
    EXPECT_NEAR(mechanical::RoundUpToPlate(0.01 * kInch) / kInch, 0.125, 1e-12);
}

TEST(MaterialCodeTest, CodesMapToTheNearestGrade) {
    EXPECT_EQ(mechanical::GradeOfMaterialCode(1), PlateGrade::SA516Gr70);
    EXPECT_EQ(mechanical::GradeOfMaterialCode(5), PlateGrade::SA516Gr70);
    EXPECT_EQ(mechanical::GradeOfMaterialCode(2), PlateGrade::SA240Type304);
    EXPECT_EQ(mechanical::GradeOfMaterialCode(3), PlateGrade::SA240Type316);
    EXPECT_EQ(mechanical::GradeOfMaterialCode(4), PlateGrade::Unset);
}

std::string Scrubber(const std::string& extra) {
    return R"({"orientation":"vertical","pressure_kPa":3500,"vapour_mass_flow_kg_h":60000,"vapour_density_kg_m3":28,)"
           R"("light_liquid_mass_flow_kg_h":1500,"light_liquid_density_kg_m3":720)" +
           extra + "}";
}

TEST(DesignConditionsTest, DefaultsFromTheOperatingPointAndPlatesHoldTheDesignPressure) {
    const auto [c, o] = SizeJson(Scrubber(R"(,"temperature_C":35)"));
    const mechanical::Design d = mechanical::DesignAtConditions(c, o);
    ASSERT_TRUE(d.computed);
    EXPECT_FALSE(d.designPressureGiven);
    EXPECT_NEAR(d.designTemperatureC, 35.0 + 25.0 / 1.8, 1e-9);
    EXPECT_EQ(d.grade, PlateGrade::SA516Gr70);
    EXPECT_GT(d.designPressureKpa, 3500.0);
    EXPECT_GE(d.mawpKpa, d.designPressureKpa);  // the chosen plates hold the design pressure
    EXPECT_GE(d.shellThickness, d.shellRequired);
    EXPECT_GE(d.hydrotestKpa - 101.325, 1.3 * (d.mawpKpa - 101.325) - 1e-6);
    EXPECT_GT(d.weights.waterFull, d.weights.operating);
    EXPECT_GT(d.weights.operating, d.weights.empty);
    EXPECT_TRUE(IsEmpty(d.weights.nozzles));
}

TEST(DesignConditionsTest, VacuumIsFlaggedForFullVacuum) {
    const auto [c, o] = SizeJson(R"({"orientation":"vertical","pressure_kPa":50,"temperature_C":35,"vapour_mass_flow_kg_h":2000,)"
                                 R"("vapour_density_kg_m3":0.6,"light_liquid_mass_flow_kg_h":500,"light_liquid_density_kg_m3":900})");
    const mechanical::Design d = mechanical::DesignAtConditions(c, o);
    EXPECT_TRUE(d.fullVacuum);
    EXPECT_NEAR(d.designPressureKpa, (10.0 + 14.696) / 0.1450377, 1e-9);  // the rule's floor of 10 psig
    const auto [c2, o2] = SizeJson(Scrubber(R"(,"temperature_C":35)"));
    EXPECT_FALSE(mechanical::DesignAtConditions(c2, o2).fullVacuum);
}

const review::Finding* Find(const review::Review& r, const char* code) {
    for (const review::Finding& f : r)
        if (std::strcmp(review::CodeName(f.code), code) == 0) return &f;
    return nullptr;
}

struct FindingRow {
    const char* name;
    const char* extra;
    const char* code;
    bool fires;
};
const FindingRow kFindingRows[] = {
    {"OperatedWallThinnerThanDesign", R"(,"temperature_C":35,"design_pressure_kPa":6000)", "wall-thinner-than-design", true},
    {"DesignAtOperatingPressureNeedsLess", R"(,"temperature_C":35,"design_pressure_kPa":3500)", "wall-thinner-than-design", false},
    {"ColdCarbonSteel", R"(,"temperature_C":-40)", "below-minimum-metal-temperature", true},
    {"ColdImpactTested", R"(,"temperature_C":-40,"material":"SA-516-70-LT")", "below-minimum-metal-temperature", false},
    {"ColdStainless", R"(,"temperature_C":-100,"material":"SA-240-304")", "below-minimum-metal-temperature", false},
    {"PressurePastThinWall", R"(,"temperature_C":35,"design_pressure_kPa":60000,"radiography":"none")", "design-wall-beyond-range", true},
    {"PressureWithinThinWall", R"(,"temperature_C":35)", "design-wall-beyond-range", false},
};
class DesignFindingTest : public testing::TestWithParam<FindingRow> {};
TEST_P(DesignFindingTest, FiresOnlyWhereItShould) {
    const auto [c, o] = SizeJson(Scrubber(GetParam().extra));
    ASSERT_TRUE(o.Sized());
    const review::Review r = review::ReviewCase(c, o);
    const review::Finding* f = Find(r, GetParam().code);
    EXPECT_EQ(f != nullptr, GetParam().fires);
    if (f) {
        EXPECT_FALSE(review::Describe(*f, r.governing, host::UnitSystem::SI).empty());
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, DesignFindingTest, testing::ValuesIn(kFindingRows), testing_support::RowName());

TEST(DesignFindingTest, SaysByHowMuchTheWallIsThinner) {
    const auto [c, o] = SizeJson(Scrubber(R"(,"temperature_C":35,"design_pressure_kPa":6000)"));
    const review::Review r = review::ReviewCase(c, o);
    const review::Finding* f = Find(r, "wall-thinner-than-design");
    ASSERT_NE(f, nullptr);
    EXPECT_NEAR(f->Get("thinner_by"), f->Get("wall_thickness_at_design_conditions") - f->Get("wall_thickness"), 1e-12);
}

TEST(MechanicalInputsTest, RefusesAnUnknownGradeAndSuggestsTheKeys) {
    EXPECT_THROW(host::ParseCaseJson(Scrubber(R"(,"temperature_C":35,"material":"A36")"), "t.json"), host::InputError);
    try {
        host::ParseCaseJson(Scrubber(R"(,"temperature_C":35,"design_presure_kPa":4000)"), "t.json");
        FAIL();
    } catch (const host::InputError& e) {
        EXPECT_NE(std::string(e.what()).find("design_pressure_kPa"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace kestrol
