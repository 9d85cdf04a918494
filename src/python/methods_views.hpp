// PyNDArray methods: shape transforms and slices, each returned as an independent copy.
#pragma once

#include "python/arguments.hpp"

namespace tarnex::py {

PyObject* method_transpose(PyObject* self, PyObject* unused);
PyObject* method_slice_row(PyObject* self, const CallArgs& call);
PyObject* method_slice_col(PyObject* self, const CallArgs& call);
PyObject* method_slice_range(PyObject* self, const CallArgs& call);
PyObject* method_reshape(PyObject* self, const CallArgs& call);

}  // namespace tarnex::py
