// Conversions of Python arguments to the values the core takes. Each returns its value or
// throws the conversion's error (PythonError); `argument` wraps an exact TypeError with the
// parameter's name. Scalars in convert_scalars.cpp, sequences in convert_sequences.cpp,
// numpy input in convert_numpy.cpp, the errors' shape in convert_errors.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "lib/record/ndarray.hpp"
#include "python/python_error.hpp"

namespace tarnex::py {

// Whether obj's type is exactly `type` (not a subclass of it).
inline bool is_exact(PyObject* obj, PyTypeObject* type) noexcept { return Py_TYPE(obj) == type; }

double to_float(PyObject* obj);
std::uint64_t to_size(PyObject* obj);
Shape to_size_list(PyObject* obj);

Buffer<double> to_float_list(PyObject* obj);
Buffer<Bool> to_bool_list(PyObject* obj);
bool to_bool(PyObject* obj);

// Whether obj is exactly a numpy.ndarray, found without importing numpy: a static (not heap)
// type named numpy.ndarray that is the ndarray attribute of the numpy module already in
// sys.modules. Reading the names of a static type runs no Python code, and the identity test
// keeps any other type that merely carries the name from being taken for the array type.
bool is_numpy_ndarray(PyObject* obj);

// The memory of a C-contiguous numpy.ndarray, read from its __array_interface__.
struct NumpyMemory {
    void* data = nullptr;  // the first element
    Shape shape;
    bool writable = false;
};

// Fills `out` when obj is exactly a numpy.ndarray, C-contiguous, of the element type
// `typestr` ("<f8" native float64, "|b1" bool); false for anything else (no error set).
bool numpy_memory(PyObject* obj, const char* typestr, NumpyMemory* out);

// The elements of obj copied when it is a 1-D C-contiguous numpy array of float64 (of bool,
// each byte other than 0 becoming 1); nothing for any other object, an exact list or tuple
// included.
std::optional<Buffer<double>> numpy_floats(PyObject* obj);
std::optional<Buffer<Bool>> numpy_bools(PyObject* obj);

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
