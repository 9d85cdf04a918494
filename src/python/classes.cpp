#include "python/classes.hpp"

#include <new>
#include <type_traits>

#include "python/arguments.hpp"
#include "python/convert.hpp"
#include "python/guard.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {
namespace {

template <class E>
void dealloc(PyObject* self) {
    static_assert(std::is_nothrow_destructible_v<NDArray<E>>);
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<ArrayObject<E>*>(self)->array.~NDArray<E>();
    auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_slot(self);
    Py_DECREF(type);
}

const char* const constructor_params[] = {"data", "shape"};

allocfunc alloc_slot_of(PyTypeObject* type) {
    return reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
}

template <class E>
PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs, const char* class_name) {
    return guarded([&]() -> PyObject* {
        PyObject* slots[2];
        match_arguments({class_name, "__new__", constructor_params, 2},
                        CallArgs::from_tuple(args, kwargs), slots);
        Buffer<E> data;
        if constexpr (std::is_same_v<E, double>) {
            data = argument("data", [&] { return to_float_list(slots[0]); });
        } else {
            data = argument("data", [&] { return to_bool_list(slots[0]); });
        }
        Shape shape = argument("shape", [&] { return to_size_list(slots[1]); });
        NDArray<E> array = NDArray<E>::new_(std::move(data), std::move(shape));
        return check(alloc_instance(type, alloc_slot_of(type), std::move(array)));
    });
}

PyObject* new_ndarray(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return construct<double>(type, args, kwargs, "PyNDArray");
}

PyObject* new_bool_array(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return construct<Bool>(type, args, kwargs, "PyBoolArray");
}

template <class E>
PyObject* shape_method(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        Receiver<E> receiver(self, Borrow::Kind::shared);
        const Shape& shape = receiver.array().shape();
        Ref list(check(PyList_New(static_cast<Py_ssize_t>(shape.size()))));
        for (std::size_t i = 0; i < shape.size(); ++i) {
            PyObject* extent = check(PyLong_FromUnsignedLongLong(shape[i]));
            PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), extent);  // steals
        }
        return list.release();
    });
}

PyMethodDef bool_array_methods[] = {
    {"shape", shape_method<Bool>, METH_NOARGS, "shape($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject* make_type(const char* name, const char* doc, int basic_size, destructor dealloc_fn,
                        newfunc new_fn, PyMethodDef* methods) {
    PyType_Slot slots[] = {
        {Py_tp_base, &PyBaseObject_Type},
        {Py_tp_doc, const_cast<char*>(doc)},
        {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_fn)},
        {Py_tp_new, reinterpret_cast<void*>(new_fn)},
        {Py_tp_methods, methods},
        {0, nullptr},
    };
    PyType_Spec spec = {
        .name = name,
        .basicsize = basic_size,
        .itemsize = 0,
        .flags = Py_TPFLAGS_DEFAULT,
        .slots = slots,
    };
    return reinterpret_cast<PyTypeObject*>(check(PyType_FromSpec(&spec)));
}

}  // namespace

PyTypeObject* ndarray_type() {
    static PyTypeObject* type =
        make_type("builtins.PyNDArray", "PyNDArray(data, shape)\n--\n\n",
                  static_cast<int>(sizeof(PyNDArray)), dealloc<double>, new_ndarray,
                  ndarray_methods());
    return type;
}

PyTypeObject* bool_array_type() {
    static PyTypeObject* type =
        make_type("builtins.PyBoolArray", "PyBoolArray(data, shape)\n--\n\n",
                  static_cast<int>(sizeof(PyNDArrayBool)), dealloc<Bool>, new_bool_array,
                  bool_array_methods);
    return type;
}

PyObject* method_shape(PyObject* self, PyObject* unused) { return shape_method<double>(self, unused); }

template <class E>
ArrayArg<E>::ArrayArg(PyObject* obj)
    : object([obj] {
          PyTypeObject* expected = std::is_same_v<E, double> ? ndarray_type() : bool_array_type();
          if (!PyObject_TypeCheck(obj, expected)) {
              raise_cannot_convert(obj, std::is_same_v<E, double> ? "PyNDArray" : "PyBoolArray");
          }
          return reinterpret_cast<ArrayObject<E>*>(obj);
      }()),
      borrow(obj, object->borrow, Borrow::Kind::shared) {}

template struct ArrayArg<double>;
template struct ArrayArg<Bool>;

PyObject* wrap(FloatArray&& array) {
    // The class and its allocation slot never change once made, so every result after the
    // first takes them from here.
    static PyTypeObject* const type = ndarray_type();
    static const allocfunc alloc_slot = alloc_slot_of(type);
    PyObject* self = alloc_instance(type, alloc_slot, std::move(array));
    if (self == nullptr) {
        const PythonError error = PythonError::fetch();
        fail("failed to create the result object: " + type_qualname(error.value()) + ": " +
             to_utf8(error.value()).value_or(std::string()));
    }
    return self;
}

}  // namespace tarnex::py
