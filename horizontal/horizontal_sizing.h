// Sizing of a horizontal separator: velocity scaling, method choice, overall length.
#pragma once

#include "sizing/slots.h"
#include "sizing/stream_state.h"

namespace kestrol::horizontal {

/// 0.0 when the vessel was sized, kEmptyValue when the chosen method failed.
double SizeHorizontalVessel(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::horizontal
