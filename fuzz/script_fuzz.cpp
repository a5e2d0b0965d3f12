// Feeds arbitrary text to the host's script runner: it must run the script or refuse it
// with a ScriptError, never crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/script_runner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        kestrol::host::RunScript(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const kestrol::host::ScriptError&) {
    }
    return 0;
}
