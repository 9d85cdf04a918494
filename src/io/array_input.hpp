// Arrays from what users hold: nested lists and tuples of numbers, numpy arrays of any rank,
// layout and numeric element type, and lone numbers.
#pragma once

#include <variant>

#include "io/functions.hpp"

namespace tarnex::io {

using AnyArray = std::variant<FloatArray, BoolArray>;

// The array `obj` describes, converted for the parameter `name`:
//  - lists and tuples nest, one axis per level, as far as their first items do (at most 64
//    levels); every list at one level must have the same length and every leaf must be a
//    number: ValueError "... inhomogeneous shape after N dimensions ..." otherwise. Leaves
//    that are all bools (Python's or numpy's) give a boolean array, anything else a float
//    array (True is 1.0, ints round to the nearest double);
//  - an object with numpy's array struct (numpy arrays and scalars): its elements in
//    row-major order whatever its strides; bool stays bool, every real numeric type is
//    converted to float64 (wider types by numpy's own conversion); complex and other types
//    are a TypeError;
//  - anything else is one number, a 0-d array.
AnyArray array_from_object(const char* name, PyObject* obj);

}  // namespace tarnex::io
