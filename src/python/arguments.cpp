#include "python/arguments.hpp"

#include <string>

#include "python/python_error.hpp"

namespace tarnex::py {
namespace {

std::string full_name(const Signature& signature) {
    const std::string function = std::string(signature.function_name) + "()";
    return signature.class_name != nullptr ? signature.class_name + ("." + function) : function;
}

std::size_t required_count(const Signature& signature) {
    return signature.required < signature.count ? signature.required : signature.count;
}

std::size_t positional_count(const Signature& signature) {
    return signature.positional < signature.count ? signature.positional : signature.count;
}

// The interpreter's text: "takes 2 positional arguments" or "takes from 1 to 3 positional
// arguments" when some of them may be left out.
[[noreturn]] void too_many_positional(const Signature& signature, Py_ssize_t given) {
    const std::size_t most = positional_count(signature);
    const std::size_t least = required_count(signature) < most ? required_count(signature) : most;
    const std::string takes = least == most ? std::to_string(most)
                                            : "from " + std::to_string(least) + " to " +
                                                  std::to_string(most);
    raise(PyExc_TypeError, full_name(signature) + " takes " + takes +
                               " positional arguments but " + std::to_string(given) +
                               (given == 1 ? " was" : " were") + " given");
}

[[noreturn]] void unexpected_keyword(const Signature& signature, PyObject* key) {
    // Calls from Python pass only str keys; the C API lets anything through.
    const std::string shown =
        (PyUnicode_Check(key) ? utf8_text(key) : to_utf8(key)).value_or(std::string());
    raise(PyExc_TypeError,
          full_name(signature) + " got an unexpected keyword argument '" + shown + "'");
}

[[noreturn]] void missing(const Signature& signature, PyObject** slots) {
    const std::size_t required = required_count(signature);
    std::size_t absent = 0;
    for (std::size_t i = 0; i < required; ++i) absent += slots[i] == nullptr;
    std::string list;
    std::size_t listed = 0;
    for (std::size_t i = 0; i < required; ++i) {
        if (slots[i] != nullptr) continue;
        ++listed;
        if (listed > 1) {
            if (absent > 2) list += ",";
            list += listed == absent ? " and " : " ";
        }
        list += "'" + std::string(signature.names[i]) + "'";
    }
    raise(PyExc_TypeError, full_name(signature) + " missing " + std::to_string(absent) +
                               " required positional " + (absent == 1 ? "argument" : "arguments") +
                               ": " + list);
}

}  // namespace

bool vector_calls() noexcept {
    // "3.12.1 (main, ...)": major and minor are the leading digits around the first dot.
    static const bool supported = [] {
        const char* text = Py_GetVersion();
        unsigned major = 0, minor = 0;
        while (*text >= '0' && *text <= '9') major = major * 10 + static_cast<unsigned>(*text++ - '0');
        if (*text++ != '.') return false;
        while (*text >= '0' && *text <= '9') minor = minor * 10 + static_cast<unsigned>(*text++ - '0');
        return major > 3 || (major == 3 && minor >= 10);
    }();
    return supported;
}

void match_arguments(const Signature& signature, const CallArgs& call, PyObject** slots) {
    for (std::size_t i = 0; i < signature.count; ++i) slots[i] = nullptr;
    const Py_ssize_t given = call.positional_count();
    if (given > static_cast<Py_ssize_t>(positional_count(signature))) {
        too_many_positional(signature, given);
    }
    for (Py_ssize_t i = 0; i < given; ++i) slots[i] = call.positional(i);

    call.each_keyword([&](PyObject* key, PyObject* value) {
        std::size_t found = signature.count;
        if (PyUnicode_Check(key)) {
            for (std::size_t i = 0; i < signature.count; ++i) {
                if (PyUnicode_CompareWithASCIIString(key, signature.names[i]) == 0) {
                    found = i;
                    break;
                }
            }
        }
        if (found == signature.count) unexpected_keyword(signature, key);
        if (slots[found] != nullptr) {
            raise(PyExc_TypeError, full_name(signature) + " got multiple values for argument '" +
                                       signature.names[found] + "'");
        }
        slots[found] = value;
    });
    for (std::size_t i = 0; i < required_count(signature); ++i) {
        if (slots[i] == nullptr) missing(signature, slots);
    }
}

}  // namespace tarnex::py
