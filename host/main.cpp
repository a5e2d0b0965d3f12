// kestrol: the command-line host of the sizing component.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <CLI/CLI.hpp>

#include "host/script_runner.h"

namespace {

constexpr int kUsageError = 2;

int RunScriptFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::cerr << path << ": cannot be read\n";
        return kUsageError;
    }
    std::ostringstream text;
    text << file.rdbuf();
    try {
        std::cout << kestrol::host::RunScript(text.str()) << '\n';
    } catch (const kestrol::host::ScriptError& e) {
        std::cerr << path << ": " << e.what() << '\n';
        return kUsageError;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kestrol: sizes separator vessels through the sizing object"};
    app.require_subcommand(1);

    std::string scriptPath;
    CLI::App* run = app.add_subcommand("run", "Play a host script against one sizing object and print the results as JSON");
    run->add_option("SCRIPT", scriptPath, "host script (JSON)")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kUsageError;
    }
    if (run->parsed()) return RunScriptFile(scriptPath);
    return kUsageError;
}
