// Hold-up time below the minimum liquid level of a horizontal vessel.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::horizontal {

/// The time [s] the liquid inflow takes to fill the vessel to its minimum level; kEmptyValue on failure.
double CalcHorizontalLevelTime(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::horizontal
