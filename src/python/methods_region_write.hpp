// PyNDArray methods that write into the receiver in place and return None.
#pragma once

#include "python/python.hpp"

namespace tarnex::py {

PyObject* method_masked_fill(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* method_set_slice(PyObject* self, PyObject* args, PyObject* kwargs);

}  // namespace tarnex::py
