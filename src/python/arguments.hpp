// Matching a call's positional and keyword arguments to a parameter list, for both of the
// interpreter's calling conventions.
#pragma once

#include <cstddef>

#include "python/python.hpp"

namespace tarnex::py {

// A parameter list: the first `required` parameters must be passed, the others may be left
// out (their slots stay null); the first `positional` may be passed by position or keyword,
// the rest only by keyword. By default every parameter is both.
struct Signature {
    static constexpr std::size_t all = static_cast<std::size_t>(-1);
    const char* class_name;        // "PyNDArray", or null for a module function
    const char* function_name;     // "gather", or "__new__" for a constructor
    const char* const* names;      // parameter names in order
    std::size_t count;
    std::size_t required = all;
    std::size_t positional = all;
};

// METH_FASTCALL, the flag of the vector calling convention: positional arguments as a C
// array with a count, keyword values after them, their names in a tuple in the order of the
// call. The interpreter has used this value since 3.7, and from 3.10 on guarantees it, with
// METH_KEYWORDS, to stable-ABI modules; this module is built against the 3.8 limited API,
// whose headers leave both the flag and the function type out, so they are spelled here
// and used only on an interpreter that is 3.10 or later (see vector_calls()).
inline constexpr int meth_fastcall = 0x0080;
using VectorMethod = PyObject* (*)(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                   PyObject* kwnames);

// True when the running interpreter is 3.10 or later, so methods may be registered with
// METH_FASTCALL | METH_KEYWORDS. Read once, from Py_GetVersion.
bool vector_calls() noexcept;

// The arguments of one call in either convention: a positional tuple and a keyword dict
// (either may be null), or a vector of positional arguments followed by the keyword
// values, with the keyword names in a tuple (null without keywords).
class CallArgs {
public:
    static CallArgs from_tuple(PyObject* args, PyObject* kwargs) noexcept {
        return CallArgs(false, args, nullptr, args != nullptr ? PyTuple_Size(args) : 0, kwargs);
    }
    static CallArgs from_vector(PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) noexcept {
        return CallArgs(true, nullptr, args, nargs, kwnames);
    }

    Py_ssize_t positional_count() const noexcept { return count_; }
    bool has_keywords() const noexcept { return keywords_ != nullptr; }
    PyObject* positional(Py_ssize_t i) const noexcept {
        return is_vector_ ? vector_[i] : PyTuple_GetItem(tuple_, i);
    }

    // Calls visit(name, value) for every keyword argument, in the call's order (a dict
    // keeps the order its keys were inserted in, which for a call is the order they were
    // passed; a names tuple is in that order by construction).
    template <class Visit>
    void each_keyword(Visit&& visit) const {
        if (keywords_ == nullptr) return;
        if (!is_vector_) {
            Py_ssize_t pos = 0;
            PyObject *key = nullptr, *value = nullptr;
            while (PyDict_Next(keywords_, &pos, &key, &value)) visit(key, value);
            return;
        }
        const Py_ssize_t n = PyTuple_Size(keywords_);
        for (Py_ssize_t i = 0; i < n; ++i) visit(PyTuple_GetItem(keywords_, i), vector_[count_ + i]);
    }

private:
    CallArgs(bool is_vector, PyObject* tuple, PyObject* const* vector, Py_ssize_t count,
             PyObject* keywords) noexcept
        : is_vector_(is_vector), tuple_(tuple), vector_(vector), count_(count),
          keywords_(keywords) {}

    bool is_vector_;
    PyObject* tuple_;             // tuple convention: the positional tuple
    PyObject* const* vector_;     // vector convention: positional, then keyword values
                                  // (null is allowed when there are none)
    Py_ssize_t count_;            // positional arguments
    PyObject* keywords_;          // the keyword dict, or the tuple of keyword names
};

// Fills slots[0..count) with borrowed references to the objects passed for each
// parameter, or throws a TypeError with the interpreter-style message.
void match_arguments(const Signature& signature, const CallArgs& call, PyObject** slots);

// The same, with the usual call (every parameter passed by position, no keywords) done
// inline: it cannot fail and has no message to make.
inline void match_arguments_inline(const Signature& signature, const CallArgs& call,
                                   PyObject** slots) {
    if (!call.has_keywords() && signature.positional >= signature.count &&
        call.positional_count() == static_cast<Py_ssize_t>(signature.count)) {
        for (std::size_t i = 0; i < signature.count; ++i) {
            slots[i] = call.positional(static_cast<Py_ssize_t>(i));
        }
        return;
    }
    match_arguments(signature, call, slots);
}

// A method or module function with parameters is written once, taking its arguments as
// CallArgs; these give the interpreter its entry point in either convention.
using MethodBody = PyObject* (*)(PyObject* self, const CallArgs& call);

template <MethodBody body>
PyObject* tuple_entry(PyObject* self, PyObject* args, PyObject* kwargs) {
    return body(self, CallArgs::from_tuple(args, kwargs));
}

template <MethodBody body>
PyObject* vector_entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
    return body(self, CallArgs::from_vector(args, nargs, kwnames));
}

}  // namespace tarnex::py
