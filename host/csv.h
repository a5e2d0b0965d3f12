// The small CSV dialect of the batch: comma separated, double quotes around a field that
// holds a comma or a quote (a quote doubled inside), one record per line. Numbers go through
// std::from_chars and std::to_chars: exact, locale-free and fast.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrol::host {

/// Splits one line into fields, trimming blanks around unquoted fields. Quoted fields are
/// unescaped into `scratch`, which must not change while the views are in use. False when a
/// quote is left open.
bool SplitCsvLine(std::string_view line, std::vector<std::string_view>& fields, std::string& scratch);

/// Appends the field, quoted when it needs to be.
void AppendCsvField(std::string& out, std::string_view field);

/// The whole field as a number, or nothing when any of it is not part of one.
std::optional<double> ParseNumber(std::string_view text);

/// Appends the shortest text that reads back as exactly the same double.
void AppendNumber(std::string& out, double value);

}  // namespace kestrol::host
