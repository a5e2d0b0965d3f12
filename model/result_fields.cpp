#include "model/result_fields.h"

#include <cmath>
#include <cstdio>
#include <iterator>

#include "design/cost.h"

namespace kestrol::host {
namespace {

constexpr int SlotIndex(Slot s) { return Index(s); }

const ResultField kFields[] = {
    {Group::Vessel, "inside_diameter", "Inside diameter", SlotIndex(Slot::Diameter), Quantity::Length, Shown::Always, false},
    {Group::Vessel, "overall_length", "Overall length", SlotIndex(Slot::OverallLength), Quantity::Length, Shown::Always, false},
    {Group::Vessel, "length_to_diameter_ratio", "T/T length / diameter", SlotIndex(Slot::Ratio), Quantity::Plain, Shown::Always, false},
    {Group::Liquids, "heavy_liquid_level", "Heavy liquid level", SlotIndex(Slot::HeavyLevel), Quantity::Length, Shown::HeavyLiquid, false},
    {Group::Liquids, "light_liquid_layer", "Light liquid layer", SlotIndex(Slot::LightLayerThickness), Quantity::Length, Shown::Always, false},
    {Group::Liquids, "light_liquid_residence_time", "Light liquid residence", SlotIndex(Slot::LightResidenceTime), Quantity::Time, Shown::Always, false},
    {Group::Liquids, "heavy_liquid_residence_time", "Heavy liquid residence", SlotIndex(Slot::HeavyResidenceTime), Quantity::Time, Shown::HeavyLiquid, false},
    {Group::Liquids, "minimum_liquid_level", "Minimum liquid level", SlotIndex(Slot::MinimumLevel), Quantity::Length, Shown::Always, false},
    {Group::Liquids, "holdup_time_below_minimum_level", "Hold-up below minimum", kHoldupIndex, Quantity::Time, Shown::Always, false},
    {Group::Vapour, "allowable_vapour_velocity", "Allowable velocity", SlotIndex(Slot::VapourVelocity), Quantity::Velocity, Shown::Always, true},
    {Group::Vapour, "vapour_space_allowance", "Vapour space allowance", SlotIndex(Slot::VapourAllowance), Quantity::Length, Shown::Vertical, true},
    {Group::Vapour, "disengagement_height", "Disengagement height", SlotIndex(Slot::DisengagementHeight), Quantity::Length, Shown::Vertical, false},
    {Group::Vapour, "mist_eliminator_height", "Mist eliminator height", SlotIndex(Slot::MistEliminatorHeight), Quantity::Length, Shown::Always, true},
    {Group::Vapour, "second_vapour_space_allowance", "Second allowance", SlotIndex(Slot::SecondVapourAllowance), Quantity::Length, Shown::Vertical, true},
    {Group::Vapour, "vapour_space_height", "Vapour space height", SlotIndex(Slot::VapourSpaceHeight), Quantity::Length, Shown::Horizontal, false},
    {Group::Mechanical, "material", "Material", SlotIndex(Slot::MaterialCode), Quantity::Material, Shown::Always, true},
    {Group::Mechanical, "allowable_stress", "Allowable stress", SlotIndex(Slot::AllowableStress), Quantity::Stress, Shown::Always, true},
    {Group::Mechanical, "material_density", "Material density", SlotIndex(Slot::MaterialDensity), Quantity::Density, Shown::Always, true},
    {Group::Mechanical, "corrosion_allowance", "Corrosion allowance", SlotIndex(Slot::CorrosionAllowance), Quantity::Thickness, Shown::Always, true},
    {Group::Mechanical, "joint_efficiency", "Joint efficiency", SlotIndex(Slot::JointEfficiency), Quantity::Plain, Shown::Always, true},
    {Group::Mechanical, "wall_thickness", "Wall thickness", SlotIndex(Slot::WallThickness), Quantity::Thickness, Shown::Always, false},
    {Group::Mechanical, "vessel_weight", "Vessel weight", kVesselWeightIndex, Quantity::Mass, Shown::Always, false},
    {Group::Cost, "vessel_cost", "Vessel", SlotIndex(Slot::VesselCost), Quantity::Money, Shown::Always, false},
    {Group::Cost, "platforms_and_ladders_cost", "Platforms and ladders", SlotIndex(Slot::PlatformCost), Quantity::Money, Shown::Always, false},
    {Group::Cost, "total_cost", "Total", SlotIndex(Slot::TotalCost), Quantity::Money, Shown::Always, false},
    {Group::Cost, "cost_index", "Cost index", SlotIndex(Slot::CostIndex), Quantity::Plain, Shown::Always, true},
};

/// [ft/m] and [lb/kg] exact; inches, psi and the atmosphere as the cost step takes them.
constexpr double kFeetPerMetre = 1.0 / 0.3048;
constexpr double kPoundsPerKilogram = 1.0 / 0.45359237;
using design::kAtmospherePsi;
using design::kInchesPerMetre;
using design::kPsiPerKpa;
constexpr double kPoundsPerCubicFootPerKgPerCubicMetre = kPoundsPerKilogram / (kFeetPerMetre * kFeetPerMetre * kFeetPerMetre);

}  // namespace

ResultTable ResultFields() { return {kFields, std::size(kFields)}; }

double VesselWeight(const SizingOutcome& o) {
    const Slot used[] = {Slot::Diameter, Slot::OverallLength, Slot::HeadLengthFactor, Slot::MaterialDensity, Slot::WallThickness};
    for (const Slot s : used)
        if (!IsSetAndFinite(o.At(s))) return kEmptyValue;
    const auto magnitude = [&o](Slot s) { return std::fabs(o.At(s)); };
    const double weight = design::VesselWeight(magnitude(Slot::Diameter), magnitude(Slot::OverallLength), magnitude(Slot::HeadLengthFactor),
                                               magnitude(Slot::MaterialDensity), magnitude(Slot::WallThickness));
    return std::isfinite(weight) && weight > 0.0 ? weight : kEmptyValue;
}

double FieldValue(const ResultField& f, const SizingOutcome& o) {
    if (f.index == kVesselWeightIndex) return VesselWeight(o);
    return o.values[static_cast<std::size_t>(f.index)];
}

const char* GroupKey(Group g) {
    switch (g) {
        case Group::Vessel: return "vessel";
        case Group::Liquids: return "liquids";
        case Group::Vapour: return "vapour";
        case Group::Mechanical: return "mechanical";
        case Group::Cost: return "cost";
    }
    return "";
}

const char* GroupTitle(Group g) {
    switch (g) {
        case Group::Vessel: return "Vessel";
        case Group::Liquids: return "Liquids";
        case Group::Vapour: return "Vapour";
        case Group::Mechanical: return "Mechanical";
        case Group::Cost: return "Cost";
    }
    return "";
}

bool Applies(const ResultField& f, const SizingCase& c, int orientation) {
    switch (f.shown) {
        case Shown::Always: return true;
        case Shown::Vertical: return orientation == 0;
        case Shown::Horizontal: return orientation == 1;
        case Shown::HeavyLiquid: return c.HasHeavyLiquid();
    }
    return true;
}

bool Reported(const ResultField& f, const SizingCase& c, const SizingOutcome& o, bool sized) {
    const double v = FieldValue(f, o);
    if (o.result != S_OK || o.Refused() || !Applies(f, c, o.orientation) || !IsSetAndFinite(v)) return false;
    // A velocity the correlation does not define is the reason for the failure, not its basis.
    if (f.index == Index(Slot::VapourVelocity) && o.VelocityUndefined()) return false;
    return sized || f.basis || IsGivenValue(c, o, f.index);
}

bool Reported(const ResultField& f, const SizingCase& c, const SizingOutcome& o) { return Reported(f, c, o, o.Sized()); }

std::string Label(const ResultField& f, int orientation) {
    if (f.index == Index(Slot::OverallLength) && orientation == 0) return "Overall height";
    if (f.index == Index(Slot::Ratio) && orientation == 0) return "T/T height / diameter";
    return f.label;
}

Unit UnitOf(Quantity q, UnitSystem system) {
    const bool us = system == UnitSystem::US;
    switch (q) {
        case Quantity::Length: return us ? Unit{"ft", kFeetPerMetre, 0.0, 2} : Unit{"m", 1.0, 0.0, 3};
        case Quantity::Thickness: return us ? Unit{"in", kInchesPerMetre, 0.0, 3} : Unit{"mm", 1000.0, 0.0, 1};
        case Quantity::Time: return {"s", 1.0, 0.0, 0};
        case Quantity::Velocity: return us ? Unit{"ft/s", kFeetPerMetre, 0.0, 2} : Unit{"m/s", 1.0, 0.0, 3};
        case Quantity::Stress: return us ? Unit{"psi", kPsiPerKpa, 0.0, 0} : Unit{"kPa", 1.0, 0.0, 0};
        case Quantity::Density: return us ? Unit{"lb/ft3", kPoundsPerCubicFootPerKgPerCubicMetre, 0.0, 2} : Unit{"kg/m3", 1.0, 0.0, 1};
        case Quantity::Money: return {"USD", 1.0, 0.0, 0};
        case Quantity::Plain: return {"", 1.0, 0.0, 2};
        case Quantity::Material: return {"", 1.0, 0.0, 0};
        case Quantity::Pressure: return us ? Unit{"psig", kPsiPerKpa, -kAtmospherePsi, 1} : Unit{"kPa abs", 1.0, 0.0, 0};
        case Quantity::Temperature: return us ? Unit{"deg F", 1.8, 32.0, 1} : Unit{"deg C", 1.0, 0.0, 1};
        case Quantity::MassFlow: return us ? Unit{"lb/h", kPoundsPerKilogram, 0.0, 0} : Unit{"kg/h", 1.0, 0.0, 0};
        case Quantity::Mass: return us ? Unit{"lb", kPoundsPerKilogram, 0.0, 0} : Unit{"kg", 1.0, 0.0, 0};
        case Quantity::Volume: return us ? Unit{"ft3", kFeetPerMetre * kFeetPerMetre * kFeetPerMetre, 0.0, 1} : Unit{"m3", 1.0, 0.0, 2};
    }
    return {"", 1.0, 0.0, 3};
}

double Convert(double siValue, Quantity q, UnitSystem system) {
    const Unit unit = UnitOf(q, system);
    // Pressure and temperature are signed quantities; every sized result is a magnitude.
    const bool signedQuantity = q == Quantity::Pressure || q == Quantity::Temperature;
    const double v = signedQuantity ? siValue : std::fabs(siValue);
    return v * unit.scale + unit.offset;
}

std::string FormatNumber(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    std::string plain = text;
    const std::size_t start = plain[0] == '-' ? 1 : 0;
    std::size_t point = plain.find('.');
    if (point == std::string::npos) point = plain.size();
    for (std::size_t at = point; at > start + 3; at -= 3) plain.insert(at - 3, ",");
    return plain;
}

std::string MaterialName(double code) {
    const int n = static_cast<int>(std::fabs(code));
    switch (n) {
        case 1:
        case 5: return std::to_string(n) + " (carbon steel)";
        case 2:
        case 3: return std::to_string(n) + " (stainless steel)";
        case 4: return std::to_string(n) + " (aluminium)";
        default: return std::to_string(n) + " (unknown)";
    }
}

}  // namespace kestrol::host
