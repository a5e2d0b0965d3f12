#include "common/holdup_split.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include "tests/array_slots.h"

namespace kestrol::common {
namespace {

using testing_support::ArraySlots;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct SplitRow {
    const char* name;
    double lightFlow, heavyFlow;      // [m3/s]
    double light6, heavy8;            // slots 6 and 8 before the call
    double volume;                    // [m3]
    double returned;
    double expected6, expected8;      // slots 6 and 8 after the call
    double tolerance;                 // absolute, on the slots [s]; the difference slope
                                      // carries rounding of about 1e-8 s
};
void PrintTo(const SplitRow& row, std::ostream* os) { *os << row.name; }

const SplitRow kSplitRows[] = {
    // The first update lands on V / Q - half a probe step and is accepted there.
    {"CommonTimeAfterOneUpdate", 0.006, 0.004, kEmptyValue, kEmptyValue, 6.0, 0.0, 599.9995, 599.9995, 1e-7},
    // |0.3 - 0.5| / 300 is already inside the tolerance: the start time is the answer.
    {"StartTimeAcceptedAsIs", 0.0006, 0.0004, kEmptyValue, kEmptyValue, 0.5, 0.0, 300.0, 300.0, 0.0},
    {"FixedHeavyTimeLeavesRestToLight", 0.006, 0.004, kEmptyValue, -600.0, 6.0, 0.0, 600.0, -600.0, 1e-9},
    {"FixedLightTimeLeavesRestToHeavy", 0.006, 0.004, -500.0, kEmptyValue, 6.0, 0.0, -500.0, 750.0, 1e-9},
    {"FixedHeavyTimeWinsOverFixedLight", 0.006, 0.004, -500.0, -600.0, 6.0, 0.0, 600.0, -600.0, 1e-9},
    {"CommonTimeOverwritesPositiveSlots", 0.006, 0.004, 12.0, 34.0, 6.0, 0.0, 599.9995, 599.9995, 1e-7},
    {"CommonTimeKeepsZeroSlot", 0.006, 0.004, 0.0, kEmptyValue, 6.0, 0.0, 0.0, 599.9995, 1e-7},
    {"FixedHeavyTimeUsingAllVolumeGivesZero", 0.006, 0.004, kEmptyValue, -1500.0, 6.0, 0.0, 0.0, -1500.0, 0.0},
    // Failures write nothing.
    {"FixedHeavyTimeOverfillsVolume", 0.006, 0.004, kEmptyValue, -2000.0, 6.0, kEmptyValue, kEmptyValue, -2000.0, 0.0},
    {"FixedLightTimeOverfillsVolume", 0.006, 0.004, -2000.0, kEmptyValue, 6.0, kEmptyValue, -2000.0, kEmptyValue, 0.0},
    {"FixedLightTimeWithNoHeavyFlow", 0.006, 0.0, -500.0, kEmptyValue, 6.0, kEmptyValue, -500.0, kEmptyValue, 0.0},
    {"FixedHeavyTimeWithNaNVolume", 0.006, 0.004, kEmptyValue, -600.0, kNaN, kEmptyValue, kEmptyValue, -600.0, 0.0},
    {"NegativeVolumeGivesNegativeCommonTime", 0.006, 0.004, 5.0, 7.0, -6.0, kEmptyValue, 5.0, 7.0, 0.0},
    {"NaNVolumeNeverAccepted", 0.006, 0.004, kEmptyValue, kEmptyValue, kNaN, kEmptyValue, kEmptyValue, kEmptyValue, 0.0},
    // Half a probe step of misfit exceeds the tolerance when the flow is this large: the
    // update keeps landing on the same time until the budget runs out.
    {"LargeFlowNeverSettles", 6.0, 4.0, kEmptyValue, kEmptyValue, 1.0, kEmptyValue, kEmptyValue, kEmptyValue, 0.0},
};

class SplitHoldupVolumeTest : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitHoldupVolumeTest, WritesTheRowsTimes) {
    const SplitRow& row = GetParam();
    StreamState feed;
    feed.lightLiquidVolumeFlow = row.lightFlow;
    feed.heavyLiquidVolumeFlow = row.heavyFlow;
    ArraySlots slots;
    slots[Slot::LightResidenceTime] = row.light6;
    slots[Slot::HeavyResidenceTime] = row.heavy8;
    ArraySlots before = slots;

    EXPECT_EQ(SplitHoldupVolume(feed, slots, row.volume), row.returned);
    EXPECT_NEAR(slots[Slot::LightResidenceTime], row.expected6, row.tolerance);
    EXPECT_NEAR(slots[Slot::HeavyResidenceTime], row.expected8, row.tolerance);
    for (int i = 1; i <= kSlotCount; ++i) {
        const Slot s = static_cast<Slot>(i);
        if (s == Slot::LightResidenceTime || s == Slot::HeavyResidenceTime) continue;
        EXPECT_EQ(slots[s], before[s]) << "slot " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SplitHoldupVolumeTest, testing::ValuesIn(kSplitRows),
                         [](const testing::TestParamInfo<SplitRow>& p) { return std::string(p.param.name); });

TEST(SplitHoldupVolumeTest, CommonTimeFillsTheVolume) {
    StreamState feed;
    feed.lightLiquidVolumeFlow = 0.0123;
    feed.heavyLiquidVolumeFlow = 0.0045;
    ArraySlots slots;
    const double volume = 9.87;
    ASSERT_EQ(SplitHoldupVolume(feed, slots, volume), 0.0);
    const double t = slots[Slot::LightResidenceTime];
    EXPECT_EQ(slots[Slot::HeavyResidenceTime], t);
    // Accepted within 0.001 of misfit per second of time.
    EXPECT_LE(std::fabs((0.0123 + 0.0045) * t - volume) / t, 0.001);
}

}  // namespace
}  // namespace kestrol::common
