// PyNDArray methods that write into the receiver in place and return None.
#pragma once

#include "python/arguments.hpp"

namespace tarnex::py {

PyObject* method_masked_fill(PyObject* self, const CallArgs& call);
PyObject* method_set_slice(PyObject* self, const CallArgs& call);

}  // namespace tarnex::py
