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
PyObject* text_function(const char* function, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"a"};
        auto [a] = match(function, params, call);
        return with_either_array("a", a, [](auto& held) {
            const std::string text = repr ? repr_of(held.array()) : str_of(held.array());
            return py::check(PyUnicode_FromStringAndSize(text.data(),
                                                         static_cast<Py_ssize_t>(text.size())));
        });
    });
}

PyObject* array_str(PyObject*, const py::CallArgs& call) {
    return text_function<false>("array_str", call);
}

PyObject* array_repr(PyObject*, const py::CallArgs& call) {
    return text_function<true>("array_repr", call);
}

}  // namespace

void add_text_functions(FunctionList& table) {
    table.push_back(function<array_str>(
        "array_str",
        "array_str(a)\n--\n\nThe elements of a PyNDArray or PyBoolArray as text: nested brackets, "
        "elements separated by spaces, each float as its shortest repr (nan, inf), rows on "
        "lines of their own; more than 1000 elements show 3 at each end of every long axis."));
    table.push_back(function<array_repr>(
        "array_repr",
        "array_repr(a)\n--\n\nThe array as text naming its class and shape, e.g. "
        "\"PyNDArray([[1.0, 2.0],\\n           [3.0, 4.0]], shape=[2, 2])\": elements as in "
        "array_str, separated by commas."));
}

}  // namespace tarnex::io
