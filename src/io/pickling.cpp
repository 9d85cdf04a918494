// Pickling of both array classes, registered with copyreg when this module is imported: an
// array reduces to (from_bytes, (its bytes, its shape)), or bools_from_bytes for a boolean
// array, so loading one runs nothing but those functions, and gives back the exact bits.
// pickle, copy.deepcopy and every process pool use the same registration.
#include "io/functions.hpp"

namespace tarnex::io {
namespace {

// The module's from_bytes and bools_from_bytes, kept for the life of the process.
PyObject* float_maker = nullptr;
PyObject* bool_maker = nullptr;

template <class E>
PyObject* reduction(PyObject* maker, const NDArray<E>& array) {
    const Shape& shape = array.shape();
    py::Ref extents(py::check(PyList_New(static_cast<Py_ssize_t>(shape.size()))));
    for (std::size_t d = 0; d < shape.size(); ++d) {
        PyList_SetItem(extents.get(), static_cast<Py_ssize_t>(d),
                       py::check(PyLong_FromUnsignedLongLong(shape[d])));  // steals
    }
    py::Ref bytes(py::check(PyBytes_FromStringAndSize(
        reinterpret_cast<const char*>(array.data()),
        static_cast<Py_ssize_t>(array.size() * sizeof(E)))));
    return py::check(Py_BuildValue("(O(OO))", maker, bytes.get(), extents.get()));
}

PyObject* reduce_array(PyObject*, PyObject* obj) {
    return py::guarded([&] {
        return with_either_array("a", obj, [](auto& held) {
            using E = std::remove_cvref_t<decltype(held.array().data()[0])>;
            return reduction(std::is_same_v<E, double> ? float_maker : bool_maker, held.array());
        });
    });
}

PyMethodDef reducer_def = {
    .ml_name = "reduce_array",
    .ml_meth = reduce_array,
    .ml_flags = METH_O,
    .ml_doc = "How pickle and copy rebuild a tarnex array: (maker, (bytes, shape)).",
};

}  // namespace

void register_pickling(PyObject* module) {
    if (float_maker == nullptr) {
        float_maker = py::check(PyObject_GetAttrString(module, "from_bytes"));
        bool_maker = py::check(PyObject_GetAttrString(module, "bools_from_bytes"));
    }
    py::Ref copyreg(py::check(PyImport_ImportModule("copyreg")));
    py::Ref reducer(py::check(PyCFunction_NewEx(&reducer_def, nullptr, nullptr)));
    for (PyTypeObject* type : {tarnex_class<double>(), tarnex_class<Bool>()}) {
        py::Ref done(py::check(PyObject_CallMethod(copyreg.get(), "pickle", "OO",
                                                   reinterpret_cast<PyObject*>(type),
                                                   reducer.get())));
    }
}

}  // namespace tarnex::io
