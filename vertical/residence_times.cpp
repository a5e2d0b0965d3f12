#include "vertical/residence_times.h"

#include <cmath>

#include "vertical/head_volume.h"

namespace kestrol::vertical {
namespace {

/// volume / flow as a residence time [s], or kEmptyValue when it cannot be one.
double TimeFor(double volume, double flow) {
    if (!(flow > 0.0)) return kEmptyValue;
    const double time = volume / flow;
    return IsStorableResult(time) ? time : kEmptyValue;
}

}  // namespace

double VerticalResidenceTimesFromLevels(const StreamState& feed, SlotAccess& slots) {
    const double d = std::fabs(slots.Get(Slot::Diameter));
    const double ql = feed.lightLiquidVolumeFlow;
    const double qh = feed.heavyLiquidVolumeFlow;
    const bool heavy = feed.HasHeavyLiquid();

    if (!IsFixed(slots, Slot::HeavyResidenceTime) && heavy && !IsEmpty(slots.Get(Slot::HeavyLevel))) {
        const double heavyLevel = std::fabs(slots.Get(Slot::HeavyLevel));
        const double heavyTime = TimeFor(VolumeBelowForTimes(heavyLevel, d), qh);
        if (IsEmpty(heavyTime)) return kEmptyValue;
        slots.Set(Slot::HeavyResidenceTime, heavyTime);
    }

    if (!IsFixed(slots, Slot::LightResidenceTime) && !IsEmpty(slots.Get(Slot::LightLayerThickness))) {
        const double lightLayer = std::fabs(slots.Get(Slot::LightLayerThickness));
        double lightTime = 0.0;
        if (!heavy) {
            lightTime = TimeFor(VolumeBelowForTimes(lightLayer, d), ql);
        } else if (!IsEmpty(slots.Get(Slot::HeavyLevel)) && !IsEmpty(slots.Get(Slot::HeavyResidenceTime))) {
            const double heavyLevel = std::fabs(slots.Get(Slot::HeavyLevel));
            if (heavyLevel > d / 4.0) {
                lightTime = TimeFor(kPiOver4 * (d * d) * lightLayer, ql);
            } else {
                // The light liquid holds what lies below its surface less the heavy liquid's hold-up.
                const double heavyHoldup = std::fabs(slots.Get(Slot::HeavyResidenceTime)) * qh;
                lightTime = TimeFor(VolumeBelowForTimes(lightLayer + heavyLevel, d) - heavyHoldup, ql);
            }
        }
        // A heavy liquid without a level or a time leaves the light liquid no time of its own.
        if (IsEmpty(lightTime)) return kEmptyValue;
        slots.Set(Slot::LightResidenceTime, lightTime);
    }
    return 0.0;
}

}  // namespace kestrol::vertical
