#include "horizontal/geometry.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kestrol::horizontal {
namespace {

/// Volume of both 2:1 elliptical heads per D^3 [-]: pi/12 with the ten-digit pi.
constexpr double kHeadsVolumeFactor = 0.26179938783333334;
/// Fit of the filled fraction of the heads against the relative level: a x^b [-].
constexpr double kHeadFillCoefficient = 2.079416;
constexpr double kHeadFillExponent = 1.90514;
/// kHeadFillCoefficient * kHeadsVolumeFactor, as the half-height volume writes it [-].
constexpr double kHeadFillVolumeFactor = 0.5443898358508387;

/// pi/2 to the nearest double: the arc-cosine of 0.
constexpr double kArcCosineOfZero = 1.5707963267948966;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// A cheap fit of the arc-cosine on [0, 1]: sqrt(1 - x) (a0 + a1 x + a2 x^2 + a3 x^3),
/// Abramowitz & Stegun, Handbook of Mathematical Functions, 4.4.45.
constexpr double kArcCosineFit[] = {1.5707288, -0.2121144, 0.0742610, -0.0187293};
/// How far that fit may stray from the arc-cosine [rad]: the book gives 5e-5, a dense scan
/// finds 6.8e-5 at x = 0 (the coefficients are rounded); this leaves room for both.
constexpr double kArcCosineFitError = 1.0e-4;
/// x^kHeadFillExponent on [0, kHeadPowerFitEnd] by a polynomial of degree 5 (highest power
/// first), fitted by least squares at Chebyshev nodes; a dense scan finds it within 3.3e-5.
constexpr double kHeadPowerFit[] = {-0.4125662311, 0.754266621, -0.6173614737, 1.224694322, 0.007563468103, -3.293982451e-05};
constexpr double kHeadPowerFitEnd = 0.55;
/// How far that fit may stray from the power, with room for the rounding of both [-].
constexpr double kHeadPowerFitError = 1.0e-4;
/// Share of a bound kept clear of the value a decision compares with [-]: far wider than the
/// rounding of the exact arithmetic and of the bound's own.
constexpr double kSurelyShortShare = 1.0 - 1.0e-9;
constexpr double kSurelyOverShare = 1.0 + 1.0e-9;
/// How much a segment's area can grow from one vapour-space trial to the next [-]: the area
/// grows at most as the 1.5th power of the height (the limit of chord * h / area as h -> 0),
/// and 1.05^1.5 = 1.0759; the rest is room for rounding.
constexpr double kAreaGrowthPerTrial = 1.08;

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
/// A Newton step shorter than this share of D lands close enough that the next trial is
/// first tried from bounds [-]; after a longer one it seldom is within the tolerance.
constexpr double kCloseStepShare = 0.1;
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

/// Which branch of the heads' fit a level takes. The fit jumps at half height; the lower
/// branch owns that point here.
enum class HeadBranch { kLower, kFull, kUpper };

/// A level clamped to the vessel, as SegmentArea clamps it (so that the area for the
/// unclamped level goes with it), as a share x of D, and the branch it takes.
struct HeadLevel {
    double x;
    HeadBranch branch;
};
HeadLevel ClampedHeadLevel(double h, double D) {
    if (h < 0.0) h = 0.0;
    if (D < h) h = D;
    const HeadBranch branch = h <= 0.5 * D ? HeadBranch::kLower : h == D ? HeadBranch::kFull : HeadBranch::kUpper;
    return {h / D, branch};
}

/// The filled volume of both heads at level h.
double HeadsFilled(double h, double D) {
    const HeadLevel level = ClampedHeadLevel(h, D);
    const double heads = kHeadsVolumeFactor * D * D * D;
    double fraction = 1.0;
    if (level.branch == HeadBranch::kLower) fraction = LowerHeadFraction(level.x);
    if (level.branch == HeadBranch::kUpper) fraction = UpperHeadFraction(level.x);
    return fraction * heads;
}

/// The fraction of the heads filled, by the lower branch of the fit or the upper, within
/// bounds.
Range LowerHeadFractionRange(double x) {
    const Range power = FitHeadPower(x);
    return {kHeadFillCoefficient * power.low, kHeadFillCoefficient * power.high};
}
Range UpperHeadFractionRange(double x) {
    const Range power = FitHeadPower(1.0 - x);
    return {1.0 - kHeadFillCoefficient * power.high, 1.0 - kHeadFillCoefficient * power.low};
}

/// HeadsFilled within bounds, by the same branches.
Range HeadsFilledRange(double h, double D) {
    const HeadLevel level = ClampedHeadLevel(h, D);
    const double heads = kHeadsVolumeFactor * D * D * D;
    Range fraction = {1.0, 1.0};
    if (level.branch == HeadBranch::kLower) fraction = LowerHeadFractionRange(level.x);
    if (level.branch == HeadBranch::kUpper) fraction = UpperHeadFractionRange(level.x);
    return {fraction.low * heads, fraction.high * heads};
}

/// The parts of the liquid volume up to level h that the ratio leaves alone, given the
/// filled area there.
LiquidVolumeParts PartsWithArea(double h, double D, double area) { return {D, area, HeadsFilled(h, D)}; }

double LiquidVolumeWithArea(SlotAccess& slots, double h, double D, double area) {
    return std::fabs(slots.Get(Slot::Ratio)) * area * D + HeadsFilled(h, D);
}

/// The area of a full vessel: its cosine is 1, whose arc-cosine is exactly +0 (C Annex F,
/// F.10.1.1); a diameter that is not a positive number gives another cosine and takes the
/// library's.
double FullArea(double D) {
    return SegmentAreaBy(D, D, [](double cosine) { return cosine == 1.0 ? 0.0 : std::acos(cosine); });
}

}  // namespace

double SegmentArea(double D, double h) {
    return SegmentAreaBy(D, h, [](double cosine) { return std::acos(cosine); });
}

double ArcCosineFit(double x) {
    const double* a = kArcCosineFit;
    return std::sqrt(1.0 - x) * (a[0] + x * (a[1] + x * (a[2] + x * a[3])));
}

Range FitSegmentArea(double D, double h) {
    const double r = 0.5 * D;
    // The fit enters the area once, times r^2, so the area moves by at most this much.
    const double spread = r * r * kArcCosineFitError;
    const double fitted = SegmentAreaBy(D, h, ArcCosineFit);
    return {fitted - spread, fitted + spread};
}

double FittedAreaCeiling(const Range& fit) {
    // Written so that a NaN gives no bound either.
    return fit.low > 0.0 ? fit.high : std::numeric_limits<double>::infinity();
}

Range FitHeadPower(double y) {
    if (!(y >= 0.0 && y <= kHeadPowerFitEnd)) return {kNaN, kNaN};
    const double* a = kHeadPowerFit;
    const double fitted = a[5] + y * (a[4] + y * (a[3] + y * (a[2] + y * (a[1] + y * a[0]))));
    return {fitted - kHeadPowerFitError, fitted + kHeadPowerFitError};
}

double FullVesselVolume(SlotAccess& slots, double D) { return LiquidVolumeWithArea(slots, D, D, FullArea(D)); }

double HorizontalLiquidVolume(SlotAccess& slots, double h, double D) {
    return LiquidVolumeWithArea(slots, h, D, SegmentArea(D, h));
}

LiquidVolumeParts MeasureLiquidVolume(double h, double D, const VapourSpace& known) {
    const bool measured = known.measured && SameBits(D, known.D) && SameBits(h, known.h);
    return PartsWithArea(h, D, measured ? known.area : SegmentArea(D, h));
}

LiquidVolumeBounds BoundLiquidVolume(double h, double D, const VapourSpace& known) {
    const bool bounded = SameBits(D, known.D) && SameBits(h, known.h);
    return {D, bounded ? known.areaRange : FitSegmentArea(D, h), HeadsFilledRange(h, D)};
}

LiquidVolumeParts MeasureFullVessel(double D) { return PartsWithArea(D, D, FullArea(D)); }

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
    // Most trials fall well short of the area needed. A bound on the area rules them out
    // without the library's arc-cosine: the fit gives one, and it carries over to the next
    // trials grown by the most the area can grow. The fit also shows most answers surely
    // carrying the flow; only a trial it leaves in doubt is measured.
    const double needed = QV / U;
    const double shortOf = needed * kSurelyShortShare;
    const double carries = needed * kSurelyOverShare;
    double ceiling = std::numeric_limits<double>::infinity();
    for (int trial = 0; trial < kVapourSpaceTrials; ++trial) {
        if (!(ceiling < shortOf)) {
            const Range fit = FitSegmentArea(D, h);
            ceiling = FittedAreaCeiling(fit);
            if (fit.low >= carries) {
                if (accepted != nullptr) *accepted = {D, h, kEmptyValue, fit, false};
                return h;  // the argument itself: callers compare on it
            }
            if (!(ceiling < shortOf)) {
                const double A = SegmentArea(D, h);
                if (AreaCarries(QV, U, A)) {
                    if (accepted != nullptr) *accepted = {D, h, A, {A, A}, true};
                    return h;
                }
            }
        }
        h = kVapourSpaceGrowth * h;
        if (h > D) return kEmptyValue;
        ceiling = ceiling * kAreaGrowthPerTrial;
    }
    return kEmptyValue;
}

namespace {

/// Whether the level search's first trial volume, at level h with the filled area A there,
/// is surely within the tolerance of V, judged from bounds on the heads' share without the
/// library's power; the branch of the heads' fit is the one the search chose.
bool SurelyWithinTolerance(double ratio, double A, double D, double h, bool lowerBranch, double V) {
    if (!(V > 0.0 && std::isfinite(V))) return false;
    const Range fraction = lowerBranch ? LowerHeadFractionRange(h / D) : UpperHeadFractionRange(h / D);
    const double low = (ratio * A + fraction.low * kHeadsVolumeFactor * D * D) * D;
    const double high = (ratio * A + fraction.high * kHeadsVolumeFactor * D * D) * D;
    const double room = kVolumeRoundingRoom * std::fabs(high);
    const double allowed = V * (kLevelVolumeTolerance * kSurelyShortShare);
    return low - room >= V - allowed && high + room <= V + allowed;
}

}  // namespace

double MostLiquidBelowVapour(const StreamState& feed, SlotAccess& slots, double D) {
    const double needed = feed.vapourVolumeFlow / std::fabs(slots.Get(Slot::VapourVelocity));
    if (!(std::isfinite(needed) && needed > 0.0)) return kNaN;
    const double full = FullVesselVolume(slots, D);
    return full - std::fabs(slots.Get(Slot::Ratio)) * needed * D * kSurelyShortShare + kVolumeRoundingRoom * std::fabs(full);
}

double LevelForVolume(SlotAccess& slots, double V) {
    const double D = std::fabs(slots.Get(Slot::Diameter));
    const double ratio = std::fabs(slots.Get(Slot::Ratio));
    const double half = 0.5 * D;
    // At half height the cosine is 0 for every positive diameter; its arc-cosine is pi/2
    // correctly rounded, as the C library returns it.
    const double halfArea = SegmentAreaBy(D, half, [](double cosine) { return cosine == 0.0 ? kArcCosineOfZero : std::acos(cosine); });
    const double Vhalf = (ratio * halfArea + std::pow(0.5, kHeadFillExponent) * D * D * kHeadFillVolumeFactor) * D;
    double h = half * std::pow(V / Vhalf, kLevelGuessExponent);
    if (h < kLeastLevel) return 0.0;
    bool closeStep = false;  // the last Newton step was short: its linear guess is a good one
    for (int iteration = 0; iteration < kLevelIterations; ++iteration) {
        const double h2 = h + kLevelProbeStep;
        // One branch of the head fit for both trial levels, chosen by the higher one, so the
        // slope never straddles the jump at half height.
        const bool lower = h2 <= half;
        const double A1 = SegmentArea(D, h);
        // After a short Newton step the first trial mostly lands within the tolerance: the
        // bounds then end the search as the measured volume would, without the library's power.
        if (closeStep && SurelyWithinTolerance(ratio, A1, D, h, lower, V)) return h2;
        const double f1 = lower ? LowerHeadFraction(h / D) : UpperHeadFraction(h / D);
        const double V1 = (ratio * A1 + f1 * kHeadsVolumeFactor * D * D) * D;
        if (std::fabs(V1 - V) / V <= kLevelVolumeTolerance) return h2;
        // The second trial volume only matters once the first misses.
        const double f2 = lower ? LowerHeadFraction(h2 / D) : UpperHeadFraction(h2 / D);
        const double V2 = (ratio * SegmentArea(D, h2) + f2 * kHeadsVolumeFactor * D * D) * D;
        const double slope = (V2 - V1) * kLevelSlopeFactor;
        const double hNew = h2 - (V2 - V) / slope;
        if (std::fabs(hNew - h2) < kLevelStepTolerance) return hNew;
        closeStep = std::fabs(hNew - h2) < kCloseStepShare * D;
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
