// Sequences of Python values converted item by item: exact lists and tuples by position,
// any other sequence through its iterator; 1-D numpy arrays of the element type are copied
// whole.
#include <cstring>

#include "python/convert.hpp"

namespace tarnex::py {
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

}  // namespace

Shape to_size_list(PyObject* obj) {
    Shape out;
    ShapeSink sink{out};
    convert_sequence(obj, sink, plain_size<ShapeSink>, to_size);
    return out;
}

Buffer<double> to_float_list(PyObject* obj) {
    if (std::optional<Buffer<double>> copied = numpy_floats(obj)) return *std::move(copied);
    Buffer<double> out;
    BufferSink<double> sink{out};
    convert_sequence(obj, sink, plain_float<BufferSink<double>>, to_float);
    return out;
}

Buffer<Bool> to_bool_list(PyObject* obj) {
    if (std::optional<Buffer<Bool>> copied = numpy_bools(obj)) return *std::move(copied);
    Buffer<Bool> out;
    BufferSink<Bool> sink{out};
    convert_sequence(obj, sink, plain_bool<BufferSink<Bool>>,
                     [](PyObject* item) { return static_cast<Bool>(to_bool(item)); });
    return out;
}

}  // namespace tarnex::py
