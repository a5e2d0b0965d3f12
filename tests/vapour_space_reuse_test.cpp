// The sizing measures the liquid below the vapour space VapourSpaceHeight accepted with the
// area that search measured; the volume must be the one measuring afresh gives, bit for bit.
#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "horizontal/geometry.h"
#include "tests/array_slots.h"
#include "tests/row_name.h"

namespace kestrol::horizontal {
namespace {

using testing_support::ArraySlots;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct LevelRow {
    const char* name;
    double D, h;
};
// Levels outside the vessel too: the area comes from the unclamped level, the volume
// clamps it, and the two must still agree.
const LevelRow kLevels[] = {
    {"Fifth", 1.8288, 0.36576}, {"Half", 2.4384, 1.2192}, {"AboveHalf", 2.1336, 1.5},
    {"Full", 1.524, 1.524},     {"AboveTop", 1.524, 2.0}, {"BelowBottom", 1.524, -0.2},
    {"Empty", 1.524, 0.0},
};

class KnownAreaTest : public testing::TestWithParam<LevelRow> {};

/// The liquid volume up to the row's level with the area taken from `known` where it applies.
double VolumeWith(SlotAccess& slots, const LevelRow& row, const VapourSpace& known) {
    return LiquidVolumeAtRatio(slots, MeasureLiquidVolume(row.h, row.D, known));
}

/// A space the search measured: its area, exactly.
VapourSpace Measured(double D, double h, double area) { return {D, h, area, {area, area}, true}; }

TEST_P(KnownAreaTest, VolumeWithTheSearchedAreaIsTheMeasuredVolume) {
    const LevelRow& row = GetParam();
    ArraySlots slots;
    slots[Slot::Ratio] = -3.5;
    const VapourSpace known = Measured(row.D, row.h, SegmentArea(row.D, row.h));
    EXPECT_TRUE(SameBits(VolumeWith(slots, row, known), HorizontalLiquidVolume(slots, row.h, row.D)));
}

TEST_P(KnownAreaTest, AreaOfAnotherOrUnmeasuredSpaceIsNotUsed) {
    const LevelRow& row = GetParam();
    ArraySlots slots;
    slots[Slot::Ratio] = -3.5;
    const double measured = HorizontalLiquidVolume(slots, row.h, row.D);
    // The wrong areas would show: each is far from the real one.
    EXPECT_TRUE(SameBits(VolumeWith(slots, row, Measured(row.D + 0.1524, row.h, 1e6)), measured));
    EXPECT_TRUE(SameBits(VolumeWith(slots, row, Measured(row.D, row.h + 0.01, 1e6)), measured));
    EXPECT_TRUE(SameBits(VolumeWith(slots, row, {row.D, row.h, 1e6, {1e6, 1e6}, false}), measured));
    EXPECT_FALSE(SameBits(VolumeWith(slots, row, Measured(row.D, row.h, 1e6)), measured));
}

// The ratio searches measure a level's volume once and apply every ratio they try to it.
TEST_P(KnownAreaTest, PartsMeasuredOnceGiveTheVolumeAtEveryRatio) {
    const LevelRow& row = GetParam();
    ArraySlots slots;
    const LiquidVolumeParts liquid = MeasureLiquidVolume(row.h, row.D);
    const LiquidVolumeParts full = MeasureFullVessel(row.D);
    for (double ratio : {3.0, -3.5, 3.1000000000000001, 4.999999999999999, 0.0}) {
        slots[Slot::Ratio] = ratio;
        EXPECT_TRUE(SameBits(LiquidVolumeAtRatio(slots, liquid), HorizontalLiquidVolume(slots, row.h, row.D))) << ratio;
        EXPECT_TRUE(SameBits(LiquidVolumeAtRatio(slots, full), FullVesselVolume(slots, row.D))) << ratio;
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, KnownAreaTest, testing::ValuesIn(kLevels), testing_support::RowName());

// The whole vessel skips the library's arc-cosine of 1, which is +0 in every rounding mode.
TEST(FullVesselVolume, IsTheVolumeUpToTheTopBitForBit) {
    const int hostRounding = std::fegetround();
    for (int rounding : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(rounding);
        for (double D : {0.1524, 1.8288, 3.3528, 1e-300, 4.9e-324, 1e300, 0.0, -1.2, kInf, -kInf, kNaN}) {
            ArraySlots slots;
            slots[Slot::Ratio] = -4.0;
            const double full = FullVesselVolume(slots, D);
            const double measured = HorizontalLiquidVolume(slots, D, D);
            std::fesetround(hostRounding);
            EXPECT_TRUE(SameBits(full, measured)) << "D " << D << ", rounding " << rounding << ": " << full << " vs " << measured;
            std::fesetround(rounding);
        }
    }
    std::fesetround(hostRounding);
}

// The level search takes the half-full vessel's arc-cosine of 0 as pi/2 to the nearest double
// without calling the library; that holds only while the library agrees.
TEST(HalfHeightArcCosine, IsTheLibrarysBitForBit) {
    volatile double zero = 0.0, negativeZero = -0.0;
    EXPECT_TRUE(SameBits(std::acos(zero), 1.5707963267948966));
    EXPECT_TRUE(SameBits(std::acos(negativeZero), 1.5707963267948966));
}

/// A vessel of 1.8288 m whose vapour space is searched from 0.36576 m for a vapour flow
/// [m3/s] at 0.9 m/s; what the search reports comes back in `accepted`.
double SearchVapourSpace(double vapourFlow, VapourSpace& accepted) {
    ArraySlots slots;
    StreamState feed;
    feed.vapourVolumeFlow = vapourFlow;
    slots[Slot::Diameter] = 1.8288;
    slots[Slot::VapourVelocity] = 0.9;
    return VapourSpaceHeight(feed, slots, 0.36576, &accepted);
}

TEST(VapourSpaceHeight, ReportsTheSpaceItAccepted) {
    VapourSpace accepted;
    const double Hv = SearchVapourSpace(1.7, accepted);
    ASSERT_FALSE(IsEmpty(Hv));
    EXPECT_GT(Hv, 0.36576);  // raised at least once, so the report is of a later trial
    EXPECT_TRUE(SameBits(accepted.D, 1.8288));
    EXPECT_TRUE(SameBits(accepted.h, Hv));
    const double area = SegmentArea(1.8288, Hv);
    if (accepted.measured) {
        EXPECT_TRUE(SameBits(accepted.area, area));
    } else {
        EXPECT_TRUE(IsEmpty(accepted.area));
    }
    EXPECT_LE(accepted.areaRange.low, area);
    EXPECT_GE(accepted.areaRange.high, area);
}

TEST(VapourSpaceHeight, MeasuresTheAreaWhenTheFitLeavesTheAnswerInDoubt) {
    // A flow that needs just the area of the fifth trial (0.36576 m raised four times by 5 %).
    double h = 0.36576;
    for (int i = 0; i < 4; ++i) h = 1.05 * h;
    VapourSpace accepted;
    const double Hv = SearchVapourSpace(SegmentArea(1.8288, h) * 0.9, accepted);
    EXPECT_TRUE(SameBits(Hv, h));
    EXPECT_TRUE(accepted.measured);
    EXPECT_TRUE(SameBits(accepted.area, SegmentArea(1.8288, h)));
}

TEST(VapourSpaceHeight, ReportsNothingWhenNoSpaceFits) {
    VapourSpace accepted;
    EXPECT_TRUE(IsEmpty(SearchVapourSpace(100.0, accepted)));
    EXPECT_TRUE(IsEmpty(accepted.area));
}

}  // namespace
}  // namespace kestrol::horizontal
