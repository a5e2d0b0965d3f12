// kestrol._kestrol: the host's own case reader, sizing run, reports, drawing, batch engine and
// script runner, and the object through its interface, for Python. Nothing here computes a
// result: every number comes from the same functions the command line calls.
#include "python/src/bindings.h"

PYBIND11_MODULE(_kestrol, m) {
    m.doc() = "The sizing engine of the command line, for Python; use the kestrol package, not this module.";

    // In this order: a signature names a class of the module only when it was bound before.
    kestrol::python::BindCaseError(m);
    kestrol::python::BindConstants(m);
    kestrol::python::BindCase(m);
    kestrol::python::BindBatch(m);
    kestrol::python::BindScripts(m);
    kestrol::python::BindObject(m);
    kestrol::python::BindFormat(m);
}
