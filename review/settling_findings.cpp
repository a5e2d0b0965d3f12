#include "review/settling_findings.h"

#include <cctype>
#include <cstring>

#include "process/nozzles.h"
#include "process/settling.h"

namespace kestrol::review::settling {
namespace {

using host::Quantity;
using process::Service;

/// Highest Reynolds numbers of the two laws [-], as process/settling.cpp cites them.
constexpr double kMostDragReynolds = 2e5;
constexpr double kMostStokesReynolds = 0.3;
constexpr double kMicrometresPerMetre = 1e6;

struct ServiceNames {
    const char* diameter;
    const char* beyond;
    const char* words;
};
constexpr ServiceNames kServiceNames[] = {
    {"inlet_inside_diameter", "inlet_beyond_table", "inlet"},
    {"vapour_outlet_inside_diameter", "vapour_outlet_beyond_table", "vapour outlet"},
    {"light_liquid_outlet_inside_diameter", "light_liquid_outlet_beyond_table", "light-liquid outlet"},
    {"heavy_liquid_outlet_inside_diameter", "heavy_liquid_outlet_beyond_table", "heavy-liquid outlet"},
};

const ServiceNames& NamesOf(Service s) { return kServiceNames[static_cast<int>(s)]; }

}  // namespace

void AddFindings(Review& r, const host::SizingCase& c, const host::SizingOutcome& o) {
    const process::Settling s = process::SettleCase(c, o);
    if (s.missing[0] != nullptr) {
        Finding& n = r.Add(Code::SettlingNotChecked, Severity::Note);
        for (const char* key : s.missing)
            if (key != nullptr) n.Add(key, 0.0, Quantity::Plain);
    }
    struct Check {
        const process::DropletCheck& check;
        const char* cut;
        const char* target;
        const char* reynolds;
    };
    const Check checks[] = {{s.vapour, "vapour_cut_size_um", "vapour_target_um", "vapour_reynolds"},
                            {s.heavyInLight, "heavy_in_light_cut_size_um", "heavy_in_light_target_um", "heavy_in_light_reynolds"},
                            {s.lightInHeavy, "light_in_heavy_cut_size_um", "light_in_heavy_target_um", "light_in_heavy_reynolds"}};
    Finding* above = nullptr;
    Finding* law = nullptr;
    for (const Check& k : checks) {
        if (k.check.AboveTarget()) {
            if (above == nullptr) above = &r.Add(Code::CutSizeAboveTarget, Severity::Warning);
            above->Add(k.cut, k.check.cutSize * kMicrometresPerMetre, Quantity::Plain);
            above->Add(k.target, k.check.target * kMicrometresPerMetre, Quantity::Plain);
        }
        if (k.check.made && k.check.lawOutOfRange) {
            if (law == nullptr) law = &r.Add(Code::SettlingLawOutOfRange, Severity::Warning);
            law->Add(k.reynolds, k.check.reynolds, Quantity::Plain);
        }
    }
    if (law != nullptr) {
        if (law->Has("vapour_reynolds")) law->Add("most_drag_reynolds", kMostDragReynolds, Quantity::Plain);
        if (law->Has("heavy_in_light_reynolds") || law->Has("light_in_heavy_reynolds"))
            law->Add("most_stokes_reynolds", kMostStokesReynolds, Quantity::Plain);
    }
    if (s.KOutsideWindow()) {
        Finding& w = r.Add(Code::EliminatorLoadOutsideWindow, Severity::Warning);
        w.Add("element_k", s.elementK, Quantity::Velocity);
        w.Add("least_k", s.elementKLeast, Quantity::Velocity);
        w.Add("most_k", s.elementKMost, Quantity::Velocity);
    }

    const process::Nozzles nozzles = process::SizeNozzles(c, o);
    Finding* large = nullptr;
    const double most = process::kLargestNozzleShare * nozzles.vesselDiameter;
    for (const process::Nozzle& n : nozzles) {
        if (n.fits && !(n.insideDiameter > most)) continue;
        if (large == nullptr) large = &r.Add(Code::NozzleTooLarge, Severity::Warning);
        large->Add(NamesOf(n.service).diameter, n.insideDiameter, Quantity::Thickness);
        if (!n.fits) large->Add(NamesOf(n.service).beyond, 1.0, Quantity::Plain);
    }
    if (large != nullptr) large->Add("largest_nozzle", most, Quantity::Thickness);
}

std::string Describe(const Finding& f, const std::function<std::string(const char*)>& show) {
    auto um = [&](const char* name) { return host::FormatNumber(f.Get(name), 0) + " um"; };
    switch (f.code) {
        case Code::SettlingNotChecked: {
            std::string keys;
            for (std::size_t i = 0; i < f.count; ++i) keys += (i == 0 ? "" : i + 1 == f.count ? " and " : ", ") + std::string(f.values[i].name);
            return "Droplet settling is not checked where the case gives no viscosity: give " + keys + ".";
        }
        case Code::CutSizeAboveTarget: {
            struct Part {
                const char* cut;
                const char* target;
                const char* words;
            };
            const Part parts[] = {{"vapour_cut_size_um", "vapour_target_um", "the vapour carries droplets up to "},
                                  {"heavy_in_light_cut_size_um", "heavy_in_light_target_um", "the light liquid carries heavy droplets up to "},
                                  {"light_in_heavy_cut_size_um", "light_in_heavy_target_um", "the heavy liquid carries light droplets up to "}};
            std::string text;
            for (const Part& p : parts) {
                if (!f.Has(p.cut)) continue;
                text += (text.empty() ? "" : "; ") + std::string(p.words) + um(p.cut) + ", above the " + um(p.target) + " target";
            }
            text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
            return text + ".";
        }
        case Code::SettlingLawOutOfRange: {
            std::string text;
            if (f.Has("vapour_reynolds"))
                text = "The vapour's cut droplet settles at a Reynolds number of " + host::FormatNumber(f.Get("vapour_reynolds"), 0) +
                       ", past the " + host::FormatNumber(f.Get("most_drag_reynolds"), 0) + " the drag law holds to";
            for (const char* name : {"heavy_in_light_reynolds", "light_in_heavy_reynolds"}) {
                if (!f.Has(name)) continue;
                text += (text.empty() ? "The " : "; the ") + std::string(std::strcmp(name, "heavy_in_light_reynolds") == 0 ? "heavy droplet in the light liquid" : "light droplet in the heavy liquid") +
                        " settles at a Reynolds number of " + host::FormatNumber(f.Get(name), 2) + ", past the " +
                        host::FormatNumber(f.Get("most_stokes_reynolds"), 1) + " Stokes' law holds to";
            }
            return text + ": the cut size is an extrapolation.";
        }
        case Code::EliminatorLoadOutsideWindow:
            return "The vapour load factor at the mist eliminator is " + show("element_k") + ", outside the pad's window of " + show("least_k") +
                   " to " + show("most_k") + ".";
        case Code::NozzleTooLarge: {
            std::string text;
            for (const ServiceNames& n : kServiceNames) {
                if (!f.Has(n.diameter)) continue;
                text += (text.empty() ? "The " : "; the ") + std::string(n.words) +
                        (f.Has(n.beyond) ? " needs more than the largest pipe of the table (" + show(n.diameter) + " inside)"
                                         : " nozzle of " + show(n.diameter) + " inside");
            }
            return text + " is wider than the " + show("largest_nozzle") + " (half the diameter) the shell takes.";
        }
        default: break;
    }
    return {};
}

}  // namespace kestrol::review::settling
