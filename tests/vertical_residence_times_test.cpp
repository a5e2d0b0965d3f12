#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tests/array_slots.h"
#include "vertical/residence_times.h"

namespace kestrol::vertical {
namespace {

using testing_support::ArraySlots;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Volume below a level, written independently of the code under test (D = 2 m).
double Volume(double h) {
    if (h <= 0.5) return 3.141592654 * 2.0 * h * h - 4.1887902053333335 * h * h * h;
    return 0.7853981635 * 4.0 * (h - 2.0 / 12.0);
}

struct TimesCase {
    ArraySlots slots;
    StreamState feed;
    TimesCase(double lightFlow, double heavyFlow) {
        slots[Slot::Diameter] = 2.0;
        feed.lightLiquidVolumeFlow = lightFlow;
        feed.heavyLiquidVolumeFlow = heavyFlow;
    }
};

TEST(VerticalResidenceTimesTest, HeavyLevelAtTheTangentLineHoldsTheHead) {
    TimesCase c(0.01, 0.001);
    c.slots[Slot::HeavyLevel] = 0.5;
    ASSERT_EQ(VerticalResidenceTimesFromLevels(c.feed, c.slots), 0.0);
    EXPECT_NEAR(c.slots[Slot::HeavyResidenceTime], 1047.1975513, 1e-6);
    // Both volume formulas agree at D/4: a level a hair above gives the same time.
    TimesCase above(0.01, 0.001);
    above.slots[Slot::HeavyLevel] = 0.5 + 1e-12;
    ASSERT_EQ(VerticalResidenceTimesFromLevels(above.feed, above.slots), 0.0);
    EXPECT_NEAR(above.slots[Slot::HeavyResidenceTime], c.slots[Slot::HeavyResidenceTime], 1e-6);
}

TEST(VerticalResidenceTimesTest, LevelZeroGivesTimeZero) {
    TimesCase c(0.01, kEmptyValue);
    c.slots[Slot::LightLayerThickness] = 0.0;
    ASSERT_EQ(VerticalResidenceTimesFromLevels(c.feed, c.slots), 0.0);
    EXPECT_EQ(c.slots[Slot::LightResidenceTime], 0.0);
}

TEST(VerticalResidenceTimesTest, TwoPhaseLeavesTheHeavySlotsAlone) {
    TimesCase c(0.01, kEmptyValue);
    c.slots[Slot::LightLayerThickness] = -1.2;
    c.slots[Slot::HeavyLevel] = 0.3;
    ASSERT_EQ(VerticalResidenceTimesFromLevels(c.feed, c.slots), 0.0);
    EXPECT_NEAR(c.slots[Slot::LightResidenceTime], Volume(1.2) / 0.01, 1e-8);
    EXPECT_EQ(c.slots[Slot::HeavyLevel], 0.3);
    EXPECT_TRUE(IsEmpty(c.slots[Slot::HeavyResidenceTime]));
}

TEST(VerticalResidenceTimesTest, LightLayerOverAHeadLevelSubtractsTheHeavyHoldup) {
    TimesCase c(0.01, 0.001);
    c.slots[Slot::HeavyLevel] = 0.3;
    c.slots[Slot::LightLayerThickness] = 0.4;
    c.slots[Slot::HeavyResidenceTime] = 5.0;  // overwritten from the level first
    ASSERT_EQ(VerticalResidenceTimesFromLevels(c.feed, c.slots), 0.0);
    const double t8 = Volume(0.3) / 0.001;
    EXPECT_NEAR(c.slots[Slot::HeavyResidenceTime], t8, 1e-8);
    EXPECT_NEAR(c.slots[Slot::LightResidenceTime], (Volume(0.7) - t8 * 0.001) / 0.01, 1e-8);
}

TEST(VerticalResidenceTimesTest, LightLayerOverACylinderLevelIgnoresTheHeavyLevel) {
    for (double h7 : {0.6, 1.5}) {
        TimesCase c(0.01, 0.001);
        c.slots[Slot::HeavyLevel] = h7;
        c.slots[Slot::LightLayerThickness] = 0.4;
        ASSERT_EQ(VerticalResidenceTimesFromLevels(c.feed, c.slots), 0.0);
        EXPECT_NEAR(c.slots[Slot::LightResidenceTime], 0.7853981635 * 4.0 * 0.4 / 0.01, 1e-8) << "h7 " << h7;
    }
}

TEST(VerticalResidenceTimesTest, FixedTimesAreLeftAlone) {
    TimesCase c(0.01, 0.001);
    c.slots[Slot::HeavyLevel] = 0.3;
    c.slots[Slot::LightLayerThickness] = 0.4;
    c.slots[Slot::HeavyResidenceTime] = -600.0;
    c.slots[Slot::LightResidenceTime] = -300.0;
    ASSERT_EQ(VerticalResidenceTimesFromLevels(c.feed, c.slots), 0.0);
    EXPECT_EQ(c.slots[Slot::HeavyResidenceTime], -600.0);
    EXPECT_EQ(c.slots[Slot::LightResidenceTime], -300.0);
}

TEST(VerticalResidenceTimesTest, HeavyLiquidWithoutALevelLeavesTheLightLiquidNoTime) {
    TimesCase c(0.01, 0.001);
    c.slots[Slot::HeavyResidenceTime] = -600.0;
    c.slots[Slot::LightLayerThickness] = 0.4;
    c.slots[Slot::LightResidenceTime] = 123.0;
    ASSERT_EQ(VerticalResidenceTimesFromLevels(c.feed, c.slots), 0.0);
    EXPECT_EQ(c.slots[Slot::HeavyResidenceTime], -600.0);
    EXPECT_EQ(c.slots[Slot::LightResidenceTime], 0.0);
}

struct RefusedRow {
    const char* name;
    double lightFlow, heavyFlow;
    double heavyLevel, heavyTime, layer;
    Slot untouched;
};

const RefusedRow kRefusedRows[] = {
    {"HeavyFlowZero", 0.01, 0.0, 0.3, kEmptyValue, kEmptyValue, Slot::HeavyResidenceTime},
    {"HeavyFlowNotANumber", 0.01, kNaN, 0.3, kEmptyValue, kEmptyValue, Slot::HeavyResidenceTime},
    {"HeavyFlowNegative", 0.01, -0.001, 0.3, kEmptyValue, kEmptyValue, Slot::HeavyResidenceTime},
    {"LightFlowZero", 0.0, kEmptyValue, kEmptyValue, kEmptyValue, 0.4, Slot::LightResidenceTime},
    {"LightFlowNegative", -0.01, kEmptyValue, kEmptyValue, kEmptyValue, 0.4, Slot::LightResidenceTime},
    // A fixed heavy hold-up larger than everything below the light surface.
    {"NegativeLightTime", 0.01, 0.001, 0.3, -1.0e6, 0.1, Slot::LightResidenceTime},
    {"LevelNotANumber", 0.01, kEmptyValue, kEmptyValue, kEmptyValue, kNaN, Slot::LightResidenceTime},
};

class VerticalResidenceTimesRefusedTest : public testing::TestWithParam<RefusedRow> {};

TEST_P(VerticalResidenceTimesRefusedTest, FailsWithoutWritingTheTime) {
    const RefusedRow& row = GetParam();
    TimesCase c(row.lightFlow, row.heavyFlow);
    c.slots[Slot::HeavyLevel] = row.heavyLevel;
    c.slots[Slot::HeavyResidenceTime] = row.heavyTime;
    c.slots[Slot::LightLayerThickness] = row.layer;
    const double before = c.slots[row.untouched];
    EXPECT_TRUE(IsEmpty(VerticalResidenceTimesFromLevels(c.feed, c.slots)));
    EXPECT_EQ(c.slots[row.untouched], before);
}

INSTANTIATE_TEST_SUITE_P(Rows, VerticalResidenceTimesRefusedTest, testing::ValuesIn(kRefusedRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

}  // namespace
}  // namespace kestrol::vertical
