#include "python/panic_exception.hpp"

#include <cstdio>
#include <cstdlib>

namespace tarnex::py {
namespace {

PyObject* panic_type = nullptr;
bool created_here = false;

constexpr const char panic_doc[] =
    "\n"
    "The exception raised when native code called from Python fails.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it normally propagates all the way up the stack and ends the Python\n"
    "interpreter.\n";

[[noreturn]] void abort_at_boundary() {
    std::fputs("uncaught panic at ffi boundary\n", stderr);
    std::fflush(stderr);
    std::abort();
}

}  // namespace

PyObject* panic_exception_type() noexcept {
    if (panic_type == nullptr) {
        panic_type = PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", panic_doc,
                                               PyExc_BaseException, nullptr);
        created_here = panic_type != nullptr;
    }
    return panic_type;
}

PyObject* own_panic_exception_type() noexcept { return created_here ? panic_type : nullptr; }

void adopt_panic_exception_type(PyObject* type) noexcept {
    panic_type = type;
    created_here = false;
}

void set_panic_exception(const std::string& message) noexcept {
    PyObject* type = panic_exception_type();
    if (type == nullptr) abort_at_boundary();
    PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()),
                                          "replace");
    if (text == nullptr) abort_at_boundary();
    PyErr_SetObject(type, text);
    Py_DECREF(text);
}

}  // namespace tarnex::py
