// The mechanical design at design conditions in the reports: the JSON `mechanical_design`
// object and the text report's section that sets it beside the design as operated.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

namespace kestrol::host {

/// Every key always there: {"value", "unit"} or null, words or null.
nlohmann::ordered_json MechanicalDesignJson(const SizingCase& c, const SizingOutcome& o, UnitSystem units);

/// The text report's section, as operated beside at design conditions; empty when not sized.
std::string MechanicalDesignText(const SizingCase& c, const SizingOutcome& o, UnitSystem units);

}  // namespace kestrol::host
