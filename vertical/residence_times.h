// Residence times of the liquids in a vertical vessel from their levels: the counterpart of
// the level calculation, for the same vessel shape.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::vertical {

/// Writes the heavy liquid's time from its level and the light liquid's time
/// from its layer, each unless fixed. 0.0 on success; kEmptyValue when a flow to divide by is
/// not > 0 or a time would come out negative or not finite (that slot is then not written).
double VerticalResidenceTimesFromLevels(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::vertical
