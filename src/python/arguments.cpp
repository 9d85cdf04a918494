#include "python/arguments.hpp"

#include <string>

#include "python/python_error.hpp"

namespace tarnex::py {
namespace {

std::string full_name(const ParamSpec& spec) {
    return std::string(spec.class_name) + "." + spec.function_name + "()";
}

[[noreturn]] void too_many_positional(const ParamSpec& spec, Py_ssize_t given) {
    raise(PyExc_TypeError, full_name(spec) + " takes " + std::to_string(spec.count) +
                               " positional arguments but " + std::to_string(given) +
                               (given == 1 ? " was" : " were") + " given");
}

[[noreturn]] void unexpected_keyword(const ParamSpec& spec, PyObject* key) {
    // Calls from Python pass only str keys; the C API lets anything through.
    const std::string shown = PyUnicode_Check(key) ? utf8_text(key) : to_utf8(key);
    raise(PyExc_TypeError,
          full_name(spec) + " got an unexpected keyword argument '" + shown + "'");
}

[[noreturn]] void missing(const ParamSpec& spec, PyObject** slots) {
    std::size_t absent = 0;
    for (std::size_t i = 0; i < spec.count; ++i) absent += slots[i] == nullptr;
    std::string list;
    std::size_t listed = 0;
    for (std::size_t i = 0; i < spec.count; ++i) {
        if (slots[i] != nullptr) continue;
        ++listed;
        if (listed > 1) {
            if (absent > 2) list += ",";
            list += listed == absent ? " and " : " ";
        }
        list += "'" + std::string(spec.names[i]) + "'";
    }
    raise(PyExc_TypeError, full_name(spec) + " missing " + std::to_string(absent) +
                               " required positional " + (absent == 1 ? "argument" : "arguments") +
                               ": " + list);
}

}  // namespace

void match_arguments(const ParamSpec& spec, PyObject* args, PyObject* kwargs, PyObject** slots) {
    for (std::size_t i = 0; i < spec.count; ++i) slots[i] = nullptr;
    const Py_ssize_t given = args != nullptr ? PyTuple_Size(args) : 0;
    if (given > static_cast<Py_ssize_t>(spec.count)) too_many_positional(spec, given);
    for (Py_ssize_t i = 0; i < given; ++i) slots[i] = PyTuple_GetItem(args, i);

    if (kwargs != nullptr) {
        Py_ssize_t pos = 0;
        PyObject *key = nullptr, *value = nullptr;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            std::size_t found = spec.count;
            if (PyUnicode_Check(key)) {
                for (std::size_t i = 0; i < spec.count; ++i) {
                    if (PyUnicode_CompareWithASCIIString(key, spec.names[i]) == 0) {
                        found = i;
                        break;
                    }
                }
            }
            if (found == spec.count) unexpected_keyword(spec, key);
            if (slots[found] != nullptr) {
                raise(PyExc_TypeError, full_name(spec) + " got multiple values for argument '" +
                                           spec.names[found] + "'");
            }
            slots[found] = value;
        }
    }
    for (std::size_t i = 0; i < spec.count; ++i) {
        if (slots[i] == nullptr) missing(spec, slots);
    }
}

}  // namespace tarnex::py
