// Feeds arbitrary text to the host's parsers: the script runner, the case-file reader and the
// CSV batch. Each must size the input or refuse it with its own error, never crash or hang. A
// case that sizes is also reported and drawn (as `size --svg` does), and the batch runs on up
// to four workers, so that the threaded path meets odd rows too.
//
// The first byte chooses: its remainder by 3 the parser, the rest the unit system and the
// number of batch workers. Run it from the seeds in fuzz/corpus/parser: from nothing it spends
// its time on text that no parser gets far into.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "host/batch.h"
#include "model/case_file.h"
#include "host/report.h"
#include "model/script_runner.h"
#include "model/sizing_run.h"
#include "host/svg.h"

namespace {

void SizeReportAndDraw(const std::string& text, kestrol::host::UnitSystem units) {
    using namespace kestrol::host;
    const SizingCase c = ParseCaseJson(text, "case.json");
    if (CheckCase(c)) return;
    const SizingOutcome outcome = SizeCase(c);
    JsonReport(c, outcome, units, "case.json");
    if (outcome.Sized()) VesselSvg(c, outcome, units);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const unsigned variant = data[0] / 3u;
    const auto units = variant % 2 == 0 ? kestrol::host::UnitSystem::SI : kestrol::host::UnitSystem::US;
    try {
        switch (data[0] % 3) {
            case 0: kestrol::host::RunScript(text); break;
            case 1: SizeReportAndDraw(text, units); break;
            default: {
                std::ostringstream out;
                kestrol::host::BatchOptions options;
                options.jobs = 1 + variant % 4;
                kestrol::host::SizeCsv(text, "cases.csv", out, options);
                break;
            }
        }
    } catch (const kestrol::host::ScriptError&) {
    } catch (const kestrol::host::InputError& e) {
        // What --format json prints for the refusal: it must be writable whatever the input held.
        kestrol::host::JsonErrorDocument(e).dump();
    }
    return 0;
}
