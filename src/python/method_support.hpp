// What every PyNDArray method is written with: the guard, argument matching, receiver and
// argument borrows, conversions and result wrapping. A method reads
//
//     PyObject* method_scale(PyObject* self, const CallArgs& call) {
//         return guarded([&] {
//             static const char* const params[] = {"scalar"};
//             auto [scalar_arg] = match_method("scale", params, call);
//             Receiver<double> receiver(self, Borrow::Kind::shared);
//             const double scalar = argument("scalar", [&] { return to_float(scalar_arg); });
//             return wrap(scale(receiver.array(), scalar));
//         });
//     }
#pragma once

#include <array>
#include <cstddef>

#include "python/arguments.hpp"
#include "python/classes.hpp"
#include "python/convert.hpp"
#include "python/guard.hpp"

namespace tarnex::py {

// Matches the arguments of the PyNDArray method `function` against `names`.
template <std::size_t N>
std::array<PyObject*, N> match_method(const char* function, const char* const (&names)[N],
                                      const CallArgs& call) {
    std::array<PyObject*, N> slots;
    match_arguments_inline({"PyNDArray", function, names, N}, call, slots.data());
    return slots;
}

inline PyObject* wrap(double value) { return check(PyFloat_FromDouble(value)); }
inline PyObject* wrap(std::uint64_t value) { return check(PyLong_FromUnsignedLongLong(value)); }
inline PyObject* none() { Py_RETURN_NONE; }

// A method taking one float-array parameter `other`: borrows the receiver, then `other`,
// both shared (so the receiver may be passed as `other`), and wraps operation's result.
template <FloatArray (*operation)(const FloatArray&, const FloatArray&)>
PyObject* method_with_other(const char* function, PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"other"};
        auto [other_arg] = match_method(function, params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        ArrayArg<double> other = argument("other", [&] { return ArrayArg<double>(other_arg); });
        return wrap(operation(receiver.array(), other.array()));
    });
}

// The method table of PyNDArray, in registration order, with the methods that take
// parameters in the vector convention when the interpreter offers it (vector_calls()).
PyMethodDef* ndarray_methods();

// shape() of PyNDArray (shared with PyBoolArray's).
PyObject* method_shape(PyObject* self, PyObject* unused);

}  // namespace tarnex::py
