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
        const double h7 = std::fabs(slots.Get(Slot::HeavyLevel));
        const double t8 = TimeFor(VolumeBelowForTimes(h7, d), qh);
        if (IsEmpty(t8)) return kEmptyValue;
        slots.Set(Slot::HeavyResidenceTime, t8);
    }

    if (!IsFixed(slots, Slot::LightResidenceTime) && !IsEmpty(slots.Get(Slot::LightLayerThickness))) {
        const double h5 = std::fabs(slots.Get(Slot::LightLayerThickness));
        double t6 = 0.0;
        if (!heavy) {
            t6 = TimeFor(VolumeBelowForTimes(h5, d), ql);
        } else if (!IsEmpty(slots.Get(Slot::HeavyLevel)) && !IsEmpty(slots.Get(Slot::HeavyResidenceTime))) {
            const double h7 = std::fabs(slots.Get(Slot::HeavyLevel));
            if (h7 > d / 4.0) {
                t6 = TimeFor(kPiOver4 * (d * d) * h5, ql);
            } else {
                // The light liquid holds what lies below its surface less the heavy liquid's hold-up.
                const double heavyHoldup = std::fabs(slots.Get(Slot::HeavyResidenceTime)) * qh;
                t6 = TimeFor(VolumeBelowForTimes(h5 + h7, d) - heavyHoldup, ql);
            }
        }
        // A heavy liquid without a level or a time leaves the light liquid no time of its own.
        if (IsEmpty(t6)) return kEmptyValue;
        slots.Set(Slot::LightResidenceTime, t6);
    }
    return 0.0;
}

}  // namespace kestrol::vertical
