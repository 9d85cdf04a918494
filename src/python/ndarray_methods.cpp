// The method table of PyNDArray, in registration order. Each docstring is the method's
// text signature only.
#include "python/method_support.hpp"
#include "python/methods_reductions.hpp"

namespace tarnex::py {
namespace {

constexpr int with_args = METH_VARARGS | METH_KEYWORDS;

template <class F>
PyCFunction as_cfunction(F* function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

PyMethodDef ndarray_methods[] = {
    {"get", as_cfunction(method_get), with_args, "get($self, index)\n--\n\n"},
    {"shape", as_cfunction(method_shape), METH_NOARGS, "shape($self)\n--\n\n"},
    {"sum", as_cfunction(method_sum), METH_NOARGS, "sum($self)\n--\n\n"},
    {"mean", as_cfunction(method_mean), METH_NOARGS, "mean($self)\n--\n\n"},
    {"argmax", as_cfunction(method_argmax), METH_NOARGS, "argmax($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace tarnex::py
