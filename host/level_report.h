// The level set points in every output: the text report's rows, the JSON report's `levels` and
// `level_times`, the batch's columns and the drawing's lines, all from process::LevelsOf.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

namespace kestrol::host {

/// One row of the text report's "Levels" section.
struct LevelRow {
    std::string label;
    double si;  ///< kEmptyValue for "not computed"
    Quantity quantity;
    std::string note;
};

/// The set points, top down, then the volumes and times of the stretches between them; empty
/// when the case was not sized.
std::vector<LevelRow> LevelRows(const SizingCase& c, const SizingOutcome& o);

/// The JSON report's "levels" ({"HHLL", ...} each {"value", "unit"} or null) and
/// "level_times" ({"holdup", ...} each {"value", "unit"} or null).
nlohmann::ordered_json LevelsJson(const SizingCase& c, const SizingOutcome& o, UnitSystem units);
nlohmann::ordered_json LevelTimesJson(const SizingCase& c, const SizingOutcome& o, UnitSystem units);

/// The batch's level columns, after the review's: a height per set point, then the times.
inline constexpr std::size_t kLevelColumnCount = 12;
const std::array<const char*, kLevelColumnCount>& LevelColumnNames();

/// A level column's name without the suffix that marks a result repeating an input: the
/// attribute a Python `Sizing` gives it by, e.g. "hhll_m", "surge_time_s".
std::string LevelAttributeName(const std::string& column);
/// One line for that attribute: what it is, its unit, and when it is None.
std::string LevelAttributeDoc(const std::string& column);

/// The cells of those columns in SI units; NaN where a cell is empty.
std::array<double, kLevelColumnCount> LevelCells(const SizingCase& c, const SizingOutcome& o);

/// A set point as the drawing shows it.
struct LevelLine {
    double height;  ///< [m]
    std::string label;
    bool interface;  ///< drawn in the heavy liquid's colour
};
std::vector<LevelLine> LevelLines(const SizingCase& c, const SizingOutcome& o);

}  // namespace kestrol::host
