// Sizing of a horizontal separator: velocity scaling, method choice, overall length.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"
#include "design/cost.h"

namespace kestrol::horizontal {

/// 0.0 when the vessel was sized, kEmptyValue when the chosen method failed.
double SizeHorizontalVessel(const StreamState& feed, SlotAccess& slots, design::Finish finish = design::Finish::Cost);

}  // namespace kestrol::horizontal
