#include "host/command_line.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string_view>

#include <CLI/CLI.hpp>

#include "host/batch.h"
#include "host/datasheet.h"
#include "model/case_file.h"
#include "host/output_file.h"
#include "host/progress_bar.h"
#include "host/report.h"
#include "model/script_runner.h"
#include "model/sizing_run.h"
#include "host/svg.h"
#include "host/visible_text.h"
#include "review/review.h"

namespace kestrol::host {
namespace {

struct SizeOptions {
    std::string input;
    std::string output;
    std::string svg;
    std::string datasheet;
    std::string format = "text";
    std::string units = "si";
    unsigned jobs = 0;
    bool strict = false;  ///< a warning of the review fails the command
    bool jobsGiven = false;
};

constexpr char kStandardStream[] = "-";
constexpr char kStandardOutputName[] = "standard output";
/// Exit status of a run ended by a signal, as shells report it.
constexpr int kSignalExitBase = 128;

bool HasExtension(const std::string& path, const char* extension) {
    const std::string ext = std::filesystem::path(path).extension().string();
    return std::equal(ext.begin(), ext.end(), extension, extension + std::strlen(extension),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

/// A batch by its .csv name, a case by its .json name; any other name (standard input too)
/// by its first character: a case file is a JSON object.
bool IsBatch(const std::string& path, std::string_view text) {
    if (HasExtension(path, ".csv")) return true;
    if (HasExtension(path, ".json")) return false;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first == std::string_view::npos || text[first] != '{';
}

std::string DisplayName(const std::string& path) { return path == kStandardStream ? "standard input" : path; }

bool ToStandardOutput(const std::string& path) { return path.empty() || path == kStandardStream; }

std::string OutputName(const std::string& path) { return ToStandardOutput(path) ? kStandardOutputName : path; }

/// A failed write to standard output: said on standard error only, as nothing more can go
/// where it failed (no JSON error document either).
struct StandardOutputFailed : InputError {
    explicit StandardOutputFailed(int error) : InputError(CannotWrite(kStandardOutputName, error)) {}
};

/// Writes to standard output and flushes at once, so that a failure (a full disk, a closed
/// descriptor, a pipe whose reader left while SIGPIPE is ignored) is seen where it happens;
/// throws StandardOutputFailed naming the reason.
void Print(std::ostream& out, std::string_view text) {
    int error = WriteChecked(out, text);
    if (error == 0) error = FlushChecked(out);
    if (error != 0) throw StandardOutputFailed(error);
}

/// Refuses an output that is an input, or both outputs in one file, before anything is written.
void RefuseSameFiles(const SizeOptions& o) {
    struct Pair {
        const std::string& output;
        const char* option;
        const std::string& other;
        const char* what;
    };
    const Pair pairs[] = {{o.output, "-o", o.input, "the input"},
                          {o.svg, "--svg", o.input, "the input"},
                          {o.svg, "--svg", o.output, "the -o output"},
                          {o.datasheet, "--datasheet", o.input, "the input"},
                          {o.datasheet, "--datasheet", o.output, "the -o output"},
                          {o.datasheet, "--datasheet", o.svg, "the --svg output"}};
    for (const Pair& p : pairs) {
        if (ToStandardOutput(p.output) || ToStandardOutput(p.other)) continue;
        if (SameFile(p.output, p.other) || p.output == p.other)
            throw InputError(p.output, p.option, std::string("is the same file as ") + p.what + " " + p.other +
                                                     ": nothing was written; choose another file");
    }
}

int RunScriptFile(const std::string& path, std::ostream& out, std::ostream& err) {
    try {
        const std::string text = ReadInputFile(path);
        Print(out, RunScript(text) + '\n');
    } catch (const InputError& e) {
        err << VisibleText(e.what()) << '\n';
        return kExitBadInput;
    } catch (const ScriptError& e) {
        err << VisibleText(path + ": " + e.what()) << '\n';
        return kExitBadInput;
    }
    return kExitSized;
}

/// `partial`: the output is written as it goes (standard output, a device or FIFO), not renamed.
int Interrupted(const std::string& output, bool partial, std::ostream& err) {
    const int signal = StopRequest().load();
    if (partial)
        err << "kestrol: interrupted; " << OutputName(output) << " holds only part of the results\n";
    else
        err << "kestrol: interrupted; nothing was written (" << VisibleText(output) << " is as it was)\n";
    return kSignalExitBase + signal;
}

int SizeOneCase(const SizeOptions& options, const std::string& text, std::ostream& out, std::ostream& err) {
    const std::string source = DisplayName(options.input);
    const UnitSystem units = options.units == "us" ? UnitSystem::US : UnitSystem::SI;
    const SizingCase c = ParseCaseJson(text, source);
    if (options.jobsGiven) err << "kestrol: warning: --jobs applies to a CSV batch; one case is sized on one thread\n";
    for (const std::string& warning : CaseWarnings(c)) err << VisibleText(source) << ": warning: " << warning << '\n';
    const SizingOutcome outcome = SizeCase(c);
    if (outcome.Refused()) throw RefusalAt(text, source, outcome.refusal.key, outcome.refusal.reason);
    const std::string report =
        options.format == "json" ? JsonReport(c, outcome, units, source) : TextReport(c, outcome, units, source);

    // Both outputs complete before either replaces a file.
    std::optional<OutputFile> reportFile, svgFile, datasheetFile;
    if (!ToStandardOutput(options.output)) {
        reportFile.emplace(options.output);
        reportFile->Write(report);
    }
    if (!options.svg.empty() && outcome.Sized()) {
        svgFile.emplace(options.svg);
        svgFile->Write(VesselSvg(c, outcome, units));
    }
    if (!options.datasheet.empty() && outcome.Sized()) {
        datasheetFile.emplace(options.datasheet);
        datasheetFile->Write(DatasheetHtml(c, outcome, units, source, DatasheetDate()));
    }
    if (StopRequest().load() != 0) {
        const bool partial =
            (reportFile && reportFile->InPlace()) || (svgFile && svgFile->InPlace()) || (datasheetFile && datasheetFile->InPlace());
        return Interrupted(options.output.empty() ? options.svg : options.output, partial, err);
    }
    // An output written in place fails, if at all, at its last write, a rename hardly ever:
    // those first, so that their failure leaves the renamed file as it was.
    for (const bool inPlace : {true, false})
        for (std::optional<OutputFile>* file : {&reportFile, &svgFile, &datasheetFile})
            if (*file && (*file)->InPlace() == inPlace) (*file)->Commit();
    if (!reportFile) Print(out, report);

    if (!outcome.Sized()) {
        for (const std::string* drawn : {&options.svg, &options.datasheet})
            if (!drawn->empty()) err << VisibleText(*drawn) << ": not written: the vessel was not sized\n";
        if (!reportFile) {
            err << VisibleText(source) << ": not sized (the report says why)\n";
        } else {
            err << VisibleText(source) << ": not sized: " << ExplainFailure(c, outcome) << '\n';
        }
        return kExitNotSized;
    }
    if (options.strict && review::ReviewCase(c, outcome).HasWarning()) {
        err << VisibleText(source) << ": the design review has warnings (--strict)\n";
        return kExitNotSized;
    }
    return kExitSized;
}

int SizeBatch(const SizeOptions& options, const std::string& text, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    if (!options.svg.empty()) throw InputError("--svg draws one case; it cannot be used with a CSV batch");
    if (!options.datasheet.empty()) throw InputError("--datasheet describes one case; it cannot be used with a CSV batch");
    if (options.format != "text") throw InputError("--format applies to one case; a CSV batch always writes CSV");
    if (options.units != "si") throw InputError("--units us applies to one case; a CSV batch writes SI units (see the column names)");
    const std::string source = DisplayName(options.input);
    BatchOptions batchOptions;
    batchOptions.jobs = options.jobs;
    batchOptions.stop = &StopRequest();
    ProgressBar bar(err);
    if (errIsTerminal) batchOptions.progress = std::ref(bar);

    BatchSummary summary;
    bool partial = true;
    if (ToStandardOutput(options.output)) {
        StopAware stopAware;
        summary = SizeCsv(text, source, out, batchOptions);
        if (summary.writeError == 0) summary.writeError = FlushChecked(out);
    } else {
        OutputFile file(options.output);  // a batch that ends early removes its temporary file here
        partial = file.InPlace();
        summary = SizeCsv(text, source, file.Stream(), batchOptions);
        if (!summary.stopped && summary.writeError == 0) file.Commit();
    }
    bar.Erase();
    if (summary.stopped) return Interrupted(options.output, partial, err);
    // No summary: its count would claim results that are not there.
    if (summary.writeError != 0) {
        if (ToStandardOutput(options.output)) throw StandardOutputFailed(summary.writeError);
        throw CannotWrite(options.output, summary.writeError);
    }
    for (const std::string& warning : summary.warnings) err << "warning: " << VisibleText(warning) << '\n';
    if (summary.warningsNotKept > 0) err << "warning: " << summary.warningsNotKept << " more like these\n";
    const double rate = summary.seconds > 0.0 ? static_cast<double>(summary.rows) / summary.seconds : 0.0;
    err << VisibleText(source) << ": " << summary.sized << " of " << summary.rows << " cases sized in " << FormatNumber(summary.seconds, 2) << " s ("
        << FormatNumber(rate, 0) << " cases/s)";
    if (summary.notSized + summary.badInput > 0)
        err << "; " << summary.notSized << " not sized, " << summary.badInput << " bad input: see the status and message columns";
    err << '\n';
    if (summary.withReviewWarnings > 0) {
        err << VisibleText(source) << ": " << summary.withReviewWarnings << " sized cases with review warnings:";
        const char* separator = " ";
        for (std::size_t code = 0; code < summary.reviewWarnings.size(); ++code) {
            if (summary.reviewWarnings[code] == 0) continue;
            err << separator << review::CodeName(static_cast<review::Code>(code)) << ' ' << summary.reviewWarnings[code];
            separator = ", ";
        }
        err << '\n';
    }
    if (summary.sized != summary.rows) return kExitNotSized;
    return options.strict && summary.withReviewWarnings > 0 ? kExitNotSized : kExitSized;
}

}  // namespace

std::string VersionText() {
#if defined(_WIN32)
    const char* build = "Windows";
#elif defined(__linux__)
    const char* build = "native Linux";
#else
    const char* build = "native";
#endif
    return std::string("kestrol ") + KESTROL_VERSION + " (" + build + " build, " + std::to_string(sizeof(void*) * 8) + "-bit)\n";
}

namespace {

const char* const kExitStatuses =
    "Exit status:\n"
    "  0    every case sized\n"
    "  1    the sizing could not size a case (the report or the status column says why), or with\n"
    "       --strict the design review has a warning\n"
    "  2    the command line or an input is unusable; nothing is sized and nothing written. Or\n"
    "       an output cannot be written (a full disk, a closed standard output; one line says why)\n"
    "  130  interrupted (143 when terminated); nothing written\n";

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    const std::vector<std::string> commands = {"run", "size"};
    if (args.size() > 1 && (args[1] == "--version" || args[1] == "-V")) {
        Print(out, VersionText());
        return kExitSized;
    }
    if (args.size() > 1 && !args[1].empty() && args[1][0] != '-' && std::find(commands.begin(), commands.end(), args[1]) == commands.end()) {
        err << "kestrol: " << VisibleText(UnknownNameMessage("command", args[1], commands)) << "; the commands are run and size (kestrol --help)\n";
        return kExitBadInput;
    }

    CLI::App app{"kestrol: sizes separator vessels through the sizing object", "kestrol"};
    app.require_subcommand(1);
    app.set_version_flag("-V,--version", VersionText());
    // The same syntax on every system: on Windows CLI11 would otherwise read an argument that
    // starts with a slash (a path, under Wine) as an option.
    app.allow_windows_style_options(false);
    app.footer(std::string("\n") + kExitStatuses);

    std::string scriptPath;
    CLI::App* run = app.add_subcommand("run", "Play a host script against one sizing object and print the results as JSON");
    run->add_option("SCRIPT", scriptPath, "host script (JSON)")->required()->type_name("");
    run->footer("\nExample:\n  kestrol run examples/scripts/two_phase_calculate.json\n\n" + std::string(kExitStatuses));

    SizeOptions options;
    CLI::App* size = app.add_subcommand("size", "Size a separator from a case file (JSON), or every row of a CSV batch");
    size->add_option("CASE", options.input, "case file (.json) or batch (.csv); - reads standard input")->required()->type_name("");
    size->add_option("-o,--output", options.output, "write the report, or the batch results, to FILE (- or none: standard output)")
        ->type_name("FILE");
    size->add_option("--format", options.format, "report format: text (default) or json")
        ->check(CLI::IsMember({"text", "json"}).description(""))
        ->type_name("FORMAT");
    size->add_option("--units", options.units, "report units: si (default), or us (ft, in, psig, deg F, lb/h)")
        ->check(CLI::IsMember({"si", "us"}).description(""))
        ->type_name("UNITS");
    size->add_option("--svg", options.svg, "draw the sized vessel to scale into FILE")->type_name("FILE");
    size->add_option("--datasheet", options.datasheet, "write the sized vessel's datasheet (HTML, prints on A4 or Letter) into FILE")
        ->type_name("FILE");
    size->add_flag("--strict", options.strict, "exit 1 when the design review has any warning (for batch gates)");
    CLI::Option* jobs = size->add_option("-j,--jobs", options.jobs, "batch worker threads, 1 to 1024 (default: one per core)")
                            ->check(CLI::Range(1u, 1024u).description(""))
                            ->type_name("N");
    size->footer("\nExamples:\n  kestrol size examples/cases/gas_scrubber_vertical.json --units us --svg v101.svg\n"
                 "  kestrol size examples/batch/cases.csv -o results.csv --jobs 2\n\n" +
                 std::string(kExitStatuses));

    // CLI11 takes the arguments last first, without the program name.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    if (!reversed.empty()) reversed.pop_back();
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        // Help goes to standard output, which is checked as every other write to it.
        std::ostringstream help;
        const int code = app.exit(e, help, err);
        Print(out, help.str());
        return code == 0 ? kExitSized : kExitBadInput;
    }
    if (run->parsed()) return RunScriptFile(scriptPath, out, err);
    options.jobsGiven = jobs->count() > 0;
    try {
        RefuseSameFiles(options);
        const std::string text = ReadInputFile(options.input);
        return IsBatch(options.input, text) ? SizeBatch(options, text, out, err, errIsTerminal) : SizeOneCase(options, text, out, err);
    } catch (const StandardOutputFailed&) {
        throw;
    } catch (const InputError& e) {
        err << VisibleText(e.what()) << '\n';
        if (options.format == "json") Print(out, JsonErrorDocument(e).dump(2) + '\n');
        return kExitBadInput;
    } catch (const std::exception& e) {
        // Only a bug or an exhausted machine gets here; say so rather than abort.
        err << VisibleText(options.input + ": not sized: " + e.what()) << '\n';
        return kExitNotSized;
    }
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    try {
        return Run(args, out, err, errIsTerminal);
    } catch (const StandardOutputFailed& e) {
        // The one error the commands leave to here.
        err << e.what() << '\n';
        return kExitBadInput;
    }
}

}  // namespace kestrol::host
