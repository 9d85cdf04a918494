// PyNDArray methods: shape transforms and slices, each returned as an independent copy.
#pragma once

#include "python/python.hpp"

namespace tarnex::py {

PyObject* method_transpose(PyObject* self, PyObject* unused);
PyObject* method_slice_row(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* method_slice_col(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* method_slice_range(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* method_reshape(PyObject* self, PyObject* args, PyObject* kwargs);

}  // namespace tarnex::py
