// What the binders of kestrol._kestrol share: one function per part of the module, called in
// the order PYBIND11_MODULE gives, and the case reader over a Python mapping. Every binder
// includes the same pybind11 headers, so that a type converts alike in every file.
#pragma once

#include <optional>
#include <string>

#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "model/case_file.h"

namespace kestrol::python {

void BindCaseError(pybind11::module_& m);  ///< CaseError and the translation into it
void BindConstants(pybind11::module_& m);  ///< the slots, HRESULTs, case keys and columns
void BindCase(pybind11::module_& m);       ///< Sizing and the calls that size one case
void BindBatch(pybind11::module_& m);      ///< the batch engine over CSV text and columns
void BindScripts(pybind11::module_& m);    ///< the script runner
void BindObject(pybind11::module_& m);     ///< SizingObject, the object through its interface
void BindFormat(pybind11::module_& m);     ///< the report's way of writing a number

/// The case of a mapping, with the message a case file of the same content gets when refused.
host::SizingCase CaseFromMapping(pybind11::handle mapping, const std::string& source);

/// The 39 slots from `slots` as Sizing.vector and SizingObject.vector give them: a read-only
/// copy of 40 doubles with slot X at [X] and element 0 unused (NaN).
pybind11::array_t<double> SlotArray(const double* slots);

/// None, NaN (of any float type) and pandas' NA: a value that is not given, on every route.
bool NotGiven(pybind11::handle value);

/// A cell of a numeric key: nullopt when not given, else its number; throws InputError with the
/// reason (naming the value and its Python type) for a word, a truth value or another object.
std::optional<double> CellNumber(pybind11::handle value);

}  // namespace kestrol::python
