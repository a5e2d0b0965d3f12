// The review's findings on the shell: its wall against the formulas that gave it and the plate
// it is made of, the pressure and temperature it is designed for, its weight and what the cost
// correlation makes of it. Internal to the review library; review.cpp calls these.
#pragma once

#include <functional>
#include <string>

#include "model/case_file.h"
#include "model/sizing_run.h"
#include "review/review.h"

namespace kestrol::review::mechanical {

/// Appends the mechanical findings of a sized case to `r`, in the order a report lists them.
void AddFindings(Review& r, const host::SizingCase& c, const host::SizingOutcome& o);

/// One sentence for a finding of a code AddFindings writes; `show` gives a value of the finding
/// by name, with its unit.
std::string Describe(const Finding& f, const std::function<std::string(const char*)>& show);

}  // namespace kestrol::review::mechanical
