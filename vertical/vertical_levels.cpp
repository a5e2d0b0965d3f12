#include "vertical/vertical_levels.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "vertical/head_volume.h"

namespace kestrol::vertical {
namespace {

template <std::size_t N>
bool SameBits(const std::array<double, N>& a, const std::array<double, N>& b) {
    for (std::size_t i = 0; i < N; ++i) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, &a[i], sizeof x);
        std::memcpy(&y, &b[i], sizeof y);
        if (x != y) return false;
    }
    return true;
}

/// 3 / (4 pi) [-], the volume coefficient of the head's cubic in monic form.
constexpr double kThreeOverFourPi = 0.23873241460667105;
/// Lowest level a liquid is given inside the head [m]; keeps the root at 0 out.
constexpr double kLeastLevel = 0.001;
/// pi/2 and 2 pi/3 truncated as the trigonometric solution writes them; the truncation shows in
/// the last digits of every root, so they are not replaced by full-precision values.
constexpr double kHalfPiTruncated = 1.5707963;
constexpr double kTwoPiOverThreeTruncated = 2.0943951;
/// sqrt(3)/2 truncated, the imaginary part's factor.
constexpr double kHalfRootThreeTruncated = 0.8660254;

double SignedCubeRoot(double u) {
    const double magnitude = std::pow(std::fabs(u), 1.0 / 3.0);
    return u < 0.0 ? -magnitude : magnitude;
}

}  // namespace

int SolveCubic(double a, double b, double c, std::array<double, 3>& roots) {
    const double s = a / 3.0;
    const double q = (2.0 * (s * s) - b) * s + c;
    const double r = (b - s * a) / 3.0;
    const double halfQ = q / 2.0;
    const double disc = halfQ * halfQ + r * r * r;

    if (disc == 0.0) {
        const double m = std::sqrt(-r);
        if (q > 0.0) {
            roots = {-2.0 * m - s, m - s, m - s};
        } else {
            roots = {2.0 * m - s, -m - s, -m - s};
        }
        return 2;
    }
    if (disc > 0.0) {
        const double d = std::sqrt(disc);
        const double u1 = -q / 2.0 + d;
        const double u2 = -q / 2.0 - d;
        const double c1 = SignedCubeRoot(u1);
        const double c2 = SignedCubeRoot(u2);
        const double y = c1 + c2;
        roots = {y - s, -0.5 * y - s, (c1 - c2) * kHalfRootThreeTruncated};
        return 1;
    }
    if (disc < 0.0) {
        const double k = std::sqrt(-(halfQ * halfQ) / (r * r * r));
        const double n = std::sqrt(1.0 - k * k);
        const double theta = q < 0.0 ? std::atan(n / k) : std::atan(k / n) + kHalfPiTruncated;
        const double g = 2.0 * std::sqrt(-r);
        for (int i = 0; i < 3; ++i) roots[i] = g * std::cos(theta / 3.0 + i * kTwoPiOverThreeTruncated) - s;
        return 3;
    }
    // A discriminant that is not a number has no case to report.
    roots = {kEmptyValue, kEmptyValue, kEmptyValue};
    return 0;
}

double SmallestRootAbove(int rootCase, const std::array<double, 3>& roots, double bound) {
    if (!(rootCase >= 1 && rootCase <= 3)) return kEmptyValue;
    double smallest = kEmptyValue;
    for (int i = 0; i < rootCase; ++i) {
        const double root = roots[i];
        if (!(root >= bound)) continue;  // NaN never qualifies
        if (IsEmpty(smallest) || root < smallest) smallest = root;
    }
    return smallest;
}

double LevelForVolumeVertical(double volume, double bound, double diameter) {
    const double cylinderLevel = 4.0 * volume / (kPi * (diameter * diameter)) + kOneTwelfth * diameter;
    if (cylinderLevel > diameter / 4.0) return cylinderLevel;

    std::array<double, 3> roots{};
    const int rootCase = SolveCubic(-0.75 * diameter, 0.0, kThreeOverFourPi * volume, roots);
    const double level = SmallestRootAbove(rootCase, roots, bound);
    // The head's own root never exceeds D/4; the cubic's other positive root lies above 0.68 D
    // and is no level at all.
    if (IsEmpty(level) || !(level <= diameter / 2.0)) return kEmptyValue;
    return level;
}

double CalcVerticalLevels(const StreamState& feed, SlotAccess& slots, double* holdupTime) {
    // An empty diameter (or no vector at all) gives no vessel to fill.
    const double storedDiameter = slots.Get(Slot::Diameter);
    const double d = std::fabs(storedDiameter);
    if (IsEmpty(storedDiameter) || !IsUsableLength(d)) return kEmptyValue;
    const double lightTime = std::fabs(slots.Get(Slot::LightResidenceTime));
    const double heavyTime = std::fabs(slots.Get(Slot::HeavyResidenceTime));
    const double minimumLevel = std::fabs(slots.Get(Slot::MinimumLevel));
    const double ql = feed.lightLiquidVolumeFlow;
    const double qh = feed.heavyLiquidVolumeFlow;
    const bool heavy = feed.HasHeavyLiquid();
    const bool layerFixed = IsFixed(slots, Slot::LightLayerThickness);

    double layer = 0.0;
    if (heavy) {
        if (!IsFixed(slots, Slot::HeavyLevel) && !IsEmpty(slots.Get(Slot::HeavyResidenceTime))) {
            const double heavyLevel = LevelForVolumeVertical(heavyTime * qh, kLeastLevel, d);
            if (!IsStorableResult(heavyLevel)) return kEmptyValue;
            slots.Set(Slot::HeavyLevel, heavyLevel);
        }
        if (!layerFixed && !IsEmpty(slots.Get(Slot::LightResidenceTime)) && !IsEmpty(slots.Get(Slot::HeavyLevel))) {
            const double heavyLevel = std::fabs(slots.Get(Slot::HeavyLevel));
            const double lightHoldup = lightTime * ql;
            if (heavyLevel >= d / 4.0) {
                layer = lightHoldup / (kPiOver4 * (d * d));
            } else {
                // The combined volume needs the heavy liquid's own time; without it there is none.
                if (IsEmpty(slots.Get(Slot::HeavyResidenceTime))) return kEmptyValue;
                const double level = LevelForVolumeVertical(lightHoldup + heavyTime * qh, heavyLevel, d);
                if (IsEmpty(level)) return kEmptyValue;
                layer = level - heavyLevel;
            }
        }
    } else if (!layerFixed && !IsEmpty(slots.Get(Slot::LightResidenceTime))) {
        layer = LevelForVolumeVertical(lightTime * ql, kLeastLevel, d);
        if (IsEmpty(layer)) return kEmptyValue;
    }
    if (holdupTime != nullptr && IsEmpty(*holdupTime)) {
        const double q = heavy ? ql + qh : ql;
        if (std::isfinite(q) && q > 0.0 && !IsEmpty(slots.Get(Slot::MinimumLevel))) *holdupTime = VolumeBelowForLevels(minimumLevel, d) / q;
    }

    if (layerFixed) return 0.0;
    // Refused where it would be stored: the hold-up time above is already the caller's.
    if (!IsStorableResult(layer)) return kEmptyValue;
    slots.Set(Slot::LightLayerThickness, layer);
    return 0.0;
}

RepeatedVerticalLevels::Inputs RepeatedVerticalLevels::Read(const StreamState& feed, const SlotAccess& slots) const {
    const double* v = slots.Values();
    const auto at = [v](Slot s) { return v[Index(s) - 1]; };
    // The times are read as magnitudes: a sizing stores them negated between two runs.
    const auto time = [&](Slot s) { return IsEmpty(at(s)) ? at(s) : std::fabs(at(s)); };
    return {at(Slot::Diameter),   at(Slot::LightLayerThickness), time(Slot::LightResidenceTime),
            at(Slot::HeavyLevel), time(Slot::HeavyResidenceTime),   at(Slot::MinimumLevel),
            feed.lightLiquidVolumeFlow, feed.heavyLiquidVolumeFlow, *holdupTime_};
}

bool RepeatedVerticalLevels::SameAsLeft(const StreamState& feed, const SlotAccess& slots) const {
    // A successful run had a vector; compared as bits, since NaN equals nothing and -0.0
    // equals 0.0, and either may decide a branch.
    return SameBits(Read(feed, slots), left_);
}

double RepeatedVerticalLevels::RunAndKeep(const StreamState& feed, SlotAccess& slots) {
    const double result = CalcVerticalLevels(feed, slots, holdupTime_);
    leftKnown_ = !IsEmpty(result);
    if (leftKnown_) left_ = Read(feed, slots);
    return result;
}

}  // namespace kestrol::vertical
