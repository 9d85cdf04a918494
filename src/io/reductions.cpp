// Reductions along an axis or over the whole array: sum, mean, max, min, argmax, argmin.
//
// Over the whole array (axis None) the result is a Python float (a Python int for the
// positions), as numpy gives a scalar; with keepdims it is an array whose extents are all 1.
// Along an axis it is a PyNDArray without that axis (or with it as 1 under keepdims).
#include <string>
#include <type_traits>

#include "io/axis.hpp"
#include "io/functions.hpp"
#include "lib/axis/axis.hpp"
#include "lib/reductions/reductions.hpp"

namespace tarnex::io {
namespace {

const char* const params[] = {"a", "axis", "keepdims"};

struct Call {
    PyObject* a;
    PyObject* axis;
    PyObject* keepdims;
};

// a and axis by position or keyword, keepdims by keyword only.
Call match_reduction(const char* function, const py::CallArgs& call) {
    auto [a, axis, keepdims] = match(function, params, call, 1, 2);
    return {.a = a, .axis = axis, .keepdims = keepdims};
}

PyObject* new_float(double value) { return py::check(PyFloat_FromDouble(value)); }

// `value` as a whole-array result: a float, or an array of a's rank whose extents are 1.
PyObject* whole_result(double value, const Shape& shape, bool keepdims) {
    if (!keepdims) return new_float(value);
    Buffer<double> one = Buffer<double>::uninitialized(1);
    one[0] = value;
    return wrap(FloatArray::new_(std::move(one), ones_shape(shape)));
}

PyObject* position_result(std::uint64_t position, const Shape& shape, bool keepdims) {
    if (!keepdims) return py::check(PyLong_FromUnsignedLongLong(position));
    return whole_result(static_cast<double>(position), shape, keepdims);
}

// The ValueError of a reduction without identity over an empty axis (or an empty array),
// before anything is computed.
void require_elements(const FloatArray& a, const Axis& axis, const char* message) {
    const bool empty = axis.all ? a.size() == 0 : a.shape()[axis.index] == 0;
    if (empty) value_error("a", message);
}

double mean_of(double sum, std::uint64_t count) { return sum / static_cast<double>(count); }

PyObject* sum(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        const Call c = match_reduction("sum", call);
        return with_either_array("a", c.a, [&](const auto& a) {
            const Axis axis = to_axis("axis", c.axis, a.array().ndim());
            const bool keepdims = to_keepdims("keepdims", c.keepdims);
            if (!axis.all) return wrap(sum_along(a.array(), axis.index, keepdims));
            if constexpr (std::is_same_v<std::decay_t<decltype(a.array())>, BoolArray>) {
                return whole_result(count_true(a.array()), a.array().shape(), keepdims);
            } else {
                return whole_result(tarnex::sum(a.array()), a.array().shape(), keepdims);
            }
        });
    });
}

PyObject* mean(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        const Call c = match_reduction("mean", call);
        return with_either_array("a", c.a, [&](const auto& a) {
            const Axis axis = to_axis("axis", c.axis, a.array().ndim());
            const bool keepdims = to_keepdims("keepdims", c.keepdims);
            if (!axis.all) return wrap(mean_along(a.array(), axis.index, keepdims));
            double total;
            if constexpr (std::is_same_v<std::decay_t<decltype(a.array())>, BoolArray>) {
                total = count_true(a.array());
            } else {
                total = tarnex::sum(a.array());
            }
            return whole_result(mean_of(total, a.array().size()), a.array().shape(), keepdims);
        });
    });
}

// max and min.
template <bool largest>
PyObject* extreme(const char* function, const py::CallArgs& call) {
    const Call c = match_reduction(function, call);
    Held<double> a = py::argument("a", [&] { return Held<double>(c.a); });
    const Axis axis = to_axis("axis", c.axis, a.array().ndim());
    const bool keepdims = to_keepdims("keepdims", c.keepdims);
    require_elements(a.array(), axis,
                     largest ? "zero-size array to reduction operation maximum which has no "
                               "identity"
                             : "zero-size array to reduction operation minimum which has no "
                               "identity");
    if (axis.all) {
        const double value = largest ? max_all(a.array()) : min_all(a.array());
        return whole_result(value, a.array().shape(), keepdims);
    }
    return wrap(largest ? max_along(a.array(), axis.index, keepdims)
                        : min_along(a.array(), axis.index, keepdims));
}

// argmax and argmin.
template <bool largest>
PyObject* position(const char* function, const py::CallArgs& call) {
    const Call c = match_reduction(function, call);
    Held<double> a = py::argument("a", [&] { return Held<double>(c.a); });
    const Axis axis = to_axis("axis", c.axis, a.array().ndim());
    const bool keepdims = to_keepdims("keepdims", c.keepdims);
    require_elements(a.array(), axis,
                     largest ? "attempt to get argmax of an empty sequence"
                             : "attempt to get argmin of an empty sequence");
    if (axis.all) {
        const std::uint64_t at = largest ? argmax_all(a.array()) : argmin_all(a.array());
        return position_result(at, a.array().shape(), keepdims);
    }
    return wrap(largest ? argmax_along(a.array(), axis.index, keepdims)
                        : argmin_along(a.array(), axis.index, keepdims));
}

PyObject* max(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] { return extreme<true>("max", call); });
}
PyObject* min(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] { return extreme<false>("min", call); });
}
PyObject* argmax(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] { return position<true>("argmax", call); });
}
PyObject* argmin(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] { return position<false>("argmin", call); });
}

}  // namespace

void add_reduction_functions(FunctionList& table) {
    table.push_back(function<sum>(
        "sum",
        "sum(a, axis=None, *, keepdims=False)\n--\n\n"
        "The sum of a PyNDArray or PyBoolArray (true elements count 1) over all elements "
        "(a float) or along one axis (a PyNDArray). Each sum is -0.0 plus the elements in "
        "increasing index, one rounding per addition; an empty sum is -0.0."));
    table.push_back(function<mean>(
        "mean",
        "mean(a, axis=None, *, keepdims=False)\n--\n\n"
        "sum(a, axis) divided once by the number of elements summed (NaN for none); for a "
        "PyBoolArray the fraction of true elements."));
    table.push_back(function<max>(
        "max",
        "max(a, axis=None, *, keepdims=False)\n--\n\n"
        "The largest element of a PyNDArray, over all elements (a float) or along one axis. "
        "+0.0 counts as larger than -0.0; a NaN anywhere gives the first NaN. ValueError for "
        "an empty axis."));
    table.push_back(function<min>(
        "min",
        "min(a, axis=None, *, keepdims=False)\n--\n\n"
        "The smallest element, as max: -0.0 counts as smaller than +0.0; NaN propagates."));
    table.push_back(function<argmax>(
        "argmax",
        "argmax(a, axis=None, *, keepdims=False)\n--\n\n"
        "The position of the first largest element (the first NaN if there is one): a Python "
        "int over the flattened array, else a PyNDArray of exact integer values. ValueError "
        "for an empty axis."));
    table.push_back(function<argmin>(
        "argmin",
        "argmin(a, axis=None, *, keepdims=False)\n--\n\n"
        "The position of the first smallest element (the first NaN if there is one), as "
        "argmax."));
}

}  // namespace tarnex::io
