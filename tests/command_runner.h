// Runs the command line in-process, as a user would type it, and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "host/command_line.h"

namespace kestrol::testing_support {

struct CommandResult {
    int status;
    std::string out;
    std::string err;
};

inline CommandResult Kestrol(std::vector<std::string> args) {
    args.insert(args.begin(), "kestrol");
    std::ostringstream out, err;
    const int status = host::RunCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace kestrol::testing_support
