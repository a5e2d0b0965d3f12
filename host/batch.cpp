#include "host/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "host/case_file.h"
#include "host/csv.h"
#include "host/result_fields.h"
#include "host/sizing_run.h"
#include "review/review.h"

namespace kestrol::host {
namespace {

/// Rows one worker takes at a time: large enough to keep the hand-out cheap, small enough
/// that the writer and the progress bar move steadily.
constexpr std::size_t kChunkRows = 256;

enum class ColumnKind { Name, Orientation, Number };

struct Column {
    ColumnKind kind;
    int key;  ///< CaseKeys() index for numbers
};

const char* CsvUnit(Quantity q) {
    switch (q) {
        case Quantity::Length:
        case Quantity::Thickness: return "_m";
        case Quantity::Time: return "_s";
        case Quantity::Velocity: return "_m_s";
        case Quantity::Stress: return "_kPa";
        case Quantity::Density: return "_kg_m3";
        case Quantity::Money: return "_USD";
        default: return "";
    }
}

std::string ResultColumnName(const ResultField& f) {
    if (f.quantity == Quantity::Material) return "material_code";
    return std::string(f.key) + CsvUnit(f.quantity);
}

std::vector<Column> ReadHeader(std::string_view line, const std::string& source, std::vector<std::string>& names) {
    std::vector<std::string_view> fields;
    std::string scratch;
    if (!SplitCsvLine(line, fields, scratch)) throw InputError(source + ": header: a quote is left open");
    std::vector<Column> columns;
    const std::vector<std::string> known = CsvColumnNames();
    for (std::string_view field : fields) {
        const std::string name(field);
        if (std::find(names.begin(), names.end(), name) != names.end())
            throw InputError(source + ": header: column \"" + name + "\" is named twice");
        if (name == "name") {
            columns.push_back({ColumnKind::Name, -1});
        } else if (name == "orientation") {
            columns.push_back({ColumnKind::Orientation, -1});
        } else {
            int key = FindCaseKey(name, false);
            if (key < 0) key = FindCaseKey(name, true);
            if (key < 0) {
                std::string message = source + ": header: unknown column \"" + name + "\"";
                const std::string nearest = NearestKey(name, known);
                if (!nearest.empty()) message += " (did you mean \"" + nearest + "\"?)";
                throw InputError(message);
            }
            columns.push_back({ColumnKind::Number, key});
        }
        names.push_back(name);
    }
    return columns;
}

/// Reads one row into a case; an empty string, or what is wrong with the row.
std::string ReadRow(const std::vector<Column>& columns, const std::vector<std::string_view>& fields, SizingCase& c) {
    if (fields.size() != columns.size())
        return "the row has " + std::to_string(fields.size()) + " fields, the header names " + std::to_string(columns.size());
    const auto& keys = CaseKeys();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string_view field = fields[i];
        switch (columns[i].kind) {
            case ColumnKind::Name: c.name = std::string(field); break;
            case ColumnKind::Orientation:
                try {
                    c.orientation = ParseOrientation(field);
                } catch (const InputError& e) {
                    return std::string("orientation: ") + e.what();
                }
                break;
            case ColumnKind::Number: {
                if (field.empty()) break;  // not given
                const CaseKey& key = keys[static_cast<std::size_t>(columns[i].key)];
                const std::optional<double> v = ParseNumber(field);
                if (!v) return std::string(key.key) + ": \"" + std::string(field) + "\" is not a number";
                const std::string problem = CheckValue(key, *v);
                if (!problem.empty()) return std::string(key.key) + ": " + problem;
                c.values[static_cast<std::size_t>(columns[i].key)] = *v;
                break;
            }
        }
    }
    return CheckCase(c);
}

void AppendResults(std::string& out, const SizingCase& c, const SizingOutcome& o) {
    out.append(o.orientation == 0 ? "vertical" : o.orientation == 1 ? "horizontal" : "");
    for (const ResultField& f : ResultFields()) {
        out.push_back(',');
        const double v = o.values[static_cast<std::size_t>(f.index)];
        if (IsEmpty(v) || !std::isfinite(v) || o.result != S_OK || !Applies(f, c, o.orientation)) continue;
        AppendNumber(out, std::fabs(v));
    }
}

/// Columns the review adds after the results.
constexpr const char* kReviewColumns[] = {"vessel_weight_kg", "governing_diameter", "governing_length", "warnings", "vapour_load_percent"};

void AppendReview(std::string& out, const review::Review& r) {
    out.push_back(',');
    if (const review::Finding* weight = r.Find(review::Code::WeightAndCost)) AppendNumber(out, weight->Get("vessel_weight"));
    out.push_back(',');
    out.append(review::ConstraintKey(r.governing.diameter));
    out.push_back(',');
    out.append(review::ConstraintKey(r.governing.length));
    out.push_back(',');
    bool first = true;
    for (const review::Finding& f : r) {
        if (f.severity != review::Severity::Warning) continue;
        if (!first) out.push_back(';');
        out.append(review::CodeName(f.code));
        first = false;
    }
    out.push_back(',');
    if (r.count > 0 && r.governing.vapourLoadPercent >= 0.0) AppendNumber(out, r.governing.vapourLoadPercent);
}

void CountWarnings(const review::Review& r, BatchSummary& counts) {
    bool any = false;
    for (const review::Finding& f : r) {
        if (f.severity != review::Severity::Warning) continue;
        ++counts.warnings[static_cast<std::size_t>(f.code)];
        any = true;
    }
    if (any) ++counts.withWarnings;
}

void AppendEmptyResults(std::string& out) {
    for (std::size_t i = 0; i < ResultFields().count + std::size(kReviewColumns); ++i) out.push_back(',');
}

struct Shared {
    const std::vector<Column>* columns;
    const std::vector<std::string_view>* lines;
    const std::vector<std::size_t>* lineNumbers;
    std::vector<std::string> chunkText;
    std::vector<unsigned char> chunkDone;
    std::vector<BatchSummary> chunkCounts;
    std::atomic<std::size_t> nextChunk{0};
    std::atomic<std::size_t> rowsDone{0};
    std::mutex mutex;
    std::condition_variable chunkFinished;
};

void SizeChunk(Shared& shared, std::size_t chunk) {
    const auto& lines = *shared.lines;
    const std::size_t first = chunk * kChunkRows;
    const std::size_t last = std::min(first + kChunkRows, lines.size());
    std::string out;
    out.reserve((last - first) * 512);
    BatchSummary counts;
    std::vector<std::string_view> fields;
    std::string scratch;
    const std::size_t width = shared.columns->size();
    for (std::size_t row = first; row < last; ++row) {
        SizingCase c;
        std::string problem;
        if (!SplitCsvLine(lines[row], fields, scratch)) {
            problem = "a quote is left open";
            fields.clear();
        } else {
            problem = ReadRow(*shared.columns, fields, c);
        }
        for (std::size_t i = 0; i < width; ++i) {
            if (i > 0) out.push_back(',');
            if (i < fields.size()) AppendCsvField(out, fields[i]);
        }
        out.push_back(',');
        if (!problem.empty()) {
            AppendEmptyResults(out);
            out.append(",bad input,");
            AppendCsvField(out, "line " + std::to_string((*shared.lineNumbers)[row]) + ": " + problem);
            ++counts.badInput;
        } else {
            const SizingOutcome outcome = SizeCase(c);
            AppendResults(out, c, outcome);
            const review::Review r = review::ReviewCase(c, outcome, review::Scope::Batch);
            AppendReview(out, r);
            CountWarnings(r, counts);
            if (outcome.Sized()) {
                out.append(",sized,");
                ++counts.sized;
            } else {
                out.append(",not sized,");
                AppendCsvField(out, ExplainFailure(c, outcome));
                ++counts.notSized;
            }
        }
        out.push_back('\n');
    }
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.chunkText[chunk] = std::move(out);
        shared.chunkCounts[chunk] = counts;
        shared.chunkDone[chunk] = 1;
    }
    shared.rowsDone.fetch_add(last - first, std::memory_order_relaxed);
    shared.chunkFinished.notify_one();
}

void Work(Shared& shared, std::size_t chunks) {
    for (std::size_t chunk = shared.nextChunk.fetch_add(1); chunk < chunks; chunk = shared.nextChunk.fetch_add(1)) SizeChunk(shared, chunk);
}

}  // namespace

std::string ResultHeader() {
    std::string header = "orientation_used";
    for (const ResultField& f : ResultFields()) header += "," + ResultColumnName(f);
    for (const char* column : kReviewColumns) header += std::string(",") + column;
    return header + ",status,message";
}

BatchSummary SizeCsv(const std::string& text, const std::string& source, std::ostream& out, const BatchOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    std::string_view all(text);
    if (all.substr(0, 3) == "\xEF\xBB\xBF") all.remove_prefix(3);  // a byte-order mark some spreadsheets write

    std::vector<std::string_view> lines;
    std::vector<std::size_t> lineNumbers;
    std::string_view header;
    bool haveHeader = false;
    std::size_t lineNumber = 0;
    while (!all.empty()) {
        std::size_t end = all.find('\n');
        std::string_view line = all.substr(0, end);
        all.remove_prefix(end == std::string_view::npos ? all.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t,") == std::string_view::npos) continue;  // blank lines carry no case
        if (!haveHeader) {
            header = line;
            haveHeader = true;
        } else {
            lines.push_back(line);
            lineNumbers.push_back(lineNumber);
        }
    }
    if (!haveHeader) throw InputError(source + ": the file is empty; the first line must name the columns");
    std::vector<std::string> names;
    const std::vector<Column> columns = ReadHeader(header, source, names);

    std::string headerOut;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) headerOut.push_back(',');
        AppendCsvField(headerOut, names[i]);
    }
    out << headerOut << ',' << ResultHeader() << '\n';

    Shared shared;
    shared.columns = &columns;
    shared.lines = &lines;
    shared.lineNumbers = &lineNumbers;
    const std::size_t chunks = (lines.size() + kChunkRows - 1) / kChunkRows;
    shared.chunkText.resize(chunks);
    shared.chunkDone.assign(chunks, 0);
    shared.chunkCounts.resize(chunks);

    unsigned jobs = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(chunks, 1)));
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(Work, std::ref(shared), chunks);

    // Written in input order as chunks finish, so memory holds only what is not yet written.
    BatchSummary summary;
    for (std::size_t next = 0; next < chunks; ++next) {
        std::string chunkText;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            while (!shared.chunkDone[next]) {
                shared.chunkFinished.wait_for(lock, std::chrono::milliseconds(100));
                if (options.progress) {
                    lock.unlock();
                    options.progress(shared.rowsDone.load(std::memory_order_relaxed), lines.size());
                    lock.lock();
                }
            }
            chunkText = std::move(shared.chunkText[next]);
        }
        out << chunkText;
        const BatchSummary& counts = shared.chunkCounts[next];
        summary.sized += counts.sized;
        summary.notSized += counts.notSized;
        summary.badInput += counts.badInput;
        summary.withWarnings += counts.withWarnings;
        for (std::size_t code = 0; code < counts.warnings.size(); ++code) summary.warnings[code] += counts.warnings[code];
    }
    for (std::thread& worker : workers) worker.join();
    if (options.progress) options.progress(lines.size(), lines.size());
    summary.rows = lines.size();
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return summary;
}

}  // namespace kestrol::host
