// Arrays as text: array_str (the elements alone) and array_repr (the class, the elements and
// the shape).
#include <string>

#include "io/functions.hpp"
#include "lib/text/array_text.hpp"

namespace tarnex::io {
namespace {

template <class E>
std::string str_of(const NDArray<E>& array) {
    return array_text(array, {.separator = " ", .prefix_width = 0, .suffix_width = 0});
}

// "PyNDArray([[1.0, 2.0],\n           [3.0, 4.0]], shape=[2, 2])": the shape goes on a line
// of its own when the last line has no room for it.
template <class E>
std::string repr_of(const NDArray<E>& array) {
    const std::string prefix = std::string(class_name<E>()) + "(";
    std::string out = prefix;
    out += array_text(array, {.separator = ", ", .prefix_width = prefix.size(), .suffix_width = 1});
    const std::string shape = "shape=" + format_shape(array.shape()) + ")";
    const std::size_t line_start = out.rfind('\n');
    const std::size_t last_line = out.size() - (line_start == std::string::npos ? 0 : line_start + 1);
    if (last_line + 2 + shape.size() > text_line_width) {
        out += ",\n";
        out.append(prefix.size(), ' ');
    } else {
        out += ", ";
    }
    out += shape;
    return out;
}

template <bool repr>
PyObject* text_function(const py::CallArgs& call) {
    return of_either_array(repr ? "array_repr" : "array_str", call, [](const auto& array) {
        const std::string text = repr ? repr_of(array) : str_of(array);
        return py::check(
            PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
    });
}

}  // namespace

void add_text_functions(FunctionList& table) {
    add_functions<text_function<false>, text_function<true>>(table, {"array_str", "array_repr"});
}

}  // namespace tarnex::io
