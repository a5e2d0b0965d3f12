#include "common/holdup_split.h"

#include <cmath>

namespace kestrol::common {
namespace {

/// First guess of the common residence time [s].
constexpr double kStartTime = 300.0;
/// Time step of the secant probe [s].
constexpr double kProbeStep = 0.001;
/// 1 / kProbeStep [1/s], written as a factor so the slope is evaluated as it always was.
constexpr double kSlopeFactor = 1000.0;
/// Accepted volume misfit per second of residence time [m3/s].
constexpr double kTolerance = 0.001;
/// Updates of the common time before the search gives up.
constexpr int kMaxUpdates = 300;

/// A time that may be stored: finite and not negative.
bool IsStorableTime(double t) { return std::isfinite(t) && t >= 0.0; }

/// Writes a common time unless the slot holds a non-empty value <= 0.
void WriteUnlessNonPositive(SlotAccess& slots, Slot slot, double time) {
    const double current = slots.Get(slot);
    if (current <= 0.0 && !IsEmpty(current)) return;
    slots.Set(slot, time);
}

}  // namespace

double SplitHoldupVolume(const StreamState& feed, SlotAccess& slots, double volume) {
    const double lightFlow = feed.lightLiquidVolumeFlow;
    const double heavyFlow = feed.heavyLiquidVolumeFlow;
    const double heavyTime = FixedValue(slots, Slot::HeavyResidenceTime);
    const double lightTime = FixedValue(slots, Slot::LightResidenceTime);

    if (!IsEmpty(heavyTime)) {
        const double light = (volume - heavyTime * heavyFlow) / lightFlow;
        // A negative time would read as host-fixed on the next pass.
        if (!IsStorableTime(light)) return kEmptyValue;
        slots.Set(Slot::LightResidenceTime, light);
        return 0.0;
    }
    if (!IsEmpty(lightTime)) {
        const double heavy = (volume - lightTime * lightFlow) / heavyFlow;
        if (!IsStorableTime(heavy)) return kEmptyValue;
        slots.Set(Slot::HeavyResidenceTime, heavy);
        return 0.0;
    }

    // Newton steps on (QH + QL) t = V with a finite-difference slope; the acceptance test
    // runs before each update, so the last updated time is never tested.
    const double totalFlow = heavyFlow + lightFlow;
    double t = kStartTime;
    bool accepted = false;
    for (int update = 0; update < kMaxUpdates; ++update) {
        const double a = totalFlow * t;
        const double b = totalFlow * (t + kProbeStep);
        if (std::fabs(a - volume) / t <= kTolerance) {
            accepted = true;
            break;
        }
        const double slope = (b - a) * kSlopeFactor;
        t = t - ((a + b) / 2.0 - volume) / slope;
    }
    // A negative t passes the misfit test trivially; only a positive time is a result.
    if (!accepted || !(t > 0.0) || !std::isfinite(t)) return kEmptyValue;

    WriteUnlessNonPositive(slots, Slot::LightResidenceTime, t);
    WriteUnlessNonPositive(slots, Slot::HeavyResidenceTime, t);
    return 0.0;
}

}  // namespace kestrol::common
