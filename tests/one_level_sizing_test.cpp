#include "horizontal/one_level_sizing.h"

#include <cmath>

#include <gtest/gtest.h>

#include "horizontal/geometry.h"
#include "tests/array_slots.h"
#include "tests/row_name.h"

namespace kestrol::horizontal {
namespace {

using testing_support::ArraySlots;

/// A three-phase feed with a small vapour flow; light liquid 1 l/s, heavy 0.5 l/s.
class OneLevelTest : public testing::Test {
protected:
    void SetUp() override {
        feed.vapourVolumeFlow = 0.01;
        feed.lightLiquidVolumeFlow = 0.001;
        feed.heavyLiquidVolumeFlow = 0.0005;
        slots[Slot::VapourVelocity] = 2.0;
        slots[Slot::Ratio] = 3.0;
    }
    /// Room for the light liquid above a heavy level hH and below a vapour space Hv [m3].
    double LightRoom(double D, double hH, double Hv) {
        ArraySlots vessel = slots;
        const double whole = kPi * (D * D * D) * (0.25 * std::fabs(vessel[Slot::Ratio]) + 0.08333333333333333);
        return whole - HorizontalLiquidVolume(vessel, hH, D) - HorizontalLiquidVolume(vessel, Hv, D);
    }

    StreamState feed;
    ArraySlots slots;
};

struct RefusalRow {
    const char* name;
    bool heavyLiquid;
    double heavyLevel, lightLayer, lightTime, heavyTime, diameter, ratio;
};
const RefusalRow kRefusalRows[] = {
    {"NeitherLevelFixed", true, 0.5, 0.5, -300.0, kEmptyValue, kEmptyValue, 3.0},
    {"HeavyLevelWithoutHeavyLiquid", false, -0.5, kEmptyValue, -300.0, kEmptyValue, kEmptyValue, 3.0},
    {"EmptyRatio", true, -0.5, kEmptyValue, -300.0, kEmptyValue, kEmptyValue, kEmptyValue},
    {"FreeDiameterWithBothTimesFixed", true, -0.5, kEmptyValue, -300.0, -300.0, kEmptyValue, 3.0},
    {"FreeDiameterWithoutTheFreeLiquidsTime", true, -0.5, kEmptyValue, 300.0, -300.0, kEmptyValue, 3.0},
    {"FixedDiameterLeavesTooThinALayer", true, -0.5, kEmptyValue, 300.0, kEmptyValue, -0.85, 3.0},
    {"ProbeWithFixedRatioStillShort", true, -0.5, kEmptyValue, -1.0e6, kEmptyValue, kEmptyValue, -3.0},
    {"ProbeRatioBeyondForty", true, -0.5, kEmptyValue, -1.0e7, kEmptyValue, kEmptyValue, 3.0},
};
class OneLevelRefusalTest : public OneLevelTest, public testing::WithParamInterface<RefusalRow> {};
TEST_P(OneLevelRefusalTest, FailsWithoutResults) {
    const RefusalRow& row = GetParam();
    if (!row.heavyLiquid) feed.heavyLiquidVolumeFlow = kEmptyValue;
    slots[Slot::HeavyLevel] = row.heavyLevel;
    slots[Slot::LightLayerThickness] = row.lightLayer;
    slots[Slot::LightResidenceTime] = row.lightTime;
    slots[Slot::HeavyResidenceTime] = row.heavyTime;
    slots[Slot::Diameter] = row.diameter;
    slots[Slot::Ratio] = row.ratio;
    EXPECT_EQ(SizeFromOneLevel(feed, slots), kEmptyValue);
    EXPECT_EQ(slots[Slot::LightLayerThickness], row.lightLayer);
    EXPECT_EQ(slots[Slot::HeavyResidenceTime], row.heavyTime);
    EXPECT_EQ(slots[Slot::LightResidenceTime], row.lightTime);
}
INSTANTIATE_TEST_SUITE_P(Rows, OneLevelRefusalTest, testing::ValuesIn(kRefusalRows), testing_support::RowName());

TEST_F(OneLevelTest, StartRefusalsWriteNothing) {
    feed.heavyLiquidVolumeFlow = kEmptyValue;
    slots[Slot::HeavyLevel] = -0.5;
    slots[Slot::LightResidenceTime] = -300.0;
    const ArraySlots before = slots;
    EXPECT_EQ(SizeFromOneLevel(feed, slots), kEmptyValue);
    EXPECT_EQ(slots.values, before.values);
}

TEST_F(OneLevelTest, UnusableFirstDiameterEmptiesSlotOne) {
    slots[Slot::VapourVelocity] = 0.0;  // the vapour diameter comes out infinite
    slots[Slot::Diameter] = 1.0;
    slots[Slot::HeavyLevel] = -0.5;
    slots[Slot::LightResidenceTime] = -300.0;
    EXPECT_EQ(SizeFromOneLevel(feed, slots), kEmptyValue);
    EXPECT_EQ(slots[Slot::Diameter], kEmptyValue);
    EXPECT_EQ(slots[Slot::VapourSpaceHeight], kEmptyValue);
}

TEST_F(OneLevelTest, EnlargementOverAnInfiniteLayerEmptiesSlotOne) {
    slots[Slot::LightLayerThickness] = -INFINITY;
    slots[Slot::VapourSpaceHeight] = -0.6;
    slots[Slot::HeavyResidenceTime] = -300.0;
    EXPECT_EQ(SizeFromOneLevel(feed, slots), kEmptyValue);
    EXPECT_EQ(slots[Slot::Diameter], kEmptyValue);
}

TEST_F(OneLevelTest, FixedDiameterGivesTheLightLayerWhatIsLeft) {
    slots[Slot::Diameter] = -2.0;
    slots[Slot::HeavyLevel] = -0.5;
    ASSERT_EQ(SizeFromOneLevel(feed, slots), 0.0);
    // A fifth of the diameter carries the small vapour flow; slot 13 ends as what is left.
    EXPECT_NEAR(slots[Slot::VapourSpaceHeight], 0.4, 1e-12);
    EXPECT_EQ(slots[Slot::LightLayerThickness], 2.0 - 0.4 - 0.5);
    EXPECT_EQ(slots[Slot::HeavyResidenceTime], HorizontalLiquidVolume(slots, 0.5, 2.0) / 0.0005);
    EXPECT_GT(slots[Slot::LightResidenceTime], 0.0);
}

TEST_F(OneLevelTest, FixedDiameterAndVapourSpaceStoreTheFreeLevel) {
    slots[Slot::Diameter] = -2.0;
    slots[Slot::VapourSpaceHeight] = -0.6;
    slots[Slot::LightLayerThickness] = -0.5;
    ASSERT_EQ(SizeFromOneLevel(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::HeavyLevel], 2.0 - 0.5 - 0.6);
    EXPECT_EQ(slots[Slot::VapourSpaceHeight], -0.6);
}

TEST_F(OneLevelTest, FixedDiameterAndVapourSpaceOverfilledFails) {
    slots[Slot::Diameter] = -1.0;
    slots[Slot::VapourSpaceHeight] = -0.6;
    slots[Slot::LightLayerThickness] = -0.5;
    EXPECT_EQ(SizeFromOneLevel(feed, slots), kEmptyValue);
    EXPECT_EQ(slots[Slot::HeavyLevel], kEmptyValue);
}

TEST_F(OneLevelTest, RoomWithinToleranceAcceptsTheFirstDiameter) {
    slots[Slot::VapourSpaceHeight] = -0.5;
    slots[Slot::HeavyLevel] = -0.4;
    for (double offset : {-0.04, 0.04}) {
        slots[Slot::LightResidenceTime] = -(LightRoom(1.5, 0.4, 0.5) + offset) / feed.lightLiquidVolumeFlow;
        ASSERT_EQ(SizeFromOneLevel(feed, slots), 0.0) << offset;
        EXPECT_EQ(slots[Slot::Diameter], 1.5) << offset;
    }
}

TEST_F(OneLevelTest, ShortRoomProbesTheRatioThenGrowsTheDiameter) {
    slots[Slot::HeavyLevel] = -0.4;
    const double needed = 300.0;  // more than a 3:1 vessel of 4.572 m holds above the heavy level
    slots[Slot::LightResidenceTime] = -needed / feed.lightLiquidVolumeFlow;
    ASSERT_EQ(SizeFromOneLevel(feed, slots), 0.0);
    const double ratio = slots[Slot::Ratio];
    EXPECT_GT(ratio, 3.0);
    EXPECT_EQ(std::fmod(ratio - 3.0, 0.5), 0.0);
    const double D = slots[Slot::Diameter];
    EXPECT_LE(needed - LightRoom(D, 0.4, FifthOrFoot(D)), 0.05);
    EXPECT_GT(needed - LightRoom(D - kRoundingStep, 0.4, FifthOrFoot(D - kRoundingStep)), 0.05);
}

TEST_F(OneLevelTest, AmpleRoomShrinksTheDiameterStepByStep) {
    slots[Slot::VapourSpaceHeight] = -1.0;  // first diameter 3 m
    slots[Slot::HeavyLevel] = -0.3;
    const double needed = 20.0;
    slots[Slot::LightResidenceTime] = -needed / feed.lightLiquidVolumeFlow;
    ASSERT_EQ(SizeFromOneLevel(feed, slots), 0.0);
    // One step too far shows too little room; the probe then finds the ratio suffices and the
    // search steps back up to the last diameter with room.
    const double D = slots[Slot::Diameter];
    const double steps = (3.0 - D) / kRoundingStep;
    EXPECT_GT(steps, 0.5);
    EXPECT_NEAR(steps, std::round(steps), 1e-9);
    EXPECT_EQ(slots[Slot::Ratio], 3.0);
    EXPECT_LE(needed - LightRoom(D, 0.3, 1.0), 0.05);
    EXPECT_GT(needed - LightRoom(D - kRoundingStep, 0.3, 1.0), 0.05);
}

TEST_F(OneLevelTest, TinyVesselWithAmpleRoomLowersTheRatio) {
    slots[Slot::VapourSpaceHeight] = -0.05;  // first diameter 0.15 m, below the shrinking limit
    slots[Slot::LightLayerThickness] = -0.01;
    slots[Slot::HeavyResidenceTime] = -1.0;
    slots[Slot::Ratio] = 40.0;
    ASSERT_EQ(SizeFromOneLevel(feed, slots), 0.0);
    EXPECT_NEAR(slots[Slot::Diameter], 0.15, 1e-12);
    const double ratio = slots[Slot::Ratio];
    EXPECT_LT(ratio, 40.0);
    EXPECT_EQ(std::fmod(40.0 - ratio, 0.5), 0.0);
}

TEST_F(OneLevelTest, SearchThatComesRoundSettlesOnTheLastRoomyDiameter) {
    // Shrinking below the heavy level and a foot of vapour space forces an enlargement to
    // 1.3 times their sum, whence the search shrinks again.
    feed.vapourVolumeFlow = 0.001;
    slots[Slot::HeavyLevel] = -1.0;
    slots[Slot::LightResidenceTime] = -1.0;
    ASSERT_EQ(SizeFromOneLevel(feed, slots), 0.0);
    EXPECT_NEAR(slots[Slot::Diameter], 1.3 * (1.0 + kFoot) - 2 * kRoundingStep, 1e-9);
}

}  // namespace
}  // namespace kestrol::horizontal
