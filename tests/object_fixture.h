// Objects for tests, created and released the way a host does it.
#pragma once

#include <array>
#include <cstdint>

#include "model/object_handle.h"
#include "sizing/sizing_object.h"

namespace kestrol::testing_support {

inline host::ObjectHandle NewObject() { return host::CreateSizingInstance(); }

inline const StreamState& InputsOf(ISeparatorSizing& object) {
    return static_cast<const SizingObject&>(object).Inputs();
}

inline bool HasVector(ISeparatorSizing& object) { return static_cast<const SizingObject&>(object).HasVector(); }

/// The 39 slots as GetValue reports them.
inline std::array<double, kSlotCount> Snapshot(ISeparatorSizing& object) {
    std::array<double, kSlotCount> slots{};
    for (int i = 0; i < kSlotCount; ++i) slots[i] = object.GetValue(i + 1);
    return slots;
}

/// A feed that passes every check of Calculate: vapour with a light liquid.
inline void SetTwoPhaseFeed(ISeparatorSizing& object) {
    object.SetLightLiquidDensity(800.0);
    object.SetLightLiquidMassFlow(10000.0);
    object.SetVapourDensity(10.0);
    object.SetVapourMassFlow(5000.0);
    object.SetPressure(1000.0);
    object.SetTemperature(40.0);
    object.SetAuxiliaryValue1(1.0);
}

/// A process feed, 20 t/h of vapour over 30 t/h of light liquid at 1500 kPa, with a heavy
/// liquid when its mass flow is not 0.
inline void SetProcessFeed(ISeparatorSizing& object, double heavyMassFlow) {
    object.SetVapourMassFlow(20000.0);
    object.SetVapourDensity(8.0);
    object.SetLightLiquidMassFlow(30000.0);
    object.SetLightLiquidDensity(750.0);
    object.SetHeavyLiquidMassFlow(heavyMassFlow);
    object.SetHeavyLiquidDensity(1000.0);
    object.SetPressure(1500.0);
    object.SetTemperature(40.0);
    object.SetAuxiliaryValue1(1.0);
}

}  // namespace kestrol::testing_support
