// A case sized the way the command line sizes it, from JSON text or from a bundled example, for
// the tests that read what the review makes of it.
#pragma once

#include <filesystem>
#include <string>

#include "model/case_file.h"
#include "model/sizing_run.h"

namespace kestrol::testing_support {

struct Sized {
    host::SizingCase c;
    host::SizingOutcome o;
};

inline Sized SizeJson(const std::string& json) {
    Sized s{host::ParseCaseJson(json, "test"), {}};
    s.o = host::SizeCase(s.c);
    return s;
}

/// `file` of examples/cases.
inline Sized SizeExample(const char* file) {
    const std::filesystem::path cases = std::filesystem::path(__FILE__).parent_path().parent_path() / "examples" / "cases";
    Sized s{host::LoadCaseFile((cases / file).string()), {}};
    s.o = host::SizeCase(s.c);
    return s;
}

}  // namespace kestrol::testing_support
