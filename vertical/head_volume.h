// Liquid volume below a level of an upright vessel whose bottom is a 2:1 elliptical head,
// measured from the head's lowest point.
#pragma once

#include "core/values.h"

namespace kestrol::vertical {

/// 1/12 [-]: the cylinder rule measures from a point D/12 below the head's tangent line.
inline constexpr double kOneTwelfth = 0.08333333333333333;

/// Volume [m3] below level h [m] of a vessel of diameter d [m]: the head's cubic up to d/4,
/// the full head and the cylinder above it.
///
/// The residence times and the level rule state this volume in two spellings that round
/// differently: the times take h = d/4 by the head's cubic and write the cylinder as
/// pi/4 x d^2 x (h - d x 1/12); the levels take it by the cylinder and write pi x d^2 x
/// (h - d/12) / 4. Each rule keeps its own spelling, so that its results keep their bits.
inline double VolumeBelowForTimes(double h, double d) {
    if (h <= d / 4.0) return kPi * d * (h * h) - kFourPiOver3 * (h * h * h);
    return kPiOver4 * (d * d) * (h - d * kOneTwelfth);
}
inline double VolumeBelowForLevels(double h, double d) {
    if (h < d / 4.0) return kPi * d * (h * h) - kFourPiOver3 * (h * h * h);
    return kPi * (d * d) * (h - d / 12.0) / 4.0;
}

}  // namespace kestrol::vertical
