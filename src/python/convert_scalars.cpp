// Conversions of one Python value: a float, a size, a bool.
#include "python/convert.hpp"

namespace tarnex::py {

double to_float(PyObject* obj) {
    if (is_exact(obj, &PyFloat_Type)) return PyFloat_AsDouble(obj);
    const double v = PyFloat_AsDouble(obj);
    if (v == -1.0 && PyErr_Occurred()) throw_python_error();
    return v;
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

namespace {

// Whether `type` is numpy's boolean scalar type, by its names. A failure to read them is
// dropped (unless it is a native failure coming back out of Python code): the value is then
// simply not a numpy bool.
bool is_numpy_bool_type(PyObject* type) {
    Ref module(PyObject_GetAttrString(type, "__module__"));
    Ref name(module ? PyObject_GetAttrString(type, "__name__") : nullptr);
    if (!name) {
        (void)resume_if_panic(PythonError::fetch());
        return false;
    }
    const std::optional<std::string> module_text = to_utf8(module.get());
    const std::optional<std::string> name_text = to_utf8(name.get());
    if (!module_text || !name_text) return false;
    // numpy 1 names the type bool_, numpy 2 bool (keeping bool_ as another name of it).
    const std::string full = *module_text + "." + *name_text;
    return full == "numpy.bool_" || full == "numpy.bool";
}

}  // namespace

bool to_bool(PyObject* obj) {
    if (is_exact(obj, &PyBool_Type)) return obj == Py_True;
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(obj));
    // numpy's boolean scalar converts through its type's __bool__.
    if (!is_numpy_bool_type(type)) raise_cannot_convert(obj, "PyBool");

    Ref method(PyObject_GetAttrString(type, "__bool__"));
    if (!method) {
        const PythonError lookup = resume_if_panic(PythonError::fetch());
        if (!PyErr_GivenExceptionMatches(lookup.type(), PyExc_AttributeError)) throw lookup;
        raise(PyExc_TypeError, "object of type '" + to_utf8(type).value_or(std::string()) +
                                   "' does not define a '__bool__' conversion");
    }
    Ref result(check(PyObject_CallFunctionObjArgs(method.get(), obj, nullptr)));
    if (!is_exact(result.get(), &PyBool_Type)) raise_cannot_convert(result.get(), "PyBool");
    return result.get() == Py_True;
}

}  // namespace tarnex::py
