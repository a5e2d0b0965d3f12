// The mechanical design at design conditions: the wall formulas against a published design,
// the pressures they give back, the stress table, the plates, vacuum and the review's findings.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mechanical/design_conditions.h"
#include "mechanical/nozzle_weights.h"
#include "mechanical/plate_grades.h"
#include "model/case_file.h"
#include "process/nozzles.h"
#include "process/pipe_schedule.h"
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
    // about 39 bar gauge at 49 deg C: past class 150's 19 bar, within class 300's 50
    ASSERT_TRUE(d.nozzleWeights.computed);
    EXPECT_EQ(d.nozzleWeights.flangeClass, 300);
    EXPECT_TRUE(IsEmpty(d.weights.internals));  // no mist eliminator named or sized
}

// The mesh pad: across an upright vessel's section, as thick as the sized height or a 6 in pad,
// at 12 lb/ft3; nothing weighed for another element, none, or a vessel lying down.
struct InternalsRow {
    const char* name;
    const char* extra;
    mechanical::InternalsGap gap;
    double thickness;  ///< [m]
};
const InternalsRow kInternalsRows[] = {
    {"NoElement", "", mechanical::InternalsGap::NoElement, 0.0},
    {"MeshNamedTakesATypicalPad", R"(,"mist_eliminator":"mesh")", mechanical::InternalsGap::None, 0.1524},
    {"MeshFromTheSizedHeight", R"(,"design":{"mist_eliminator_height_m":0.3})", mechanical::InternalsGap::None, 0.3},
    {"VaneIsNotWeighed", R"(,"mist_eliminator":"vane")", mechanical::InternalsGap::NotMesh, 0.0},
    {"NoneNamedOverTheHeight", R"(,"mist_eliminator":"none","design":{"mist_eliminator_height_m":0.3})", mechanical::InternalsGap::NoElement, 0.0},
};
class InternalsTest : public testing::TestWithParam<InternalsRow> {};
TEST_P(InternalsTest, WeighsTheMeshPadOfAnUprightVessel) {
    const InternalsRow& row = GetParam();
    const auto [c, o] = SizeJson(Scrubber(R"(,"temperature_C":35)" + std::string(row.extra)));
    ASSERT_TRUE(o.Sized());
    const mechanical::Design d = mechanical::DesignAtConditions(c, o);
    ASSERT_TRUE(d.computed);
    EXPECT_EQ(d.internalsWeight.gap, row.gap);
    if (row.gap != mechanical::InternalsGap::None) {
        EXPECT_TRUE(IsEmpty(d.weights.internals));
        return;
    }
    // 12 lb/ft3 at 16.018463 kg/m3 per lb/ft3
    const double diameter = std::fabs(o.At(Slot::Diameter));
    EXPECT_NEAR(mechanical::MeshPadDensity(), 192.2216, 1e-3);
    EXPECT_NEAR(d.weights.internals, 0.785398163 * diameter * diameter * row.thickness * 192.2216, 0.01);
    EXPECT_NEAR(d.weights.empty, d.weights.shell + d.weights.heads + d.weights.nozzles + d.weights.internals, 1e-9);
}
INSTANTIATE_TEST_SUITE_P(Rows, InternalsTest, testing::ValuesIn(kInternalsRows), testing_support::RowName());

TEST(InternalsTest, LyingDownThePadIsNotWeighed) {
    std::string horizontal = Scrubber(R"(,"temperature_C":35,"mist_eliminator":"mesh")");
    horizontal.replace(horizontal.find("vertical"), 8, "horizontal");
    const auto [c, o] = SizeJson(horizontal);
    ASSERT_TRUE(o.Sized());
    const mechanical::Design d = mechanical::DesignAtConditions(c, o);
    EXPECT_EQ(d.internalsWeight.gap, mechanical::InternalsGap::NotUpright);
    EXPECT_TRUE(IsEmpty(d.weights.internals));
}

// The weights add up: the nozzles join the shell and heads in the empty weight, and the liquid
// and the water come on top of that same empty weight.
TEST(DesignConditionsTest, WeightsSumFromTheirParts) {
    const auto [c, o] = SizeJson(Scrubber(R"(,"temperature_C":35)"));
    const mechanical::Design d = mechanical::DesignAtConditions(c, o);
    ASSERT_TRUE(d.nozzleWeights.computed);
    double nozzles = 0.0;
    for (std::size_t i = 0; i < d.nozzleWeights.count; ++i) nozzles += d.nozzleWeights.items[i].neck + d.nozzleWeights.items[i].flange;
    EXPECT_EQ(d.nozzleWeights.count, 3u);  // inlet, vapour outlet, liquid outlet
    EXPECT_NEAR(d.weights.nozzles, nozzles, 1e-9);
    EXPECT_NEAR(d.weights.empty, d.weights.shell + d.weights.heads + nozzles, 1e-9);
    // The same vessel in stainless steel has no flanges weighed: its empty weight is its plates alone.
    const auto [c2, o2] = SizeJson(Scrubber(R"(,"temperature_C":35,"material":"SA-240-316")"));
    const mechanical::Design s = mechanical::DesignAtConditions(c2, o2);
    ASSERT_TRUE(s.computed);
    EXPECT_EQ(s.nozzleWeights.gap, mechanical::NozzleGap::NoFlangeGroup);
    EXPECT_TRUE(IsEmpty(s.weights.nozzles));
    EXPECT_NEAR(s.weights.empty, s.weights.shell + s.weights.heads, 1e-9);
    // the liquid to the normal level and the water do not depend on what the empty weight holds
    EXPECT_NEAR(d.weights.operating - d.weights.empty, s.weights.operating - s.weights.empty, 1e-6);
    EXPECT_NEAR(d.weights.waterFull - d.weights.empty, s.weights.waterFull - s.weights.empty, 1e-6);
}

// The B16.5 group 1.1 table at its rows and halfway between them: the lightest class that holds
// the pressure, and none past class 1500 or past 538 deg C.
struct ClassRow {
    const char* name;
    double gaugeBar, celsius;
    int flangeClass;
};
const ClassRow kClassRows[] = {
    {"AtClass150sColdRating", 19.6, 20.0, 150},
    {"JustPastIt", 19.61, 38.0, 300},
    {"At100Celsius", 17.7, 100.0, 150},
    {"JustPastItAt100", 17.71, 100.0, 300},
    {"HalfwayBetween50And100Holds", 18.44, 75.0, 150},  // 18.45 bar there
    {"HalfwayBetween50And100Past", 18.46, 75.0, 300},
    {"HotClass300", 39.8, 300.0, 300},
    {"HotClass600", 39.81, 300.0, 600},
    {"Class1500Cold", 255.3, 38.0, 1500},
    {"PastClass1500", 255.4, 38.0, 0},
    {"PastTheTable", 1.0, 539.0, 0},
};
class FlangeClassTest : public testing::TestWithParam<ClassRow> {};
TEST_P(FlangeClassTest, TheLightestClassThatHoldsThePressure) {
    const ClassRow& r = GetParam();
    EXPECT_EQ(mechanical::ChooseFlangeClass(r.gaugeBar * 100.0, r.celsius), r.flangeClass);
}
INSTANTIATE_TEST_SUITE_P(Rows, FlangeClassTest, testing::ValuesIn(kClassRows), testing_support::RowName());

// One nozzle by hand: neck W = 0.0246615 (D - t) t kg/m (ASME B36.10M) over the API 650 Table
// 5.6a projection, plus the chart's weld-neck flange.
struct NozzleRow {
    const char* name;
    double nps;
    double outsideMm, wallMm;  // schedule 40
    double projectionMm;
    double designKpa;          // absolute, at 100 deg C
    int flangeClass;
    double flangeKg;
};
const NozzleRow kNozzleRows[] = {
    {"Six300", 6, 168.3, 7.11, 200, 2000.0, 300, 20.3},
    {"Two150", 2, 60.3, 3.91, 150, 1000.0, 150, 2.7},
    {"TwoAndAHalfTakesThreesProjection", 2.5, 73, 5.16, 175, 1000.0, 150, 4.5},
    {"Twenty600", 20, 508, 15.09, 275, 8000.0, 600, 310.5},
};
class NozzleWeightTest : public testing::TestWithParam<NozzleRow> {};
TEST_P(NozzleWeightTest, NeckOverTheProjectionAndTheFlange) {
    const NozzleRow& r = GetParam();
    process::Nozzles n;
    n.vesselDiameter = 3.0;
    n.items[0].fits = true;
    n.items[0].nominalInches = r.nps;
    n.items[0].insideDiameter = (r.outsideMm - 2.0 * r.wallMm) / 1000.0;
    n.count = 1;
    const mechanical::NozzleWeights w = mechanical::WeighNozzles(n, PlateGrade::SA516Gr70, r.designKpa, 100.0);
    ASSERT_TRUE(w.computed);
    EXPECT_EQ(w.flangeClass, r.flangeClass);
    EXPECT_NEAR(w.items[0].neck, 0.0246615 * (r.outsideMm - r.wallMm) * r.wallMm * r.projectionMm / 1000.0, 1e-9);
    EXPECT_DOUBLE_EQ(w.items[0].flange, r.flangeKg);
    EXPECT_NEAR(w.total, w.items[0].neck + r.flangeKg, 1e-9);
}
INSTANTIATE_TEST_SUITE_P(Rows, NozzleWeightTest, testing::ValuesIn(kNozzleRows), testing_support::RowName());

// Where nothing is weighed, the reason.
struct GapRow {
    const char* name;
    double nps;
    bool fits;
    double vesselDiameter;
    PlateGrade grade;
    double designKpa;
    mechanical::NozzleGap gap;
};
const GapRow kGapRows[] = {
    {"NoPipeMeetsTheLimit", 36, false, 3.0, PlateGrade::SA516Gr70, 1000.0, mechanical::NozzleGap::DoesNotFit},
    {"WiderThanHalfTheShell", 12, true, 0.5, PlateGrade::SA516Gr70, 1000.0, mechanical::NozzleGap::DoesNotFit},
    {"StainlessFlanges", 6, true, 3.0, PlateGrade::SA240Type304, 1000.0, mechanical::NozzleGap::NoFlangeGroup},
    {"PastEveryClass", 6, true, 3.0, PlateGrade::SA516Gr70, 30000.0, mechanical::NozzleGap::NoFlangeClass},
    {"ThreeAndAHalfIsNotCharted", 3.5, true, 3.0, PlateGrade::SA516Gr70, 1000.0, mechanical::NozzleGap::NoFlangeMass},
    {"AboveB165", 32, true, 3.0, PlateGrade::SA516Gr70, 1000.0, mechanical::NozzleGap::NoFlangeMass},
};
class NozzleGapTest : public testing::TestWithParam<GapRow> {};
TEST_P(NozzleGapTest, SaysWhyNothingIsWeighed) {
    const GapRow& r = GetParam();
    process::Nozzles n;
    n.vesselDiameter = r.vesselDiameter;
    n.items[0].fits = r.fits;
    n.items[0].nominalInches = r.fits ? r.nps : 0.0;
    for (const process::PipeRow& row : process::kSchedule40)
        if (row.nps == r.nps) n.items[0].insideDiameter = row.idMm / 1000.0;
    n.count = 1;
    const mechanical::NozzleWeights w = mechanical::WeighNozzles(n, r.grade, r.designKpa, 100.0);
    EXPECT_FALSE(w.computed);
    EXPECT_EQ(w.gap, r.gap);
    EXPECT_EQ(w.total, 0.0);
}
INSTANTIATE_TEST_SUITE_P(Rows, NozzleGapTest, testing::ValuesIn(kGapRows), testing_support::RowName());

TEST(PipeScheduleTest, OutsideLessTwoWallsIsTheInsideDiameter) {
    for (const process::PipeRow& row : process::kSchedule40) EXPECT_NEAR(row.odMm - 2.0 * row.wallMm, row.idMm, 0.011) << row.nps;
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
