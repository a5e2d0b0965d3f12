#include "automation/script_case.h"

#include <algorithm>
#include <utility>

#include "host/batch.h"
#include "host/command_line.h"
#include "host/datasheet.h"
#include "host/mechanical_report.h"
#include "host/report.h"
#include "host/svg.h"
#include "model/csv.h"
#include "model/result_fields.h"

namespace kestrol::automation {
namespace {

using host::InputError;

constexpr const char* kOrientationUsed = "orientation_used";
constexpr const char* kStatusColumn = "status";
constexpr const char* kMessageColumn = "message";
// The batch's text columns besides the status and message.
constexpr const char* kWarningsColumn = "warnings";
constexpr const char* kGoverningDiameterColumn = "governing_diameter";
constexpr const char* kGoverningLengthColumn = "governing_length";

ScriptResult Null() { return {}; }
ScriptResult Number(double v) { return {ScriptResult::Kind::Number, v, {}}; }
ScriptResult Text(std::string text) { return {ScriptResult::Kind::Text, 0.0, std::move(text)}; }

/// The batch column a key names; throws with the batch's names as the candidates.
int Column(const std::string& key) {
    const int column = host::FindColumn(key);
    if (column == host::kUnknownColumn) throw InputError("", key, host::UnknownNameMessage("key", key, host::CsvColumnNames()));
    return column;
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
    const int column = Column(key);
    host::SizingCase changed = case_;
    host::InputProblem problem;
    switch (value.kind) {
        case ScriptValue::Kind::Missing: problem = host::SetCaseCell(column, {}, changed); break;  // an empty cell: not given
        case ScriptValue::Kind::Number: problem = host::SetCaseNumber(column, value.number, changed); break;
        case ScriptValue::Kind::Text: problem = host::SetCaseCell(column, value.text, changed); break;
        case ScriptValue::Kind::Other:
            problem = {key, value.text + (host::ColumnTakesNumber(column) ? " is not a number; give a number or numeric text" : " is not text")};
            break;
    }
    if (problem) throw InputError("", problem.key, problem.reason);
    case_ = std::move(changed);
    last_.reset();
}

ScriptResult ScriptCase::Value(const std::string& key) const {
    host::CaseValue v = host::CaseValueOf(Column(key), case_);
    switch (v.kind) {
        case host::CaseValue::Kind::Number: return Number(v.number);
        case host::CaseValue::Kind::Text: return Text(std::move(v.text));
        case host::CaseValue::Kind::Unset: break;
    }
    return Null();
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
    const std::vector<std::string>& names = ResultNames();
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) throw InputError("", "", host::UnknownNameMessage("result", name, names));
    // The batch's own row for the case, so that every column, those of layers added later too,
    // reads as a batch writes it; its numbers are written shortest-exact and read back bit for bit.
    std::string row;
    host::AppendResultColumns(row, s.sized, s.outcome);
    std::vector<std::string_view> cells;
    std::string scratch;
    host::SplitCsvLine(row, cells, scratch);
    const std::string_view cell = cells[static_cast<std::size_t>(at - names.begin())];
    if (name == kWarningsColumn || name == kStatusColumn || name == kMessageColumn) return Text(std::string(cell));
    if (cell.empty()) return Null();
    if (name == kOrientationUsed || name == kGoverningDiameterColumn || name == kGoverningLengthColumn || name == host::kDesignMaterialColumn)
        return Text(std::string(cell));
    return Number(*host::ParseNumber(cell));
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

std::string ScriptCase::Datasheet() const {
    const Sizing& s = Last();
    if (!s.outcome.Sized()) throw InputError(s.source, "", "no datasheet: the vessel was not sized");
    return host::DatasheetHtml(s.sized, s.outcome, host::UnitSystem::SI, s.source, host::DatasheetDate());
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
