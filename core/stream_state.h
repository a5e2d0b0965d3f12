// The fourteen stream inputs of a sizing case, in the object's field order.
#pragma once

#include "core/values.h"

namespace kestrol {

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
};

}  // namespace kestrol
