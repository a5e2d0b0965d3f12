// A Python mapping read as a case file would be: through the same JSON value and the same reader.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "python/src/bindings.h"

namespace py = pybind11;
using kestrol::host::InputError;

namespace kestrol::python {
namespace {

using json = nlohmann::json;

std::string TypeName(py::handle value) { return py::str(py::type::handle_of(value).attr("__name__")); }

/// A number the case reader takes as given, read without the JSON detour: Python's float and
/// int (not bool). Anything else is left to the general reader, which knows its message.
std::optional<double> PlainNumber(PyObject* value) {
    if (PyFloat_Check(value)) return PyFloat_AS_DOUBLE(value);
    if (PyLong_Check(value) && !PyBool_Check(value)) {
        int overflow = 0;
        const long long v = PyLong_AsLongLongAndOverflow(value, &overflow);
        if (overflow == 0) return static_cast<double>(v);
        const double d = PyLong_AsDouble(value);
        if (d == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();
            return std::nullopt;
        }
        return d;
    }
    return std::nullopt;
}

/// The reason a value that is not a number is refused for a numeric key, naming the value.
std::string NotANumber(py::handle value) {
    const std::string shown = kestrol::host::Echo(PyUnicode_Check(value.ptr()) ? "\"" + value.cast<std::string>() + "\"" : std::string(py::repr(value)));
    const std::string type = TypeName(value);
    return "must be a number, not " + (type == "bool_" ? std::string("bool") : type) + " " + shown;  // numpy's truth value as Python's
}

/// Scalars that are never a number: a numeric key given one is refused by its Python type and value.
bool IsWordOrTruth(py::handle value) { return PyUnicode_Check(value.ptr()) || PyBool_Check(value.ptr()) || TypeName(value) == "bool_"; }

/// What the keys of an object being read are: a case's, its design block's, or neither.
enum class Keys { Case, Design, Other };

void Item(json& object, const std::string& key, py::handle value, const std::string& source, int depth, Keys keys);

// A mapping as the JSON value the case reader takes: the same keys, the same types, so that
// every message is the one a case file with the same content gets. Deeper than a case file may
// be, it is refused as the file would be, before it is walked.
json ToJson(py::handle value, const std::string& source, int depth, Keys keys) {
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
            Item(object, py::handle(key).cast<std::string>(), item, source, depth, keys);
        }
        return object;
    }
    if (py::isinstance(value, py::module_::import("collections.abc").attr("Mapping"))) {
        refuseIfDeep();
        json object = json::object();
        for (auto item : py::reinterpret_borrow<py::object>(value).attr("items")()) {
            auto pair = item.cast<py::tuple>();
            if (!PyUnicode_Check(pair[0].ptr())) throw InputError(source + ": keys must be strings, not " + TypeName(pair[0]));
            Item(object, pair[0].cast<std::string>(), pair[1], source, depth, keys);
        }
        return object;
    }
    if (PyList_Check(value.ptr()) || PyTuple_Check(value.ptr())) {
        refuseIfDeep();
        json array = json::array();
        for (auto item : py::reinterpret_borrow<py::sequence>(value)) array.push_back(ToJson(item, source, depth + 1, Keys::Other));
        return array;
    }
    // Number types of other libraries (numpy's integers and booleans among them).
    if (py::hasattr(value, "__index__")) return ToJson(py::int_(py::reinterpret_borrow<py::object>(value)), source, depth, keys);
    if (py::hasattr(value, "__float__")) return py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
    throw InputError(source + ": a " + TypeName(value) + " cannot stand in a case (numbers, strings and mappings can)");
}

// One entry of a case's mapping or of its design block. A value that is not given (None, NaN,
// pandas' NA) is left out, as a CSV's empty field is; a word or a truth value for a numeric
// key is refused naming it, where the JSON reader would say only "string".
void Item(json& object, const std::string& key, py::handle value, const std::string& source, int depth, Keys keys) {
    if (NotGiven(value)) return;
    const bool design = keys == Keys::Design;
    if (keys != Keys::Other && kestrol::host::FindCaseKey(key, design) >= 0 && IsWordOrTruth(value))
        throw InputError(source, design ? "design." + key : key, NotANumber(value));
    object[key] = ToJson(value, source, depth + 1, keys == Keys::Case && key == "design" ? Keys::Design : Keys::Other);
}

/// The case of a plain dict of plain values, read straight into the case; false (the case as
/// it was) for anything the general reader must look at, a refusal among them, so that every
/// message stays the general reader's.
bool ReadPlain(PyObject* mapping, kestrol::host::SizingCase& c) {
    if (!PyDict_CheckExact(mapping)) return false;
    const auto& keys = kestrol::host::CaseKeys();
    auto take = [&](PyObject* dict, bool design) {
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        Py_ssize_t position = 0;
        while (PyDict_Next(dict, &position, &key, &value)) {
            if (!PyUnicode_Check(key)) return false;
            Py_ssize_t length = 0;
            const char* text = PyUnicode_AsUTF8AndSize(key, &length);
            if (text == nullptr) {
                PyErr_Clear();
                return false;
            }
            const std::string_view name(text, static_cast<std::size_t>(length));
            if (value == Py_None) continue;
            if (!design && name == "name") {
                if (!PyUnicode_Check(value)) return false;
                c.name = py::handle(value).cast<std::string>();
                continue;
            }
            if (!design && name == "orientation") {
                if (!PyUnicode_Check(value)) return false;
                try {
                    c.orientation = kestrol::host::ParseOrientation(py::handle(value).cast<std::string>());
                } catch (const InputError&) {
                    return false;
                }
                continue;
            }
            if (!design && name == "design") {
                if (!PyDict_CheckExact(value)) return false;
                continue;  // read after the stream keys, as the general reader does
            }
            const int index = kestrol::host::FindCaseKey(name, design);
            if (index < 0) return false;
            const std::optional<double> number = PlainNumber(value);
            if (!number) return false;
            if (std::isnan(*number)) continue;
            if (!kestrol::host::CheckValue(keys[static_cast<std::size_t>(index)], *number).empty()) return false;
            c.values[static_cast<std::size_t>(index)] = *number;
        }
        return true;
    };
    if (!take(mapping, false)) return false;
    PyObject* design = PyDict_GetItemString(mapping, "design");  // borrowed
    if (design != nullptr && design != Py_None && !take(design, true)) return false;
    return !kestrol::host::CheckCase(c);
}

}  // namespace

bool NotGiven(py::handle value) {
    PyObject* v = value.ptr();
    if (v == Py_None) return true;
    if (PyFloat_Check(v)) return std::isnan(PyFloat_AS_DOUBLE(v));
    if (PyLong_Check(v) || PyUnicode_Check(v)) return false;
    const std::string type = TypeName(value);
    if (type == "NAType" || type == "NaTType") return true;
    // Other libraries' floats (numpy's float32): NaN is not given, as a float's is.
    if (type.rfind("float", 0) == 0 && PyNumber_Check(v)) {
        PyObject* number = PyNumber_Float(v);
        if (number == nullptr) {
            PyErr_Clear();
            return false;
        }
        const bool nan = std::isnan(PyFloat_AS_DOUBLE(number));
        Py_DECREF(number);
        return nan;
    }
    return false;
}

std::optional<double> CellNumber(py::handle value) {
    if (NotGiven(value)) return std::nullopt;
    if (const std::optional<double> number = PlainNumber(value.ptr())) return number;
    if (!IsWordOrTruth(value) && py::hasattr(value, "__float__")) {
        PyObject* number = PyNumber_Float(value.ptr());
        if (number != nullptr) {
            const double v = PyFloat_AS_DOUBLE(number);
            Py_DECREF(number);
            return v;
        }
        PyErr_Clear();
    }
    throw InputError(NotANumber(value));
}

host::SizingCase CaseFromMapping(py::handle mapping, const std::string& source) {
    if (kestrol::host::SizingCase c; ReadPlain(mapping.ptr(), c)) return c;
    return kestrol::host::CaseFromJson(ToJson(mapping, source, 0, Keys::Case), source);
}

}  // namespace kestrol::python
