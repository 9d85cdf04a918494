// PyNDArray methods: element read and whole-array reductions.
#pragma once

#include "python/arguments.hpp"

namespace tarnex::py {

PyObject* method_get(PyObject* self, const CallArgs& call);
PyObject* method_sum(PyObject* self, PyObject* unused);
PyObject* method_mean(PyObject* self, PyObject* unused);
PyObject* method_argmax(PyObject* self, PyObject* unused);

}  // namespace tarnex::py
