#include "host/command_line.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include <CLI/CLI.hpp>

#include "host/batch.h"
#include "host/case_file.h"
#include "host/report.h"
#include "host/script_runner.h"
#include "host/sizing_run.h"
#include "host/svg.h"
#include "review/review.h"

namespace kestrol::host {
namespace {

struct SizeOptions {
    std::string input;
    std::string output;
    std::string svg;
    std::string format = "text";
    std::string units = "si";
    unsigned jobs = 0;
    bool strict = false;  ///< a warning of the review fails the command
};

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw InputError(path + ": cannot be read (" + std::strerror(errno) + ")");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    if (!file || !(file << text) || !file.flush()) throw InputError(path + ": cannot be written (" + std::strerror(errno) + ")");
}

bool IsCsv(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext == ".csv";
}

int RunScriptFile(const std::string& path, std::ostream& out, std::ostream& err) {
    try {
        const std::string text = ReadWholeFile(path);
        out << RunScript(text) << '\n';
    } catch (const InputError& e) {
        err << e.what() << '\n';
        return kExitBadInput;
    } catch (const ScriptError& e) {
        err << path << ": " << e.what() << '\n';
        return kExitBadInput;
    }
    return kExitSized;
}

int SizeOneCase(const SizeOptions& options, std::ostream& out, std::ostream& err) {
    const UnitSystem units = options.units == "us" ? UnitSystem::US : UnitSystem::SI;
    const SizingCase c = LoadCaseFile(options.input);
    const SizingOutcome outcome = SizeCase(c);
    const std::string report =
        options.format == "json" ? JsonReport(c, outcome, units, options.input) : TextReport(c, outcome, units, options.input);
    if (options.output.empty()) {
        out << report;
    } else {
        WriteWholeFile(options.output, report);
    }
    if (!outcome.Sized()) {
        if (!options.svg.empty()) err << options.svg << ": not written: the vessel was not sized\n";
        if (options.output.empty()) {
            err << options.input << ": not sized (the report says why)\n";
        } else {
            err << options.input << ": not sized: " << ExplainFailure(c, outcome) << '\n';
        }
        return kExitNotSized;
    }
    if (!options.svg.empty()) WriteWholeFile(options.svg, VesselSvg(c, outcome, units));
    if (options.strict && review::ReviewCase(c, outcome).HasWarning()) {
        err << options.input << ": the review has warnings (--strict)\n";
        return kExitNotSized;
    }
    return kExitSized;
}

/// Draws the bar once the batch has run for a second, so quick batches stay quiet.
class ProgressBar {
public:
    explicit ProgressBar(std::ostream& err) : err_(err), started_(std::chrono::steady_clock::now()) {}

    void operator()(std::size_t done, std::size_t total) {
        if (finished_ || (!drawn_ && std::chrono::steady_clock::now() - started_ < std::chrono::seconds(1))) return;
        if (done >= total && !drawn_) return;
        constexpr std::size_t kBarWidth = 40;
        const std::size_t filled = total == 0 ? kBarWidth : done * kBarWidth / total;
        err_ << "\r  sizing [" << std::string(filled, '#') << std::string(kBarWidth - filled, '-') << "] "
             << (total == 0 ? 100 : done * 100 / total) << "%  " << done << " / " << total << " cases";
        if (done >= total) {
            err_ << '\n';
            finished_ = true;
        }
        err_.flush();
        drawn_ = true;
    }

private:
    std::ostream& err_;
    std::chrono::steady_clock::time_point started_;
    bool drawn_ = false;
    bool finished_ = false;
};

int SizeBatch(const SizeOptions& options, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    if (!options.svg.empty()) throw InputError("--svg draws one case; it cannot be used with a CSV batch");
    if (options.format != "text") throw InputError("--format applies to one case; a CSV batch always writes CSV");
    if (options.units != "si") throw InputError("--units us applies to one case; a CSV batch writes SI units (see the column names)");
    const std::string text = ReadWholeFile(options.input);
    BatchOptions batchOptions;
    batchOptions.jobs = options.jobs;
    ProgressBar bar(err);
    if (errIsTerminal) batchOptions.progress = std::ref(bar);

    BatchSummary summary;
    if (options.output.empty()) {
        summary = SizeCsv(text, options.input, out, batchOptions);
    } else {
        std::ofstream file(options.output, std::ios::binary);
        if (!file) throw InputError(options.output + ": cannot be written (" + std::strerror(errno) + ")");
        summary = SizeCsv(text, options.input, file, batchOptions);
        if (!file.flush()) throw InputError(options.output + ": cannot be written (" + std::strerror(errno) + ")");
    }
    const double rate = summary.seconds > 0.0 ? static_cast<double>(summary.rows) / summary.seconds : 0.0;
    err << options.input << ": " << summary.sized << " of " << summary.rows << " cases sized in " << summary.seconds << " s ("
        << static_cast<long long>(rate) << " cases/s)";
    if (summary.notSized + summary.badInput > 0)
        err << "; " << summary.notSized << " not sized, " << summary.badInput << " bad input: see the status and message columns";
    err << '\n';
    if (summary.withWarnings > 0) {
        err << options.input << ": " << summary.withWarnings << " sized cases with review warnings:";
        const char* separator = " ";
        for (std::size_t code = 0; code < summary.warnings.size(); ++code) {
            if (summary.warnings[code] == 0) continue;
            err << separator << review::CodeName(static_cast<review::Code>(code)) << ' ' << summary.warnings[code];
            separator = ", ";
        }
        err << '\n';
    }
    if (summary.sized != summary.rows) return kExitNotSized;
    return options.strict && summary.withWarnings > 0 ? kExitNotSized : kExitSized;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    CLI::App app{"kestrol: sizes separator vessels through the sizing object"};
    app.require_subcommand(1);
    // The same syntax on every system: on Windows CLI11 would otherwise read an argument that
    // starts with a slash (a path, under Wine) as an option.
    app.allow_windows_style_options(false);

    std::string scriptPath;
    CLI::App* run = app.add_subcommand("run", "Play a host script against one sizing object and print the results as JSON");
    run->add_option("SCRIPT", scriptPath, "host script (JSON)")->required();

    SizeOptions options;
    CLI::App* size = app.add_subcommand("size", "Size a separator from a case file (JSON), or every row of a CSV batch");
    size->add_option("CASE", options.input, "case file (.json) or batch (.csv)")->required();
    size->add_option("-o,--output", options.output, "write the report, or the batch results, to this file");
    size->add_option("--format", options.format, "report format: text or json")->check(CLI::IsMember({"text", "json"}));
    size->add_option("--units", options.units, "report units: si, or us (ft, in, psig, deg F, lb/h)")->check(CLI::IsMember({"si", "us"}));
    size->add_option("--svg", options.svg, "draw the sized vessel to scale into this SVG file");
    size->add_flag("--strict", options.strict, "exit 1 when the design review has any warning (for batch gates)");
    size->add_option("-j,--jobs", options.jobs, "batch worker threads (default: one per core)")->check(CLI::Range(1u, 1024u));

    // CLI11 takes the arguments last first, without the program name.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    if (!reversed.empty()) reversed.pop_back();
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? kExitSized : kExitBadInput;
    }
    if (run->parsed()) return RunScriptFile(scriptPath, out, err);
    try {
        return IsCsv(options.input) ? SizeBatch(options, out, err, errIsTerminal) : SizeOneCase(options, out, err);
    } catch (const InputError& e) {
        err << e.what() << '\n';
        return kExitBadInput;
    } catch (const std::exception& e) {
        // Only a bug or an exhausted machine gets here; say so rather than abort.
        err << options.input << ": not sized: " << e.what() << '\n';
        return kExitNotSized;
    }
}

}  // namespace kestrol::host
