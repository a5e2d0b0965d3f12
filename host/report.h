// The report of one sized case: aligned text for a terminal, or the same content as one JSON
// object.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"

namespace kestrol::host {

/// Text report; `source` names the case file in the heading. Without `withReview` it has no
/// Review section, for hosts that skip the review's cost; every result stays.
std::string TextReport(const SizingCase& c, const SizingOutcome& outcome, UnitSystem units, const std::string& source,
                       bool withReview = true);

/// The report as one JSON document (docs/report.schema.json): every key always present, null
/// where a value does not apply or was not computed, each number with a unit as
/// {"value", "unit", "given"}, dimensionless numbers plain. Without `withReview` the review's
/// keys stay in place as for a case the review found nothing in: `governing` null, `review`
/// empty.
nlohmann::ordered_json JsonDocument(const SizingCase& c, const SizingOutcome& outcome, UnitSystem units, const std::string& source,
                                    bool withReview = true);

/// JsonDocument, pretty-printed.
std::string JsonReport(const SizingCase& c, const SizingOutcome& outcome, UnitSystem units, const std::string& source,
                       bool withReview = true);

/// {"error": {"file", "line", "column", "key", "message"}} for input the host refused, so that a
/// script that asked for JSON gets JSON. Its strings are valid UTF-8 whatever the error holds
/// (see Echo), so that writing it cannot fail.
nlohmann::ordered_json JsonErrorDocument(const InputError& error);

/// The digits the text report gives a number in the unit `symbol`, as the JSON document names
/// it (empty for a plain number); -1 for a symbol no report section prints.
int ReportDigitsOf(const std::string& symbol);

}  // namespace kestrol::host
