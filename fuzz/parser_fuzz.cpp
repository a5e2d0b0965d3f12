// Feeds arbitrary text to the host's parsers: the script runner, the case-file reader and the
// CSV batch. Each must size the input or refuse it with its own error, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "host/batch.h"
#include "host/case_file.h"
#include "host/script_runner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        switch (data[0] % 3) {
            case 0: kestrol::host::RunScript(text); break;
            case 1: kestrol::host::CheckCase(kestrol::host::ParseCaseJson(text, "case.json")); break;
            default: {
                std::ostringstream out;
                kestrol::host::BatchOptions options;
                options.jobs = 1;
                kestrol::host::SizeCsv(text, "cases.csv", out, options);
                break;
            }
        }
    } catch (const kestrol::host::ScriptError&) {
    } catch (const kestrol::host::InputError&) {
    }
    return 0;
}
