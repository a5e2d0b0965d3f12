// Sizing of a horizontal vessel whose liquid hold-up is set by residence times, with neither
// liquid level fixed by the host.
#pragma once

#include <cmath>

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::horizontal {

/// 2 / kRoundingStep [1/m]: the vapour-velocity diameter counted in rounding steps.
inline constexpr double kDiameterStepsFactor = 13.123359580052492;
/// Smallest diameter the search starts from [m]: one foot.
inline constexpr double kLeastDiameter = kFoot;

/// The search's first diameter [m]: the one whose full circle carries the vapour flow [m3/s]
/// at the velocity [m/s], rounded up to whole steps, at least kLeastDiameter.
inline double FirstDiameter(double vapourFlow, double velocity) {
    const double d = std::ceil(std::sqrt(vapourFlow / (velocity * kPi)) * kDiameterStepsFactor) * kRoundingStep;
    return d <= kLeastDiameter ? kLeastDiameter : d;
}

/// Finds the diameter, vapour space or ratio that the host left free (or rates a vessel whose
/// dimensions are all given), then writes the levels and the missing residence times.
/// 0.0 on success, kEmptyValue on failure (values written before it stay).
double SizeFromHoldupTimes(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::horizontal
