#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "vertical/vertical_levels.h"
#include "tests/array_slots.h"

namespace kestrol::vertical {
namespace {

using testing_support::ArraySlots;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Volume below a level inside the head, written independently of the code under test.
double HeadVolume(double h, double d) { return 3.141592654 * d * h * h - 4.1887902053333335 * h * h * h; }

TEST(SolveCubicTest, TruncatedConstantsShowInTheLastDigits) {
    std::array<double, 3> roots{};
    ASSERT_EQ(SolveCubic(-6.0, 11.0, -6.0, roots), 3);
    // Ten decimals as the worked example prints them; the exact roots 3, 1, 2 would miss.
    EXPECT_NEAR(roots[0], 3.0000000052, 5e-11);
    EXPECT_NEAR(roots[1], 1.0000000065, 5e-11);
    EXPECT_NEAR(roots[2], 1.9999999842, 5e-11);
    EXPECT_NE(roots[0], 3.0);
    EXPECT_NEAR(SmallestRootAbove(3, roots, 1.5), 1.9999999842, 5e-11);
}

struct CubicRow {
    const char* name;
    double a, b, c;
    int expectedCase;
    double expected[3];
    double tolerance;  // loose where the truncated constants move the roots
};

const CubicRow kCubicRows[] = {
    // (x - 1)(x^2 + 1): one real root, the pair 0 +- 1i (imaginary part with 0.8660254).
    {"OneRealRootAndAComplexPair", -1.0, 1.0, -1.0, 1, {1.0, 0.0, 1.0}, 1e-7},
    // (x - 1)^2 (x + 2): the discriminant is exactly 0.
    {"RepeatedRootWithPositiveQ", 0.0, -3.0, 2.0, 2, {-2.0, 1.0, 1.0}, 0.0},
    // (x + 1)^2 (x - 2): q < 0 takes the other sign pattern.
    {"RepeatedRootWithNegativeQ", 0.0, -3.0, -2.0, 2, {2.0, -1.0, -1.0}, 0.0},
    // (x - 0.5)(x - 1.5)(x - 2.5), q < 0 branch of the angle.
    {"ThreeRealRootsNegativeQ", -4.5, 5.75, -1.875, 3, {2.5, 0.5, 1.5}, 1e-7},
    // (x + 0.5)(x + 1.5)(x + 2.5), q > 0 branch of the angle.
    {"ThreeRealRootsPositiveQ", 4.5, 5.75, 1.875, 3, {-0.5, -2.5, -1.5}, 1e-7},
};

class SolveCubicRowsTest : public testing::TestWithParam<CubicRow> {};

TEST_P(SolveCubicRowsTest, RecoversTheRootsItWasBuiltFrom) {
    const CubicRow& row = GetParam();
    std::array<double, 3> roots{};
    ASSERT_EQ(SolveCubic(row.a, row.b, row.c, roots), row.expectedCase);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(roots[i], row.expected[i], row.tolerance) << "value " << i;
}

INSTANTIATE_TEST_SUITE_P(Rows, SolveCubicRowsTest, testing::ValuesIn(kCubicRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST(SolveCubicTest, DiscriminantThatIsNotANumberHasNoCase) {
    std::array<double, 3> roots{};
    EXPECT_EQ(SolveCubic(kNaN, 0.0, 1.0, roots), 0);
    EXPECT_EQ(SolveCubic(0.0, 0.0, kNaN, roots), 0);
    EXPECT_TRUE(IsEmpty(SmallestRootAbove(0, roots, -1e9)));
}

struct SmallestRootRow {
    const char* name;
    int rootCase;
    std::array<double, 3> roots;
    double bound;
    double expected;
};

const SmallestRootRow kSmallestRootRows[] = {
    {"CaseOneIgnoresThePairParts", 1, {2.0, 0.5, 0.7}, 0.0, 2.0},
    {"CaseTwoIgnoresTheThirdValue", 2, {3.0, 2.0, 0.5}, 0.0, 2.0},
    {"CaseThreeTakesTheSmallestAboveTheBound", 3, {3.0, 1.0, 2.0}, 1.5, 2.0},
    {"BoundItselfQualifies", 3, {3.0, 1.0, 2.0}, 1.0, 1.0},
    {"NoRootQualifies", 3, {3.0, 1.0, 2.0}, 3.5, kEmptyValue},
    {"UnknownCase", 4, {3.0, 1.0, 2.0}, 0.0, kEmptyValue},
    {"NotANumberNeverQualifies", 3, {kNaN, 1.0, kNaN}, 0.5, 1.0},
    {"NotANumberBoundAdmitsNothing", 3, {3.0, 1.0, 2.0}, kNaN, kEmptyValue},
};

class SmallestRootAboveTest : public testing::TestWithParam<SmallestRootRow> {};

TEST_P(SmallestRootAboveTest, PicksTheRow) {
    const SmallestRootRow& row = GetParam();
    EXPECT_EQ(SmallestRootAbove(row.rootCase, row.roots, row.bound), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SmallestRootAboveTest, testing::ValuesIn(kSmallestRootRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST(LevelForVolumeVerticalTest, AboveTheHeadTheCylinderRuleAnswers) {
    // 4 x 3 / (pi x 4) + 2/12.
    EXPECT_NEAR(LevelForVolumeVertical(3.0, 0.001, 2.0), 1.1216, 5e-5);
}

TEST(LevelForVolumeVerticalTest, InsideTheHeadTheSmallestAdmissibleRootAnswers) {
    const double level = LevelForVolumeVertical(0.5, 0.001, 2.0);
    EXPECT_NEAR(level, 0.3178, 5e-5);
    EXPECT_NEAR(HeadVolume(level, 2.0), 0.5, 1e-7);
}

TEST(LevelForVolumeVerticalTest, HeadVolumeRoundTripsThroughTheLevel) {
    for (double d : {0.6096, 1.2192, 3.048}) {
        for (double fraction : {0.05, 0.3, 0.6, 0.95}) {
            const double h = fraction * d / 4.0;
            EXPECT_NEAR(LevelForVolumeVertical(HeadVolume(h, d), 0.0, d), h, 1e-7 * d) << "D " << d << " level " << h;
        }
    }
}

TEST(LevelForVolumeVerticalTest, RootAboveHalfTheDiameterIsNoLevel) {
    // Roots near -0.2604, 0.3178 and 1.4426: above the bound 0.5 only the spurious one is left.
    EXPECT_TRUE(IsEmpty(LevelForVolumeVertical(0.5, 0.5, 2.0)));
    // A negative volume puts the head's root below 0 and leaves only the spurious root.
    EXPECT_TRUE(IsEmpty(LevelForVolumeVertical(-0.1, 0.001, 2.0)));
    EXPECT_TRUE(IsEmpty(LevelForVolumeVertical(kNaN, 0.001, 2.0)));
}

// A vector and a stream for the level calculation: D = 2 m.
struct LevelsCase {
    ArraySlots slots;
    StreamState feed;
    LevelsCase(double lightFlow, double heavyFlow) {
        slots[Slot::Diameter] = 2.0;
        feed.lightLiquidVolumeFlow = lightFlow;
        feed.heavyLiquidVolumeFlow = heavyFlow;
    }
};

TEST(CalcVerticalLevelsTest, TwoPhaseLayerAboveTheHead) {
    LevelsCase c(0.01, kEmptyValue);
    c.slots[Slot::LightResidenceTime] = 300.0;  // 3 m3
    double time = 0.0;
    ASSERT_EQ(CalcVerticalLevels(c.feed, c.slots, &time), 0.0);
    EXPECT_NEAR(c.slots[Slot::LightLayerThickness], 1.1216, 5e-5);
    EXPECT_EQ(time, 0.0) << "a caller's double other than empty is left alone";
    EXPECT_TRUE(IsEmpty(c.slots[Slot::HeavyLevel]));
}

TEST(CalcVerticalLevelsTest, HoldupTimeBelowTheMinimumLevel) {
    LevelsCase c(0.01, kEmptyValue);
    c.slots[Slot::MinimumLevel] = 0.3;
    double time = kEmptyValue;
    ASSERT_EQ(CalcVerticalLevels(c.feed, c.slots, &time), 0.0);
    EXPECT_NEAR(time, 45.2389, 5e-5);
    EXPECT_EQ(c.slots[Slot::LightLayerThickness], 0.0) << "no time for the light liquid: layer 0";
}

TEST(CalcVerticalLevelsTest, HoldupTimeAboveTheHeadCountsTheWholeHead) {
    LevelsCase c(0.01, 0.01);
    c.slots[Slot::MinimumLevel] = -1.0;  // read as its magnitude
    double time = kEmptyValue;
    ASSERT_EQ(CalcVerticalLevels(c.feed, c.slots, &time), 0.0);
    // (pi/24) x 8 for the head plus (pi/4) x 4 x 0.5 for the cylinder, over QL + QH.
    EXPECT_NEAR(time, (1.0471975513 + 1.5707963268) / 0.02, 1e-6);
}

TEST(CalcVerticalLevelsTest, HostFixedHeavyLevelStaysAndTheLayerIsBuiltOnIt) {
    LevelsCase c(0.002, 0.001);
    c.slots[Slot::HeavyLevel] = -0.2;
    c.slots[Slot::LightResidenceTime] = 100.0;
    c.slots[Slot::HeavyResidenceTime] = 200.0;
    ASSERT_EQ(CalcVerticalLevels(c.feed, c.slots, nullptr), 0.0);
    EXPECT_EQ(c.slots[Slot::HeavyLevel], -0.2);
    const double top = c.slots[Slot::LightLayerThickness] + 0.2;
    EXPECT_NEAR(HeadVolume(top, 2.0), 100.0 * 0.002 + 200.0 * 0.001, 1e-7);
}

TEST(CalcVerticalLevelsTest, ComputedHeavyLevelHoldsTheHeavyVolume) {
    LevelsCase c(0.002, 0.001);
    c.slots[Slot::LightResidenceTime] = 100.0;
    c.slots[Slot::HeavyResidenceTime] = -200.0;
    ASSERT_EQ(CalcVerticalLevels(c.feed, c.slots, nullptr), 0.0);
    EXPECT_NEAR(HeadVolume(c.slots[Slot::HeavyLevel], 2.0), 0.2, 1e-8);
    const double top = c.slots[Slot::HeavyLevel] + c.slots[Slot::LightLayerThickness];
    EXPECT_NEAR(HeadVolume(top, 2.0), 0.4, 1e-7);  // the truncated angle constants move the root
}

TEST(CalcVerticalLevelsTest, HeavyLevelAtTheTangentLineTakesTheCylinderForTheLayer) {
    LevelsCase c(0.01, 0.001);
    c.slots[Slot::HeavyLevel] = -0.5;  // exactly D/4
    c.slots[Slot::LightResidenceTime] = 100.0;
    ASSERT_EQ(CalcVerticalLevels(c.feed, c.slots, nullptr), 0.0);
    EXPECT_DOUBLE_EQ(c.slots[Slot::LightLayerThickness], 1.0 / (0.7853981635 * 4.0));
}

TEST(CalcVerticalLevelsTest, FixedLayerStaysWhileLevelAndTimeAreComputed) {
    LevelsCase c(0.01, 0.001);
    c.slots[Slot::LightLayerThickness] = -0.7;
    c.slots[Slot::HeavyResidenceTime] = 100.0;
    c.slots[Slot::LightResidenceTime] = 100.0;
    c.slots[Slot::MinimumLevel] = 0.3;
    double time = kEmptyValue;
    ASSERT_EQ(CalcVerticalLevels(c.feed, c.slots, &time), 0.0);
    EXPECT_EQ(c.slots[Slot::LightLayerThickness], -0.7);
    EXPECT_GT(c.slots[Slot::HeavyLevel], 0.0);
    EXPECT_NEAR(time, 0.452389 / 0.011, 1e-4);
}

TEST(CalcVerticalLevelsTest, FailedLayerKeepsTheHeavyLevelAndWritesNothingMore) {
    // A negative light flow leaves the combined level below the heavy one: no admissible root.
    LevelsCase c(-0.01, 0.001);
    c.slots[Slot::LightResidenceTime] = 100.0;
    c.slots[Slot::HeavyResidenceTime] = 100.0;
    c.slots[Slot::MinimumLevel] = 0.3;
    double time = kEmptyValue;
    EXPECT_TRUE(IsEmpty(CalcVerticalLevels(c.feed, c.slots, &time)));
    EXPECT_GT(c.slots[Slot::HeavyLevel], 0.0);
    EXPECT_TRUE(IsEmpty(c.slots[Slot::LightLayerThickness]));
    EXPECT_TRUE(IsEmpty(time));
}

TEST(CalcVerticalLevelsTest, UnstorableLayerIsRefusedAfterTheHoldupTime) {
    // An infinite light time gives an infinite layer: refused where it would be stored, so the
    // hold-up time, computed before, is still the caller's.
    LevelsCase c(0.001, 0.0001);
    c.slots[Slot::LightResidenceTime] = -std::numeric_limits<double>::infinity();
    c.slots[Slot::HeavyResidenceTime] = 600.0;
    c.slots[Slot::MinimumLevel] = -0.3048;
    double time = kEmptyValue;
    EXPECT_TRUE(IsEmpty(CalcVerticalLevels(c.feed, c.slots, &time)));
    EXPECT_TRUE(IsEmpty(c.slots[Slot::LightLayerThickness]));
    EXPECT_GT(c.slots[Slot::HeavyLevel], 0.0);
    EXPECT_GT(time, 0.0);
    EXPECT_TRUE(std::isfinite(time));
}

TEST(CalcVerticalLevelsTest, FixedLowHeavyLevelWithoutHeavyTimeFailsBeforeTheLayer) {
    LevelsCase c(0.01, 0.001);
    c.slots[Slot::HeavyLevel] = -0.2;
    c.slots[Slot::LightResidenceTime] = 100.0;
    double time = kEmptyValue;
    c.slots[Slot::MinimumLevel] = 0.3;
    EXPECT_TRUE(IsEmpty(CalcVerticalLevels(c.feed, c.slots, &time)));
    EXPECT_TRUE(IsEmpty(c.slots[Slot::LightLayerThickness]));
    EXPECT_TRUE(IsEmpty(time));
}

struct UnusableDiameterRow {
    const char* name;
    double diameter;
};

const UnusableDiameterRow kUnusableDiameterRows[] = {
    {"Empty", kEmptyValue}, {"Zero", 0.0}, {"NotANumber", kNaN}, {"Infinite", -kInf},
};

class CalcVerticalLevelsDiameterTest : public testing::TestWithParam<UnusableDiameterRow> {};

TEST_P(CalcVerticalLevelsDiameterTest, FailsWithNothingWritten) {
    LevelsCase c(0.01, 0.001);
    c.slots[Slot::Diameter] = GetParam().diameter;
    c.slots[Slot::LightResidenceTime] = 100.0;
    c.slots[Slot::HeavyResidenceTime] = 100.0;
    c.slots[Slot::MinimumLevel] = 0.3;
    const ArraySlots before = c.slots;
    double time = kEmptyValue;
    EXPECT_TRUE(IsEmpty(CalcVerticalLevels(c.feed, c.slots, &time)));
    // Bitwise: a NaN diameter must stay the same NaN.
    EXPECT_EQ(std::memcmp(c.slots.values.data(), before.values.data(), sizeof before.values), 0);
    EXPECT_TRUE(IsEmpty(time));
}

INSTANTIATE_TEST_SUITE_P(Rows, CalcVerticalLevelsDiameterTest, testing::ValuesIn(kUnusableDiameterRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST(CalcVerticalLevelsTest, NegativeDiameterIsReadAsItsMagnitude) {
    LevelsCase c(0.01, kEmptyValue);
    c.slots[Slot::Diameter] = -2.0;
    c.slots[Slot::LightResidenceTime] = 300.0;
    ASSERT_EQ(CalcVerticalLevels(c.feed, c.slots, nullptr), 0.0);
    EXPECT_NEAR(c.slots[Slot::LightLayerThickness], 1.1216, 5e-5);
}

struct NoTimeRow {
    const char* name;
    double lightFlow;
    double minimumLevel;
};

const NoTimeRow kNoTimeRows[] = {
    {"MinimumLevelEmpty", 0.01, kEmptyValue},
    {"FlowZero", 0.0, 0.3},
    {"FlowNotANumber", kNaN, 0.3},
    {"FlowInfinite", kInf, 0.3},
};

class CalcVerticalLevelsNoTimeTest : public testing::TestWithParam<NoTimeRow> {};

TEST_P(CalcVerticalLevelsNoTimeTest, CallersDoubleStaysEmpty) {
    LevelsCase c(GetParam().lightFlow, kEmptyValue);
    c.slots[Slot::MinimumLevel] = GetParam().minimumLevel;
    double time = kEmptyValue;
    ASSERT_EQ(CalcVerticalLevels(c.feed, c.slots, &time), 0.0);
    EXPECT_TRUE(IsEmpty(time));
}

INSTANTIATE_TEST_SUITE_P(Rows, CalcVerticalLevelsNoTimeTest, testing::ValuesIn(kNoTimeRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

/// Generated states of every slot and flow the level calculation reads: a value, its
/// negation (fixed), the empty marker, zero and NaN each turn up.
class LevelsStates {
public:
    double Uniform() {
        state_ ^= state_ << 13, state_ ^= state_ >> 7, state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) / 9007199254740992.0;
    }
    double Slot(double typical) {
        const double u = Uniform();
        const double v = typical * (0.2 + 2.0 * Uniform());
        if (u < 0.5) return v;
        if (u < 0.7) return -v;
        if (u < 0.85) return kEmptyValue;
        return u < 0.95 ? 0.0 : kNaN;
    }
    void Fill(ArraySlots& s, StreamState& feed, double& holdup) {
        s[Slot::Diameter] = Uniform() < 0.9 ? 0.3 + 3.0 * Uniform() : Slot(1.0);
        s[Slot::LightLayerThickness] = Slot(0.5);
        s[Slot::LightResidenceTime] = Slot(300.0);
        s[Slot::HeavyLevel] = Slot(0.5);
        s[Slot::HeavyResidenceTime] = Slot(300.0);
        s[Slot::MinimumLevel] = Slot(0.6);
        feed.lightLiquidVolumeFlow = Slot(0.002);
        feed.heavyLiquidVolumeFlow = Slot(0.001);
        holdup = Uniform() < 0.5 ? kEmptyValue : 10.0;
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

/// What a sizing may do between two level calculations.
struct BetweenRuns {
    const char* name;
    void (*apply)(ArraySlots&, StreamState&, double&);
};
const BetweenRuns kBetweenRuns[] = {
    {"Nothing", [](ArraySlots&, StreamState&, double&) {}},
    {"TimesStoredNegated", [](ArraySlots& s, StreamState&, double&) {
         s[Slot::LightResidenceTime] = -s[Slot::LightResidenceTime];
         s[Slot::HeavyResidenceTime] = -s[Slot::HeavyResidenceTime];
     }},
    {"DiameterGrown", [](ArraySlots& s, StreamState&, double&) { s[Slot::Diameter] += 0.1524; }},
    {"LayerRaised", [](ArraySlots& s, StreamState&, double&) { s[Slot::LightLayerThickness] = 0.9; }},
    {"LightTimeEmptied", [](ArraySlots& s, StreamState&, double&) { s[Slot::LightResidenceTime] = kEmptyValue; }},
    {"HeavyLevelFixed", [](ArraySlots& s, StreamState&, double&) { s[Slot::HeavyLevel] = -0.4; }},
    {"HeavyTimeChanged", [](ArraySlots& s, StreamState&, double&) { s[Slot::HeavyResidenceTime] = 450.0; }},
    {"MinimumLevelChanged", [](ArraySlots& s, StreamState&, double&) { s[Slot::MinimumLevel] = 0.7; }},
    {"LightFlowChanged", [](ArraySlots&, StreamState& f, double&) { f.lightLiquidVolumeFlow = 0.003; }},
    {"HeavyFlowGone", [](ArraySlots&, StreamState& f, double&) { f.heavyLiquidVolumeFlow = kEmptyValue; }},
    {"HoldupTimeEmptied", [](ArraySlots&, StreamState&, double& t) { t = kEmptyValue; }},
};

class RepeatedVerticalLevelsTest : public testing::TestWithParam<BetweenRuns> {};

// Two runs, the change between them: the repeated calculation must leave every slot, the
// hold-up time and the result as two plain calculations leave them.
TEST_P(RepeatedVerticalLevelsTest, LeavesWhatPlainRunsLeave) {
    LevelsStates states;
    int firstRunsSucceeded = 0;
    for (int i = 0; i < 20'000; ++i) {
        ArraySlots plain;
        StreamState feed;
        double plainHoldup = kEmptyValue;
        states.Fill(plain, feed, plainHoldup);
        ArraySlots repeated = plain;
        double repeatedHoldup = plainHoldup;
        RepeatedVerticalLevels levels(repeatedHoldup);

        const double first = CalcVerticalLevels(feed, plain, &plainHoldup);
        ASSERT_TRUE(SameBits(levels.Run(feed, repeated), first)) << "case " << i;
        if (first == 0.0) ++firstRunsSucceeded;
        StreamState repeatedFeed = feed;
        GetParam().apply(plain, feed, plainHoldup);
        GetParam().apply(repeated, repeatedFeed, repeatedHoldup);

        const double second = CalcVerticalLevels(feed, plain, &plainHoldup);
        ASSERT_TRUE(SameBits(levels.Run(repeatedFeed, repeated), second)) << "case " << i;
        ASSERT_TRUE(SameBits(repeatedHoldup, plainHoldup)) << "case " << i;
        for (int k = 0; k < kSlotCount; ++k)
            ASSERT_TRUE(SameBits(repeated.values[k], plain.values[k])) << "case " << i << ", slot " << k + 1;
    }
    EXPECT_GT(firstRunsSucceeded, 5'000);  // so that second runs have something to skip
}

INSTANTIATE_TEST_SUITE_P(Changes, RepeatedVerticalLevelsTest, testing::ValuesIn(kBetweenRuns),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

}  // namespace
}  // namespace kestrol::vertical
