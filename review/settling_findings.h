// The review's findings on droplet settling and nozzles: checks not made for want of a
// viscosity, cut sizes above their targets, a settling law used past its range, a mist
// eliminator loaded outside its window, and a nozzle too large for the shell. Internal to the
// review library; review.cpp calls these.
#pragma once

#include <functional>
#include <string>

#include "model/case_file.h"
#include "model/sizing_run.h"
#include "review/review.h"

namespace kestrol::review::settling {

/// Appends the settling and nozzle findings of a sized case to `r`.
void AddFindings(Review& r, const host::SizingCase& c, const host::SizingOutcome& o);

/// One sentence for a finding of a code AddFindings writes; `show` gives a value by name.
std::string Describe(const Finding& f, const std::function<std::string(const char*)>& show);

}  // namespace kestrol::review::settling
