// The vector the option presets leave for a vertical vessel, with its diameter and length:
// what the finishing step starts from.
#pragma once

#include "tests/array_slots.h"

namespace kestrol::testing_support {

inline ArraySlots PresetVerticalVessel(double D, double L) {
    ArraySlots s;
    s[Slot::Diameter] = D;
    s[Slot::OverallLength] = L;
    s[Slot::CostIndex] = 252.5;
    s[Slot::CorrosionAllowance] = 0.003175;
    s[Slot::MaterialCode] = 1.0;
    s[Slot::JointEfficiency] = 1.0;
    s[Slot::ShellPressureCoefficient] = 0.4;
    s[Slot::HeadStressMultiplier] = 2.0;
    s[Slot::HeadPressureCoefficient] = 0.2;
    s[Slot::HeadLengthFactor] = 0.8116;
    s[Slot::VesselCostA] = 8.6;
    s[Slot::VesselCostB] = -0.2165;
    s[Slot::VesselCostC] = 0.0458;
    s[Slot::PlatformLengthExponent] = 0.7068;
    s[Slot::PlatformCoefficient] = 1017.0;
    s[Slot::PlatformDiameterExponent] = 0.7396;
    return s;
}

}  // namespace kestrol::testing_support
