#include "host/batch.h"
#include "host/settling_report.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "model/case_file.h"
#include "model/csv.h"
#include "host/level_report.h"
#include "host/output_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"
#include "host/mechanical_report.h"
#include "review/review.h"

namespace kestrol::host {
namespace {

const char* CsvUnit(Quantity q) {
    switch (q) {
        case Quantity::Length:
        case Quantity::Thickness: return "_m";
        case Quantity::Time: return "_s";
        case Quantity::Velocity: return "_m_s";
        case Quantity::Stress: return "_kPa";
        case Quantity::Density: return "_kg_m3";
        case Quantity::Money: return "_USD";
        case Quantity::Mass: return "_kg";
        default: return "";
    }
}

/// Line and column in the file of a record's fault; the record starts on `firstLine`.
std::pair<std::size_t, std::size_t> FaultPlace(std::string_view record, std::size_t firstLine, const CsvFault& fault) {
    const auto [lineInRecord, column] = LineAndColumn(record, fault.offset);
    return {firstLine + lineInRecord - 1, column};
}

/// The FindColumn() value of each column the header names.
std::vector<int> ReadHeader(std::string_view line, std::size_t lineNumber, const std::string& source, std::vector<std::string>& names) {
    std::vector<std::string_view> fields;
    std::string scratch;
    if (CsvFault fault; !SplitCsvLine(line, fields, scratch, &fault)) {
        const auto [faultLine, column] = FaultPlace(line, lineNumber, fault);
        throw InputError(source, "header", fault.reason, faultLine, column);
    }
    std::vector<int> columns;
    for (std::string_view field : fields) {
        const std::string name(field);
        if (std::find(names.begin(), names.end(), name) != names.end())
            throw InputError(source, "header", "column \"" + name + "\" is named twice", lineNumber, 1);
        const int column = FindColumn(name);
        if (column == kUnknownColumn) throw InputError(source, "header", UnknownNameMessage("column", name, CsvColumnNames()), lineNumber, 1);
        columns.push_back(column);
        names.push_back(name);
    }
    return columns;
}

/// A field as a message quotes it [bytes]: enough to recognise, while a field of gigabytes
/// would otherwise be copied into its row's message.
constexpr std::size_t kQuotedFieldBytes = 40;

std::string Excerpt(std::string_view field) {
    if (field.size() <= kQuotedFieldBytes) return std::string(field);
    std::size_t cut = kQuotedFieldBytes;
    while (cut > 0 && (static_cast<unsigned char>(field[cut]) & 0xC0) == 0x80) --cut;  // not inside a UTF-8 character
    return std::string(field.substr(0, cut)) + "...";
}

bool IsTitleColumn(int column) {
    return column <= kFirstTitleColumn && column > kFirstTitleColumn - static_cast<int>(std::size(kTitleBlockKeys));
}

int SettlingIndex(int column) { return kFirstSettlingColumn - column; }

bool IsMechanicalColumn(int column) {
    return column <= kFirstMechanicalColumn && column > kFirstMechanicalColumn - static_cast<int>(MechanicalKeyNames().size());
}

std::string* TitleOf(int column, TitleBlock& title) {
    return TitleField(title, kTitleBlockKeys[static_cast<std::size_t>(kFirstTitleColumn - column)]);
}

/// Reads one row into a case; no problem, or what is wrong with the row.
InputProblem ReadRow(const std::vector<int>& columns, const std::vector<std::string_view>& fields, SizingCase& c) {
    if (fields.size() != columns.size())
        return {"", "the row has " + std::to_string(fields.size()) + " fields, the header names " + std::to_string(columns.size())};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        // The row echoes its name from the record; sizing and review never read it.
        if (columns[i] == kNameColumn) continue;
        if (InputProblem problem = SetCaseCell(columns[i], fields[i], c)) return problem;
    }
    return CheckCase(c);
}

/// Columns the review adds after the results.
constexpr const char* kReviewColumns[] = {"governing_diameter", "governing_length", "warnings", "vapour_load_percent"};

void AppendReview(std::string& out, const review::Review& r) {
    const ReviewCells cells = ReviewCellsOf(r);
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
    for (std::size_t i = 0; i < ResultFields().count + kSettlingColumnCount + kLevelColumnCount + kMechanicalColumnCount + 1 /* design_material_used */ + std::size(kReviewColumns); ++i) out.push_back(',');
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

/// The first exception that a thread of a batch could not turn into a row. The batch stops on
/// it and throws it once every thread has ended: a thread that let it escape would end the
/// process (std::terminate).
class Failure {
public:
    /// From a catch block; `line` is where the batch had got to, 0 when not known.
    void Record(std::size_t line) noexcept {
        if (raised_.exchange(true)) return;
        first_ = std::current_exception();
        line_ = line;
    }
    bool Raised() const noexcept { return raised_.load(std::memory_order_relaxed); }
    /// After every thread has ended.
    void ThrowIfRaised() const {
        if (!first_) return;
        try {
            std::rethrow_exception(first_);
        } catch (const OutOfMemory&) {
            throw;
        } catch (const std::bad_alloc&) {
            if (line_ == 0) throw OutOfMemory("the machine ran out of memory; the batch stopped");
            throw OutOfMemory("the machine ran out of memory at line ", line_, "; the batch stopped");
        }
    }

private:
    std::atomic<bool> raised_{false};
    std::exception_ptr first_;  // written once, by the thread that raised the flag
    std::size_t line_ = 0;
};

/// Chunks flow from the splitter (the calling thread) to the workers and on to the writer.
struct Pipeline {
    const std::vector<int>* columns = nullptr;
    const std::atomic<int>* stop = nullptr;
    Failure failure;
    std::deque<Chunk> chunks;  // a deque keeps the chunks in place while it grows
    std::size_t split = 0;     // chunks the splitter has handed out
    bool splitting = true;
    std::size_t nextToSize = 0;
    std::size_t rowsSplit = 0;
    std::atomic<std::size_t> rowsDone{0};
    std::mutex mutex;
    std::condition_variable chunkSplit;
    std::condition_variable chunkSized;
    /// errno of the writer's failed write: the batch ends, as on a stop request.
    std::atomic<int> writeError{0};

    bool StopRequested() const { return stop != nullptr && stop->load(std::memory_order_relaxed) != 0; }
    bool Stopped() const { return failure.Raised() || StopRequested() || writeError.load(std::memory_order_relaxed) != 0; }

    /// Records the exception being handled and wakes every thread to stop.
    void Fail(std::size_t line) noexcept {
        failure.Record(line);
        { std::lock_guard<std::mutex> lock(mutex); }  // a thread between its check and its wait sees the flag
        chunkSplit.notify_all();
        chunkSized.notify_all();
    }
};

/// Room a row takes beyond its echoed record [bytes]: the results and the review take some
/// 300, a message a few hundred more. Reserved for the chunk at once, so that its text is not
/// copied to grow, and a row the machine has no memory for fits in that row's place.
constexpr std::size_t kRowResultBytes = 1024;

void AppendRow(std::string& out, const Record& record, const std::vector<int>& columns, std::vector<std::string_view>& fields,
               std::string& scratch, BatchSummary& counts) {
    if (const std::size_t needed = record.text.size() + kRowResultBytes; out.capacity() - out.size() < needed) out.reserve(out.size() + needed);
    SizingCase c;
    InputProblem problem;
    std::size_t line = record.line, column = 0;
    if (CsvFault fault; !SplitCsvLine(record.text, fields, scratch, &fault)) {
        std::tie(line, column) = FaultPlace(record.text, record.line, fault);
        problem = {"", fault.reason};
        fields.clear();
    } else {
        problem = ReadRow(columns, fields, c);
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out.push_back(',');
        if (i < fields.size()) AppendCsvField(out, fields[i]);
    }
    out.push_back(',');
    // Counted last: a row that runs out of memory is counted once, as its replacement.
    if (problem) {
        AppendEmptyResults(out);
        out.append(",bad input,");
        std::string where = "line " + std::to_string(line);
        if (column > 0) where += ", column " + std::to_string(column);
        AppendCsvField(out, where + ": " + problem.Text());
        out.push_back('\n');
        ++counts.badInput;
        return;
    }
    const SizingOutcome outcome = SizeCase(c);
    const review::Review r = AppendResultColumns(out, c, outcome);
    out.push_back('\n');
    CountWarnings(r, counts);
    if (outcome.Sized()) {
        ++counts.sized;
    } else if (outcome.Refused()) {
        ++counts.badInput;
    } else {
        ++counts.notSized;
    }
}

/// The row for a record the machine had no memory for: no inputs echoed, nothing allocated
/// when the row before it reserved its room.
void AppendOutOfMemoryRow(std::string& out, std::size_t line, std::size_t columns) {
    out.append(columns, ',');
    AppendEmptyResults(out);
    out.append(",not sized,line ");
    char number[24];
    out.append(number, std::to_chars(number, number + sizeof number, line).ptr);
    out.append(": the machine ran out of memory for this row\n");
}

void Work(Pipeline& p) noexcept {
    std::size_t line = 0;
    try {
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
            line = chunk->records.front().line;
            std::string out;
            std::size_t bytes = 0;
            for (const Record& record : chunk->records) bytes += record.text.size() + kRowResultBytes;
            try {
                out.reserve(bytes);
            } catch (const std::bad_alloc&) {
                // Row by row then: the record too large to hold gets its row saying so.
            }
            BatchSummary counts;
            for (const Record& record : chunk->records) {
                line = record.line;
                const std::size_t rowStart = out.size();
                try {
                    AppendRow(out, record, *p.columns, fields, scratch, counts);
                } catch (const std::bad_alloc&) {
                    out.resize(rowStart);
                    AppendOutOfMemoryRow(out, record.line, p.columns->size());
                    ++counts.notSized;
                }
            }
            {
                std::lock_guard<std::mutex> lock(p.mutex);
                chunk->text = std::move(out);
                chunk->counts = counts;
                chunk->done = true;
            }
            p.rowsDone.fetch_add(chunk->records.size(), std::memory_order_relaxed);
            p.chunkSized.notify_all();
        }
    } catch (...) {
        p.Fail(line);
    }
}

/// Writes the chunks in input order as they finish, so memory holds only what is not yet
/// written; counts the statuses and drives the progress bar. A failed write ends the batch with
/// its reason, read here: errno is this thread's.
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
        if (const int error = WriteChecked(out, text); error != 0) {
            std::lock_guard<std::mutex> lock(p.mutex);
            p.writeError.store(error);
            p.chunkSplit.notify_all();
            return;
        }
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
    std::string header = std::string("orientation") + kUsedSuffix;
    for (const ResultField& f : ResultFields()) header += "," + ResultColumnName(f);
    for (const std::string& column : SettlingColumnNames()) header += "," + column;
    for (const char* column : LevelColumnNames()) header += std::string(",") + column;
    for (const std::string& column : MechanicalColumnNames()) header += "," + column;
    header += std::string(",") + kDesignMaterialColumn;
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
    double settling[kSettlingColumnCount];
    SettlingCells(c, o, settling);
    for (const double v : settling) {
        out.push_back(',');
        if (!std::isnan(v)) AppendNumber(out, v);
    }
    for (const double cell : LevelCells(c, o)) {
        out.push_back(',');
        if (!std::isnan(cell)) AppendNumber(out, cell);
    }
    std::array<double, kMechanicalColumnCount> mechanical{};
    const char* grade = MechanicalCells(c, o, mechanical.data());
    for (const double v : mechanical) {
        out.push_back(',');
        if (!std::isnan(v)) AppendNumber(out, v);
    }
    out.push_back(',');
    AppendCsvField(out, grade);
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
    const std::vector<int> columns = ReadHeader(header, headerLine, source, names);

    std::string headerOut;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) headerOut.push_back(',');
        AppendCsvField(headerOut, names[i]);
    }
    Pipeline p;
    p.columns = &columns;
    p.stop = options.stop;
    // A header that cannot be written stops the batch before it starts, as a row would.
    p.writeError.store(WriteChecked(out, headerOut + ',' + ResultHeader() + '\n'));
    const unsigned jobs = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    std::thread writer;
    // Blank lines carry no case; a row of empty fields is no case either, but say so.
    std::vector<Record> records;
    auto handOut = [&] {
        std::lock_guard<std::mutex> lock(p.mutex);
        p.chunks.emplace_back().records = std::move(records);
        ++p.split;
        records = std::vector<Record>();
    };
    std::size_t rows = 0;
    try {
        workers.reserve(jobs);
        for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(Work, std::ref(p));
        writer = std::thread([&] {
            try {
                Write(p, out, options, summary);
            } catch (...) {
                p.Fail(0);
            }
        });
        records.reserve(kChunkRows);
        while (!rest.empty() && !p.Stopped()) {
            const std::size_t first = lineNumber + 1;
            const std::string_view record = NextCsvRecord(rest, lineNumber);
            if (IsBlank(record)) continue;
            if (IsOnlySeparators(record)) {
                if (summary.warnings.size() < kBatchWarningsKept) {
                    summary.warnings.push_back(source + ":" + std::to_string(first) + ": a row of empty fields holds no case; it was skipped");
                } else {
                    ++summary.warningsNotKept;
                }
                continue;
            }
            records.push_back({record, first});
            ++rows;
            if (records.size() == kChunkRows) {
                handOut();
                records.reserve(kChunkRows);
                p.chunkSplit.notify_all();
            }
        }
        if (!records.empty()) handOut();
    } catch (...) {
        p.Fail(lineNumber + 1);
    }
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        p.rowsSplit = rows;
        p.splitting = false;
    }
    p.chunkSplit.notify_all();
    p.chunkSized.notify_all();
    for (std::thread& worker : workers) worker.join();
    if (writer.joinable()) writer.join();
    p.failure.ThrowIfRaised();
    summary.stopped = p.StopRequested();
    summary.writeError = p.writeError.load();
    if (options.progress && !p.Stopped()) options.progress(rows, rows);
    summary.rows = rows;
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return summary;
}

std::string ResultName(const ResultField& f) {
    if (f.quantity == Quantity::Material) return "material_code";
    return std::string(f.key) + CsvUnit(f.quantity);
}

std::string ResultColumnName(const ResultField& f) {
    // A result that repeats an input (a design value the host may give) is marked as the value
    // used, as orientation_used is, so that no batch has two columns of one name.
    std::string name = ResultName(f);
    if (FindCaseKey(name, true) >= 0 || FindCaseKey(name, false) >= 0) name += kUsedSuffix;
    return name;
}

double ResultCell(const ResultField& f, const SizingCase& c, const SizingOutcome& o, bool sized) {
    return Reported(f, c, o, sized) ? std::fabs(FieldValue(f, o)) : std::nan("");
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
    return ReadHeader(line, 1, source, read);
}

int FindColumn(std::string_view name) {
    if (name == "name") return kNameColumn;
    if (name == "orientation") return kOrientationColumn;
    if (const int settling = FindSettlingKey(name); settling >= 0) return kFirstSettlingColumn - settling;
    for (std::size_t i = 0; i < std::size(kTitleBlockKeys); ++i)
        if (name == kTitleBlockKeys[i]) return kFirstTitleColumn - static_cast<int>(i);
    int key = FindCaseKey(name, false);
    if (key < 0) key = FindCaseKey(name, true);
    if (key >= 0) return key;
    if (const int level = FindLevelKey(name); level >= 0) return LevelColumn(level);
    const std::vector<std::string>& mechanical = MechanicalKeyNames();
    for (std::size_t i = 0; i < mechanical.size(); ++i)
        if (name == mechanical[i]) return MechanicalColumn(static_cast<int>(i));
    return kUnknownColumn;
}

InputProblem SetCaseCell(int column, std::string_view cell, SizingCase& c) {
    if (column >= 0) {
        if (cell.empty()) {
            c.values[static_cast<std::size_t>(column)] = kEmptyValue;
            return {};
        }
        const std::optional<double> v = ParseNumber(cell);
        if (!v) return {CaseKeys()[static_cast<std::size_t>(column)].key, "\"" + Excerpt(cell) + "\" is not a number"};
        return SetCaseNumber(column, *v, c);
    }
    if (column <= kFirstLevelColumn) {
        const auto key = static_cast<std::size_t>(LevelKeyOfColumn(column));
        if (cell.empty()) {
            c.levels.values[key] = kEmptyValue;
            return {};
        }
        const std::optional<double> v = ParseNumber(cell);
        if (!v) return {LevelKeys()[key].key, "\"" + Excerpt(cell) + "\" is not a number"};
        return SetCaseNumber(column, *v, c);
    }
    if (IsMechanicalColumn(column)) {
        const int key = MechanicalKeyOfColumn(column);
        if (cell.empty()) {
            ClearMechanicalValue(key, c.mechanical);
            return {};
        }
        if (std::string why = ReadMechanicalField(MechanicalKeyNames()[static_cast<std::size_t>(key)], cell, c.mechanical); !why.empty())
            return {MechanicalKeyNames()[static_cast<std::size_t>(key)], std::move(why)};
        return {};
    }
    if (column <= kFirstSettlingColumn) {
        const int key = SettlingIndex(column);
        if (cell.empty()) {
            ClearSettlingValue(key, c.process);
            return {};
        }
        if (std::string why = ReadSettlingField(key, cell, c.process); !why.empty())
            return {SettlingKeyNames()[static_cast<std::size_t>(key)], std::move(why)};
        return {};
    }
    if (column == kOrientationColumn) {
        try {
            c.orientation = ParseOrientation(cell);
        } catch (const InputError& e) {
            return {"orientation", e.Reason()};
        }
        return {};
    }
    if (column == kNameColumn) {
        c.name = std::string(cell);
        return {};
    }
    if (IsTitleColumn(column)) {
        *TitleOf(column, c.title) = std::string(cell);
        return {};
    }
    return {"", "no such column"};
}

InputProblem SetCaseNumber(int column, double number, SizingCase& c) {
    if (column >= 0) {
        const CaseKey& key = CaseKeys()[static_cast<std::size_t>(column)];
        if (std::string problem = CheckValue(key, number); !problem.empty()) return {key.key, std::move(problem)};
        c.values[static_cast<std::size_t>(column)] = number;
        return {};
    }
    if (column <= kFirstLevelColumn) {
        const auto index = static_cast<std::size_t>(LevelKeyOfColumn(column));
        const CaseKey& key = LevelKeys()[index];
        if (std::string problem = CheckValue(key, number); !problem.empty()) return {key.key, std::move(problem)};
        c.levels.values[index] = number;
        return {};
    }
    if (IsMechanicalColumn(column)) {
        const int key = MechanicalKeyOfColumn(column);
        if (std::string why = ReadMechanicalNumber(key, number, c.mechanical); !why.empty())
            return {MechanicalKeyNames()[static_cast<std::size_t>(key)], std::move(why)};
        return {};
    }
    if (column <= kFirstSettlingColumn) {
        const int key = SettlingIndex(column);
        if (std::string why = ReadSettlingValue(key, true, number, {}, c.process); !why.empty())
            return {SettlingKeyNames()[static_cast<std::size_t>(key)], std::move(why)};
        return {};
    }
    // The words of a case file's string keys, as it refuses a number for them.
    if (column == kOrientationColumn) return {"orientation", "must be a string: \"auto\", \"vertical\" or \"horizontal\""};
    if (column == kNameColumn) return {"name", "must be a string"};
    if (IsTitleColumn(column)) return {kTitleBlockKeys[static_cast<std::size_t>(kFirstTitleColumn - column)], "must be a string"};
    return {"", "no such column"};
}

bool ColumnTakesNumber(int column) {
    if (IsMechanicalColumn(column)) return !IsMechanicalWordKey(MechanicalKeyOfColumn(column));
    return column >= 0 || column <= kFirstLevelColumn || (column <= kFirstSettlingColumn && !IsSettlingWordKey(SettlingIndex(column)));
}

CaseValue CaseValueOf(int column, const SizingCase& c) {
    const auto number = [](double v) { return IsEmpty(v) ? CaseValue{} : CaseValue{CaseValue::Kind::Number, v, {}}; };
    const auto text = [](std::string words) {
        return words.empty() ? CaseValue{} : CaseValue{CaseValue::Kind::Text, 0.0, std::move(words)};
    };
    if (column >= 0) return number(c.Get(column));
    if (column <= kFirstLevelColumn) return number(c.levels.Get(LevelKeyOfColumn(column)));
    if (IsMechanicalColumn(column)) {
        const MechanicalValue v = GetMechanicalValue(MechanicalKeyOfColumn(column), c.mechanical);
        return IsMechanicalWordKey(MechanicalKeyOfColumn(column)) ? text(v.word) : number(v.number);
    }
    if (column <= kFirstSettlingColumn) {
        const SettlingValue v = GetSettlingValue(SettlingIndex(column), c.process);
        return IsSettlingWordKey(SettlingIndex(column)) ? text(v.word) : number(v.number);
    }
    if (column == kOrientationColumn) return {CaseValue::Kind::Text, 0.0, OrientationWord(c.orientation)};
    if (column == kNameColumn) return text(c.name);
    if (IsTitleColumn(column)) {
        TitleBlock title = c.title;  // TitleField hands out a member to write
        return text(*TitleOf(column, title));
    }
    return {};
}

BatchSummary SizeRows(std::size_t rows, const RowReader& read, const RowWriter& write, const BatchOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    const std::size_t chunks = (rows + kChunkRows - 1) / kChunkRows;
    std::atomic<std::size_t> nextChunk{0};
    // One cache line each: the workers count every row.
    struct alignas(64) Counts : BatchSummary {};
    const unsigned requested = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<Counts> counts(std::min<std::size_t>(requested, std::max<std::size_t>(chunks, 1)));
    Failure failure;
    const std::string outOfMemory = "the machine ran out of memory for this row";  // made while there is memory
    auto work = [&](BatchSummary& mine) noexcept {
        try {
            SizingCase c;
            for (std::size_t chunk = nextChunk.fetch_add(1); chunk < chunks && !failure.Raised(); chunk = nextChunk.fetch_add(1)) {
                const std::size_t last = std::min(rows, (chunk + 1) * kChunkRows);
                for (std::size_t row = chunk * kChunkRows; row < last; ++row) {
                    std::optional<SizingOutcome> outcome;
                    RowStatus status = RowStatus::Sized;
                    std::string message;
                    try {
                        c = SizingCase();
                        message = read(row, c);
                        if (!message.empty()) {
                            status = RowStatus::BadInput;
                        } else if (outcome = SizeCase(c); outcome->Refused()) {
                            status = RowStatus::BadInput;
                            message = outcome->refusal.Text();
                        } else if (!outcome->Sized()) {
                            status = RowStatus::NotSized;
                            message = ExplainFailure(c, *outcome);
                        }
                    } catch (const std::bad_alloc&) {
                        write(row, c, nullptr, RowStatus::NotSized, outOfMemory);
                        ++mine.notSized;
                        continue;
                    }
                    // Outside the catch: a row is written once, and a writer that fails stops the batch.
                    write(row, c, outcome ? &*outcome : nullptr, status, message);
                    ++(status == RowStatus::Sized ? mine.sized : status == RowStatus::NotSized ? mine.notSized : mine.badInput);
                }
            }
        } catch (...) {
            failure.Record(0);
        }
    };
    std::vector<std::thread> workers;
    try {
        workers.reserve(counts.size() - 1);
        for (std::size_t j = 1; j < counts.size(); ++j) workers.emplace_back(work, std::ref(counts[j]));
    } catch (...) {
        failure.Record(0);
    }
    work(counts[0]);  // the calling thread works too: it would only wait otherwise
    for (std::thread& worker : workers) worker.join();
    failure.ThrowIfRaised();

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
