// PyNDArray methods: element-wise arithmetic, activations and the running sum.
#pragma once

#include "python/arguments.hpp"

namespace tarnex::py {

PyObject* method_relu(PyObject* self, PyObject* unused);
PyObject* method_sigmoid(PyObject* self, PyObject* unused);
PyObject* method_softmax(PyObject* self, PyObject* unused);
PyObject* method_scale(PyObject* self, const CallArgs& call);
PyObject* method_add(PyObject* self, const CallArgs& call);
PyObject* method_mul(PyObject* self, const CallArgs& call);
PyObject* method_cumsum(PyObject* self, PyObject* unused);

}  // namespace tarnex::py
