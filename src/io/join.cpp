// Joining arrays (concatenate, stack) and giving one another shape (reshape), all by copy.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/functions.hpp"
#include "io/shape_argument.hpp"
#include "lib/join/join.hpp"

namespace tarnex::io {
namespace {

std::string shape_tuple(const Shape& shape) { return format_shape(shape); }

// The arrays of a sequence argument, all of one class, each borrowed shared for the call.
template <class E>
class HeldArrays {
public:
    HeldArrays(const char* name, PyObject* items, Py_ssize_t count)
        : held_(new std::optional<Held<E>>[static_cast<std::size_t>(count)]) {
        arrays_.reserve(static_cast<std::size_t>(count));
        for (Py_ssize_t i = 0; i < count; ++i) {
            PyObject* item = PyTuple_GetItem(items, i);
            if (!is_array<E>(item)) {
                py::raise(PyExc_TypeError,
                          "argument '" + std::string(name) + "': the array at index " +
                              std::to_string(i) + " is '" + py::type_qualname(item) +
                              "', not " + class_name<E>() + " like the array at index 0");
            }
            held_[static_cast<std::size_t>(i)].emplace(item);
            arrays_.push_back(&held_[static_cast<std::size_t>(i)]->array());
        }
    }
    const NDArray<E>* const* data() const noexcept { return arrays_.data(); }
    std::size_t size() const noexcept { return arrays_.size(); }
    const NDArray<E>& operator[](std::size_t i) const noexcept { return *arrays_[i]; }

private:
    std::unique_ptr<std::optional<Held<E>>[]> held_;
    std::vector<const NDArray<E>*> arrays_;
};

// The items of the `arrays` argument, taken at once into a tuple (so the sequence cannot
// change while they are read), at least one of them.
py::Ref array_items(const char* name, PyObject* obj, const char* verb) {
    if (!PyList_Check(obj) && !PyTuple_Check(obj) &&
        (PyUnicode_Check(obj) || !PySequence_Check(obj) || is_array<double>(obj) ||
         is_array<Bool>(obj))) {
        py::raise(PyExc_TypeError, "argument '" + std::string(name) +
                                       "': expected a sequence of arrays, not '" +
                                       py::type_qualname(obj) + "'");
    }
    py::Ref items(py::check(PySequence_Tuple(obj)));
    if (PyTuple_Size(items.get()) == 0) {
        value_error(name, std::string("need at least one array to ") + verb);
    }
    return items;
}

// Calls body(held arrays) with the items as PyNDArrays or as PyBoolArrays, as the first is.
template <class Body>
PyObject* with_arrays(const char* name, PyObject* items, Body&& body) {
    const Py_ssize_t n = PyTuple_Size(items);
    PyObject* first = PyTuple_GetItem(items, 0);
    if (is_array<Bool>(first)) {
        HeldArrays<Bool> held(name, items, n);
        return body(held);
    }
    if (!is_array<double>(first)) {
        py::raise(PyExc_TypeError, "argument '" + std::string(name) +
                                       "': the array at index 0 is '" + py::type_qualname(first) +
                                       "', not PyNDArray or PyBoolArray");
    }
    HeldArrays<double> held(name, items, n);
    return body(held);
}

template <class E>
PyObject* concatenated(const HeldArrays<E>& arrays, PyObject* axis_arg) {
    if (axis_arg == Py_None) return wrap(concatenate_flat(arrays.data(), arrays.size()));
    const Shape& first = arrays[0].shape();
    if (first.empty()) value_error("arrays", "zero-dimensional arrays cannot be concatenated");
    const std::size_t axis = axis_arg == nullptr ? 0 : to_axis("axis", axis_arg, first.size());
    std::uint64_t extent = 0;
    for (std::size_t k = 0; k < arrays.size(); ++k) {
        const Shape& s = arrays[k].shape();
        if (s.size() != first.size()) {
            value_error("arrays", "all the input arrays must have same number of dimensions, but "
                                  "the array at index 0 has " + std::to_string(first.size()) +
                                  " dimension(s) and the array at index " + std::to_string(k) +
                                  " has " + std::to_string(s.size()) + " dimension(s)");
        }
        for (std::size_t d = 0; d < s.size(); ++d) {
            if (d != axis && s[d] != first[d]) {
                value_error("arrays",
                            "all the input array dimensions except for the concatenation axis "
                            "must match exactly, but along dimension " + std::to_string(d) +
                                ", the array at index 0 has size " + std::to_string(first[d]) +
                                " and the array at index " + std::to_string(k) + " has size " +
                                std::to_string(s[d]));
            }
        }
        if (__builtin_add_overflow(extent, s[axis], &extent)) {
            py::raise(PyExc_OverflowError, "argument 'arrays': the joined extent does not fit "
                                           "in 64 bits");
        }
    }
    Shape shape = first;
    shape[axis] = extent;
    checked_count("arrays", shape, sizeof(E));
    return wrap(concatenate(arrays.data(), arrays.size(), axis));
}

template <class E>
PyObject* stacked(const HeldArrays<E>& arrays, PyObject* axis_arg) {
    const Shape& first = arrays[0].shape();
    const std::size_t axis = axis_arg == nullptr ? 0 : to_axis("axis", axis_arg, first.size() + 1);
    for (std::size_t k = 1; k < arrays.size(); ++k) {
        if (arrays[k].shape() != first) {
            value_error("arrays", "all input arrays must have the same shape, but the array at "
                                  "index 0 has shape " + shape_tuple(first) +
                                  " and the array at index " + std::to_string(k) +
                                  " has shape " + shape_tuple(arrays[k].shape()));
        }
    }
    Shape shape = first;
    shape.push_back(arrays.size());
    checked_count("arrays", shape, sizeof(E));
    return wrap(stack(arrays.data(), arrays.size(), axis));
}

// concatenate(arrays, axis=0) and stack(arrays, axis=0).
template <bool stacking>
PyObject* join_function(const py::CallArgs& call) {
    constexpr const char* function = stacking ? "stack" : "concatenate";
    static const char* const params[] = {"arrays", "axis"};
    auto [arrays_arg, axis_arg] = match(function, params, call, 1);
    const py::Ref items = array_items("arrays", arrays_arg, function);
    return with_arrays("arrays", items.get(), [&](const auto& held) {
        return stacking ? stacked(held, axis_arg) : concatenated(held, axis_arg);
    });
}

// The shape a reshape gives: the one unknown extent is the count divided by the others.
Shape reshape_target(const Shape& from, std::uint64_t count, ShapeArgument target) {
    const auto fail = [&] {
        std::string text = "(";
        for (std::size_t d = 0; d < target.extents.size(); ++d) {
            if (d != 0) text += ", ";
            text += target.unknown == d ? "-1" : std::to_string(target.extents[d]);
        }
        text += target.extents.size() == 1 ? ",)" : ")";
        value_error("shape", "cannot reshape array of shape " + format_shape(from) + " (size " +
                                 std::to_string(count) + ") into shape " + text);
    };
    if (target.unknown) {
        Shape known = target.extents;
        known[*target.unknown] = 1;
        const auto rest = extent_product(known);
        if (!rest || *rest == 0 || count % *rest != 0) fail();
        target.extents[*target.unknown] = count / *rest;
        return std::move(target.extents);
    }
    const auto total = extent_product(target.extents);
    if (!total || *total != count) fail();
    return std::move(target.extents);
}

PyObject* reshape_function(const py::CallArgs& call) {
    static const char* const params[] = {"a", "shape"};
    auto [a_arg, shape_arg] = match("reshape", params, call);
    return with_either_array("a", a_arg, [&](auto& held) {
        const auto& array = held.array();
        Shape shape = reshape_target(array.shape(), array.size(),
                                     to_shape("shape", shape_arg, true));
        return wrap(reshaped(array, std::move(shape)));
    });
}

}  // namespace

void add_join_functions(FunctionList& table) {
    add_functions<join_function<false>, join_function<true>, reshape_function>(
        table, {"concatenate", "stack", "reshape"});
}

}  // namespace tarnex::io
