#include "sizing/sizing_object.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "horizontal/horizontal_level_time.h"
#include "design/presets.h"
#include "vertical/vertical_levels.h"
#include "horizontal/horizontal_sizing.h"
#include "sizing/object_count.h"
#include "sizing/shield.h"
#include "vertical/vertical_sizing.h"

namespace kestrol {
namespace {

/// Largest vector a host may ask for [slots]. The calculations use 39; the cap keeps a wild
/// count from claiming the host's memory (and 32-bit sizes from overflowing).
constexpr std::int32_t kMaxVectorSlots = 1 << 20;

constexpr SlotImage kEmptySlots = EmptyImage();

}  // namespace

SizingObject* CreateSizingObject() noexcept { return new (std::nothrow) SizingObject(); }

SizingObject::SizingObject() noexcept { object_count::Created(); }

SizingObject::~SizingObject() {
    object_count::Destroyed();
    delete[] vector_;
    vector_ = nullptr;
}

const IID& SizingObject::Identifier() noexcept { return IID_ISeparatorSizing; }

bool SizingObject::HaveVector(std::int32_t count) {
    if (vector_ != nullptr) return true;
    const std::int32_t slots = count > kSlotCount ? count : kSlotCount;
    if (slots > kMaxVectorSlots) return false;
    vector_ = new (std::nothrow) double[static_cast<std::size_t>(slots)];
    if (vector_ == nullptr) return false;
    capacity_ = slots;
    return true;
}

HRESULT STDMETHODCALLTYPE SizingObject::AllocValues(std::int32_t count) {
    if (vector_ == nullptr) {
        if (!HaveVector(count)) return E_FAIL;
        count = capacity_;
    }
    const std::int32_t toEmpty = count < capacity_ ? count : capacity_;
    if (toEmpty == kSlotCount) return StartFrom(kEmptySlots) ? S_OK : E_FAIL;
    for (std::int32_t i = 0; i < toEmpty; ++i) vector_[i] = kEmptyValue;
    vectorAllocated_ = 1;
    return S_OK;
}

bool SizingObject::StartFrom(const SlotImage& image) {
    if (!HaveVector(kSlotCount)) return false;
    // One block copy instead of a store per slot: every preset starts the whole vector over.
    std::memcpy(vector_, image.data(), sizeof image);
    vectorAllocated_ = 1;
    return true;
}

void STDMETHODCALLTYPE SizingObject::SetValue(double value, std::int32_t index) {
    if (vector_ != nullptr && index >= 1 && index <= kLastWritableSlot) vector_[index - 1] = value;
}

double STDMETHODCALLTYPE SizingObject::GetValue(std::int32_t index) {
    if (vector_ == nullptr || index < 1 || index > capacity_) return kEmptyValue;
    return vector_[index - 1];
}

void STDMETHODCALLTYPE SizingObject::ClearValues() {
    if (vector_ == nullptr) return;
    for (const SlotInfo& row : kSlots)
        if (!row.keptByClear) vector_[Index(row.slot) - 1] = kEmptyValue;
}

double* STDMETHODCALLTYPE SizingObject::GetVectorPointer() {
    if (vector_ == nullptr) static_cast<ISeparatorSizing*>(this)->AllocValues(kSlotCount);
    return vector_;
}

void STDMETHODCALLTYPE SizingObject::SetOrientation(std::int32_t orientation) {
    ISeparatorSizing& self = *this;
    if (vector_ == nullptr) self.AllocValues(kSlotCount);
    self.SetValue(static_cast<double>(orientation), Index(Slot::Orientation));
}

double STDMETHODCALLTYPE SizingObject::PresetOptions() {
    return Shielded(kEmptyValue, [&] {
        FloatingPointGuard guard;
        ObjectSlots slots(*this);
        return design::PresetOptions(feed_, slots);
    });
}

double STDMETHODCALLTYPE SizingObject::SizeVertical() {
    return Shielded(kEmptyValue, [&] {
        FloatingPointGuard guard;
        ObjectSlots slots(*this);
        return vertical::SizeVertical(feed_, slots);
    });
}

double STDMETHODCALLTYPE SizingObject::SizeHorizontalVessel() {
    return Shielded(kEmptyValue, [&] {
        FloatingPointGuard guard;
        ObjectSlots slots(*this);
        return horizontal::SizeHorizontalVessel(feed_, slots);
    });
}

double STDMETHODCALLTYPE SizingObject::CalcVerticalLevels(double* holdupTime) {
    return Shielded(kEmptyValue, [&] {
        FloatingPointGuard guard;
        ObjectSlots slots(*this);
        return vertical::CalcVerticalLevels(feed_, slots, holdupTime);
    });
}

double STDMETHODCALLTYPE SizingObject::CalcHorizontalLevelTime() {
    return Shielded(kEmptyValue, [&] {
        FloatingPointGuard guard;
        ObjectSlots slots(*this);
        return horizontal::CalcHorizontalLevelTime(feed_, slots);
    });
}

// A failure inside Calculate that is no check of its own (only a bug could cause one) is
// reported as E_FAIL: none of the SIZING_E_* codes would describe it truthfully.
HRESULT STDMETHODCALLTYPE SizingObject::Calculate(std::int32_t) {
    return Shielded(E_FAIL, [&] {
        FloatingPointGuard guard;
        return CalculateUnguarded();
    });
}

}  // namespace kestrol
