// One case: sized from a mapping or a case file, with its results, reports and drawing.
#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/batch.h"
#include "host/mechanical_report.h"
#include "host/datasheet.h"
#include "host/level_report.h"
#include "host/report.h"
#include "host/settling_report.h"
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

/// In any case, as the orientation is read: "US" and "us" alike.
kestrol::host::UnitSystem Units(const std::string& units) {
    std::string lower = units;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (lower == "si") return kestrol::host::UnitSystem::SI;
    if (lower == "us") return kestrol::host::UnitSystem::US;
    throw py::value_error("units must be \"si\" or \"us\", not \"" + units + "\"");
}

/// One sized case, as the command line would report it.
struct Sizing {
    SizingCase c;
    SizingOutcome outcome;
    std::string source;
    bool reviewed = true;
    /// The document's JSON text by unit system (SI, US), made on first use: a review runs
    /// behind every document, and notebooks ask for it many times a case.
    std::array<py::object, 2> json;
    /// What the package derives from the document once, by name; not pickled.
    py::dict derived;
};

/// Sizes the case; a design the sizing path refuses is bad input, as on the command line.
/// `text` is the case file's, for the line and column of the refused key; empty for a mapping.
Sizing SizeOne(SizingCase c, std::string source, const std::string& text, bool reviewed) {
    Sizing s{std::move(c), SizingOutcome(), std::move(source), reviewed, {}, py::dict()};
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

const py::object& Document(Sizing& s, const std::string& units) {
    const kestrol::host::UnitSystem system = Units(units);
    py::object& text = s.json[system == kestrol::host::UnitSystem::SI ? 0 : 1];
    if (!text) text = py::str(kestrol::host::JsonReport(s.c, s.outcome, system, s.source, s.reviewed));
    return text;
}

bool SameNumber(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

/// What rebuilds a Sizing: the case, where it came from and the vector it sized to. The rest of
/// the outcome is sized again on unpickling, and must come back to the same vector.
py::tuple PickleState(const Sizing& s) {
    py::list values;
    for (const double v : s.c.values) values.append(v);
    py::list vector;
    for (const double v : s.outcome.values) vector.append(v);
    const kestrol::host::ProcessInputs& p = s.c.process;
    py::tuple levels(s.c.levels.values.size());
    for (std::size_t i = 0; i < s.c.levels.values.size(); ++i) levels[i] = s.c.levels.values[i];
    const kestrol::host::MechanicalInputs& m = s.c.mechanical;
    return py::make_tuple(s.c.name, static_cast<int>(s.c.orientation), values, s.source, s.reviewed, vector,
                          py::make_tuple(p.vapourViscosity, p.lightLiquidViscosity, p.heavyLiquidViscosity, static_cast<int>(p.mistEliminator),
                                         static_cast<int>(p.inletDevice)),
                          py::make_tuple(s.c.title.tag, s.c.title.service, s.c.title.revision), levels,
                          py::make_tuple(m.designPressureKpa, m.designTemperatureC, static_cast<int>(m.material),
                                         static_cast<int>(m.radiography), m.corrosionAllowanceMm));
}

Sizing FromPickleState(const py::tuple& state) {
    // Six items from kestrol 1.0, which had neither the settling inputs nor the title block; eight
    // before the levels block, nine before the mechanical keys.
    const bool before = state.size() == 6;
    if (!before && (state.size() < 8 || state.size() > 10)) throw py::value_error("not the pickled state of a Sizing");
    SizingCase c;
    c.name = state[0].cast<std::string>();
    const int orientation = state[1].cast<int>();
    if (orientation < 0 || orientation > 2) throw py::value_error("not the pickled state of a Sizing");
    c.orientation = static_cast<kestrol::host::Orientation>(orientation);
    const auto values = state[2].cast<std::vector<double>>();
    const auto vector = state[5].cast<std::vector<double>>();
    if (values.size() != c.values.size() || vector.size() != SizingOutcome().values.size())
        throw py::value_error("not the pickled state of a Sizing");
    std::copy(values.begin(), values.end(), c.values.begin());
    if (!before) {
        const auto title = state[7].cast<std::tuple<std::string, std::string, std::string>>();
        c.title = {std::get<0>(title), std::get<1>(title), std::get<2>(title)};
        const auto p = state[6].cast<std::tuple<double, double, double, int, int>>();
        const int mist = std::get<3>(p), inlet = std::get<4>(p);
        if (mist < 0 || mist > 4 || inlet < 0 || inlet > 4) throw py::value_error("not the pickled state of a Sizing");
        c.process = {std::get<0>(p), std::get<1>(p), std::get<2>(p), static_cast<kestrol::host::MistEliminator>(mist),
                     static_cast<kestrol::host::InletDevice>(inlet)};
    }
    if (state.size() == 10) {
        const auto mechanical = state[9].cast<std::tuple<double, double, int, int, double>>();
        const int grade = std::get<2>(mechanical), radiography = std::get<3>(mechanical);
        if (grade < 0 || grade > kestrol::host::kPlateGradeCount || radiography < 0 || radiography > 3)
            throw py::value_error("not the pickled state of a Sizing");
        c.mechanical = {std::get<0>(mechanical), std::get<1>(mechanical), static_cast<kestrol::host::PlateGrade>(grade),
                        static_cast<kestrol::host::Radiography>(radiography), std::get<4>(mechanical)};
    }
    if (state.size() >= 9) {
        const auto levels = state[8].cast<std::vector<double>>();
        if (levels.size() != c.levels.values.size()) throw py::value_error("not the pickled state of a Sizing");
        std::copy(levels.begin(), levels.end(), c.levels.values.begin());
    }
    Sizing s{std::move(c), SizingOutcome(), state[3].cast<std::string>(), state[4].cast<bool>(), {}, py::dict()};
    {
        py::gil_scoped_release release;
        s.outcome = kestrol::host::SizeCase(s.c);
    }
    for (std::size_t i = 0; i < vector.size(); ++i)
        if (!SameNumber(vector[i], s.outcome.values[i]))
            throw py::value_error("this Sizing was pickled by a kestrol that sizes its case differently: size the case again");
    return s;
}

/// What a result attribute holds, from its name and the text report's label: its words, its SI
/// unit (the end of its name) and the report's label where that reads differently.
std::string AttributeDoc(const kestrol::host::ResultField& f) {
    static constexpr std::pair<const char*, const char*> kEndings[] = {
        {"_kg_m3", "kg/m3"}, {"_m_s", "m/s"}, {"_kPa", "kPa"}, {"_USD", "USD"}, {"_kg", "kg"}, {"_m", "m"}, {"_s", "s"}};
    std::string words = kestrol::host::ResultName(f);
    std::string unit;
    for (const auto& [ending, name] : kEndings) {
        const std::size_t length = std::strlen(ending);
        if (words.size() > length && words.compare(words.size() - length, length, ending) == 0) {
            words.erase(words.size() - length);
            unit = name;
            break;
        }
    }
    for (char& ch : words)
        if (ch == '_') ch = ' ';
    words[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(words[0])));
    std::string doc = words + (unit.empty() ? "" : " [" + unit + "]");
    std::string label = f.label, lower = words;
    for (char& ch : label) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (label != lower) doc += std::string(", \"") + f.label + "\" in the text report";
    return doc + "; None when not computed or not applicable.";
}

const char* OrientationUsed(int orientation) {
    return orientation == 0 ? "vertical" : orientation == 1 ? "horizontal" : nullptr;
}

}  // namespace

py::array_t<double> SlotArray(const double* slots) {
    py::array_t<double> array(kestrol::kSlotCount + 1);
    double* out = array.mutable_data();
    out[0] = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(out + 1, slots, sizeof(double) * kestrol::kSlotCount);
    array.attr("setflags")(py::arg("write") = false);
    return array;
}

void BindCase(py::module_& m) {
    py::class_<Sizing> sizing(m, "Sizing", R"(One sized case: its results, reports and drawing.

Made by ``size`` (not constructed directly). A case the object could not size is a ``Sizing``
too, with ``sized`` False and ``problem`` saying why. Picklable: the case and its vector travel,
and the results are sized again on loading.

Attributes
----------
name, source : str
    The case's name, and the file or label it came from.
sized : bool
    Whether the object sized the vessel.
status : str
    ``"sized"`` or ``"not sized"``, as in a batch's ``status`` column.
problem : str or None
    Why the case was not sized and what to change; None when it was.
inside_diameter_m, overall_length_m, ..., total_cost_USD : float or None
    The results (``kestrol.RESULT_NAMES``), SI units in their names; None where not computed.
vapour_cut_size_um, ..., heavy_liquid_outlet_nozzle_in : float or None
    The settling checks' cut sizes and the nozzles' nominal sizes (``kestrol.SETTLING_COLUMNS``);
    None where not checked or not applicable.
vector : numpy.ndarray
    The sizing vector, read-only, 40 long: slot X at ``vector[Slot.X]``, element 0 unused (NaN).
findings : list of dict or None
    The design review (see ``Sizing.findings``).

Examples
--------
>>> s = kestrol.size("examples/cases/gas_scrubber_vertical.json")
>>> s.sized, round(s.inside_diameter_m, 3)
(True, 1.981)
)");
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
        .def_property_readonly("vector", [](const Sizing& s) { return SlotArray(s.outcome.values.data() + 1); },
                               "The vector as the sizing left it (EMPTY_VALUE where unset): a read-only numpy array of 40 "
                               "with slot X at vector[Slot.X]; element 0 is unused (NaN).")
        .def_property_readonly("reviewed", [](const Sizing& s) { return s.reviewed; }, "Whether the design review looked at the case.")
        .def("_json", [](Sizing& s, const std::string& units) { return Document(s, units); },
             "The document's JSON text, made once per unit system.")
        .def_property_readonly("_derived", [](const Sizing& s) { return s.derived; })
        .def("report", [](const Sizing& s, const std::string& units) { return kestrol::host::TextReport(s.c, s.outcome, Units(units), s.source, s.reviewed); },
             py::arg("units") = "si", "The text report of `kestrol size`, in \"si\" or \"us\" units.")
        .def("svg", [](const Sizing& s, const std::string& units) { return kestrol::host::VesselSvg(s.c, s.outcome, Units(units)); },
             py::arg("units") = "si", "The drawing of `kestrol size --svg` as SVG text; CaseError when the vessel was not sized.")
        .def("datasheet",
             [](const Sizing& s, const std::string& units) {
                 return kestrol::host::DatasheetHtml(s.c, s.outcome, Units(units), s.source, kestrol::host::DatasheetDate(), s.reviewed);
             },
             py::arg("units") = "si",
             "The datasheet of `kestrol size --datasheet` as HTML text, dated as it is (SOURCE_DATE_EPOCH or today); CaseError "
             "when the vessel was not sized.")
        .def(py::pickle(&PickleState, &FromPickleState));
    for (const auto& f : kestrol::host::ResultFields()) {
        const kestrol::host::ResultField* field = &f;
        sizing.def_property_readonly(kestrol::host::ResultName(f).c_str(), [field](const Sizing& s) { return Cell(s, *field); },
                                     AttributeDoc(f).c_str());
    }
    const std::vector<std::string>& settling = kestrol::host::SettlingColumnNames();
    for (std::size_t i = 0; i < settling.size(); ++i) {
        sizing.def_property_readonly(settling[i].c_str(), [i](const Sizing& s) -> py::object {
            double cells[kestrol::host::kSettlingColumnCount];
            kestrol::host::SettlingCells(s.c, s.outcome, cells);
            return std::isnan(cells[i]) ? py::object(py::none()) : py::object(py::float_(cells[i]));
        }, i < 3 ? "A cut size of the settling checks [um]; None where not checked." : "A nozzle's nominal pipe size [in]; None where none fits.");
    }
    for (std::size_t i = 0; i < kestrol::host::kLevelColumnCount; ++i) {
        const char* column = kestrol::host::LevelColumnNames()[i];
        sizing.def_property_readonly(kestrol::host::LevelAttributeName(column).c_str(),
                                     [i](const Sizing& s) -> py::object {
                                         const double v = kestrol::host::LevelCells(s.c, s.outcome)[i];
                                         return std::isnan(v) ? py::none() : py::object(py::float_(v));
                                     },
                                     kestrol::host::LevelAttributeDoc(column).c_str());
    }
    const auto& mechanicalNames = kestrol::host::MechanicalAttributeNames();
    for (std::size_t i = 0; i < mechanicalNames.size(); ++i) {
        sizing.def_property_readonly(
            mechanicalNames[i].c_str(),
            [i](const Sizing& s) -> py::object {
                std::array<double, kestrol::host::kMechanicalColumnCount> cells{};
                kestrol::host::MechanicalCells(s.c, s.outcome, cells.data());
                return std::isnan(cells[i]) ? py::none() : py::object(py::float_(cells[i]));
            },
            kestrol::host::MechanicalAttributeDocs()[i].c_str());
    }
    sizing.def_property_readonly(
        kestrol::host::kDesignMaterialAttribute,
        [](const Sizing& s) -> py::object {
            std::array<double, kestrol::host::kMechanicalColumnCount> cells{};
            const char* grade = kestrol::host::MechanicalCells(s.c, s.outcome, cells.data());
            return *grade == '\0' ? py::none() : py::object(py::str(grade));
        },
        "The plate grade the design at design conditions used (material, else the material code's); None when not computed.");

    m.def("size_mapping",
          [](py::handle mapping, const std::string& source, bool reviewed) { return SizeOne(CaseFromMapping(mapping, source), source, "", reviewed); },
          py::arg("mapping"), py::arg("source"), py::arg("review") = true);
    m.def("size_text",
          [](const std::string& text, const std::string& source, bool reviewed) {
              return SizeOne(kestrol::host::ParseCaseJson(text, source), source, text, reviewed);
          },
          py::arg("text"), py::arg("source"), py::arg("review") = true);
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
