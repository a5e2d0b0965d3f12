#include "horizontal/horizontal_level_time.h"

#include <cmath>

#include "horizontal/geometry.h"

namespace kestrol::horizontal {
namespace {

/// Minimum liquid level taken, and recorded, when the host gave none [m].
constexpr double kDefaultMinimumLevel = 0.3048;

}  // namespace

double CalcHorizontalLevelTime(const StreamState& feed, SlotAccess& slots) {
    const double stored = slots.Get(Slot::Diameter);
    if (IsEmpty(stored) || !IsUsableLength(std::fabs(stored))) return kEmptyValue;
    if (IsEmpty(slots.Get(Slot::Ratio))) return kEmptyValue;
    const double D = std::fabs(stored);
    const double flow = feed.HasHeavyLiquid() ? feed.lightLiquidVolumeFlow + feed.heavyLiquidVolumeFlow
                                              : feed.lightLiquidVolumeFlow;
    if (!(std::isfinite(flow) && flow > 0.0)) return kEmptyValue;

    const double level = slots.Get(Slot::MinimumLevel);
    double h = kDefaultMinimumLevel;
    if (!IsEmpty(level)) {
        h = std::fabs(level);
        if (!(h <= D)) return kEmptyValue;
    } else {
        slots.Set(Slot::MinimumLevel, kDefaultMinimumLevel);
    }
    return HorizontalLiquidVolume(slots, h, D) / flow;
}

}  // namespace kestrol::horizontal
