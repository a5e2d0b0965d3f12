#include "host/mechanical_report.h"

#include <cctype>
#include <cmath>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "mechanical/design_conditions.h"
#include "mechanical/plate_grades.h"

namespace kestrol::host {
namespace {

using json = nlohmann::ordered_json;
namespace conditions = ::kestrol::mechanical;

constexpr const char* kNoGradeNote =
    "no plate grade applies to the material code (aluminium has none here): give material for the design at design conditions";
constexpr const char* kPastTableNote = "the design temperature lies above the plate grade's stress table: no wall at design conditions";
constexpr const char* kVacuumNote =
    "the vessel runs below atmospheric pressure and is designed for full vacuum (101.325 kPa external); the external-pressure "
    "calculation (ASME VIII-1 UG-28) is not done here";

json Value(double si, Quantity q, UnitSystem units) {
    if (!IsSetAndFinite(si)) return nullptr;
    json v = json::object();
    v["value"] = Convert(si, q, units);
    v["unit"] = UnitOf(q, units).symbol;
    return v;
}

std::string GradeWords(const conditions::Design& d) {
    const conditions::GradeData* g = conditions::DataOf(d.grade);
    return g ? PlateGradeKey(d.grade) : "";
}

/// What the weights hold of the nozzles, or why they leave them out.
std::string NozzlesNote(const conditions::NozzleWeights& n) {
    switch (n.gap) {
        case conditions::NozzleGap::None:
            return "the weights include the nozzles: schedule 40 necks over the API 650 projection, class " +
                   std::to_string(n.flangeClass) + " weld-neck flanges (B16.5 group 1.1)";
        case conditions::NozzleGap::NotSized: return "nozzle weights are not included: the nozzles are not sized for this case";
        case conditions::NozzleGap::DoesNotFit:
            return "nozzle weights are not included: a nozzle does not fit (no pipe of the table meets its limit, or it is wider than "
                   "half the shell)";
        case conditions::NozzleGap::NoFlangeGroup:
            return "nozzle weights are not included: flange ratings and masses are held for carbon steel (group 1.1) only";
        case conditions::NozzleGap::NoFlangeClass:
            return "nozzle weights are not included: no flange class up to 1500 holds the design pressure at the design temperature";
        case conditions::NozzleGap::NoFlangeMass:
            return "nozzle weights are not included: the flange table lists no mass for a nozzle's size (NPS 3 1/2, or above NPS 24)";
    }
    return "";
}

std::string InternalsNote(const conditions::InternalsWeight& w) {
    switch (w.gap) {
        case conditions::InternalsGap::None:
            return "the weights include a mesh pad (12 lb/ft3 across the section, its sized height thick or else 6 in); other internals are "
                   "not weighed";
        case conditions::InternalsGap::NoElement: return "no internals are weighed: the vessel has no mist eliminator";
        case conditions::InternalsGap::NotMesh: return "internals are not weighed: only a wire-mesh pad is";
        case conditions::InternalsGap::NotUpright: return "internals are not weighed: lying down, the pad's area follows its arrangement";
    }
    return "";
}

/// What the design at design conditions includes and leaves out, for a sized case.
std::vector<std::string> DesignNotes(const conditions::Design& d) {
    std::vector<std::string> notes;
    if (d.computed) {
        notes.push_back(NozzlesNote(d.nozzleWeights));
        notes.push_back(InternalsNote(d.internalsWeight));
    }
    if (d.grade == PlateGrade::Unset) notes.push_back(kNoGradeNote);
    if (d.grade != PlateGrade::Unset && IsEmpty(d.stressKpa)) notes.push_back(kPastTableNote);
    if (d.fullVacuum) notes.push_back(kVacuumNote);
    return notes;
}

std::string ShownNumber(double si, Quantity q, UnitSystem units) {
    if (!IsSetAndFinite(si)) return "-";
    return FormatNumber(Convert(si, q, units), UnitOf(q, units).digits);
}

/// One batch column: its name and its value in the column's SI unit.
struct Column {
    const char* name;
    const char* doc;
    double (*value)(const conditions::Design& d);
};
const Column kColumns[] = {
    {"design_pressure_kPa_used", "Design pressure, absolute [kPa]", [](const conditions::Design& d) { return d.designPressureKpa; }},
    {"design_temperature_C_used", "Design temperature (deg C)", [](const conditions::Design& d) { return d.designTemperatureC; }},
    {"design_shell_thickness_m", "Shell plate at design conditions [m]", [](const conditions::Design& d) { return d.shellThickness; }},
    {"design_head_thickness_m", "Head plate at design conditions [m]", [](const conditions::Design& d) { return d.headThickness; }},
    {"mawp_kPa", "MAWP of the plates at design conditions, absolute [kPa]", [](const conditions::Design& d) { return d.mawpKpa; }},
    {"hydrotest_pressure_kPa", "Hydrotest pressure, absolute [kPa]", [](const conditions::Design& d) { return d.hydrotestKpa; }},
    {"design_empty_weight_kg", "Empty weight at design conditions: shell, heads and the nozzles where they are weighed [kg]", [](const conditions::Design& d) { return d.weights.empty; }},
    {"design_operating_weight_kg", "Operating weight at design conditions: the empty weight and the liquid to the normal level [kg]", [](const conditions::Design& d) { return d.weights.operating; }},
    {"design_water_full_weight_kg", "Weight full of water at design conditions: the empty weight and the vessel full of water [kg]", [](const conditions::Design& d) { return d.weights.waterFull; }},
    {"design_vessel_cost_USD", "Vessel cost at design conditions, by the design's correlation [USD]", [](const conditions::Design& d) { return d.vesselCost; }},
};

static_assert(std::size(kColumns) == kMechanicalColumnCount, "the count the batch reserves");

}  // namespace

const std::vector<std::string>& MechanicalColumnNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const Column& column : kColumns) v.emplace_back(column.name);
        return v;
    }();
    return names;
}

const std::vector<std::string>& MechanicalAttributeDocs() {
    static const std::vector<std::string> docs = [] {
        std::vector<std::string> v;
        for (const Column& column : kColumns) v.push_back(std::string(column.doc) + "; None when not computed or not applicable.");
        return v;
    }();
    return docs;
}

const std::vector<std::string>& MechanicalAttributeNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const std::string& name : MechanicalColumnNames()) {
            const std::string used = "_used";
            const bool repeats = name.size() > used.size() && name.compare(name.size() - used.size(), used.size(), used) == 0;
            v.push_back(repeats ? name.substr(0, name.size() - used.size()) : name);
        }
        return v;
    }();
    return names;
}

const char* MechanicalCells(const SizingCase& c, const SizingOutcome& o, double* cells) {
    // A case that was not sized shows nothing at design conditions either, as its results do.
    const conditions::Design d = o.Sized() ? conditions::DesignAtConditions(c, o) : conditions::Design{};
    std::size_t i = 0;
    for (const Column& column : kColumns) {
        const double v = d.computed ? column.value(d) : kEmptyValue;
        cells[i++] = IsSetAndFinite(v) ? v : std::nan("");
    }
    return d.computed ? PlateGradeKey(d.grade) : "";
}

json MechanicalDesignJson(const SizingCase& c, const SizingOutcome& o, UnitSystem units) {
    const conditions::Design d = conditions::DesignAtConditions(c, o);
    const bool sized = o.Sized();
    json m = json::object();
    m["design_pressure"] = Value(d.designPressureKpa, Quantity::Pressure, units);
    m["design_temperature"] = Value(d.designTemperatureC, Quantity::Temperature, units);
    m["material"] = d.grade != PlateGrade::Unset ? json(GradeWords(d)) : json(nullptr);
    m["material_from_code"] = d.gradeFromMaterialCode;
    m["radiography"] = RadiographyKey(d.radiography);
    m["joint_efficiency"] = IsSetAndFinite(d.jointEfficiency) ? json(d.jointEfficiency) : json(nullptr);
    m["allowable_stress"] = Value(d.stressKpa, Quantity::Stress, units);
    m["corrosion_allowance"] = Value(d.corrosionAllowance, Quantity::Thickness, units);
    m["shell_thickness"] = Value(d.shellThickness, Quantity::Thickness, units);
    m["head_thickness"] = Value(d.headThickness, Quantity::Thickness, units);
    m["mawp"] = Value(d.mawpKpa, Quantity::Pressure, units);
    m["hydrotest_pressure"] = Value(d.hydrotestKpa, Quantity::Pressure, units);
    m["minimum_design_metal_temperature"] = Value(d.leastMetalTemperatureC, Quantity::Temperature, units);
    m["full_vacuum"] = d.fullVacuum;
    json w = json::object();
    w["shell"] = Value(d.weights.shell, Quantity::Mass, units);
    w["heads"] = Value(d.weights.heads, Quantity::Mass, units);
    w["nozzles"] = Value(d.weights.nozzles, Quantity::Mass, units);
    w["internals"] = Value(d.weights.internals, Quantity::Mass, units);
    w["empty"] = Value(d.weights.empty, Quantity::Mass, units);
    w["operating"] = Value(d.weights.operating, Quantity::Mass, units);
    w["water_full"] = Value(d.weights.waterFull, Quantity::Mass, units);
    m["weights"] = w;
    m["vessel_cost_at_design_conditions"] = Value(d.vesselCost, Quantity::Money, units);
    m["notes"] = sized ? DesignNotes(d) : std::vector<std::string>{};
    return m;
}

std::string MechanicalDesignText(const SizingCase& c, const SizingOutcome& o, UnitSystem units) {
    if (!o.Sized()) return {};
    const conditions::Design d = conditions::DesignAtConditions(c, o);
    std::ostringstream out;
    constexpr int kLabel = 26, kColumn = 14;
    const auto row = [&](const std::string& label, const std::string& operated, const std::string& atDesign, const std::string& unit) {
        std::string line = "  " + label;
        line.resize(kLabel, ' ');
        std::string a = operated, b = atDesign;
        if (a.size() < kColumn) a.insert(0, kColumn - a.size(), ' ');
        if (b.size() < kColumn) b.insert(0, kColumn - b.size(), ' ');
        out << line << a << b << (unit.empty() ? "" : " " + unit) << '\n';
    };
    const auto quantity = [&](const std::string& label, double operated, double atDesign, Quantity q) {
        row(label, ShownNumber(operated, q, units), ShownNumber(atDesign, q, units), UnitOf(q, units).symbol);
    };
    out << "\nMechanical design, as operated and at design conditions\n";
    // Labels of their own: the sections above already have a "Pressure" and a "Joint efficiency".
    row("", "as operated", "at design", "");
    quantity("Pressure for the wall", c.Get(kPressure), d.designPressureKpa, Quantity::Pressure);
    quantity("Temperature for the wall", c.Get(kTemperature), d.designTemperatureC, Quantity::Temperature);
    row("Plate material", MaterialName(o.At(Slot::MaterialCode)), d.grade != PlateGrade::Unset ? GradeWords(d) : "-", "");
    quantity("Allowable stress S", std::fabs(o.At(Slot::AllowableStress)), d.stressKpa, Quantity::Stress);
    row("Joint efficiency E", FormatNumber(std::fabs(o.At(Slot::JointEfficiency)), 2),
        IsSetAndFinite(d.jointEfficiency) ? FormatNumber(d.jointEfficiency, 2) : "-", "");
    row("Radiography", "-", RadiographyKey(d.radiography), "");
    quantity("Corrosion allowance CA", std::fabs(o.At(Slot::CorrosionAllowance)), d.corrosionAllowance, Quantity::Thickness);
    quantity("Shell wall", d.operatedWall, d.shellThickness, Quantity::Thickness);
    quantity("Head wall", d.operatedWall, d.headThickness, Quantity::Thickness);
    quantity("MAWP", kEmptyValue, d.mawpKpa, Quantity::Pressure);
    quantity("Hydrotest pressure", kEmptyValue, d.hydrotestKpa, Quantity::Pressure);
    quantity("Shell and heads weight", VesselWeight(o), IsEmpty(d.weights.shell) ? kEmptyValue : d.weights.shell + d.weights.heads, Quantity::Mass);
    if (d.nozzleWeights.computed) quantity("Nozzles weight", kEmptyValue, d.weights.nozzles, Quantity::Mass);
    if (d.internalsWeight.computed) quantity("Mesh pad weight", kEmptyValue, d.weights.internals, Quantity::Mass);
    quantity("Empty weight", kEmptyValue, d.weights.empty, Quantity::Mass);
    quantity("Operating weight", kEmptyValue, d.weights.operating, Quantity::Mass);
    quantity("Full of water", kEmptyValue, d.weights.waterFull, Quantity::Mass);
    quantity("Vessel cost", std::fabs(o.At(Slot::VesselCost)), d.vesselCost, Quantity::Money);
    // The JSON's notes, each as a sentence.
    for (std::string note : DesignNotes(d)) {
        note[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(note[0])));
        out << "  " << note << ".\n";
    }
    if (d.computed) out << "  The cost at design conditions prices the shell and heads by the design's own correlation.\n";
    return out.str();
}

}  // namespace kestrol::host
