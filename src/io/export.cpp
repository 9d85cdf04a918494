// Arrays out: a flat list, native bytes, a numpy array.
#include <cstring>
#include <type_traits>

#include "io/functions.hpp"

namespace tarnex::io {
namespace {

PyObject* element(double value) { return py::check(PyFloat_FromDouble(value)); }
PyObject* element(Bool value) {
    PyObject* b = value != 0 ? Py_True : Py_False;
    Py_INCREF(b);
    return b;
}

template <class E>
PyObject* list_of(const NDArray<E>& array) {
    const std::uint64_t n = array.size();
    py::Ref list(py::check(PyList_New(static_cast<Py_ssize_t>(n))));
    const E* data = array.data();
    for (std::uint64_t i = 0; i < n; ++i) {
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), element(data[i]));  // steals
    }
    return list.release();
}

template <class E>
PyObject* bytes_of(const NDArray<E>& array) {
    return py::check(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(array.data()),
                                               static_cast<Py_ssize_t>(array.size() * sizeof(E))));
}

// numpy, or ImportError saying that to_numpy needs it (the import's own error as cause).
py::Ref import_numpy() {
    py::Ref numpy(PyImport_ImportModule("numpy"));
    if (numpy) return numpy;
    const py::PythonError error = py::PythonError::fetch();
    if (!PyErr_GivenExceptionMatches(error.type(), PyExc_ImportError)) throw error;
    py::Ref message = py::new_text("to_numpy needs numpy, which is not installed (pip install numpy)");
    py::Ref raised(py::check(PyObject_CallFunctionObjArgs(PyExc_ImportError, message.get(), nullptr)));
    PyException_SetCause(raised.get(), py::Ref::borrowed(error.value()).release());  // steals
    throw py::PythonError(std::move(raised));
}

// A new numpy array of the array's shape and element type holding a copy of its elements:
// numpy.empty makes it, and the elements are copied straight into its memory (the one copy).
template <class E>
PyObject* numpy_of(const NDArray<E>& array) {
    py::Ref numpy = import_numpy();
    const Shape& shape = array.shape();
    py::Ref extents(py::check(PyTuple_New(static_cast<Py_ssize_t>(shape.size()))));
    for (std::size_t d = 0; d < shape.size(); ++d) {
        PyTuple_SetItem(extents.get(), static_cast<Py_ssize_t>(d),
                        py::check(PyLong_FromUnsignedLongLong(shape[d])));  // steals
    }
    constexpr bool floats = std::is_same_v<E, double>;
    py::Ref out(py::check(PyObject_CallMethod(numpy.get(), "empty", "Os", extents.get(),
                                              floats ? "float64" : "bool")));
    // Written only when it is the real, writable, C-ordered array of that shape.
    py::NumpyMemory memory;
    if (!py::numpy_memory(out.get(), floats ? "<f8" : "|b1", &memory) || !memory.writable ||
        memory.shape != shape) {
        py::raise(PyExc_RuntimeError, "numpy.empty did not return a writable C-ordered array");
    }
    if (array.size() != 0) std::memcpy(memory.data, array.data(), array.size() * sizeof(E));
    return out.release();
}

enum class Export { list, bytes, numpy };
constexpr const char* export_names[] = {"to_list", "to_bytes", "to_numpy"};

template <Export what>
PyObject* exported(const py::CallArgs& call) {
    return of_either_array(name_of(export_names, what), call, [](const auto& array) {
        if constexpr (what == Export::list) {
            return list_of(array);
        } else if constexpr (what == Export::bytes) {
            return bytes_of(array);
        } else {
            return numpy_of(array);
        }
    });
}

}  // namespace

void add_export_functions(FunctionList& table) {
    for_each_op<Export, std::size(export_names)>(
        [&]<Export what> { add_function<exported<what>>(table, name_of(export_names, what)); });
}

}  // namespace tarnex::io
