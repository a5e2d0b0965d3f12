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
    /// The slots the step reads, as its run left them: 30 to 33 as it wrote them, compared
    /// first because a preset empties them; 1 and 2; 15 to 29 as one block, which takes in
    /// slot 20, not read by the step: a change there only costs a run that was not needed.
    std::array<double, 4> material{};
    std::array<double, 2> vessel{};
    std::array<double, 15> options{};
    /// Pressure and temperature.
    std::array<double, 2> conditions{};
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
