// numpy input read in place: whether an object is exactly a numpy.ndarray, where a
// C-contiguous one keeps its elements, and the copy of a 1-D one.
#include <cstring>
#include <type_traits>

#include "python/convert.hpp"

namespace tarnex::py {
namespace {

// The numpy.ndarray type, once an object of it has been seen (a strong reference, kept for
// the life of the process).
PyObject* numpy_ndarray_type = nullptr;

// The memory of obj when it is a 1-D C-contiguous numpy array of element type `typestr`
// (and not an exact list or tuple, which are never numpy arrays).
std::optional<NumpyMemory> numpy_vector(PyObject* obj, const char* typestr) {
    NumpyMemory memory;
    if (is_exact(obj, &PyList_Type) || is_exact(obj, &PyTuple_Type) ||
        !numpy_memory(obj, typestr, &memory) || memory.shape.size() != 1) {
        return std::nullopt;
    }
    return memory;
}

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

// The array is held by the caller's argument, and nothing runs between reading its address
// and copying: the elements are exactly those iteration would yield. Floats are copied as
// they are; a bool byte other than 0 is a numpy True, so it becomes 1.
template <class E>
std::optional<Buffer<E>> numpy_elements(PyObject* obj) {
    constexpr bool floats = std::is_same_v<E, double>;
    const std::optional<NumpyMemory> memory = numpy_vector(obj, floats ? "<f8" : "|b1");
    if (!memory) return std::nullopt;
    const std::uint64_t n = memory->shape[0];
    Buffer<E> out = Buffer<E>::uninitialized(n);
    if constexpr (floats) {
        if (n != 0) std::memcpy(out.data(), memory->data, n * sizeof(double));
    } else {
        const auto* bytes = static_cast<const Bool*>(memory->data);
        Bool* to = out.data();  // a plain pointer, so that the loop vectorises
        for (std::uint64_t i = 0; i < n; ++i) to[i] = bytes[i] != 0;
    }
    return out;
}

std::optional<Buffer<double>> numpy_floats(PyObject* obj) { return numpy_elements<double>(obj); }
std::optional<Buffer<Bool>> numpy_bools(PyObject* obj) { return numpy_elements<Bool>(obj); }

}  // namespace tarnex::py
