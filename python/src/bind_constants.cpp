// The module's exception and its constants: the slot table, the interface's failure codes,
// the case keys and the batch's columns, as the host defines them.
#include <cstdint>
#include <cstring>
#include <exception>

#include "host/batch.h"
#include "host/level_report.h"
#include "host/mechanical_report.h"
#include "host/settling_report.h"
#include "model/script_runner.h"
#include "model/sizing_run.h"
#include "python/src/bindings.h"
#include "sizing/sizing_object.h"

namespace py = pybind11;
using kestrol::host::InputError;
using kestrol::host::SizingCase;

namespace kestrol::python {
namespace {

/// Raises the exception with the message. The host's messages are UTF-8 (see Echo); should one
/// not be, its bytes come escaped rather than as an exception without a message, which is what
/// PyErr_SetString gives for text it cannot decode.
void Raise(const py::object& type, const char* message) {
    const py::object text = py::reinterpret_steal<py::object>(PyUnicode_DecodeUTF8(message, static_cast<Py_ssize_t>(std::strlen(message)), "backslashreplace"));
    if (!text) return;  // the decoder's own error (memory) stands
    PyErr_SetObject(type.ptr(), text.ptr());
}

}  // namespace

void BindCaseError(py::module_& m) {
    static py::exception<InputError> caseError(m, "CaseError", PyExc_ValueError);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const InputError& e) {
            Raise(caseError, e.what());
        } catch (const kestrol::host::ScriptError& e) {
            Raise(caseError, e.what());
        }
    });
}

void BindConstants(py::module_& m) {
    m.attr("EMPTY_VALUE") = kestrol::kEmptyValue;
    m.attr("SLOT_COUNT") = kestrol::kSlotCount;
    py::list slots;
    for (const kestrol::SlotInfo& info : kestrol::kSlots) slots.append(py::make_tuple(info.name, kestrol::Index(info.slot), info.unit));
    m.attr("SLOTS") = slots;
    py::dict codes;
    codes["SIZING_E_NOVECTOR"] = static_cast<std::int32_t>(SIZING_E_NOVECTOR);
    codes["SIZING_E_NOFLOW"] = static_cast<std::int32_t>(SIZING_E_NOFLOW);
    codes["SIZING_E_NOVAPOUR"] = static_cast<std::int32_t>(SIZING_E_NOVAPOUR);
    codes["SIZING_E_MISSINGINPUT"] = static_cast<std::int32_t>(SIZING_E_MISSINGINPUT);
    codes["SIZING_E_NOPERCENT"] = static_cast<std::int32_t>(SIZING_E_NOPERCENT);
    codes["SIZING_E_NOLIQUIDDENSITY"] = static_cast<std::int32_t>(SIZING_E_NOLIQUIDDENSITY);
    codes["SIZING_E_PRESET"] = static_cast<std::int32_t>(SIZING_E_PRESET);
    codes["SIZING_E_ORIENTATION"] = static_cast<std::int32_t>(SIZING_E_ORIENTATION);
    m.attr("HRESULTS") = codes;

    py::list caseKeys;
    for (const auto& key : kestrol::host::CaseKeys()) caseKeys.append(py::make_tuple(key.key, key.design, key.words));
    m.attr("CASE_KEYS") = caseKeys;
    m.attr("MECHANICAL_KEYS") = kestrol::host::MechanicalKeyNames();
    py::list resultColumns, resultNames;
    for (const auto& f : kestrol::host::ResultFields()) {
        resultColumns.append(kestrol::host::ResultColumnName(f));
        resultNames.append(kestrol::host::ResultName(f));
    }
    m.attr("RESULT_COLUMNS") = resultColumns;
    m.attr("RESULT_NAMES") = resultNames;
    m.attr("MECHANICAL_COLUMNS") = kestrol::host::MechanicalColumnNames();
    m.attr("MECHANICAL_NAMES") = kestrol::host::MechanicalAttributeNames();
    m.attr("DESIGN_MATERIAL_COLUMN") = kestrol::host::kDesignMaterialColumn;
    m.attr("DESIGN_MATERIAL_NAME") = kestrol::host::kDesignMaterialAttribute;
    m.attr("REVIEW_COLUMNS") = kestrol::host::ReviewColumnNames();
    m.attr("SETTLING_COLUMNS") = kestrol::host::SettlingColumnNames();
    m.attr("SETTLING_KEYS") = kestrol::host::SettlingKeyNames();
    py::list levelColumns, levelNames;
    for (const char* column : kestrol::host::LevelColumnNames()) {
        levelColumns.append(column);
        levelNames.append(kestrol::host::LevelAttributeName(column));
    }
    m.attr("LEVEL_COLUMNS") = levelColumns;
    m.attr("LEVEL_NAMES") = levelNames;
    m.attr("LEVEL_KEYS") = kestrol::host::LevelKeyNames();

    m.def("explain_result", [](std::int32_t hr) { return kestrol::host::ExplainResult(hr, SizingCase()); },
          "The command line's sentence for an HRESULT of Calculate.");
}

}  // namespace kestrol::python
