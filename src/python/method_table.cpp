// The method table of PyNDArray, in registration order. Each docstring is the method's
// text signature only.
#include <cstddef>
#include <iterator>

#include "python/method_support.hpp"
#include "python/methods_elementwise.hpp"
#include "python/methods_matmul.hpp"
#include "python/methods_reductions.hpp"
#include "python/methods_region_write.hpp"
#include "python/methods_selection.hpp"
#include "python/methods_views.hpp"

namespace tarnex::py {
namespace {

template <class F>
PyCFunction as_cfunction(F* function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

// One method in both conventions: a method without parameters has one entry point; one
// with parameters has a tuple entry and a vector entry around the same body.
struct MethodSpec {
    const char* name;
    PyCFunction tuple_form;  // or the METH_NOARGS function
    PyCFunction vector_form;  // null for a method without parameters
    const char* doc;
};

template <MethodBody body>
MethodSpec with_params(const char* name, const char* doc) {
    return {name, as_cfunction(tuple_entry<body>), as_cfunction(vector_entry<body>), doc};
}

MethodSpec no_params(const char* name, PyObject* (*function)(PyObject*, PyObject*),
                     const char* doc) {
    return {name, as_cfunction(function), nullptr, doc};
}

const MethodSpec specs[] = {
    with_params<method_get>("get", "get($self, index)\n--\n\n"),
    no_params("shape", method_shape, "shape($self)\n--\n\n"),
    no_params("sum", method_sum, "sum($self)\n--\n\n"),
    no_params("mean", method_mean, "mean($self)\n--\n\n"),
    no_params("relu", method_relu, "relu($self)\n--\n\n"),
    no_params("sigmoid", method_sigmoid, "sigmoid($self)\n--\n\n"),
    no_params("softmax", method_softmax, "softmax($self)\n--\n\n"),
    no_params("transpose", method_transpose, "transpose($self)\n--\n\n"),
    no_params("argmax", method_argmax, "argmax($self)\n--\n\n"),
    with_params<method_scale>("scale", "scale($self, scalar)\n--\n\n"),
    with_params<method_add>("add", "add($self, other)\n--\n\n"),
    with_params<method_mul>("mul", "mul($self, other)\n--\n\n"),
    with_params<method_matmul>("matmul", "matmul($self, other)\n--\n\n"),
    with_params<method_matmul_blas>("matmul_blas", "matmul_blas($self, other)\n--\n\n"),
    with_params<method_boolean_mask>("boolean_mask", "boolean_mask($self, mask)\n--\n\n"),
    with_params<method_masked_fill>("masked_fill", "masked_fill($self, mask, value)\n--\n\n"),
    with_params<method_where_>("where_", "where_($self, condition, other)\n--\n\n"),
    with_params<method_fancy_index>("fancy_index", "fancy_index($self, indices)\n--\n\n"),
    with_params<method_slice_row>("slice_row", "slice_row($self, row)\n--\n\n"),
    with_params<method_slice_col>("slice_col", "slice_col($self, col)\n--\n\n"),
    with_params<method_slice_range>("slice_range", "slice_range($self, axis, start, end)\n--\n\n"),
    with_params<method_reshape>("reshape", "reshape($self, new_shape)\n--\n\n"),
    with_params<method_gather>("gather", "gather($self, axis, indices)\n--\n\n"),
    with_params<method_set_slice>("set_slice", "set_slice($self, axis, start, end, value)\n--\n\n"),
    no_params("cumsum", method_cumsum, "cumsum($self)\n--\n\n"),
};

// The table the class is made with; it must outlive the class, so it is static.
PyMethodDef table[std::size(specs) + 1];

}  // namespace

PyMethodDef* ndarray_methods() {
    static PyMethodDef* const filled = [] {
        const bool vector = vector_calls();
        for (std::size_t i = 0; i < std::size(specs); ++i) {
            const MethodSpec& spec = specs[i];
            PyMethodDef& def = table[i];
            def.ml_name = spec.name;
            def.ml_doc = spec.doc;
            if (spec.vector_form == nullptr) {
                def.ml_meth = spec.tuple_form;
                def.ml_flags = METH_NOARGS;
            } else if (vector) {
                def.ml_meth = spec.vector_form;
                def.ml_flags = meth_fastcall | METH_KEYWORDS;
            } else {
                def.ml_meth = spec.tuple_form;
                def.ml_flags = METH_VARARGS | METH_KEYWORDS;
            }
        }
        table[std::size(specs)] = {nullptr, nullptr, 0, nullptr};
        return table;
    }();
    return filled;
}

}  // namespace tarnex::py
