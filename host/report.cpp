#include "host/report.h"

#include <cmath>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/level_report.h"
#include "host/mechanical_report.h"
#include "host/settling_report.h"
#include "host/visible_text.h"
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

/// A number with a unit: null when not reported, else {"value", "unit", "given"}.
json Measured(double si, bool reported, Quantity q, UnitSystem units, bool given) {
    if (!reported) return nullptr;
    json field = json::object();
    field["value"] = Convert(si, q, units);
    field["unit"] = UnitOf(q, units).symbol;
    field["given"] = given;
    return field;
}

const char* OrientationKey(int orientation) { return orientation == 0 ? "vertical" : orientation == 1 ? "horizontal" : nullptr; }

}  // namespace

std::string TextReport(const SizingCase& c, const SizingOutcome& o, UnitSystem units, const std::string& source, bool withReview) {
    TextWriter w(units);
    // The name and the path are the engineer's: a control character in them is shown, not obeyed.
    std::string title = VisibleText(c.name.empty() ? source : c.name + "  (" + source + ")");
    std::string text = "Separator sizing: " + title + "\n";
    WriteFeed(w, c, o);
    const review::Review r = withReview ? review::ReviewCase(c, o) : review::Review{};

    if (o.result == S_OK) {
        Group current = Group::Cost;
        bool first = true;
        for (const ResultField& f : ResultFields()) {
            if (!Applies(f, c, o.orientation)) continue;
            if (first || f.group != current) {
                w.Heading(GroupTitle(f.group));
                if (f.group == Group::Vessel) w.Words("Orientation", OrientationText(o));
                current = f.group;
                first = false;
            }
            const double v = Reported(f, c, o) ? FieldValue(f, o) : kEmptyValue;
            const std::string note = IsGivenValue(c, o, f.index) ? "(given)" : IsDefaultValue(o, f.index) ? "(default)" : "";
            if (f.quantity == Quantity::Material) {
                w.Words(Label(f, o.orientation), IsSetAndFinite(v) ? MaterialName(v) : "-", note);
            } else {
                w.Quantity(Label(f, o.orientation), v, f.quantity, note);
            }
        }
        if (const std::string settling = SettlingText(c, o, units); !settling.empty()) w.Text(settling.substr(0, settling.size() - 1));
        if (const std::vector<LevelRow> levels = LevelRows(c, o); !levels.empty()) {
            w.Heading("Levels");
            for (const LevelRow& row : levels) w.Quantity(row.label, row.si, row.quantity, row.note);
        }
        if (const std::string mechanical = MechanicalDesignText(c, o, units); !mechanical.empty())
            w.Text(mechanical.substr(0, mechanical.size() - 1));
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

nlohmann::ordered_json JsonDocument(const SizingCase& c, const SizingOutcome& o, UnitSystem units, const std::string& source,
                                    bool withReview) {
    json report = json::object();
    report["name"] = c.name;
    report["source"] = source;
    report["sized"] = o.Sized();
    report["problem"] = o.Sized() ? json(nullptr) : json(ExplainFailure(c, o));
    report["missing_results"] = o.Sized() ? std::vector<std::string>{} : MissingResults(c, o);
    report["warnings"] = CaseWarnings(c);
    report["units"] = units == UnitSystem::US ? "us" : "si";

    json feed = json::object();
    const char* const streamWords[kStreamKeyCount] = {"pressure", "temperature", "vapour_mass_flow", "vapour_density",
                                                      "light_liquid_mass_flow", "light_liquid_density", "heavy_liquid_mass_flow",
                                                      "heavy_liquid_density", "assumed_liquid_percent", "assumed_liquid_density"};
    const Quantity streamQuantities[kStreamKeyCount] = {Quantity::Pressure, Quantity::Temperature, Quantity::MassFlow, Quantity::Density,
                                                        Quantity::MassFlow, Quantity::Density,     Quantity::MassFlow, Quantity::Density,
                                                        Quantity::Plain,    Quantity::Density};
    for (int k = 0; k < kStreamKeyCount; ++k) {
        if (streamQuantities[k] == Quantity::Plain) {
            feed[streamWords[k]] = c.Has(k) ? json(c.Get(k)) : json(nullptr);
        } else {
            feed[streamWords[k]] = Measured(c.Get(k), c.Has(k), streamQuantities[k], units, true);
        }
    }
    feed["liquid_assumed_by_sizing"] = o.liquidAssumed;
    report["feed"] = feed;

    // Every group and key is always there, null where it does not apply or was not computed.
    const bool decided = o.result == S_OK && OrientationKey(o.orientation) != nullptr;
    report["vessel"]["orientation"] = decided ? json(OrientationKey(o.orientation)) : json(nullptr);
    report["vessel"]["orientation_chosen_by_sizing"] = decided && o.orientationChosen;
    for (const ResultField& f : ResultFields()) {
        const bool reported = Reported(f, c, o);
        const double v = FieldValue(f, o);
        json& group = report[GroupKey(f.group)];
        if (f.quantity == Quantity::Material) {
            group["material_code"] = reported ? json(static_cast<int>(std::fabs(v))) : json(nullptr);
            group["material"] = reported ? json(MaterialName(v)) : json(nullptr);
        } else if (f.quantity == Quantity::Plain) {
            group[f.key] = reported ? json(std::fabs(v)) : json(nullptr);
        } else {
            group[f.key] = Measured(v, reported, f.quantity, units, IsGivenValue(c, o, f.index));
            // Only where it holds, so that every other field reads as it always did.
            if (reported && IsDefaultValue(o, f.index)) group[f.key]["default"] = true;
        }
    }
    report["settling"] = SettlingJson(c, o);
    report["nozzles"] = NozzlesJson(c, o, units);
    report["levels"] = LevelsJson(c, o, units);
    report["level_times"] = LevelTimesJson(c, o, units);
    // The review: what governed and the findings; null and empty when the case was not sized or
    // not reviewed.
    const review::Review r = withReview ? review::ReviewCase(c, o) : review::Review{};
    report["governing"] = nullptr;
    if (r.count > 0) {
        json governing = json::object();
        governing["diameter"] = review::ConstraintKey(r.governing.diameter);
        governing["length"] = review::ConstraintKey(r.governing.length);
        governing["ratio"] = r.governing.ratio;
        governing["vapour_load_percent"] = r.governing.vapourLoadPercent >= 0.0 ? json(r.governing.vapourLoadPercent) : json(nullptr);
        governing["vapour_alone_diameter"] =
            Measured(r.governing.vapourDiameter, r.governing.vapourDiameter > 0.0, Quantity::Length, units, false);
        governing["text"] = review::Describe(r.items[0], r.governing, units);
        report["governing"] = governing;
    }
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
            values[v.name] = v.quantity == Quantity::Plain ? json(v.si) : Measured(v.si, true, v.quantity, units, false);
        }
        item["values"] = values;
        findings.push_back(item);
    }
    report["review"] = findings;
    report["mechanical_design"] = MechanicalDesignJson(c, o, units);
    return report;
}
std::string JsonReport(const SizingCase& c, const SizingOutcome& o, UnitSystem units, const std::string& source, bool withReview) {
    return JsonDocument(c, o, units, source, withReview).dump(2) + "\n";
}

nlohmann::ordered_json JsonErrorDocument(const InputError& error) {
    // Echoed whole: the library refuses to write a string that is not UTF-8, and a file name
    // or a message may hold anything the input did.
    const auto text = [](const std::string& s) { return Echo(s, std::string::npos); };
    json detail = json::object();
    detail["file"] = error.File().empty() ? json(nullptr) : json(text(error.File()));
    detail["line"] = error.Line() > 0 ? json(error.Line()) : json(nullptr);
    detail["column"] = error.Line() > 0 ? json(error.Column()) : json(nullptr);
    detail["key"] = error.Key().empty() ? json(nullptr) : json(text(error.Key()));
    detail["message"] = text(error.Reason());
    json document = json::object();
    document["error"] = detail;
    return document;
}

int ReportDigitsOf(const std::string& symbol) {
    if (symbol.empty()) return UnitOf(Quantity::Plain, UnitSystem::SI).digits;
    if (symbol == kCutSizeUnit) return kCutSizeDigits;
    if (symbol == kMomentumUnit) return kMomentumDigits;
    for (int q = 0; q <= static_cast<int>(Quantity::Volume); ++q) {
        const auto quantity = static_cast<Quantity>(q);
        // A material is a code, and a plain number has no symbol.
        if (quantity == Quantity::Plain || quantity == Quantity::Material) continue;
        for (const UnitSystem system : {UnitSystem::SI, UnitSystem::US})
            if (symbol == UnitOf(quantity, system).symbol) return UnitOf(quantity, system).digits;
    }
    return -1;
}

}  // namespace kestrol::host
