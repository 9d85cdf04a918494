// The companion's functions and what they share: argument matching by parameter name, and
// taking an array of either class.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <string>
#include <utility>
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

// What a function computes from its call; its entry runs it under py::guarded, so that a
// C++ exception becomes the Python error it stands for.
using Body = PyObject* (*)(const py::CallArgs& call);

template <Body body>
PyObject* guarded_entry(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] { return body(call); });
}

// The docstring of the function `name`: its text signature, "--", then the description
// (null for a name it does not know).
const char* doc_of(const char* name);

// Appends the function `name`, computed by `body`, with its docstring.
template <Body body>
void add_function(FunctionList& table, const char* name) {
    table.push_back(function<&guarded_entry<body>>(name, doc_of(name)));
}

// Appends the functions `names`, computed by `bodies` in the same order.
template <Body... bodies>
void add_functions(FunctionList& table, const char* const (&names)[sizeof...(bodies)]) {
    std::size_t i = 0;
    (add_function<bodies>(table, names[i++]), ...);
}

// A family of functions that differ in one operation is one body template over the
// operation, its names a table indexed by it: calls add.template operator()<Op(i)>() for
// each operation i of the n, in order.
template <class Op, std::size_t n, class Add>
void for_each_op(Add&& add) {
    [&]<std::size_t... i>(std::index_sequence<i...>) {
        (add.template operator()<static_cast<Op>(i)>(), ...);
    }(std::make_index_sequence<n>());
}

// The name of operation `op` in its family's table.
template <std::size_t n, class Op>
constexpr const char* name_of(const char* const (&names)[n], Op op) {
    return names[static_cast<std::size_t>(op)];
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

// The call f(a) of a function of one array of either class: of(a's array).
template <class Of>
PyObject* of_either_array(const char* function, const py::CallArgs& call, Of&& of) {
    static const char* const params[] = {"a"};
    auto [a] = match(function, params, call);
    return with_either_array("a", a, [&](const auto& held) { return of(held.array()); });
}

// `obj` borrowed shared as a PyNDArray; anything else is the TypeError "argument '<name>': ...".
inline Held<double> held_floats(const char* name, PyObject* obj) {
    return py::argument(name, [&] { return Held<double>(obj); });
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
