#include "horizontal/horizontal_sizing.h"

#include <cmath>

#include "common/vessel_rules.h"
#include "horizontal/given_levels_sizing.h"
#include "horizontal/holdup_times_sizing.h"
#include "horizontal/one_level_sizing.h"

namespace kestrol::horizontal {
namespace {

/// The vapour may move faster along a horizontal vessel than up a vertical one, when a
/// mist eliminator catches what it carries [-] ...
constexpr double kVelocityWithEliminator = 1.25;
/// ... and slower without one [-].
constexpr double kVelocityWithoutEliminator = 0.625;

bool UsableFlows(const StreamState& feed) {
    const double QV = feed.vapourVolumeFlow;
    const double QL = feed.lightLiquidVolumeFlow;
    const double QH = feed.heavyLiquidVolumeFlow;
    return std::isfinite(QV) && QV >= 0.0 && std::isfinite(QL) && QL > 0.0 &&
           (IsEmpty(QH) || (std::isfinite(QH) && QH >= 0.0));
}

using Method = double (*)(const StreamState&, SlotAccess&);

/// Which liquid levels the host fixed decides how the vessel is sized.
Method ChooseMethod(bool heavyLevelFixed, bool lightLayerFixed, bool heavyLiquid) {
    if (heavyLevelFixed) return lightLayerFixed ? SizeFromGivenLevels : SizeFromOneLevel;
    if (lightLayerFixed) return heavyLiquid ? SizeFromOneLevel : SizeFromGivenLevels;
    return SizeFromHoldupTimes;
}

/// Marks a time as fixed for the next pass; an empty slot stays empty.
void FixTime(SlotAccess& slots, Slot slot) {
    const double v = slots.Get(slot);
    if (!IsEmpty(v)) slots.Set(slot, -std::fabs(v));
}

}  // namespace

double SizeHorizontalVessel(const StreamState& feed, SlotAccess& slots, design::Finish finish) {
    if (!UsableFlows(feed)) return kEmptyValue;
    const double mistEliminator = std::fabs(slots.Get(Slot::MistEliminatorHeight));
    const bool lightLayerFixed = IsFixed(slots, Slot::LightLayerThickness);
    const bool heavyLevelFixed = IsFixed(slots, Slot::HeavyLevel);

    // Scaled on every call, sign and all: a second sizing without fresh presets scales again.
    const double velocity = slots.Get(Slot::VapourVelocity);
    if (!IsEmpty(velocity)) {
        double scaled = velocity;  // a NaN allowance says neither: the velocity stays as it is
        if (mistEliminator > 0.0) {
            scaled = velocity * kVelocityWithEliminator;
        } else if (mistEliminator == 0.0) {
            scaled = velocity * kVelocityWithoutEliminator;
        }
        // A host's velocity so near the largest double that scaling overflows sizes nothing,
        // and the infinity is not written over it.
        if (std::isfinite(velocity) && !std::isfinite(scaled)) return kEmptyValue;
        slots.Set(Slot::VapourVelocity, scaled);
    }

    const Method method = ChooseMethod(heavyLevelFixed, lightLayerFixed, feed.HasHeavyLiquid());
    if (IsEmpty(method(feed, slots))) return kEmptyValue;

    const double length = std::fabs(slots.Get(Slot::Diameter)) * (std::fabs(slots.Get(Slot::Ratio)) + common::kHeadsPerDiameter);
    if (!IsStorableResult(length)) return kEmptyValue;
    slots.Set(Slot::OverallLength, length);

    if (slots.Get(Slot::FirstPassFlag) == 0.0) {
        slots.Set(Slot::FirstPassFlag, 1.0);
        FixTime(slots, Slot::LightResidenceTime);
        FixTime(slots, Slot::HeavyResidenceTime);
    }
    if (finish == design::Finish::Cost) design::EstimateVesselCost(feed, slots);
    return 0.0;
}

}  // namespace kestrol::horizontal
