// The companion's functions and what they share: argument matching by parameter name, and
// taking an array of either class.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "io/link.hpp"
#include "python/arguments.hpp"
#include "python/guard.hpp"

namespace tarnex::io {

// A companion function is written once over its call's arguments; `function<body>` gives
// the interpreter its entry in the vector calling convention where the interpreter offers
// it to stable-ABI modules (3.10 on), else in the tuple convention.
using FunctionBody = py::MethodBody;  // (module, call)
using FunctionList = std::vector<PyMethodDef>;

template <FunctionBody body>
PyMethodDef function(const char* name, const char* doc) {
    if (py::vector_calls()) {
        return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(
                          &py::vector_entry<body>)),
                py::meth_fastcall | METH_KEYWORDS, doc};
    }
    return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(
                      &py::tuple_entry<body>)),
            METH_VARARGS | METH_KEYWORDS, doc};
}

// Matches the call's arguments to the parameters `names` (positional or by keyword) with
// the interpreter's own TypeError texts for a wrong call: the first `required` must be
// passed, the others may be left out (their slots are null), and those from `positional`
// on may only be passed by keyword.
template <std::size_t N>
std::array<PyObject*, N> match(const char* function, const char* const (&names)[N],
                               const py::CallArgs& call,
                               std::size_t required = py::Signature::all,
                               std::size_t positional = py::Signature::all) {
    std::array<PyObject*, N> slots;
    py::match_arguments_inline({.class_name = nullptr, .function_name = function,
                                .names = names, .count = N, .required = required,
                                .positional = positional},
                               call, slots.data());
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

// Each group of functions appends its entries to the module's table.
void add_export_functions(FunctionList& table);
void add_import_functions(FunctionList& table);
void add_mask_functions(FunctionList& table);
void add_elementwise_functions(FunctionList& table);
void add_reduction_functions(FunctionList& table);
void add_softmax_functions(FunctionList& table);
void add_product_functions(FunctionList& table);
void add_build_functions(FunctionList& table);
void add_join_functions(FunctionList& table);
void add_text_functions(FunctionList& table);

// Registers pickling of both array classes with copyreg (once the module exists).
void register_pickling(PyObject* module);

}  // namespace tarnex::io
