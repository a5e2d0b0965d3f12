// The report of one sized case: aligned text for a terminal, or the same content as one JSON
// object.
#pragma once

#include <string>

#include "host/case_file.h"
#include "host/result_fields.h"
#include "host/sizing_run.h"

namespace kestrol::host {

/// Text report; `source` names the case file in the heading.
std::string TextReport(const SizingCase& c, const SizingOutcome& outcome, UnitSystem units, const std::string& source);

/// The same as one JSON object (pretty-printed): field names in words, each number as
/// {"value": ..., "unit": ...}.
std::string JsonReport(const SizingCase& c, const SizingOutcome& outcome, UnitSystem units, const std::string& source);

}  // namespace kestrol::host
