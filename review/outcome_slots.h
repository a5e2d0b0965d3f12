// What the review's findings share to read a finished sizing: the sized vector as slots for the
// calculations that take their options from slots, and a slot's magnitude.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

#include "core/slots.h"
#include "model/sizing_run.h"

namespace kestrol::review {

/// A copy of the sized vector, with a diameter of its own when one is given; what the
/// calculations write stays in the copy.
class OutcomeSlots final : public SlotAccess {
public:
    explicit OutcomeSlots(const host::SizingOutcome& o, double diameter = kEmptyValue) : SlotAccess(&storage_, this, &NoAllocation) {
        std::copy(o.values.begin() + 1, o.values.begin() + 1 + kSlotCount, values_.begin());
        if (!IsEmpty(diameter)) values_[static_cast<std::size_t>(Index(Slot::Diameter) - 1)] = diameter;
    }

private:
    static bool NoAllocation(void*, const SlotImage&) { return false; }
    std::array<double, kSlotCount> values_{};
    double* storage_ = values_.data();
};

}  // namespace kestrol::review
