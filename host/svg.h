// A to-scale sketch of a sized vessel as SVG: shell and 2:1 heads, the liquid bands, the
// minimum level, the vapour space and dimension lines with their values.
#pragma once

#include <string>

#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

namespace kestrol::host {

/// The drawing of a sized vessel; throws InputError when the outcome has no vessel to draw.
std::string VesselSvg(const SizingCase& c, const SizingOutcome& outcome, UnitSystem units);

}  // namespace kestrol::host
