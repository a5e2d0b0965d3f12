#include "review/mechanical_findings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "design/cost.h"
#include "design/presets.h"
#include "mechanical/design_conditions.h"
#include "mechanical/plate_grades.h"
#include "model/result_fields.h"
#include "review/outcome_slots.h"

namespace kestrol::review::mechanical {
namespace {

using host::Quantity;
using host::SizingCase;
using host::SizingOutcome;

namespace conditions = ::kestrol::mechanical;
using conditions::kAtmosphereKpa;
using conditions::kFullVacuumKpa;
using conditions::kThinWallRadiusShare;
using conditions::kThinWallStressShare;

/// Thickest plate [m] current practice furnishes in the common carbon-steel pressure-vessel
/// plate: 8 in [205 mm] for grades 60, 65 and 70 (ASTM A516/A516M-05e1, 1.3).
constexpr double kThickestPlate = 0.205;

using conditions::kCarbonSteelLeastF;
/// Above 800 deg F (427 deg C) the carbide phase of plain carbon steel may turn to graphite in
/// prolonged service (ASME B31.1 124.2.A, as 46 CFR 56.60-5(a) reproduces it) [deg F].
constexpr double kCarbonSteelGraphitizationF = 800.0;

/// What the wall formulas of the cost step take for this case.
struct WallBasis {
    double diameter = 0.0;    ///< [m]
    double wall = 0.0;        ///< as sized or given [m]
    double pressure = 0.0;    ///< operating, absolute [kPa]
    double stress = 0.0;      ///< allowable [kPa]; 0 when none
    double efficiency = 0.0;  ///< [-]
    double allowance = 0.0;   ///< corrosion [m]
    design::WallFormulas formulas;

    /// The wall the cost step forms at gauge pressure `psig`, rounded to sixteenths [m].
    double FormedAt(double psig) const { return design::ShellThickness(psig, diameter, efficiency, stress, allowance, formulas); }
};

WallBasis BasisOf(const SizingCase& c, const SizingOutcome& o, OutcomeSlots& slots) {
    WallBasis b;
    b.diameter = o.MagnitudeAt(Slot::Diameter);
    b.wall = o.MagnitudeAt(Slot::WallThickness);
    b.pressure = c.Get(host::kPressure);
    b.stress = o.MagnitudeAt(Slot::AllowableStress);
    b.efficiency = o.MagnitudeAt(Slot::JointEfficiency);
    b.allowance = o.MagnitudeAt(Slot::CorrosionAllowance);
    b.formulas = design::WallFormulasOf(slots);
    return b;
}

void WallFindings(Review& r, const WallBasis& b) {
    const double radius = 0.5 * b.diameter;
    const double halfRadius = kThinWallRadiusShare * radius;
    const double psig = design::GaugePressurePsig(b.pressure);
    const double limitPsig = kThinWallStressShare * b.efficiency * b.stress * design::kPsiPerKpa;
    const bool pastRadius = b.wall > halfRadius;
    const bool pastStress = b.stress > 0.0 && psig > limitPsig;
    if (pastRadius || pastStress) {
        Finding& w = r.Add(Code::WallBeyondRange, Severity::Warning);
        w.Add("wall_thickness", b.wall, Quantity::Thickness);
        w.Add("half_inside_radius", halfRadius, Quantity::Thickness);
        w.Add("operating_pressure", b.pressure, Quantity::Pressure);
        if (b.stress > 0.0) w.Add("thin_wall_pressure_limit", design::AbsolutePressureKpa(limitPsig), Quantity::Pressure);
    }
    if (b.wall > kThickestPlate) {
        Finding& w = r.Add(Code::WallThickerThanPlate, Severity::Warning);
        w.Add("wall_thickness", b.wall, Quantity::Thickness);
        w.Add("thickest_plate", kThickestPlate, Quantity::Thickness);
    }
}

void ExternalPressureFinding(Review& r, const WallBasis& b) {
    if (!(b.pressure < kAtmosphereKpa)) return;
    Finding& w = r.Add(Code::ExternalPressure, Severity::Warning);
    w.Add("pressure", b.pressure, Quantity::Pressure);
    w.Add("atmosphere", kAtmosphereKpa, Quantity::Pressure);
}

void RigidityFinding(Review& r, const WallBasis& b) {
    const double least = conditions::RigidityMinimum(b.diameter);
    if (!(b.wall > 0.0) || !(b.wall < least)) return;
    Finding& w = r.Add(Code::WallBelowRigidity, Severity::Warning);
    w.Add("wall_thickness", b.wall, Quantity::Thickness);
    w.Add("least_wall_for_rigidity", least, Quantity::Thickness);
    w.Add("inside_diameter", b.diameter, Quantity::Length);
}

// A given wall is held to what the cost step's formulas ask before they round to a plate: the
// rounding is a choice of stock, not a requirement.
void GivenWallFinding(Review& r, const SizingCase& c, const WallBasis& b) {
    if (!c.Gives(Slot::WallThickness) || !(b.stress > 0.0)) return;
    const double psig = design::GaugePressurePsig(b.pressure);
    const double required = design::RequiredWallThickness(psig, b.diameter, b.efficiency, b.stress, b.allowance, b.formulas);
    if (!IsSetAndFinite(required) || !(b.wall < required)) return;
    Finding& w = r.Add(Code::WallThinnerThanRequired, Severity::Warning);
    w.Add("wall_thickness", b.wall, Quantity::Thickness);
    w.Add("required_wall_thickness", required, Quantity::Thickness);
    w.Add("corrosion_allowance", b.allowance, Quantity::Thickness);
    w.Add("operating_pressure", b.pressure, Quantity::Pressure);
    w.Add("wall_thickness_as_formed", b.FormedAt(psig), Quantity::Thickness);
}

void TemperatureFinding(Review& r, const SizingCase& c, OutcomeSlots& slots) {
    const double temperature = c.Get(host::kTemperature);
    const double f = design::DesignTemperatureF(temperature);
    const bool carbonSteel = design::FamilyOf(slots) == design::MaterialFamily::CarbonSteel;
    const double top = design::StressTableTopF(slots);
    const bool cold = carbonSteel && f < kCarbonSteelLeastF;
    const bool graphitizing = carbonSteel && f > kCarbonSteelGraphitizationF;
    const bool pastTable = !IsEmpty(top) && f > top;
    if (!cold && !graphitizing && !pastTable) return;
    Finding& w = r.Add(Code::TemperatureOutsideMaterial, Severity::Warning);
    w.Add("temperature", temperature, Quantity::Temperature);
    if (cold) w.Add("least_temperature_without_impact_test", design::CelsiusOf(kCarbonSteelLeastF), Quantity::Temperature);
    if (graphitizing) w.Add("graphitization_temperature", design::CelsiusOf(kCarbonSteelGraphitizationF), Quantity::Temperature);
    if (pastTable) {
        w.Add("stress_table_top_temperature", design::CelsiusOf(top), Quantity::Temperature);
        w.Add("allowable_stress", design::AllowableStress(slots, f), Quantity::Stress);
    }
}

void DesignPressureFinding(Review& r, const SizingCase& c, const WallBasis& b) {
    if (b.pressure < kAtmosphereKpa) {
        Finding& n = r.Add(Code::DesignPressure, Severity::Note);
        n.Add("operating_pressure", b.pressure, Quantity::Pressure);
        n.Add("external_design_pressure", kFullVacuumKpa, Quantity::Stress);
        n.Add("wall_thickness", b.wall, Quantity::Thickness);
        return;
    }
    if (!(b.stress > 0.0)) return;
    const double operatingPsig = design::GaugePressurePsig(b.pressure);
    const double designPsig = conditions::DesignPressurePsig(operatingPsig);
    const double atDesign = b.FormedAt(designPsig);
    if (!IsSetAndFinite(atDesign)) return;
    Finding& n = r.Add(Code::DesignPressure, Severity::Note);
    n.Add("operating_pressure", b.pressure, Quantity::Pressure);
    n.Add("design_pressure", design::AbsolutePressureKpa(designPsig), Quantity::Pressure);
    n.Add("wall_thickness", b.wall, Quantity::Thickness);
    n.Add("wall_thickness_at_design_pressure", atDesign, Quantity::Thickness);
    if (c.Gives(Slot::WallThickness)) n.Add("wall_thickness_at_operating_pressure", b.FormedAt(operatingPsig), Quantity::Thickness);
}

void WeightFindings(Review& r, const SizingOutcome& o) {
    const double weight = host::VesselWeight(o);
    if (IsEmpty(weight)) return;
    Finding& n = r.Add(Code::WeightAndCost, Severity::Note);
    n.Add("vessel_weight", weight, Quantity::Mass);
    n.Add("cost_index", o.MagnitudeAt(Slot::CostIndex), Quantity::Plain);
    n.Add("vessel_cost", o.MagnitudeAt(Slot::VesselCost), Quantity::Money);

    // The cost step feeds the correlation the number of kilograms; the range is in the unit
    // the fit took, so a pound fit is held against that number as it stands.
    const design::CostFitRange fit = design::VesselCostFitRange(o.orientation == 0);
    if (!(weight < fit.least || weight > fit.most)) return;
    Finding& w = r.Add(Code::WeightOutsideCorrelation, Severity::Warning);
    w.Add("weight_fed_to_correlation", weight, Quantity::Plain);
    w.Add(fit.pounds ? "least_fitted_weight_lb" : "least_fitted_weight_kg", fit.least, Quantity::Plain);
    w.Add(fit.pounds ? "most_fitted_weight_lb" : "most_fitted_weight_kg", fit.most, Quantity::Plain);
}

// The findings of the design at design conditions, which never changes the object's own wall.
void DesignConditionFindings(Review& r, const SizingCase& c, const SizingOutcome& o) {
    const conditions::Design d = conditions::DesignAtConditions(c, o);
    if (!IsEmpty(d.leastMetalTemperatureC) && d.coldestMetalC < d.leastMetalTemperatureC) {
        Finding& w = r.Add(Code::BelowMinimumMetalTemperature, Severity::Warning);
        w.Add("coldest_metal_temperature", d.coldestMetalC, Quantity::Temperature);
        w.Add("minimum_design_metal_temperature", d.leastMetalTemperatureC, Quantity::Temperature);
    }
    if (!d.computed) return;
    const double wall = std::max(d.shellThickness, d.headThickness);
    if (d.operatedWall > 0.0 && d.operatedWall < wall) {
        Finding& w = r.Add(Code::WallThinnerThanDesign, Severity::Warning);
        w.Add("wall_thickness", d.operatedWall, Quantity::Thickness);
        w.Add("wall_thickness_at_design_conditions", wall, Quantity::Thickness);
        w.Add("thinner_by", wall - d.operatedWall, Quantity::Thickness);
        w.Add("design_pressure", d.designPressureKpa, Quantity::Pressure);
        w.Add("design_temperature", d.designTemperatureC, Quantity::Temperature);
    }
    if (d.pastRadius || d.pastStress) {
        Finding& w = r.Add(Code::DesignWallBeyondRange, Severity::Warning);
        w.Add("shell_thickness", d.shellThickness - d.corrosionAllowance, Quantity::Thickness);
        w.Add("half_inside_radius", kThinWallRadiusShare * 0.5 * o.MagnitudeAt(Slot::Diameter), Quantity::Thickness);
        w.Add("design_pressure", d.designPressureKpa, Quantity::Pressure);
        w.Add("thin_wall_pressure_limit", d.thinWallLimitKpa, Quantity::Pressure);
    }
}

std::string DesignBeyondRangeText(const Finding& f, const std::function<std::string(const char*)>& show) {
    std::string past;
    if (f.Get("shell_thickness") > f.Get("half_inside_radius"))
        past = "a shell plate of " + show("shell_thickness") + " (corrosion allowance off), more than half the inside radius (" +
               show("half_inside_radius") + ")";
    if (f.Get("design_pressure") > f.Get("thin_wall_pressure_limit"))
        past += (past.empty() ? "" : ", and ") + std::string("a design pressure of ") + show("design_pressure") + ", above the " +
                show("thin_wall_pressure_limit") + " (0.385 S E)";
    if (past.empty()) past = "a pressure no thin wall holds";
    return "At design conditions the wall formulas give " + past +
           ": past the limits of ASME VIII-1 UG-27(c)(1); the thick-wall formulas of its Appendix 1-2 apply.";
}

std::string Number(double v) { return host::FormatNumber(v, 0); }

std::string WallBeyondRangeText(const Finding& f, const std::function<std::string(const char*)>& show) {
    std::string past;
    if (f.Get("wall_thickness") > f.Get("half_inside_radius"))
        past = "is more than half the inside radius (" + show("half_inside_radius") + ")";
    if (f.Has("thin_wall_pressure_limit") && f.Get("operating_pressure") > f.Get("thin_wall_pressure_limit"))
        past += (past.empty() ? "" : " and ") + std::string("stands at an operating pressure of ") + show("operating_pressure") +
                ", above the " + show("thin_wall_pressure_limit") + " (0.385 S E)";
    return "The wall of " + show("wall_thickness") + " " + past +
           ": past the limits of the thin-wall shell formula (ASME VIII-1 UG-27(c)(1)); the thick-wall formulas of its "
           "Appendix 1-2 apply.";
}

std::string TemperatureText(const Finding& f, const std::function<std::string(const char*)>& show) {
    std::string limits;
    const auto also = [&limits](const std::string& part) { limits += (limits.empty() ? "" : "; and ") + part; };
    if (f.Has("least_temperature_without_impact_test"))
        also("below the " + show("least_temperature_without_impact_test") +
             " down to which carbon-steel plate is used without impact testing (ASME VIII-1 UG-20(f))");
    if (f.Has("graphitization_temperature"))
        also("above the " + show("graphitization_temperature") + " over which carbon steel may graphitize in long service (ASME B31.1 124.2)");
    if (f.Has("stress_table_top_temperature"))
        also("above the " + show("stress_table_top_temperature") + " where the material's stress table ends, so the wall takes its last row, " +
             show("allowable_stress") + ", for any hotter temperature");
    return "The temperature of " + show("temperature") + " is " + limits + ".";
}

std::string WeightOutsideText(const Finding& f) {
    const std::string fed = Number(f.Get("weight_fed_to_correlation"));
    if (f.Has("least_fitted_weight_kg"))
        return "The horizontal cost correlation takes the weight in kg and was fitted for " + Number(f.Get("least_fitted_weight_kg")) +
               " to " + Number(f.Get("most_fitted_weight_kg")) + " kg; the vessel weighs " + fed + " kg, so its cost is an extrapolation.";
    return "The vertical cost correlation is held to the " + Number(f.Get("least_fitted_weight_lb")) + " to " +
           Number(f.Get("most_fitted_weight_lb")) +
           " lb of the published vertical fit (its own source is not established); the cost step feeds it " + fed +
           ", the weight in kg, which lies outside that range.";
}

std::string DesignPressureText(const Finding& f, const std::function<std::string(const char*)>& show) {
    if (f.Has("external_design_pressure"))
        return "The vessel runs under vacuum (" + show("operating_pressure") + "), so its design case is full vacuum, " +
               show("external_design_pressure") + " of external pressure on the shell; the wall of " + show("wall_thickness") +
               " comes from the internal-pressure formula, and the external-pressure rules (ASME VIII-1 UG-28) decide it.";
    if (f.Has("wall_thickness_at_operating_pressure"))
        return "The design block gives a wall of " + show("wall_thickness") +
               "; rounded up to whole sixteenths of an inch, the wall formula gives " + show("wall_thickness_at_operating_pressure") + " at the operating pressure of " + show("operating_pressure") + " and " +
               show("wall_thickness_at_design_pressure") + " at a design pressure of " + show("design_pressure") + ".";
    return "The wall is computed at the operating pressure of " + show("operating_pressure") + " (" + show("wall_thickness") +
           "); at a design pressure of " + show("design_pressure") + ", by the same formula and allowable stress, it would be " + show("wall_thickness_at_design_pressure") + ".";
}

}  // namespace

void AddFindings(Review& r, const SizingCase& c, const SizingOutcome& o) {
    OutcomeSlots slots(o);
    const WallBasis basis = BasisOf(c, o, slots);
    WallFindings(r, basis);
    ExternalPressureFinding(r, basis);
    RigidityFinding(r, basis);
    GivenWallFinding(r, c, basis);
    TemperatureFinding(r, c, slots);
    DesignPressureFinding(r, c, basis);
    WeightFindings(r, o);
    DesignConditionFindings(r, c, o);
}

std::string Describe(const Finding& f, const std::function<std::string(const char*)>& show) {
    switch (f.code) {
        case Code::WallBeyondRange: return WallBeyondRangeText(f, show);
        case Code::WallThickerThanPlate:
            return "The wall of " + show("wall_thickness") + " is thicker than the " + show("thickest_plate") +
                   " to which current practice limits carbon-steel pressure-vessel plate (ASTM A516, grades 60 to 70).";
        case Code::ExternalPressure:
            return "The operating pressure of " + show("pressure") +
                   " is below atmospheric: the wall formula covers internal pressure only, so the shell needs an "
                   "external-pressure check.";
        case Code::WallBelowRigidity:
            return "The wall of " + show("wall_thickness") + " is thinner than the " + show("least_wall_for_rigidity") +
                   " commonly asked for rigidity at a diameter of " + show("inside_diameter") + " (corrosion allowance included).";
        case Code::WallThinnerThanRequired:
            return "The given wall of " + show("wall_thickness") + " is thinner than the " + show("required_wall_thickness") +
                   " the wall formula asks at the operating pressure of " + show("operating_pressure") + ", corrosion allowance of " +
                   show("corrosion_allowance") + " included (the cost step would round it up to " + show("wall_thickness_as_formed") + ").";
        case Code::TemperatureOutsideMaterial: return TemperatureText(f, show);
        case Code::WeightOutsideCorrelation: return WeightOutsideText(f);
        case Code::DesignPressure: return DesignPressureText(f, show);
        case Code::WeightAndCost:
            return "The vessel cost of " + show("vessel_cost") + " comes from a vessel weight of " + show("vessel_weight") +
                   ", at a cost index of " + host::FormatNumber(f.Get("cost_index"), 1) + ".";
        case Code::WallThinnerThanDesign:
            return "The wall of " + show("wall_thickness") + " (at the operating pressure) is " + show("thinner_by") + " thinner than the " +
                   show("wall_thickness_at_design_conditions") + " plate at design conditions (" + show("design_pressure") + ", " +
                   show("design_temperature") + ").";
        case Code::DesignWallBeyondRange: return DesignBeyondRangeText(f, show);
        case Code::BelowMinimumMetalTemperature:
            return "The metal may run at " + show("coldest_metal_temperature") + ", below the " + show("minimum_design_metal_temperature") +
                   " down to which the plate grade is used without impact testing (ASME VIII-1 UG-20(f), UHA-51(d)); choose an "
                   "impact-tested grade.";
        default: break;
    }
    return {};
}

}  // namespace kestrol::review::mechanical
