// The `axis` and `keepdims` arguments of the functions that work along an axis.
#pragma once

#include <cstdint>

#include "io/functions.hpp"

namespace tarnex::io {

// An axis argument: every axis at once (None), or one axis in [0, ndim).
struct Axis {
    bool all;
    std::uint64_t index;
};

// `obj` as an axis of an array of `ndim` dimensions: None is every axis, an integer
// (anything with __index__ except a bool) counts from the end when negative. Left out
// (null), it is every axis, or the last one when `default_last`. A non-integer is the
// TypeError "argument '<name>': ...", an axis out of range the ValueError
// "argument '<name>': axis {axis} is out of bounds for array of dimension {ndim}".
Axis to_axis(const char* name, PyObject* obj, std::uint64_t ndim, bool default_last = false);

// `obj` as keepdims: a bool (or numpy's), False when left out (null).
bool to_keepdims(const char* name, PyObject* obj);

// The call (a, axis) or (a, axis, *, keepdims) of a function along an axis, its parameters
// named by `params`: matches it (a required), takes a as a PyNDArray (or as either array
// class when `either`), then the axis of a's rank (left out: every axis, or the last when
// `default_last`) and keepdims (false when it is no parameter), and returns
// body(array, axis, keepdims).
template <bool either, std::size_t N, class Body>
PyObject* along_axis(const char* function, const char* const (&params)[N], bool default_last,
                     const py::CallArgs& call, Body&& body) {
    static_assert(N == 2 || N == 3);
    const auto slots = match(function, params, call, 1, N == 3 ? 2 : py::Signature::all);
    const auto rest = [&](const auto& array) {
        const Axis axis = to_axis(params[1], slots[1], array.ndim(), default_last);
        bool keepdims = false;
        if constexpr (N == 3) keepdims = to_keepdims(params[2], slots[2]);
        return body(array, axis, keepdims);
    };
    if constexpr (either) {
        return with_either_array(params[0], slots[0],
                                 [&](const auto& held) { return rest(held.array()); });
    } else {
        const Held<double> a = held_floats(params[0], slots[0]);
        return rest(a.array());
    }
}

// `value` as the result over every axis: a float, or (keepdims) an array of `shape`'s rank
// whose extents are 1.
PyObject* whole_result(double value, const Shape& shape, bool keepdims);

}  // namespace tarnex::io
