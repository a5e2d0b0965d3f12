// Scripts: the command line's script runner, without the interpreter lock.
#include <string>

#include "model/script_runner.h"
#include "python/src/bindings.h"

namespace py = pybind11;

namespace kestrol::python {

void BindScripts(py::module_& m) {
    m.def("run_script", [](const std::string& text) {
        std::string out;
        {
            py::gil_scoped_release release;
            out = kestrol::host::RunScript(text);
        }
        return out;
    });
}

}  // namespace kestrol::python
