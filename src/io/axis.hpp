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

}  // namespace tarnex::io
