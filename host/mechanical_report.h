// The mechanical design at design conditions in the reports: the JSON `mechanical_design`
// object and the text report's section that sets it beside the design as operated.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

namespace kestrol::host {

/// The batch's columns of the design at design conditions, after the results: SI units in their
/// names, "_used" where a column repeats an input key.
const std::vector<std::string>& MechanicalColumnNames();
inline constexpr std::size_t kMechanicalColumnCount = 10;
/// The `Sizing` attribute of each column: its name without "_used".
const std::vector<std::string>& MechanicalAttributeNames();
/// What each attribute holds, its unit in brackets.
const std::vector<std::string>& MechanicalAttributeDocs();
/// The group's one text column, after the numbers: the plate grade the design at design
/// conditions used, as the JSON's `mechanical_design.material` names it.
inline constexpr const char* kDesignMaterialColumn = "design_material_used";
/// Its `Sizing` attribute, named as the others are: without "_used".
inline constexpr const char* kDesignMaterialAttribute = "design_material";
/// The cells of the number columns, NaN where not computed (`cells` holds
/// MechanicalColumnNames().size()), from one design at design conditions; returns the text
/// column's cell: the grade's key, or "" where the design was not computed (as the numbers are
/// then empty). A string constant, so that a caller may tell the words apart by address.
const char* MechanicalCells(const SizingCase& c, const SizingOutcome& o, double* cells);

/// Every key always there: {"value", "unit"} or null, words or null.
nlohmann::ordered_json MechanicalDesignJson(const SizingCase& c, const SizingOutcome& o, UnitSystem units);

/// The text report's section, as operated beside at design conditions; empty when not sized.
std::string MechanicalDesignText(const SizingCase& c, const SizingOutcome& o, UnitSystem units);

}  // namespace kestrol::host
