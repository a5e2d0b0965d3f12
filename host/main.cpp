// kestrol: the command-line host of the sizing component.
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "host/command_line.h"
#include "host/output_file.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    kestrol::host::InstallStopHandlers();
    const std::vector<std::string> args(argv, argv + argc);
    return kestrol::host::RunCommandLine(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
