// The exception type every failure of the array core becomes in Python.
#pragma once

#include <string>

#include "python/python.hpp"

namespace tarnex::py {

// The type, created on first need and kept for the life of the process. Null if it was
// never created (then no instance of it can exist either).
PyObject* panic_exception_type_if_created() noexcept;

// Sets a new PanicException carrying `message` as the current exception.
void set_panic_exception(const std::string& message) noexcept;

}  // namespace tarnex::py
