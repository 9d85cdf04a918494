// The failure guard around every Python entry point: the body's result, or NULL with a
// Python exception set. No C++ exception crosses into the interpreter.
#pragma once

#include <new>
#include <string>

#include "lib/record/failure.hpp"
#include "python/panic_exception.hpp"
#include "python/python_error.hpp"

namespace tarnex::py {

// Sets the Python exception for a C++ exception caught at the boundary.
void set_error_from_current_exception() noexcept;

template <class Body>
PyObject* guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        set_error_from_current_exception();
        return nullptr;
    }
}

}  // namespace tarnex::py
