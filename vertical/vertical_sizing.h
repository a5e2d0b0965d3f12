// Sizing of an upright separator: diameter, ratio, height, levels and residence times.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"
#include "design/cost_memo.h"

namespace kestrol::vertical {

/// 0.0 when the vessel was sized, kEmptyValue when the path failed (partial writes stay).
/// The object passes its memo of the finishing step; without one the step always computes.
double SizeVertical(const StreamState& feed, SlotAccess& slots, design::CostMemo* costMemo = nullptr);

}  // namespace kestrol::vertical
