// A vector of 39 slots in plain memory, with the object's write rule (1 to 38 only).
#pragma once

#include <array>

#include "core/slots.h"

namespace kestrol::testing_support {

class ArraySlots final : public SlotAccess {
public:
    ArraySlots() { values.fill(kEmptyValue); }
    double Get(Slot slot) override { return values[Index(slot) - 1]; }
    void Set(Slot slot, double value) override {
        if (Index(slot) <= kLastWritableSlot) values[Index(slot) - 1] = value;
    }
    bool AllocValues(int) override {
        values.fill(kEmptyValue);
        return true;
    }
    double& operator[](Slot slot) { return values[Index(slot) - 1]; }

    std::array<double, kSlotCount> values{};
};

}  // namespace kestrol::testing_support
