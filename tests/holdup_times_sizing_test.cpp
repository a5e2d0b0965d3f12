#include "horizontal/holdup_times_sizing.h"

#include <cmath>

#include <gtest/gtest.h>

#include "common/vessel_rules.h"
#include "horizontal/geometry.h"
#include "tests/array_slots.h"
#include "tests/row_name.h"

namespace kestrol::horizontal {
namespace {

using testing_support::ArraySlots;

/// Vapour 0.5 m3/s at 2 m/s, light liquid 1 l/s held 300 s: the state after the presets.
class HoldupTimesTest : public testing::Test {
protected:
    void SetUp() override {
        feed.vapourVolumeFlow = 0.5;
        feed.lightLiquidVolumeFlow = 0.001;
        slots[Slot::VapourVelocity] = 2.0;
        slots[Slot::LightResidenceTime] = 300.0;
        slots[Slot::FirstPassFlag] = 0.0;
    }
    void AddHeavyLiquid(double time) {
        feed.heavyLiquidVolumeFlow = 0.0005;
        slots[Slot::HeavyResidenceTime] = time;
    }
    /// Room below a vapour space Hv at diameter D and the given ratio [m3].
    static double Available(double D, double Hv, double ratio) {
        ArraySlots vessel;
        vessel[Slot::Ratio] = ratio;
        return HorizontalLiquidVolume(vessel, D, D) - HorizontalLiquidVolume(vessel, Hv, D);
    }
    /// The vapour space the free search settles on at diameter D.
    double VapourSpaceAt(double D) {
        ArraySlots vessel = slots;
        vessel[Slot::Diameter] = D;
        return VapourSpaceHeight(feed, vessel, FifthOrFoot(D));
    }
    double FirstDiameter() const {
        return std::ceil(std::sqrt(feed.vapourVolumeFlow / (2.0 * kPi)) * 13.123359580052492) * kRoundingStep;
    }

    StreamState feed;
    ArraySlots slots;
};

TEST_F(HoldupTimesTest, NothingFixedAcceptsTheRoundedVapourDiameter) {
    feed.lightLiquidVolumeFlow = 0.0001;
    ASSERT_EQ(SizeFromHoldupTimes(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::Diameter], FirstDiameter());
    EXPECT_EQ(slots[Slot::Ratio], 3.0);
    // The vapour space ends as what the liquid leaves, not as the one searched.
    EXPECT_NEAR(slots[Slot::LightLayerThickness] + slots[Slot::VapourSpaceHeight], FirstDiameter(), 1e-12);
    EXPECT_EQ(slots[Slot::HeavyLevel], kEmptyValue);
    EXPECT_EQ(slots[Slot::LightResidenceTime], 300.0);
}

// The path's first diameter is the shared vapour-load rule; its own spelling of that rule,
// sqrt(Q / (U pi)) x 2/0.1524, must keep giving the same bits over the flows a host may give.
TEST(HoldupTimesVapourDiameter, SharedRuleMatchesThePathsSpellingBitForBit) {
    int compared = 0;
    for (double flow = 1e-6; flow < 1e4; flow *= 1.0173)
        for (double velocity = 1e-3; velocity < 1e2; velocity *= 1.0911) {
            const double pathSpelling = std::ceil(std::sqrt(flow / (velocity * kPi)) * 13.123359580052492) * kRoundingStep;
            ASSERT_EQ(common::VapourLoadDiameter(flow, velocity), pathSpelling) << flow << " m3/s at " << velocity << " m/s";
            ++compared;
        }
    EXPECT_GT(compared, 100000);
}

struct FirstDiameterRow {
    const char* name;
    double vapourFlow, vapourSpace, expected;
};
const FirstDiameterRow kFirstDiameterRows[] = {
    {"VapourDiameterRoundedUpToAStep", 0.5, kEmptyValue, 4 * 0.1524},
    {"SmallVapourFlowGivesOneFoot", 0.001, kEmptyValue, 0.3048},
    {"TwiceAFixedVapourSpace", 0.5, -0.4, 0.8},
    {"TwiceASmallVapourSpaceGivesOneFoot", 0.5, -0.1, 0.3048},
};
class HoldupTimesFirstDiameterTest : public HoldupTimesTest, public testing::WithParamInterface<FirstDiameterRow> {};
// A later pass without fixed times stops right after the preparation, which shows its diameter.
TEST_P(HoldupTimesFirstDiameterTest, IsWrittenBeforeTheTimesAreChecked) {
    feed.vapourVolumeFlow = GetParam().vapourFlow;
    slots[Slot::VapourSpaceHeight] = GetParam().vapourSpace;
    slots[Slot::FirstPassFlag] = 1.0;
    EXPECT_EQ(SizeFromHoldupTimes(feed, slots), kEmptyValue);
    EXPECT_EQ(slots[Slot::Diameter], GetParam().expected);
    EXPECT_EQ(slots[Slot::Ratio], 3.0);
    EXPECT_EQ(slots[Slot::LightLayerThickness], kEmptyValue);
}
INSTANTIATE_TEST_SUITE_P(Rows, HoldupTimesFirstDiameterTest, testing::ValuesIn(kFirstDiameterRows), testing_support::RowName());

TEST_F(HoldupTimesTest, SufficientRatioIsAcceptedOneDiameterLater) {
    const double D0 = FirstDiameter();
    slots[Slot::LightResidenceTime] = Available(D0, VapourSpaceAt(D0), 3.95) / feed.lightLiquidVolumeFlow;
    ASSERT_EQ(SizeFromHoldupTimes(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::Diameter], D0 + kRoundingStep);
    EXPECT_NEAR(slots[Slot::Ratio], 4.0, 1e-9);
}

TEST_F(HoldupTimesTest, FixedRatioGrowsOnlyTheDiameter) {
    slots[Slot::Ratio] = -3.0;
    const double D0 = FirstDiameter();
    slots[Slot::LightResidenceTime] = 1.5 * Available(D0, VapourSpaceAt(D0), 3.0) / feed.lightLiquidVolumeFlow;
    ASSERT_EQ(SizeFromHoldupTimes(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::Ratio], -3.0);
    const double D = slots[Slot::Diameter];
    EXPECT_GT(D, D0);
    EXPECT_GE(Available(D, VapourSpaceAt(D), 3.0), 1.5 * Available(D0, VapourSpaceAt(D0), 3.0));
    EXPECT_LT(Available(D - kRoundingStep, VapourSpaceAt(D - kRoundingStep), 3.0),
              1.5 * Available(D0, VapourSpaceAt(D0), 3.0));
}

TEST_F(HoldupTimesTest, FixedVapourSpaceTakesOnlyDiametersWhereItSuffices) {
    feed.vapourVolumeFlow = 0.6;
    slots[Slot::VapourSpaceHeight] = -0.4;  // first diameter 0.8 m, too small for the vapour
    ASSERT_EQ(SizeFromHoldupTimes(feed, slots), 0.0);
    const double D = slots[Slot::Diameter];
    ArraySlots at = slots;
    EXPECT_EQ(VapourSpaceHeight(feed, at, 0.4), 0.4);
    at[Slot::Diameter] = D - kRoundingStep;
    EXPECT_NE(VapourSpaceHeight(feed, at, 0.4), 0.4);
    EXPECT_EQ(slots[Slot::VapourSpaceHeight], -0.4);
    EXPECT_NEAR(slots[Slot::LightLayerThickness], D - 0.4, 1e-12);
}

TEST_F(HoldupTimesTest, LaterPassWithFixedTimesSizes) {
    slots[Slot::FirstPassFlag] = 1.0;
    slots[Slot::LightResidenceTime] = -300.0;
    EXPECT_EQ(SizeFromHoldupTimes(feed, slots), 0.0);
}

TEST_F(HoldupTimesTest, UnusableFirstDiameterEmptiesSlotOne) {
    slots[Slot::VapourVelocity] = 0.0;
    slots[Slot::Diameter] = 1.0;
    EXPECT_EQ(SizeFromHoldupTimes(feed, slots), kEmptyValue);
    EXPECT_EQ(slots[Slot::Diameter], kEmptyValue);
}

TEST_F(HoldupTimesTest, RatingWithoutHeavyLiquidTakesTheTimeFromTheLevel) {
    slots[Slot::Diameter] = -1.2;
    slots[Slot::VapourSpaceHeight] = -0.5;
    slots[Slot::Ratio] = -3.0;
    ASSERT_EQ(SizeFromHoldupTimes(feed, slots), 0.0);
    EXPECT_NEAR(slots[Slot::LightLayerThickness], 0.7, 1e-12);
    EXPECT_EQ(slots[Slot::LightResidenceTime], ResidenceTimeAtLevel(slots, 0.0, 0.001, 1.2 - 0.5));
}

TEST_F(HoldupTimesTest, RatingWithHeavyLiquidSharesTheRoomInOneTime) {
    AddHeavyLiquid(kEmptyValue);
    slots[Slot::LightResidenceTime] = kEmptyValue;
    slots[Slot::Diameter] = -1.2;
    slots[Slot::VapourSpaceHeight] = -0.5;
    slots[Slot::Ratio] = -3.0;
    ASSERT_EQ(SizeFromHoldupTimes(feed, slots), 0.0);
    const double common = Available(1.2, 0.5, 3.0) / 0.0015;
    EXPECT_NEAR(slots[Slot::HeavyResidenceTime], common, 1e-3 * common);
    EXPECT_GT(slots[Slot::HeavyLevel], 0.0);
    EXPECT_NEAR(slots[Slot::LightLayerThickness], 1.2 - 0.5 - slots[Slot::HeavyLevel], 1e-12);
}

struct RefusalRow {
    const char* name;
    bool heavy;
    double diameter, vapourSpace, ratio, lightTime, heavyTime;
};
const RefusalRow kRefusalRows[] = {
    {"RatingWithLightTimeFixedAndNoHeavyLiquid", false, -1.2, -0.5, -3.0, -300.0, kEmptyValue},
    {"RatingWithBothTimesFixed", true, -1.2, -0.5, -3.0, -300.0, -300.0},
    {"GivenVapourSpaceTooSmall", false, -1.2, -0.05, 3.0, 300.0, kEmptyValue},
    {"RatioWouldPassFive", false, -0.6, -0.3, 3.0, 1.0e6, kEmptyValue},
    {"EverythingFixedAndShortOfRoom", false, -0.6, kEmptyValue, -3.0, -1.0e6, kEmptyValue},
    {"FiftyRatioRaisesShortOfRoom", false, -0.6, kEmptyValue, 3.0, 1.0e6, kEmptyValue},
    {"NoVapourSpaceAtTheDiameter", false, -0.3048, kEmptyValue, 3.0, 300.0, kEmptyValue},
    {"LightTimeFixedWithHeavyTimeEmpty", true, -3.0, kEmptyValue, 3.0, -300.0, kEmptyValue},
};
class HoldupTimesRefusalTest : public HoldupTimesTest, public testing::WithParamInterface<RefusalRow> {};
TEST_P(HoldupTimesRefusalTest, Fails) {
    const RefusalRow& row = GetParam();
    if (row.heavy) AddHeavyLiquid(row.heavyTime);
    slots[Slot::Diameter] = row.diameter;
    slots[Slot::VapourSpaceHeight] = row.vapourSpace;
    slots[Slot::Ratio] = row.ratio;
    slots[Slot::LightResidenceTime] = row.lightTime;
    EXPECT_EQ(SizeFromHoldupTimes(feed, slots), kEmptyValue);
    EXPECT_EQ(slots[Slot::LightLayerThickness], kEmptyValue);
}
INSTANTIATE_TEST_SUITE_P(Rows, HoldupTimesRefusalTest, testing::ValuesIn(kRefusalRows), testing_support::RowName());

TEST_F(HoldupTimesTest, FixedDiameterRaisesTheRatioBeyondFive) {
    slots[Slot::Diameter] = -0.6;
    const double Hv = VapourSpaceAt(0.6);
    slots[Slot::LightResidenceTime] = -Available(0.6, Hv, 5.45) / feed.lightLiquidVolumeFlow;
    ASSERT_EQ(SizeFromHoldupTimes(feed, slots), 0.0);
    EXPECT_NEAR(slots[Slot::Ratio], 5.5, 1e-9);
}

TEST_F(HoldupTimesTest, LightTimeFixedUsesAHeavyTimeAlreadyThere) {
    AddHeavyLiquid(200.0);
    slots[Slot::Diameter] = -1.2;
    slots[Slot::LightResidenceTime] = -300.0;
    ASSERT_EQ(SizeFromHoldupTimes(feed, slots), 0.0);
    EXPECT_EQ(slots[Slot::HeavyResidenceTime], 200.0);
    ArraySlots vessel = slots;
    EXPECT_EQ(slots[Slot::HeavyLevel], LevelForVolume(vessel, 200.0 * 0.0005));
}

}  // namespace
}  // namespace kestrol::horizontal
