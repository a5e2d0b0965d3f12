// The numbered slots of the sizing vector, their table, and the one seam through which every
// calculation reads and writes them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "core/values.h"

namespace kestrol {

/// Vector slots; the values are the interface's 1-based indices.
enum class Slot : int {
    Diameter = 1,
    OverallLength = 2,
    VapourVelocity = 3,
    Ratio = 4,
    LightLayerThickness = 5,
    LightResidenceTime = 6,
    HeavyLevel = 7,
    HeavyResidenceTime = 8,
    MinimumLevel = 9,
    VapourAllowance = 10,
    DisengagementHeight = 11,
    MistEliminatorHeight = 12,
    VapourSpaceHeight = 13,
    Orientation = 14,
    CostIndex = 15,
    CorrosionAllowance = 16,
    MaterialCode = 17,
    JointEfficiency = 18,
    ShellPressureCoefficient = 19,
    Spare20 = 20,
    HeadStressMultiplier = 21,
    HeadPressureCoefficient = 22,
    HeadLengthFactor = 23,
    VesselCostA = 24,
    VesselCostB = 25,
    VesselCostC = 26,
    PlatformLengthExponent = 27,
    PlatformCoefficient = 28,
    PlatformDiameterExponent = 29,
    MaterialCostFactor = 30,
    AllowableStress = 31,
    MaterialDensity = 32,
    WallThickness = 33,
    SecondVapourAllowance = 34,
    FirstPassFlag = 35,
    VesselCost = 36,
    PlatformCost = 37,
    TotalCost = 38,
    Spare39 = 39,
};

/// Number of slots every vector has.
inline constexpr int kSlotCount = 39;
/// SetValue writes indices 1 to this one; slot 39 is reachable through the storage pointer only.
inline constexpr int kLastWritableSlot = 38;

constexpr int Index(Slot s) noexcept { return static_cast<int>(s); }

/// A value for every slot of a vector, in slot order.
using SlotImage = std::array<double, kSlotCount>;

/// A slot and the value it is given.
struct SlotValue {
    Slot slot;
    double value;
};

constexpr SlotImage EmptyImage() {
    SlotImage image{};
    for (double& v : image) v = kEmptyValue;
    return image;
}

/// Every slot empty but the ones listed, which take their values (a later entry wins).
template <std::size_t N>
constexpr SlotImage ImageOf(const SlotValue (&given)[N]) {
    SlotImage image = EmptyImage();
    for (const SlotValue& g : given) image[static_cast<std::size_t>(Index(g.slot) - 1)] = g.value;
    return image;
}

struct SlotInfo {
    Slot slot;
    const char* name;
    const char* unit;
    bool keptByClear;  ///< ClearValues leaves the slot as it is
};

inline constexpr SlotInfo kSlots[] = {
    {Slot::Diameter, "Diameter", "m", false},
    {Slot::OverallLength, "OverallLength", "m", false},
    {Slot::VapourVelocity, "VapourVelocity", "m/s", false},
    {Slot::Ratio, "Ratio", "-", false},
    {Slot::LightLayerThickness, "LightLayerThickness", "m", false},
    {Slot::LightResidenceTime, "LightResidenceTime", "s", true},
    {Slot::HeavyLevel, "HeavyLevel", "m", false},
    {Slot::HeavyResidenceTime, "HeavyResidenceTime", "s", true},
    {Slot::MinimumLevel, "MinimumLevel", "m", false},
    {Slot::VapourAllowance, "VapourAllowance", "m", false},
    {Slot::DisengagementHeight, "DisengagementHeight", "m", false},
    {Slot::MistEliminatorHeight, "MistEliminatorHeight", "m", false},
    {Slot::VapourSpaceHeight, "VapourSpaceHeight", "m", false},
    {Slot::Orientation, "Orientation", "-", true},
    {Slot::CostIndex, "CostIndex", "-", false},
    {Slot::CorrosionAllowance, "CorrosionAllowance", "m", false},
    {Slot::MaterialCode, "MaterialCode", "-", false},
    {Slot::JointEfficiency, "JointEfficiency", "-", false},
    {Slot::ShellPressureCoefficient, "ShellPressureCoefficient", "-", false},
    {Slot::Spare20, "Spare20", "-", false},
    {Slot::HeadStressMultiplier, "HeadStressMultiplier", "-", false},
    {Slot::HeadPressureCoefficient, "HeadPressureCoefficient", "-", false},
    {Slot::HeadLengthFactor, "HeadLengthFactor", "-", false},
    {Slot::VesselCostA, "VesselCostA", "-", false},
    {Slot::VesselCostB, "VesselCostB", "-", false},
    {Slot::VesselCostC, "VesselCostC", "-", false},
    {Slot::PlatformLengthExponent, "PlatformLengthExponent", "-", false},
    {Slot::PlatformCoefficient, "PlatformCoefficient", "-", false},
    {Slot::PlatformDiameterExponent, "PlatformDiameterExponent", "-", false},
    {Slot::MaterialCostFactor, "MaterialCostFactor", "-", false},
    {Slot::AllowableStress, "AllowableStress", "kPa", false},
    {Slot::MaterialDensity, "MaterialDensity", "kg/m3", false},
    {Slot::WallThickness, "WallThickness", "m", false},
    {Slot::SecondVapourAllowance, "SecondVapourAllowance", "m", false},
    {Slot::FirstPassFlag, "FirstPassFlag", "-", false},
    {Slot::VesselCost, "VesselCost", "-", false},
    {Slot::PlatformCost, "PlatformCost", "-", false},
    {Slot::TotalCost, "TotalCost", "-", false},
    {Slot::Spare39, "Spare39", "-", false},
};

constexpr bool RowsInSlotOrder() {
    for (std::size_t i = 0; i < std::size(kSlots); ++i)
        if (Index(kSlots[i].slot) != static_cast<int>(i) + 1) return false;
    return true;
}
static_assert(std::size(kSlots) == kSlotCount && RowsInSlotOrder(), "one row per slot, in number order");

/// The vector as a calculation sees it: the owner's storage, read and written by the rules of
/// the object's GetValue and SetValue (no storage reads as empty and takes no writes; slot 39
/// takes none either), but inline. No host can replace the object's methods, so calling them
/// through the interface for every slot would only cost time. Tests own an array instead.
class SlotAccess {
public:
    double Get(Slot slot) const {
        const double* values = *storage_;
        return values != nullptr ? values[Index(slot) - 1] : kEmptyValue;
    }
    void Set(Slot slot, double value) {
        double* values = *storage_;
        if (values != nullptr && Index(slot) <= kLastWritableSlot) values[Index(slot) - 1] = value;
    }
    /// The storage itself, or null before there is any: for reading a run of slots at once.
    const double* Values() const { return *storage_; }
    /// Allocates the vector if need be and gives its first 39 slots the image's values, as
    /// emptying them and writing the image's would; false when no storage could be had.
    bool StartFrom(const SlotImage& image) { return start_(owner_, image); }

protected:
    using Starter = bool (*)(void* owner, const SlotImage& image);
    /// `storage` is where the owner keeps its storage pointer, which allocation may change.
    SlotAccess(double* const* storage, void* owner, Starter start) noexcept
        : storage_(storage), owner_(owner), start_(start) {}
    SlotAccess(const SlotAccess&) = delete;
    SlotAccess& operator=(const SlotAccess&) = delete;
    ~SlotAccess() = default;

private:
    double* const* storage_;
    void* owner_;
    Starter start_;
};

/// The magnitude of a host-fixed (negative, not empty) slot, else kEmptyValue.
inline double FixedValue(SlotAccess& slots, Slot slot) {
    const double v = slots.Get(slot);
    return (v < 0.0 && !IsEmpty(v)) ? -v : kEmptyValue;
}

inline bool IsFixed(SlotAccess& slots, Slot slot) { return !IsEmpty(FixedValue(slots, slot)); }

/// Writes a level, height, time or diameter only when it can be stored as a result (finite,
/// not negative): true when written, false with nothing written.
inline bool StoreResult(SlotAccess& slots, Slot slot, double value) {
    if (!IsStorableResult(value)) return false;
    slots.Set(slot, value);
    return true;
}

/// A fifth of a length, never less than one foot [m].
inline double FifthOrFoot(double x) noexcept {
    const double fifth = 0.2 * x;
    return fifth > kFoot ? fifth : kFoot;
}

/// Double to 32-bit integer toward zero; NaN, infinities and magnitudes of 2^31 and more
/// give INT32_MIN, as the hardware conversion does, instead of undefined behaviour.
inline std::int32_t TruncateToInt32(double v) noexcept {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

}  // namespace kestrol
