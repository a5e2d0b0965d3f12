// A Python mapping read as a case file would be: through the same JSON value and the same reader.
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "python/src/bindings.h"

namespace py = pybind11;
using kestrol::host::InputError;

namespace kestrol::python {
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

}  // namespace

host::SizingCase CaseFromMapping(py::handle mapping, const std::string& source) {
    return kestrol::host::CaseFromJson(ToJson(mapping, source, 0), source);
}

}  // namespace kestrol::python
