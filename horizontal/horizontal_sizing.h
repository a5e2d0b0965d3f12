// Sizing of a horizontal separator: velocity scaling, method choice, overall length.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"
#include "design/cost_memo.h"

namespace kestrol::horizontal {

/// 0.0 when the vessel was sized, kEmptyValue when the chosen method failed. The object
/// passes its memo of the finishing step; without one the step always computes.
double SizeHorizontalVessel(const StreamState& feed, SlotAccess& slots, design::CostMemo* costMemo = nullptr);

}  // namespace kestrol::horizontal
