#include "automation/script_case.h"

#include <cmath>
#include <utility>

#include "host/batch.h"
#include "host/command_line.h"
#include "host/report.h"
#include "host/svg.h"
#include "model/csv.h"
#include "model/result_fields.h"

namespace kestrol::automation {
namespace {

using host::InputError;

constexpr const char* kNameKey = "name";
constexpr const char* kOrientationKey = "orientation";
constexpr const char* kOrientationUsed = "orientation_used";
constexpr const char* kStatusColumn = "status";
constexpr const char* kMessageColumn = "message";

ScriptResult Null() { return {}; }
ScriptResult Number(double v) { return {ScriptResult::Kind::Number, v, {}}; }
ScriptResult Text(std::string text) { return {ScriptResult::Kind::Text, 0.0, std::move(text)}; }

/// The CaseKeys() index of a numeric key of the batch format, or -1.
int NumericKey(const std::string& key) {
    const int stream = host::FindCaseKey(key, false);
    return stream >= 0 ? stream : host::FindCaseKey(key, true);
}

[[noreturn]] void UnknownKey(const std::string& key) {
    throw InputError("", key, host::UnknownNameMessage("key", key, host::CsvColumnNames()));
}

/// The number a value stands for, read as a batch cell is; throws naming the key.
double NumberFrom(const host::CaseKey& key, const ScriptValue& value) {
    double v = value.number;
    if (value.kind == ScriptValue::Kind::Text) {
        const std::optional<double> parsed = host::ParseNumber(value.text);
        if (!parsed) throw InputError("", key.key, "\"" + host::Echo(value.text) + "\" is not a number");
        v = *parsed;
    } else if (value.kind == ScriptValue::Kind::Other) {
        throw InputError("", key.key, value.text + " is not a number; give a number or numeric text");
    }
    if (const std::string problem = host::CheckValue(key, v); !problem.empty()) throw InputError("", key.key, problem);
    return v;
}

const char* StatusWord(const host::SizingOutcome& o) {
    if (o.Sized()) return "sized";
    return o.Refused() ? "bad input" : "not sized";
}

}  // namespace

void ScriptCase::Clear() {
    case_ = host::SizingCase();
    source_ = kScriptSource;
    last_.reset();
}

void ScriptCase::SetValue(const std::string& key, const ScriptValue& value) {
    const bool missing = value.kind == ScriptValue::Kind::Missing;
    if (key == kNameKey) {
        if (!missing && value.kind != ScriptValue::Kind::Text) throw InputError("", key, "a name is text");
        case_.name = missing ? std::string() : value.text;
    } else if (key == kOrientationKey) {
        host::Orientation o = host::Orientation::Auto;
        if (!missing && value.kind != ScriptValue::Kind::Text)
            throw InputError("", key, "an orientation is text: auto, vertical or horizontal");
        if (!missing) {
            try {
                o = host::ParseOrientation(value.text);
            } catch (const InputError& e) {
                throw InputError("", key, e.Reason());
            }
        }
        case_.orientation = o;
    } else {
        const int index = NumericKey(key);
        if (index < 0) UnknownKey(key);
        const host::CaseKey& k = host::CaseKeys()[static_cast<std::size_t>(index)];
        case_.values[static_cast<std::size_t>(index)] = missing ? kEmptyValue : NumberFrom(k, value);
    }
    last_.reset();
}

ScriptResult ScriptCase::Value(const std::string& key) const {
    if (key == kNameKey) return case_.name.empty() ? Null() : Text(case_.name);
    if (key == kOrientationKey) return Text(host::OrientationWord(case_.orientation));
    const int index = NumericKey(key);
    if (index < 0) UnknownKey(key);
    return case_.Has(index) ? Number(case_.Get(index)) : Null();
}

void ScriptCase::LoadCase(const std::string& path) {
    host::SizingCase loaded = host::LoadCaseFile(path);
    case_ = std::move(loaded);
    source_ = path;
    last_.reset();
}

void ScriptCase::LoadCaseText(const std::string& text, const std::string& source) {
    host::SizingCase loaded = host::ParseCaseJson(text, source);
    case_ = std::move(loaded);
    source_ = source;
    last_.reset();
}

bool ScriptCase::Size() {
    Sizing s;
    s.sized = case_;
    s.source = source_;
    if (const host::InputProblem problem = host::CheckCase(case_)) {
        // Refused before the object sees it, as a batch row is: no number reaches the object.
        s.outcome.refusal = problem;
    } else {
        s.outcome = host::SizeCase(case_);
    }
    s.review = review::ReviewCase(s.sized, s.outcome);
    last_ = std::move(s);
    return last_->outcome.Sized();
}

const ScriptCase::Sizing& ScriptCase::Last() const {
    if (!last_) throw InputError("the case has not been sized since it was last changed: call Size() first");
    return *last_;
}

std::string ScriptCase::Status() const { return StatusWord(Last().outcome); }

std::string ScriptCase::Message() const {
    const Sizing& s = Last();
    if (s.outcome.Sized()) return {};
    return s.outcome.Refused() ? s.outcome.refusal.Text() : host::ExplainFailure(s.sized, s.outcome);
}

const std::vector<std::string>& ScriptCase::ResultNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        std::vector<std::string_view> fields;
        std::string scratch;
        const std::string header = host::ResultHeader();
        host::SplitCsvLine(header, fields, scratch);
        for (std::string_view f : fields) list.emplace_back(f);
        return list;
    }();
    return names;
}

ScriptResult ScriptCase::Result(const std::string& name) const {
    const Sizing& s = Last();
    const host::SizingOutcome& o = s.outcome;
    if (name == kOrientationUsed) {
        if (o.Refused() || (o.orientation != 0 && o.orientation != 1)) return Null();
        return Text(o.orientation == 0 ? "vertical" : "horizontal");
    }
    const bool sized = o.Sized();
    for (const host::ResultField& f : host::ResultFields()) {
        if (host::ResultColumnName(f) != name) continue;
        const double v = host::ResultCell(f, s.sized, o, sized);
        return std::isnan(v) ? Null() : Number(v);
    }
    const host::ReviewCells cells = host::ReviewCellsOf(s.review);
    const std::vector<std::string> review = host::ReviewColumnNames();
    // The review's columns in the batch's order: governing diameter and length, warnings, load.
    if (name == review[0]) return *cells.governingDiameter ? Text(cells.governingDiameter) : Null();
    if (name == review[1]) return *cells.governingLength ? Text(cells.governingLength) : Null();
    if (name == review[2]) {
        std::string codes;
        host::AppendWarningCodes(codes, cells);
        return Text(codes);
    }
    if (name == review[3]) return cells.vapourLoadPercent ? Number(*cells.vapourLoadPercent) : Null();
    if (name == kStatusColumn) return Text(StatusWord(o));
    if (name == kMessageColumn) return Text(Message());
    throw InputError("", "", host::UnknownNameMessage("result", name, ResultNames()));
}

std::string ScriptCase::Json() const {
    const Sizing& s = Last();
    if (s.outcome.Refused()) {
        const InputError e(s.source, s.outcome.refusal.key, s.outcome.refusal.reason);
        return host::JsonErrorDocument(e).dump(2) + "\n";
    }
    return host::JsonReport(s.sized, s.outcome, host::UnitSystem::SI, s.source);
}

std::string ScriptCase::Report(const std::string& units) const {
    const Sizing& s = Last();
    if (units != "si" && units != "us")
        throw InputError("", "units", "\"" + host::Echo(units) + "\" is not a unit system: si or us");
    if (s.outcome.Refused()) throw InputError(s.source, s.outcome.refusal.key, s.outcome.refusal.reason);
    return host::TextReport(s.sized, s.outcome, units == "us" ? host::UnitSystem::US : host::UnitSystem::SI, s.source);
}

std::string ScriptCase::Svg() const {
    const Sizing& s = Last();
    if (!s.outcome.Sized()) throw InputError(s.source, "", "no drawing: the vessel was not sized");
    return host::VesselSvg(s.sized, s.outcome, host::UnitSystem::SI);
}

std::size_t ScriptCase::FindingCount() const { return Last().review.count; }

const review::Finding& ScriptCase::FindingAt(long index) const {
    const Sizing& s = Last();
    const std::size_t count = s.review.count;
    if (index < 1 || static_cast<std::size_t>(index) > count) {
        const std::string range = count == 0 ? "the review has no findings" : "findings count from 1 to " + std::to_string(count);
        throw InputError("", "", "no finding " + std::to_string(index) + ": " + range);
    }
    return s.review.items[static_cast<std::size_t>(index - 1)];
}

std::string ScriptCase::FindingCode(long index) const { return review::CodeName(FindingAt(index).code); }

std::string ScriptCase::FindingSeverity(long index) const {
    return FindingAt(index).severity == review::Severity::Warning ? "warning" : "note";
}

std::string ScriptCase::FindingText(long index) const {
    const review::Finding& f = FindingAt(index);
    return review::Describe(f, Last().review.governing, host::UnitSystem::SI);
}

double ScriptCase::GetValue(long slot) const {
    const Sizing& s = Last();
    if (slot < 1 || slot > kSlotCount) throw InputError("", "", "no slot " + std::to_string(slot) + ": slots count from 1 to " + std::to_string(kSlotCount));
    return s.outcome.values[static_cast<std::size_t>(slot)];
}

std::string ScriptCase::Version() {
    std::string text = host::VersionText();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

}  // namespace kestrol::automation
