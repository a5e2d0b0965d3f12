#include "host/progress_bar.h"

#include "model/result_fields.h"

namespace kestrol::host {

void ProgressBar::operator()(std::size_t done, std::size_t total) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    // Quick batches stay quiet; the summary line replaces the bar at the end.
    if (seconds < 1.0 || (total != 0 && done >= total)) return;
    const double rate = static_cast<double>(done) / seconds;
    std::string line = "  sizing ";
    if (total != 0) {
        constexpr std::size_t kBarWidth = 30;
        const std::size_t filled = done * kBarWidth / total;
        line += "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] " + std::to_string(done * 100 / total) + "%  ";
        line += FormatNumber(static_cast<double>(done), 0) + " / " + FormatNumber(static_cast<double>(total), 0) + " cases  ";
    } else {
        line += FormatNumber(static_cast<double>(done), 0) + " cases  ";
    }
    line += FormatNumber(rate, 0) + " cases/s";
    if (total != 0 && rate > 0.0) line += "  " + FormatNumber(static_cast<double>(total - done) / rate, 0) + " s left";
    const std::size_t width = line.size();
    // Blanks over what a longer line before left.
    if (line.size() < width_) line.append(width_ - line.size(), ' ');
    err_ << '\r' << line;
    err_.flush();
    width_ = width;
}

void ProgressBar::Erase() {
    if (width_ == 0) return;
    err_ << '\r' << std::string(width_, ' ') << '\r';
    err_.flush();
    width_ = 0;
}

}  // namespace kestrol::host
