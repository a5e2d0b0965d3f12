// The datasheet of one sized case: a single self-contained HTML page (inline CSS and the
// drawing, no script, nothing fetched) that prints on A4 and on Letter. It is written from the
// JSON report, so that every group the report carries appears on it, the ones other layers add
// (levels, settling, nozzles, the mechanical design at design conditions) as soon as the report
// has their keys.
#pragma once

#include <ctime>
#include <string>

#include <nlohmann/json.hpp>

#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

namespace kestrol::host {

/// The date a datasheet carries, as YYYY-MM-DD: the local day it is written, or, when
/// SOURCE_DATE_EPOCH is set to a whole number of seconds, that day in UTC. The date of issue is
/// the day the sheet is made; the variable is the reproducible-builds convention, so that a
/// build, a test or an archived example can write the same bytes again.
std::string DatasheetDate();
/// The same from a given environment value (nullptr: not set) and clock, for tests.
std::string DatasheetDate(const char* sourceDateEpoch, std::time_t now);

/// The datasheet of a sized case; throws InputError, as the drawing does, when the outcome has no
/// vessel. `date` is shown as given (DatasheetDate() for the usual one).
std::string DatasheetHtml(const SizingCase& c, const SizingOutcome& outcome, UnitSystem units, const std::string& source,
                          const std::string& date, bool withReview = true);

/// The page itself, from a report as JsonDocument writes it (its "units" say which), the case's
/// title block and the drawing's SVG text. Every text from the report or the case is escaped.
std::string DatasheetHtml(const nlohmann::ordered_json& report, const SizingCase& c, const std::string& drawing, const std::string& date);

}  // namespace kestrol::host
