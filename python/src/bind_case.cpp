// One case: sized from a mapping or a case file, with its results, reports and drawing.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/batch.h"
#include "host/report.h"
#include "host/svg.h"
#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"
#include "python/src/bindings.h"

namespace py = pybind11;
using kestrol::host::InputError;
using kestrol::host::SizingCase;
using kestrol::host::SizingOutcome;

namespace kestrol::python {
namespace {

kestrol::host::UnitSystem Units(const std::string& units) {
    if (units == "si") return kestrol::host::UnitSystem::SI;
    if (units == "us") return kestrol::host::UnitSystem::US;
    throw py::value_error("units must be \"si\" or \"us\", not \"" + units + "\"");
}

/// One sized case, as the command line would report it.
struct Sizing {
    SizingCase c;
    SizingOutcome outcome;
    std::string source;
    bool reviewed = true;
};

/// Sizes the case; a design the sizing path refuses is bad input, as on the command line.
/// `text` is the case file's, for the line and column of the refused key; empty for a mapping.
Sizing SizeOne(SizingCase c, std::string source, const std::string& text, bool reviewed) {
    Sizing s{std::move(c), SizingOutcome(), std::move(source), reviewed};
    {
        py::gil_scoped_release release;
        s.outcome = kestrol::host::SizeCase(s.c);
    }
    if (s.outcome.Refused()) {
        if (!text.empty()) throw kestrol::host::RefusalAt(text, s.source, s.outcome.refusal.key, s.outcome.refusal.reason);
        throw InputError(s.source, s.outcome.refusal.key, s.outcome.refusal.reason);
    }
    return s;
}

py::object Cell(const Sizing& s, const kestrol::host::ResultField& f) {
    const double v = kestrol::host::ResultCell(f, s.c, s.outcome);
    if (std::isnan(v)) return py::none();
    return py::float_(v);
}

const char* OrientationUsed(int orientation) {
    return orientation == 0 ? "vertical" : orientation == 1 ? "horizontal" : nullptr;
}

}  // namespace

void BindCase(py::module_& m) {
    py::class_<Sizing> sizing(m, "Sizing", "One sized case: its results, reports and drawing.");
    sizing.def_property_readonly("name", [](const Sizing& s) { return s.c.name; })
        .def_property_readonly("source", [](const Sizing& s) { return s.source; })
        .def_property_readonly("sized", [](const Sizing& s) { return s.outcome.Sized(); },
                               "Whether the object sized the vessel; when not, `problem` says why.")
        .def_property_readonly("status", [](const Sizing& s) { return s.outcome.Sized() ? "sized" : "not sized"; })
        .def_property_readonly("problem",
                               [](const Sizing& s) -> py::object {
                                   if (s.outcome.Sized()) return py::none();
                                   return py::str(kestrol::host::ExplainFailure(s.c, s.outcome));
                               },
                               "Why the case was not sized and what to change; None when it was.")
        .def_property_readonly("missing_results", [](const Sizing& s) { return kestrol::host::MissingResults(s.c, s.outcome); })
        .def_property_readonly("hresult", [](const Sizing& s) { return static_cast<std::int32_t>(s.outcome.result); },
                               "What Calculate answered (0 for S_OK).")
        .def_property_readonly("orientation", [](const Sizing& s) -> py::object {
            const char* word = OrientationUsed(s.outcome.orientation);
            return word ? py::object(py::str(word)) : py::object(py::none());
        })
        .def_property_readonly("orientation_chosen", [](const Sizing& s) { return s.outcome.orientationChosen; })
        .def_property_readonly("liquid_assumed", [](const Sizing& s) { return s.outcome.liquidAssumed; })
        .def_property_readonly("vector",
                               [](const Sizing& s) {
                                   std::vector<double> vector(s.outcome.values.begin() + 1, s.outcome.values.begin() + 1 + kestrol::kSlotCount);
                                   return py::tuple(py::cast(vector));
                               },
                               "Slots 1 to 39 as the sizing left them (the empty marker where unset).")
        .def_property_readonly("reviewed", [](const Sizing& s) { return s.reviewed; }, "Whether the design review looked at the case.")
        .def("_json", [](const Sizing& s, const std::string& units) { return kestrol::host::JsonReport(s.c, s.outcome, Units(units), s.source, s.reviewed); })
        .def("report", [](const Sizing& s, const std::string& units) { return kestrol::host::TextReport(s.c, s.outcome, Units(units), s.source, s.reviewed); },
             py::arg("units") = "si", "The text report of `kestrol size`, in \"si\" or \"us\" units.")
        .def("svg", [](const Sizing& s, const std::string& units) { return kestrol::host::VesselSvg(s.c, s.outcome, Units(units)); },
             py::arg("units") = "si", "The drawing of `kestrol size --svg` as SVG text; CaseError when the vessel was not sized.");
    for (const auto& f : kestrol::host::ResultFields()) {
        const kestrol::host::ResultField* field = &f;
        sizing.def_property_readonly(kestrol::host::ResultName(f).c_str(), [field](const Sizing& s) { return Cell(s, *field); },
                                     (std::string(f.label) + ", in the unit its name ends with; None when not computed or not applicable.").c_str());
    }

    m.def("size_mapping",
          [](py::handle mapping, const std::string& source, bool reviewed) { return SizeOne(CaseFromMapping(mapping, source), source, "", reviewed); },
          py::arg("mapping"), py::arg("source"), py::arg("review") = true);
    m.def("size_file",
          [](const std::string& path, bool reviewed) {
              const std::string text = kestrol::host::ReadInputFile(path);
              return SizeOne(kestrol::host::ParseCaseJson(text, path), path, text, reviewed);
          },
          py::arg("path"), py::arg("review") = true);

    m.def("time_sizing",
          [](py::handle mapping, std::size_t count) {
              const SizingCase c = CaseFromMapping(mapping, "case");
              py::gil_scoped_release release;
              const auto started = std::chrono::steady_clock::now();
              for (std::size_t i = 0; i < count; ++i) {
                  const SizingOutcome outcome = kestrol::host::SizeCase(c);
                  if (outcome.result == E_OUTOFMEMORY) break;
              }
              return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
          },
          "Seconds the sizing alone takes for `count` runs of the case, for the benchmark.");
}

}  // namespace kestrol::python
