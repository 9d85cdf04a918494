#include "python/python_error.hpp"

#include <cstddef>
#include <cstdio>

#include "lib/record/failure.hpp"
#include "python/panic_exception.hpp"

namespace tarnex::py {

namespace {

std::optional<std::string> bytes_text(PyObject* bytes) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes, &data, &size) != 0) {
        PyErr_Clear();
        return std::nullopt;
    }
    return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace

std::optional<std::string> utf8_text(PyObject* text) {
    Ref bytes(PyUnicode_AsUTF8String(text));
    if (bytes) return bytes_text(bytes.get());
    // Only lone surrogates make the strict encoding fail.
    PyErr_Clear();
    Ref raw(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
    if (!raw) {
        PyErr_Clear();
        return std::nullopt;
    }
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(raw.get(), &data, &size) != 0) {
        PyErr_Clear();
        return std::nullopt;
    }
    Ref repaired(PyUnicode_DecodeUTF8(data, size, "replace"));
    if (repaired) bytes = Ref(PyUnicode_AsUTF8String(repaired.get()));
    if (!bytes) {
        PyErr_Clear();
        return std::nullopt;
    }
    return bytes_text(bytes.get());
}

std::optional<std::string> to_utf8(PyObject* obj) {
    Ref text(PyObject_Str(obj));
    if (!text) {
        PyErr_Clear();
        return std::nullopt;
    }
    return utf8_text(text.get());
}

Ref new_text(const std::string& text) {
    return Ref(check(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                          "replace")));
}

PythonError PythonError::fetch() {
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    if (type == nullptr) {
        Py_XDECREF(value);
        Py_XDECREF(traceback);
        PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
        PyErr_Fetch(&type, &value, &traceback);
    }
    PyErr_NormalizeException(&type, &value, &traceback);
    if (traceback != nullptr) PyException_SetTraceback(value, traceback);
    Py_DECREF(type);
    Py_XDECREF(traceback);
    return PythonError(Ref(value));
}

PythonError resume_if_panic(PythonError error) {
    PyObject* panic = own_panic_exception_type();
    if (panic == nullptr || error.type() != panic) return error;
    std::string message = to_utf8(error.value()).value_or("Unwrapped panic from Python code");
    std::fputs("--- PyO3 is resuming a panic after fetching a PanicException from Python. ---\n"
               "Python stack trace below:\n",
               stderr);
    std::fflush(stderr);
    error.restore();
    PyErr_PrintEx(0);
    fail_quietly(std::move(message));
}

void PythonError::restore() const noexcept {
    PyObject* type = this->type();
    Py_INCREF(type);
    Py_INCREF(exception_.get());
    PyErr_Restore(type, exception_.get(), PyException_GetTraceback(exception_.get()));
}

void throw_python_error() { throw resume_if_panic(PythonError::fetch()); }

void raise(PyObject* type, const std::string& message) {
    const Ref text = new_text(message);
    PyErr_SetObject(type, text.get());
    throw_python_error();
}

}  // namespace tarnex::py
