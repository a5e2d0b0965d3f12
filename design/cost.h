// The finishing step of every sizing: wall thickness, weight and purchase cost.
#pragma once

#include "sizing/slots.h"
#include "sizing/stream_state.h"

namespace kestrol::design {

/// 0.0 after writing its results, kEmptyValue when it could not (slot 1 empty, ...).
/// A second run with unchanged inputs writes the same bits as the first.
double EstimateVesselCost(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::design
