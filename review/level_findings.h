// The review's findings on the level set points: a ladder that does not fit the vessel. Internal
// to the review library; review.cpp calls these.
#pragma once

#include <functional>
#include <string>

#include "model/case_file.h"
#include "model/sizing_run.h"
#include "review/review.h"

namespace kestrol::review::levels {

/// Appends the findings on the ladder of a sized case to `r`.
void AddFindings(Review& r, const host::SizingCase& c, const host::SizingOutcome& o);

/// One sentence for a finding of a code AddFindings writes; `show` gives a value by name, with
/// its unit.
std::string Describe(const Finding& f, const std::function<std::string(const char*)>& show);

}  // namespace kestrol::review::levels
