#include "python/convert.hpp"

#include <cstring>
#include <new>
#include <string>

namespace tarnex::py {
namespace {

bool is_exact(PyObject* obj, PyTypeObject* type) { return Py_TYPE(obj) == type; }

}  // namespace

std::string type_qualname(PyObject* obj) {
    Ref name(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__qualname__"));
    bool ok = false;
    std::string text;
    if (name && PyUnicode_Check(name.get())) text = utf8_text(name.get(), &ok);
    if (!ok) {
        PyErr_Clear();
        return "<failed to extract type name>";
    }
    return text;
}

namespace {

// The length of a sequence as a room hint, 0 when it cannot be had (the error is dropped,
// unless it is a native failure coming back out of the sequence's __len__).
std::uint64_t length_hint(PyObject* obj) {
    const Py_ssize_t n = PySequence_Size(obj);
    if (n < 0) {
        (void)resume_if_panic(PythonError::fetch());
        return 0;
    }
    return static_cast<std::uint64_t>(n);
}

// Room is reserved from a length the caller cannot vouch for (a user's __len__ may claim
// anything): a claim beyond the largest allowed allocation fails like any such request,
// with "capacity overflow", but room the allocator refuses is only a hint lost, and the
// list grows as it is read instead. Room left far beyond the final length (more than
// twice it, plus a little) is given back, so a wrong claim does not stay with the array.
bool far_too_roomy(std::uint64_t capacity, std::uint64_t size) {
    return capacity - size > size + 64;
}

// Converts every item of a sequence (not a string) with `item`, appending to `out`.
// Exact lists and tuples are read by position, which is what their iterators do.
// Converting an item of a built-in type (`plain` returns true) runs no Python code, so it
// needs neither a reference of its own nor a fresh look at the list's length.
template <class Out, class Plain, class Item>
void convert_sequence(PyObject* obj, Out& out, Plain&& plain, Item&& item) {
    // Exact lists and tuples are strings of neither kind and always sequences; they are
    // read by position, which is what their iterators do (a list's length is read again
    // after any item whose conversion ran Python code, so a change to the list made by
    // that code is seen exactly as iteration would see it).
    if (is_exact(obj, &PyList_Type)) {
        Py_ssize_t n = PyList_Size(obj);
        out.grow_to(static_cast<std::uint64_t>(n));
        for (Py_ssize_t i = 0; i < n; ++i) {
            PyObject* element = PyList_GetItem(obj, i);
            if (!plain(element, out)) {
                Ref held = Ref::borrowed(element);
                out.push(item(element));
                n = PyList_Size(obj);
            }
        }
        out.finish();
        return;
    }
    if (is_exact(obj, &PyTuple_Type)) {
        const Py_ssize_t n = PyTuple_Size(obj);
        out.grow_to(static_cast<std::uint64_t>(n));
        for (Py_ssize_t i = 0; i < n; ++i) {
            PyObject* element = PyTuple_GetItem(obj, i);
            if (!plain(element, out)) out.push(item(element));
        }
        out.finish();
        return;
    }
    if (PyUnicode_Check(obj)) raise(PyExc_TypeError, "Can't extract `str` to `Vec`");
    if (!PySequence_Check(obj)) raise_cannot_convert(obj, "Sequence");
    out.grow_to(length_hint(obj));
    Ref iterator(check(PyObject_GetIter(obj)));
    while (true) {
        Ref element(PyIter_Next(iterator.get()));
        if (!element) {
            if (PyErr_Occurred()) throw_python_error();
            out.finish();
            return;
        }
        if (!plain(element.get(), out)) out.push(item(element.get()));
    }
}

template <class T>
struct BufferSink {
    Buffer<T>& buffer;
    void grow_to(std::uint64_t n) {
        check_capacity(n, sizeof(T));
        if (n <= buffer.capacity()) return;
        try {
            buffer.grow(n);
        } catch (const AllocationFailure&) {
        }
    }
    void push(T value) { buffer.push_back(value); }
    void finish() {
        if (!far_too_roomy(buffer.capacity(), buffer.size())) return;
        try {
            Buffer<T> fitted = Buffer<T>::with_capacity(buffer.size());
            if (!buffer.empty()) {
                std::memcpy(fitted.data(), buffer.data(), buffer.size() * sizeof(T));
            }
            fitted.set_size(buffer.size());
            buffer = std::move(fitted);
        } catch (const AllocationFailure&) {
            // Keeping the larger block is harmless.
        }
    }
};

struct ShapeSink {
    Shape& shape;
    void grow_to(std::uint64_t n) {
        check_capacity(n, sizeof(std::uint64_t));
        try {
            shape.reserve(n);
        } catch (const AllocationFailure&) {
        }
    }
    void push(std::uint64_t value) { shape.push_back(value); }
    void finish() {
        // A copy holds exactly the entries (inside itself when they are few).
        if (far_too_roomy(shape.capacity(), shape.size())) shape = Shape(shape);
    }
};


// Items of built-in types, converted without running Python code.
template <class Out>
bool plain_size(PyObject* obj, Out& out) {
    if (!is_exact(obj, &PyLong_Type)) return false;
    const unsigned long long v = PyLong_AsUnsignedLongLong(obj);
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw_python_error();
    out.push(v);
    return true;
}

template <class Out>
bool plain_float(PyObject* obj, Out& out) {
    if (is_exact(obj, &PyFloat_Type)) {
        out.push(PyFloat_AsDouble(obj));
        return true;
    }
    // An exact int's float conversion is PyLong_AsDouble, with its OverflowError ("int too
    // large to convert to float"); calling it directly skips the generic number protocol.
    if (is_exact(obj, &PyLong_Type)) {
        const double v = PyLong_AsDouble(obj);
        if (v == -1.0 && PyErr_Occurred()) throw_python_error();
        out.push(v);
        return true;
    }
    return false;
}

template <class Out>
bool plain_bool(PyObject* obj, Out& out) {
    if (!is_exact(obj, &PyBool_Type)) return false;
    out.push(obj == Py_True);
    return true;
}

double float_item(PyObject* obj) {
    const double v = PyFloat_AsDouble(obj);
    if (v == -1.0 && PyErr_Occurred()) throw_python_error();
    return v;
}

}  // namespace

namespace {

// The numpy.ndarray type, once an object of it has been seen (a strong reference, kept for
// the life of the process).
PyObject* numpy_ndarray_type = nullptr;

}  // namespace

bool is_numpy_ndarray(PyObject* obj) {
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(obj));
    if (numpy_ndarray_type != nullptr) return type == numpy_ndarray_type;
    if ((PyType_GetFlags(Py_TYPE(obj)) & Py_TPFLAGS_HEAPTYPE) != 0) return false;
    Ref module(PyObject_GetAttrString(type, "__module__"));
    Ref name(module ? PyObject_GetAttrString(type, "__name__") : nullptr);
    if (!name) {
        PyErr_Clear();
        return false;
    }
    if (!PyUnicode_Check(module.get()) || !PyUnicode_Check(name.get()) ||
        PyUnicode_CompareWithASCIIString(module.get(), "numpy") != 0 ||
        PyUnicode_CompareWithASCIIString(name.get(), "ndarray") != 0) {
        return false;
    }
    PyObject* numpy = PyDict_GetItemString(PyImport_GetModuleDict(), "numpy");  // borrowed
    if (numpy == nullptr) return false;
    Ref ndarray(PyObject_GetAttrString(numpy, "ndarray"));
    if (!ndarray) {
        PyErr_Clear();
        return false;
    }
    if (ndarray.get() != type) return false;
    numpy_ndarray_type = ndarray.release();
    return true;
}

bool numpy_memory(PyObject* obj, const char* typestr, NumpyMemory* out) {
    if (!is_numpy_ndarray(obj)) return false;
    Ref interface(PyObject_GetAttrString(obj, "__array_interface__"));
    if (!interface || !PyDict_Check(interface.get())) {
        PyErr_Clear();
        return false;
    }
    PyObject* kind = PyDict_GetItemString(interface.get(), "typestr");
    PyObject* shape = PyDict_GetItemString(interface.get(), "shape");
    PyObject* strides = PyDict_GetItemString(interface.get(), "strides");
    PyObject* address = PyDict_GetItemString(interface.get(), "data");
    // Strides are None exactly when the array is C-contiguous.
    if (kind == nullptr || !PyUnicode_Check(kind) ||
        PyUnicode_CompareWithASCIIString(kind, typestr) != 0 || shape == nullptr ||
        !PyTuple_Check(shape) || strides != Py_None || address == nullptr ||
        !PyTuple_Check(address) || PyTuple_Size(address) != 2) {
        return false;
    }
    NumpyMemory memory;
    for (Py_ssize_t d = 0; d < PyTuple_Size(shape); ++d) {
        const Py_ssize_t extent = PyLong_AsSsize_t(PyTuple_GetItem(shape, d));
        if (extent < 0) {
            PyErr_Clear();
            return false;
        }
        memory.shape.push_back(static_cast<std::uint64_t>(extent));
    }
    memory.data = PyLong_AsVoidPtr(PyTuple_GetItem(address, 0));
    const int readonly = PyObject_IsTrue(PyTuple_GetItem(address, 1));
    if (PyErr_Occurred() || readonly < 0) {
        PyErr_Clear();
        return false;
    }
    memory.writable = readonly == 0;
    *out = std::move(memory);
    return true;
}

void raise_cannot_convert(PyObject* obj, const char* target) {
    raise(PyExc_TypeError,
          "'" + type_qualname(obj) + "' object cannot be converted to '" + target + "'");
}

void rethrow_for_argument(const char* name, const PythonError& error) {
    if (error.type() != PyExc_TypeError) throw error;
    // A failing str() of the error is reported instead of it.
    Ref text(check(PyObject_Str(error.value())));
    const Ref message = new_text("argument '" + std::string(name) + "': " + utf8_text(text.get()));
    Ref wrapped(check(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr)));
    // Set even when there is no cause (null sets None): like `raise ... from`, this also
    // marks the exception's context as suppressed.
    PyException_SetCause(wrapped.get(), PyException_GetCause(error.value()));  // steals
    throw PythonError(Ref::borrowed(PyExc_TypeError), std::move(wrapped), Ref());
}

double to_float(PyObject* obj) {
    if (is_exact(obj, &PyFloat_Type)) return PyFloat_AsDouble(obj);
    return float_item(obj);
}

std::uint64_t to_size(PyObject* obj) {
    Ref index;
    if (!is_exact(obj, &PyLong_Type) && !PyLong_Check(obj)) {
        index = Ref(check(PyNumber_Index(obj)));
        obj = index.get();
    }
    const unsigned long long v = PyLong_AsUnsignedLongLong(obj);
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw_python_error();
    return v;
}

bool to_bool(PyObject* obj) {
    if (is_exact(obj, &PyBool_Type)) return obj == Py_True;
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(obj));
    // numpy's boolean scalar converts through its type's __bool__.
    Ref module(PyObject_GetAttrString(type, "__module__"));
    Ref name(module ? PyObject_GetAttrString(type, "__name__") : nullptr);
    bool numpy_bool = false;
    if (name) {
        bool ok_module = false, ok_name = false;
        const std::string full = to_utf8(module.get(), &ok_module) + "." + to_utf8(name.get(), &ok_name);
        // numpy 1 names the type bool_, numpy 2 bool (keeping bool_ as another name of it).
        numpy_bool = ok_module && ok_name && (full == "numpy.bool_" || full == "numpy.bool");
    } else {
        (void)resume_if_panic(PythonError::fetch());
    }
    if (!numpy_bool) raise_cannot_convert(obj, "PyBool");

    Ref method(PyObject_GetAttrString(type, "__bool__"));
    if (!method) {
        const PythonError lookup = resume_if_panic(PythonError::fetch());
        if (!PyErr_GivenExceptionMatches(lookup.type(), PyExc_AttributeError)) throw lookup;
        raise(PyExc_TypeError, "object of type '" + to_utf8(type) +
                                   "' does not define a '__bool__' conversion");
    }
    Ref result(check(PyObject_CallFunctionObjArgs(method.get(), obj, nullptr)));
    if (!is_exact(result.get(), &PyBool_Type)) raise_cannot_convert(result.get(), "PyBool");
    return result.get() == Py_True;
}

Shape to_size_list(PyObject* obj) {
    Shape out;
    ShapeSink sink{out};
    convert_sequence(obj, sink, plain_size<ShapeSink>, to_size);
    return out;
}


Buffer<double> to_float_list(PyObject* obj) {
    Buffer<double> out;
    // The array is held by the caller's argument, and nothing runs between reading its
    // address and copying: the elements are exactly those iteration would yield.
    NumpyMemory memory;
    if (!is_exact(obj, &PyList_Type) && !is_exact(obj, &PyTuple_Type) &&
        numpy_memory(obj, "<f8", &memory) && memory.shape.size() == 1) {
        const std::uint64_t n = memory.shape[0];
        out = Buffer<double>::uninitialized(n);
        if (n != 0) std::memcpy(out.data(), memory.data, n * sizeof(double));
        return out;
    }
    BufferSink<double> sink{out};
    convert_sequence(obj, sink, plain_float<BufferSink<double>>, float_item);
    return out;
}

Buffer<Bool> to_bool_list(PyObject* obj) {
    Buffer<Bool> out;
    // As for floats; a byte other than 0 is a numpy True, so it becomes 1.
    NumpyMemory memory;
    if (!is_exact(obj, &PyList_Type) && !is_exact(obj, &PyTuple_Type) &&
        numpy_memory(obj, "|b1", &memory) && memory.shape.size() == 1) {
        const std::uint64_t n = memory.shape[0];
        out = Buffer<Bool>::uninitialized(n);
        const auto* bytes = static_cast<const Bool*>(memory.data);
        Bool* to = out.data();  // a plain pointer, so that the loop vectorises
        for (std::uint64_t i = 0; i < n; ++i) to[i] = bytes[i] != 0;
        return out;
    }
    BufferSink<Bool> sink{out};
    convert_sequence(obj, sink, plain_bool<BufferSink<Bool>>,
                     [](PyObject* item) { return static_cast<Bool>(to_bool(item)); });
    return out;
}

}  // namespace tarnex::py
