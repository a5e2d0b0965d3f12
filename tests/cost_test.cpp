#include "design/cost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>

#include "tests/array_slots.h"
#include "tests/preset_vessel.h"
#include "tests/row_name.h"

namespace kestrol::design {
namespace {

using testing_support::ArraySlots;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
/// One sixteenth of an inch [m].
constexpr double kSixteenth = 0.0015875031750063502;
/// [kPa/psi]
constexpr double kKpaPerPsi = 6.89475908677537;

/// What the option presets leave for a vertical vessel, with D = 1 m and L = 3 m.
ArraySlots VerticalCase() { return testing_support::PresetVerticalVessel(1.0, 3.0); }

StreamState Feed(double pressureKpa, double temperatureC) {
    StreamState feed;
    feed.pressure = pressureKpa;
    feed.temperature = temperatureC;
    return feed;
}

bool SameBits(const ArraySlots& a, const ArraySlots& b) {
    return std::memcmp(a.values.data(), b.values.data(), sizeof a.values) == 0;
}

TEST(EstimateVesselCostTest, WorkedVerticalExample) {
    ArraySlots s = VerticalCase();
    ASSERT_EQ(EstimateVesselCost(Feed(1000.0, 100.0), s), 0.0);
    EXPECT_EQ(s[Slot::MaterialCostFactor], 1.0);
    EXPECT_EQ(s[Slot::MaterialDensity], 7861.087973345294);
    EXPECT_EQ(s[Slot::AllowableStress], 94458.19948882256);
    EXPECT_EQ(s[Slot::WallThickness], 0.009525019050038101);
    // W = pi D (0.8116 D + L) rho t, given to six figures.
    EXPECT_NEAR(3.141592654 * (0.8116 + 3.0) * s[Slot::MaterialDensity] * s[Slot::WallThickness], 896.614, 5e-4);
    EXPECT_NEAR(s[Slot::VesselCost], 10353.02, 5e-3);
    EXPECT_NEAR(s[Slot::PlatformCost], 2210.804, 5e-4);
    EXPECT_NEAR(s[Slot::TotalCost], 12563.83, 5e-3);
    EXPECT_EQ(s[Slot::TotalCost], s[Slot::VesselCost] + s[Slot::PlatformCost]);
}

// ---- Thickness: formulas, minimum, sixteenth-of-an-inch rounding ---------------------------

struct ThicknessRow {
    const char* name;
    double pressureKpa;
    void (*arrange)(ArraySlots&);
    double sixteenths;
};
void PrintTo(const ThicknessRow& row, std::ostream* os) { *os << row.name; }

const ThicknessRow kThicknessRows[] = {
    {"ShellGoverns", 1000.0, [](ArraySlots&) {}, 6.0},
    {"HeadGovernsWhenLarger", 1000.0, [](ArraySlots& s) { s[Slot::HeadStressMultiplier] = 0.5; }, 9.0},
    {"HighPressure", 5000.0, [](ArraySlots&) {}, 19.0},
    // Both formulas negative at zero gauge: the minimum plus the preset allowance.
    {"VacuumTakesMinimum", 0.0, [](ArraySlots&) {}, 4.0},
    {"HeadOnlyBelowMinimum", 1000.0, [](ArraySlots& s) { s[Slot::ShellPressureCoefficient] = kEmptyValue; }, 4.0},
    {"HeadNeedsBothSlots", 5000.0,
     [](ArraySlots& s) {
         s[Slot::ShellPressureCoefficient] = kEmptyValue;
         s[Slot::HeadPressureCoefficient] = kEmptyValue;
     },
     4.0},
    // 0.125 in is two sixteenths exactly and stays two.
    {"ExactMultipleNotRoundedUp", 1000.0,
     [](ArraySlots& s) {
         s[Slot::ShellPressureCoefficient] = kEmptyValue;
         s[Slot::HeadStressMultiplier] = kEmptyValue;
         s[Slot::CorrosionAllowance] = kEmptyValue;
     },
     2.0},
    {"NegativeCoefficientsReadAsMagnitudes", 1000.0,
     [](ArraySlots& s) {
         s[Slot::ShellPressureCoefficient] = -0.4;
         s[Slot::JointEfficiency] = -1.0;
         s[Slot::CorrosionAllowance] = -0.003175;
     },
     6.0},
    // Zero stress with a vacuum gives a positive denominator and a negative thickness.
    {"ZeroStressAtVacuumTakesMinimum", 0.0, [](ArraySlots& s) { s[Slot::AllowableStress] = 0.0; }, 4.0},
    {"UnknownCodeAtVacuumTakesMinimum", 0.0, [](ArraySlots& s) { s[Slot::MaterialCode] = 6.0; }, 4.0},
    // At a vacuum any stress leaves the formulas negative; an unusable one takes the minimum too.
    {"NaNStressAtVacuumTakesMinimum", 0.0, [](ArraySlots& s) { s[Slot::AllowableStress] = kNaN; }, 4.0},
};

class ThicknessTest : public testing::TestWithParam<ThicknessRow> {};

TEST_P(ThicknessTest, RoundsUpToWholeSixteenths) {
    const ThicknessRow& row = GetParam();
    ArraySlots s = VerticalCase();
    row.arrange(s);
    EstimateVesselCost(Feed(row.pressureKpa, 100.0), s);
    EXPECT_EQ(s[Slot::WallThickness], row.sixteenths * kSixteenth);
}

INSTANTIATE_TEST_SUITE_P(Rows, ThicknessTest, testing::ValuesIn(kThicknessRows),
                         [](const testing::TestParamInfo<ThicknessRow>& p) { return std::string(p.param.name); });

TEST(EstimateVesselCostTest, FixedThicknessIsUsedAndKept) {
    ArraySlots computed = VerticalCase();
    EstimateVesselCost(Feed(1000.0, 100.0), computed);
    ArraySlots fixed = VerticalCase();
    fixed[Slot::WallThickness] = -computed[Slot::WallThickness];
    ASSERT_EQ(EstimateVesselCost(Feed(1000.0, 100.0), fixed), 0.0);
    EXPECT_EQ(fixed[Slot::WallThickness], -computed[Slot::WallThickness]);
    EXPECT_EQ(fixed[Slot::VesselCost], computed[Slot::VesselCost]);

    ArraySlots thicker = VerticalCase();
    thicker[Slot::WallThickness] = -0.01;
    ASSERT_EQ(EstimateVesselCost(Feed(1000.0, 100.0), thicker), 0.0);
    EXPECT_EQ(thicker[Slot::WallThickness], -0.01);
    EXPECT_GT(thicker[Slot::VesselCost], computed[Slot::VesselCost]);
}

TEST(EstimateVesselCostTest, StoredCostFactorMagnitudeScalesVesselCostOnly) {
    ArraySlots plain = VerticalCase();
    EstimateVesselCost(Feed(1000.0, 100.0), plain);
    ArraySlots scaled = VerticalCase();
    scaled[Slot::MaterialCostFactor] = -1.5;
    ASSERT_EQ(EstimateVesselCost(Feed(1000.0, 100.0), scaled), 0.0);
    EXPECT_EQ(scaled[Slot::MaterialCostFactor], -1.5);
    EXPECT_EQ(scaled[Slot::VesselCost], plain[Slot::VesselCost] * 1.5);
    EXPECT_EQ(scaled[Slot::PlatformCost], plain[Slot::PlatformCost]);
}

TEST(EstimateVesselCostTest, PlatformCostEqualToEmptyMarkerIsStillANumber) {
    ArraySlots s = VerticalCase();
    // An empty coefficient used as stored, with D = 1 and L^0 = 1, prices at exactly -32767.
    s[Slot::PlatformCoefficient] = kEmptyValue;
    s[Slot::PlatformLengthExponent] = 0.0;
    ASSERT_EQ(EstimateVesselCost(Feed(1000.0, 100.0), s), 0.0);
    EXPECT_EQ(s[Slot::PlatformCost], kEmptyValue);
    EXPECT_NE(s[Slot::TotalCost], kEmptyValue);
    EXPECT_EQ(s[Slot::TotalCost], s[Slot::VesselCost] + kEmptyValue);
}

// ---- Refusals: what is written and what is returned -----------------------------------------

enum class Cost { Number, Empty };

struct RefusalRow {
    const char* name;
    double pressureKpa;
    void (*arrange)(ArraySlots&);
    double returned;
    bool thicknessWritten;  // slot 33 holds a thickness, else kEmptyValue
    Cost vessel, platform, total;
};
void PrintTo(const RefusalRow& row, std::ostream* os) { *os << row.name; }

const RefusalRow kRefusalRows[] = {
    {"UnknownCodeAtPressure", 1000.0, [](ArraySlots& s) { s[Slot::MaterialCode] = 6.0; },
     kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"EmptyCodeAtPressure", 1000.0, [](ArraySlots& s) { s[Slot::MaterialCode] = kEmptyValue; },
     kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"NaNCodeAtPressure", 1000.0, [](ArraySlots& s) { s[Slot::MaterialCode] = kNaN; },
     kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"UnknownCodeAtVacuum", 0.0, [](ArraySlots& s) { s[Slot::MaterialCode] = 6.0; },
     kEmptyValue, true, Cost::Empty, Cost::Number, Cost::Empty},
    {"UnknownCodeWithHostDensityAtVacuum", 0.0,
     [](ArraySlots& s) {
         s[Slot::MaterialCode] = 6.0;
         s[Slot::MaterialDensity] = -7861.087973345294;
     },
     0.0, true, Cost::Number, Cost::Number, Cost::Number},
    {"ZeroStressAtPressure", 1000.0, [](ArraySlots& s) { s[Slot::AllowableStress] = 0.0; },
     kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"NaNStressAtPressure", 1000.0, [](ArraySlots& s) { s[Slot::AllowableStress] = kNaN; },
     kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"PressureBeyondShellStress", 1.0e6, [](ArraySlots&) {},
     kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"PressureBeyondShellStressWithoutHead", 1.0e6, [](ArraySlots& s) { s[Slot::HeadStressMultiplier] = kEmptyValue; },
     kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"NaNPressure", kNaN, [](ArraySlots&) {}, kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"NegativeInfinitePressure", -kInf, [](ArraySlots&) {}, kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"PressureBeyondHeadStress", 1.0e6, [](ArraySlots& s) { s[Slot::ShellPressureCoefficient] = kEmptyValue; },
     kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"ZeroDensity", 1000.0, [](ArraySlots& s) { s[Slot::MaterialDensity] = 0.0; },
     kEmptyValue, true, Cost::Empty, Cost::Number, Cost::Empty},
    // A falling cost curve would price a weightless vessel at 0.
    {"ZeroDensityWithFallingCostCurve", 1000.0,
     [](ArraySlots& s) {
         s[Slot::MaterialDensity] = 0.0;
         s[Slot::VesselCostC] = -0.0458;
     },
     kEmptyValue, true, Cost::Empty, Cost::Number, Cost::Empty},
    {"InfiniteFixedThickness", 1000.0, [](ArraySlots& s) { s[Slot::WallThickness] = -kInf; },
     kEmptyValue, true, Cost::Empty, Cost::Number, Cost::Empty},
    {"NaNCorrosionAllowance", 1000.0, [](ArraySlots& s) { s[Slot::CorrosionAllowance] = kNaN; },
     kEmptyValue, false, Cost::Empty, Cost::Number, Cost::Empty},
    {"VesselCostOverflows", 1000.0, [](ArraySlots& s) { s[Slot::VesselCostA] = 1000.0; },
     kEmptyValue, true, Cost::Empty, Cost::Number, Cost::Empty},
    {"PlatformCostOverflows", 1000.0, [](ArraySlots& s) { s[Slot::PlatformLengthExponent] = 1000.0; },
     kEmptyValue, true, Cost::Number, Cost::Empty, Cost::Empty},
    {"ZeroStressAtVacuum", 0.0, [](ArraySlots& s) { s[Slot::AllowableStress] = 0.0; },
     0.0, true, Cost::Number, Cost::Number, Cost::Number},
};

void ExpectCost(ArraySlots& s, Slot slot, Cost expected) {
    const double v = s[slot];
    if (expected == Cost::Empty)
        EXPECT_EQ(v, kEmptyValue) << "slot " << Index(slot);
    else
        EXPECT_TRUE(std::isfinite(v) && !IsEmpty(v)) << "slot " << Index(slot) << " = " << v;
}

class RefusalTest : public testing::TestWithParam<RefusalRow> {};

TEST_P(RefusalTest, WritesOnlyWhatItCanPrice) {
    const RefusalRow& row = GetParam();
    ArraySlots s = VerticalCase();
    row.arrange(s);
    const double fixedThickness = s[Slot::WallThickness];
    EXPECT_EQ(EstimateVesselCost(Feed(row.pressureKpa, 100.0), s), row.returned);
    if (!row.thicknessWritten)
        EXPECT_EQ(s[Slot::WallThickness], kEmptyValue);
    else if (IsEmpty(fixedThickness))
        EXPECT_GT(s[Slot::WallThickness], 0.0);
    else
        EXPECT_EQ(s[Slot::WallThickness], fixedThickness);
    ExpectCost(s, Slot::VesselCost, row.vessel);
    ExpectCost(s, Slot::PlatformCost, row.platform);
    ExpectCost(s, Slot::TotalCost, row.total);
}

INSTANTIATE_TEST_SUITE_P(Rows, RefusalTest, testing::ValuesIn(kRefusalRows),
                         [](const testing::TestParamInfo<RefusalRow>& p) { return std::string(p.param.name); });

TEST(EstimateVesselCostTest, UnknownCodeLeavesDensityEmptyAndStoresFactorOne) {
    ArraySlots s = VerticalCase();
    s[Slot::MaterialCode] = 6.0;
    EstimateVesselCost(Feed(1000.0, 100.0), s);
    EXPECT_EQ(s[Slot::MaterialDensity], kEmptyValue);
    EXPECT_EQ(s[Slot::MaterialCostFactor], 1.0);
    EXPECT_EQ(s[Slot::AllowableStress], kEmptyValue);
    ArraySlots known = VerticalCase();
    EstimateVesselCost(Feed(1000.0, 100.0), known);
    EXPECT_EQ(s[Slot::PlatformCost], known[Slot::PlatformCost]);
}

struct UnusableShapeRow {
    const char* name;
    double diameter, length;
};
void PrintTo(const UnusableShapeRow& row, std::ostream* os) { *os << row.name; }

const UnusableShapeRow kUnusableShapeRows[] = {
    {"EmptyDiameter", kEmptyValue, 3.0}, {"ZeroDiameter", 0.0, 3.0},     {"NaNDiameter", kNaN, 3.0},
    {"InfiniteDiameter", -kInf, 3.0},    {"EmptyLength", 1.0, kEmptyValue}, {"ZeroLength", 1.0, 0.0},
    {"NaNLength", 1.0, kNaN},            {"InfiniteLength", 1.0, kInf},
};

class UnusableShapeTest : public testing::TestWithParam<UnusableShapeRow> {};

TEST_P(UnusableShapeTest, ReturnsEmptyAndWritesNothing) {
    ArraySlots s = VerticalCase();
    s[Slot::Diameter] = GetParam().diameter;
    s[Slot::OverallLength] = GetParam().length;
    const ArraySlots before = s;
    EXPECT_EQ(EstimateVesselCost(Feed(1000.0, 100.0), s), kEmptyValue);
    EXPECT_TRUE(SameBits(s, before));
}

INSTANTIATE_TEST_SUITE_P(Rows, UnusableShapeTest, testing::ValuesIn(kUnusableShapeRows),
                         [](const testing::TestParamInfo<UnusableShapeRow>& p) { return std::string(p.param.name); });

TEST(EstimateVesselCostTest, FixedDimensionsReadAsMagnitudes) {
    ArraySlots plain = VerticalCase();
    EstimateVesselCost(Feed(1000.0, 100.0), plain);
    ArraySlots fixed = VerticalCase();
    fixed[Slot::Diameter] = -1.0;
    fixed[Slot::OverallLength] = -3.0;
    ASSERT_EQ(EstimateVesselCost(Feed(1000.0, 100.0), fixed), 0.0);
    EXPECT_EQ(fixed[Slot::TotalCost], plain[Slot::TotalCost]);
    EXPECT_EQ(fixed[Slot::Diameter], -1.0);
}

// ---- A second run reproduces the first ------------------------------------------------------

struct RerunRow {
    const char* name;
    double pressureKpa, temperatureC;
    void (*arrange)(ArraySlots&);
};
void PrintTo(const RerunRow& row, std::ostream* os) { *os << row.name; }

const RerunRow kRerunRows[] = {
    {"WorkedExample", 1000.0, 100.0, [](ArraySlots&) {}},
    {"StainlessHot", 2500.0, 480.0, [](ArraySlots& s) { s[Slot::MaterialCode] = 3.0; }},
    {"UnknownCode", 1000.0, 100.0, [](ArraySlots& s) { s[Slot::MaterialCode] = 9.0; }},
    {"FixedThickness", 800.0, 20.0, [](ArraySlots& s) { s[Slot::WallThickness] = -0.012; }},
    {"Vacuum", 50.0, -40.0, [](ArraySlots& s) { s[Slot::MaterialCode] = 4.0; }},
};

class RerunTest : public testing::TestWithParam<RerunRow> {};

TEST_P(RerunTest, SecondRunWritesTheSameBits) {
    const RerunRow& row = GetParam();
    const StreamState feed = Feed(row.pressureKpa, row.temperatureC);
    ArraySlots s = VerticalCase();
    row.arrange(s);
    const double first = EstimateVesselCost(feed, s);
    ArraySlots afterFirst = s;
    EXPECT_EQ(EstimateVesselCost(feed, s), first);
    EXPECT_TRUE(SameBits(s, afterFirst));
    EXPECT_NE(afterFirst[Slot::PlatformCost], kEmptyValue);
}

INSTANTIATE_TEST_SUITE_P(Rows, RerunTest, testing::ValuesIn(kRerunRows),
                         [](const testing::TestParamInfo<RerunRow>& p) { return std::string(p.param.name); });

// ---- Material table --------------------------------------------------------------------------

struct MaterialRow {
    const char* name;
    double code;
    double costFactor, density;
};
void PrintTo(const MaterialRow& row, std::ostream* os) { *os << row.name; }

const MaterialRow kMaterialRows[] = {
    {"CarbonSteel", 1.0, 1.0, 7861.087973345294},
    {"Code2", 2.0, 1.68, 8027.167296725828},
    {"Code3", 3.0, 2.07, 8027.167296725828},
    {"Code4", 4.0, 2.7, 2675.0},
    {"Code5", 5.0, 1.0, 7861.087973345294},
    {"FractionTruncates", 2.9, 1.68, 8027.167296725828},
    {"NegativeReadsAsMagnitude", -3.0, 2.07, 8027.167296725828},
    {"Zero", 0.0, 1.0, kEmptyValue},
    {"Six", 6.0, 1.0, kEmptyValue},
    {"Empty", kEmptyValue, 1.0, kEmptyValue},
    {"NaN", kNaN, 1.0, kEmptyValue},
    {"Huge", 1.0e12, 1.0, kEmptyValue},
};

class MaterialTest : public testing::TestWithParam<MaterialRow> {};

TEST_P(MaterialTest, LooksUpFactorAndDensity) {
    ArraySlots s;
    s[Slot::MaterialCode] = GetParam().code;
    EXPECT_EQ(MaterialCostFactor(s), GetParam().costFactor);
    EXPECT_EQ(MaterialDensity(s), GetParam().density);
}

INSTANTIATE_TEST_SUITE_P(Rows, MaterialTest, testing::ValuesIn(kMaterialRows),
                         [](const testing::TestParamInfo<MaterialRow>& p) { return std::string(p.param.name); });

TEST(MaterialDensityTest, StoredDensityWinsAsMagnitude) {
    ArraySlots s;
    s[Slot::MaterialCode] = 4.0;
    s[Slot::MaterialDensity] = -1234.5;
    EXPECT_EQ(MaterialDensity(s), 1234.5);
}

struct StressRow {
    const char* name;
    double code;
    double temperatureF;
    double psi;  // kEmptyValue: no stress for the code
};
void PrintTo(const StressRow& row, std::ostream* os) { *os << row.name; }

const StressRow kStressRows[] = {
    {"ACold", 1.0, -100.0, 13700.0},
    {"AAt650", 1.0, 650.0, 13700.0},
    {"AJustAbove650", 1.0, 650.0000001, 13200.0},
    {"AAt800", 1.0, 800.0, 10200.0},
    {"AAt900", 1.0, 900.0, 6500.0},
    {"AAbove900", 1.0, 900.5, 2500.0},
    {"ANaNTakesLastEntry", 1.0, kNaN, 2500.0},
    {"Code5UsesA", 5.0, 700.0, 13200.0},
    {"BAt100", 2.0, 100.0, 18700.0},
    {"BAt200", 2.0, 200.0, 15600.0},
    {"BAt400", 2.0, 400.0, 12900.0},
    {"BAt1000", 2.0, 1000.0, 9700.0},
    {"BAt1400", 2.0, 1400.0, 2300.0},
    {"BAbove1400", 2.0, 1400.1, 1400.0},
    {"CAt700", 3.0, 700.0, 11300.0},
    {"CAt1100", 3.0, 1100.0, 10300.0},
    {"CAt1300", 3.0, 1300.0, 4100.0},
    {"CAbove1400", 3.0, 2000.0, 1700.0},
    {"DAt200", 4.0, 200.0, 1600.0},
    {"DAt350", 4.0, 350.0, 1000.0},
    {"DAbove350", 4.0, 350.01, 800.0},
    {"DVeryHot", 4.0, 5000.0, 800.0},
    {"UnknownCode", 7.0, 212.0, kEmptyValue},
    {"EmptyCode", kEmptyValue, 212.0, kEmptyValue},
};

class AllowableStressTest : public testing::TestWithParam<StressRow> {};

TEST_P(AllowableStressTest, BoundsAreInclusive) {
    const StressRow& row = GetParam();
    ArraySlots s;
    s[Slot::MaterialCode] = row.code;
    const double expected = IsEmpty(row.psi) ? kEmptyValue : row.psi * kKpaPerPsi;
    EXPECT_EQ(AllowableStress(s, row.temperatureF), expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, AllowableStressTest, testing::ValuesIn(kStressRows),
                         [](const testing::TestParamInfo<StressRow>& p) { return std::string(p.param.name); });

TEST(AllowableStressTest, StoredStressWinsAsMagnitude) {
    ArraySlots s;
    s[Slot::MaterialCode] = 6.0;
    s[Slot::AllowableStress] = -80000.0;
    EXPECT_EQ(AllowableStress(s, 212.0), 80000.0);
}

// The rows each material's stress table lists, and what its last row stands for.
struct TableEndRow {
    const char* name;
    double code;
    double topF;  ///< the last temperature listed [deg F]; kEmptyValue for no table
    MaterialFamily family;
};

const TableEndRow kTableEndRows[] = {
    {"CarbonSteelListsTo900F", 1.0, 900.0, MaterialFamily::CarbonSteel},
    {"StainlessListsTo1400F", 2.0, 1400.0, MaterialFamily::StainlessSteel},
    {"SecondStainlessListsTo1400F", 3.0, 1400.0, MaterialFamily::StainlessSteel},
    {"AluminiumListsTo350F", 4.0, 350.0, MaterialFamily::Aluminium},
    {"CodeFiveIsCarbonSteel", 5.0, 900.0, MaterialFamily::CarbonSteel},
    {"UnknownCodeHasNoTable", 9.0, kEmptyValue, MaterialFamily::Unknown},
};

class StressTableEndTest : public testing::TestWithParam<TableEndRow> {};

TEST_P(StressTableEndTest, LastListedRowAndFamily) {
    ArraySlots s = VerticalCase();
    s.Set(Slot::MaterialCode, GetParam().code);
    EXPECT_EQ(StressTableTopF(s), GetParam().topF);
    EXPECT_EQ(FamilyOf(s), GetParam().family);
    if (IsEmpty(GetParam().topF)) return;
    // Just past the last listed temperature the stress is the one every hotter temperature takes.
    EXPECT_EQ(AllowableStress(s, GetParam().topF + 1.0), AllowableStress(s, 5000.0));
    EXPECT_NE(AllowableStress(s, GetParam().topF), AllowableStress(s, 5000.0));
}

INSTANTIATE_TEST_SUITE_P(Rows, StressTableEndTest, testing::ValuesIn(kTableEndRows), testing_support::RowName());

TEST(RequiredWallThicknessTest, IsTheShellThicknessBeforeRounding) {
    // 1000 kPa, D = 1 m, 13,700 psi, E = 1, 1/8 in allowance: P = 130.3417 psig, R = 19.685 in,
    // t = P R / (S E - 0.4 P) = 2565.78 / 13647.86 = 0.187998 in; with 0.12499975 in of allowance
    // 0.312998 in = 7.9501 mm, which the cost step rounds up to 6/16 in.
    const double p = 1000.0 * 0.1450377 - 14.696;
    const WallFormulas formulas{0.4, 2.0, 0.2};
    const double stress = 13700.0 * kKpaPerPsi;
    const double required = RequiredWallThickness(p, 1.0, 1.0, stress, 0.003175, formulas);
    EXPECT_NEAR(required, (0.003175 * 39.37 + p * 19.685 / (13700.0 * kKpaPerPsi * 0.1450377 - 0.4 * p)) / 39.37, 1e-15);
    EXPECT_NEAR(required * 1000.0, 7.9501, 1e-4);
    EXPECT_EQ(ShellThickness(p, 1.0, 1.0, stress, 0.003175, formulas), 6 * kSixteenth);
}

TEST(DesignTemperatureTest, CelsiusOfUndoesIt) {
    for (const double c : {-46.0, -29.0, 0.0, 35.0, 427.0})
        EXPECT_NEAR(CelsiusOf(DesignTemperatureF(c)), c, 1e-12) << c;
    EXPECT_DOUBLE_EQ(DesignTemperatureF(100.0), 212.0);
}

}  // namespace
}  // namespace kestrol::design
