// A vector of 39 slots in plain memory, with the object's write rule (1 to 38 only).
#pragma once

#include <array>

#include "core/slots.h"

namespace kestrol::testing_support {

class ArraySlots final : public SlotAccess {
public:
    ArraySlots() : SlotAccess(&storage_, this, &Start) { values.fill(kEmptyValue); }
    ArraySlots(const ArraySlots& other) : SlotAccess(&storage_, this, &Start), values(other.values) {}
    ArraySlots& operator=(const ArraySlots& other) {
        values = other.values;
        return *this;
    }
    double& operator[](Slot slot) { return values[Index(slot) - 1]; }

    std::array<double, kSlotCount> values{};

private:
    static bool Start(void* self, const SlotImage& image) {
        static_cast<ArraySlots*>(self)->values = image;
        return true;
    }
    double* storage_ = values.data();
};

}  // namespace kestrol::testing_support
