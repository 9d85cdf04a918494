// The shape of conversion errors: a type's name for a message, "cannot be converted", and
// the parameter's name put in front of a conversion's TypeError.
#include "python/convert.hpp"

namespace tarnex::py {

std::string type_qualname(PyObject* obj) {
    Ref name(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__qualname__"));
    std::optional<std::string> text;
    if (name && PyUnicode_Check(name.get())) text = utf8_text(name.get());
    if (!text) {
        PyErr_Clear();
        return "<failed to extract type name>";
    }
    return *std::move(text);
}

void raise_cannot_convert(PyObject* obj, const char* target) {
    raise(PyExc_TypeError,
          "'" + type_qualname(obj) + "' object cannot be converted to '" + target + "'");
}

void rethrow_for_argument(const char* name, const PythonError& error) {
    if (error.type() != PyExc_TypeError) throw error;
    // A failing str() of the error is reported instead of it.
    Ref text(check(PyObject_Str(error.value())));
    const Ref message = new_text("argument '" + std::string(name) +
                                 "': " + utf8_text(text.get()).value_or(std::string()));
    Ref wrapped(check(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr)));
    // Set even when there is no cause (null sets None): like `raise ... from`, this also
    // marks the exception's context as suppressed.
    PyException_SetCause(wrapped.get(), PyException_GetCause(error.value()));  // steals
    throw PythonError(std::move(wrapped));
}

}  // namespace tarnex::py
