// Masks without Python loops: comparisons, the NaN test and boolean logic.
#include <string>

#include "io/functions.hpp"
#include "lib/compare/compare.hpp"

namespace tarnex::io {
namespace {

// ValueError naming `second` when its shape is not that of `first`, before anything is made.
template <class E>
void require_same_shape(const char* first, const NDArray<E>& a, const char* second,
                        const NDArray<E>& b) {
    if (a.shape() != b.shape()) {
        value_error(second, "shape " + format_shape(b.shape()) + " does not match shape " +
                                format_shape(a.shape()) + " of argument '" + first + "'");
    }
}

// a op b for a PyNDArray a and b a PyNDArray of a's shape or anything that converts to a
// float.
PyObject* comparison(const char* function, Comparison op, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"a", "b"};
        auto [a_arg, b_arg] = match(function, params, call);
        Held<double> a = py::argument("a", [&] { return Held<double>(a_arg); });
        if (is_array<double>(b_arg)) {
            Held<double> b = py::argument("b", [&] { return Held<double>(b_arg); });
            require_same_shape("a", a.array(), "b", b.array());
            return wrap(compare(a.array(), b.array(), op));
        }
        const double b = py::argument("b", [&] { return py::to_float(b_arg); });
        return wrap(compare(a.array(), b, op));
    });
}

template <BoolArray (*operation)(const BoolArray&, const BoolArray&)>
PyObject* logic(const char* function, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"m1", "m2"};
        auto [m1_arg, m2_arg] = match(function, params, call);
        Held<Bool> m1 = py::argument("m1", [&] { return Held<Bool>(m1_arg); });
        Held<Bool> m2 = py::argument("m2", [&] { return Held<Bool>(m2_arg); });
        require_same_shape("m1", m1.array(), "m2", m2.array());
        return wrap(operation(m1.array(), m2.array()));
    });
}


PyObject* greater(PyObject*, const py::CallArgs& call) {
    return comparison("greater", Comparison::greater, call);
}
PyObject* greater_equal(PyObject*, const py::CallArgs& call) {
    return comparison("greater_equal", Comparison::greater_equal, call);
}
PyObject* less(PyObject*, const py::CallArgs& call) {
    return comparison("less", Comparison::less, call);
}
PyObject* less_equal(PyObject*, const py::CallArgs& call) {
    return comparison("less_equal", Comparison::less_equal, call);
}
PyObject* equal(PyObject*, const py::CallArgs& call) {
    return comparison("equal", Comparison::equal, call);
}
PyObject* not_equal(PyObject*, const py::CallArgs& call) {
    return comparison("not_equal", Comparison::not_equal, call);
}

PyObject* isnan(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"a"};
        auto [a_arg] = match("isnan", params, call);
        Held<double> a = py::argument("a", [&] { return Held<double>(a_arg); });
        return wrap(tarnex::isnan(a.array()));
    });
}

PyObject* logical_not(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"m"};
        auto [m_arg] = match("logical_not", params, call);
        Held<Bool> m = py::argument("m", [&] { return Held<Bool>(m_arg); });
        return wrap(tarnex::logical_not(m.array()));
    });
}

PyObject* logical_and(PyObject*, const py::CallArgs& call) {
    return logic<tarnex::logical_and>("logical_and", call);
}

PyObject* logical_or(PyObject*, const py::CallArgs& call) {
    return logic<tarnex::logical_or>("logical_or", call);
}

}  // namespace

void add_mask_functions(FunctionList& table) {
    table.push_back(function<greater>(
        "greater",
        "greater(a, b)\n--\n\nA PyBoolArray, true where a > b (b a number or a PyNDArray of a's "
        "shape)."));
    table.push_back(function<greater_equal>(
        "greater_equal",
        "greater_equal(a, b)\n--\n\nA PyBoolArray, true where a >= b."));
    table.push_back(function<less>(
        "less",
        "less(a, b)\n--\n\nA PyBoolArray, true where a < b."));
    table.push_back(function<less_equal>(
        "less_equal",
        "less_equal(a, b)\n--\n\nA PyBoolArray, true where a <= b."));
    table.push_back(function<equal>(
        "equal",
        "equal(a, b)\n--\n\nA PyBoolArray, true where a == b (-0.0 equals 0.0; NaN equals "
        "nothing)."));
    table.push_back(function<not_equal>(
        "not_equal",
        "not_equal(a, b)\n--\n\nA PyBoolArray, true where a != b (always where either is NaN)."));
    table.push_back(function<isnan>(
        "isnan",
        "isnan(a)\n--\n\nA PyBoolArray, true where a is NaN."));
    table.push_back(function<logical_not>(
        "logical_not",
        "logical_not(m)\n--\n\nA PyBoolArray, true where m is false."));
    table.push_back(function<logical_and>(
        "logical_and",
        "logical_and(m1, m2)\n--\n\nA PyBoolArray, true where both masks are (same shape)."));
    table.push_back(function<logical_or>(
        "logical_or",
        "logical_or(m1, m2)\n--\n\nA PyBoolArray, true where either mask is (same shape)."));
}

}  // namespace tarnex::io
