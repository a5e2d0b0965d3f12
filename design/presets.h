// Option presets that start every sizing case, and the orientation choice.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::design {

/// Empties the vector but for the orientation and presets every option; 0.0 when done,
/// kEmptyValue (vector untouched) when the stream gives no usable vapour velocity or the
/// vector cannot be allocated.
double PresetOptions(const StreamState& feed, SlotAccess& slots);

/// Allowable vapour velocity [m/s] of the feed, at most 2.0; kEmptyValue when the stream
/// inputs give none (unset or non-finite inputs, a flow parameter that is not > 0, a
/// velocity that is not finite or exactly 0).
double AllowableVapourVelocity(const StreamState& feed);

}  // namespace kestrol::design
