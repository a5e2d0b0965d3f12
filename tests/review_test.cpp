#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/case_file.h"
#include "host/sizing_run.h"
#include "review/review.h"
#include "row_name.h"

namespace kestrol {
namespace {

namespace fs = std::filesystem;
using review::Code;
using review::Constraint;
using review::Severity;

/// The circle constant to full precision (the exact volume's, not the sizing's ten digits).
constexpr double kExactPi = 3.14159265358979323846;

const fs::path kCases = fs::path(__FILE__).parent_path().parent_path() / "examples" / "cases";

struct Sized {
    host::SizingCase c;
    host::SizingOutcome o;
};

Sized SizeJson(const std::string& json) {
    Sized s{host::ParseCaseJson(json, "test"), {}};
    s.o = host::SizeCase(s.c);
    return s;
}

Sized SizeExample(const char* file) {
    Sized s{host::LoadCaseFile((kCases / file).string()), {}};
    s.o = host::SizeCase(s.c);
    return s;
}

double Mag(const host::SizingOutcome& o, kestrol::Slot s) { return std::fabs(o.At(s)); }

void Set(host::SizingOutcome& o, kestrol::Slot s, double v) { o.values[static_cast<std::size_t>(Index(s))] = v; }

// Cases an engineer would bring; the numbers in the comments are what they size to.
constexpr const char* kScrubber = "gas_scrubber_vertical.json";
constexpr const char* kProduction = "production_separator_horizontal.json";
constexpr const char* kRating = "rating_existing_vessel.json";
constexpr const char* kDryGas = "dry_gas_no_liquid.json";

/// A 500 t/h gas knock-out drum lying down: 12.2 m, a 13 mm liquid level under a 0.305 m minimum.
const std::string kKnockOut =
    R"({"orientation":"horizontal","pressure_kPa":1500,"temperature_C":40,"vapour_mass_flow_kg_h":500000,)"
    R"("vapour_density_kg_m3":15,"light_liquid_mass_flow_kg_h":2000,"light_liquid_density_kg_m3":700})";
/// 200 kg/h of gas with 0.69 kg/h of liquid: the flow parameter is 0.0003.
const std::string kTrickle =
    R"({"orientation":"vertical","pressure_kPa":500,"temperature_C":40,"vapour_mass_flow_kg_h":200,)"
    R"("vapour_density_kg_m3":5,"light_liquid_mass_flow_kg_h":0.69,"light_liquid_density_kg_m3":700})";
/// 5,000 t/h of light gas: a vapour diameter past 40 m.
const std::string kHugeGas =
    R"({"orientation":"vertical","pressure_kPa":3000,"temperature_C":40,"vapour_mass_flow_kg_h":5000000,)"
    R"("vapour_density_kg_m3":2,"light_liquid_mass_flow_kg_h":100000,"light_liquid_density_kg_m3":700})";
/// A 20 kPa vacuum drum.
const std::string kVacuum =
    R"({"orientation":"vertical","pressure_kPa":20,"temperature_C":40,"vapour_mass_flow_kg_h":2000,)"
    R"("vapour_density_kg_m3":0.2,"light_liquid_mass_flow_kg_h":5000,"light_liquid_density_kg_m3":900})";
/// Much liquid, little gas, upright: the liquid widens the vessel at a ratio of 5.
const std::string kLiquidUpright =
    R"({"orientation":"vertical","pressure_kPa":1000,"temperature_C":40,"vapour_mass_flow_kg_h":500,)"
    R"("vapour_density_kg_m3":10,"light_liquid_mass_flow_kg_h":200000,"light_liquid_density_kg_m3":800})";
/// A whiff of gas and liquid: the least vessel each path builds.
const std::string kTiny =
    R"({"orientation":"vertical","pressure_kPa":1000,"temperature_C":40,"vapour_mass_flow_kg_h":1,)"
    R"("vapour_density_kg_m3":10,"light_liquid_mass_flow_kg_h":0.02,"light_liquid_density_kg_m3":800})";
const std::string kTinyLying =
    R"({"orientation":"horizontal","pressure_kPa":1000,"temperature_C":40,"vapour_mass_flow_kg_h":1,)"
    R"("vapour_density_kg_m3":10,"light_liquid_mass_flow_kg_h":0.02,"light_liquid_density_kg_m3":800})";
/// An upright drum whose ratio the engineer gives.
const std::string kGivenRatio =
    R"({"orientation":"vertical","pressure_kPa":1000,"temperature_C":40,"vapour_mass_flow_kg_h":50000,)"
    R"("vapour_density_kg_m3":10,"light_liquid_mass_flow_kg_h":500,"light_liquid_density_kg_m3":800,"design":{"ratio":4}})";

// --- The exact volume of a horizontal vessel against its closed forms -----------------------

struct VolumeRow {
    const char* name;
    double level;  ///< as a share of D
    double D;
    double tangent;
    double expected;  ///< [m3], from the closed forms
};

// pi R^2 Lt for the cylinder, (4/3) pi R^2 (D/4) for both heads together.
const VolumeRow kVolumeRows[] = {
    {"EmptyAtTheBottom", 0.0, 2.0, 6.0, 0.0},
    {"HalfFullIsHalfOfCylinderAndHeads", 0.5, 2.0, 6.0, 3.0 * kExactPi + kExactPi / 3.0},
    {"FullIsWholeVessel", 1.0, 2.0, 6.0, 6.0 * kExactPi + 2.0 * kExactPi / 3.0},
    {"FullWithoutCylinderIsOneEllipsoid", 1.0, 3.0, 0.0, 4.0 / 3.0 * kExactPi * 1.5 * 1.5 * 0.75},
    {"LevelAboveTheTopCountsAsFull", 1.5, 2.0, 6.0, 6.0 * kExactPi + 2.0 * kExactPi / 3.0},
};

class ExactVolumeTest : public testing::TestWithParam<VolumeRow> {};

TEST_P(ExactVolumeTest, MatchesClosedForm) {
    const VolumeRow& row = GetParam();
    EXPECT_NEAR(review::ExactLiquidVolume(row.level * row.D, row.D, row.tangent), row.expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Rows, ExactVolumeTest, testing::ValuesIn(kVolumeRows), testing_support::RowName());

TEST(ExactVolume, LiquidAndVapourSpacesFillTheVessel) {
    const double full = review::ExactLiquidVolume(2.0, 2.0, 6.0);
    for (double h : {0.05, 0.3, 0.77, 1.4})
        EXPECT_NEAR(review::ExactLiquidVolume(h, 2.0, 6.0) + review::ExactLiquidVolume(2.0 - h, 2.0, 6.0), full, 1e-12) << h;
}

// --- What set the size --------------------------------------------------------------------

struct GoverningRow {
    const char* name;
    std::string json;  ///< a case, or an example file name ending in .json
    Constraint diameter;
    Constraint length;
};

const GoverningRow kGoverningRows[] = {
    {"ScrubberVapourAndRatioFloor", kScrubber, Constraint::VapourLoad, Constraint::RatioFloor},
    {"ProductionLiquidAndPressureClass", kProduction, Constraint::LiquidHoldup, Constraint::PressureClassRatio},
    {"RatingGivenDiameter", kRating, Constraint::Design, Constraint::PressureClassRatio},
    {"KnockOutVapour", kKnockOut, Constraint::VapourLoad, Constraint::PressureClassRatio},
    {"UprightLiquidAndRatioCeiling", kLiquidUpright, Constraint::LiquidHoldup, Constraint::RatioCeiling},
    {"WhiffUprightLeastVessel", kTiny, Constraint::MinimumSize, Constraint::RatioCeiling},
    {"WhiffLyingLeastVessel", kTinyLying, Constraint::MinimumSize, Constraint::PressureClassRatio},
    {"GivenRatio", kGivenRatio, Constraint::VapourLoad, Constraint::Design},
};

Sized SizeRow(const std::string& json) {
    return json.front() == '{' ? SizeJson(json) : SizeExample(json.c_str());
}

class GoverningTest : public testing::TestWithParam<GoverningRow> {};

TEST_P(GoverningTest, NamesTheConstraint) {
    const Sized s = SizeRow(GetParam().json);
    ASSERT_TRUE(s.o.Sized());
    const review::Review r = review::ReviewCase(s.c, s.o);
    EXPECT_EQ(r.governing.diameter, GetParam().diameter);
    EXPECT_EQ(r.governing.length, GetParam().length);
    ASSERT_GT(r.count, 0u);
    EXPECT_EQ(r.items[0].code, Code::Governing);  // the governing line comes first
}

INSTANTIATE_TEST_SUITE_P(Rows, GoverningTest, testing::ValuesIn(kGoverningRows), testing_support::RowName());

TEST(Governing, VapourLoadPercentOfTheScrubber) {
    const Sized s = SizeExample(kScrubber);
    const review::Review r = review::ReviewCase(s.c, s.o);
    // 60,000 kg/h at 28 kg/m3 through the whole 1.9812 m section, over the halved velocity.
    const double qv = 60000.0 / 28.0 / 3600.0;
    const double expected = qv / (kExactPi / 4.0 * 1.9812 * 1.9812) / Mag(s.o, Slot::VapourVelocity) * 100.0;
    EXPECT_NEAR(r.governing.vapourLoadPercent, expected, 1e-6);
    EXPECT_GT(r.governing.vapourLoadPercent, 99.0);
    EXPECT_LE(r.governing.vapourLoadPercent, 100.0);
    EXPECT_EQ(review::Describe(r.items[0], r.governing, host::UnitSystem::SI),
              "Diameter set by the vapour load (100% of the allowable velocity); height set by the ratio floor of 3.");
}

TEST(Governing, HorizontalLiquidNamesWhatTheVapourAloneNeeds) {
    const Sized s = SizeExample(kProduction);
    const review::Review r = review::ReviewCase(s.c, s.o);
    // The vapour alone fits a 1.524 m drum; the liquid takes it to 2.4384 m.
    EXPECT_DOUBLE_EQ(r.governing.vapourDiameter, 1.524);
    EXPECT_DOUBLE_EQ(Mag(s.o, Slot::Diameter), 2.4384);
    const std::string text = review::Describe(r.items[0], r.governing, host::UnitSystem::SI);
    EXPECT_NE(text.find("the vapour alone needs 1.524 m"), std::string::npos) << text;
    EXPECT_NE(text.find("length set by the pressure-class ratio of 3"), std::string::npos) << text;
}

// A horizontal drum's diameter is judged from the search's step below it; sizing the case again
// without its liquid must tell the same story.
const std::string kLyingCases[] = {
    kProduction,
    kKnockOut,
    kTinyLying,
    R"({"orientation":"horizontal","pressure_kPa":4980,"temperature_C":71.7,"vapour_mass_flow_kg_h":23330,"vapour_density_kg_m3":37.03,)"
    R"("light_liquid_mass_flow_kg_h":38991.4,"light_liquid_density_kg_m3":784.7,"heavy_liquid_mass_flow_kg_h":40909.7,"heavy_liquid_density_kg_m3":1053.1})",
    R"({"orientation":"horizontal","pressure_kPa":300,"temperature_C":40,"vapour_mass_flow_kg_h":20000,"vapour_density_kg_m3":3,)"
    R"("light_liquid_mass_flow_kg_h":200000,"light_liquid_density_kg_m3":800})",
    R"({"orientation":"horizontal","pressure_kPa":800,"temperature_C":20,"vapour_mass_flow_kg_h":90000,"vapour_density_kg_m3":7,)"
    R"("light_liquid_mass_flow_kg_h":3000,"light_liquid_density_kg_m3":650})",
};

double SizedAgainWithout(const Sized& s, bool vapourToo) {
    host::SizingCase c = s.c;
    c.orientation = host::Orientation::Horizontal;
    c.values[static_cast<std::size_t>(host::FindCaseKey("light_liquid_residence_time_s", true))] = 1e-9;
    if (c.HasHeavyLiquid()) c.values[static_cast<std::size_t>(host::FindCaseKey("heavy_liquid_residence_time_s", true))] = 1e-9;
    if (vapourToo) c.values[static_cast<std::size_t>(host::FindCaseKey("allowable_vapour_velocity_m_s", true))] = 1e6;
    const host::SizingOutcome o = host::SizeCase(c);
    return o.Sized() ? Mag(o, Slot::Diameter) : 0.0;
}

TEST(Governing, HorizontalStepBelowAgreesWithSizingAgain) {
    for (const std::string& json : kLyingCases) {
        const Sized s = SizeRow(json);
        ASSERT_TRUE(s.o.Sized()) << json;
        const double d = Mag(s.o, Slot::Diameter);
        const double vapourAlone = SizedAgainWithout(s, false);
        Constraint expected = Constraint::VapourLoad;
        if (d > vapourAlone) {
            expected = Constraint::LiquidHoldup;
        } else if (SizedAgainWithout(s, true) == d) {
            expected = Constraint::MinimumSize;
        }
        const review::Review r = review::ReviewCase(s.c, s.o);
        EXPECT_EQ(r.governing.diameter, expected) << json;
        if (expected == Constraint::LiquidHoldup) {
            EXPECT_DOUBLE_EQ(r.governing.vapourDiameter, vapourAlone) << json;
        }
    }
}

TEST(Review, BatchScopeFindsWhatTheFullReviewFinds) {
    for (const std::string& json : {std::string(kScrubber), std::string(kProduction), kKnockOut, kHugeGas, kVacuum, kTinyLying}) {
        const Sized s = SizeRow(json);
        const review::Review full = review::ReviewCase(s.c, s.o);
        const review::Review batch = review::ReviewCase(s.c, s.o, review::Scope::Batch);
        EXPECT_EQ(batch.governing.diameter, full.governing.diameter) << json;
        EXPECT_EQ(batch.governing.length, full.governing.length) << json;
        EXPECT_EQ(batch.governing.vapourLoadPercent, full.governing.vapourLoadPercent) << json;
        ASSERT_EQ(batch.count, full.count) << json;
        for (std::size_t i = 0; i < full.count; ++i) EXPECT_EQ(batch.items[i].code, full.items[i].code) << json;
    }
}

// --- Each finding fires where it should and nowhere else ----------------------------------

struct FireRow {
    const char* name;
    std::string json;
    Code code;
    bool fires;
    Severity severity;
};

const FireRow kFireRows[] = {
    {"ScrubberLevelBelowMinimum", kScrubber, Code::LevelBelowMinimum, true, Severity::Warning},
    {"KnockOutLevelBelowMinimum", kKnockOut, Code::LevelBelowMinimum, true, Severity::Warning},
    {"ProductionLevelAboveMinimum", kProduction, Code::LevelBelowMinimum, false, Severity::Warning},
    {"ScrubberHeightSetByRatio", kScrubber, Code::HeightSetByRatio, true, Severity::Warning},
    {"UprightLiquidHeightFromProcess", kLiquidUpright, Code::HeightSetByRatio, false, Severity::Warning},
    {"HorizontalHasNoDisengagementHeight", kKnockOut, Code::HeightSetByRatio, false, Severity::Warning},
    {"KnockOutShallowHoldupDiffers", kKnockOut, Code::HoldupDiffers, true, Severity::Warning},
    {"ProductionHoldupWithinOnePercent", kProduction, Code::HoldupDiffers, false, Severity::Note},
    {"UprightHasNoHorizontalHoldup", kScrubber, Code::HoldupDiffers, false, Severity::Note},
    {"TrickleGasLoadOutOfRange", kTrickle, Code::GasLoadOutOfRange, true, Severity::Warning},
    {"ProductionGasLoadInRange", kProduction, Code::GasLoadOutOfRange, false, Severity::Warning},
    {"HugeGasDiameterBeyondRange", kHugeGas, Code::DiameterBeyondRange, true, Severity::Warning},
    {"ScrubberDiameterInRange", kScrubber, Code::DiameterBeyondRange, false, Severity::Warning},
    {"HugeGasWallThickerThanPlate", kHugeGas, Code::WallThickerThanPlate, true, Severity::Warning},
    {"HugeGasWallWithinThinWallLimits", kHugeGas, Code::WallBeyondRange, false, Severity::Warning},
    {"ProductionWallInRange", kProduction, Code::WallBeyondRange, false, Severity::Warning},
    {"VacuumExternalPressure", kVacuum, Code::ExternalPressure, true, Severity::Warning},
    {"ScrubberInternalPressure", kScrubber, Code::ExternalPressure, false, Severity::Warning},
    {"VacuumWallBelowRigidity", kVacuum, Code::WallBelowRigidity, true, Severity::Warning},
    {"ScrubberWallStiffEnough", kScrubber, Code::WallBelowRigidity, false, Severity::Warning},
    {"DryGasWeightBelowCorrelation", kDryGas, Code::WeightOutsideCorrelation, true, Severity::Warning},
    {"HugeGasWeightAboveCorrelation", kHugeGas, Code::WeightOutsideCorrelation, true, Severity::Warning},
    {"ProductionWeightWithinCorrelation", kProduction, Code::WeightOutsideCorrelation, false, Severity::Warning},
    {"ScrubberDesignPressure", kScrubber, Code::DesignPressure, true, Severity::Note},
    {"RatingDesignPressure", kRating, Code::DesignPressure, true, Severity::Note},
    {"ScrubberWeightAndCost", kScrubber, Code::WeightAndCost, true, Severity::Note},
};

class FireTest : public testing::TestWithParam<FireRow> {};

TEST_P(FireTest, FiresAsExpected) {
    const FireRow& row = GetParam();
    const Sized s = SizeRow(row.json);
    ASSERT_TRUE(s.o.Sized());
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(row.code);
    ASSERT_EQ(f != nullptr, row.fires) << review::CodeName(row.code);
    if (f != nullptr) {
        EXPECT_EQ(f->severity, row.severity);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FireTest, testing::ValuesIn(kFireRows), testing_support::RowName());

TEST(Review, WarningsComeBeforeNotesAfterTheGoverningLine) {
    const review::Review r = review::ReviewCase(SizeJson(kKnockOut).c, SizeJson(kKnockOut).o);
    ASSERT_GT(r.count, 2u);
    EXPECT_EQ(r.items[0].code, Code::Governing);
    bool seenNote = false;
    for (std::size_t i = 1; i < r.count; ++i) {
        if (r.items[i].severity == Severity::Note) seenNote = true;
        EXPECT_FALSE(seenNote && r.items[i].severity == Severity::Warning) << review::CodeName(r.items[i].code);
    }
    EXPECT_TRUE(r.HasWarning());
}

TEST(Review, UnsizedCaseHasNoFindings) {
    Sized s = SizeExample(kScrubber);
    Set(s.o, Slot::Diameter, kEmptyValue);
    ASSERT_FALSE(s.o.Sized());
    EXPECT_EQ(review::ReviewCase(s.c, s.o).count, 0u);
}

// --- Thresholds, on sized vectors with one result moved --------------------------------------

struct ThresholdRow {
    const char* name;
    std::string json;
    kestrol::Slot slot;
    double value;
    Code code;
    bool fires;
};

// 1/16 in as the cost step rounds its wall [m].
constexpr double kSixteenth = 0.0015875031750063502;

const ThresholdRow kThresholdRows[] = {
    // Rigidity by diameter, on the vacuum drum's 1/4 in wall: 1.2192 m is 4 ft, which asks 5/16 in.
    {"JustUnderFourFeetQuarterInchHolds", kVacuum, Slot::Diameter, 1.2191, Code::WallBelowRigidity, false},
    {"FourFeetAskMoreThanAQuarterInch", kVacuum, Slot::Diameter, 1.2192, Code::WallBelowRigidity, true},
    // The production separator's 2.4384 m (8 ft) asks 7/16 in.
    {"SevenSixteenthsAtEightFeetHold", kProduction, Slot::WallThickness, 7 * kSixteenth, Code::WallBelowRigidity, false},
    {"SixSixteenthsAtEightFeetAreThin", kProduction, Slot::WallThickness, 6 * kSixteenth, Code::WallBelowRigidity, true},
    // Plate is furnished up to 205 mm; a wall past it is still far inside the thin-wall limits.
    {"WallOf205MillimetresIsPlate", kProduction, Slot::WallThickness, 0.205, Code::WallThickerThanPlate, false},
    {"WallPast205MillimetresIsNot", kProduction, Slot::WallThickness, 0.2051, Code::WallThickerThanPlate, true},
    {"WallPast205MillimetresIsThinBesideItsRadius", kProduction, Slot::WallThickness, 0.2051, Code::WallBeyondRange, false},
    {"DiameterOf40MetresIsInRange", kScrubber, Slot::Diameter, 40.0, Code::DiameterBeyondRange, false},
    {"DiameterPast40MetresIsNot", kScrubber, Slot::Diameter, 40.1, Code::DiameterBeyondRange, true},
    {"RatioOf40IsInRange", kScrubber, Slot::Ratio, 40.0, Code::RatioBeyondRange, false},
    {"RatioPast40IsNot", kScrubber, Slot::Ratio, -40.5, Code::RatioBeyondRange, true},
    // The scrubber's disengagement rule is 0.75 x 1.9812 = 1.4859 m; twice that is spare.
    {"TwiceTheRuleIsNotSpare", kScrubber, Slot::DisengagementHeight, 2.9718, Code::HeightSetByRatio, false},
    {"MoreThanTwiceTheRuleIsSpare", kScrubber, Slot::DisengagementHeight, 2.9719, Code::HeightSetByRatio, true},
    // Its minimum level is 0.9144 m; a surface raised to it exactly is not below it.
    {"SurfaceAtTheMinimumHolds", kScrubber, Slot::LightLayerThickness, 0.9144, Code::LevelBelowMinimum, false},
    {"SurfaceJustBelowTheMinimum", kScrubber, Slot::LightLayerThickness, 0.9143, Code::LevelBelowMinimum, true},
    // Whether the correlation defines the velocity is the correlation's to say, and a feed where it
    // does not is never sized: the sign a sized vector holds is no second opinion.
    {"SignOfTheSlotIsNotTheCorrelation", kProduction, Slot::VapourVelocity, -0.01, Code::GasLoadOutOfRange, false},
};

class ThresholdTest : public testing::TestWithParam<ThresholdRow> {};

TEST_P(ThresholdTest, FiresOnlyPastTheLimit) {
    const ThresholdRow& row = GetParam();
    Sized s = SizeRow(row.json);
    Set(s.o, row.slot, row.value);
    const review::Review r = review::ReviewCase(s.c, s.o);
    EXPECT_EQ(r.Find(row.code) != nullptr, row.fires) << review::CodeName(row.code);
}

INSTANTIATE_TEST_SUITE_P(Rows, ThresholdTest, testing::ValuesIn(kThresholdRows), testing_support::RowName());

TEST(Threshold, TwelveFeetAndMoreAskHalfAnInch) {
    Sized s = SizeExample(kProduction);
    Set(s.o, Slot::Diameter, 4.0);
    Set(s.o, Slot::WallThickness, 7 * kSixteenth);
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(Code::WallBelowRigidity);
    ASSERT_NE(f, nullptr);
    EXPECT_DOUBLE_EQ(f->Get("least_wall_for_rigidity"), 8 * kSixteenth);
}

TEST(Threshold, RaisedThreePhaseLevelsSumToTheMinimum) {
    // A raise with a heavy liquid writes h9 - 0.1 and 0.1, whose sum may miss h9 by a bit.
    Sized s = SizeExample(kProduction);
    Set(s.o, Slot::MinimumLevel, -0.9144);
    Set(s.o, Slot::HeavyLevel, 0.9144 - 0.1);
    Set(s.o, Slot::LightLayerThickness, 0.1);
    const review::Review r = review::ReviewCase(s.c, s.o);
    EXPECT_EQ(r.Find(Code::LevelBelowMinimum), nullptr);
}

TEST(Threshold, HoldupBetweenOneAndFivePercentIsANote) {
    Sized s = SizeExample(kProduction);
    // Promise 3 % less than the vessel holds: the light time shrinks by the heavy-free share.
    const double light = Mag(s.o, Slot::LightResidenceTime);
    Set(s.o, Slot::LightResidenceTime, -light * 0.955);
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(Code::HoldupDiffers);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->severity, Severity::Note);
    EXPECT_GT(f->Get("difference_percent"), 1.0);
    EXPECT_LT(f->Get("difference_percent"), 5.0);
    // Each liquid's exact time: the heavy one below its level, the light one between the level
    // and the surface.
    const double d = Mag(s.o, Slot::Diameter);
    const double heavyLevel = Mag(s.o, Slot::HeavyLevel);
    const double surface = heavyLevel + Mag(s.o, Slot::LightLayerThickness);
    const double qh = 40000.0 / 1020.0 / 3600.0, ql = 90000.0 / 830.0 / 3600.0;
    const double heavy = review::ExactLiquidVolume(heavyLevel, d, 3.0 * d);
    EXPECT_NEAR(f->Get("exact_heavy_residence_time"), heavy / qh, 1e-6);
    EXPECT_NEAR(f->Get("exact_light_residence_time"), (review::ExactLiquidVolume(surface, d, 3.0 * d) - heavy) / ql, 1e-6);
    const std::string text = review::Describe(*f, r.governing, host::UnitSystem::SI);
    EXPECT_NE(text.find(host::FormatNumber(heavy / qh, 0) + " s of heavy liquid."), std::string::npos) << text;
}

// --- Every number a finding prints ---------------------------------------------------------

TEST(Numbers, ScrubberLevelAndHeight) {
    const Sized s = SizeExample(kScrubber);
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* level = r.Find(Code::LevelBelowMinimum);
    ASSERT_NE(level, nullptr);
    EXPECT_NEAR(level->Get("liquid_surface"), 0.178016, 1e-6);
    EXPECT_DOUBLE_EQ(level->Get("minimum_liquid_level"), 0.9144);
    EXPECT_EQ(review::Describe(*level, r.governing, host::UnitSystem::SI),
              "The liquid surface at 0.178 m lies below the minimum liquid level of 0.914 m.");
    EXPECT_EQ(review::Describe(*level, r.governing, host::UnitSystem::US),
              "The liquid surface at 0.58 ft lies below the minimum liquid level of 3.00 ft.");

    const review::Finding* height = r.Find(Code::HeightSetByRatio);
    ASSERT_NE(height, nullptr);
    EXPECT_NEAR(height->Get("disengagement_height"), 5.65128, 1e-5);
    EXPECT_DOUBLE_EQ(height->Get("disengagement_rule"), 0.75 * 1.9812);
    EXPECT_NEAR(height->Get("spare_height"), 5.65128 - 1.4859, 1e-5);
    EXPECT_EQ(review::Describe(*height, r.governing, host::UnitSystem::SI),
              "The disengagement height of 5.651 m is 4.165 m more than the 1.486 m the disengagement rule gives for a "
              "diameter of 1.981 m: the ratio, not the process, sets the height.");
}

TEST(Numbers, DesignPressureOfTheScrubber) {
    const Sized s = SizeExample(kScrubber);
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(Code::DesignPressure);
    ASSERT_NE(f, nullptr);
    // 3500 kPa is 492.94 psig; the rule gives 570.63 psig = 4035.69 kPa abs; the shell formula
    // at that pressure, with 1/8 in allowance, rounds up to 29/16 in.
    EXPECT_NEAR(f->Get("design_pressure"), 4035.688113, 1e-5);
    EXPECT_NEAR(f->Get("wall_thickness_at_design_pressure"), 29 * kSixteenth, 1e-12);
    EXPECT_NEAR(f->Get("wall_thickness"), 25 * kSixteenth, 1e-12);
    EXPECT_EQ(review::Describe(*f, r.governing, host::UnitSystem::SI),
              "The wall is computed at the operating pressure of 3,500 kPa abs (39.7 mm); at a design pressure of 4,036 kPa abs "
              "it would be 46.0 mm.");
    EXPECT_EQ(review::Describe(*f, r.governing, host::UnitSystem::US),
              "The wall is computed at the operating pressure of 492.9 psig (1.562 in); at a design pressure of 570.6 psig "
              "it would be 1.812 in.");
}

struct DesignPressureRow {
    const char* name;
    double operatingPsig;
    double designPsig;  ///< by the rule, worked out by hand
};

const DesignPressureRow kDesignPressureRows[] = {
    {"AtmosphericTakesTenPsig", 0.0, 10.0},
    {"JustUnderFivePsigTakesTen", 4.99, 10.0},
    {"SixPsigTakesTheFitBelowTen", 6.0, 9.51268643607347},
    {"HundredPsig", 100.0, 128.80596849722687},
    {"ThousandPsigTakesTheFit", 1000.0, 1106.9027649018362},
    {"AboveThousandTakesTenPercent", 2000.0, 2200.0},
};

class DesignPressureTest : public testing::TestWithParam<DesignPressureRow> {};

TEST_P(DesignPressureTest, FollowsTheRule) {
    Sized s = SizeExample(kScrubber);
    s.c.values[host::kPressure] = (GetParam().operatingPsig + 14.696) / 0.1450377;
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(Code::DesignPressure);
    ASSERT_NE(f, nullptr);
    EXPECT_NEAR(f->Get("design_pressure") * 0.1450377 - 14.696, GetParam().designPsig, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Rows, DesignPressureTest, testing::ValuesIn(kDesignPressureRows), testing_support::RowName());

TEST(Numbers, WeightIsTheOneTheCostCameFrom) {
    for (const char* example : {kScrubber, kProduction, kRating}) {
        const Sized s = SizeExample(example);
        const review::Review r = review::ReviewCase(s.c, s.o);
        const review::Finding* f = r.Find(Code::WeightAndCost);
        ASSERT_NE(f, nullptr) << example;
        const double w = f->Get("vessel_weight");
        const double lnW = std::log(w);
        const double a = s.o.At(Slot::VesselCostA), b = s.o.At(Slot::VesselCostB), c = s.o.At(Slot::VesselCostC);
        const double cost = std::exp(a + (b + c * lnW) * lnW) * Mag(s.o, Slot::CostIndex) / 252.5 * Mag(s.o, Slot::MaterialCostFactor);
        EXPECT_NEAR(cost, Mag(s.o, Slot::VesselCost), 1e-9 * cost) << example;
        EXPECT_DOUBLE_EQ(f->Get("cost_index"), 252.5);
    }
}

TEST(Numbers, ScrubberWeightSentence) {
    const Sized s = SizeExample(kScrubber);
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(Code::WeightAndCost);
    ASSERT_NE(f, nullptr);
    // pi x 1.9812 x (0.8116 x 1.9812 + 6.9342) x 7861.09 x 25/16 in
    EXPECT_NEAR(f->Get("vessel_weight"), kExactPi * 1.9812 * (0.8116 * 1.9812 + 6.9342) * 7861.087973345294 * 25 * kSixteenth, 1e-3);
    EXPECT_EQ(review::Describe(*f, r.governing, host::UnitSystem::US),
              "The vessel cost of 50,027 USD comes from a vessel weight of 36,569 lb, at a cost index of 252.5.");
}

TEST(Numbers, KnockOutHoldupAgainstTheExactVolume) {
    const Sized s = SizeJson(kKnockOut);
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(Code::HoldupDiffers);
    ASSERT_NE(f, nullptr);
    const double d = Mag(s.o, Slot::Diameter);
    const double h = Mag(s.o, Slot::LightLayerThickness);
    const double ql = 2000.0 / 700.0 / 3600.0;
    const double promised = Mag(s.o, Slot::LightResidenceTime) * ql;
    const double exact = review::ExactLiquidVolume(h, d, 3.0 * d);
    EXPECT_NEAR(f->Get("promised_holdup"), promised, 1e-12);
    EXPECT_NEAR(f->Get("exact_holdup"), exact, 1e-12);
    EXPECT_NEAR(f->Get("difference_percent"), (exact - promised) / promised * 100.0, 1e-9);
    EXPECT_NEAR(f->Get("exact_light_residence_time"), exact / ql, 1e-6);
    EXPECT_EQ(f->Get("exact_heavy_residence_time"), 0.0);
    EXPECT_EQ(review::Describe(*f, r.governing, host::UnitSystem::SI),
              "The exact volume under the liquid surface at 0.013 m is 12.2% more than the hold-up the residence times promise "
              "(0.27 m3 against 0.24 m3); the exact volume gives 337 s of light liquid.");
}

TEST(Numbers, RangeSentences) {
    const Sized huge = SizeJson(kHugeGas);
    const review::Review r = review::ReviewCase(huge.c, huge.o);
    const review::Finding* d = r.Find(Code::DiameterBeyondRange);
    ASSERT_NE(d, nullptr);
    EXPECT_DOUBLE_EQ(d->Get("inside_diameter"), Mag(huge.o, Slot::Diameter));
    EXPECT_EQ(review::Describe(*d, r.governing, host::UnitSystem::SI),
              "The diameter of " + host::FormatNumber(Mag(huge.o, Slot::Diameter), 3) +
                  " m is past the 40.000 m that the sizing searches treat as their limit.");

    const Sized vacuum = SizeJson(kVacuum);
    const review::Review v = review::ReviewCase(vacuum.c, vacuum.o);
    const review::Finding* p = v.Find(Code::ExternalPressure);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(review::Describe(*p, v.governing, host::UnitSystem::SI),
              "The operating pressure of 20 kPa abs is below atmospheric: the wall formula covers internal pressure only, so "
              "the shell needs an external-pressure check.");
    const review::Finding* w = v.Find(Code::WallBelowRigidity);
    ASSERT_NE(w, nullptr);
    // 1.9812 m is 6.5 ft: 3/8 in, against the 1/4 in the formula's minimum gives.
    EXPECT_NEAR(w->Get("least_wall_for_rigidity"), 6 * kSixteenth, 1e-15);
    EXPECT_NEAR(w->Get("wall_thickness"), 4 * kSixteenth, 1e-15);
    EXPECT_EQ(review::Describe(*w, v.governing, host::UnitSystem::US),
              "The wall of 0.250 in is thinner than the 0.375 in commonly asked for rigidity at a diameter of 6.50 ft "
              "(corrosion allowance included).");
}

TEST(Numbers, TrickleGasLoad) {
    const Sized s = SizeJson(kTrickle);
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(Code::GasLoadOutOfRange);
    ASSERT_NE(f, nullptr);
    EXPECT_NEAR(f->Get("flow_parameter"), 0.69 / 200.0 * std::sqrt(5.0 / 700.0), 1e-15);
    EXPECT_EQ(review::Describe(*f, r.governing, host::UnitSystem::SI),
              "The flow parameter of 0.000292 lies below the 0.006 where the gas-load correlation is defined, so the allowable "
              "velocity of 0.002 m/s is an extrapolation.");
}

TEST(Numbers, DryGasWeightOutsideTheFit) {
    const Sized s = SizeExample(kDryGas);
    const review::Review r = review::ReviewCase(s.c, s.o);
    const review::Finding* f = r.Find(Code::WeightOutsideCorrelation);
    ASSERT_NE(f, nullptr);
    EXPECT_DOUBLE_EQ(f->Get("weight_fed_to_correlation"), r.Find(Code::WeightAndCost)->Get("vessel_weight"));
    EXPECT_EQ(review::Describe(*f, r.governing, host::UnitSystem::SI),
              "The vertical cost correlation is held to the 4,200 to 1,000,000 lb of the published vertical fit (its own source "
              "is not established); the cost step feeds it 2,116, the weight in kg, which lies outside that range.");
}

// --- The review reads, it never sizes --------------------------------------------------------

TEST(Review, LeavesEverySizedNumberAsItWas) {
    for (const std::string& json : {std::string(kScrubber), std::string(kProduction), std::string(kRating), kKnockOut, kTrickle}) {
        const Sized before = SizeRow(json);
        const host::SizingOutcome copy = before.o;
        const review::Review r = review::ReviewCase(before.c, before.o);
        EXPECT_GT(r.count, 0u);
        const Sized after = SizeRow(json);
        EXPECT_EQ(std::memcmp(before.o.values.data(), copy.values.data(), sizeof copy.values), 0) << json;
        EXPECT_EQ(std::memcmp(before.o.values.data(), after.o.values.data(), sizeof copy.values), 0) << json;
    }
}

}  // namespace
}  // namespace kestrol
