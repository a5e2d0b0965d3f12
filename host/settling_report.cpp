#include "host/settling_report.h"

#include <cmath>
#include <iterator>

#include "process/nozzles.h"
#include "process/settling.h"

namespace kestrol::host {
namespace {

using json = nlohmann::ordered_json;

constexpr double kMicrometresPerMetre = 1e6;
/// Columns of the text report, as host/report.cpp lays them out.
constexpr std::size_t kLabelWidth = 28;

std::string Row(const std::string& label, const std::string& value) {
    std::string line = "  " + label;
    if (line.size() < kLabelWidth) line.append(kLabelWidth - line.size(), ' ');
    return line + value + "\n";
}

std::string WithUnits(double si, Quantity q, UnitSystem units) {
    const Unit unit = UnitOf(q, units);
    std::string text = FormatNumber(Convert(si, q, units), unit.digits);
    if (unit.symbol[0] != '\0') text += std::string(" ") + unit.symbol;
    return text;
}

std::string Micrometres(double metres) { return FormatNumber(metres * kMicrometresPerMetre, kCutSizeDigits) + " " + kCutSizeUnit; }

std::string Pascals(double pa) { return FormatNumber(pa, kMomentumDigits) + " " + kMomentumUnit; }


json Micro(const process::DropletCheck& d, double value) {
    if (!d.made) return nullptr;
    json v = json::object();
    v["value"] = value * kMicrometresPerMetre;
    v["unit"] = kCutSizeUnit;
    return v;
}

json WithUnit(double value, const char* unit) {
    json v = json::object();
    v["value"] = value;
    v["unit"] = unit;
    return v;
}

json InUnits(double si, Quantity q, UnitSystem units) {
    json v = json::object();
    v["value"] = Convert(si, q, units);
    v["unit"] = UnitOf(q, units).symbol;
    return v;
}

std::string CheckLine(const process::DropletCheck& d, const char* missingKey) {
    if (!d.made) return missingKey != nullptr ? std::string("- (give ") + missingKey + ")" : "-";
    std::string text = Micrometres(d.cutSize);
    if (d.target > 0.0) text += std::string("  (target ") + Micrometres(d.target) + (d.AboveTarget() ? ", above it)" : ")");
    return text;
}

}  // namespace

std::string SettlingText(const SizingCase& c, const SizingOutcome& o, UnitSystem units) {
    if (!o.Sized()) return {};
    const process::Settling s = process::SettleCase(c, o);
    std::string text = "\nSettling\n";
    text += Row("Vapour cut size", CheckLine(s.vapour, IsEmpty(c.process.vapourViscosity) ? "vapour_viscosity_Pa_s" : nullptr));
    if (s.vapour.made) {
        text += Row("Drag regime", std::string(process::DragRegimeKey(s.regime)) + "  (Re " + FormatNumber(s.vapour.reynolds, 2) + ")");
        if (!s.upright)
            text += Row("Effective length", WithUnits(s.effectiveLength, Quantity::Length, units) + "  (tangent to tangent; fall " +
                                                WithUnits(s.fallHeight, Quantity::Length, units) + ")");
    }
    text += Row("Mist eliminator", std::string(MistEliminatorWord(s.element)) + (s.elementGiven ? "" : "  (from the sized height)"));
    if (s.elementK > 0.0) {
        std::string k = WithUnits(s.elementK, Quantity::Velocity, units);
        if (s.elementKMost > 0.0)
            k += "  (window " + WithUnits(s.elementKLeast, Quantity::Velocity, units) + " to " + WithUnits(s.elementKMost, Quantity::Velocity, units) + ")";
        text += Row("K at the element", k);
    }
    if (c.HasHeavyLiquid()) {
        text += Row("Heavy in light cut size", CheckLine(s.heavyInLight, IsEmpty(c.process.lightLiquidViscosity) ? "light_liquid_viscosity_Pa_s" : nullptr));
        text += Row("Light in heavy cut size", CheckLine(s.lightInHeavy, IsEmpty(c.process.heavyLiquidViscosity) ? "heavy_liquid_viscosity_Pa_s" : nullptr));
    }
    text += "\nNozzles\n";
    const process::Nozzles nozzles = process::SizeNozzles(c, o);
    const char* words[] = {"Inlet", "Vapour outlet", "Light liquid outlet", "Heavy liquid outlet"};
    for (const process::Nozzle& n : nozzles) {
        const bool momentum = n.kind == process::LimitKind::Momentum;
        std::string value = n.fits ? NominalPipeSize(n.nominalInches) + ", " + WithUnits(n.insideDiameter, Quantity::Thickness, units) + " inside"
                                   : "beyond NPS 36";
        value += ", " + WithUnits(n.velocity, Quantity::Velocity, units) + ", " + Pascals(n.momentum) + " (limit " +
                 (momentum ? Pascals(n.limit) : WithUnits(n.limit, Quantity::Velocity, units)) + ")";
        text += Row(words[static_cast<int>(n.service)], value);
    }
    return text;
}

json SettlingJson(const SizingCase& c, const SizingOutcome& o) {
    const process::Settling s = process::SettleCase(c, o);
    json out = json::object();
    out["vapour_cut_size"] = Micro(s.vapour, s.vapour.cutSize);
    out["vapour_target"] = s.vapour.made && s.vapour.target > 0.0 ? Micro(s.vapour, s.vapour.target) : json(nullptr);
    out["heavy_in_light_cut_size"] = Micro(s.heavyInLight, s.heavyInLight.cutSize);
    out["light_in_heavy_cut_size"] = Micro(s.lightInHeavy, s.lightInHeavy.cutSize);
    out["drag_regime"] = s.vapour.made ? json(process::DragRegimeKey(s.regime)) : json(nullptr);
    return out;
}

json NozzlesJson(const SizingCase& c, const SizingOutcome& o, UnitSystem units) {
    json out = json::array();
    for (const process::Nozzle& n : process::SizeNozzles(c, o)) {
        json item = json::object();
        item["service"] = process::ServiceKey(n.service);
        item["nominal_size"] = n.fits ? WithUnit(n.nominalInches, "in") : json(nullptr);
        item["inside_diameter"] = n.fits ? InUnits(n.insideDiameter, Quantity::Thickness, units) : json(nullptr);
        item["velocity"] = n.fits ? InUnits(n.velocity, Quantity::Velocity, units) : json(nullptr);
        item["momentum"] = n.fits ? WithUnit(n.momentum, kMomentumUnit) : json(nullptr);
        item["limit"] = n.kind == process::LimitKind::Momentum ? WithUnit(n.limit, kMomentumUnit) : InUnits(n.limit, Quantity::Velocity, units);
        out.push_back(item);
    }
    return out;
}

}  // namespace kestrol::host

namespace kestrol::host {

const std::vector<std::string>& SettlingColumnNames() {
    static constexpr const char* kNames[kSettlingColumnCount] = {
        "vapour_cut_size_um",      "heavy_in_light_cut_size_um",    "light_in_heavy_cut_size_um",   "inlet_nozzle_in",
        "vapour_outlet_nozzle_in", "light_liquid_outlet_nozzle_in", "heavy_liquid_outlet_nozzle_in"};
    static const std::vector<std::string> names(std::begin(kNames), std::end(kNames));
    return names;
}

void SettlingCells(const SizingCase& c, const SizingOutcome& o, double* cells) {
    const double none = std::nan("");
    for (std::size_t i = 0; i < SettlingColumnNames().size(); ++i) cells[i] = none;
    if (!o.Sized()) return;
    const process::Settling s = process::SettleCase(c, o);
    const process::DropletCheck* checks[] = {&s.vapour, &s.heavyInLight, &s.lightInHeavy};
    for (std::size_t i = 0; i < 3; ++i)
        if (checks[i]->made) cells[i] = checks[i]->cutSize * kMicrometresPerMetre;
    for (const process::Nozzle& n : process::SizeNozzles(c, o))
        if (n.fits) cells[3 + static_cast<std::size_t>(n.service)] = n.nominalInches;
}

}  // namespace kestrol::host

namespace kestrol::host {

std::vector<NozzlePlace> NozzlePlaces(const SizingCase& c, const SizingOutcome& o) {
    std::vector<NozzlePlace> places;
    const process::Nozzles nozzles = process::SizeNozzles(c, o);
    if (nozzles.count == 0) return places;
    const double d = nozzles.vesselDiameter;
    const double length = std::fabs(o.At(Slot::OverallLength));
    const bool upright = o.orientation == 0;
    const bool heavy = c.HasHeavyLiquid();
    const double heavyLevel = heavy ? std::fabs(o.At(Slot::HeavyLevel)) : 0.0;
    const double surface = heavyLevel + std::fabs(o.At(Slot::LightLayerThickness));
    const double head = 0.25 * d;  // a 2:1 elliptical head's depth
    for (const process::Nozzle& n : nozzles) {
        if (!n.fits) continue;
        const double size = n.insideDiameter;
        NozzlePlace p{process::ServiceKey(n.service), 0.0, 0.0, size, 0};
        switch (n.service) {
            case process::Service::Inlet:
                p = upright ? NozzlePlace{"inlet", 0.0, std::min(surface + 0.5 * std::fabs(o.At(Slot::VapourAllowance)), length - head), size, 0}
                            : NozzlePlace{"inlet", head + size, d, size, 1};
                break;
            case process::Service::VapourOutlet:
                p = upright ? NozzlePlace{"vapour outlet", 0.5 * d, length, size, 1} : NozzlePlace{"vapour outlet", length - head - size, d, size, 1};
                break;
            case process::Service::LightLiquidOutlet:
                if (upright) {
                    p = heavy ? NozzlePlace{"light liquid outlet", d, std::max(surface - size, heavyLevel + 0.5 * size), size, 2}
                              : NozzlePlace{"liquid outlet", 0.5 * d, 0.0, size, 3};
                } else {
                    p = NozzlePlace{heavy ? "light liquid outlet" : "liquid outlet", length - head - size, 0.0, size, 3};
                }
                break;
            case process::Service::HeavyLiquidOutlet:
                p = upright ? NozzlePlace{"heavy liquid outlet", 0.5 * d, 0.0, size, 3} : NozzlePlace{"heavy liquid outlet", head + size, 0.0, size, 3};
                break;
        }
        places.push_back(p);
    }
    return places;
}

std::string NominalPipeSize(double inches) {
    const double whole = std::floor(inches);
    const double part = inches - whole;
    std::string text = whole > 0.0 ? FormatNumber(whole, 0) : "";
    if (part == 0.25) text += " 1/4";
    if (part == 0.5) text += " 1/2";
    return "NPS " + text;
}

}  // namespace kestrol::host
