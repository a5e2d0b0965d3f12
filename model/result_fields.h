// What the host reports about a sized vessel: one row per result, grouped as an engineer reads
// them, with the unit each is shown in. The text report, the JSON report and the CSV batch
// all walk this one table.
#pragma once

#include <cstddef>
#include <string>

#include "model/case_file.h"
#include "model/sizing_run.h"

namespace kestrol::host {

enum class UnitSystem { SI, US };

enum class Quantity { Length, Thickness, Time, Velocity, Stress, Density, Money, Plain, Material, Pressure, Temperature, MassFlow, Mass, Volume };

enum class Group { Vessel, Liquids, Vapour, Mechanical, Cost };

/// When a row means something for the vessel at hand.
enum class Shown { Always, Vertical, Horizontal, HeavyLiquid };

struct ResultField {
    Group group;
    const char* key;    ///< words joined by '_', as in JSON and CSV
    const char* label;  ///< as in the text report
    int index;          ///< SizingOutcome::values index (a slot, or kHoldupIndex), or kVesselWeightIndex
    Quantity quantity;
    Shown shown;
    /// Set before the path runs (a preset option or a given value): it still means something
    /// when the vessel could not be sized. Dimensions, levels, times, wall and costs do not.
    bool basis;
};

/// Index of the vessel weight among the fields, past the outcome's values: no slot holds it, so
/// FieldValue works it out from the sized slots by the cost step's own formula.
inline constexpr int kVesselWeightIndex = kHoldupIndex + 1;

struct ResultTable {
    const ResultField* rows;
    std::size_t count;
    const ResultField* begin() const { return rows; }
    const ResultField* end() const { return rows + count; }
};
ResultTable ResultFields();

/// The field's value as the sizing left it (fixed values negative), or kEmptyValue. Every
/// output reads a field through this, so that a derived field has one rule for all of them.
double FieldValue(const ResultField& f, const SizingOutcome& outcome);

/// The weight the cost step priced [kg]: design::VesselWeight over the magnitudes of the
/// diameter, length, head length factor, material density and wall as the step left them. kEmptyValue when one of them is empty or not a
/// number, or the weight is not positive: no weight the step priced (the presets always fill the head length factor).
double VesselWeight(const SizingOutcome& outcome);

const char* GroupKey(Group g);
const char* GroupTitle(Group g);

/// Whether the row applies to this case and orientation (0 vertical, 1 horizontal).
bool Applies(const ResultField& f, const SizingCase& c, int orientation);

/// Whether the value is reported as a result: it applies, is a number, and the vessel was sized
/// or the value is part of the design basis. Otherwise text shows "-", JSON null, CSV nothing.
bool Reported(const ResultField& f, const SizingCase& c, const SizingOutcome& outcome);
/// The same with outcome.Sized() already known, for callers that walk every field.
bool Reported(const ResultField& f, const SizingCase& c, const SizingOutcome& outcome, bool sized);

/// The label, with "height" for a vertical vessel's overall length.
std::string Label(const ResultField& f, int orientation);

struct Unit {
    const char* symbol;  ///< as printed; empty for plain numbers
    double scale;        ///< shown = value * scale + offset
    double offset;
    int digits;          ///< after the decimal point in the text report
};
Unit UnitOf(Quantity q, UnitSystem system);

/// The value in the reporting unit (magnitude first: fixed values are stored negative).
double Convert(double siValue, Quantity q, UnitSystem system);

/// A number with its digits and thousands separators, e.g. "12,564".
std::string FormatNumber(double value, int digits);

/// The material code in words, e.g. "1 (carbon steel)".
std::string MaterialName(double code);

}  // namespace kestrol::host
