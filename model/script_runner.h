// The host script runner: plays a host against one sizing object, call by call, and reports
// every result, the vector and the inputs as JSON.
#pragma once

#include <stdexcept>
#include <string>

namespace kestrol::host {

/// A script that cannot be run: not JSON, an unknown name, a wrong argument. The message says
/// what and where; nothing has been run when it is thrown.
class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Runs the script text and returns the output object as one line of JSON.
std::string RunScript(const std::string& scriptText);

}  // namespace kestrol::host
