// The one way the binding includes the interpreter's headers: stable ABI only.
#pragma once

#ifndef Py_LIMITED_API
#error "the binding must be compiled against the limited API (Py_LIMITED_API)"
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>
