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

// The sum over every element; a PyBoolArray's true elements count 1.
double total(const FloatArray& a) { return tarnex::sum(a); }
double total(const BoolArray& a) { return count_true(a); }

// sum and mean (`average`), of either array class: a mean is the sum divided once by the
// number of elements summed.
template <bool average>
PyObject* sum_or_mean(const py::CallArgs& call) {
    return along_axis<true>(average ? "mean" : "sum", params, false, call,
                            [](const auto& a, const Axis& axis, bool keepdims) {
        if (!axis.all) {
            return wrap(average ? mean_along(a, axis.index, keepdims)
                                : sum_along(a, axis.index, keepdims));
        }
        const double sum = total(a);
        return whole_result(average ? sum / static_cast<double>(a.size()) : sum, a.shape(),
                            keepdims);
    });
}

// max, min, argmax and argmin: reductions without identity, so an empty axis is the
// ValueError of its message before anything is computed.
enum class Pick { max, min, argmax, argmin };
constexpr const char* pick_names[] = {"max", "min", "argmax", "argmin"};
constexpr const char* empty_messages[] = {
    "zero-size array to reduction operation maximum which has no identity",
    "zero-size array to reduction operation minimum which has no identity",
    "attempt to get argmax of an empty sequence", "attempt to get argmin of an empty sequence"};

template <Pick pick>
PyObject* picked(const py::CallArgs& call) {
    constexpr bool largest = pick == Pick::max || pick == Pick::argmax;
    return along_axis<false>(name_of(pick_names, pick), params, false, call,
                             [](const FloatArray& a, const Axis& axis, bool keepdims) {
        require_elements(a, axis, name_of(empty_messages, pick));
        if constexpr (pick == Pick::argmax || pick == Pick::argmin) {
            if (axis.all) {
                return position_result(largest ? argmax_all(a) : argmin_all(a), a.shape(),
                                       keepdims);
            }
            return wrap(largest ? argmax_along(a, axis.index, keepdims)
                                : argmin_along(a, axis.index, keepdims));
        } else {
            if (axis.all) return whole_result(largest ? max_all(a) : min_all(a), a.shape(), keepdims);
            return wrap(largest ? max_along(a, axis.index, keepdims) : min_along(a, axis.index, keepdims));
        }
    });
}

}  // namespace

void add_reduction_functions(FunctionList& table) {
    add_functions<sum_or_mean<false>, sum_or_mean<true>>(table, {"sum", "mean"});
    for_each_op<Pick, std::size(pick_names)>(
        [&]<Pick pick> { add_function<picked<pick>>(table, name_of(pick_names, pick)); });
}

}  // namespace tarnex::io
