// Shape arguments of the companion's array makers: an int, or a sequence of ints (objects
// with __index__), as numpy takes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "io/functions.hpp"

namespace tarnex::io {

// The extents, and for a reshape the position of the one extent given as -1 (its entry is
// then 0 here). TypeError "argument '<name>': ..." for anything but ints; ValueError for a
// negative extent ("negative dimensions are not allowed"), or for a second -1 ("can only
// specify one unknown dimension"); OverflowError for an int beyond 64 bits.
struct ShapeArgument {
    Shape extents;
    std::optional<std::size_t> unknown;
};
ShapeArgument to_shape(const char* name, PyObject* obj, bool unknown_allowed = false);

// The element count of an array of `shape` with elements of `element_size` bytes, or
// OverflowError "argument '<name>': ..." when its bytes would pass the largest allocation
// the system allows; checked before anything is allocated.
std::uint64_t checked_count(const char* name, const Shape& shape, std::size_t element_size);

// An axis argument in [-rank, rank), or ValueError "argument '<name>': axis {} is out of
// bounds for array of dimension {}"; `rank` is the count of valid axes.
std::size_t to_axis(const char* name, PyObject* obj, std::size_t rank);

}  // namespace tarnex::io
