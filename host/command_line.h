// The kestrol command line: `run` plays a host script, `size` sizes a case file or a CSV batch.
// Kept apart from main() so that tests run the very same command in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestrol::host {

/// Exit statuses of the command.
enum ExitStatus : int {
    kExitSized = 0,     ///< every case sized (or the script ran)
    kExitNotSized = 1,  ///< the object could not size a case; the report says why
    kExitBadInput = 2,  ///< the command line or an input file is unusable; nothing was sized
};

/// What `kestrol --version` prints, e.g. "kestrol 1.1.0 (native Linux build, 64-bit)\n".
std::string VersionText();

/// Runs the command with its arguments (the program name first). `errIsTerminal` enables the
/// batch progress bar on `err`.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal = false);

}  // namespace kestrol::host
