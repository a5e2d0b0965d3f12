// What the vertical and horizontal paths and the presets share of the vessel itself: the first
// diameter the vapour load gives and the liquid room of an upright vessel.
#pragma once

#include <cmath>

#include "core/values.h"

namespace kestrol::common {

/// Depth of the two 2:1 elliptical heads together per metre of diameter [-]: each is a quarter
/// diameter deep, so the overall length is (ratio + 0.5) x D.
inline constexpr double kHeadsPerDiameter = 0.5;

/// Share of the circle's area, times pi, through which the vapour flows: the whole section.
inline constexpr double kWholeSection = kPi;

/// Diameter [m] whose section, or the part of it the vapour takes (sectionFactor x D^2 / 4),
/// carries the vapour flow [m3/s] at the velocity [m/s], rounded up to whole steps.
/// The horizontal hold-up path writes the rule as sqrt(Q / (U pi)) x 2/0.1524: the factors 4
/// and 2 only scale by powers of two, so that spelling and this one give the same bits.
inline double VapourLoadDiameter(double vapourFlow, double velocity, double sectionFactor = kWholeSection) {
    return RoundUpToStep(std::sqrt(4.0 * vapourFlow / (velocity * sectionFactor)));
}

/// A path's first diameter [m]: the vapour-load diameter through the whole section, at least
/// the path's least diameter. A NaN stays NaN, so that the caller refuses it.
inline double FirstDiameter(double vapourFlow, double velocity, double leastDiameter) {
    const double d = VapourLoadDiameter(vapourFlow, velocity);
    return d <= leastDiameter ? leastDiameter : d;
}

/// Liquid room [m3] of an upright vessel of diameter d [m]: its bottom head and the cylinder of
/// the given height [m] above it. Each caller subtracts its heights in its own order.
inline double UprightLiquidRoom(double d, double cylinderHeight) {
    return kPiOver4 * (d * d) * cylinderHeight + kPiOver24 * (d * d * d);
}

}  // namespace kestrol::common
