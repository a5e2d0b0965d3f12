// Sizing of an upright separator: diameter, ratio, height, levels and residence times.
#pragma once

#include <cmath>

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

/// Diameter [m] that carries the vapour flow [m3/s] through the whole section at the velocity
/// [m/s], rounded up to whole steps, at least kLeastDiameter: the path's first diameter.
inline double VapourDiameter(double vapourFlow, double velocity) {
    const double d = RoundUpToStep(std::sqrt(4.0 * vapourFlow / (kPi * velocity)));
    return d <= kLeastDiameter ? kLeastDiameter : d;
}

/// Liquid volume [m3] of a vessel of diameter d [m] and ratio r below its four vapour-space
/// heights h10, h11, h12 and h34 [m]: the bottom head and the cylinder under them.
inline double AvailableLiquidVolume(double d, double ratio, double h10, double h11, double h12, double h34) {
    return kPiOver4 * (d * d) * (ratio * d - h10 - h11 - h12 - h34) + kPiOver24 * (d * d * d);
}

/// Disengagement height per metre of diameter [-]; the widening searches use it alone.
inline constexpr double kDisengagementPerDiameter = 0.75;

/// Disengagement height [m] the path starts from for a diameter [m]: 0.75 D, at least 0.3048 m
/// with a mist eliminator (height > 0) and 1.0 m without one (height 0).
double DisengagementRule(double diameter, double mistEliminatorHeight);

}  // namespace kestrol::vertical
