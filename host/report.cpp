#include "host/report.h"

#include <cmath>
#include <sstream>

#include <nlohmann/json.hpp>

#include "review/review.h"

namespace kestrol::host {
namespace {

using json = nlohmann::ordered_json;

constexpr int kLabelWidth = 26;
constexpr int kValueWidth = 14;
/// Words start under the first digits of a typical number.
constexpr std::size_t kWordIndent = 4;

std::string OrientationText(const SizingOutcome& o) {
    std::string text = o.orientation == 0 ? "vertical" : o.orientation == 1 ? "horizontal" : "not decided";
    if (o.orientationChosen && o.orientation >= 0) text += " (chosen by the sizing)";
    return text;
}

class TextWriter {
public:
    explicit TextWriter(UnitSystem units) : units_(units) {}

    void Heading(const std::string& title) { out_ << '\n' << title << '\n'; }

    void Line(const std::string& label, const std::string& value, const std::string& unit = {}, const std::string& note = {}) {
        std::string padded = "  " + label;
        if (padded.size() < kLabelWidth) padded.resize(kLabelWidth, ' ');
        std::string shown = value;
        if (shown.size() < kValueWidth) shown.insert(0, kValueWidth - shown.size(), ' ');
        out_ << padded << shown;
        if (!unit.empty()) out_ << ' ' << unit;
        if (!note.empty()) out_ << "  " << note;
        out_ << '\n';
    }

    /// Words instead of a number: they start where the numbers start.
    void Words(const std::string& label, const std::string& words, const std::string& note = {}) {
        std::string padded = "  " + label;
        if (padded.size() < kLabelWidth) padded.resize(kLabelWidth, ' ');
        out_ << padded << std::string(kWordIndent, ' ') << words;
        if (!note.empty()) out_ << "  " << note;
        out_ << '\n';
    }

    void Quantity(const std::string& label, double si, kestrol::host::Quantity q, const std::string& note = {}) {
        if (!IsSetAndFinite(si)) {
            Line(label, "-", "", "not computed");
            return;
        }
        const Unit unit = UnitOf(q, units_);
        std::string extra = note;
        if (q == Quantity::Time) {
            const std::string minutes = "(" + FormatNumber(std::fabs(si) / 60.0, 1) + " min)";
            extra = extra.empty() ? minutes : minutes + "  " + extra;
        }
        Line(label, FormatNumber(Convert(si, q, units_), unit.digits), unit.symbol, extra);
    }

    void Text(const std::string& line) { out_ << line << '\n'; }

    std::string Text() const { return out_.str(); }

private:
    UnitSystem units_;
    std::ostringstream out_;
};

void WriteFeed(TextWriter& w, const SizingCase& c, const SizingOutcome& o) {
    w.Heading("Feed");
    const std::pair<const char*, int> phases[] = {{"Vapour", kVapourMassFlow}, {"Light liquid", kLightLiquidMassFlow}, {"Heavy liquid", kHeavyLiquidMassFlow}};
    for (const auto& [label, flow] : phases) {
        if (!c.Has(flow)) continue;
        w.Quantity(std::string(label) + " flow", c.Get(flow), Quantity::MassFlow);
        w.Quantity(std::string(label) + " density", c.Get(flow + 1), Quantity::Density);
    }
    if (o.liquidAssumed && c.Has(kAssumedLiquidPercent)) {
        w.Line("Assumed liquid", FormatNumber(c.Get(kAssumedLiquidPercent), 1), "% of the vapour", "(the feed carries no liquid)");
        if (c.Has(kAssumedLiquidDensity)) w.Quantity("Assumed liquid density", c.Get(kAssumedLiquidDensity), Quantity::Density);
    }
    w.Quantity("Pressure", c.Get(kPressure), Quantity::Pressure);
    w.Quantity("Temperature", c.Get(kTemperature), Quantity::Temperature);
}

/// The review after the results: what set the size first, then warnings, then notes.
void WriteReview(TextWriter& w, const review::Review& r, UnitSystem units) {
    if (r.count == 0) return;
    w.Heading("Review");
    for (const review::Finding& f : r) {
        const std::string text = review::Describe(f, r.governing, units);
        if (f.code == review::Code::Governing) {
            w.Text("  " + text);
        } else {
            w.Text(std::string("  ") + (f.severity == review::Severity::Warning ? "warning " : "note    ") + review::CodeName(f.code) + ": " + text);
        }
    }
}

double VesselWeight(const review::Review& r) {
    const review::Finding* f = r.Find(review::Code::WeightAndCost);
    return f != nullptr ? f->Get("vessel_weight") : kEmptyValue;
}

json Measured(double si, Quantity q, UnitSystem units, bool given) {
    json field = json::object();
    field["value"] = IsSetAndFinite(si) ? json(Convert(si, q, units)) : json(nullptr);
    const Unit unit = UnitOf(q, units);
    if (unit.symbol[0] != '\0') field["unit"] = unit.symbol;
    if (given) field["given"] = true;
    return field;
}

}  // namespace

std::string TextReport(const SizingCase& c, const SizingOutcome& o, UnitSystem units, const std::string& source) {
    TextWriter w(units);
    std::string title = c.name.empty() ? source : c.name + "  (" + source + ")";
    std::string text = "Separator sizing: " + title + "\n";
    WriteFeed(w, c, o);
    const review::Review r = review::ReviewCase(c, o);

    if (o.result == S_OK) {
        Group current = Group::Cost;
        bool first = true;
        for (const ResultField& f : ResultFields()) {
            if (!Applies(f, c, o.orientation)) continue;
            if (first || f.group != current) {
                // The weight the cost comes from closes the mechanical results.
                if (!first && current == Group::Mechanical && r.count > 0) w.Quantity("Vessel weight", VesselWeight(r), Quantity::Mass);
                w.Heading(GroupTitle(f.group));
                if (f.group == Group::Vessel) w.Words("Orientation", OrientationText(o));
                current = f.group;
                first = false;
            }
            const double v = o.values[static_cast<std::size_t>(f.index)];
            const std::string note = f.index <= kSlotCount && c.Gives(static_cast<Slot>(f.index)) ? "(given)" : "";
            if (f.quantity == Quantity::Material) {
                w.Words(Label(f, o.orientation), IsSetAndFinite(v) ? MaterialName(v) : "-", note);
            } else {
                w.Quantity(Label(f, o.orientation), v, f.quantity, note);
            }
        }
        WriteReview(w, r, units);
    }
    text += w.Text();
    text += '\n';
    if (o.Sized()) {
        text += "Result: sized.\n";
    } else {
        text += "Result: NOT SIZED. " + ExplainFailure(c, o) + '\n';
    }
    return text;
}

std::string JsonReport(const SizingCase& c, const SizingOutcome& o, UnitSystem units, const std::string& source) {
    json report = json::object();
    report["name"] = c.name;
    report["source"] = source;
    report["sized"] = o.Sized();
    if (!o.Sized()) {
        report["problem"] = ExplainFailure(c, o);
        report["missing_results"] = MissingResults(c, o);
    }
    report["units"] = units == UnitSystem::US ? "us" : "si";

    json feed = json::object();
    const char* const streamWords[kStreamKeyCount] = {"pressure", "temperature", "vapour_mass_flow", "vapour_density",
                                                      "light_liquid_mass_flow", "light_liquid_density", "heavy_liquid_mass_flow",
                                                      "heavy_liquid_density", "assumed_liquid_percent", "assumed_liquid_density"};
    const Quantity streamQuantities[kStreamKeyCount] = {Quantity::Pressure, Quantity::Temperature, Quantity::MassFlow, Quantity::Density,
                                                        Quantity::MassFlow, Quantity::Density,     Quantity::MassFlow, Quantity::Density,
                                                        Quantity::Plain,    Quantity::Density};
    for (int k = 0; k < kStreamKeyCount; ++k) {
        if (!c.Has(k)) continue;
        if (streamQuantities[k] == Quantity::Plain) {
            feed[streamWords[k]] = c.Get(k);
        } else {
            feed[streamWords[k]] = Measured(c.Get(k), streamQuantities[k], units, false);
        }
    }
    feed["liquid_assumed_by_sizing"] = o.liquidAssumed;
    report["feed"] = feed;

    if (o.result == S_OK) {
        json groups = json::object();
        groups["vessel"]["orientation"] = o.orientation == 0 ? "vertical" : o.orientation == 1 ? "horizontal" : "not decided";
        groups["vessel"]["orientation_chosen_by_sizing"] = o.orientationChosen;
        for (const ResultField& f : ResultFields()) {
            if (!Applies(f, c, o.orientation)) continue;
            const double v = o.values[static_cast<std::size_t>(f.index)];
            const bool given = f.index <= kSlotCount && c.Gives(static_cast<Slot>(f.index));
            json& group = groups[GroupKey(f.group)];
            if (f.quantity == Quantity::Material) {
                group["material_code"] = IsSetAndFinite(v) ? json(static_cast<int>(std::fabs(v))) : json(nullptr);
                group["material"] = IsSetAndFinite(v) ? json(MaterialName(v)) : json(nullptr);
            } else if (f.quantity == Quantity::Plain) {
                group[f.key] = IsSetAndFinite(v) ? json(std::fabs(v)) : json(nullptr);
            } else {
                group[f.key] = Measured(v, f.quantity, units, given);
            }
        }
        const review::Review r = review::ReviewCase(c, o);
        if (r.count > 0) groups["mechanical"]["vessel_weight"] = Measured(VesselWeight(r), Quantity::Mass, units, false);
        for (auto& item : groups.items()) report[item.key()] = item.value();
        if (r.count > 0) {
            json governing = json::object();
            governing["diameter"] = review::ConstraintKey(r.governing.diameter);
            governing["length"] = review::ConstraintKey(r.governing.length);
            governing["ratio"] = r.governing.ratio;
            governing["vapour_load_percent"] = r.governing.vapourLoadPercent >= 0.0 ? json(r.governing.vapourLoadPercent) : json(nullptr);
            governing["vapour_alone_diameter"] = Measured(r.governing.vapourDiameter > 0.0 ? r.governing.vapourDiameter : kEmptyValue,
                                                          Quantity::Length, units, false);
            governing["text"] = review::Describe(r.items[0], r.governing, units);
            report["governing"] = governing;
            json findings = json::array();
            for (const review::Finding& f : r) {
                if (f.code == review::Code::Governing) continue;
                json item = json::object();
                item["code"] = review::CodeName(f.code);
                item["severity"] = f.severity == review::Severity::Warning ? "warning" : "note";
                item["text"] = review::Describe(f, r.governing, units);
                json values = json::object();
                for (std::size_t i = 0; i < f.count; ++i) {
                    const review::Value& v = f.values[i];
                    values[v.name] = v.quantity == Quantity::Plain ? json(v.si) : Measured(v.si, v.quantity, units, false);
                }
                item["values"] = values;
                findings.push_back(item);
            }
            report["review"] = findings;
        }
    }
    // The same keys for every case, so that a reader need not test for them.
    if (!report.contains("governing")) report["governing"] = nullptr;
    if (!report.contains("review")) report["review"] = json::array();
    return report.dump(2) + "\n";
}

}  // namespace kestrol::host
