// The CSV of the batch, as RFC 4180 has it: comma separated records ending in CRLF or LF,
// double quotes around a field that holds a comma, a quote (doubled inside) or a line break. Numbers go through
// std::from_chars and std::to_chars: exact, locale-free and fast.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrol::host {

/// Takes the next record off the front of `rest` (without its line end) and adds the physical
/// lines it spans to `lines`: a line break inside quotes belongs to the field. Only a quote
/// that starts a field (blanks before it allowed) opens quotes; one inside an unquoted field
/// opens nothing, so that its record ends at its line and SplitCsvLine refuses it alone. A
/// quote left open runs to the end of the text, where SplitCsvLine refuses it.
std::string_view NextCsvRecord(std::string_view& rest, std::size_t& lines);

/// Offset of the first byte that is not part of well-formed UTF-8, or npos.
std::size_t FirstInvalidUtf8(std::string_view text);

/// Where and why a record breaks the rules of RFC 4180.
struct CsvFault {
    std::size_t offset = 0;  ///< of the offending byte in the record
    const char* reason = "";
};

/// Splits one record into fields, trimming blanks around unquoted fields. The views point into
/// `line`, or for a quoted field with doubled quotes into `scratch`, where it is unescaped;
/// neither may change while the views are in use. False, and the fault when asked for, when a
/// quote is left open, text follows a closing quote or a quote stands inside an unquoted field.
bool SplitCsvLine(std::string_view line, std::vector<std::string_view>& fields, std::string& scratch, CsvFault* fault = nullptr);

/// Appends the field, quoted when it needs to be.
void AppendCsvField(std::string& out, std::string_view field);

/// The whole field as a number, or nothing when any of it is not part of one.
std::optional<double> ParseNumber(std::string_view text);

/// Appends the shortest text that reads back as exactly the same double.
void AppendNumber(std::string& out, double value);

}  // namespace kestrol::host
