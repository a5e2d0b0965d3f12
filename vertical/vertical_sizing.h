// Sizing of an upright separator: diameter, ratio, height, levels and residence times.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::vertical {

/// 0.0 when the vessel was sized, kEmptyValue when the path failed (partial writes stay).
double SizeVertical(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::vertical
