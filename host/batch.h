// Sizes a CSV of cases on every core: one object per case, results written in input order,
// one output row per input row with its status. A bad row is reported in its row, never
// dropped, and the batch goes on.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

#include "review/review.h"

namespace kestrol::host {

struct BatchSummary {
    std::size_t rows = 0;
    std::size_t sized = 0;
    std::size_t notSized = 0;  ///< the object could not size the vessel
    std::size_t badInput = 0;  ///< the row could not be handed to the object
    double seconds = 0.0;
    std::size_t withWarnings = 0;  ///< sized cases with at least one warning of the review
    std::array<std::size_t, review::kCodeCount> warnings{};  ///< cases with that warning, by review::Code
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

}  // namespace kestrol::host
