// PyNDArray methods: the matrix product, under its two names.
#pragma once

#include "python/python.hpp"

namespace tarnex::py {

PyObject* method_matmul(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* method_matmul_blas(PyObject* self, PyObject* args, PyObject* kwargs);

}  // namespace tarnex::py
