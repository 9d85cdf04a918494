#include "python/convert.hpp"

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

// The length of a sequence as a room hint; a failure only loses the hint. A length
// reported by a user's __len__ may be wildly wrong, so at most 2^27 items (1 GiB of floats)
// are reserved up front; longer sequences grow as they are read.
std::uint64_t length_hint(PyObject* obj) {
    const Py_ssize_t n = PySequence_Size(obj);
    if (n < 0) {
        (void)PythonError::fetch();
        return 0;
    }
    constexpr std::uint64_t max_hint = std::uint64_t{1} << 27;
    return static_cast<std::uint64_t>(n) < max_hint ? static_cast<std::uint64_t>(n) : max_hint;
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
        return;
    }
    if (is_exact(obj, &PyTuple_Type)) {
        const Py_ssize_t n = PyTuple_Size(obj);
        out.grow_to(static_cast<std::uint64_t>(n));
        for (Py_ssize_t i = 0; i < n; ++i) {
            PyObject* element = PyTuple_GetItem(obj, i);
            if (!plain(element, out)) out.push(item(element));
        }
        return;
    }
    if (PyUnicode_Check(obj)) raise(PyExc_TypeError, "Can't extract `str` to `Vec`");
    if (!PySequence_Check(obj)) raise_cannot_convert(obj, "Sequence");
    const std::uint64_t hint = length_hint(obj);
    if (hint != 0) out.grow_to(hint);
    Ref iterator(check(PyObject_GetIter(obj)));
    while (true) {
        Ref element(PyIter_Next(iterator.get()));
        if (!element) {
            if (PyErr_Occurred()) throw_python_error();
            return;
        }
        if (!plain(element.get(), out)) out.push(item(element.get()));
    }
}

template <class T>
struct BufferSink {
    Buffer<T>& buffer;
    void grow_to(std::uint64_t n) {
        if (n > buffer.capacity()) buffer.grow(n);
    }
    void push(T value) { buffer.push_back(value); }
};

struct ShapeSink {
    Shape& shape;
    void grow_to(std::uint64_t n) { shape.reserve(n); }
    void push(std::uint64_t value) { shape.push_back(value); }
};

struct SmallSizeSink {
    SmallSizeList& list;
    void grow_to(std::uint64_t) {}
    void push(std::uint64_t value) { list.push_back(value); }
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
        numpy_bool = ok_module && ok_name && full == "numpy.bool_";
    } else {
        (void)PythonError::fetch();
    }
    if (!numpy_bool) raise_cannot_convert(obj, "PyBool");

    Ref method(PyObject_GetAttrString(type, "__bool__"));
    if (!method) {
        const PythonError lookup = PythonError::fetch();
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

void to_size_list(PyObject* obj, SmallSizeList& out) {
    SmallSizeSink sink{out};
    convert_sequence(obj, sink, plain_size<SmallSizeSink>, to_size);
}

Buffer<double> to_float_list(PyObject* obj) {
    Buffer<double> out;
    BufferSink<double> sink{out};
    convert_sequence(obj, sink, plain_float<BufferSink<double>>, float_item);
    return out;
}

Buffer<Bool> to_bool_list(PyObject* obj) {
    Buffer<Bool> out;
    BufferSink<Bool> sink{out};
    convert_sequence(obj, sink, plain_bool<BufferSink<Bool>>,
                     [](PyObject* item) { return static_cast<Bool>(to_bool(item)); });
    return out;
}

}  // namespace tarnex::py
