// Sizing of a horizontal vessel around liquid levels the host fixed.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::horizontal {

/// Places a vapour space above the fixed heavy level and light layer: checks a fixed diameter,
/// or finds the smallest diameter, in rounding steps, whose vapour space keeps the velocity.
/// The residence times follow from the levels. 0.0 on success, kEmptyValue on failure.
double SizeFromGivenLevels(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::horizontal
