// Default residence times of the two liquids, for a case whose host fixed neither a time
// nor a level.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::common {

/// Writes the light liquid's default time [s] into its slot and returns it.
double DefaultLightResidenceTime(const StreamState& feed, SlotAccess& slots);
/// Writes the heavy liquid's default time [s] into its slot and returns it.
double DefaultHeavyResidenceTime(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::common
