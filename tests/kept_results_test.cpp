// The geometry keeps library results it is asked for again (the full vessel's arc-cosine,
// the half-height one, the area of the vapour space it just accepted). What it keeps must be
// what the call would give now: the same bits as on a thread that kept nothing, also after
// the host changed the rounding direction.
#include <cfenv>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "horizontal/geometry.h"
#include "tests/array_slots.h"

namespace kestrol::horizontal {
namespace {

using testing_support::ArraySlots;

/// A horizontal vessel and vapour flow whose vapour space is found after a few trials.
void Measure(std::vector<double>& out) {
    ArraySlots slots;
    StreamState feed;
    feed.vapourVolumeFlow = 1.7;
    slots[Slot::Ratio] = -3.0;
    slots[Slot::VapourVelocity] = 0.9;
    for (double D : {1.2192, 1.8288, 2.4384}) {
        slots[Slot::Diameter] = D;
        const double Hv = VapourSpaceHeight(feed, slots, 0.2 * D);
        out.push_back(Hv);
        out.push_back(HorizontalLiquidVolume(slots, D, D));
        if (!IsEmpty(Hv)) out.push_back(HorizontalLiquidVolume(slots, Hv, D));
        out.push_back(LevelForVolume(slots, 0.4 * D * D * D));
    }
}

/// Measured on a thread of its own, which has kept nothing yet.
std::vector<double> MeasuredAfresh(int rounding) {
    std::vector<double> out;
    std::thread([&] {
        std::fesetround(rounding);
        Measure(out);
    }).join();
    return out;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(KeptResults, RepeatedMeasurementsGiveTheBitsOfAFreshThread) {
    const int hostRounding = std::fegetround();
    for (int rounding : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO, FE_TONEAREST}) {
        SCOPED_TRACE(rounding);
        std::vector<double> here;
        std::fesetround(rounding);
        Measure(here);  // keeps what it computes, under this rounding
        Measure(here);  // now partly from what it kept
        std::fesetround(hostRounding);
        std::vector<double> fresh = MeasuredAfresh(rounding);
        const std::vector<double> freshTwice = [&] {
            std::vector<double> twice = fresh;
            twice.insert(twice.end(), fresh.begin(), fresh.end());
            return twice;
        }();
        ASSERT_GT(fresh.size(), 9u);
        EXPECT_TRUE(SameBits(here, freshTwice));
    }
}

// A host may change the rounding between two calls: what was kept under one rounding must
// not stand in for a result under another.
TEST(KeptResults, KeptUnderOneRoundingIsNotUsedUnderAnother) {
    const int hostRounding = std::fegetround();
    ArraySlots slots;
    StreamState feed;
    feed.vapourVolumeFlow = 1.7;
    slots[Slot::Ratio] = -3.0;
    slots[Slot::VapourVelocity] = 0.9;
    slots[Slot::Diameter] = 1.8288;
    const double D = 1.8288;
    const double Hv = VapourSpaceHeight(feed, slots, 0.2 * D);  // kept under round-to-nearest
    ASSERT_FALSE(IsEmpty(Hv));
    std::vector<double> here, fresh, nearest;
    for (int rounding : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(rounding);
        here.push_back(HorizontalLiquidVolume(slots, Hv, D));
        here.push_back(LevelForVolume(slots, 2.0));
        std::fesetround(hostRounding);
        std::thread([&] {
            std::fesetround(rounding);
            fresh.push_back(HorizontalLiquidVolume(slots, Hv, D));
            fresh.push_back(LevelForVolume(slots, 2.0));
        }).join();
        nearest.push_back(HorizontalLiquidVolume(slots, Hv, D));
        nearest.push_back(LevelForVolume(slots, 2.0));
    }
    EXPECT_TRUE(SameBits(here, fresh));
    // Without a difference between the roundings this test would prove nothing.
    EXPECT_FALSE(SameBits(fresh, nearest));
}

// Without this the test above could pass with every rounding giving the same bits.
TEST(KeptResults, RoundingDirectionShowsInTheMeasurements) {
    EXPECT_FALSE(SameBits(MeasuredAfresh(FE_UPWARD), MeasuredAfresh(FE_DOWNWARD)));
}

}  // namespace
}  // namespace kestrol::horizontal
