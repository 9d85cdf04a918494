// PyNDArray methods: the matrix product, under its two names.
#pragma once

#include "python/arguments.hpp"

namespace tarnex::py {

PyObject* method_matmul(PyObject* self, const CallArgs& call);
PyObject* method_matmul_blas(PyObject* self, const CallArgs& call);

}  // namespace tarnex::py
