// Drives the whole command as a user types it: `kestrol size` on a case file or a CSV batch,
// through sizing to the text or JSON report, the CSV results and the drawing, by
// RunCommandLine with standard output and error in memory and the files in a folder of this
// process on a tmpfs, emptied before and after each input.
//
// The first two bytes choose the command line, the rest is the input file:
//   byte 0  bits 0-1  the input's name: case.json, cases.csv, input (no extension: the host
//                     tells a case from a batch by its first character) or CASES.CSV
//           bit 2     --format json          bit 3  --units us       bit 4  --strict
//           bits 5-6  --jobs 1 to 3 (0: not given)                   bit 7  --svg drawing.svg
//   byte 1  bits 0-1  no -o, -o -, -o report.out, or -o naming the input (refused)
//           bit 2     --format, --units and --svg go to a .csv input too (refused); otherwise
//                     a batch by its name gets none of them
//           bit 3     report.out and drawing.svg exist beforehand, holding a marker
//
// Besides the sanitizers it stops on: an exit status other than 0, 1 or 2; status 2 with an
// output file written or changed; the input file changed; a temporary file left behind;
// status 0 or 1 without a report; with --format json, a report or an error that is not a
// JSON document; a text report of one case with a control character other than the line
// end; a drawing that is not well-formed XML with <svg> at its root, or none after status 0;
// results that are not RFC 4180 CSV, with a row narrower or wider than their header, or with
// not one row per record of the input (counted only where the input's quotes read one way).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <libxml/parser.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "host/command_line.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kVariantBytes = 2;
const char* const kInputNames[] = {"case.json", "cases.csv", "input", "CASES.CSV"};
constexpr char kReportName[] = "report.out";
constexpr char kSvgName[] = "drawing.svg";
constexpr char kMarker[] = "what was there before\n";
/// Every C0 control character but tab, line feed and carriage return, NUL first.
constexpr std::string_view kControlsOutsideJson{"\0\x01\x02\x03\x04\x05\x06\x07\x08\x0b\x0c\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f", 29};

/// The folder of this process, under KESTROL_FUZZ_FOLDER or on a tmpfs where there is one (an
/// input's files then cost no disk), removed when the process ends. One that fails an input
/// leaves its folder; tools/fuzz.sh gives a folder that it removes.
struct Workspace {
    fs::path folder;
    Workspace() {
        std::error_code ignored;
        const char* given = std::getenv("KESTROL_FUZZ_FOLDER");
        const fs::path base = given != nullptr             ? fs::path(given)
                              : fs::is_directory("/dev/shm", ignored) ? fs::path("/dev/shm")
                                                                      : fs::temp_directory_path();
        folder = base / ("kestrol-host-fuzz." + std::to_string(getpid()));
        fs::create_directories(folder);
    }
    ~Workspace() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

const fs::path& Folder() {
    static const Workspace workspace;
    return workspace.folder;
}

void EmptyFolder() {
    for (const fs::directory_entry& entry : fs::directory_iterator(Folder())) fs::remove_all(entry.path());
}

void WriteFile(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::optional<std::string> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Run {
    std::vector<std::string> args;
    int status = 0;
    std::string out;
    std::string err;
};

std::string CommandText(const Run& run) {
    std::string command;
    for (const std::string& arg : run.args) command += " " + arg;
    return command;
}

[[noreturn]] void Fail(const Run& run, const std::string& what) {
    const std::string command = CommandText(run);
    std::fprintf(stderr, "host_fuzz: %s\n  command:%s\n  exit status %d\n  standard error (first 2000 bytes):\n%s\n", what.c_str(),
                 command.c_str(), run.status, run.err.substr(0, 2000).c_str());
    std::abort();
}

/// The records of a CSV as RFC 4180 reads them: each one's text without its line end, and its
/// number of fields.
struct CsvRecord {
    std::string_view text;
    std::size_t fields;
};

/// Splits `text` into records, or nothing where it cannot be read one way only: a quote left
/// open, text after a closing quote, or (when `strayQuoteEndsRecord` is false, or when another
/// quote follows it on its line) a quote inside an unquoted field. RFC 4180 allows no such
/// quote; the host makes its record bad input, ending at the line's end.
std::optional<std::vector<CsvRecord>> SplitCsv(std::string_view text, bool strayQuoteEndsRecord) {
    std::vector<CsvRecord> records;
    const std::size_t n = text.size();
    auto blanks = [&](std::size_t& i) {
        while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    };
    std::size_t i = 0;
    while (i < n) {
        const std::size_t start = i;
        std::size_t fields = 1;
        std::size_t end = n;  // of the record's text
        while (true) {
            blanks(i);
            if (i < n && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= n) return std::nullopt;
                    if (text[i] != '"') continue;
                    if (i + 1 < n && text[i + 1] == '"') {
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                blanks(i);
                if (i < n && text[i] == ',') {
                    ++i, ++fields;
                    continue;
                }
                if (i < n && text[i] == '\r' && (i + 1 == n || text[i + 1] == '\n')) ++i;  // CRLF, or CR at the very end
                if (i < n && text[i] != '\n') return std::nullopt;
                end = i;
                break;
            }
            const std::size_t stop = std::min(text.find_first_of(",\n\"", i), n);
            if (stop < n && text[stop] == '"') {
                const std::size_t lineEnd = std::min(text.find('\n', stop), n);
                if (!strayQuoteEndsRecord || text.substr(stop + 1, lineEnd - stop - 1).find('"') != std::string_view::npos)
                    return std::nullopt;
                i = end = lineEnd;
                break;
            }
            i = stop;
            if (i < n && text[i] == ',') {
                ++i, ++fields;
                continue;
            }
            end = i;
            break;
        }
        std::string_view record = text.substr(start, end - start);
        if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
        records.push_back({record, fields});
        i = end + 1;
    }
    return records;
}

/// The rows a batch of this text has: the records after the header (the first record that is
/// not blank) that are neither blank nor only empty fields. Nothing when the records cannot be
/// counted one way only.
std::optional<std::size_t> ExpectedRows(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const std::optional<std::vector<CsvRecord>> records = SplitCsv(text, true);
    if (!records) return std::nullopt;
    std::size_t rows = 0;
    bool header = false;
    for (const CsvRecord& r : *records) {
        if (r.text.find_first_not_of(" \t") == std::string_view::npos) continue;
        if (!header) {
            header = true;
        } else if (r.text.find_first_not_of(" \t,\"") != std::string_view::npos) {
            ++rows;
        }
    }
    return rows;
}

void CheckResultsCsv(const Run& run, const std::string& results, std::string_view input) {
    const std::optional<std::vector<CsvRecord>> records = SplitCsv(results, false);
    if (!records || records->empty()) Fail(run, "the results are not RFC 4180 CSV with a header");
    const std::size_t width = records->front().fields;
    for (std::size_t r = 1; r < records->size(); ++r)
        if ((*records)[r].fields != width)
            Fail(run, "result row " + std::to_string(r) + " has " + std::to_string((*records)[r].fields) + " fields, the header " +
                          std::to_string(width));
    const std::optional<std::size_t> expected = ExpectedRows(input);
    if (expected && records->size() - 1 != *expected)
        Fail(run, std::to_string(records->size() - 1) + " result rows for " + std::to_string(*expected) + " records of the input");
}

void CheckJson(const Run& run, const std::string& text, bool error) {
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded()) Fail(run, std::string("with --format json, the ") + (error ? "error" : "report") + " is not JSON");
    if (error && !(document.is_object() && document.contains("error") && document["error"].is_object()))
        Fail(run, "with --format json, status 2 without an {\"error\": {...}} document");
}

void CheckTextReport(const Run& run, const std::string& report) {
    for (const char ch : report) {
        const auto byte = static_cast<unsigned char>(ch);
        if ((byte < 0x20 && ch != '\n') || byte == 0x7F)
            Fail(run, "the text report holds the control character " + std::to_string(byte));
    }
}

void CheckSvg(const Run& run, const std::string& svg) {
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr document = xmlReadMemory(svg.data(), static_cast<int>(svg.size()), kSvgName, nullptr, options);
    if (document == nullptr) {
        const xmlError* error = xmlGetLastError();
        std::string reason = error != nullptr && error->message != nullptr ? error->message : "?";
        if (!reason.empty() && reason.back() == '\n') reason.pop_back();
        Fail(run, "the drawing is not well-formed XML: " + reason);
    }
    const xmlNode* root = xmlDocGetRootElement(document);
    const bool isSvg = root != nullptr && std::string_view(reinterpret_cast<const char*>(root->name)) == "svg";
    xmlFreeDoc(document);
    if (!isSvg) Fail(run, "the drawing's root element is not <svg>");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlInitParser();
    Folder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kVariantBytes) return 0;
    const std::uint8_t a = data[0], b = data[1];
    const std::string_view input(reinterpret_cast<const char*>(data) + kVariantBytes, size - kVariantBytes);
    EmptyFolder();

    const std::string inputName = kInputNames[a & 3];
    const fs::path inputPath = Folder() / inputName, reportPath = Folder() / kReportName, svgPath = Folder() / kSvgName;
    const bool csvByName = (a & 3) % 2 == 1;
    const bool batchOnlyOptions = !csvByName || (b & 4) != 0;
    const bool json = (a & 4) != 0 && batchOnlyOptions;
    const bool svg = (a & 128) != 0 && batchOnlyOptions;
    const unsigned jobs = (a >> 5) & 3;
    const unsigned output = b & 3;
    const bool premade = (b & 8) != 0;

    Run run;
    run.args = {"kestrol", "size", inputPath.string()};
    if (json) run.args.insert(run.args.end(), {"--format", "json"});
    if ((a & 8) != 0 && batchOnlyOptions) run.args.insert(run.args.end(), {"--units", "us"});
    if ((a & 16) != 0) run.args.push_back("--strict");
    if (jobs != 0) run.args.insert(run.args.end(), {"--jobs", std::to_string(jobs)});
    if (svg) run.args.insert(run.args.end(), {"--svg", svgPath.string()});
    if (output == 1) run.args.insert(run.args.end(), {"-o", "-"});
    if (output == 2) run.args.insert(run.args.end(), {"-o", reportPath.string()});
    if (output == 3) run.args.insert(run.args.end(), {"-o", inputPath.string()});

    WriteFile(inputPath, input);
    if (premade) {
        WriteFile(reportPath, kMarker);
        WriteFile(svgPath, kMarker);
    }
    std::ostringstream out, err;
    run.status = kestrol::host::RunCommandLine(run.args, out, err);
    run.out = out.str();
    run.err = err.str();
    if (std::getenv("KESTROL_FUZZ_TRACE") != nullptr)
        std::fprintf(stderr, "host_fuzz:%s\n  exit status %d\n%s", CommandText(run).c_str(), run.status, run.err.c_str());

    if (run.status < 0 || run.status > 2) Fail(run, "an exit status other than 0, 1 or 2");
    if (ReadFile(inputPath) != std::string(input)) Fail(run, "the input file changed");
    for (const fs::directory_entry& entry : fs::directory_iterator(Folder())) {
        const fs::path& p = entry.path();
        if (p != inputPath && p != reportPath && p != svgPath) Fail(run, "a file is left behind: " + p.filename().string());
    }
    const std::optional<std::string> reportFile = ReadFile(reportPath), svgFile = ReadFile(svgPath);
    const std::optional<std::string> before = premade ? std::optional<std::string>(kMarker) : std::nullopt;
    // Under AddressSanitizer an allocation that fails ends the process; it never reaches a message.
    const std::string* const written[] = {&run.out, &run.err, reportFile ? &*reportFile : &run.out};
    // (An input may hold the words itself; the host echoes input in its messages.)
    constexpr std::string_view kMemory = "short of memory";
    for (const std::string* text : written)
        if (text->find(kMemory) != std::string::npos && input.find(kMemory) == std::string_view::npos)
            Fail(run, "a message blames memory, which cannot be short here");
    if (run.status == 2) {
        if (reportFile != before || svgFile != before) Fail(run, "status 2, yet an output file was written");
        if (json) CheckJson(run, run.out, true);
        return 0;
    }

    if (output == 3) Fail(run, "-o naming the input was not refused");
    const bool toFile = output == 2;
    if (toFile && (!reportFile || reportFile == before)) Fail(run, "status 0 or 1 without the report file");
    if (!toFile && reportFile != before) Fail(run, "report.out changed, though the report went to standard output");
    const std::string& report = toFile ? *reportFile : run.out;
    if (report.empty()) Fail(run, "status 0 or 1 without a report");
    std::string_view body = input;
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    const std::size_t first = body.find_first_not_of(" \t\r\n");
    const bool batch = csvByName || ((a & 3) == 2 && (first == std::string_view::npos || body[first] != '{'));
    // JSON has no place for a raw control character but its whitespace (RFC 8259, sections 2 and 7).
    if (!batch && body.find_first_of(kControlsOutsideJson) != std::string_view::npos)
        Fail(run, "a case file holding a raw control character was read");
    if (batch) {
        CheckResultsCsv(run, report, input);
    } else if (json) {
        CheckJson(run, report, false);
    } else {
        CheckTextReport(run, report);
    }
    if (svg && svgFile != before) CheckSvg(run, *svgFile);
    if (svg && run.status == 0 && svgFile == before) Fail(run, "status 0 without the drawing");
    return 0;
}
