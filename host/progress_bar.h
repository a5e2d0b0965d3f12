// The batch's progress line on a terminal: bar, rows, rate and time left.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace kestrol::host {

/// Draws the bar once the batch has run for a second, so quick batches stay quiet, and erases
/// it for the summary line.
class ProgressBar {
public:
    explicit ProgressBar(std::ostream& err, std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now())
        : err_(err), started_(started) {}

    /// Rows done of `total` (0 while the total is not known yet).
    void operator()(std::size_t done, std::size_t total);

    /// Leaves the line empty for what follows.
    void Erase();

private:
    std::ostream& err_;
    std::chrono::steady_clock::time_point started_;
    std::size_t width_ = 0;
};

}  // namespace kestrol::host
