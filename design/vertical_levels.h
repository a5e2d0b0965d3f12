// Liquid levels of a vertical vessel from its residence times, and the hold-up time below
// the minimum level.
#pragma once

#include "sizing/slots.h"
#include "sizing/stream_state.h"

namespace kestrol::design {

/// Fills the levels that are not fixed; stores the hold-up time in *holdupTime when it holds
/// kEmptyValue. 0.0 on success, kEmptyValue when no admissible level exists.
double CalcVerticalLevels(const StreamState& feed, SlotAccess& slots, double* holdupTime);

}  // namespace kestrol::design
