// The finishing step of every sizing: wall thickness, weight and purchase cost.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::design {

/// 0.0 after writing its results, kEmptyValue when it could not (slot 1 or 2 unusable, no
/// stress or density for the material, a thickness, weight or cost that does not come out).
/// A second run with unchanged inputs writes the same bits as the first.
double EstimateVesselCost(const StreamState& feed, SlotAccess& slots);

/// Cost factor of the material code in slot 17 [-]; 1.0 for a code not in the table.
double MaterialCostFactor(SlotAccess& slots);

/// |slot 32| when set, else the density of the material code in slot 17 [kg/m3];
/// kEmptyValue for a code not in the table.
double MaterialDensity(SlotAccess& slots);

/// |slot 31| when set, else the allowable stress of the material code in slot 17 at the
/// design temperature [kPa]; kEmptyValue for a code not in the table.
double AllowableStress(SlotAccess& slots, double designTemperatureF);

}  // namespace kestrol::design
