#include "python/python_error.hpp"

#include <cstddef>
#include <cstdio>

#include "lib/record/failure.hpp"
#include "python/panic_exception.hpp"

namespace tarnex::py {

namespace {

std::string bytes_text(PyObject* bytes, bool* ok) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes, &data, &size) != 0) {
        PyErr_Clear();
        return {};
    }
    if (ok != nullptr) *ok = true;
    return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace

std::string utf8_text(PyObject* text, bool* ok) {
    if (ok != nullptr) *ok = false;
    Ref bytes(PyUnicode_AsUTF8String(text));
    if (bytes) return bytes_text(bytes.get(), ok);
    // Only lone surrogates make the strict encoding fail.
    PyErr_Clear();
    Ref raw(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
    if (!raw) {
        PyErr_Clear();
        return {};
    }
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(raw.get(), &data, &size) != 0) {
        PyErr_Clear();
        return {};
    }
    Ref repaired(PyUnicode_DecodeUTF8(data, size, "replace"));
    if (repaired) bytes = Ref(PyUnicode_AsUTF8String(repaired.get()));
    if (!bytes) {
        PyErr_Clear();
        return {};
    }
    return bytes_text(bytes.get(), ok);
}

std::string to_utf8(PyObject* obj, bool* ok) {
    if (ok != nullptr) *ok = false;
    Ref text(PyObject_Str(obj));
    if (!text) {
        PyErr_Clear();
        return {};
    }
    return utf8_text(text.get(), ok);
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
    if (traceback != nullptr && value != nullptr) PyException_SetTraceback(value, traceback);
    return PythonError(Ref(type), Ref(value), Ref(traceback));
}

PythonError resume_if_panic(PythonError error) {
    PyObject* panic = panic_exception_type_if_created();
    if (panic == nullptr || error.type() != panic) return error;
    bool ok = false;
    std::string message = error.value() != nullptr ? to_utf8(error.value(), &ok) : std::string();
    if (!ok) message = "Unwrapped panic from Python code";
    std::fputs("--- PyO3 is resuming a panic after fetching a PanicException from Python. ---\n"
               "Python stack trace below:\n",
               stderr);
    std::fflush(stderr);
    error.restore();
    PyErr_PrintEx(0);
    fail_quietly(std::move(message));
}

void PythonError::restore() const noexcept {
    PyObject* type = type_.get();
    PyObject* value = value_.get();
    PyObject* traceback = traceback_.get();
    Py_XINCREF(type);
    Py_XINCREF(value);
    Py_XINCREF(traceback);
    PyErr_Restore(type, value, traceback);
}

void throw_python_error() { throw resume_if_panic(PythonError::fetch()); }

void raise(PyObject* type, const std::string& message) {
    const Ref text = new_text(message);
    PyErr_SetObject(type, text.get());
    throw_python_error();
}

}  // namespace tarnex::py
