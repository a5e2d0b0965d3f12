#include "design/cost_memo.h"

#include <cfenv>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "design/cost.h"

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace kestrol::design {
namespace {

/// Every slot EstimateVesselCost may read; of slots 15 to 33 it leaves only 20 alone. The
/// material code counts although only the lookups read it. The slots the step fills come
/// first: the presets empty them before every sizing, so a changed input shows at once.
constexpr Slot kReadSlots[] = {
    Slot::MaterialCostFactor, Slot::AllowableStress, Slot::MaterialDensity, Slot::WallThickness,
    Slot::Diameter, Slot::OverallLength, Slot::CostIndex, Slot::CorrosionAllowance, Slot::MaterialCode,
    Slot::JointEfficiency, Slot::ShellPressureCoefficient, Slot::HeadStressMultiplier,
    Slot::HeadPressureCoefficient, Slot::HeadLengthFactor, Slot::VesselCostA, Slot::VesselCostB, Slot::VesselCostC,
    Slot::PlatformLengthExponent, Slot::PlatformCoefficient, Slot::PlatformDiameterExponent,
};
static_assert(std::size(kReadSlots) + 2 == std::tuple_size_v<decltype(CostMemo::inputs)>);

/// Compared as bits, not values: NaN equals nothing and -0.0 equals 0.0, and either may
/// decide a branch of the step.
std::uint64_t Bits(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

/// The modes that decide the bits of the arithmetic besides its operands: rounding direction,
/// flush-to-zero and denormals-are-zero; on 32-bit x86 also the x87 control word, through
/// which the mathematics library returns.
unsigned FloatingPointMode() {
#if defined(__i386__) || defined(__x86_64__)
    constexpr unsigned kStatusFlags = 0x3F;  // MXCSR bits 0 to 5 change as it computes
    unsigned mode = _mm_getcsr() & ~kStatusFlags;
#if defined(__i386__)
    unsigned short x87Control = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(x87Control));
    mode ^= static_cast<unsigned>(x87Control) << 16;
#endif
    return mode;
#else
    return static_cast<unsigned>(std::fegetround());
#endif
}

bool Unchanged(const StreamState& feed, const SlotAccess& slots, const CostMemo& memo) {
    for (std::size_t i = 0; i < std::size(kReadSlots); ++i)
        if (Bits(slots.Get(kReadSlots[i])) != memo.inputs[i]) return false;
    return Bits(feed.pressure) == memo.inputs[std::size(kReadSlots)] &&
           Bits(feed.temperature) == memo.inputs[std::size(kReadSlots) + 1] && FloatingPointMode() == memo.floatingPointMode;
}

void Record(const StreamState& feed, const SlotAccess& slots, CostMemo& memo) {
    for (std::size_t i = 0; i < std::size(kReadSlots); ++i) memo.inputs[i] = Bits(slots.Get(kReadSlots[i]));
    memo.inputs[std::size(kReadSlots)] = Bits(feed.pressure);
    memo.inputs[std::size(kReadSlots) + 1] = Bits(feed.temperature);
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
