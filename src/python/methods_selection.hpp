// PyNDArray methods: selection and masking, each returning a new array.
#pragma once

#include "python/python.hpp"

namespace tarnex::py {

PyObject* method_boolean_mask(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* method_where_(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* method_fancy_index(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* method_gather(PyObject* self, PyObject* args, PyObject* kwargs);

}  // namespace tarnex::py
