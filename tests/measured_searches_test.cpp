// The level and vapour-space searches decide most of their comparisons from bounds instead
// of measuring. Here each is set against the search as written, measuring every trial with
// the library's arc-cosine and power, over generated vessels: the answers must be the same
// bits.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ostream>

#include <gtest/gtest.h>

#include "horizontal/geometry.h"
#include "tests/array_slots.h"

namespace kestrol::horizontal {
namespace {

using testing_support::ArraySlots;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

constexpr double kHeads = 0.26179938783333334;
constexpr double kFillCoefficient = 2.079416;
constexpr double kFillExponent = 1.90514;

double Lower(double x) { return kFillCoefficient * std::pow(x, kFillExponent); }
double Upper(double x) { return 1.0 - kFillCoefficient * std::pow(1.0 - x, kFillExponent); }

/// The level search measuring every trial volume.
double MeasuredLevelForVolume(double D, double ratio, double V) {
    const double half = 0.5 * D;
    const double Vhalf = (ratio * SegmentArea(D, half) + std::pow(0.5, kFillExponent) * D * D * 0.5443898358508387) * D;
    double h = half * std::pow(V / Vhalf, 0.3333);
    if (h < 0.01) return 0.0;
    for (int iteration = 0; iteration < 300; ++iteration) {
        const double h2 = h + 0.001;
        const bool lower = h2 <= half;
        const double V1 = (ratio * SegmentArea(D, h) + (lower ? Lower(h / D) : Upper(h / D)) * kHeads * D * D) * D;
        if (std::fabs(V1 - V) / V <= 0.005) return h2;
        const double V2 = (ratio * SegmentArea(D, h2) + (lower ? Lower(h2 / D) : Upper(h2 / D)) * kHeads * D * D) * D;
        const double hNew = h2 - (V2 - V) / ((V2 - V1) * 1000.0);
        if (std::fabs(hNew - h2) < 0.001) return hNew;
        h = hNew > D ? 0.95 * D : hNew < 0.0 ? D / 2.0 : hNew;
    }
    return 0.0;
}

/// The vapour-space search measuring every trial area.
double MeasuredVapourSpaceHeight(double D, double h, double QV, double U) {
    for (int trial = 0; trial < 50; ++trial) {
        if (QV / SegmentArea(D, h) <= U) return h;
        h = 1.05 * h;
        if (h > D) return kEmptyValue;
    }
    return kEmptyValue;
}

class Generator {
public:
    double Uniform() {
        state_ ^= state_ << 13, state_ ^= state_ >> 7, state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) / 9007199254740992.0;
    }
    double LogUniform(double low, double high) { return low * std::pow(high / low, Uniform()); }

private:
    std::uint64_t state_ = 0x2545F4914F6CDD1DULL;
};

TEST(MeasuredSearches, LevelForVolumeEndsWhereMeasuringEveryTrialEnds) {
    Generator g;
    int levels = 0;
    for (int i = 0; i < 100'000; ++i) {
        const double D = g.LogUniform(0.1, 20.0);
        const double ratio = 1.0 + 5.0 * g.Uniform();
        ArraySlots slots;
        slots[Slot::Diameter] = D;
        slots[Slot::Ratio] = ratio;
        // From a sliver to more than the vessel holds.
        const double V = FullVesselVolume(slots, D) * g.LogUniform(1e-6, 1.2);
        const double expected = MeasuredLevelForVolume(D, ratio, V);
        const double actual = LevelForVolume(slots, V);
        ASSERT_TRUE(SameBits(actual, expected)) << "D " << D << " ratio " << ratio << " V " << V << ": " << actual
                                                << " instead of " << expected;
        if (expected > 0.0) ++levels;
    }
    EXPECT_GT(levels, 50'000);  // most cases find a level, so the search's end is what is compared
}

/// A vessel, a vapour velocity in slot 3, a first vapour-space height and a vapour flow from
/// far too small for the first trial to more than the vessel carries.
struct VapourCase {
    explicit VapourCase(Generator& g)
        : D(g.LogUniform(0.1, 20.0)), U(g.LogUniform(0.05, 5.0)), h0(D * g.LogUniform(1e-4, 1.0)) {
        slots[Slot::Diameter] = D;
        slots[Slot::VapourVelocity] = U;
        feed.vapourVolumeFlow = U * SegmentArea(D, D) * g.LogUniform(1e-6, 1.5);
    }
    double D, U, h0;
    ArraySlots slots;
    StreamState feed;
};

std::ostream& operator<<(std::ostream& out, const VapourCase& c) {
    return out << "D " << c.D << " U " << c.U << " h0 " << c.h0 << " QV " << c.feed.vapourVolumeFlow;
}

TEST(MeasuredSearches, VapourSpaceHeightAcceptsTheTrialMeasuringAcceptsAndBoundsItsArea) {
    Generator g;
    int accepted = 0;
    for (int i = 0; i < 100'000; ++i) {
        VapourCase c(g);
        const double D = c.D;
        VapourSpace space;
        const double expected = MeasuredVapourSpaceHeight(D, c.h0, c.feed.vapourVolumeFlow, c.U);
        const double actual = VapourSpaceHeight(c.feed, c.slots, c.h0, &space);
        ASSERT_TRUE(SameBits(actual, expected)) << c;
        if (IsEmpty(expected)) continue;
        ++accepted;
        const double area = SegmentArea(D, expected);
        ASSERT_TRUE(space.measured ? SameBits(space.area, area) : IsEmpty(space.area));
        ASSERT_LE(space.areaRange.low, area);
        ASSERT_GE(space.areaRange.high, area);
    }
    EXPECT_GT(accepted, 50'000);
}

TEST(MeasuredSearches, NoAcceptedVapourSpaceLeavesMoreLiquidThanTheBound) {
    Generator g;
    int accepted = 0, belowFull = 0;
    for (int i = 0; i < 100'000; ++i) {
        VapourCase c(g);
        c.slots[Slot::Ratio] = (i % 2 == 0 ? -1.0 : 1.0) * (1.0 + 5.0 * g.Uniform());  // the magnitude counts
        const double Hv = VapourSpaceHeight(c.feed, c.slots, c.h0, nullptr);
        if (IsEmpty(Hv)) continue;
        ++accepted;
        // The liquid below the accepted space, as the diameter search measures it.
        const double below = FullVesselVolume(c.slots, c.D) - HorizontalLiquidVolume(c.slots, Hv, c.D);
        const double most = MostLiquidBelowVapour(c.feed, c.slots, c.D);
        ASSERT_LE(below, most) << c;
        // A bound at the full vessel would rule nothing out.
        if (most < FullVesselVolume(c.slots, c.D)) ++belowFull;
    }
    EXPECT_GT(accepted, 50'000);
    EXPECT_GT(belowFull, accepted * 99 / 100);
}

TEST(MeasuredSearches, NoBoundWithoutAVapourArea) {
    ArraySlots slots;
    slots[Slot::Ratio] = 3.0;
    StreamState feed;
    for (double U : {0.0, kEmptyValue * 0.0, std::nan("")}) {
        slots[Slot::VapourVelocity] = U;
        feed.vapourVolumeFlow = 1.0;
        EXPECT_TRUE(std::isnan(MostLiquidBelowVapour(feed, slots, 2.0))) << U;
    }
    slots[Slot::VapourVelocity] = 1.0;
    feed.vapourVolumeFlow = 0.0;  // no vapour: nothing bounds the space from below
    EXPECT_TRUE(std::isnan(MostLiquidBelowVapour(feed, slots, 2.0)));
}

}  // namespace
}  // namespace kestrol::horizontal
