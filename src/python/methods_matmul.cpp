#include "python/methods_matmul.hpp"

#include "lib/matmul.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {
namespace {

// Both names run this body; the name only appears in argument errors.
PyObject* matmul_named(const char* name, PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&] {
        static const char* const params[] = {"other"};
        auto [other_arg] = match_method(name, params, args, kwargs);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        ArrayArg<double> other = argument("other", [&] { return ArrayArg<double>(other_arg); });
        return wrap(matmul(receiver.array(), other.array()));
    });
}

}  // namespace

PyObject* method_matmul(PyObject* self, PyObject* args, PyObject* kwargs) {
    return matmul_named("matmul", self, args, kwargs);
}

PyObject* method_matmul_blas(PyObject* self, PyObject* args, PyObject* kwargs) {
    return matmul_named("matmul_blas", self, args, kwargs);
}

}  // namespace tarnex::py
