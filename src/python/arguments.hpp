// Matching a call's positional and keyword arguments to a parameter list.
#pragma once

#include <cstddef>

#include "python/python.hpp"

namespace tarnex::py {

struct Signature {
    const char* class_name;        // "PyNDArray"
    const char* function_name;     // "gather", or "__new__" for a constructor
    const char* const* names;      // parameter names in order
    std::size_t count;             // all positional-or-keyword, all required
};

// Fills slots[0..count) with borrowed references to the objects passed for each
// parameter, or throws a TypeError with the interpreter-style message.
void match_arguments(const Signature& signature, PyObject* args, PyObject* kwargs,
                     PyObject** slots);

}  // namespace tarnex::py
