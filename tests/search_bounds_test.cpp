// Every search of the sizing paths, driven to the bound that ends it and fed a NaN: each must
// stop there with its failure result.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "design/presets.h"
#include "horizontal/geometry.h"
#include "horizontal/given_levels_sizing.h"
#include "common/holdup_split.h"
#include "horizontal/holdup_times_sizing.h"
#include "tests/array_slots.h"
#include "tests/row_name.h"
#include "vertical/vertical_sizing.h"

namespace kestrol {
namespace {

using testing_support::ArraySlots;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// A feed whose liquid no vessel of the searched sizes can hold.
StreamState Flood(bool heavyLiquid) {
    StreamState feed;
    feed.lightLiquidDensity = 800.0;
    feed.vapourDensity = 10.0;
    feed.lightLiquidMassFlow = 3.6e10;
    feed.vapourMassFlow = 5000.0;
    feed.pressure = 1000.0;
    feed.temperature = 40.0;
    feed.vapourVolumeFlow = 0.1388888888888889;
    feed.lightLiquidVolumeFlow = 1.25e4;
    if (heavyLiquid) {
        feed.heavyLiquidDensity = 1000.0;
        feed.heavyLiquidVolumeFlow = 1.0e4;
    }
    return feed;
}

struct SearchRow {
    const char* name;
    bool heavyLiquid;
    double orientation;
    void (*prepare)(StreamState&, ArraySlots&);
    double (*run)(const StreamState&, ArraySlots&);
    double failure;      // what the search returns when it gives up
    Slot emptiedSlot;    // a slot the failure leaves empty (Spare20 when none)
    Slot searchedSlot;   // the searched quantity, which must have come this far
    double reached;
};

double Vertical(const StreamState& f, ArraySlots& s) { return vertical::SizeVertical(f, s); }
double HoldupTimes(const StreamState& f, ArraySlots& s) { return horizontal::SizeFromHoldupTimes(f, s); }
double GivenLevels(const StreamState& f, ArraySlots& s) { return horizontal::SizeFromGivenLevels(f, s); }

const SearchRow kSearchRows[] = {
    {"VerticalDiameterAtRatioFivePassesFortyMetres", false, 0.0, [](StreamState&, ArraySlots&) {}, Vertical, kEmptyValue, Slot::Diameter, Slot::Spare20, 0.0},
    {"VerticalRatioAtFixedDiameterPassesForty", false, 0.0, [](StreamState&, ArraySlots& s) { s[Slot::Diameter] = -1.0; }, Vertical, kEmptyValue, Slot::Ratio, Slot::Spare20, 0.0},
    {"VerticalDiameterAtGivenRatioPassesFortyMetres", false, 0.0, [](StreamState&, ArraySlots& s) { s[Slot::Ratio] = -4.0; }, Vertical, kEmptyValue, Slot::Diameter, Slot::Spare20, 0.0},
    {"VerticalSearchAroundGivenHeavyLevel", true, 0.0,
     [](StreamState&, ArraySlots& s) { s[Slot::HeavyLevel] = -0.3; s[Slot::HeavyResidenceTime] = kEmptyValue; }, Vertical, kEmptyValue, Slot::Diameter, Slot::Spare20, 0.0},
    {"VerticalWithNaNVelocity", false, 0.0, [](StreamState&, ArraySlots& s) { s[Slot::VapourVelocity] = kNaN; }, Vertical, kEmptyValue, Slot::Diameter, Slot::Spare20, 0.0},
    {"HorizontalFiftyDiameters", false, 1.0, [](StreamState&, ArraySlots&) {}, HoldupTimes, kEmptyValue, Slot::Spare20, Slot::Diameter, 49 * 0.1524},
    {"HorizontalFiftyRatioRaisesAtFixedDiameter", false, 1.0,
     [](StreamState&, ArraySlots& s) { s[Slot::Diameter] = -2.0; s[Slot::Ratio] = 3.0; }, HoldupTimes, kEmptyValue, Slot::Spare20, Slot::Ratio, 3.0 + 49 * 0.1},
    {"HorizontalRatioPastFiveAtFixedVapourSpace", false, 1.0,
     [](StreamState&, ArraySlots& s) { s[Slot::Diameter] = -2.0; s[Slot::VapourSpaceHeight] = -0.6; s[Slot::Ratio] = 3.0; },
     HoldupTimes, kEmptyValue, Slot::Spare20, Slot::Ratio, 4.9},
    {"HorizontalWithNaNVelocity", false, 1.0, [](StreamState&, ArraySlots& s) { s[Slot::VapourVelocity] = kNaN; }, HoldupTimes, kEmptyValue, Slot::Diameter, Slot::Spare20, 0.0},
    {"GivenLevelsDiameterStepCap", false, 1.0,
     [](StreamState& f, ArraySlots& s) { f.vapourVolumeFlow = 1e12; s[Slot::LightLayerThickness] = -0.5; }, GivenLevels, kEmptyValue, Slot::Diameter, Slot::Spare20, 0.0},
    {"GivenLevelsWithNaNVapourFlow", false, 1.0,
     [](StreamState& f, ArraySlots& s) { f.vapourVolumeFlow = kNaN; s[Slot::LightLayerThickness] = -0.5; }, GivenLevels, kEmptyValue, Slot::Diameter, Slot::Spare20, 0.0},
};
class SearchBoundTest : public testing::TestWithParam<SearchRow> {};
TEST_P(SearchBoundTest, EndsWithTheFailureResult) {
    const SearchRow& row = GetParam();
    StreamState feed = Flood(row.heavyLiquid);
    ArraySlots slots;
    slots[Slot::Orientation] = row.orientation;
    ASSERT_EQ(design::PresetOptions(feed, slots), 0.0);
    row.prepare(feed, slots);
    EXPECT_EQ(row.run(feed, slots), row.failure);
    if (row.searchedSlot != Slot::Spare20) {
        EXPECT_GE(slots[row.searchedSlot], row.reached);
    }
    if (row.emptiedSlot != Slot::Spare20) {
        EXPECT_EQ(slots[row.emptiedSlot], kEmptyValue);
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, SearchBoundTest, testing::ValuesIn(kSearchRows), testing_support::RowName());

TEST(SearchBoundTest, LevelIterationGivesUpOnANaNVolume) {
    ArraySlots slots;
    slots[Slot::Diameter] = 2.0;
    slots[Slot::Ratio] = 3.0;
    EXPECT_EQ(horizontal::LevelForVolume(slots, kNaN), 0.0);
}

TEST(SearchBoundTest, VapourSpaceGivesUpAfterFiftyTrials) {
    StreamState feed;
    feed.vapourVolumeFlow = 1e6;
    ArraySlots slots;
    slots[Slot::Diameter] = 1e6;  // 1.05^49 of the start still lies far below D
    slots[Slot::VapourVelocity] = 1.0;
    EXPECT_EQ(horizontal::VapourSpaceHeight(feed, slots, 0.01), kEmptyValue);
    EXPECT_EQ(horizontal::VapourSpaceHeight(feed, slots, kNaN), kEmptyValue);
}

TEST(SearchBoundTest, CommonTimeSearchRefusesWhatItCannotStore) {
    StreamState feed;
    feed.lightLiquidVolumeFlow = 1e-300;
    feed.heavyLiquidVolumeFlow = 1e-300;
    ArraySlots slots;
    EXPECT_EQ(common::SplitHoldupVolume(feed, slots, 1e300), kEmptyValue);
    EXPECT_EQ(common::SplitHoldupVolume(feed, slots, kNaN), kEmptyValue);
    EXPECT_EQ(slots[Slot::LightResidenceTime], kEmptyValue);
    EXPECT_EQ(slots[Slot::HeavyResidenceTime], kEmptyValue);
}

}  // namespace
}  // namespace kestrol
