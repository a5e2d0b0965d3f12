#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "row_name.h"

#include "array_slots.h"
#include "design/presets.h"
#include "common/default_times.h"

namespace kestrol {
namespace {

using testing_support::ArraySlots;

// The two-phase feed of the worked example, flows as Calculate derives them.
StreamState WorkedExampleFeed() {
    StreamState feed;
    feed.lightLiquidDensity = 800.0;
    feed.vapourDensity = 10.0;
    feed.lightLiquidMassFlow = 10000.0;
    feed.vapourMassFlow = 5000.0;
    feed.pressure = 1000.0;
    feed.temperature = 40.0;
    feed.vapourVolumeFlow = 5000.0 / 10.0 * 0.0002777777777777778;
    feed.lightLiquidVolumeFlow = 10000.0 / 800.0 * 0.0002777777777777778;
    return feed;
}

TEST(PresetOptionsTest, WorkedExampleChoosesHorizontal) {
    ArraySlots slots;
    ASSERT_EQ(design::PresetOptions(WorkedExampleFeed(), slots), 0.0);
    EXPECT_NEAR(slots[Slot::VapourVelocity], 0.9366606, 5e-8);
    EXPECT_EQ(slots[Slot::LightResidenceTime], 300.0);
    EXPECT_EQ(slots[Slot::Orientation], 1.0);
    EXPECT_EQ(slots[Slot::MinimumLevel], -0.3048);
    EXPECT_EQ(slots[Slot::Ratio], -3.0);
    const double horizontalCosts[] = {8.114, -0.1645, 0.0433, 0.0, 1288.3, 0.203};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(slots.values[23 + i], horizontalCosts[i]) << "slot " << 24 + i;
    EXPECT_EQ(slots[Slot::FirstPassFlag], 0.0);
    EXPECT_EQ(slots[Slot::HeavyLevel], kEmptyValue);
    EXPECT_EQ(slots[Slot::HeavyResidenceTime], kEmptyValue);
}

TEST(PresetOptionsTest, EveryOptionPresetAndTheRestEmpty) {
    ArraySlots slots;
    slots.values.fill(123.0);
    slots[Slot::Orientation] = 0.0;
    ASSERT_EQ(design::PresetOptions(WorkedExampleFeed(), slots), 0.0);
    const double expected[kSlotCount] = {
        kEmptyValue, kEmptyValue, slots[Slot::VapourVelocity], kEmptyValue, kEmptyValue, 300.0, kEmptyValue, kEmptyValue,
        kEmptyValue, -0.3048, kEmptyValue, 0.0, kEmptyValue, 0.0, 252.5, 0.003175, 1.0, 1.0, 0.4, kEmptyValue, 2.0, 0.2,
        0.8116, 8.6, -0.2165, 0.0458, 0.7068, 1017.0, 0.7396, kEmptyValue, kEmptyValue, kEmptyValue, kEmptyValue,
        -0.3048, 0.0, kEmptyValue, kEmptyValue, kEmptyValue, kEmptyValue};
    for (int i = 0; i < kSlotCount; ++i) EXPECT_EQ(slots.values[i], expected[i]) << "slot " << i + 1;
}

struct OrientationRow {
    const char* name;
    double before;
    double after;
};
const OrientationRow kOrientationRows[] = {
    {"VerticalStays", 0.0, 0.0}, {"FractionBelowOneIsVertical", 0.7, 0.0},
    {"Horizontal", 1.0, 1.0}, {"TwoBecomesHorizontal", 2.0, 1.0}, {"MinusOneBecomesHorizontal", -1.0, 1.0},
};
class PresetOrientationTest : public testing::TestWithParam<OrientationRow> {};
TEST_P(PresetOrientationTest, KeepsOrReducesTheHostsOrientation) {
    ArraySlots slots;
    slots[Slot::Orientation] = GetParam().before;
    ASSERT_EQ(design::PresetOptions(WorkedExampleFeed(), slots), 0.0);
    EXPECT_EQ(slots[Slot::Orientation], GetParam().after);
    const bool vertical = GetParam().after == 0.0;
    EXPECT_EQ(slots[Slot::Ratio], vertical ? kEmptyValue : -3.0);
    EXPECT_EQ(slots[Slot::MinimumLevel], vertical ? kEmptyValue : -0.3048);
    EXPECT_EQ(slots[Slot::VesselCostA], vertical ? 8.6 : 8.114);
}
INSTANTIATE_TEST_SUITE_P(Rows, PresetOrientationTest, testing::ValuesIn(kOrientationRows), testing_support::RowName());

struct PressureRow {
    const char* name;
    double kilopascal;
    double ratio;
};
const PressureRow kPressureRows[] = {
    {"Below250Psi", 1723.0, -3.0}, {"Above250Psi", 1724.0, -4.0}, {"Above500Psi", 3448.0, -5.0},
    {"NaNPressureIsInNoClass", std::numeric_limits<double>::quiet_NaN(), kEmptyValue},
};
class PressureClassTest : public testing::TestWithParam<PressureRow> {};
TEST_P(PressureClassTest, RatioFollowsThePressureClass) {
    ArraySlots slots;
    StreamState feed = WorkedExampleFeed();
    feed.pressure = GetParam().kilopascal;
    slots[Slot::Orientation] = 1.0;
    ASSERT_EQ(design::PresetOptions(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::Ratio], GetParam().ratio);
}
INSTANTIATE_TEST_SUITE_P(Rows, PressureClassTest, testing::ValuesIn(kPressureRows), testing_support::RowName());

TEST(PresetOptionsTest, SmallVapourLoadWithLittleLiquidChoosesVertical) {
    StreamState feed = WorkedExampleFeed();
    feed.lightLiquidMassFlow = 100.0;
    feed.lightLiquidVolumeFlow = 100.0 / 800.0 * 0.0002777777777777778;
    ArraySlots slots;
    ASSERT_EQ(design::PresetOptions(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::Orientation], 0.0);
    EXPECT_EQ(slots[Slot::Ratio], kEmptyValue);
}

TEST(PresetOptionsTest, ThreePhaseWritesTheHeavyTime) {
    StreamState feed = WorkedExampleFeed();
    feed.heavyLiquidDensity = 1000.0;
    feed.heavyLiquidVolumeFlow = 0.001;
    ArraySlots slots;
    slots[Slot::HeavyLevel] = 0.4;
    ASSERT_EQ(design::PresetOptions(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::HeavyResidenceTime], 600.0);
    EXPECT_EQ(slots[Slot::LightResidenceTime], 600.0);
    EXPECT_EQ(slots[Slot::HeavyLevel], kEmptyValue);
}

TEST(AllowableVapourVelocityTest, FlowParameterBoundariesTakeTheLowerBranch) {
    StreamState feed;
    feed.vapourDensity = 1.0;
    feed.lightLiquidDensity = 100.0;  // sqrt(rhoV / rhoL) = 0.1
    feed.vapourMassFlow = 1000.0;
    const double densityTerm = 0.3048 * std::sqrt(99.0);

    feed.lightLiquidMassFlow = 500.0;  // X = 0.05
    EXPECT_DOUBLE_EQ(design::AllowableVapourVelocity(feed), (0.733 + 0.0899 * std::log(0.05)) * densityTerm);
    feed.lightLiquidMassFlow = 10000.0;  // X = 1
    EXPECT_DOUBLE_EQ(design::AllowableVapourVelocity(feed), 0.463 * std::exp(-1.306) * densityTerm);
    feed.lightLiquidMassFlow = 20000.0;  // X = 2
    EXPECT_DOUBLE_EQ(design::AllowableVapourVelocity(feed), 0.14 * densityTerm);
}

TEST(AllowableVapourVelocityTest, CappedAtTwoMetresPerSecond) {
    StreamState feed = WorkedExampleFeed();
    feed.vapourDensity = 0.1;
    EXPECT_EQ(design::AllowableVapourVelocity(feed), 2.0);
}

struct RefusedRow {
    const char* name;
    double StreamState::*input;
    double value;
};
const RefusedRow kRefusedRows[] = {
    {"LiquidDensityUnset", &StreamState::lightLiquidDensity, kEmptyValue},
    {"VapourDensityInfinite", &StreamState::vapourDensity, std::numeric_limits<double>::infinity()},
    {"LiquidFlowUnset", &StreamState::lightLiquidMassFlow, kEmptyValue},
    {"VapourFlowNaN", &StreamState::vapourMassFlow, std::numeric_limits<double>::quiet_NaN()},
    {"NoLiquidFlowGivesNoFlowParameter", &StreamState::lightLiquidMassFlow, 0.0},
    {"LiquidLighterThanVapour", &StreamState::lightLiquidDensity, 5.0},
};
class PresetRefusalTest : public testing::TestWithParam<RefusedRow> {};
TEST_P(PresetRefusalTest, LeavesTheVectorUntouched) {
    StreamState feed = WorkedExampleFeed();
    feed.*GetParam().input = GetParam().value;
    ArraySlots slots;
    slots.values.fill(42.0);
    EXPECT_EQ(design::PresetOptions(feed, slots), kEmptyValue);
    for (double v : slots.values) EXPECT_EQ(v, 42.0);
}
INSTANTIATE_TEST_SUITE_P(Rows, PresetRefusalTest, testing::ValuesIn(kRefusedRows), testing_support::RowName());

// Each way the correlation fails has its verdict, and the allowable velocity is empty exactly
// where the presets stop: a negative velocity is kept as the fit gives it.
struct VerdictRow {
    const char* name;
    double StreamState::*input;
    double value;
    design::GasLoadVerdict verdict;
};
const VerdictRow kVerdictRows[] = {
    {"WorkedExampleIsUsable", &StreamState::vapourMassFlow, 5000.0, design::GasLoadVerdict::Usable},
    {"LiquidDensityUnset", &StreamState::lightLiquidDensity, kEmptyValue, design::GasLoadVerdict::InputUnset},
    {"DenormalVapourFlowOverflowsTheFlowRatio", &StreamState::vapourMassFlow, 1e-310, design::GasLoadVerdict::FlowRatioNotFinite},
    {"DenormalLiquidDensityOverflowsTheRoot", &StreamState::lightLiquidDensity, 1e-320, design::GasLoadVerdict::FlowParameterNotFinite},
    {"NoLiquidFlowGivesAZeroFlowParameter", &StreamState::lightLiquidMassFlow, 0.0, design::GasLoadVerdict::FlowParameterNotPositive},
    {"LiquidLighterThanVapour", &StreamState::lightLiquidDensity, 5.0, design::GasLoadVerdict::DensitiesNotApart},
    {"EqualDensities", &StreamState::lightLiquidDensity, 10.0, design::GasLoadVerdict::DensitiesNotApart},
    {"DenormalVapourDensityOverflowsTheVelocity", &StreamState::vapourDensity, 1e-320, design::GasLoadVerdict::VelocityNotFinite},
    // A trickle of liquid: X = 1.7e-6, far below where the logarithmic fit reaches zero.
    {"DryFeedFallsThroughZero", &StreamState::lightLiquidMassFlow, 0.0745, design::GasLoadVerdict::VelocityNotPositive},
};
class GasLoadVerdictTest : public testing::TestWithParam<VerdictRow> {};
TEST_P(GasLoadVerdictTest, NamesTheStepThatFailedAndAgreesWithTheAllowableVelocity) {
    StreamState feed = WorkedExampleFeed();
    feed.*GetParam().input = GetParam().value;
    const design::GasLoad load = design::EvaluateGasLoad(feed);
    EXPECT_EQ(load.verdict, GetParam().verdict);
    const double allowable = design::AllowableVapourVelocity(feed);
    const bool kept = load.verdict == design::GasLoadVerdict::Usable || load.verdict == design::GasLoadVerdict::VelocityNotPositive;
    EXPECT_EQ(IsEmpty(allowable), !kept) << allowable;
    if (kept) {
        EXPECT_EQ(allowable, std::fmin(load.velocity, 2.0));
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, GasLoadVerdictTest, testing::ValuesIn(kVerdictRows), testing_support::RowName());

TEST(GasLoadTest, TheVelocityChangesSignWhereTheFitReachesZero) {
    const double zero = design::FlowParameterWhereFitReachesZero();
    EXPECT_NEAR(zero, 2.88e-4, 0.005e-4);
    StreamState feed = WorkedExampleFeed();
    const double root = std::sqrt(feed.vapourDensity / feed.lightLiquidDensity);
    feed.lightLiquidMassFlow = zero * 1.001 / root * feed.vapourMassFlow;
    EXPECT_EQ(design::EvaluateGasLoad(feed).verdict, design::GasLoadVerdict::Usable);
    feed.lightLiquidMassFlow = zero * 0.999 / root * feed.vapourMassFlow;
    EXPECT_EQ(design::EvaluateGasLoad(feed).verdict, design::GasLoadVerdict::VelocityNotPositive);
    EXPECT_LT(design::EvaluateGasLoad(feed).velocity, 0.0);
}

TEST(PresetOptionsTest, NegativeVelocityIsKeptAndTheTrialDiameterFloors) {
    StreamState feed = WorkedExampleFeed();
    feed.lightLiquidMassFlow = 1e-6;  // X far below 0.05: the log fit turns negative
    feed.lightLiquidVolumeFlow = 1e-6 / 800.0 * 0.0002777777777777778;
    ArraySlots slots;
    ASSERT_EQ(design::PresetOptions(feed, slots), 0.0);
    EXPECT_LT(slots[Slot::VapourVelocity], 0.0);
    EXPECT_EQ(slots[Slot::Orientation], 0.0);  // a 0.1524 m trial vessel holds next to no liquid
}

struct DefaultTimeRow {
    const char* name;
    double lightDensity;
    double heavyDensity;
    double temperature;
    bool heavyLiquid;
    double lightTime;
};
const DefaultTimeRow kDefaultTimeRows[] = {
    {"FarApartAnyTemperature", 800.0, 1000.0, 10.0, true, 600.0},
    {"CloseAndWarm", 900.0, 1000.0, 40.0, true, 600.0},
    {"CloseAndMild", 900.0, 1000.0, 30.0, true, 1200.0},
    {"CloseAndCold", 900.0, 1000.0, 20.0, true, 1800.0},
    {"CloseAtWarmBound", 900.0, 1000.0, 37.77777777777778, true, 600.0},
    {"CloseAtMildBound", 900.0, 1000.0, 26.666666666666664, true, 1800.0},
    {"EmptyHeavyDensityIsFarApart", 900.0, kEmptyValue, 20.0, true, 600.0},
    {"NaNTemperatureTakesLastRow", 900.0, 1000.0, std::numeric_limits<double>::quiet_NaN(), true, 1800.0},
    {"LoneLightLiquid", 800.0, kEmptyValue, 20.0, false, 300.0},
    {"LoneMiddleLiquid", 900.0, kEmptyValue, 20.0, false, 420.0},
    {"LoneHeavyLiquid", 950.0, kEmptyValue, 20.0, false, 480.0},
};
class DefaultResidenceTimeTest : public testing::TestWithParam<DefaultTimeRow> {};
TEST_P(DefaultResidenceTimeTest, WritesAndReturnsTheTableTime) {
    const DefaultTimeRow& row = GetParam();
    StreamState feed;
    feed.lightLiquidDensity = row.lightDensity;
    feed.heavyLiquidDensity = row.heavyDensity;
    feed.temperature = row.temperature;
    feed.heavyLiquidVolumeFlow = row.heavyLiquid ? 0.001 : kEmptyValue;
    ArraySlots slots;
    EXPECT_EQ(common::DefaultLightResidenceTime(feed, slots), row.lightTime);
    EXPECT_EQ(slots[Slot::LightResidenceTime], row.lightTime);
    if (row.heavyLiquid) {
        EXPECT_EQ(common::DefaultHeavyResidenceTime(feed, slots), row.lightTime);
        EXPECT_EQ(slots[Slot::HeavyResidenceTime], row.lightTime);
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, DefaultResidenceTimeTest, testing::ValuesIn(kDefaultTimeRows), testing_support::RowName());

}  // namespace
}  // namespace kestrol
