#include "horizontal/horizontal_level_time.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "horizontal/geometry.h"
#include "tests/array_slots.h"
#include "tests/row_name.h"

namespace kestrol::horizontal {
namespace {

using testing_support::ArraySlots;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct TimeRow {
    const char* name;
    double diameter, minimumLevel, heavyFlow;
    double levelUsed;      // kEmptyValue: the call fails
    double levelAfter;     // slot 9 afterwards
};
const TimeRow kTimeRows[] = {
    {"EmptyLevelTakesAFootAndRecordsIt", 2.0, kEmptyValue, kEmptyValue, 0.3048, 0.3048},
    {"FixedLevelByMagnitudeAndKept", 2.0, -0.5, kEmptyValue, 0.5, -0.5},
    {"FixedDiameterByMagnitude", -2.0, 0.5, kEmptyValue, 0.5, 0.5},
    {"LevelAtTheTopIsAccepted", 2.0, 2.0, kEmptyValue, 2.0, 2.0},
    {"HeavyLiquidAddsToTheDivisor", 2.0, 0.5, 0.002, 0.5, 0.5},
    {"LevelAboveTheVessel", 2.0, 2.5, kEmptyValue, kEmptyValue, 2.5},
    {"NaNLevel", 2.0, kNaN, kEmptyValue, kEmptyValue, kNaN},
    {"EmptyDiameter", kEmptyValue, kEmptyValue, kEmptyValue, kEmptyValue, kEmptyValue},
    {"ZeroDiameter", 0.0, kEmptyValue, kEmptyValue, kEmptyValue, kEmptyValue},
    {"InfiniteDiameter", kInf, kEmptyValue, kEmptyValue, kEmptyValue, kEmptyValue},
    {"NaNHeavyFlow", 2.0, kEmptyValue, kNaN, kEmptyValue, kEmptyValue},
    {"NegativeDivisor", 2.0, kEmptyValue, -0.02, kEmptyValue, kEmptyValue},
};
class HorizontalLevelTimeTest : public testing::TestWithParam<TimeRow> {};
TEST_P(HorizontalLevelTimeTest, MatchesRow) {
    const TimeRow& row = GetParam();
    StreamState feed;
    feed.lightLiquidVolumeFlow = 0.01;
    feed.heavyLiquidVolumeFlow = row.heavyFlow;
    ArraySlots slots;
    slots[Slot::Diameter] = row.diameter;
    slots[Slot::Ratio] = 3.0;
    slots[Slot::MinimumLevel] = row.minimumLevel;
    const double flow = IsEmpty(row.heavyFlow) ? 0.01 : 0.01 + row.heavyFlow;
    const double expected = IsEmpty(row.levelUsed)
                                ? kEmptyValue
                                : horizontal::HorizontalLiquidVolume(slots, row.levelUsed, 2.0) / flow;
    EXPECT_EQ(CalcHorizontalLevelTime(feed, slots), expected);
    if (std::isnan(row.levelAfter)) {
        EXPECT_TRUE(std::isnan(slots[Slot::MinimumLevel]));
    } else {
        EXPECT_EQ(slots[Slot::MinimumLevel], row.levelAfter);
    }
    EXPECT_EQ(CalcHorizontalLevelTime(feed, slots), expected) << "a second call";
}
INSTANTIATE_TEST_SUITE_P(Rows, HorizontalLevelTimeTest, testing::ValuesIn(kTimeRows), testing_support::RowName());

TEST(HorizontalLevelTimeTest, EmptyRatioFailsWithNothingWritten) {
    StreamState feed;
    feed.lightLiquidVolumeFlow = 0.01;
    ArraySlots slots;
    slots[Slot::Diameter] = 2.0;
    EXPECT_EQ(CalcHorizontalLevelTime(feed, slots), kEmptyValue);
    EXPECT_EQ(slots[Slot::MinimumLevel], kEmptyValue);
}

}  // namespace
}  // namespace kestrol::horizontal
