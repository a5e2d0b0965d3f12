// The review's findings on the shell, its pressure, temperature, weight and cost, checked by hand.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "model/case_file.h"
#include "model/sizing_run.h"
#include "review/review.h"
#include "row_name.h"
#include "sized_case.h"

namespace kestrol {
namespace {

using review::Severity;

using testing_support::Sized;
using testing_support::SizeExample;
using testing_support::SizeJson;

double Mag(const host::SizingOutcome& o, Slot s) { return std::fabs(o.At(s)); }
void Set(host::SizingOutcome& o, Slot s, double v) { o.values[static_cast<std::size_t>(Index(s))] = v; }

/// The finding of that code, by the name batches and scripts count.
const review::Finding* Find(const review::Review& r, const char* code) {
    for (const review::Finding& f : r)
        if (std::strcmp(review::CodeName(f.code), code) == 0) return &f;
    return nullptr;
}

bool Has(const review::Finding& f, const char* name) {
    for (std::size_t i = 0; i < f.count; ++i)
        if (std::strcmp(f.values[i].name, name) == 0) return true;
    return false;
}

std::string Text(const review::Finding& f, const review::Review& r, host::UnitSystem u = host::UnitSystem::SI) {
    return review::Describe(f, r.governing, u);
}

// 3,500 kPa, 1.9812 m upright, carbon steel (code 1) at 35 deg C: 13,700 psi.
constexpr const char* kScrubber = "gas_scrubber_vertical.json";
// 2.4384 m lying down.
constexpr const char* kProduction = "production_separator_horizontal.json";

std::string ScrubberJson(const std::string& extra, const std::string& design = "") {
    return R"({"orientation":"vertical","pressure_kPa":3500,"vapour_mass_flow_kg_h":60000,"vapour_density_kg_m3":28,)"
           R"("light_liquid_mass_flow_kg_h":1500,"light_liquid_density_kg_m3":720,)" +
           extra + (design.empty() ? std::string("}") : R"(,"design":{)" + design + "}}");
}

/// kg per lb, exact.
constexpr double kKilogramsPerPound = 0.45359237;

// --- weight-outside-correlation: each fit's range in the unit its W takes --------------------

struct WeightRow {
    const char* name;
    const char* example;
    double weight;  ///< [kg] as the cost step computes it and feeds it
    bool fires;
};

// Horizontal: the pound fit 1,000 to 920,000 lb converted to kg is 453.59 to 417,304.98 kg.
// Vertical: the fit's 4,200 to 1,000,000 lb, held against the kg number as it is fed.
const WeightRow kWeightRows[] = {
    {"HorizontalJustBelowTheKgFit", kProduction, 453.0, true},
    {"HorizontalJustInsideTheKgFit", kProduction, 454.0, false},
    {"HorizontalUnderAThousandIsInsideInKg", kProduction, 900.0, false},
    {"HorizontalJustUnderTheTop", kProduction, 417300.0, false},
    {"HorizontalJustOverTheTop", kProduction, 417310.0, true},
    // The issue's 1,260,098 lb drum: 571,571 kg, under the 920,000 the pound range would allow.
    {"HorizontalDrumOf1260098Pounds", kProduction, 1260098.0 * kKilogramsPerPound, true},
    {"VerticalJustBelowTheFit", kScrubber, 4199.0, true},
    {"VerticalJustInsideTheFit", kScrubber, 4201.0, false},
    {"VerticalJustUnderTheTop", kScrubber, 999999.0, false},
    {"VerticalJustOverTheTop", kScrubber, 1000001.0, true},
};

class WeightRangeTest : public testing::TestWithParam<WeightRow> {};

/// The density that makes the cost step's weight pi D (0.8116 D + L) rho t come out at `weight`.
double DensityFor(const host::SizingOutcome& o, double weight) {
    const double d = Mag(o, Slot::Diameter);
    const double shell = 3.141592654 * d * (Mag(o, Slot::HeadLengthFactor) * d + Mag(o, Slot::OverallLength)) * Mag(o, Slot::WallThickness);
    return weight / shell;
}

TEST_P(WeightRangeTest, HoldsTheFedWeightToTheFitsUnit) {
    Sized s = SizeExample(GetParam().example);
    Set(s.o, Slot::MaterialDensity, DensityFor(s.o, GetParam().weight));
    const review::Review r = review::ReviewCase(s.c, s.o);
    ASSERT_NEAR(Find(r, "weight-and-cost")->Get("vessel_weight"), GetParam().weight, 1e-6 * GetParam().weight);
    EXPECT_EQ(Find(r, "weight-outside-correlation") != nullptr, GetParam().fires);
}

INSTANTIATE_TEST_SUITE_P(Rows, WeightRangeTest, testing::ValuesIn(kWeightRows), testing_support::RowName());

TEST(WeightOutsideCorrelation, HorizontalSentenceSaysTheFitTakesKilograms) {
    Sized s = SizeExample(kProduction);
    Set(s.o, Slot::MaterialDensity, DensityFor(s.o, 1260098.0 * kKilogramsPerPound));
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = Find(r, "weight-outside-correlation");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Text(*f, r),
              "The horizontal cost correlation takes the weight in kg and was fitted for 454 to 417,305 kg; the vessel weighs "
              "571,571 kg, so its cost is an extrapolation.");
}

// --- wall-beyond-range: the thin-wall formula's own limits ------------------------------------

TEST(WallBeyondRange, ThickWallOfALargeDrumIsStillThinBesideItsRadius) {
    // 5,000 t/h of gas at 3,000 kPa: a 51.4 m drum with an 801.7 mm wall, far under half its
    // 25.7 m radius, at 420.4 psig against 0.385 x 13,700 = 5,274.5 psi.
    const Sized s = SizeJson(
        R"({"orientation":"vertical","pressure_kPa":3000,"temperature_C":40,"vapour_mass_flow_kg_h":5000000,)"
        R"("vapour_density_kg_m3":2,"light_liquid_mass_flow_kg_h":100000,"light_liquid_density_kg_m3":700})");
    const review::Review r = review::ReviewCase(s.c, s.o);
    EXPECT_EQ(Find(r, "wall-beyond-range"), nullptr);
    ASSERT_NE(Find(r, "wall-thicker-than-plate"), nullptr);
}

struct ThinWallRow {
    const char* name;
    double wall;          ///< [m]; 0 keeps the sized one
    double psigOverLimit;  ///< operating pressure less 0.385 S E [psi]; NaN keeps the case's
    bool fires;
};

// The production separator's 2.4384 m gives half the radius as 0.6096 m.
const ThinWallRow kThinWallRows[] = {
    {"WallOfHalfTheRadiusHolds", 0.6096, std::nan(""), false},
    {"WallPastHalfTheRadius", 0.6097, std::nan(""), true},
    {"PressureJustUnderTheLimit", 0.0, -1.0, false},
    {"PressureJustOverTheLimit", 0.0, 1.0, true},
};

class ThinWallTest : public testing::TestWithParam<ThinWallRow> {};

TEST_P(ThinWallTest, FiresOnlyPastALimit) {
    Sized s = SizeExample(kProduction);
    if (GetParam().wall > 0.0) Set(s.o, Slot::WallThickness, GetParam().wall);
    if (!std::isnan(GetParam().psigOverLimit)) {
        // 0.385 S E in psi, from the stress the cost step stored [kPa] and E = 1.
        const double limit = 0.385 * Mag(s.o, Slot::AllowableStress) * 0.1450377;
        s.c.values[host::kPressure] = (limit + GetParam().psigOverLimit + 14.696) / 0.1450377;
    }
    const review::Review r = review::ReviewCase(s.c, s.o);
    EXPECT_EQ(Find(r, "wall-beyond-range") != nullptr, GetParam().fires);
}

INSTANTIATE_TEST_SUITE_P(Rows, ThinWallTest, testing::ValuesIn(kThinWallRows), testing_support::RowName());

TEST(WallBeyondRange, SentenceNamesTheLimitPassed) {
    Sized s = SizeExample(kProduction);
    Set(s.o, Slot::WallThickness, 0.7);
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = Find(r, "wall-beyond-range");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Text(*f, r),
              "The wall of 700.0 mm is more than half the inside radius (609.6 mm): past the limits of the thin-wall shell formula "
              "(ASME VIII-1 UG-27(c)(1)); the thick-wall formulas of its Appendix 1-2 apply.");
}

TEST(WallThickerThanPlate, PastTwoHundredAndFiveMillimetres) {
    for (const double wall : {0.205, 0.2051}) {
        Sized s = SizeExample(kProduction);
        Set(s.o, Slot::WallThickness, wall);
        const review::Review r = review::ReviewCase(s.c, s.o);
        const review::Finding* f = Find(r, "wall-thicker-than-plate");
        ASSERT_EQ(f != nullptr, wall > 0.205) << wall;
        if (f) {
            EXPECT_EQ(Text(*f, r), "The wall of 205.1 mm is thicker than the 205.0 mm to which current practice limits carbon-steel "
                                   "pressure-vessel plate (ASTM A516, grades 60 to 70).");
        }
    }
}

// --- design-pressure: under vacuum, and with a given wall -------------------------------------

TEST(DesignPressure, UnderVacuumStatesTheExternalCase) {
    const Sized s = SizeJson(
        R"({"orientation":"vertical","pressure_kPa":20,"temperature_C":40,"vapour_mass_flow_kg_h":2000,)"
        R"("vapour_density_kg_m3":0.2,"light_liquid_mass_flow_kg_h":5000,"light_liquid_density_kg_m3":900})");
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = Find(r, "design-pressure");
    ASSERT_NE(f, nullptr);
    // No internal design pressure (the rule's 10 psig, 169.3 kPa abs) is proposed.
    EXPECT_FALSE(Has(*f, "design_pressure"));
    EXPECT_DOUBLE_EQ(f->Get("external_design_pressure"), 101.325);
    EXPECT_EQ(Text(*f, r),
              "The vessel runs under vacuum (20 kPa abs), so its design case is full vacuum, 101 kPa of external pressure on the "
              "shell; the wall of 6.4 mm comes from the internal-pressure formula, and the external-pressure rules (ASME VIII-1 "
              "UG-28) decide it.");
    EXPECT_NE(Text(*f, r, host::UnitSystem::US).find("full vacuum, 15 psi of external pressure"), std::string::npos);
}

TEST(DesignPressure, GivenWallIsComparedWithWhatTheFormulaAsks) {
    const Sized s = SizeJson(ScrubberJson(R"("temperature_C":35)", R"("wall_thickness_m":0.05)"));
    ASSERT_TRUE(s.o.Sized());
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = Find(r, "design-pressure");
    ASSERT_NE(f, nullptr);
    // As the scrubber without a given wall: 25/16 in at 3,500 kPa, 29/16 in at the rule's 4,036 kPa abs.
    const double sixteenth = 0.0015875031750063502;
    EXPECT_NEAR(f->Get("wall_thickness_at_operating_pressure"), 25 * sixteenth, 1e-12);
    EXPECT_NEAR(f->Get("wall_thickness_at_design_pressure"), 29 * sixteenth, 1e-12);
    EXPECT_EQ(Text(*f, r),
              "The design block gives a wall of 50.0 mm; rounded up to whole sixteenths of an inch, the wall formula gives 39.7 mm at the operating pressure of 3,500 kPa abs "
              "and 46.0 mm at a design pressure of 4,036 kPa abs.");
}

// --- wall-thinner-than-required -------------------------------------------------------------

// The scrubber at 3,500 kPa: P = 3500 x 0.1450377 - 14.696 = 492.936 psig, R = 1.9812 x 19.685 =
// 39.000 in, S = 13,700 psi (stored in kPa and back: 13,700.0030), E = 1. Shell
// t = P R / (S E - 0.4 P) = 19,224.5 / 13,502.8 = 1.42373 in (the head's P R / (2 S E - 0.2 P) is
// less); with 1/8 in of allowance 1.54873 in = 39.338 mm. Rounded up the cost step makes it 25/16 in.
double ScrubberRequiredWall(const host::SizingOutcome& o) {
    const double p = 3500.0 * 0.1450377 - 14.696;
    const double r = 1.9812 * 19.685;
    const double stress = Mag(o, Slot::AllowableStress) * 0.1450377;
    // The allowance is 0.003175 m x 39.37 = 0.12499975 in, not quite 1/8 in.
    return (0.003175 * 39.37 + p * r / (stress - 0.4 * p)) / 39.37;
}

struct GivenWallRow {
    const char* name;
    double wall;  ///< [m]
    bool fires;
};

const GivenWallRow kGivenWallRows[] = {
    {"FiveMillimetres", 0.005, true},
    {"JustUnderTheRequired", 0.03933, true},
    {"JustOverTheRequired", 0.03934, false},
    {"ThickerThanTheCostStepWouldForm", 0.045, false},
};

class GivenWallTest : public testing::TestWithParam<GivenWallRow> {};

TEST_P(GivenWallTest, HeldToTheFormulaWithTheAllowance) {
    const Sized s = SizeJson(ScrubberJson(R"("temperature_C":35)", R"("wall_thickness_m":)" + std::to_string(GetParam().wall)));
    ASSERT_TRUE(s.o.Sized());
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = Find(r, "wall-thinner-than-required");
    ASSERT_EQ(f != nullptr, GetParam().fires);
    if (f) {
        EXPECT_NEAR(f->Get("required_wall_thickness"), ScrubberRequiredWall(s.o), 1e-9);
        EXPECT_NEAR(f->Get("required_wall_thickness"), 0.039338, 1e-6);
        EXPECT_EQ(f->severity, Severity::Warning);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, GivenWallTest, testing::ValuesIn(kGivenWallRows), testing_support::RowName());

TEST(WallThinnerThanRequired, Sentence) {
    const Sized s = SizeJson(ScrubberJson(R"("temperature_C":35)", R"("wall_thickness_m":0.005)"));
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = Find(r, "wall-thinner-than-required");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Text(*f, r),
              "The given wall of 5.0 mm is thinner than the 39.3 mm the wall formula asks at the operating pressure of 3,500 kPa "
              "abs, corrosion allowance of 3.2 mm included (the cost step would round it up to 39.7 mm).");
}

// --- temperature-outside-material -------------------------------------------------------------

struct TemperatureRow {
    const char* name;
    double celsius;
    int material;
    bool fires;
    const char* limit;  ///< the value that names the limit passed; "" when none
};

// deg F = 1.8 deg C + 32. Carbon steel: -20 deg F = -28.9 deg C without impact testing, 800 deg F
// = 426.7 deg C for graphitization, its table lists up to 900 deg F = 482.2 deg C. Stainless
// (code 2): no lower limit, table to 1,400 deg F = 760 deg C. Aluminium (code 4): 350 deg F = 176.7 deg C.
const TemperatureRow kTemperatureRows[] = {
    {"CarbonSteelAtMinus28", -28.0, 1, false, ""},
    {"CarbonSteelAtMinus29", -29.0, 1, true, "least_temperature_without_impact_test"},
    {"CarbonSteelAtMinus46", -46.0, 1, true, "least_temperature_without_impact_test"},
    {"CarbonSteelCodeFiveAtMinus46", -46.0, 5, true, "least_temperature_without_impact_test"},
    {"CarbonSteelAt400", 400.0, 1, false, ""},
    {"CarbonSteelAt426", 426.0, 1, false, ""},
    {"CarbonSteelAt427", 427.0, 1, true, "graphitization_temperature"},
    {"CarbonSteelAt482IsInsideItsTable", 482.0, 1, true, "graphitization_temperature"},
    {"CarbonSteelAt483IsPastItsTable", 483.0, 1, true, "stress_table_top_temperature"},
    {"StainlessAtMinus100", -100.0, 2, false, ""},
    {"StainlessAt760", 760.0, 2, false, ""},
    {"StainlessAt761", 761.0, 2, true, "stress_table_top_temperature"},
    {"AluminiumAt176", 176.0, 4, false, ""},
    {"AluminiumAt177", 177.0, 4, true, "stress_table_top_temperature"},
};

class TemperatureTest : public testing::TestWithParam<TemperatureRow> {};

TEST_P(TemperatureTest, FiresOutsideTheMaterialsRange) {
    const TemperatureRow& row = GetParam();
    const Sized s = SizeJson(ScrubberJson(R"("temperature_C":)" + std::to_string(row.celsius),
                                          R"("material_code":)" + std::to_string(row.material)));
    ASSERT_TRUE(s.o.Sized());
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = Find(r, "temperature-outside-material");
    ASSERT_EQ(f != nullptr, row.fires);
    if (f) {
        EXPECT_TRUE(Has(*f, row.limit)) << row.limit;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TemperatureTest, testing::ValuesIn(kTemperatureRows), testing_support::RowName());

TEST(TemperatureOutsideMaterial, Sentences) {
    const Sized cold = SizeJson(ScrubberJson(R"("temperature_C":-46)"));
    const review::Review c = review::ReviewCase(cold.c, cold.o);
    ASSERT_NE(Find(c, "temperature-outside-material"), nullptr);
    EXPECT_EQ(Text(*Find(c, "temperature-outside-material"), c),
              "The temperature of -46.0 deg C is below the -28.9 deg C down to which carbon-steel plate is used without impact "
              "testing (ASME VIII-1 UG-20(f)).");
    EXPECT_EQ(Text(*Find(c, "temperature-outside-material"), c, host::UnitSystem::US),
              "The temperature of -50.8 deg F is below the -20.0 deg F down to which carbon-steel plate is used without impact "
              "testing (ASME VIII-1 UG-20(f)).");

    // 500 deg C = 932 deg F: past both, and the table's last row (2,500 psi = 17,237 kPa) holds.
    const Sized hot = SizeJson(ScrubberJson(R"("temperature_C":500)"));
    const review::Review h = review::ReviewCase(hot.c, hot.o);
    ASSERT_NE(Find(h, "temperature-outside-material"), nullptr);
    EXPECT_EQ(Text(*Find(h, "temperature-outside-material"), h),
              "The temperature of 500.0 deg C is above the 426.7 deg C over which carbon steel may graphitize in long service "
              "(ASME B31.1 124.2); and above the 482.2 deg C where the material's stress table ends, so the wall takes its last "
              "row, 17,237 kPa, for any hotter temperature.");
}

}  // namespace
}  // namespace kestrol
