// Sizing of an upright separator: diameter, ratio, height, levels and residence times.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"
#include "design/cost.h"

namespace kestrol::vertical {

/// 0.0 when the vessel was sized, kEmptyValue when the path failed (partial writes stay).
double SizeVertical(const StreamState& feed, SlotAccess& slots, design::Finish finish = design::Finish::Cost);

/// Disengagement height per metre of diameter [-]; the widening searches use it alone.
inline constexpr double kDisengagementPerDiameter = 0.75;

/// Disengagement height [m] the path starts from for a diameter [m]: 0.75 D, at least 0.3048 m
/// with a mist eliminator (height > 0) and 1.0 m without one (height 0).
double DisengagementRule(double diameter, double mistEliminatorHeight);

}  // namespace kestrol::vertical
