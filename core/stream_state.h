// The fourteen stream inputs of a sizing case, in the object's field order.
#pragma once

#include "core/values.h"

namespace kestrol {

/// Hours per second: a mass flow per hour over a density gives a volume flow per second [h/s].
inline constexpr double kHoursPerSecond = 0.0002777777777777778;

struct StreamState {
    double lightLiquidDensity = kEmptyValue;     ///< [kg/m3]
    double lightLiquidMassFlow = kEmptyValue;    ///< [kg/h]
    double heavyLiquidDensity = kEmptyValue;     ///< [kg/m3]
    double heavyLiquidMassFlow = kEmptyValue;    ///< [kg/h]
    double pressure = kEmptyValue;               ///< [kPa absolute]
    double temperature = kEmptyValue;            ///< [deg C]
    double vapourDensity = kEmptyValue;          ///< [kg/m3]
    double vapourMassFlow = kEmptyValue;         ///< [kg/h]
    double vapourVolumeFlow = kEmptyValue;       ///< [m3/s]
    double lightLiquidVolumeFlow = kEmptyValue;  ///< [m3/s]
    double heavyLiquidVolumeFlow = kEmptyValue;  ///< [m3/s]; empty means a two-phase case
    double assumedLiquidPercent = kEmptyValue;   ///< [%] of the vapour taken as liquid
    double auxiliaryValue1 = kEmptyValue;        ///< must be > 0 for Calculate
    double auxiliaryValue2 = kEmptyValue;        ///< stored, never read

    bool HasHeavyLiquid() const noexcept { return !IsEmpty(heavyLiquidVolumeFlow); }

    /// A feed without liquid: `assumedLiquidPercent` of the vapour becomes the light liquid.
    void TakeAssumedLiquid() noexcept {
        const double vapourBefore = vapourMassFlow;
        lightLiquidMassFlow = vapourBefore * assumedLiquidPercent * 0.01;
        vapourMassFlow = (100.0 - assumedLiquidPercent) * 0.01 * vapourBefore;
    }

    /// The volume flows from the mass flows; no heavy liquid (empty or zero) leaves its volume
    /// flow empty, which makes the case two-phase.
    void DeriveVolumeFlows() noexcept {
        vapourVolumeFlow = vapourMassFlow / vapourDensity * kHoursPerSecond;
        lightLiquidVolumeFlow = lightLiquidMassFlow / lightLiquidDensity * kHoursPerSecond;
        const bool heavyLiquid = !IsEmpty(heavyLiquidMassFlow) && heavyLiquidMassFlow != 0.0 && !IsEmpty(heavyLiquidDensity);
        heavyLiquidVolumeFlow = heavyLiquid ? heavyLiquidMassFlow / heavyLiquidDensity * kHoursPerSecond : kEmptyValue;
    }
};

}  // namespace kestrol
