// Sizing of a horizontal vessel in which the host fixed one liquid level: the heavy level, or
// the light layer over a heavy liquid.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::horizontal {

/// Fits the other liquid: by the height left at a fixed diameter, or by a diameter (and if
/// need be ratio) search until the room for it matches its hold-up within 0.05 m3. Writes the
/// missing levels and residence times. 0.0 on success, kEmptyValue on failure.
double SizeFromOneLevel(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::horizontal
