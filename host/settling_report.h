// The settling checks and the nozzles in the outputs: the text report's "Settling" and
// "Nozzles" sections and the JSON report's `settling` and `nozzles`.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

namespace kestrol::host {

/// The "Settling" and "Nozzles" sections of the text report; empty for a case not sized.
std::string SettlingText(const SizingCase& c, const SizingOutcome& o, UnitSystem units);

/// `settling`: {"vapour_cut_size", "vapour_target", "heavy_in_light_cut_size",
/// "light_in_heavy_cut_size"} each {"value", "unit": "um"} or null, and "drag_regime".
nlohmann::ordered_json SettlingJson(const SizingCase& c, const SizingOutcome& o);

/// `nozzles`: one object per service; empty for a case not sized.
nlohmann::ordered_json NozzlesJson(const SizingCase& c, const SizingOutcome& o, UnitSystem units);

}  // namespace kestrol::host

namespace kestrol::host {

/// Number of those columns.
inline constexpr std::size_t kSettlingColumnCount = 7;

/// The batch's settling and nozzle columns, after the results: each cut size [um] and each
/// nozzle's nominal size [in].
const std::vector<std::string>& SettlingColumnNames();

/// The cells of those columns for a row, NaN where not computed (a case not sized, a check
/// without its viscosity, a phase the case has not, a nozzle no pipe of the table meets).
void SettlingCells(const SizingCase& c, const SizingOutcome& o, double* cells);

}  // namespace kestrol::host
