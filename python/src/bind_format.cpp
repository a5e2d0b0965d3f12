// The text report's way of writing a number, for the notebook's display of a document: the
// digits of the unit the number is in and thousands separators, by the host's own rule.
#include <string>

#include "model/result_fields.h"
#include "python/src/bindings.h"

namespace py = pybind11;
using kestrol::host::Quantity;
using kestrol::host::Unit;
using kestrol::host::UnitSystem;

namespace kestrol::python {
namespace {

/// The digits the report gives a number in this unit, as the document names it; a plain number
/// (no unit) has a plain quantity's, not the material code's.
int DigitsOf(const std::string& symbol) {
    if (symbol.empty()) return kestrol::host::UnitOf(Quantity::Plain, UnitSystem::SI).digits;
    // Cut sizes and nozzle momenta, as the report's Settling and Nozzles sections write them.
    if (symbol == "um" || symbol == "Pa") return 0;
    const Quantity quantities[] = {Quantity::Length,   Quantity::Thickness, Quantity::Time,        Quantity::Velocity, Quantity::Stress,
                                   Quantity::Density,  Quantity::Money,     Quantity::Pressure,    Quantity::Temperature,
                                   Quantity::MassFlow, Quantity::Mass,      Quantity::Volume};
    for (const UnitSystem system : {UnitSystem::SI, UnitSystem::US}) {
        for (const Quantity q : quantities) {
            const Unit unit = kestrol::host::UnitOf(q, system);
            if (symbol == unit.symbol) return unit.digits;
        }
    }
    throw py::value_error("no reported quantity is in \"" + symbol + "\"");
}

}  // namespace

void BindFormat(py::module_& m) {
    m.def(
        "format_value", [](double value, const std::string& unit) { return kestrol::host::FormatNumber(value, DigitsOf(unit)); },
        py::arg("value"), py::arg("unit") = "",
        "The number as the text report writes it in that unit (the document's unit symbol, empty for a plain number).");
}

}  // namespace kestrol::python
