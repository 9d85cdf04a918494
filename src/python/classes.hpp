// The two Python classes and their instance layout.
#pragma once

#include <cstdint>
#include <new>
#include <utility>

#include "lib/record/ndarray.hpp"
#include "python/borrow.hpp"

namespace tarnex::py {

// Instance of PyNDArray (E = double) or PyBoolArray (E = Bool): the object header, the
// owned array, the borrow counter.
template <class E>
struct ArrayObject {
    PyObject_HEAD
    NDArray<E> array;
    std::int64_t borrow;
};

using PyNDArray = ArrayObject<double>;
using PyNDArrayBool = ArrayObject<Bool>;

// A new instance of `type` (one of the two classes) owning `array`, its borrow counter 0;
// null with the allocation's error set when the object cannot be allocated (`array` is then
// released by its owner). The companion module makes its results with this too, so that
// every instance of either class is laid out by this one function.
template <class E>
PyObject* alloc_instance(PyTypeObject* type, allocfunc alloc_slot, NDArray<E>&& array) {
    PyObject* self = alloc_slot(type, 0);
    if (self == nullptr) return nullptr;
    auto* object = reinterpret_cast<ArrayObject<E>*>(self);
    new (&object->array) NDArray<E>(std::move(array));
    object->borrow = 0;
    return self;
}

// The same through the class's own allocation slot.
template <class E>
PyObject* alloc_instance(PyTypeObject* type, NDArray<E>&& array) {
    return alloc_instance(type, reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc)),
                          std::move(array));
}

// The class objects, created on first use and kept for the life of the process.
PyTypeObject* ndarray_type();
PyTypeObject* bool_array_type();

// The receiver of a method, borrowed for the rest of the call.
template <class E>
struct Receiver {
    ArrayObject<E>* object;
    Borrow borrow;
    Receiver(PyObject* self, Borrow::Kind kind)
        : object(reinterpret_cast<ArrayObject<E>*>(self)), borrow(self, object->borrow, kind) {}
    const NDArray<E>& array() const { return object->array; }
    NDArray<E>& array_mut() { return object->array; }
};

// An array argument: tested for its class, then borrowed shared for the rest of the call.
template <class E>
struct ArrayArg {
    ArrayObject<E>* object;
    Borrow borrow;
    explicit ArrayArg(PyObject* obj);
    const NDArray<E>& array() const { return object->array; }
};

// A new PyNDArray owning `array`. Failing to create the object is a core failure.
PyObject* wrap(FloatArray&& array);

}  // namespace tarnex::py
