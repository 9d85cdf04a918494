// The softmax family along one axis (the last by default; None takes all elements as one
// slice): softmax, log_softmax and logsumexp, each with the slice's maximum subtracted
// before the exponentials.
#include "io/axis.hpp"
#include "io/functions.hpp"
#include "lib/axis/axis.hpp"

namespace tarnex::io {
namespace {

template <FloatArray (*along)(const FloatArray&, std::uint64_t), FloatArray (*all)(const FloatArray&)>
PyObject* elementwise_family(const char* function, const py::CallArgs& call) {
    static const char* const params[] = {"a", "axis"};
    auto [a_arg, axis_arg] = match(function, params, call, 1);
    Held<double> a = py::argument("a", [&] { return Held<double>(a_arg); });
    const Axis axis = to_axis("axis", axis_arg, a.array().ndim(), true);
    return wrap(axis.all ? all(a.array()) : along(a.array(), axis.index));
}

PyObject* softmax(PyObject*, const py::CallArgs& call) {
    return py::guarded(
        [&] { return elementwise_family<softmax_along, softmax_all>("softmax", call); });
}

PyObject* log_softmax(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        return elementwise_family<log_softmax_along, log_softmax_all>("log_softmax", call);
    });
}

PyObject* logsumexp(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"a", "axis", "keepdims"};
        auto [a_arg, axis_arg, keep_arg] = match("logsumexp", params, call, 1, 2);
        Held<double> a = py::argument("a", [&] { return Held<double>(a_arg); });
        const Axis axis = to_axis("axis", axis_arg, a.array().ndim(), true);
        const bool keepdims = to_keepdims("keepdims", keep_arg);
        if (!axis.all) return wrap(logsumexp_along(a.array(), axis.index, keepdims));
        const double value = logsumexp_all(a.array());
        if (!keepdims) return py::check(PyFloat_FromDouble(value));
        Buffer<double> one = Buffer<double>::uninitialized(1);
        one[0] = value;
        return wrap(FloatArray::new_(std::move(one), ones_shape(a.array().shape())));
    });
}

}  // namespace

void add_softmax_functions(FunctionList& table) {
    table.push_back(function<softmax>(
        "softmax",
        "softmax(a, axis=-1)\n--\n\n"
        "exp(x - m) / s for each slice along the axis (None: the whole array), m the slice's "
        "maximum (0.0 in its place when it is not finite) and s = -0.0 + e_0 + e_1 + ... in "
        "increasing index. A slice of -inf only gives NaN."));
    table.push_back(function<log_softmax>(
        "log_softmax",
        "log_softmax(a, axis=-1)\n--\n\n"
        "(x - m) - log(s) for each slice along the axis, m and s as in softmax."));
    table.push_back(function<logsumexp>(
        "logsumexp",
        "logsumexp(a, axis=-1, *, keepdims=False)\n--\n\n"
        "m + log(s) for each slice along the axis (None: a float for the whole array), m and s "
        "as in softmax; -inf for an empty slice or a slice of -inf only."));
}

}  // namespace tarnex::io
