// JSON text as the host reads every JSON input, a case file and a host script: the library's
// parser, with the refusals it does not make itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "model/case_file.h"

namespace kestrol::host {

/// Offset of the first array or object that opens more than `deepest` levels deep, outside
/// strings; npos when there is none.
std::size_t DeepOpening(std::string_view text, int deepest);

/// The refusal of text nested more than `deepest` levels deep, at the first deeper opening.
[[noreturn]] void RefuseNesting(std::string_view text, const std::string& source, int deepest, const char* reason);

/// The library's refusal of `text` as one of ours, at its line and column, the library's
/// excerpt echoed; a NUL byte that the library took for the end of the text is named as such.
InputError MalformedJson(std::string_view text, const std::string& source, const nlohmann::json::exception& error);

/// The refusal of a NUL byte in text the library has read as a whole value: the library stops
/// at a NUL as at the end of a C string, and would accept anything after it.
void RefuseNul(std::string_view text, const std::string& source);

/// Reads JSON text into the library's type `Json`. Refuses, as InputError at the line and
/// column: malformed JSON; arrays and objects more than `deepest` levels deep, at the first
/// deeper one and before it is built (a value is copied and destroyed by recursion, so depth
/// alone could exhaust the stack); anything but blanks after the value, a NUL byte included.
/// `more`, when given, then sees each event as the library's callback does.
template <class Json>
Json ReadJson(const std::string& text, const std::string& source, int deepest, const char* nestingReason,
              const typename Json::parser_callback_t& more = nullptr) {
    const auto callback = [&](int depth, typename Json::parse_event_t event, Json& parsed) {
        const bool opens = event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start;
        if (opens && depth >= deepest) RefuseNesting(text, source, deepest, nestingReason);
        return !more || more(depth, event, parsed);
    };
    Json root;
    try {
        root = Json::parse(text, callback);
    } catch (const nlohmann::json::exception& e) {
        throw MalformedJson(text, source, e);
    }
    RefuseNul(text, source);
    return root;
}

}  // namespace kestrol::host
