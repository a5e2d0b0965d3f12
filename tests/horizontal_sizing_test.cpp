#include "horizontal/horizontal_sizing.h"

#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "horizontal/given_levels_sizing.h"
#include "horizontal/holdup_times_sizing.h"
#include "horizontal/one_level_sizing.h"
#include "tests/array_slots.h"
#include "tests/object_fixture.h"
#include "tests/row_name.h"

namespace kestrol::horizontal {
namespace {

using testing_support::ArraySlots;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

StreamState ThreePhaseFeed() {
    StreamState feed;
    feed.vapourVolumeFlow = 0.1;
    feed.lightLiquidVolumeFlow = 0.001;
    feed.heavyLiquidVolumeFlow = 0.0005;
    feed.pressure = 1000.0;
    feed.temperature = 40.0;
    return feed;
}

struct VelocityRow {
    const char* name;
    double allowance;  // slot 12
    double velocity;   // slot 3 before
    double scaled;     // slot 3 after
};
const VelocityRow kVelocityRows[] = {
    {"NoEliminatorSlowsTheVapour", 0.0, 2.0, 1.25},
    {"EliminatorSpeedsItUp", 0.3, 2.0, 2.5},
    {"EmptyAllowanceCountsAsAnEliminator", kEmptyValue, 2.0, 2.5},
    {"FixedVelocityKeepsItsSign", 0.3, -2.0, -2.5},
    {"EmptyVelocityIsNotScaled", 0.3, kEmptyValue, kEmptyValue},
    {"NaNAllowanceLeavesTheVelocity", kNaN, 2.0, 2.0},
    {"InfiniteVelocityScalesToItself", 0.3, -kInf, -kInf},
    // Scaled, it would overflow: refused with the host's value left as it was.
    {"OverflowingVelocityIsKept", 0.3, -1.5e308, -1.5e308},
};
class VelocityScalingTest : public testing::TestWithParam<VelocityRow> {};
// A later pass without fixed times makes the method fail right away, after the scaling.
TEST_P(VelocityScalingTest, HappensBeforeTheMethodRuns) {
    ArraySlots slots;
    slots[Slot::MistEliminatorHeight] = GetParam().allowance;
    slots[Slot::VapourVelocity] = GetParam().velocity;
    slots[Slot::FirstPassFlag] = 1.0;
    slots[Slot::OverallLength] = 9.0;
    EXPECT_EQ(SizeHorizontalVessel(ThreePhaseFeed(), slots), kEmptyValue);
    EXPECT_EQ(slots[Slot::VapourVelocity], GetParam().scaled);
    EXPECT_EQ(slots[Slot::OverallLength], 9.0);
    EXPECT_EQ(slots[Slot::FirstPassFlag], 1.0);
    EXPECT_EQ(slots[Slot::TotalCost], kEmptyValue);
}
INSTANTIATE_TEST_SUITE_P(Rows, VelocityScalingTest, testing::ValuesIn(kVelocityRows), testing_support::RowName());

struct FlowRow {
    const char* name;
    double vapour, light, heavy;
};
const FlowRow kFlowRows[] = {
    {"NaNVapour", kNaN, 0.001, 0.0005},
    {"NegativeVapour", -0.1, 0.001, 0.0005},
    {"NoLightLiquid", 0.1, 0.0, 0.0005},
    {"InfiniteLightLiquid", 0.1, kInf, 0.0005},
    {"NegativeHeavyLiquid", 0.1, 0.001, -0.0005},
    {"NaNHeavyLiquid", 0.1, 0.001, kNaN},
};
class HorizontalFlowGuardTest : public testing::TestWithParam<FlowRow> {};
TEST_P(HorizontalFlowGuardTest, FailsWithNothingWritten) {
    StreamState feed = ThreePhaseFeed();
    feed.vapourVolumeFlow = GetParam().vapour;
    feed.lightLiquidVolumeFlow = GetParam().light;
    feed.heavyLiquidVolumeFlow = GetParam().heavy;
    ArraySlots slots;
    slots[Slot::VapourVelocity] = 2.0;
    slots[Slot::LightResidenceTime] = 300.0;
    slots[Slot::HeavyResidenceTime] = 300.0;
    slots[Slot::FirstPassFlag] = 0.0;
    const ArraySlots before = slots;
    EXPECT_EQ(SizeHorizontalVessel(feed, slots), kEmptyValue);
    EXPECT_EQ(std::memcmp(slots.values.data(), before.values.data(), sizeof(slots.values)), 0);
}
INSTANTIATE_TEST_SUITE_P(Rows, HorizontalFlowGuardTest, testing::ValuesIn(kFlowRows), testing_support::RowName());

using Method = double (*)(const StreamState&, SlotAccess&);
struct MethodRow {
    const char* name;
    bool heavyLevelFixed, lightLayerFixed, heavyLiquid;
    Method method;
};
const MethodRow kMethodRows[] = {
    {"BothLevelsWithHeavyLiquid", true, true, true, SizeFromGivenLevels},
    {"BothLevelsWithoutHeavyLiquid", true, true, false, SizeFromGivenLevels},
    {"HeavyLevelOnly", true, false, true, SizeFromOneLevel},
    {"LightLayerOnlyWithHeavyLiquid", false, true, true, SizeFromOneLevel},
    {"LightLayerOnlyWithoutHeavyLiquid", false, true, false, SizeFromGivenLevels},
    {"NoLevelWithHeavyLiquid", false, false, true, SizeFromHoldupTimes},
    {"NoLevelWithoutHeavyLiquid", false, false, false, SizeFromHoldupTimes},
};
class MethodChoiceTest : public testing::TestWithParam<MethodRow> {};
// The entry leaves the same vector as the row's method run after the same scaling.
TEST_P(MethodChoiceTest, RunsTheMethodTheFixedLevelsSelect) {
    const MethodRow& row = GetParam();
    StreamState feed = ThreePhaseFeed();
    if (!row.heavyLiquid) feed.heavyLiquidVolumeFlow = kEmptyValue;
    ArraySlots slots;
    slots[Slot::VapourVelocity] = 2.0;
    slots[Slot::MistEliminatorHeight] = 0.3;
    slots[Slot::Ratio] = 3.0;
    // The liquid whose level is free keeps a fixed time to be sized by.
    slots[Slot::LightResidenceTime] = row.lightLayerFixed ? 300.0 : -300.0;
    slots[Slot::HeavyResidenceTime] = row.heavyLevelFixed ? kEmptyValue : -300.0;
    slots[Slot::HeavyLevel] = row.heavyLevelFixed ? -0.4 : kEmptyValue;
    slots[Slot::LightLayerThickness] = row.lightLayerFixed ? -0.5 : kEmptyValue;
    slots[Slot::FirstPassFlag] = 0.5;  // no first-pass marking, so only the method writes

    ArraySlots direct = slots;
    direct[Slot::VapourVelocity] = 2.5;
    ASSERT_EQ(row.method(feed, direct), 0.0);
    ASSERT_EQ(SizeHorizontalVessel(feed, slots), 0.0);
    for (int i = Index(Slot::Diameter); i <= Index(Slot::VapourSpaceHeight); ++i) {
        if (i == Index(Slot::OverallLength)) continue;
        EXPECT_EQ(slots.values[i - 1], direct.values[i - 1]) << kSlots[i - 1].name;
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, MethodChoiceTest, testing::ValuesIn(kMethodRows), testing_support::RowName());

class SizedVesselTest : public testing::Test {
protected:
    // A rating: diameter 2 m, ratio 3 and both levels given.
    void SetUp() override {
        slots[Slot::VapourVelocity] = 2.0;
        slots[Slot::MistEliminatorHeight] = 0.0;
        slots[Slot::Diameter] = -2.0;
        slots[Slot::Ratio] = -3.0;
        slots[Slot::HeavyLevel] = -0.4;
        slots[Slot::LightLayerThickness] = -0.5;
        slots[Slot::MaterialCode] = 1.0;
    }
    StreamState feed = ThreePhaseFeed();
    ArraySlots slots;
};

TEST_F(SizedVesselTest, OverallLengthAddsBothHeads) {
    slots[Slot::FirstPassFlag] = 0.0;
    ASSERT_EQ(SizeHorizontalVessel(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::OverallLength], 7.0);
}

TEST_F(SizedVesselTest, FirstSizingFixesTheResidenceTimes) {
    slots[Slot::FirstPassFlag] = 0.0;
    ASSERT_EQ(SizeHorizontalVessel(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::FirstPassFlag], 1.0);
    EXPECT_LT(slots[Slot::LightResidenceTime], 0.0);
    EXPECT_LT(slots[Slot::HeavyResidenceTime], 0.0);
}

TEST_F(SizedVesselTest, LaterSizingLeavesTheTimesAsComputed) {
    slots[Slot::FirstPassFlag] = 0.5;
    ASSERT_EQ(SizeHorizontalVessel(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::FirstPassFlag], 0.5);
    EXPECT_GT(slots[Slot::LightResidenceTime], 0.0);
    EXPECT_GT(slots[Slot::HeavyResidenceTime], 0.0);
}

struct CalculateRow {
    const char* name;
    double heavyMassFlow;
};
const CalculateRow kCalculateRows[] = {{"TwoPhase", 0.0}, {"ThreePhase", 2500.0}};
class HorizontalCalculateTest : public testing::TestWithParam<CalculateRow> {};
TEST_P(HorizontalCalculateTest, GivesACompleteVector) {
    host::ObjectHandle object = testing_support::NewObject();
    ASSERT_NE(object, nullptr);
    ISeparatorSizing& o = *object;
    testing_support::SetProcessFeed(o, GetParam().heavyMassFlow);
    o.SetOrientation(1);
    ASSERT_EQ(o.Calculate(0), S_OK);
    const bool heavy = GetParam().heavyMassFlow > 0.0;

    for (Slot s : {Slot::Diameter, Slot::OverallLength, Slot::LightLayerThickness, Slot::VapourSpaceHeight,
                   Slot::WallThickness, Slot::VesselCost, Slot::PlatformCost, Slot::TotalCost}) {
        const double value = o.GetValue(Index(s));
        EXPECT_TRUE(std::isfinite(value) && value > 0.0) << kSlots[Index(s) - 1].name << " = " << value;
    }
    EXPECT_EQ(o.GetValue(Index(Slot::Orientation)), 1.0);
    EXPECT_EQ(o.GetValue(Index(Slot::FirstPassFlag)), 1.0);
    EXPECT_LT(o.GetValue(Index(Slot::LightResidenceTime)), 0.0);
    const double D = o.GetValue(Index(Slot::Diameter));
    const double ratio = std::fabs(o.GetValue(Index(Slot::Ratio)));
    EXPECT_EQ(o.GetValue(Index(Slot::OverallLength)), D * (ratio + 0.5));
    const double heavyLevel = heavy ? o.GetValue(Index(Slot::HeavyLevel)) : 0.0;
    EXPECT_NEAR(heavyLevel + o.GetValue(Index(Slot::LightLayerThickness)) + o.GetValue(Index(Slot::VapourSpaceHeight)), D, 1e-9);
    if (heavy) {
        EXPECT_GT(heavyLevel, 0.0);
        EXPECT_LT(o.GetValue(Index(Slot::HeavyResidenceTime)), 0.0);
    } else {
        EXPECT_TRUE(IsEmpty(o.GetValue(Index(Slot::HeavyLevel))));
    }
    EXPECT_GT(o.CalcHorizontalLevelTime(), 0.0);
}
INSTANTIATE_TEST_SUITE_P(Rows, HorizontalCalculateTest, testing::ValuesIn(kCalculateRows), testing_support::RowName());

TEST(HorizontalCalculateTest, PresetExampleFeedSizesEndToEnd) {
    host::ObjectHandle object = testing_support::NewObject();
    ASSERT_NE(object, nullptr);
    ISeparatorSizing& o = *object;
    testing_support::SetTwoPhaseFeed(o);
    // The host gives the volume flows, lets the presets choose the orientation, then
    // calculates with it.
    o.SetVapourVolumeFlow(5000.0 / 10.0 * 0.0002777777777777778);
    o.SetLightLiquidVolumeFlow(10000.0 / 800.0 * 0.0002777777777777778);
    ASSERT_EQ(o.AllocValues(kSlotCount), S_OK);
    ASSERT_EQ(o.PresetOptions(), 0.0);
    ASSERT_EQ(o.GetValue(Index(Slot::Orientation)), 1.0);
    o.SetOrientation(1);
    ASSERT_EQ(o.Calculate(0), S_OK);
    EXPECT_EQ(o.GetValue(Index(Slot::Ratio)), -3.0);
    const double D = o.GetValue(Index(Slot::Diameter));
    EXPECT_GT(D, 0.0);
    EXPECT_NEAR(std::round(D / kRoundingStep) * kRoundingStep, D, 1e-12);  // whole steps
    EXPECT_EQ(o.GetValue(Index(Slot::OverallLength)), D * 3.5);
    EXPECT_EQ(o.GetValue(Index(Slot::LightResidenceTime)), -300.0);
    EXPECT_GT(o.GetValue(Index(Slot::TotalCost)), 0.0);
}

}  // namespace
}  // namespace kestrol::horizontal
