// kestrol._kestrol: the host's own case reader, sizing run, reports, drawing, batch engine and
// script runner, and the object through its interface, for Python. Nothing here computes a
// result: every number comes from the same functions the command line calls.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "host/batch.h"
#include "model/case_file.h"
#include "model/csv.h"
#include "model/object_handle.h"
#include "host/report.h"
#include "model/result_fields.h"
#include "model/script_runner.h"
#include "model/sizing_run.h"
#include "host/svg.h"
#include "review/review.h"
#include "sizing/sizing_object.h"

namespace py = pybind11;
using kestrol::host::InputError;
using kestrol::host::SizingCase;
using kestrol::host::SizingOutcome;

namespace {

using json = nlohmann::json;

std::string TypeName(py::handle value) { return py::str(py::type::handle_of(value).attr("__name__")); }

// A mapping as the JSON value the case reader takes: the same keys, the same types, so that
// every message is the one a case file with the same content gets. Deeper than a case file may
// be, it is refused as the file would be, before it is walked.
json ToJson(py::handle value, const std::string& source, int depth) {
    if (value.is_none()) return nullptr;
    if (PyBool_Check(value.ptr())) return value.ptr() == Py_True;
    if (PyFloat_Check(value.ptr())) return PyFloat_AS_DOUBLE(value.ptr());
    if (PyLong_Check(value.ptr())) {
        int overflow = 0;
        const long long v = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
        if (overflow == 0) return static_cast<std::int64_t>(v);
        return PyLong_AsDouble(value.ptr());  // as a JSON reader takes a number too long for an integer
    }
    if (PyUnicode_Check(value.ptr())) return value.cast<std::string>();
    const auto refuseIfDeep = [&] {
        if (depth >= kestrol::host::kCaseNesting) throw InputError(source, "", kestrol::host::kCaseNestingReason);
    };
    if (PyDict_Check(value.ptr())) {
        refuseIfDeep();
        json object = json::object();
        PyObject* key = nullptr;
        PyObject* item = nullptr;
        Py_ssize_t position = 0;
        while (PyDict_Next(value.ptr(), &position, &key, &item)) {
            if (!PyUnicode_Check(key)) throw InputError(source + ": keys must be strings, not " + TypeName(key));
            object[py::handle(key).cast<std::string>()] = ToJson(item, source, depth + 1);
        }
        return object;
    }
    if (py::isinstance(value, py::module_::import("collections.abc").attr("Mapping"))) {
        refuseIfDeep();
        json object = json::object();
        for (auto item : py::reinterpret_borrow<py::object>(value).attr("items")()) {
            auto pair = item.cast<py::tuple>();
            if (!PyUnicode_Check(pair[0].ptr())) throw InputError(source + ": keys must be strings, not " + TypeName(pair[0]));
            object[pair[0].cast<std::string>()] = ToJson(pair[1], source, depth + 1);
        }
        return object;
    }
    if (PyList_Check(value.ptr()) || PyTuple_Check(value.ptr())) {
        refuseIfDeep();
        json array = json::array();
        for (auto item : py::reinterpret_borrow<py::sequence>(value)) array.push_back(ToJson(item, source, depth + 1));
        return array;
    }
    // Number types of other libraries (numpy's integers and booleans among them).
    if (py::hasattr(value, "__index__")) return ToJson(py::int_(py::reinterpret_borrow<py::object>(value)), source, depth);
    if (py::hasattr(value, "__float__")) return py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
    throw InputError(source + ": a " + TypeName(value) + " cannot stand in a case (numbers, strings and mappings can)");
}

/// Raises the exception with the message. The host's messages are UTF-8 (see Echo); should one
/// not be, its bytes come escaped rather than as an exception without a message, which is what
/// PyErr_SetString gives for text it cannot decode.
void Raise(const py::object& type, const char* message) {
    const py::object text = py::reinterpret_steal<py::object>(PyUnicode_DecodeUTF8(message, static_cast<Py_ssize_t>(std::strlen(message)), "backslashreplace"));
    if (!text) return;  // the decoder's own error (memory) stands
    PyErr_SetObject(type.ptr(), text.ptr());
}

SizingCase CaseFromMapping(py::handle mapping, const std::string& source) {
    return kestrol::host::CaseFromJson(ToJson(mapping, source, 0), source);
}

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

/// A review row's warning codes in one number, one bit per code: a batch has few distinct
/// lists, found by this number without their text per row. A review lists its warnings in code
/// order, so the bits give back the list.
std::uint64_t PackWarnings(const kestrol::host::ReviewCells& cells) {
    static_assert(kestrol::review::kCodeCount <= 64, "one bit per code");
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < cells.warningCount; ++i) packed |= std::uint64_t{1} << static_cast<unsigned>(cells.warnings[i]);
    return packed;
}

kestrol::host::ReviewCells UnpackWarnings(std::uint64_t packed) {
    kestrol::host::ReviewCells cells;
    for (std::size_t code = 0; code < kestrol::review::kCodeCount; ++code)
        if ((packed >> code) & 1u) cells.warnings[cells.warningCount++] = static_cast<kestrol::review::Code>(code);
    return cells;
}

// --- the object through its interface ------------------------------------------------------

/// ISeparatorSizing for Python: the host callback becomes a Python callable.
class PyObjectHandle {
public:
    PyObjectHandle() : object_(kestrol::host::CreateSizingInstance()) {
        if (!object_) throw std::bad_alloc();
    }

    ISeparatorSizing& Object() { return *object_; }

    void SetCallback(py::object callback) {
        if (!callback.is_none() && !PyCallable_Check(callback.ptr())) throw py::type_error("the property callback must be callable or None");
        callback_ = std::move(callback);
        object_->SetPropertyCallback(callback_.is_none() ? nullptr : &Trampoline);
    }
    py::object Callback() const { return callback_; }

    /// Runs one interface call with this object's callback reachable and its errors raised.
    template <typename Call>
    auto Invoke(Call&& call) {
        Scope scope(this);
        auto result = call(*object_);
        if (pending_) {
            py::error_already_set error = std::move(*pending_);
            pending_.reset();
            throw error;
        }
        return result;
    }

    py::array_t<double> Vector() {
        const auto& sizing = static_cast<const kestrol::SizingObject&>(*object_);
        if (!sizing.HasVector()) return py::array_t<double>(0);
        const double* storage = object_->GetVectorPointer();
        py::array_t<double> copy(kestrol::kSlotCount);
        std::memcpy(copy.mutable_data(), storage, sizeof(double) * kestrol::kSlotCount);
        // A copy: the object may reallocate its vector, and a view would then dangle.
        copy.attr("setflags")(py::arg("write") = false);
        return copy;
    }

private:
    class Scope {
    public:
        explicit Scope(PyObjectHandle* self) : saved_(active) { active = self; }
        ~Scope() { active = saved_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        PyObjectHandle* saved_;
    };

    // The callback is a plain function: the object it answers for is the one being called on
    // this thread, which holds the interpreter lock throughout.
    static double STDMETHODCALLTYPE Trampoline(std::int32_t code) {
        PyObjectHandle* self = active;
        if (self == nullptr || self->callback_.is_none() || self->pending_) return kestrol::kEmptyValue;
        try {
            return self->callback_(code).cast<double>();
        } catch (py::error_already_set& e) {
            self->pending_.emplace(std::move(e));
        } catch (const py::cast_error&) {
            PyErr_SetString(PyExc_TypeError, "the property callback must return a number");
            self->pending_.emplace();
        }
        return kestrol::kEmptyValue;
    }

    static thread_local PyObjectHandle* active;
    kestrol::host::ObjectHandle object_;
    py::object callback_ = py::none();
    std::optional<py::error_already_set> pending_;
};

thread_local PyObjectHandle* PyObjectHandle::active = nullptr;

}  // namespace

PYBIND11_MODULE(_kestrol, m) {
    m.doc() = "The sizing engine of the command line, for Python; use the kestrol package, not this module.";

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
    for (const auto& key : kestrol::host::CaseKeys()) caseKeys.append(py::make_tuple(key.key, key.design));
    m.attr("CASE_KEYS") = caseKeys;
    py::list resultColumns;
    for (const auto& f : kestrol::host::ResultFields()) resultColumns.append(kestrol::host::ResultColumnName(f));
    m.attr("RESULT_COLUMNS") = resultColumns;
    m.attr("REVIEW_COLUMNS") = kestrol::host::ReviewColumnNames();

    m.def("explain_result", [](std::int32_t hr) { return kestrol::host::ExplainResult(hr, SizingCase()); },
          "The command line's sentence for an HRESULT of Calculate.");

    // --- one case ---
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
        sizing.def_property_readonly(kestrol::host::ResultColumnName(f).c_str(), [field](const Sizing& s) { return Cell(s, *field); },
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

    // --- batches ---
    m.def("parse_number", [](const std::string& text) -> std::optional<double> { return kestrol::host::ParseNumber(text); },
          "A CSV field as the batch reads a number, or None.");
    m.def("parse_orientation", [](const std::string& text) { return static_cast<int>(kestrol::host::ParseOrientation(text)); });
    // Orientation codes of an object column of words; returns {row: problem} for the rows whose
    // word is refused, or None when a cell is neither a str nor None or the column holds many
    // distinct word objects, for the caller to read it the general way. A column holds few: a
    // CSV reader makes one object of each distinct word.
    m.def("read_orientations", [](py::array cells, py::buffer orientations) -> py::object {
        py::buffer_info o = orientations.request(true);
        if (cells.dtype().kind() != 'O' || cells.ndim() != 1 || o.itemsize != 1 || o.size != cells.shape(0)) return py::none();
        struct Word {
            PyObject* cell;
            std::int8_t code;
            std::string problem;
        };
        constexpr std::size_t kMostWords = 32;
        std::vector<Word> words;
        const auto* base = static_cast<const char*>(cells.data());
        auto* out = static_cast<std::int8_t*>(o.ptr);
        py::dict problems;
        for (py::ssize_t row = 0; row < cells.shape(0); ++row) {
            PyObject* cell = *reinterpret_cast<PyObject* const*>(base + row * cells.strides(0));
            if (cell == Py_None) {
                out[row] = static_cast<std::int8_t>(kestrol::host::Orientation::Auto);
                continue;
            }
            if (!PyUnicode_CheckExact(cell)) return py::none();
            auto word = std::find_if(words.begin(), words.end(), [cell](const Word& w) { return w.cell == cell; });
            if (word == words.end()) {
                if (words.size() == kMostWords) return py::none();
                Word read{cell, static_cast<std::int8_t>(kestrol::host::Orientation::Auto), std::string()};
                try {
                    read.code = static_cast<std::int8_t>(kestrol::host::ParseOrientation(py::handle(cell).cast<std::string>()));
                } catch (const InputError& e) {
                    read.problem = std::string("orientation: ") + e.what();
                }
                word = words.insert(words.end(), std::move(read));
            }
            out[row] = word->code;
            if (!word->problem.empty()) problems[py::int_(row)] = word->problem;
        }
        return problems;
    });
    m.def("column_keys", &kestrol::host::ColumnKeys, py::arg("names"), py::arg("source"));
    m.def("size_csv",
          [](const std::string& text, const std::string& source, unsigned jobs) {
              std::ostringstream out;
              kestrol::host::BatchOptions options;
              options.jobs = jobs;
              {
                  py::gil_scoped_release release;
                  kestrol::host::SizeCsv(text, source, out, options);
              }
              return py::bytes(out.str());
          },
          py::arg("text"), py::arg("source"), py::arg("jobs") = 0);

    // Reads mappings into the key-major value columns (NaN where not given) and orientation
    // codes; returns {row: problem} for the rows the case reader refuses.
    m.def("read_mappings", [](py::sequence rows, py::buffer values, py::buffer orientations) {
        py::buffer_info v = values.request(true);
        py::buffer_info o = orientations.request(true);
        const std::size_t n = py::len(rows);
        const std::size_t keys = kestrol::host::kCaseKeyCount;
        if (v.itemsize != sizeof(double) || static_cast<std::size_t>(v.size) != n * keys || o.itemsize != 1 ||
            static_cast<std::size_t>(o.size) != n)
            throw py::value_error("read_mappings: buffers of the wrong size");
        auto* out = static_cast<double*>(v.ptr);
        auto* orient = static_cast<std::int8_t*>(o.ptr);
        py::dict problems;
        py::list names;
        for (std::size_t row = 0; row < n; ++row) {
            SizingCase c;
            try {
                c = CaseFromMapping(rows[row], "row " + std::to_string(row));
            } catch (const InputError& e) {
                problems[py::int_(row)] = e.what();
            }
            for (std::size_t k = 0; k < keys; ++k) out[k * n + row] = c.Has(static_cast<int>(k)) ? c.values[k] : std::nan("");
            orient[row] = static_cast<std::int8_t>(c.orientation);
            names.append(c.name);
        }
        return py::make_tuple(problems, names);
    });

    // Sizes the rows of the given keys' columns, [(key, n contiguous doubles)] with NaN where a
    // row gives nothing, on the batch engine without the interpreter lock; the columns are read
    // where they lie. Rows in `skip` are left as bad input. Fills the result columns
    // (column-major, NaN where the CSV leaves a cell empty), the orientation used (-1 none,
    // 0 vertical, 1 horizontal) and the status codes; returns {row: message}.
    m.def("size_columns", [](py::sequence keyColumns, py::buffer orientations, py::dict skip, py::buffer results, py::buffer used,
                             py::buffer status, unsigned jobs, bool reviewed) {
        py::buffer_info o = orientations.request();
        py::buffer_info r = results.request(true);
        py::buffer_info u = used.request(true);
        py::buffer_info st = status.request(true);
        const std::size_t n = static_cast<std::size_t>(o.size);
        const std::size_t keys = kestrol::host::kCaseKeyCount;
        const std::size_t columns = kestrol::host::ResultFields().count;
        if (o.itemsize != 1 || r.itemsize != sizeof(double) ||
            static_cast<std::size_t>(r.size) != n * columns || u.itemsize != 1 || static_cast<std::size_t>(u.size) != n || st.itemsize != 1 ||
            static_cast<std::size_t>(st.size) != n)
            throw py::value_error("size_columns: buffers of the wrong size");
        std::vector<py::buffer_info> held;  // the columns stay readable until the rows are sized
        std::vector<std::pair<std::size_t, const double*>> given;
        for (auto item : keyColumns) {
            const auto pair = item.cast<std::pair<std::size_t, py::buffer>>();
            py::buffer_info column = pair.second.request();
            if (pair.first >= keys || column.itemsize != sizeof(double) || column.format != py::format_descriptor<double>::format() ||
                column.ndim != 1 || static_cast<std::size_t>(column.size) != n || (n > 1 && column.strides[0] != sizeof(double)))
                throw py::value_error("size_columns: a column that is not n contiguous doubles of a case key");
            given.emplace_back(pair.first, static_cast<const double*>(column.ptr));
            held.push_back(std::move(column));
        }
        std::vector<unsigned char> skipped(n, 0);
        for (auto item : skip) {
            const auto row = item.first.cast<std::size_t>();
            if (row < n) skipped[row] = 1;
        }
        const auto* orient = static_cast<const std::int8_t*>(o.ptr);
        auto* out = static_cast<double*>(r.ptr);
        auto* usedOut = static_cast<std::int8_t*>(u.ptr);
        auto* statusOut = static_cast<std::int8_t*>(st.ptr);
        // Few rows have a message: kept apart, not as a string for every row.
        std::mutex messageLock;
        std::vector<std::pair<std::size_t, std::string>> messages;
        // The review's number goes straight into its column; its words are kept as the review's
        // constants and packed warning codes, made Python strings afterwards under the lock.
        const auto rows = static_cast<py::ssize_t>(n);
        py::array_t<double> load(reviewed ? rows : 0);
        double* loadOut = load.mutable_data();
        struct ReviewWords {
            const char* diameter;
            const char* length;
            std::uint64_t warnings;
        };
        std::vector<ReviewWords> reviewWords(reviewed ? n : 0);

        kestrol::host::RowReader read = [&](std::size_t row, SizingCase& c) -> std::string {
            if (skipped[row]) return "skipped";
            c.orientation = static_cast<kestrol::host::Orientation>(orient[row]);
            for (const auto& [key, values] : given)
                if (!std::isnan(values[row])) c.values[key] = values[row];
            return kestrol::host::CheckCase(c).Text();
        };
        kestrol::host::RowWriter write = [&](std::size_t row, const SizingCase& c, const SizingOutcome* outcome,
                                             kestrol::host::RowStatus rowStatus, const std::string& message) {
            std::size_t column = 0;
            const bool sized = outcome && outcome->Sized();
            for (const auto& f : kestrol::host::ResultFields())
                out[column++ * n + row] = outcome ? kestrol::host::ResultCell(f, c, *outcome, sized) : std::nan("");
            usedOut[row] = static_cast<std::int8_t>(outcome ? outcome->orientation : -1);
            statusOut[row] = static_cast<std::int8_t>(rowStatus);
            if (!skipped[row] && !message.empty()) {
                std::lock_guard<std::mutex> lock(messageLock);
                messages.emplace_back(row, message);
            }
            if (!reviewed) return;
            // The same review and cells the CSV batch writes for the row; empty ones without an outcome.
            kestrol::host::ReviewCells cells;
            if (outcome) cells = kestrol::host::ReviewCellsOf(kestrol::review::ReviewCase(c, *outcome, kestrol::review::Scope::Batch));
            loadOut[row] = cells.vapourLoadPercent.value_or(std::nan(""));
            reviewWords[row] = {cells.governingDiameter, cells.governingLength, PackWarnings(cells)};
        };
        kestrol::host::BatchOptions options;
        options.jobs = jobs;
        {
            py::gil_scoped_release release;
            kestrol::host::SizeRows(n, read, write, options);
        }
        py::dict found;
        for (const auto& [row, message] : messages) found[py::int_(row)] = message;
        if (!reviewed) return py::make_tuple(found, py::none());
        // The words into object arrays, each distinct word made once: the governing constraints'
        // keys found by address, the warnings by their packed codes.
        py::array diameter(py::dtype("O"), rows), length(py::dtype("O"), rows), warned(py::dtype("O"), rows);
        auto* diameterCells = static_cast<PyObject**>(diameter.mutable_data());
        auto* lengthCells = static_cast<PyObject**>(length.mutable_data());
        auto* warnedCells = static_cast<PyObject**>(warned.mutable_data());
        std::vector<std::pair<const char*, py::str>> constraints;
        auto constraint = [&](const char* text) {
            auto at = std::find_if(constraints.begin(), constraints.end(), [text](const auto& c) { return c.first == text; });
            if (at == constraints.end()) at = constraints.insert(constraints.end(), {text, py::str(text)});
            return at->second.inc_ref().ptr();
        };
        std::map<std::uint64_t, py::str> warningWords;
        for (std::size_t row = 0; row < n; ++row) {
            const ReviewWords& words = reviewWords[row];
            diameterCells[row] = constraint(words.diameter);  // the array's new cells hold no reference yet
            lengthCells[row] = constraint(words.length);
            auto at = warningWords.find(words.warnings);
            if (at == warningWords.end()) {
                std::string joined;
                kestrol::host::AppendWarningCodes(joined, UnpackWarnings(words.warnings));
                at = warningWords.emplace(words.warnings, py::str(joined)).first;
            }
            warnedCells[row] = at->second.inc_ref().ptr();
        }
        const std::vector<std::string> names = kestrol::host::ReviewColumnNames();
        // In the order of ReviewCells, which is the order of the batch's review columns.
        const py::object cells[] = {diameter, length, warned, load};
        if (names.size() != std::size(cells)) throw std::logic_error("the review's columns and cells disagree");
        py::dict review;
        for (std::size_t i = 0; i < names.size(); ++i) review[py::str(names[i])] = cells[i];
        return py::make_tuple(found, review);
    });

    // --- scripts ---
    m.def("run_script", [](const std::string& text) {
        std::string out;
        {
            py::gil_scoped_release release;
            out = kestrol::host::RunScript(text);
        }
        return out;
    });

    // --- the object ---
    py::class_<PyObjectHandle> object(m, "SizingObject", R"(One sizing object driven through its interface, as a simulator does.

Every interface method under its snake_case name. Slots are numbered 1 to 39 (kestrol.Slot).
calculate() and alloc_values() answer the HRESULT (kestrol.check raises for a failure); the
sizing paths answer the empty marker kestrol.EMPTY_VALUE when they fail.)");
    object.def(py::init<>());
#define KESTROL_SETTER(python, Name)                                                                                      \
    object.def(python, [](PyObjectHandle& self, double value) { self.Invoke([&](ISeparatorSizing& o) { o.Set##Name(value); return 0; }); }, \
               py::arg("value"), "The interface's Set" #Name ": one stream input, in the object's units.")
    KESTROL_SETTER("set_light_liquid_density", LightLiquidDensity);
    KESTROL_SETTER("set_light_liquid_mass_flow", LightLiquidMassFlow);
    KESTROL_SETTER("set_heavy_liquid_density", HeavyLiquidDensity);
    KESTROL_SETTER("set_heavy_liquid_mass_flow", HeavyLiquidMassFlow);
    KESTROL_SETTER("set_pressure", Pressure);
    KESTROL_SETTER("set_temperature", Temperature);
    KESTROL_SETTER("set_vapour_density", VapourDensity);
    KESTROL_SETTER("set_vapour_mass_flow", VapourMassFlow);
    KESTROL_SETTER("set_light_liquid_volume_flow", LightLiquidVolumeFlow);
    KESTROL_SETTER("set_heavy_liquid_volume_flow", HeavyLiquidVolumeFlow);
    KESTROL_SETTER("set_vapour_volume_flow", VapourVolumeFlow);
    KESTROL_SETTER("set_auxiliary_value1", AuxiliaryValue1);
    KESTROL_SETTER("set_auxiliary_value2", AuxiliaryValue2);
    KESTROL_SETTER("set_assumed_liquid_percent", AssumedLiquidPercent);
#undef KESTROL_SETTER
    object
        .def("calculate", [](PyObjectHandle& self, std::int32_t ignored) { return self.Invoke([&](ISeparatorSizing& o) { return static_cast<std::int32_t>(o.Calculate(ignored)); }); },
             py::arg("ignored") = 0, "Validates the feed and sizes; the HRESULT (0 for S_OK).")
        .def("set_property_callback", &PyObjectHandle::SetCallback, py::arg("callback"),
             "A callable taking the code (0: assumed liquid percent, 1: its density) and returning a number; None for none.")
        .def_property("property_callback", &PyObjectHandle::Callback, &PyObjectHandle::SetCallback)
        .def("set_orientation", [](PyObjectHandle& self, std::int32_t v) { self.Invoke([&](ISeparatorSizing& o) { o.SetOrientation(v); return 0; }); },
             py::arg("orientation"))
        .def("preset_options", [](PyObjectHandle& self) { return self.Invoke([](ISeparatorSizing& o) { return o.PresetOptions(); }); },
             "Presets the design options for the orientation; EMPTY_VALUE when it cannot.")
        .def("size_vertical", [](PyObjectHandle& self) { return self.Invoke([](ISeparatorSizing& o) { return o.SizeVertical(); }); },
             "Runs the vertical sizing path over the vector; EMPTY_VALUE when it fails.")
        .def("size_horizontal_vessel", [](PyObjectHandle& self) { return self.Invoke([](ISeparatorSizing& o) { return o.SizeHorizontalVessel(); }); },
             "Runs the horizontal sizing path over the vector; EMPTY_VALUE when it fails.")
        .def("set_value", [](PyObjectHandle& self, double value, std::int32_t slot) { self.Invoke([&](ISeparatorSizing& o) { o.SetValue(value, slot); return 0; }); },
             py::arg("value"), py::arg("slot"), "Writes a slot (1 to 38); a negative value is a given one the sizing keeps.")
        .def("get_value", [](PyObjectHandle& self, std::int32_t slot) { return self.Invoke([&](ISeparatorSizing& o) { return o.GetValue(slot); }); },
             py::arg("slot"))
        .def("clear_values", [](PyObjectHandle& self) { self.Invoke([](ISeparatorSizing& o) { o.ClearValues(); return 0; }); })
        .def("calc_vertical_levels",
             [](PyObjectHandle& self, double holdupTime) {
                 return self.Invoke([&](ISeparatorSizing& o) {
                     const double result = o.CalcVerticalLevels(&holdupTime);
                     return std::make_pair(result, holdupTime);
                 });
             },
             py::arg("holdup_time") = kestrol::kEmptyValue, "The result and the hold-up time below the minimum level [s], as a pair.")
        .def("calc_horizontal_level_time", [](PyObjectHandle& self) { return self.Invoke([](ISeparatorSizing& o) { return o.CalcHorizontalLevelTime(); }); })
        .def("alloc_values", [](PyObjectHandle& self, std::int32_t count) { return self.Invoke([&](ISeparatorSizing& o) { return static_cast<std::int32_t>(o.AllocValues(count)); }); },
             py::arg("count"))
        .def("get_vector_pointer",
             [](PyObjectHandle& self) {
                 self.Invoke([](ISeparatorSizing& o) { return o.GetVectorPointer(); });  // creates the vector, as the interface does
                 return self.Vector();
             },
             "Creates the vector if need be and gives its 39 slots as a read-only copy.")
        .def_property_readonly("vector", &PyObjectHandle::Vector, "The vector's 39 slots as a read-only copy (empty before it exists).");
}
