// The finishing step run again without its arithmetic when nothing it reads has changed:
// every successful sizing through Calculate runs it twice over the same vessel.
#pragma once

#include <array>
#include <cstdint>

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::design {

/// What the finishing step found when its last successful run on one object had finished:
/// every value it reads, as the run left them, and the three costs it wrote. Kept by the
/// object; valid or not, it never needs resetting, because a run is only skipped when every
/// value it reads is compared equal, bit for bit.
struct CostMemo {
    /// The bits of the slots the step reads (30 to 33 as it wrote them), then of pressure
    /// and temperature.
    std::array<std::uint64_t, 22> inputs{};
    /// The rounding and denormal modes the arithmetic ran under: a host may change them.
    unsigned floatingPointMode = 0;
    double vesselCost = kEmptyValue, platformCost = kEmptyValue, totalCost = kEmptyValue;
    bool valid = false;
};

/// EstimateVesselCost, or, when every value it reads is bit for bit what its last successful
/// run left, the three costs that run wrote, written again (a host may have overwritten
/// them since) and 0.0. With a null memo it always computes.
double EstimateVesselCostOnce(const StreamState& feed, SlotAccess& slots, CostMemo* memo);

}  // namespace kestrol::design
