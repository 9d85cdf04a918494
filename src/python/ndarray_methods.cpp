// The method table of PyNDArray, in registration order. Each docstring is the method's
// text signature only.
#include "python/method_support.hpp"
#include "python/methods_elementwise.hpp"
#include "python/methods_matmul.hpp"
#include "python/methods_reductions.hpp"
#include "python/methods_region_write.hpp"
#include "python/methods_selection.hpp"
#include "python/methods_views.hpp"

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
    {"relu", as_cfunction(method_relu), METH_NOARGS, "relu($self)\n--\n\n"},
    {"sigmoid", as_cfunction(method_sigmoid), METH_NOARGS, "sigmoid($self)\n--\n\n"},
    {"softmax", as_cfunction(method_softmax), METH_NOARGS, "softmax($self)\n--\n\n"},
    {"transpose", as_cfunction(method_transpose), METH_NOARGS, "transpose($self)\n--\n\n"},
    {"argmax", as_cfunction(method_argmax), METH_NOARGS, "argmax($self)\n--\n\n"},
    {"scale", as_cfunction(method_scale), with_args, "scale($self, scalar)\n--\n\n"},
    {"add", as_cfunction(method_add), with_args, "add($self, other)\n--\n\n"},
    {"mul", as_cfunction(method_mul), with_args, "mul($self, other)\n--\n\n"},
    {"matmul", as_cfunction(method_matmul), with_args, "matmul($self, other)\n--\n\n"},
    {"matmul_blas", as_cfunction(method_matmul_blas), with_args,
     "matmul_blas($self, other)\n--\n\n"},
    {"boolean_mask", as_cfunction(method_boolean_mask), with_args,
     "boolean_mask($self, mask)\n--\n\n"},
    {"masked_fill", as_cfunction(method_masked_fill), with_args,
     "masked_fill($self, mask, value)\n--\n\n"},
    {"where_", as_cfunction(method_where_), with_args, "where_($self, condition, other)\n--\n\n"},
    {"fancy_index", as_cfunction(method_fancy_index), with_args,
     "fancy_index($self, indices)\n--\n\n"},
    {"slice_row", as_cfunction(method_slice_row), with_args, "slice_row($self, row)\n--\n\n"},
    {"slice_col", as_cfunction(method_slice_col), with_args, "slice_col($self, col)\n--\n\n"},
    {"slice_range", as_cfunction(method_slice_range), with_args,
     "slice_range($self, axis, start, end)\n--\n\n"},
    {"reshape", as_cfunction(method_reshape), with_args, "reshape($self, new_shape)\n--\n\n"},
    {"gather", as_cfunction(method_gather), with_args, "gather($self, axis, indices)\n--\n\n"},
    {"set_slice", as_cfunction(method_set_slice), with_args,
     "set_slice($self, axis, start, end, value)\n--\n\n"},
    {"cumsum", as_cfunction(method_cumsum), METH_NOARGS, "cumsum($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace tarnex::py
