// Sharing a liquid hold-up volume between the light and the heavy liquid of a three-phase vessel.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::common {

/// Shares `volume` [m3] between the light- and heavy-liquid residence times.
/// A fixed heavy time leaves the rest of the volume to the light liquid, a fixed light time
/// the rest to the heavy one; with neither fixed both get one common time. Returns 0.0, or
/// kEmptyValue with nothing written when no usable time comes out. Call it only with a heavy
/// liquid present.
double SplitHoldupVolume(const StreamState& feed, SlotAccess& slots, double volume);

}  // namespace kestrol::common
