// The exception type every failure of the array core becomes in Python.
#pragma once

#include <string>

#include "python/python.hpp"

namespace tarnex::py {

// The class, pyo3_runtime.PanicException. tarnex creates it on first need and keeps it for
// the life of the process; a module that raises tarnex's class instead (the companion) is
// given it at import by adopt_panic_exception_type. Null with the error set when it cannot
// be created.
PyObject* panic_exception_type() noexcept;

// The class when this module created it itself, else null: only then is a PanicException
// fetched from Python code a failure of this module coming back (see resume_if_panic).
PyObject* own_panic_exception_type() noexcept;

// Makes `type` (a strong reference, kept for the life of the process) the class this module
// raises its core failures as, in place of one of its own.
void adopt_panic_exception_type(PyObject* type) noexcept;

// Sets a new PanicException carrying `message` as the current exception.
void set_panic_exception(const std::string& message) noexcept;

}  // namespace tarnex::py
