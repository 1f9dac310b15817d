// What the package reads of the tools' shared tables: the parameter catalogue with its
// views, the call and handoff events, module types and the library's version.
#pragma once

#include <pybind11/pybind11.h>

namespace tessavo::python {

void DefineCatalogue(pybind11::module_& module);

}  // namespace tessavo::python
