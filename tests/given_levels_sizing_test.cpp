#include "horizontal/given_levels_sizing.h"

#include <limits>

#include <gtest/gtest.h>

#include "horizontal/geometry.h"
#include "tests/array_slots.h"
#include "tests/row_name.h"

namespace kestrol::horizontal {
namespace {

using testing_support::ArraySlots;

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Levels {
    StreamState feed;
    ArraySlots slots;
    Levels(double heavyLevel, double lightLayer, bool heavyLiquid, double vapourFlow = 0.01) {
        feed.vapourVolumeFlow = vapourFlow;
        feed.lightLiquidVolumeFlow = 0.001;
        if (heavyLiquid) feed.heavyLiquidVolumeFlow = 0.0005;
        slots[Slot::VapourVelocity] = 2.0;
        slots[Slot::Ratio] = 3.0;
        slots[Slot::HeavyLevel] = heavyLevel;
        slots[Slot::LightLayerThickness] = lightLayer;
    }
};

struct FirstDiameterRow {
    const char* name;
    double heavyLevel, lightLayer;
    bool heavyLiquid;
    double diameter;
};
// A small vapour flow, so the first diameter's gap already carries it.
const FirstDiameterRow kFirstDiameterRows[] = {
    {"QuarterAboveTheLiquids", -0.5, -0.7, true, 1.524},
    {"NineStepsForOneMetre", -0.4, -0.6, true, 1.3716},
    {"GapBelowOneFootAddsAFoot", -0.05, -0.15, true, 0.6096},
    {"HeavyLevelIgnoredWithoutHeavyLiquid", -0.5, -1.0, false, 1.3716},
};
class GivenLevelsFirstDiameterTest : public testing::TestWithParam<FirstDiameterRow> {};
TEST_P(GivenLevelsFirstDiameterTest, LeavesTheGapAsVapourSpace) {
    const FirstDiameterRow& row = GetParam();
    Levels c(row.heavyLevel, row.lightLayer, row.heavyLiquid);
    ASSERT_EQ(SizeFromGivenLevels(c.feed, c.slots), 0.0);
    EXPECT_NEAR(c.slots[Slot::Diameter], row.diameter, 1e-12);
    const double liquids = (row.heavyLiquid ? -row.heavyLevel : 0.0) - row.lightLayer;
    EXPECT_NEAR(c.slots[Slot::VapourSpaceHeight], row.diameter - liquids, 1e-12);
    EXPECT_GT(c.slots[Slot::LightResidenceTime], 0.0);
}
INSTANTIATE_TEST_SUITE_P(Rows, GivenLevelsFirstDiameterTest, testing::ValuesIn(kFirstDiameterRows), testing_support::RowName());

TEST(GivenLevelsTest, DiameterGrowsUntilTheGapCarriesTheVapour) {
    Levels c(-0.5, -0.7, true, 3.0);
    ASSERT_EQ(SizeFromGivenLevels(c.feed, c.slots), 0.0);
    const double D = c.slots[Slot::Diameter];
    EXPECT_GT(D, 1.524);
    EXPECT_EQ(VapourSpaceHeight(c.feed, c.slots, D - 1.2), D - 1.2);
    c.slots[Slot::Diameter] = D - kRoundingStep;
    const double smaller = VapourSpaceHeight(c.feed, c.slots, D - kRoundingStep - 1.2);
    EXPECT_TRUE(IsEmpty(smaller) || smaller > D - kRoundingStep - 1.2);
}

TEST(GivenLevelsTest, FixedDiameterRecordsTheGapWithoutCheckingTheVelocity) {
    Levels c(-0.3, -0.5, true, 50.0);
    c.slots[Slot::Diameter] = -1.0;
    ASSERT_EQ(SizeFromGivenLevels(c.feed, c.slots), 0.0);
    EXPECT_NEAR(c.slots[Slot::VapourSpaceHeight], 0.2, 1e-12);
    EXPECT_EQ(c.slots[Slot::Diameter], -1.0);
}

struct RefusalRow {
    const char* name;
    double diameter, velocity, vapourFlow, ratio;
    double diameterAfter;
};
const RefusalRow kRefusalRows[] = {
    {"FixedDiameterBelowTheLevels", -1.0, 2.0, 0.01, 3.0, -1.0},
    {"InfiniteFixedDiameter", -kInf, 2.0, 0.01, 3.0, -kInf},
    {"EmptyRatio", kEmptyValue, 2.0, 0.01, kEmptyValue, kEmptyValue},
    {"EmptyVelocity", 2.0, kEmptyValue, 0.01, 3.0, kEmptyValue},
    {"ZeroVelocity", 2.0, 0.0, 0.01, 3.0, kEmptyValue},
    {"InfiniteVapourFlow", 2.0, 2.0, kInf, 3.0, kEmptyValue},
    {"VapourBeyondTenThousandSteps", 2.0, 2.0, 1.0e9, 3.0, kEmptyValue},
};
class GivenLevelsRefusalTest : public testing::TestWithParam<RefusalRow> {};
TEST_P(GivenLevelsRefusalTest, FailsWithoutAVapourSpace) {
    const RefusalRow& row = GetParam();
    Levels c(-0.6, -0.5, true, row.vapourFlow);
    c.slots[Slot::Diameter] = row.diameter;
    c.slots[Slot::VapourVelocity] = row.velocity;
    c.slots[Slot::Ratio] = row.ratio;
    EXPECT_EQ(SizeFromGivenLevels(c.feed, c.slots), kEmptyValue);
    EXPECT_EQ(c.slots[Slot::Diameter], row.diameterAfter);
    EXPECT_EQ(c.slots[Slot::VapourSpaceHeight], kEmptyValue);
    EXPECT_EQ(c.slots[Slot::LightResidenceTime], kEmptyValue);
}
INSTANTIATE_TEST_SUITE_P(Rows, GivenLevelsRefusalTest, testing::ValuesIn(kRefusalRows), testing_support::RowName());

}  // namespace
}  // namespace kestrol::horizontal
