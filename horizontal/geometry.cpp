#include "horizontal/geometry.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace kestrol::horizontal {
namespace {

/// Volume of both 2:1 elliptical heads per D^3 [-]: pi/12 with the ten-digit pi.
constexpr double kHeadsVolumeFactor = 0.26179938783333334;
/// Fit of the filled fraction of the heads against the relative level: a x^b [-].
constexpr double kHeadFillCoefficient = 2.079416;
constexpr double kHeadFillExponent = 1.90514;
/// kHeadFillCoefficient * kHeadsVolumeFactor, as the half-height volume writes it [-].
constexpr double kHeadFillVolumeFactor = 0.5443898358508387;

/// Each trial of the vapour space is this much higher than the one before [-].
constexpr double kVapourSpaceGrowth = 1.05;
/// Budget of vapour-space trials.
constexpr int kVapourSpaceTrials = 50;

/// Finite-difference step of the level search [m].
constexpr double kLevelProbeStep = 0.001;
/// 1 / kLevelProbeStep, as the slope is written [1/m].
constexpr double kLevelSlopeFactor = 1000.0;
/// A level is accepted when its volume is within this share of the target [-] ...
constexpr double kLevelVolumeTolerance = 0.005;
/// ... or when the Newton step is shorter than this [m].
constexpr double kLevelStepTolerance = 0.001;
/// Budget of Newton steps of the level search.
constexpr int kLevelIterations = 300;
/// Restart level, as a share of D, after a step that overshot the top [-].
constexpr double kLevelRestartShare = 0.95;
/// Exponent of the first guess: volume grows roughly with the cube of the level [-].
constexpr double kLevelGuessExponent = 0.3333;
/// A first guess below this [m] means no level worth finding.
constexpr double kLeastLevel = 0.01;

bool SameBits(double a, double b) {
    std::uint64_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

double LowerHeadFraction(double x) { return kHeadFillCoefficient * std::pow(x, kHeadFillExponent); }
double UpperHeadFraction(double x) { return 1.0 - kHeadFillCoefficient * std::pow(1.0 - x, kHeadFillExponent); }

}  // namespace

namespace {

/// SegmentArea with the arc-cosine given: `arcCosine` is called with (r - m) / r.
template <class ArcCosine>
double SegmentAreaBy(double D, double h, ArcCosine arcCosine) {
    if (D < h) h = D;
    if (h < 0.0) h = 0.0;
    const double r = 0.5 * D;
    const double full = kPi * r * r;
    const double m = h < D - h ? h : D - h;
    const double segment = r * r * arcCosine((r - m) / r) - (r - m) * std::sqrt(2.0 * r * m - m * m);
    return h > r ? full - segment : segment;
}

/// The liquid volume up to level h, given the filled area there. SegmentArea clamps the
/// level exactly as below, so its area for the unclamped level is the one at the clamped level.
double LiquidVolumeWithArea(SlotAccess& slots, double h, double D, double area) {
    if (h < 0.0) h = 0.0;
    if (D < h) h = D;
    const double cylinder = std::fabs(slots.Get(Slot::Ratio)) * area * D;
    const double heads = kHeadsVolumeFactor * D * D * D;
    const double x = h / D;
    double fraction;
    // The fit jumps at half height; the lower branch owns that point here.
    if (h <= 0.5 * D) {
        fraction = LowerHeadFraction(x);
    } else if (h == D) {
        fraction = 1.0;
    } else {
        fraction = UpperHeadFraction(x);
    }
    return cylinder + fraction * heads;
}

}  // namespace

double SegmentArea(double D, double h) {
    return SegmentAreaBy(D, h, [](double cosine) { return std::acos(cosine); });
}

double FullVesselVolume(SlotAccess& slots, double D) {
    // The cosine of a full vessel is 1, whose arc-cosine is exactly +0 (C Annex F, F.10.1.1);
    // a diameter that is not a positive number gives another cosine and takes the library's.
    const double area = SegmentAreaBy(D, D, [](double cosine) { return cosine == 1.0 ? 0.0 : std::acos(cosine); });
    return LiquidVolumeWithArea(slots, D, D, area);
}

double HorizontalLiquidVolume(SlotAccess& slots, double h, double D) {
    return LiquidVolumeWithArea(slots, h, D, SegmentArea(D, h));
}

double HorizontalLiquidVolume(SlotAccess& slots, double h, double D, const VapourSpace& known) {
    const bool measured = SameBits(D, known.D) && SameBits(h, known.h);
    return LiquidVolumeWithArea(slots, h, D, measured ? known.area : SegmentArea(D, h));
}

double ResidenceTimeAtLevel(SlotAccess& slots, double qOther, double q, double h) {
    const double D = std::fabs(slots.Get(Slot::Diameter));
    const double ratio = std::fabs(slots.Get(Slot::Ratio));
    const double A = SegmentArea(D, h);
    double x = h / D;
    // The area clamps the level to the vessel; the head fraction must not leave it either,
    // or the power of a negative base turns the time into NaN.
    if (x < 0.0) x = 0.0;
    if (x > 1.0) x = 1.0;
    // Unlike the liquid volume, this takes the upper branch of the fit at half height.
    const double fraction = x >= 0.5 ? UpperHeadFraction(x) : LowerHeadFraction(x);
    const double V = (A * ratio + fraction * kHeadsVolumeFactor * D * D) * D;
    return (V - std::fabs(slots.Get(Slot::HeavyResidenceTime)) * qOther) / q;
}

double ResidenceTimesFromLevels(const StreamState& feed, SlotAccess& slots) {
    const double hL = std::fabs(slots.Get(Slot::LightLayerThickness));
    if (!feed.HasHeavyLiquid()) {
        const double light = ResidenceTimeAtLevel(slots, 0.0, feed.lightLiquidVolumeFlow, hL);
        if (!IsStorableResult(light)) return kEmptyValue;
        slots.Set(Slot::LightResidenceTime, light);  // replaces even a host-fixed time
        return 0.0;
    }
    const double hH = std::fabs(slots.Get(Slot::HeavyLevel));
    if (IsEmpty(slots.Get(Slot::HeavyResidenceTime))) {
        const double heavy = ResidenceTimeAtLevel(slots, 0.0, feed.heavyLiquidVolumeFlow, hH);
        if (!IsStorableResult(heavy)) return kEmptyValue;
        slots.Set(Slot::HeavyResidenceTime, heavy);
    }
    if (IsEmpty(slots.Get(Slot::LightResidenceTime))) {
        const double light = ResidenceTimeAtLevel(slots, feed.heavyLiquidVolumeFlow, feed.lightLiquidVolumeFlow, hH + hL);
        if (!IsStorableResult(light)) return kEmptyValue;
        slots.Set(Slot::LightResidenceTime, light);
    }
    return 0.0;
}

double VapourSpaceHeight(const StreamState& feed, SlotAccess& slots, double h, VapourSpace* accepted) {
    const double stored = slots.Get(Slot::VapourVelocity);
    if (IsEmpty(stored)) return kEmptyValue;
    const double U = std::fabs(stored);
    if (!(std::isfinite(U) && U > 0.0)) return kEmptyValue;
    const double QV = feed.vapourVolumeFlow;
    if (!std::isfinite(QV)) return kEmptyValue;
    const double D = std::fabs(slots.Get(Slot::Diameter));
    for (int trial = 0; trial < kVapourSpaceTrials; ++trial) {
        const double A = SegmentArea(D, h);
        if (AreaCarries(QV, U, A)) {
            if (accepted != nullptr) *accepted = {D, h, A};
            return h;  // the argument itself: callers compare on it
        }
        h = kVapourSpaceGrowth * h;
        if (h > D) return kEmptyValue;
    }
    return kEmptyValue;
}

double LevelForVolume(SlotAccess& slots, double V) {
    const double D = std::fabs(slots.Get(Slot::Diameter));
    const double ratio = std::fabs(slots.Get(Slot::Ratio));
    const double half = 0.5 * D;
    const double Vhalf = (ratio * SegmentArea(D, half) + std::pow(0.5, kHeadFillExponent) * D * D * kHeadFillVolumeFactor) * D;
    double h = half * std::pow(V / Vhalf, kLevelGuessExponent);
    if (h < kLeastLevel) return 0.0;
    for (int iteration = 0; iteration < kLevelIterations; ++iteration) {
        const double h2 = h + kLevelProbeStep;
        // One branch of the head fit for both trial levels, chosen by the higher one, so the
        // slope never straddles the jump at half height.
        const bool lower = h2 <= half;
        const double f1 = lower ? LowerHeadFraction(h / D) : UpperHeadFraction(h / D);
        const double V1 = (ratio * SegmentArea(D, h) + f1 * kHeadsVolumeFactor * D * D) * D;
        if (std::fabs(V1 - V) / V <= kLevelVolumeTolerance) return h2;
        // The second trial volume only matters once the first misses.
        const double f2 = lower ? LowerHeadFraction(h2 / D) : UpperHeadFraction(h2 / D);
        const double V2 = (ratio * SegmentArea(D, h2) + f2 * kHeadsVolumeFactor * D * D) * D;
        const double slope = (V2 - V1) * kLevelSlopeFactor;
        const double hNew = h2 - (V2 - V) / slope;
        if (std::fabs(hNew - h2) < kLevelStepTolerance) return hNew;
        if (hNew > D) {
            h = kLevelRestartShare * D;
        } else if (hNew < 0.0) {
            h = D / 2.0;
        } else {
            h = hNew;
        }
    }
    return 0.0;
}

}  // namespace kestrol::horizontal
