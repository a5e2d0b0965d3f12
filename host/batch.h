// Sizes a CSV of cases on every core: one object per case, results written in input order,
// one output row per input row with its status. A bad row is reported in its row, never
// dropped, and the batch goes on.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "host/case_file.h"
#include "host/result_fields.h"
#include "host/sizing_run.h"

namespace kestrol::host {

struct BatchSummary {
    std::size_t rows = 0;
    std::size_t sized = 0;
    std::size_t notSized = 0;  ///< the object could not size the vessel
    std::size_t badInput = 0;  ///< the row could not be handed to the object
    double seconds = 0.0;
};

struct BatchOptions {
    unsigned jobs = 0;  ///< worker threads; 0 for one per core
    /// Called now and then with rows done and rows in all, from the calling thread.
    std::function<void(std::size_t done, std::size_t total)> progress;
};

/// Sizes the CSV text and writes the result CSV to `out`. Throws InputError (naming `source`)
/// when the header cannot be used; rows never throw.
BatchSummary SizeCsv(const std::string& text, const std::string& source, std::ostream& out, const BatchOptions& options);

/// The column names of the results, in the order the batch writes them after the inputs.
std::string ResultHeader();

/// A result's column name, its SI unit in the name, e.g. "inside_diameter_m".
std::string ResultColumnName(const ResultField& f);

/// The number the batch writes for a result, or NaN where it leaves the cell empty (not
/// computed, not applicable, or the object refused the case).
double ResultCell(const ResultField& f, const SizingCase& c, const SizingOutcome& o);

/// What a CSV header name stands for: a CaseKeys() index, or one of these.
inline constexpr int kNameColumn = -1;
inline constexpr int kOrientationColumn = -2;

/// The meaning of each header name; throws InputError naming `source` for an unknown or
/// repeated name, as for a CSV header.
std::vector<int> ColumnKeys(const std::vector<std::string>& names, const std::string& source);

enum class RowStatus : unsigned char { Sized, NotSized, BadInput };

/// Fills the case for a row, or returns why the row cannot be sized.
using RowReader = std::function<std::string(std::size_t row, SizingCase& c)>;
/// Takes a row's result: the outcome is null for bad input; `message` is empty when sized.
using RowWriter = std::function<void(std::size_t row, const SizingCase& c, const SizingOutcome* outcome, RowStatus status,
                                     const std::string& message)>;

/// The batch engine over rows held in memory: each row read, sized on its own object and
/// written exactly once, on the worker threads, in no particular order. For hosts that keep
/// cases as columns rather than CSV text.
BatchSummary SizeRows(std::size_t rows, const RowReader& read, const RowWriter& write, const BatchOptions& options);

}  // namespace kestrol::host
