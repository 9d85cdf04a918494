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
PyObject* comparison(const char* function, Comparison op, PyObject* args, PyObject* kwargs) {
    return py::guarded([&] {
        static const char* const params[] = {"a", "b"};
        auto [a_arg, b_arg] = match(function, params, args, kwargs);
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
PyObject* logic(const char* function, PyObject* args, PyObject* kwargs) {
    return py::guarded([&] {
        static const char* const params[] = {"m1", "m2"};
        auto [m1_arg, m2_arg] = match(function, params, args, kwargs);
        Held<Bool> m1 = py::argument("m1", [&] { return Held<Bool>(m1_arg); });
        Held<Bool> m2 = py::argument("m2", [&] { return Held<Bool>(m2_arg); });
        require_same_shape("m1", m1.array(), "m2", m2.array());
        return wrap(operation(m1.array(), m2.array()));
    });
}

}  // namespace

PyObject* greater(PyObject*, PyObject* args, PyObject* kwargs) {
    return comparison("greater", Comparison::greater, args, kwargs);
}
PyObject* greater_equal(PyObject*, PyObject* args, PyObject* kwargs) {
    return comparison("greater_equal", Comparison::greater_equal, args, kwargs);
}
PyObject* less(PyObject*, PyObject* args, PyObject* kwargs) {
    return comparison("less", Comparison::less, args, kwargs);
}
PyObject* less_equal(PyObject*, PyObject* args, PyObject* kwargs) {
    return comparison("less_equal", Comparison::less_equal, args, kwargs);
}
PyObject* equal(PyObject*, PyObject* args, PyObject* kwargs) {
    return comparison("equal", Comparison::equal, args, kwargs);
}
PyObject* not_equal(PyObject*, PyObject* args, PyObject* kwargs) {
    return comparison("not_equal", Comparison::not_equal, args, kwargs);
}

PyObject* isnan(PyObject*, PyObject* args, PyObject* kwargs) {
    return py::guarded([&] {
        static const char* const params[] = {"a"};
        auto [a_arg] = match("isnan", params, args, kwargs);
        Held<double> a = py::argument("a", [&] { return Held<double>(a_arg); });
        return wrap(tarnex::isnan(a.array()));
    });
}

PyObject* logical_not(PyObject*, PyObject* args, PyObject* kwargs) {
    return py::guarded([&] {
        static const char* const params[] = {"m"};
        auto [m_arg] = match("logical_not", params, args, kwargs);
        Held<Bool> m = py::argument("m", [&] { return Held<Bool>(m_arg); });
        return wrap(tarnex::logical_not(m.array()));
    });
}

PyObject* logical_and(PyObject*, PyObject* args, PyObject* kwargs) {
    return logic<tarnex::logical_and>("logical_and", args, kwargs);
}

PyObject* logical_or(PyObject*, PyObject* args, PyObject* kwargs) {
    return logic<tarnex::logical_or>("logical_or", args, kwargs);
}

}  // namespace tarnex::io
