// The text report's way of writing a number, for the notebook's display of a document: the
// digits of the unit the number is in and thousands separators, by the host's own rule.
#include <string>

#include "host/report.h"
#include "model/result_fields.h"
#include "python/src/bindings.h"

namespace py = pybind11;

namespace kestrol::python {
namespace {

int DigitsOf(const std::string& symbol) {
    const int digits = kestrol::host::ReportDigitsOf(symbol);
    if (digits < 0) throw py::value_error("no reported quantity is in \"" + symbol + "\"");
    return digits;
}

}  // namespace

void BindFormat(py::module_& m) {
    m.def(
        "format_value", [](double value, const std::string& unit) { return kestrol::host::FormatNumber(value, DigitsOf(unit)); },
        py::arg("value"), py::arg("unit") = "",
        "The number as the text report writes it in that unit (the document's unit symbol, empty for a plain number).");
}

}  // namespace kestrol::python
