// Sizing of a horizontal vessel whose liquid hold-up is set by residence times, with neither
// liquid level fixed by the host.
#pragma once

#include <cmath>

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::horizontal {

/// Smallest diameter the search starts from [m]: one foot.
inline constexpr double kLeastDiameter = kFoot;

/// Finds the diameter, vapour space or ratio that the host left free (or rates a vessel whose
/// dimensions are all given), then writes the levels and the missing residence times.
/// 0.0 on success, kEmptyValue on failure (values written before it stay).
double SizeFromHoldupTimes(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::horizontal
