#include "io/shape_argument.hpp"

#include <string>

namespace tarnex::io {
namespace {

// An int argument (exact int, or anything with __index__) as a signed 64-bit value;
// OverflowError beyond that range.
long long to_integer(PyObject* obj) {
    py::Ref index;
    if (!PyLong_Check(obj)) {
        index = py::Ref(py::check(PyNumber_Index(obj)));
        obj = index.get();
    }
    const long long v = PyLong_AsLongLong(obj);
    if (v == -1 && PyErr_Occurred()) py::throw_python_error();
    return v;
}

void add_extent(const char* name, ShapeArgument& out, long long extent, bool unknown_allowed) {
    if (extent == -1 && unknown_allowed) {
        if (out.unknown) value_error(name, "can only specify one unknown dimension");
        out.unknown = out.extents.size();
        out.extents.push_back(0);
        return;
    }
    if (extent < 0) value_error(name, "negative dimensions are not allowed");
    out.extents.push_back(static_cast<std::uint64_t>(extent));
}

[[noreturn]] void not_a_shape(const char* name, PyObject* obj) {
    py::raise(PyExc_TypeError, "argument '" + std::string(name) +
                                   "': expected an int or a sequence of ints, not '" +
                                   py::type_qualname(obj) + "'");
}

}  // namespace

ShapeArgument to_shape(const char* name, PyObject* obj, bool unknown_allowed) {
    ShapeArgument out;
    const auto integer = [&](PyObject* item) {
        return py::argument(name, [&] { return to_integer(item); });
    };
    if (PyLong_Check(obj)) {
        add_extent(name, out, integer(obj), unknown_allowed);
        return out;
    }
    if (PyTuple_Check(obj)) {
        // A tuple cannot change while its items are converted.
        const Py_ssize_t n = PyTuple_Size(obj);
        for (Py_ssize_t i = 0; i < n; ++i) {
            add_extent(name, out, integer(PyTuple_GetItem(obj, i)), unknown_allowed);
        }
        return out;
    }
    if (PyUnicode_Check(obj) || PyBytes_Check(obj) || PyByteArray_Check(obj) ||
        !PySequence_Check(obj)) {
        // A lone object with __index__ (a numpy integer) is one extent.
        if (!PyFloat_Check(obj) && PyIndex_Check(obj)) {
            add_extent(name, out, integer(obj), unknown_allowed);
            return out;
        }
        not_a_shape(name, obj);
    }
    // Any other sequence is read through a tuple of its items, taken at once: converting an
    // item may run Python code, which then cannot change what is read.
    py::Ref items(py::check(PySequence_Tuple(obj)));
    const Py_ssize_t n = PyTuple_Size(items.get());
    for (Py_ssize_t i = 0; i < n; ++i) {
        add_extent(name, out, integer(PyTuple_GetItem(items.get(), i)), unknown_allowed);
    }
    return out;
}

std::uint64_t checked_count(const char* name, const Shape& shape, std::size_t element_size) {
    const auto count = extent_product(shape);
    if (!count || *count > max_allocation_bytes / element_size) {
        py::raise(PyExc_OverflowError, "argument '" + std::string(name) + "': an array of shape " +
                                           format_shape(shape) +
                                           " is larger than the largest possible allocation");
    }
    return *count;
}

std::size_t to_axis(const char* name, PyObject* obj, std::size_t rank) {
    const long long axis = py::argument(name, [&] {
        if (PyFloat_Check(obj) || !PyIndex_Check(obj)) {
            py::raise(PyExc_TypeError, "'" + py::type_qualname(obj) +
                                           "' object cannot be interpreted as an integer");
        }
        return to_integer(obj);
    });
    const long long r = static_cast<long long>(rank);
    if (axis < -r || axis >= r) {
        value_error(name, "axis " + std::to_string(axis) + " is out of bounds for array of "
                          "dimension " + std::to_string(rank));
    }
    return static_cast<std::size_t>(axis < 0 ? axis + r : axis);
}

}  // namespace tarnex::io
