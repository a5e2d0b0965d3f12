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

/// The unit of the cut sizes, which the text report writes in whole micrometres.
inline constexpr const char* kCutSizeUnit = "um";
inline constexpr int kCutSizeDigits = 0;
/// The unit of a nozzle's momentum and its limit, which the text report writes in whole pascals.
inline constexpr const char* kMomentumUnit = "Pa";
inline constexpr int kMomentumDigits = 0;

/// A nominal pipe size [in] as a pipe is named: "NPS 8", "NPS 1 1/2".
std::string NominalPipeSize(double inches);

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

namespace kestrol::host {

/// Where a drawing puts a nozzle: its service, the point on the shell it leaves from (`along`
/// the span the drawing runs across, at `height` above the bottom) [m], its inside diameter [m]
/// and which way it points (0 left, 1 up, 2 right, 3 down).
struct NozzlePlace {
    const char* label;
    double along;
    double height;
    double diameter;
    int direction;
};

/// The nozzles of a sized case as a drawing places them: upright, the inlet on the side above
/// the liquid, the vapour outlet at the top, the liquid outlets at the bottom (a light liquid
/// over a heavy one on the side, under its surface); lying down, the inlet and the vapour outlet
/// on top near either head, the liquid outlets below them. Empty when nothing is sized.
std::vector<NozzlePlace> NozzlePlaces(const SizingCase& c, const SizingOutcome& o);

}  // namespace kestrol::host
