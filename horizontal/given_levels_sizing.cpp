#include "horizontal/given_levels_sizing.h"

#include <cmath>

#include "horizontal/geometry.h"

namespace kestrol::horizontal {
namespace {

/// 1.25 / kRoundingStep [1/m]: the liquids take at most 80 % of the first diameter.
constexpr double kLiquidShareSteps = 8.202099737532807;
/// Budget of diameter steps: far more than any vapour flow needs, but a bound.
constexpr int kMostDiameterSteps = 10000;

double FailWithoutDiameter(SlotAccess& slots) {
    slots.Set(Slot::Diameter, kEmptyValue);
    return kEmptyValue;
}

}  // namespace

double SizeFromGivenLevels(const StreamState& feed, SlotAccess& slots) {
    if (IsEmpty(slots.Get(Slot::Ratio))) return kEmptyValue;
    const double hH = feed.HasHeavyLiquid() ? std::fabs(slots.Get(Slot::HeavyLevel)) : 0.0;
    const double hL = std::fabs(slots.Get(Slot::LightLayerThickness));
    const double S = hH + hL;

    if (IsFixed(slots, Slot::Diameter)) {
        const double D = FixedValue(slots, Slot::Diameter);
        if (!IsUsableLength(D)) return kEmptyValue;
        const double gap = D - S;
        if (!(gap >= 0.0)) return kEmptyValue;
        slots.Set(Slot::VapourSpaceHeight, gap);  // the velocity is the host's concern here
        return ResidenceTimesFromLevels(feed, slots);
    }

    // The search below ends only because the growing cross-section carries the vapour; that
    // needs a usable velocity, flow and level sum.
    const double stored = slots.Get(Slot::VapourVelocity);
    const double U = std::fabs(stored);
    if (IsEmpty(stored) || !std::isfinite(U) || !(U > 0.0) || !std::isfinite(feed.vapourVolumeFlow) ||
        !std::isfinite(S)) {
        return FailWithoutDiameter(slots);
    }
    double D = std::ceil(S * kLiquidShareSteps) * kRoundingStep;
    double gap = D - S;
    if (gap < kFoot) {
        D = std::ceil((S + kFoot) * kStepsPerMetre) * kRoundingStep;
        gap = D - S;
    }
    if (!IsUsableLength(D)) return FailWithoutDiameter(slots);
    slots.Set(Slot::Diameter, D);
    // The diameter grows while the vapour space needs more than the gap, that is while the
    // vapour-space search would return a larger height or none; both follow from its first
    // trial at the gap itself, so that trial alone is made here.
    for (int steps = 0; !VapourSpaceCarries(feed.vapourVolumeFlow, U, D, gap); ++steps) {
        if (steps == kMostDiameterSteps) return FailWithoutDiameter(slots);
        D = D + kRoundingStep;
        slots.Set(Slot::Diameter, D);
        gap = D - S;
    }
    slots.Set(Slot::VapourSpaceHeight, D - S);
    return ResidenceTimesFromLevels(feed, slots);
}

}  // namespace kestrol::horizontal
