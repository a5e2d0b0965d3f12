// Sizing of an upright separator: diameter, ratio, height, levels and residence times.
#pragma once

#include <cmath>

#include "common/vessel_rules.h"
#include "core/slots.h"
#include "core/stream_state.h"
#include "design/cost.h"

namespace kestrol::vertical {

/// 0.0 when the vessel was sized, kEmptyValue when the path failed (partial writes stay).
double SizeVertical(const StreamState& feed, SlotAccess& slots, design::Finish finish = design::Finish::Cost);

/// Largest diameter a search may reach [m]; beyond it the vessel is refused.
inline constexpr double kMostDiameter = 40.0;
/// Largest ratio of cylindrical height to diameter a search may reach [-].
inline constexpr double kMostRatio = 40.0;
/// The ratio tried first (the floor of a free sizing) and the one the diameter search holds
/// (its ceiling before the vessel widens) [-].
inline constexpr double kFirstRatio = 3.0;
inline constexpr double kSearchRatio = 5.0;
/// Smallest diameter the path builds [m]: one rounding step.
inline constexpr double kLeastDiameter = kRoundingStep;

/// Liquid room [m3] of a vessel of diameter d [m] and ratio r below its four vapour-space
/// heights [m]: the bottom head and the cylinder under them.
inline double AvailableLiquidVolume(double d, double ratio, double vapourAllowance, double disengagement, double mistEliminator,
                                    double secondVapourAllowance) {
    return common::UprightLiquidRoom(d, ratio * d - vapourAllowance - disengagement - mistEliminator - secondVapourAllowance);
}

/// Disengagement height per metre of diameter [-]; the widening searches use it alone.
inline constexpr double kDisengagementPerDiameter = 0.75;

/// Disengagement height [m] the path starts from for a diameter [m]: 0.75 D, at least 0.3048 m
/// with a mist eliminator (height > 0) and 1.0 m without one (height 0).
double DisengagementRule(double diameter, double mistEliminatorHeight);

}  // namespace kestrol::vertical
