// Sizes a CSV of cases on every core: one object per case, results written in input order,
// one output row per input record with its status. A bad row is reported in its row, never
// dropped, and the batch goes on. Splitting the records, sizing and writing overlap.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

#include "review/review.h"

namespace kestrol::host {

struct BatchSummary {
    std::size_t rows = 0;
    std::size_t sized = 0;
    std::size_t notSized = 0;  ///< the object could not size the vessel
    std::size_t badInput = 0;  ///< the row could not be handed to the object
    double seconds = 0.0;
    /// Sized cases with at least one warning of the review, and the cases with each warning,
    /// by review::Code.
    std::size_t withReviewWarnings = 0;
    std::array<std::size_t, review::kCodeCount> reviewWarnings{};
    bool stopped = false;  ///< `stop` was raised: the output is incomplete
    /// errno of the first failed write of the results (0: none); the batch ended there and
    /// the output is incomplete.
    int writeError = 0;
    /// Lines for standard error: rows that were skipped, keys that were not used. The first
    /// kBatchWarningsKept of them; the rest are only counted.
    std::vector<std::string> warnings;
    std::size_t warningsNotKept = 0;
};

/// Warning lines a batch keeps to print [lines]: a screenful above the summary, where more
/// would hide it; 80 MB of skipped rows would otherwise hold millions of sentences.
inline constexpr std::size_t kBatchWarningsKept = 10;

struct BatchOptions {
    unsigned jobs = 0;  ///< worker threads; 0 for one per core
    /// Called now and then with rows done and rows in all (all known once every record is
    /// split, 0 before), always from the same thread.
    std::function<void(std::size_t done, std::size_t total)> progress;
    /// When set and nonzero, the batch stops at the next chunk and reports `stopped`.
    const std::atomic<int>* stop = nullptr;
};

/// Sizes the CSV text and writes the result CSV to `out`. Throws InputError (naming `source`)
/// when the file or its header cannot be used; rows never throw. A row the machine has no
/// memory for is "not sized" and says so; when the batch itself runs out (or a thread meets
/// an exception it cannot turn into a row), every thread stops and the exception comes back
/// here, an allocation failure as OutOfMemory.
BatchSummary SizeCsv(const std::string& text, const std::string& source, std::ostream& out, const BatchOptions& options);

/// The column names of the results, in the order the batch writes them after the inputs.
std::string ResultHeader();

/// The result columns of one case as the batch writes them (from orientation_used to the
/// message), without a line end; returns the review whose columns it wrote.
review::Review AppendResultColumns(std::string& out, const SizingCase& c, const SizingOutcome& outcome);

/// A result's name, its SI unit in the name, e.g. "inside_diameter_m": a case's attribute.
std::string ResultName(const ResultField& f);

/// What a batch column name adds to a result that repeats an input, and to the orientation.
inline constexpr const char* kUsedSuffix = "_used";

/// A result's batch column: its name, with kUsedSuffix where an input key has that name
/// ("cost_index_used"), so that every column of a batch has a name of its own.
std::string ResultColumnName(const ResultField& f);

/// The number the batch writes for a result, or NaN where it leaves the cell empty.
double ResultCell(const ResultField& f, const SizingCase& c, const SizingOutcome& o);
/// The same with o.Sized() already known, for callers that walk every field.
double ResultCell(const ResultField& f, const SizingCase& c, const SizingOutcome& o, bool sized);

/// The review's cells of a batch row, for hosts that keep the batch as columns; the CSV writes
/// these. A number left out is an empty cell.
struct ReviewCells {
    const char* governingDiameter = "";
    const char* governingLength = "";
    std::array<review::Code, review::kCodeCount> warnings{};
    std::size_t warningCount = 0;
    std::optional<double> vapourLoadPercent;  ///< [%]
};
ReviewCells ReviewCellsOf(const review::Review& r);

/// The warnings' codes joined by ';', as the `warnings` cell holds them.
void AppendWarningCodes(std::string& out, const ReviewCells& cells);

/// The review's column names, in the order the batch writes them after the results, settling and levels.
std::vector<std::string> ReviewColumnNames();

/// What a CSV header name stands for: a CaseKeys() index, or one of these.
inline constexpr int kNameColumn = -1;
inline constexpr int kOrientationColumn = -2;
/// A name the batch does not know.
inline constexpr int kUnknownColumn = std::numeric_limits<int>::min();
/// A title block key (kTitleBlockKeys: tag, service, revision), its index counted down from
/// here: for a datasheet; no sizing reads it.
inline constexpr int kFirstTitleColumn = -4;
/// A settling or nozzle key (model/process_inputs.h), its index counted down from here.
inline constexpr int kFirstSettlingColumn = -10;
/// A level key's column: LevelColumn(LevelKeys() index), counted down from -40, clear of the
/// codes above and of those the other input blocks take.
inline constexpr int kFirstLevelColumn = -40;
/// A key of the mechanical design at design conditions (MechanicalKeyNames() index), counted
/// down from -20, between the settling and the level codes.
inline constexpr int kFirstMechanicalColumn = -20;
constexpr int MechanicalColumn(int mechanicalKey) { return kFirstMechanicalColumn - mechanicalKey; }
constexpr int MechanicalKeyOfColumn(int column) { return kFirstMechanicalColumn - column; }
constexpr int LevelColumn(int levelKey) { return kFirstLevelColumn - levelKey; }
constexpr int LevelKeyOfColumn(int column) { return kFirstLevelColumn - column; }

/// The meaning of each column name; throws InputError naming `source` for an unknown or
/// repeated name, as for a CSV header.
std::vector<int> ColumnKeys(const std::vector<std::string>& names, const std::string& source);

/// What one column name stands for (as ColumnKeys), or kUnknownColumn; CsvColumnNames() are
/// the names it knows, and the candidates of the did-you-mean sentence for any other.
int FindColumn(std::string_view name);

// Every host that sets a case key by key (a CSV row, a script) goes through these, so that a
// key the batch reads is read the same way everywhere. `column` is a FindColumn() value.

/// Sets the key from a cell as a batch row reads it; an empty cell leaves the key not given
/// (the orientation "auto"). No problem, or why the cell is refused; the case is then as it was.
InputProblem SetCaseCell(int column, std::string_view cell, SizingCase& c);
/// The same for a number a host already holds: refused for a key that takes words.
InputProblem SetCaseNumber(int column, double number, SizingCase& c);
/// Whether the key takes a number (a cell of a number) rather than words.
bool ColumnTakesNumber(int column);

/// What the case holds for a key: a number, words, or nothing given.
struct CaseValue {
    enum class Kind { Unset, Number, Text };
    Kind kind = Kind::Unset;
    double number = 0.0;
    std::string text;
};
CaseValue CaseValueOf(int column, const SizingCase& c);

enum class RowStatus : unsigned char { Sized, NotSized, BadInput };

/// Fills the case for a row, or returns why the row cannot be sized.
using RowReader = std::function<std::string(std::size_t row, SizingCase& c)>;
/// Takes a row's result: the outcome is null when the row could not be read; `message` is
/// empty when sized.
using RowWriter = std::function<void(std::size_t row, const SizingCase& c, const SizingOutcome* outcome, RowStatus status,
                                     const std::string& message)>;

/// The batch engine over rows held in memory: each row read, sized on its own object and
/// written exactly once, on the worker threads, in no particular order. For hosts that keep
/// cases as columns rather than CSV text. A row whose reading or sizing runs out of memory is
/// written as NotSized with a message saying so; an exception from `write`, or one that no
/// row can take, stops every thread and is thrown here (an allocation failure as OutOfMemory).
BatchSummary SizeRows(std::size_t rows, const RowReader& read, const RowWriter& write, const BatchOptions& options);

}  // namespace kestrol::host
