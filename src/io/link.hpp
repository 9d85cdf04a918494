// The tarnex module this companion works with: its two classes, found and checked once at
// import, and the arrays taken from arguments under the same borrow rules as tarnex's own.
#pragma once

#include <cstdint>
#include <type_traits>

#include "python/classes.hpp"
#include "python/convert.hpp"

namespace tarnex::io {

using py::ArrayObject;
using py::Borrow;

// Imports tarnex and checks that it is the build this module was made with; throws
// ImportError (as a PythonError) when it is not, before any of its objects is read.
void link_tarnex();

// tarnex's PyNDArray (E = double) and PyBoolArray (E = Bool), after link_tarnex.
template <class E>
PyTypeObject* tarnex_class() noexcept;

template <class E>
constexpr const char* class_name() noexcept {
    return std::is_same_v<E, double> ? "PyNDArray" : "PyBoolArray";
}

template <class E>
bool is_array(PyObject* obj) noexcept {
    return PyObject_TypeCheck(obj, tarnex_class<E>());
}

// An array argument: an instance of tarnex's class for E, borrowed shared for the rest of
// the call (RuntimeError "Already mutably borrowed" while another call writes it).
template <class E>
struct Held {
    ArrayObject<E>* object;
    Borrow borrow;
    explicit Held(PyObject* obj)
        : object([obj] {
              if (!is_array<E>(obj)) py::raise_cannot_convert(obj, class_name<E>());
              return reinterpret_cast<ArrayObject<E>*>(obj);
          }()),
          borrow(obj, object->borrow, Borrow::Kind::shared) {}
    const NDArray<E>& array() const noexcept { return object->array; }
};

// A new instance of tarnex's class owning `array`.
template <class E>
PyObject* wrap(NDArray<E>&& array) {
    return py::check(py::alloc_instance(tarnex_class<E>(), std::move(array)));
}

}  // namespace tarnex::io
