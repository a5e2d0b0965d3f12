#include "design/cost_memo.h"

#include <cstring>

#include "core/floating_point_mode.h"
#include "design/cost.h"

namespace kestrol::design {
namespace {

/// Where the blocks of option slots (15 to 29) and material slots (30 to 33) begin.
constexpr int kFirstOptionIndex = Index(Slot::CostIndex) - 1;
constexpr int kFirstMaterialIndex = Index(Slot::MaterialCostFactor) - 1;
static_assert(Index(Slot::Diameter) == 1 && Index(Slot::OverallLength) == 2, "the vessel block is slots 1 and 2");
static_assert(kFirstMaterialIndex - kFirstOptionIndex == std::tuple_size_v<decltype(CostMemo::options)>);
static_assert(Index(Slot::WallThickness) - kFirstMaterialIndex == std::tuple_size_v<decltype(CostMemo::material)>);

// Compared as bits, not values: NaN equals nothing and -0.0 equals 0.0, and either may
// decide a branch of the step.
template <std::size_t N>
bool SameBits(const double* values, const std::array<double, N>& kept) {
    return std::memcmp(values, kept.data(), sizeof kept) == 0;
}

bool Unchanged(const StreamState& feed, const SlotAccess& slots, const CostMemo& memo) {
    const double* values = slots.Values();
    if (values == nullptr) return false;  // no vessel to cost, and no successful run to repeat
    const double conditions[] = {feed.pressure, feed.temperature};
    return SameBits(values + kFirstMaterialIndex, memo.material) && SameBits(values, memo.vessel) &&
           SameBits(values + kFirstOptionIndex, memo.options) && SameBits(conditions, memo.conditions) &&
           FloatingPointMode() == memo.floatingPointMode;
}

void Record(const StreamState& feed, const SlotAccess& slots, CostMemo& memo) {
    const double* values = slots.Values();  // a successful run had a vector
    std::memcpy(memo.material.data(), values + kFirstMaterialIndex, sizeof memo.material);
    std::memcpy(memo.vessel.data(), values, sizeof memo.vessel);
    std::memcpy(memo.options.data(), values + kFirstOptionIndex, sizeof memo.options);
    memo.conditions = {feed.pressure, feed.temperature};
    memo.floatingPointMode = FloatingPointMode();
    memo.vesselCost = slots.Get(Slot::VesselCost);
    memo.platformCost = slots.Get(Slot::PlatformCost);
    memo.totalCost = slots.Get(Slot::TotalCost);
}

}  // namespace

double EstimateVesselCostOnce(const StreamState& feed, SlotAccess& slots, CostMemo* memo) {
    if (memo == nullptr) return EstimateVesselCost(feed, slots);
    if (memo->valid && Unchanged(feed, slots, *memo)) {
        // Run on what it left, the step finds slots 30 to 33 filled and computes the same
        // values again; only the costs, which it never reads, can have been changed since.
        slots.Set(Slot::VesselCost, memo->vesselCost);
        slots.Set(Slot::PlatformCost, memo->platformCost);
        slots.Set(Slot::TotalCost, memo->totalCost);
        return 0.0;
    }
    const double result = EstimateVesselCost(feed, slots);
    // Only a run that reached its end wrote all three costs.
    memo->valid = result == 0.0;
    if (memo->valid) Record(feed, slots, *memo);
    return result;
}

}  // namespace kestrol::design
