#include "common/default_times.h"

namespace kestrol::common {
namespace {

/// Relative density at and below which two liquids part quickly [-].
constexpr double kQuickParting = 0.85;
/// Relative density up to which a lone liquid takes the middle time [-].
constexpr double kMiddleParting = 0.93;
/// 100 deg F and 80 deg F in deg C, as the table compares the stored temperature.
constexpr double kWarmLiquids = 37.77777777777778;
constexpr double kMildLiquids = 26.666666666666664;
/// Density of water [kg/m3]: a lone liquid's relative density is taken against it, so that
/// the table's thresholds read as the relative densities they are.
constexpr double kWaterDensity = 1000.0;

double TwoLiquidTime(const StreamState& feed) {
    const double relativeDensity = feed.lightLiquidDensity / feed.heavyLiquidDensity;
    if (relativeDensity <= kQuickParting) return 600.0;
    if (feed.temperature >= kWarmLiquids) return 600.0;
    if (feed.temperature > kMildLiquids) return 1200.0;
    return 1800.0;
}

double OneLiquidTime(const StreamState& feed) {
    const double relativeDensity = feed.lightLiquidDensity / kWaterDensity;
    if (relativeDensity <= kQuickParting) return 300.0;
    if (relativeDensity <= kMiddleParting) return 420.0;
    return 480.0;
}

}  // namespace

double DefaultLightResidenceTime(const StreamState& feed, SlotAccess& slots) {
    const double time = feed.HasHeavyLiquid() ? TwoLiquidTime(feed) : OneLiquidTime(feed);
    slots.Set(Slot::LightResidenceTime, time);
    return time;
}

double DefaultHeavyResidenceTime(const StreamState& feed, SlotAccess& slots) {
    const double time = TwoLiquidTime(feed);
    slots.Set(Slot::HeavyResidenceTime, time);
    return time;
}

}  // namespace kestrol::common
