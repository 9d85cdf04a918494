#include "python/methods_matmul.hpp"

#include "lib/matmul/matmul.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {

// One operation under two names; the name only appears in argument errors.
PyObject* method_matmul(PyObject* self, const CallArgs& call) {
    return method_with_other<matmul>("matmul", self, call);
}

PyObject* method_matmul_blas(PyObject* self, const CallArgs& call) {
    return method_with_other<matmul>("matmul_blas", self, call);
}

}  // namespace tarnex::py
