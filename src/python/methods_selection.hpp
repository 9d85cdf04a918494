// PyNDArray methods: selection and masking, each returning a new array.
#pragma once

#include "python/arguments.hpp"

namespace tarnex::py {

PyObject* method_boolean_mask(PyObject* self, const CallArgs& call);
PyObject* method_where_(PyObject* self, const CallArgs& call);
PyObject* method_fancy_index(PyObject* self, const CallArgs& call);
PyObject* method_gather(PyObject* self, const CallArgs& call);

}  // namespace tarnex::py
