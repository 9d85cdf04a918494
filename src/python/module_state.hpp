// What tarnex keeps in its module state for the companion module of the same build. Module
// state is reachable only from C (PyModule_GetState), so tarnex's Python surface stays as it
// is; the companion reads it only once it has made sure tarnex is its build.
#pragma once

#include "python/python.hpp"

namespace tarnex::py {

struct ModuleState {
    // tarnex's PanicException class (a borrowed reference, created on the first call), so
    // that the companion raises the one class for core failures; null with the error set
    // when it cannot be created.
    PyObject* (*panic_exception_type)() noexcept;
};

}  // namespace tarnex::py
