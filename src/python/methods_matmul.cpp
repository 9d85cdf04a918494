#include "python/methods_matmul.hpp"

#include "lib/matmul/matmul.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {

// One operation under two names; the name only appears in argument errors.
PyObject* method_matmul(PyObject* self, PyObject* args, PyObject* kwargs) {
    return method_with_other<matmul>("matmul", self, args, kwargs);
}

PyObject* method_matmul_blas(PyObject* self, PyObject* args, PyObject* kwargs) {
    return method_with_other<matmul>("matmul_blas", self, args, kwargs);
}

}  // namespace tarnex::py
