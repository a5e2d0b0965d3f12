#include "host/datasheet.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <set>
#include <string_view>
#include <utility>

#include "host/report.h"
#include "host/settling_report.h"
#include "host/svg.h"
#include "host/visible_text.h"

namespace kestrol::host {
namespace {

using json = nlohmann::ordered_json;

/// The page's style. The text block is 186 mm wide, A4's 210 mm less two margins of 12 mm, and
/// every section but the review is kept whole, so that the sheet fits Letter's 215.9 mm width as
/// well and breaks between sections on either paper's height (279.4 mm on Letter, the shorter);
/// print sets rows a little tighter, so that a sheet with a full review keeps to two pages.
constexpr const char* kStyle = R"(@page { margin: 12mm; }
* { box-sizing: border-box; }
html { font: 8.5pt/1.3 "DejaVu Sans", "Liberation Sans", Arial, sans-serif; color: #111;
       -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body { margin: 0 auto; max-width: 186mm; overflow-wrap: anywhere; }
@media screen { body { padding: 6mm 0; } }
h1 { font-size: 13pt; margin: 0 0 1.5mm; }
h2 { font-size: 9.5pt; margin: 0 0 1mm; padding-bottom: 0.5mm; border-bottom: 0.4mm solid #333; }
table { width: 100%; border-collapse: collapse; }
th, td { padding: 0.35mm 1mm; text-align: left; vertical-align: top; }
th { font-weight: 600; }
tr + tr > td, tr + tr > th { border-top: 0.2mm solid #ddd; }
td.n { text-align: right; white-space: nowrap; }
thead th { border-bottom: 0.3mm solid #666; }
thead th + th { text-align: right; }
.title { border: 0.4mm solid #333; margin-bottom: 3mm; }
.title td { border: 0.2mm solid #999; width: 25%; }
.title .k { display: block; font-size: 6.5pt; color: #555; text-transform: uppercase; letter-spacing: 0.02em; }
.grid { display: grid; grid-template-columns: 1fr 1fr; gap: 3mm 5mm; }
section { break-inside: avoid; }
h2 { break-after: avoid; }
section.flows { break-inside: auto; }
.wide { grid-column: 1 / -1; }
.note { color: #555; font-size: 7.5pt; margin: 0.8mm 0 0; }
.mark { color: #666; font-size: 7pt; }
figure { margin: 0; text-align: center; }
figure svg { width: 100%; height: auto; max-height: 105mm; }
ul.findings { list-style: none; margin: 0; padding: 0; }
ul.findings li { margin: 0 0 1mm; break-inside: avoid; }
@media print { html { line-height: 1.2; } th, td { padding: 0.15mm 1mm; } .grid { gap: 2mm 5mm; } ul.findings li { margin-bottom: 0.5mm; } figure svg { max-height: 95mm; } }
.sev { display: inline-block; min-width: 12mm; font-weight: 600; }
.sev-warning .sev { color: #b02a00; }
.code { font-family: "DejaVu Sans Mono", monospace; font-size: 7.5pt; }
)";

/// HTML text and attribute values: controls written out as every other output writes them,
/// then the markup characters as entities. Every text from a case or a report goes through
/// here, so that a name holding markup is shown, not obeyed.
std::string Escape(std::string_view text) {
    std::string out;
    for (const char ch : VisibleText(text)) {
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += ch;
        }
    }
    return out;
}

/// The digits the text report gives a number in this unit symbol (either unit system), so that
/// the sheet and the report agree. A symbol no reported quantity has (a unit another layer
/// brings) gets three significant figures, between none and three decimals.
int DigitsOf(const std::string& symbol, double value) {
    if (const int digits = ReportDigitsOf(symbol); digits >= 0) return digits;
    if (value == 0.0 || !std::isfinite(value)) return 0;
    const int digits = 2 - static_cast<int>(std::floor(std::log10(std::fabs(value))));
    return digits < 0 ? 0 : digits > 3 ? 3 : digits;
}

/// "vapour_outlet" as "Vapour outlet".
std::string Words(const std::string& key) {
    std::string text = key;
    for (char& ch : text)
        if (ch == '_') ch = ' ';
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

/// A plain number of the report: a whole one as it is, any other with the plain digits.
std::string PlainNumber(const json& v) {
    if (v.is_number_integer() || v.is_number_unsigned()) return FormatNumber(v.get<double>(), 0);
    return FormatNumber(v.get<double>(), UnitOf(Quantity::Plain, UnitSystem::SI).digits);
}

bool IsMeasured(const json& v) { return v.is_object() && v.contains("value"); }

/// A value of the report as a cell: a measured number with its unit and marks, a plain number,
/// words, or "-" for null. Seconds carry minutes as the text report's do.
std::string Cell(const json& v) {
    if (v.is_null()) return "-";
    if (v.is_boolean()) return v.get<bool>() ? "yes" : "no";
    if (v.is_string()) return Escape(v.get<std::string>());
    if (v.is_number()) return PlainNumber(v);
    if (!IsMeasured(v)) return "-";
    const json& value = v.at("value");
    const std::string unit = v.contains("unit") && v.at("unit").is_string() ? v.at("unit").get<std::string>() : "";
    std::string text;
    if (value.is_number()) {
        const double number = value.get<double>();
        text = FormatNumber(number, DigitsOf(unit, number));
    } else {
        text = Cell(value);
    }
    if (!unit.empty()) text += " " + Escape(unit);
    if (unit == "s" && value.is_number())
        text += " <span class=\"mark\">(" + FormatNumber(std::fabs(value.get<double>()) / 60.0, 1) + " min)</span>";
    if (v.value("given", false)) text += " <span class=\"mark\">(given)</span>";
    if (v.value("default", false)) text += " <span class=\"mark\">(default)</span>";
    return text;
}

const json& Member(const json& object, const char* key) {
    static const json kNull;
    return object.is_object() && object.contains(key) ? object.at(key) : kNull;
}

/// The text report's label of a result, found by its group and key; the key in words for one
/// the result table does not have.
std::string ResultLabel(const std::string& group, const std::string& key, int orientation) {
    for (const ResultField& f : ResultFields())
        if (group == GroupKey(f.group) && key == f.key) return Label(f, orientation);
    return Words(key);
}

class Page {
public:
    void Open(const std::string& title, const char* kind = "") {
        out_ += std::string("<section class=\"") + kind + "\">\n<h2>" + Escape(title) + "</h2>\n";
    }
    void Close() { out_ += "</section>\n"; }
    void OpenRows() { out_ += "<table>\n"; }
    void CloseRows() { out_ += "</table>\n"; }
    /// One row; `cells` are HTML already.
    void Row(const std::string& label, std::initializer_list<std::string> cells) {
        out_ += "<tr><th>" + Escape(label) + "</th>";
        for (const std::string& cell : cells) out_ += "<td class=\"n\">" + cell + "</td>";
        out_ += "</tr>\n";
    }
    void Head(std::initializer_list<std::string> titles) {
        out_ += "<thead><tr>";
        for (const std::string& t : titles) out_ += "<th>" + Escape(t) + "</th>";
        out_ += "</tr></thead>\n";
    }
    void Note(const std::string& html) { out_ += "<p class=\"note\">" + html + "</p>\n"; }
    void Raw(const std::string& html) { out_ += html; }
    const std::string& Text() const { return out_; }

private:
    std::string out_;
};

/// Every reported member of a group, in the report's order, but those in `skip`.
void GroupRows(Page& page, const json& group, const std::string& groupKey, int orientation, const std::set<std::string>& skip = {}) {
    if (!group.is_object()) return;
    for (const auto& item : group.items()) {
        if (item.value().is_null() || skip.count(item.key()) > 0 || item.value().is_array()) continue;
        if (item.value().is_object() && !IsMeasured(item.value())) {
            for (const auto& inner : item.value().items())
                if (!inner.value().is_null()) page.Row(Words(item.key()) + ": " + Words(inner.key()), {Cell(inner.value())});
            continue;
        }
        page.Row(ResultLabel(groupKey, item.key(), orientation), {Cell(item.value())});
    }
}

/// The rows of `group` that `rows` labels, in that order, each label followed by `suffix`;
/// returns the keys it labelled, for the rest to skip.
template <std::size_t N>
std::set<std::string> NamedRows(Page& page, const json& group, const std::pair<const char*, const char*> (&rows)[N],
                                const std::string& suffix = "") {
    std::set<std::string> named;
    for (const auto& [key, label] : rows) {
        named.insert(key);
        if (!Member(group, key).is_null()) page.Row(label + suffix, {Cell(Member(group, key))});
    }
    return named;
}

void TitleBlockRows(Page& page, const json& report, const SizingCase& c, const std::string& date) {
    const auto box = [](const char* key, const std::string& text) {
        return std::string("<td><span class=\"k\">") + key + "</span>" + (text.empty() ? "&nbsp;" : Escape(text)) + "</td>";
    };
    const std::string name = report.value("name", std::string());
    page.Raw("<h1>Separator datasheet" + (name.empty() ? std::string() : ": " + Escape(name)) + "</h1>\n");
    page.Raw("<table class=\"title\">\n<tr>" + box("Tag", c.title.tag) + box("Service", c.title.service) +
             box("Revision", c.title.revision) + box("Date", date) + "</tr>\n<tr>" + box("Case", name) +
             "<td colspan=\"2\"><span class=\"k\">Source</span>" + Escape(report.value("source", std::string())) + "</td>" +
             box("Units", report.value("units", "si") == "us" ? "US" : "SI") + "</tr>\n</table>\n");
}

void ProcessData(Page& page, const json& feed) {
    page.Open("Process data");
    page.OpenRows();
    const std::pair<const char*, const char*> rows[] = {{"vapour_mass_flow", "Vapour flow"},
                                                        {"vapour_density", "Vapour density"},
                                                        {"light_liquid_mass_flow", "Light liquid flow"},
                                                        {"light_liquid_density", "Light liquid density"},
                                                        {"heavy_liquid_mass_flow", "Heavy liquid flow"},
                                                        {"heavy_liquid_density", "Heavy liquid density"},
                                                        {"assumed_liquid_percent", "Assumed liquid"},
                                                        {"assumed_liquid_density", "Assumed liquid density"},
                                                        {"pressure", "Operating pressure"},
                                                        {"temperature", "Operating temperature"}};
    std::set<std::string> done = {"liquid_assumed_by_sizing"};
    for (const auto& [key, label] : rows) {
        done.insert(key);
        const json& value = Member(feed, key);
        if (value.is_null()) continue;
        // A share, written as the text report writes it.
        const bool share = std::string_view(key) == "assumed_liquid_percent" && value.is_number();
        page.Row(label, {share ? FormatNumber(value.get<double>(), 1) + " % of the vapour" : Cell(value)});
    }
    GroupRows(page, feed, "feed", -1, done);
    page.CloseRows();
    if (Member(feed, "liquid_assumed_by_sizing") == true) page.Note("The feed carries no liquid: the sizing assumed the liquid above.");
    page.Close();
}

int OrientationOf(const json& report) {
    const json& word = Member(Member(report, "vessel"), "orientation");
    return word == "vertical" ? 0 : word == "horizontal" ? 1 : -1;
}

void Vessel(Page& page, const json& report) {
    const json& vessel = Member(report, "vessel");
    const int orientation = OrientationOf(report);
    page.Open("Vessel");
    page.OpenRows();
    std::string words = Cell(Member(vessel, "orientation"));
    if (Member(vessel, "orientation_chosen_by_sizing") == true) words += " <span class=\"mark\">(chosen by the sizing)</span>";
    page.Row("Orientation", {words});
    page.Row("Heads", {"two 2:1 elliptical"});
    GroupRows(page, vessel, "vessel", orientation, {"orientation", "orientation_chosen_by_sizing"});
    // Tangent to tangent: the overall length less the two heads, each a quarter diameter deep.
    const json& diameter = Member(vessel, "inside_diameter");
    const json& overall = Member(vessel, "overall_length");
    if (IsMeasured(diameter) && IsMeasured(overall) && diameter.at("value").is_number() && overall.at("value").is_number()) {
        json tangent = json::object();
        tangent["value"] = overall.at("value").get<double>() - kHeadsOverDiameter * diameter.at("value").get<double>();
        tangent["unit"] = overall.value("unit", "");
        page.Row("T/T length", {Cell(tangent)});
    }
    page.CloseRows();
    page.Close();
}

/// The set points from the top down, interface levels after them.
constexpr const char* kSetPoints[][2] = {
    {"HHLL", "High-high liquid level"}, {"HLL", "High liquid level"},    {"NLL", "Normal liquid level"},    {"LLL", "Low liquid level"},
    {"LLLL", "Low-low liquid level"},   {"HIL", "High interface level"}, {"NIL", "Normal interface level"}, {"LIL", "Low interface level"}};
constexpr const char* kLevelTimes[][2] = {{"holdup", "Hold-up, LLL to NLL"},
                                          {"surge", "Surge, NLL to HLL"},
                                          {"high_alarm", "High alarm to trip, HLL to HHLL"},
                                          {"low_alarm", "Low alarm to trip, LLLL to LLL"}};

void Liquids(Page& page, const json& report) {
    page.Open("Liquid levels and times");
    page.OpenRows();
    GroupRows(page, Member(report, "liquids"), "liquids", OrientationOf(report));
    page.CloseRows();
    const json& levels = Member(report, "levels");
    if (levels.is_object()) {
        page.Raw("<table>\n");
        page.Head({"Set point", "Height from the bottom"});
        for (const auto& point : kSetPoints)
            if (!Member(levels, point[0]).is_null()) page.Row(std::string(point[0]) + " " + point[1], {Cell(Member(levels, point[0]))});
        page.CloseRows();
    }
    const json& times = Member(report, "level_times");
    if (times.is_object()) {
        page.OpenRows();
        for (const auto& time : kLevelTimes)
            if (!Member(times, time[0]).is_null()) page.Row(time[1], {Cell(Member(times, time[0]))});
        page.CloseRows();
    }
    page.Close();
}

void Vapour(Page& page, const json& report) {
    page.Open("Vapour");
    page.OpenRows();
    GroupRows(page, Member(report, "vapour"), "vapour", OrientationOf(report));
    const json& governing = Member(report, "governing");
    if (!Member(governing, "vapour_load_percent").is_null())
        page.Row("Share of the allowable velocity used", {PlainNumber(Member(governing, "vapour_load_percent")) + " %"});
    if (!Member(governing, "vapour_alone_diameter").is_null())
        page.Row("Diameter for the vapour alone", {Cell(Member(governing, "vapour_alone_diameter"))});
    page.CloseRows();
    page.Close();
}

void Settling(Page& page, const json& settling) {
    page.Open("Droplet settling");
    page.OpenRows();
    const std::pair<const char*, const char*> rows[] = {{"vapour_cut_size", "Largest droplet the vapour carries out"},
                                                        {"vapour_target", "Target for the vapour"},
                                                        {"heavy_in_light_cut_size", "Heavy droplet settling out of the light liquid"},
                                                        {"light_in_heavy_cut_size", "Light droplet rising out of the heavy liquid"},
                                                        {"drag_regime", "Drag regime"}};
    GroupRows(page, settling, "settling", -1, NamedRows(page, settling, rows));
    page.CloseRows();
    page.Close();
}

/// A pipe by its name, as the text report writes it, rather than as a length.
std::string NominalCell(const json& size) {
    return IsMeasured(size) && size.at("value").is_number() ? NominalPipeSize(size.at("value").get<double>()) : "-";
}

void Nozzles(Page& page, const json& nozzles) {
    page.Open("Nozzles", "wide");
    page.Raw("<table>\n");
    page.Head({"Service", "Nominal size", "Inside diameter", "Velocity", "Momentum", "Limit"});
    for (const json& nozzle : nozzles) {
        const json& service = Member(nozzle, "service");
        page.Row(service.is_string() ? Words(service.get<std::string>()) : "-",
                 {NominalCell(Member(nozzle, "nominal_size")), Cell(Member(nozzle, "inside_diameter")), Cell(Member(nozzle, "velocity")),
                  Cell(Member(nozzle, "momentum")), Cell(Member(nozzle, "limit"))});
    }
    page.CloseRows();
    page.Close();
}

/// The wall as the design computes it (at the operating point) beside the mechanical design at
/// design conditions where the report has one; alone where it does not.
void Mechanical(Page& page, const json& report) {
    const json& operated = Member(report, "mechanical");
    const json& design = Member(report, "mechanical_design");
    const json& feed = Member(report, "feed");
    const bool both = design.is_object();
    page.Open("Mechanical design", both ? "wide" : "");
    page.Raw("<table>\n");
    if (both) page.Head({"", "As operated", "At design conditions"});
    struct PairRow {
        const char* label;
        const json& leftGroup;
        const char* leftKey;
        const char* rightKey;
    };
    const PairRow rows[] = {{"Pressure", feed, "pressure", "design_pressure"},
                            {"Temperature", feed, "temperature", "design_temperature"},
                            {"Material", operated, "material", "material"},
                            {"Shell thickness", operated, "wall_thickness", "shell_thickness"},
                            {"Head thickness", operated, "head_thickness", "head_thickness"},
                            {"MAWP", operated, "mawp", "mawp"},
                            {"Hydrotest pressure", operated, "hydrotest_pressure", "hydrotest_pressure"}};
    // The code is in the material's words; the weight has a section of its own.
    std::set<std::string> doneLeft = {"material_code", "vessel_weight"}, doneRight = {"weights", "notes"};
    for (const PairRow& row : rows) {
        doneLeft.insert(row.leftKey);
        doneRight.insert(row.rightKey);
        const json& left = Member(row.leftGroup, row.leftKey);
        const json& right = Member(design, row.rightKey);
        if (both) {
            if (!left.is_null() || !right.is_null()) page.Row(row.label, {Cell(left), Cell(right)});
        } else if (!left.is_null()) {
            page.Row(row.label, {Cell(left)});
        }
    }
    const int orientation = OrientationOf(report);
    if (operated.is_object()) {
        for (const auto& item : operated.items()) {
            if (item.value().is_null() || doneLeft.count(item.key()) > 0) continue;
            const std::string label = ResultLabel("mechanical", item.key(), orientation);
            if (both) {
                page.Row(label, {Cell(item.value()), Cell(Member(design, item.key().c_str()))});
                doneRight.insert(item.key());
            } else {
                page.Row(label, {Cell(item.value())});
            }
        }
    }
    if (both)
        for (const auto& item : design.items())
            if (!item.value().is_null() && doneRight.count(item.key()) == 0) page.Row(Words(item.key()), {"-", Cell(item.value())});
    page.CloseRows();
    if (!both) page.Note("The wall at the operating point, as the sizing computes it.");
    page.Close();
}

void Weights(Page& page, const json& report) {
    const json& priced = Member(Member(report, "mechanical"), "vessel_weight");
    const json& design = Member(Member(report, "mechanical_design"), "weights");
    if (priced.is_null() && !design.is_object()) return;
    page.Open("Weights");
    page.OpenRows();
    if (!priced.is_null()) page.Row("Vessel, as the cost step prices it", {Cell(priced)});
    if (design.is_object()) {
        const std::pair<const char*, const char*> rows[] = {{"shell", "Shell"},
                                                            {"heads", "Heads"},
                                                            {"nozzles", "Nozzles"},
                                                            {"internals", "Internals"},
                                                            {"empty", "Empty"},
                                                            {"operating", "Operating (liquid to NLL)"},
                                                            {"water_full", "Full of water"}};
        const std::set<std::string> done = NamedRows(page, design, rows, ", at design conditions");
        for (const auto& item : design.items())
            if (!item.value().is_null() && done.count(item.key()) == 0)
                page.Row(Words(item.key()) + ", at design conditions", {Cell(item.value())});
    }
    page.CloseRows();
    // The design's notes say what its weights include and leave out; one paragraph, so that the page keeps its length.
    std::string said;
    const json& notes = Member(Member(report, "mechanical_design"), "notes");
    for (const json& note : notes.is_array() ? notes : json::array())
        if (note.is_string()) said += (said.empty() ? "" : "; ") + Escape(note.get<std::string>());
    if (!said.empty()) page.Note(said + ".");
    page.Close();
}

void Cost(Page& page, const json& report) {
    const json& cost = Member(report, "cost");
    page.Open("Cost");
    page.OpenRows();
    GroupRows(page, cost, "cost", OrientationOf(report));
    page.CloseRows();
    const json& weight = Member(Member(report, "mechanical"), "vessel_weight");
    const json& index = Member(cost, "cost_index");
    if (IsMeasured(weight) && index.is_number())
        page.Note("Basis: the design's cost correlation on the vessel weight of " + Cell(weight) + ", at a cost index of " +
                  PlainNumber(index) + "; purchase cost of the vessel, platforms and ladders.");
    page.Close();
}

void Review(Page& page, const json& report) {
    page.Open("Design review", "wide flows");  // a long review runs on past a page rather than start one
    const json& governing = Member(report, "governing");
    const json& findings = Member(report, "review");
    if (governing.is_null() && (!findings.is_array() || findings.empty())) {
        page.Note("The case was not reviewed.");
    } else {
        page.Raw("<ul class=\"findings\">\n");
        if (!Member(governing, "text").is_null()) page.Raw("<li>" + Cell(Member(governing, "text")) + "</li>\n");
        for (const json& f : findings.is_array() ? findings : json::array()) {
            const std::string severity = f.value("severity", std::string());
            page.Raw("<li class=\"sev-" + Escape(severity) + "\"><span class=\"sev\">" + Escape(severity) +
                     "</span> <span class=\"code\">" + Escape(f.value("code", std::string())) +
                     "</span>: " + Escape(f.value("text", std::string())) + "</li>\n");
        }
        page.Raw("</ul>\n");
    }
    for (const json& warning : Member(report, "warnings").is_array() ? Member(report, "warnings") : json::array())
        if (warning.is_string()) page.Note("Input: " + Escape(warning.get<std::string>()));
    page.Close();
}

/// Report keys the sections above show; any other object or list a layer adds gets a section of
/// its own, so that nothing the report has is left off the sheet.
const std::set<std::string>& KnownKeys() {
    static const std::set<std::string> keys = {"name",     "source",      "sized",    "problem",   "missing_results",
                                               "warnings", "units",       "feed",     "vessel",    "liquids",
                                               "vapour",   "mechanical",  "cost",     "governing", "review",
                                               "levels",   "level_times", "settling", "nozzles",   "mechanical_design"};
    return keys;
}

}  // namespace

std::string DatasheetDate(const char* sourceDateEpoch, std::time_t now) {
    std::tm day{};
    char* end = nullptr;
    const long long epoch = sourceDateEpoch != nullptr ? std::strtoll(sourceDateEpoch, &end, 10) : 0;
    if (sourceDateEpoch != nullptr && *sourceDateEpoch != '\0' && end != nullptr && *end == '\0' && epoch >= 0) {
        const auto when = static_cast<std::time_t>(epoch);
        day = *std::gmtime(&when);
    } else {
        day = *std::localtime(&now);
    }
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &day);
    return text;
}

std::string DatasheetDate() { return DatasheetDate(std::getenv("SOURCE_DATE_EPOCH"), std::time(nullptr)); }

std::string DatasheetHtml(const SizingCase& c, const SizingOutcome& outcome, UnitSystem units, const std::string& source,
                          const std::string& date, bool withReview) {
    const std::string drawing = VesselSvg(c, outcome, units);  // throws for a vessel not sized
    return DatasheetHtml(JsonDocument(c, outcome, units, source, withReview), c, drawing, date);
}

std::string DatasheetHtml(const json& report, const SizingCase& c, const std::string& drawing, const std::string& date) {
    Page page;
    TitleBlockRows(page, report, c, date);
    page.Raw("<div class=\"grid\">\n");
    ProcessData(page, Member(report, "feed"));
    Vessel(page, report);
    Liquids(page, report);
    Vapour(page, report);
    page.Raw("<section class=\"wide\"><figure>\n" + drawing + "</figure></section>\n");
    Mechanical(page, report);
    Weights(page, report);
    Cost(page, report);
    if (Member(report, "settling").is_object()) Settling(page, Member(report, "settling"));
    if (Member(report, "nozzles").is_array() && !Member(report, "nozzles").empty()) Nozzles(page, Member(report, "nozzles"));
    for (const auto& item : report.items()) {
        if (KnownKeys().count(item.key()) > 0 || !item.value().is_object()) continue;
        page.Open(Words(item.key()));
        page.OpenRows();
        GroupRows(page, item.value(), item.key(), OrientationOf(report));
        page.CloseRows();
        page.Close();
    }
    Review(page, report);
    page.Raw("</div>\n");

    const std::string name = report.value("name", std::string());
    const std::string tag = c.title.tag.empty() ? name : c.title.tag;
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           Escape(tag.empty() ? "Separator datasheet" : tag) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n" +
           page.Text() + "</body>\n</html>\n";
}

}  // namespace kestrol::host
