// The companion's functions and what they share: argument matching by parameter name, and
// taking an array of either class.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "io/link.hpp"
#include "python/guard.hpp"

namespace tarnex::io {

// Matches the call's arguments to the required parameters `names` (positional or by
// keyword), with the interpreter's own TypeError texts for a wrong call.
template <std::size_t N>
std::array<PyObject*, N> match(const char* function, const char* const (&names)[N],
                               PyObject* args, PyObject* kwargs) {
    static_assert(N == 1 || N == 2);
    std::array<PyObject*, N> slots{};
    const std::string format = std::string(N, 'O') + ":" + function;
    char* keywords[N + 1] = {};
    for (std::size_t i = 0; i < N; ++i) keywords[i] = const_cast<char*>(names[i]);
    int ok;
    if constexpr (N == 1) {
        ok = PyArg_ParseTupleAndKeywords(args, kwargs, format.c_str(), keywords, &slots[0]);
    } else {
        ok = PyArg_ParseTupleAndKeywords(args, kwargs, format.c_str(), keywords, &slots[0],
                                         &slots[1]);
    }
    if (!ok) py::throw_python_error();
    return slots;
}

// Calls body(held) with `obj` borrowed shared as a PyNDArray or a PyBoolArray, whichever
// it is; anything else is the TypeError "argument '<name>': ...".
template <class Body>
PyObject* with_either_array(const char* name, PyObject* obj, Body&& body) {
    if (is_array<Bool>(obj)) {
        Held<Bool> held = py::argument(name, [&] { return Held<Bool>(obj); });
        return body(held);
    }
    Held<double> held = py::argument(name, [&] {
        if (!is_array<double>(obj)) py::raise_cannot_convert(obj, "PyNDArray or PyBoolArray");
        return Held<double>(obj);
    });
    return body(held);
}

// ValueError "argument '<name>': <message>".
[[noreturn]] void value_error(const char* name, const std::string& message);

// Every function of the module, METH_VARARGS | METH_KEYWORDS unless noted.
PyObject* to_list(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* to_bytes(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* to_numpy(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* from_bytes(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* bools_from_bytes(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* greater(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* greater_equal(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* less(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* less_equal(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* equal(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* not_equal(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* isnan(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* logical_not(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* logical_and(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* logical_or(PyObject*, PyObject* args, PyObject* kwargs);
PyObject* instruction_set(PyObject*, PyObject*);  // METH_NOARGS
PyObject* build_info(PyObject*, PyObject*);       // METH_NOARGS

}  // namespace tarnex::io
