// Hand-made outcomes of a sizing, as the reports and the drawing receive them: these tests
// check how a vessel is shown, whatever the sizing paths compute.
#pragma once

#include "model/case_file.h"
#include "model/sizing_run.h"

namespace kestrol::testing_support {

inline host::SizingCase ThreePhaseCase() {
    host::SizingCase c;
    c.name = "Three-phase test drum";
    c.values[host::kPressure] = 1200.0;
    c.values[host::kTemperature] = 55.0;
    c.values[host::kVapourMassFlow] = 25000.0;
    c.values[host::kVapourDensity] = 9.5;
    c.values[host::kLightLiquidMassFlow] = 90000.0;
    c.values[host::kLightLiquidDensity] = 830.0;
    c.values[host::kHeavyLiquidMassFlow] = 40000.0;
    c.values[host::kHeavyLiquidDensity] = 1020.0;
    return c;
}

/// A vessel of diameter D and overall length L with every required result present; fixed
/// values stored negative as the sizing leaves them.
inline host::SizingOutcome DrawnOutcome(int orientation, double diameter, double length) {
    host::SizingOutcome o;
    o.result = S_OK;
    o.orientation = orientation;
    auto set = [&](Slot s, double v) { o.values[static_cast<std::size_t>(Index(s))] = v; };
    set(Slot::Diameter, diameter);
    set(Slot::OverallLength, length);
    set(Slot::Ratio, -(length / diameter - 0.5));
    set(Slot::VapourVelocity, 0.4);
    set(Slot::HeavyLevel, 0.3 * diameter);
    set(Slot::LightLayerThickness, 0.25 * diameter);
    set(Slot::LightResidenceTime, -600.0);
    set(Slot::HeavyResidenceTime, -600.0);
    set(Slot::MinimumLevel, -0.3048);
    set(Slot::VapourAllowance, -0.3048);
    set(Slot::DisengagementHeight, 0.75 * diameter);
    set(Slot::MistEliminatorHeight, 0.1524);
    set(Slot::SecondVapourAllowance, -0.3048);
    set(Slot::VapourSpaceHeight, 0.2 * diameter);
    set(Slot::CostIndex, 252.5);
    set(Slot::CorrosionAllowance, 0.003175);
    set(Slot::MaterialCode, 1.0);
    set(Slot::JointEfficiency, 1.0);
    set(Slot::AllowableStress, 94458.19948882256);
    set(Slot::MaterialDensity, 7861.087973345294);
    set(Slot::WallThickness, 0.009525019050038101);
    set(Slot::VesselCost, 10353.02);
    set(Slot::PlatformCost, 2210.804);
    set(Slot::TotalCost, 12563.824);
    o.values[host::kHoldupIndex] = 95.5;
    return o;
}

}  // namespace kestrol::testing_support
