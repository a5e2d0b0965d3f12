#include "host/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
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

std::vector<Column> ReadHeader(std::string_view line, std::size_t lineNumber, const std::string& source, std::vector<std::string>& names) {
    std::vector<std::string_view> fields;
    std::string scratch;
    if (!SplitCsvLine(line, fields, scratch)) throw InputError(source, "header", "a quote is left open", lineNumber, 1);
    std::vector<Column> columns;
    const std::vector<std::string> known = CsvColumnNames();
    for (std::string_view field : fields) {
        const std::string name(field);
        if (std::find(names.begin(), names.end(), name) != names.end())
            throw InputError(source, "header", "column \"" + name + "\" is named twice", lineNumber, 1);
        if (name == "name") {
            columns.push_back({ColumnKind::Name, -1});
        } else if (name == "orientation") {
            columns.push_back({ColumnKind::Orientation, -1});
        } else {
            int key = FindCaseKey(name, false);
            if (key < 0) key = FindCaseKey(name, true);
            if (key < 0) throw InputError(source, "header", UnknownNameMessage("column", name, known), lineNumber, 1);
            columns.push_back({ColumnKind::Number, key});
        }
        names.push_back(name);
    }
    return columns;
}

/// Reads one row into a case; no problem, or what is wrong with the row.
InputProblem ReadRow(const std::vector<Column>& columns, const std::vector<std::string_view>& fields, SizingCase& c) {
    if (fields.size() != columns.size())
        return {"", "the row has " + std::to_string(fields.size()) + " fields, the header names " + std::to_string(columns.size())};
    const auto& keys = CaseKeys();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string_view field = fields[i];
        switch (columns[i].kind) {
            case ColumnKind::Name: c.name = std::string(field); break;
            case ColumnKind::Orientation:
                try {
                    c.orientation = ParseOrientation(field);
                } catch (const InputError& e) {
                    return {"orientation", e.Reason()};
                }
                break;
            case ColumnKind::Number: {
                if (field.empty()) break;  // not given
                const CaseKey& key = keys[static_cast<std::size_t>(columns[i].key)];
                const std::optional<double> v = ParseNumber(field);
                if (!v) return {key.key, "\"" + std::string(field) + "\" is not a number"};
                const std::string problem = CheckValue(key, *v);
                if (!problem.empty()) return {key.key, problem};
                c.values[static_cast<std::size_t>(columns[i].key)] = *v;
                break;
            }
        }
    }
    return CheckCase(c);
}

/// Columns the review adds after the results.
constexpr const char* kReviewColumns[] = {"vessel_weight_kg", "governing_diameter", "governing_length", "warnings", "vapour_load_percent"};

void AppendReview(std::string& out, const review::Review& r) {
    const ReviewCells cells = ReviewCellsOf(r);
    out.push_back(',');
    if (cells.vesselWeight) AppendNumber(out, *cells.vesselWeight);
    out.push_back(',');
    out.append(cells.governingDiameter);
    out.push_back(',');
    out.append(cells.governingLength);
    out.push_back(',');
    AppendWarningCodes(out, cells);
    out.push_back(',');
    if (cells.vapourLoadPercent) AppendNumber(out, *cells.vapourLoadPercent);
}

void CountWarnings(const review::Review& r, BatchSummary& counts) {
    bool any = false;
    for (const review::Finding& f : r) {
        if (f.severity != review::Severity::Warning) continue;
        ++counts.reviewWarnings[static_cast<std::size_t>(f.code)];
        any = true;
    }
    if (any) ++counts.withReviewWarnings;
}

void AppendEmptyResults(std::string& out) {
    for (std::size_t i = 0; i < ResultFields().count + std::size(kReviewColumns); ++i) out.push_back(',');
}

struct Record {
    std::string_view text;
    std::size_t line;
};

/// A run of records that one worker sizes at a time, and then its result rows.
struct Chunk {
    std::vector<Record> records;
    std::string text;
    BatchSummary counts;
    bool done = false;
};

/// Chunks flow from the splitter (the calling thread) to the workers and on to the writer.
struct Pipeline {
    const std::vector<Column>* columns = nullptr;
    const std::atomic<int>* stop = nullptr;
    std::deque<Chunk> chunks;  // a deque keeps the chunks in place while it grows
    std::size_t split = 0;     // chunks the splitter has handed out
    bool splitting = true;
    std::size_t nextToSize = 0;
    std::size_t rowsSplit = 0;
    std::atomic<std::size_t> rowsDone{0};
    std::mutex mutex;
    std::condition_variable chunkSplit;
    std::condition_variable chunkSized;

    bool Stopped() const { return stop != nullptr && stop->load(std::memory_order_relaxed) != 0; }
};

void AppendRow(std::string& out, const Record& record, const std::vector<Column>& columns, std::vector<std::string_view>& fields,
               std::string& scratch, BatchSummary& counts) {
    SizingCase c;
    InputProblem problem;
    if (!SplitCsvLine(record.text, fields, scratch)) {
        problem = {"", "a quote is left open"};
        fields.clear();
    } else {
        problem = ReadRow(columns, fields, c);
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out.push_back(',');
        if (i < fields.size()) AppendCsvField(out, fields[i]);
    }
    out.push_back(',');
    if (problem) {
        AppendEmptyResults(out);
        out.append(",bad input,");
        AppendCsvField(out, "line " + std::to_string(record.line) + ": " + problem.Text());
        ++counts.badInput;
    } else {
        const SizingOutcome outcome = SizeCase(c);
        CountWarnings(AppendResultColumns(out, c, outcome), counts);
        if (outcome.Sized()) {
            ++counts.sized;
        } else if (outcome.Refused()) {
            ++counts.badInput;
        } else {
            ++counts.notSized;
        }
    }
    out.push_back('\n');
}

void Work(Pipeline& p) {
    std::vector<std::string_view> fields;
    std::string scratch;
    while (true) {
        Chunk* chunk = nullptr;
        {
            std::unique_lock<std::mutex> lock(p.mutex);
            p.chunkSplit.wait(lock, [&] { return p.nextToSize < p.split || !p.splitting || p.Stopped(); });
            if (p.nextToSize >= p.split || p.Stopped()) {
                if (!p.splitting || p.Stopped()) return;
                continue;
            }
            chunk = &p.chunks[p.nextToSize++];
        }
        std::string out;
        out.reserve(chunk->records.size() * 512);
        BatchSummary counts;
        for (const Record& record : chunk->records) AppendRow(out, record, *p.columns, fields, scratch, counts);
        {
            std::lock_guard<std::mutex> lock(p.mutex);
            chunk->text = std::move(out);
            chunk->counts = counts;
            chunk->done = true;
        }
        p.rowsDone.fetch_add(chunk->records.size(), std::memory_order_relaxed);
        p.chunkSized.notify_all();
    }
}

/// Writes the chunks in input order as they finish, so memory holds only what is not yet
/// written; counts the statuses and drives the progress bar.
void Write(Pipeline& p, std::ostream& out, const BatchOptions& options, BatchSummary& summary) {
    for (std::size_t next = 0;; ++next) {
        std::string text;
        {
            std::unique_lock<std::mutex> lock(p.mutex);
            while (true) {
                if (p.Stopped()) return;
                if (next < p.split && p.chunks[next].done) break;
                if (next >= p.split && !p.splitting) return;
                p.chunkSized.wait_for(lock, std::chrono::milliseconds(100));
                if (options.progress) {
                    const std::size_t total = p.splitting ? 0 : p.rowsSplit;
                    lock.unlock();
                    options.progress(p.rowsDone.load(std::memory_order_relaxed), total);
                    lock.lock();
                }
            }
            Chunk& chunk = p.chunks[next];
            text = std::move(chunk.text);
            summary.sized += chunk.counts.sized;
            summary.notSized += chunk.counts.notSized;
            summary.badInput += chunk.counts.badInput;
            summary.withReviewWarnings += chunk.counts.withReviewWarnings;
            for (std::size_t code = 0; code < review::kCodeCount; ++code) summary.reviewWarnings[code] += chunk.counts.reviewWarnings[code];
            chunk.text = std::string();
            chunk.records = std::vector<Record>();
        }
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
}

/// Rows one worker takes at a time: large enough to keep the hand-out cheap, small enough
/// that the writer and the progress bar move steadily.
constexpr std::size_t kChunkRows = 256;

bool IsBlank(std::string_view record) { return record.find_first_not_of(" \t") == std::string_view::npos; }
bool IsOnlySeparators(std::string_view record) { return record.find_first_not_of(" \t,\"") == std::string_view::npos; }

}  // namespace

ReviewCells ReviewCellsOf(const review::Review& r) {
    ReviewCells cells;
    if (const review::Finding* weight = r.Find(review::Code::WeightAndCost)) cells.vesselWeight = weight->Get("vessel_weight");
    cells.governingDiameter = review::ConstraintKey(r.governing.diameter);
    cells.governingLength = review::ConstraintKey(r.governing.length);
    for (const review::Finding& f : r)
        if (f.severity == review::Severity::Warning) cells.warnings[cells.warningCount++] = f.code;
    if (r.count > 0 && r.governing.vapourLoadPercent >= 0.0) cells.vapourLoadPercent = r.governing.vapourLoadPercent;
    return cells;
}

void AppendWarningCodes(std::string& out, const ReviewCells& cells) {
    for (std::size_t i = 0; i < cells.warningCount; ++i) {
        if (i > 0) out.push_back(';');
        out.append(review::CodeName(cells.warnings[i]));
    }
}

std::vector<std::string> ReviewColumnNames() { return {std::begin(kReviewColumns), std::end(kReviewColumns)}; }

std::string ResultHeader() {
    std::string header = "orientation_used";
    for (const ResultField& f : ResultFields()) header += "," + ResultColumnName(f);
    for (const char* column : kReviewColumns) header += std::string(",") + column;
    return header + ",status,message";
}

review::Review AppendResultColumns(std::string& out, const SizingCase& c, const SizingOutcome& o) {
    const bool sized = o.Sized();
    if (!o.Refused()) out.append(o.orientation == 0 ? "vertical" : o.orientation == 1 ? "horizontal" : "");
    for (const ResultField& f : ResultFields()) {
        out.push_back(',');
        if (const double v = ResultCell(f, c, o, sized); !std::isnan(v)) AppendNumber(out, v);
    }
    const review::Review r = review::ReviewCase(c, o, review::Scope::Batch);
    AppendReview(out, r);
    if (sized) {
        out.append(",sized,");
    } else if (o.Refused()) {
        out.append(",bad input,");
        AppendCsvField(out, o.refusal.Text());
    } else {
        out.append(",not sized,");
        AppendCsvField(out, ExplainFailure(c, o));
    }
    return r;
}

BatchSummary SizeCsv(const std::string& text, const std::string& source, std::ostream& out, const BatchOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    std::string_view rest(text);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);  // a byte-order mark some spreadsheets write
    // Refused as a case file's JSON is: a name in another encoding would come back garbled.
    if (const std::size_t bad = FirstInvalidUtf8(rest); bad != std::string_view::npos) {
        const auto [line, column] = LineAndColumn(rest, bad);
        throw InputError(source, "", "is not UTF-8 text (save the CSV as UTF-8)", line, column);
    }

    BatchSummary summary;
    std::size_t lineNumber = 0;
    std::string_view header;
    std::size_t headerLine = 0;
    while (!rest.empty() && header.empty()) {
        const std::size_t first = lineNumber + 1;
        const std::string_view record = NextCsvRecord(rest, lineNumber);
        if (IsBlank(record)) continue;
        header = record;
        headerLine = first;
    }
    if (header.empty()) throw InputError(source, "", "the file is empty; the first line must name the columns");
    std::vector<std::string> names;
    const std::vector<Column> columns = ReadHeader(header, headerLine, source, names);

    std::string headerOut;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) headerOut.push_back(',');
        AppendCsvField(headerOut, names[i]);
    }
    out << headerOut << ',' << ResultHeader() << '\n';

    Pipeline p;
    p.columns = &columns;
    p.stop = options.stop;
    unsigned jobs = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(Work, std::ref(p));
    std::thread writer(Write, std::ref(p), std::ref(out), std::cref(options), std::ref(summary));

    // Blank lines carry no case; a row of empty fields is no case either, but say so.
    std::vector<Record> records;
    records.reserve(kChunkRows);
    auto handOut = [&](bool last) {
        std::lock_guard<std::mutex> lock(p.mutex);
        if (!records.empty()) {
            p.chunks.emplace_back().records = std::move(records);
            ++p.split;
        }
        if (last) p.splitting = false;
        records = std::vector<Record>();
        records.reserve(kChunkRows);
    };
    std::size_t rows = 0;
    while (!rest.empty() && !p.Stopped()) {
        const std::size_t first = lineNumber + 1;
        const std::string_view record = NextCsvRecord(rest, lineNumber);
        if (IsBlank(record)) continue;
        if (IsOnlySeparators(record)) {
            summary.warnings.push_back(source + ":" + std::to_string(first) + ": a row of empty fields holds no case; it was skipped");
            continue;
        }
        records.push_back({record, first});
        ++rows;
        if (records.size() == kChunkRows) {
            handOut(false);
            p.chunkSplit.notify_all();
        }
    }
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        p.rowsSplit = rows;
    }
    handOut(true);
    p.chunkSplit.notify_all();
    p.chunkSized.notify_all();
    for (std::thread& worker : workers) worker.join();
    writer.join();
    summary.stopped = p.Stopped();
    if (options.progress && !summary.stopped) options.progress(rows, rows);
    summary.rows = rows;
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return summary;
}

std::string ResultColumnName(const ResultField& f) {
    if (f.quantity == Quantity::Material) return "material_code";
    return std::string(f.key) + CsvUnit(f.quantity);
}

double ResultCell(const ResultField& f, const SizingCase& c, const SizingOutcome& o, bool sized) {
    return Reported(f, c, o, sized) ? std::fabs(o.values[static_cast<std::size_t>(f.index)]) : std::nan("");
}

double ResultCell(const ResultField& f, const SizingCase& c, const SizingOutcome& o) { return ResultCell(f, c, o, o.Sized()); }

std::vector<int> ColumnKeys(const std::vector<std::string>& names, const std::string& source) {
    // Read as the header line a CSV of these columns would have: the same checks, the same words.
    std::string line;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) line.push_back(',');
        AppendCsvField(line, names[i]);
    }
    std::vector<std::string> read;
    std::vector<int> keys;
    for (const Column& column : ReadHeader(line, 1, source, read))
        keys.push_back(column.kind == ColumnKind::Name ? kNameColumn : column.kind == ColumnKind::Orientation ? kOrientationColumn : column.key);
    return keys;
}

BatchSummary SizeRows(std::size_t rows, const RowReader& read, const RowWriter& write, const BatchOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    const std::size_t chunks = (rows + kChunkRows - 1) / kChunkRows;
    std::atomic<std::size_t> nextChunk{0};
    // One cache line each: the workers count every row.
    struct alignas(64) Counts : BatchSummary {};
    const unsigned requested = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<Counts> counts(std::min<std::size_t>(requested, std::max<std::size_t>(chunks, 1)));
    auto work = [&](BatchSummary& mine) {
        SizingCase c;
        for (std::size_t chunk = nextChunk.fetch_add(1); chunk < chunks; chunk = nextChunk.fetch_add(1)) {
            const std::size_t last = std::min(rows, (chunk + 1) * kChunkRows);
            for (std::size_t row = chunk * kChunkRows; row < last; ++row) {
                c = SizingCase();
                const std::string problem = read(row, c);
                if (!problem.empty()) {
                    write(row, c, nullptr, RowStatus::BadInput, problem);
                    ++mine.badInput;
                    continue;
                }
                const SizingOutcome outcome = SizeCase(c);
                if (outcome.Sized()) {
                    write(row, c, &outcome, RowStatus::Sized, std::string());
                    ++mine.sized;
                } else if (outcome.Refused()) {
                    write(row, c, &outcome, RowStatus::BadInput, outcome.refusal.Text());
                    ++mine.badInput;
                } else {
                    write(row, c, &outcome, RowStatus::NotSized, ExplainFailure(c, outcome));
                    ++mine.notSized;
                }
            }
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t j = 1; j < counts.size(); ++j) workers.emplace_back(work, std::ref(counts[j]));
    work(counts[0]);  // the calling thread works too: it would only wait otherwise
    for (std::thread& worker : workers) worker.join();

    BatchSummary summary;
    for (const BatchSummary& mine : counts) {
        summary.sized += mine.sized;
        summary.notSized += mine.notSized;
        summary.badInput += mine.badInput;
    }
    summary.rows = rows;
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return summary;
}

}  // namespace kestrol::host
