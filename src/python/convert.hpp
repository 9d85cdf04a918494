// Conversions of Python arguments to the values the core takes. Each returns its value or
// throws the conversion's error (PythonError); `argument` wraps an exact TypeError with the
// parameter's name.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "lib/record/ndarray.hpp"
#include "python/python_error.hpp"

namespace tarnex::py {

double to_float(PyObject* obj);
std::uint64_t to_size(PyObject* obj);
Shape to_size_list(PyObject* obj);

Buffer<double> to_float_list(PyObject* obj);
Buffer<Bool> to_bool_list(PyObject* obj);
bool to_bool(PyObject* obj);

// The __qualname__ of the type of obj, or "<failed to extract type name>".
std::string type_qualname(PyObject* obj);

// "'{type qualname}' object cannot be converted to '{target}'" as a TypeError.
[[noreturn]] void raise_cannot_convert(PyObject* obj, const char* target);

// Replaces an exact TypeError by TypeError("argument '<name>': <message>") whose cause is
// set to the replaced error's cause (None when it had none); any other error passes
// unchanged.
[[noreturn]] void rethrow_for_argument(const char* name, const PythonError& error);

// Runs one conversion for the parameter `name`, wrapping its TypeError.
template <class Convert>
auto argument(const char* name, Convert&& convert) -> decltype(convert()) {
    try {
        return convert();
    } catch (const PythonError& error) {
        rethrow_for_argument(name, error);
    }
}

}  // namespace tarnex::py
