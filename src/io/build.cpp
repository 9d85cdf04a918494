// Array makers: filled arrays, evenly spaced values, the identity-like matrix, and arrays
// from what users hold (asarray).
#include <cmath>
#include <limits>
#include <string>

#include "io/array_input.hpp"
#include "io/functions.hpp"
#include "io/shape_argument.hpp"
#include "lib/build/build.hpp"

namespace tarnex::io {
namespace {

PyObject* filled_array(const char* function, const py::CallArgs& call, const double* value) {
    if (value != nullptr) {
        static const char* const params[] = {"shape"};
        auto [shape_arg] = match(function, params, call);
        Shape shape = to_shape("shape", shape_arg).extents;
        checked_count("shape", shape, sizeof(double));
        return wrap(filled(std::move(shape), *value));
    }
    static const char* const params[] = {"shape", "fill_value"};
    auto [shape_arg, fill_arg] = match(function, params, call);
    Shape shape = to_shape("shape", shape_arg).extents;
    const double fill = py::argument("fill_value", [&] { return py::to_float(fill_arg); });
    checked_count("shape", shape, sizeof(double));
    return wrap(filled(std::move(shape), fill));
}

PyObject* zeros(PyObject*, const py::CallArgs& call) {
    static const double zero = 0.0;
    return py::guarded([&] { return filled_array("zeros", call, &zero); });
}

PyObject* ones(PyObject*, const py::CallArgs& call) {
    static const double one = 1.0;
    return py::guarded([&] { return filled_array("ones", call, &one); });
}

PyObject* full(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] { return filled_array("full", call, nullptr); });
}

// The element count of an arange: ceil((stop - start) / step) in double arithmetic, 0 when
// that is not positive.
std::uint64_t arange_count(double start, double stop, double step) {
    if (step == 0.0) value_error("step", "step must not be zero");
    const double length = std::ceil((stop - start) / step);
    if (std::isnan(length)) {
        value_error("stop", "arange: cannot compute length (start, stop and step give NaN)");
    }
    if (length <= 0.0) return 0;
    // 2**63 is exact as a double; anything at or above it cannot be allocated anyway.
    if (length >= 9223372036854775808.0 ||
        static_cast<std::uint64_t>(length) > max_allocation_bytes / sizeof(double)) {
        py::raise(PyExc_OverflowError, "argument 'stop': arange of " + std::to_string(length) +
                                           " elements is larger than the largest possible "
                                           "allocation");
    }
    return static_cast<std::uint64_t>(length);
}

PyObject* arange_function(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"start", "stop", "step"};
        auto [first, second, third] = match("arange", params, call, 1);
        const auto number = [](const char* name, PyObject* obj) {
            return py::argument(name, [&] { return py::to_float(obj); });
        };
        // arange(stop) counts from 0; arange(start, stop[, step]) as named.
        double start = 0.0, stop, step = 1.0;
        if (second == Py_None) second = nullptr;
        if (third == Py_None) third = nullptr;
        if (second == nullptr) {
            if (third != nullptr) {
                py::raise(PyExc_TypeError, "arange() needs 'stop' when 'step' is given");
            }
            stop = number("stop", first);
        } else {
            start = number("start", first);
            stop = number("stop", second);
            if (third != nullptr) step = number("step", third);
        }
        return wrap(arange(start, step, arange_count(start, stop, step)));
    });
}

PyObject* eye_function(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"N", "M", "k"};
        auto [n_arg, m_arg, k_arg] = match("eye", params, call, 1);
        const auto extent = [](const char* name, PyObject* obj) {
            if (PyFloat_Check(obj) || !PyIndex_Check(obj)) {
                py::raise(PyExc_TypeError, "argument '" + std::string(name) +
                                               "': expected an int, not '" +
                                               py::type_qualname(obj) + "'");
            }
            return to_shape(name, obj).extents[0];
        };
        const std::uint64_t rows = extent("N", n_arg);
        const std::uint64_t cols = m_arg == nullptr || m_arg == Py_None ? rows : extent("M", m_arg);
        std::int64_t k = 0;
        if (k_arg != nullptr) {
            k = py::argument("k", [&] {
                py::Ref index(py::check(PyNumber_Index(k_arg)));
                // A diagonal beyond every row and column gives zeros, as any far one does.
                int overflow = 0;
                const long long v = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
                if (v == -1 && PyErr_Occurred()) py::throw_python_error();
                if (overflow != 0) {
                    return overflow > 0 ? std::numeric_limits<std::int64_t>::max()
                                        : std::numeric_limits<std::int64_t>::min();
                }
                return static_cast<std::int64_t>(v);
            });
        }
        checked_count("N", Shape{rows, cols}, sizeof(double));
        return wrap(eye(rows, cols, k));
    });
}

PyObject* asarray(PyObject*, const py::CallArgs& call) {
    return py::guarded([&]() -> PyObject* {
        static const char* const params[] = {"obj"};
        auto [obj] = match("asarray", params, call);
        if (is_array<double>(obj) || is_array<Bool>(obj)) {
            Py_INCREF(obj);
            return obj;
        }
        AnyArray array = array_from_object("obj", obj);
        if (auto* floats = std::get_if<FloatArray>(&array)) return wrap(std::move(*floats));
        return wrap(std::move(std::get<BoolArray>(array)));
    });
}

}  // namespace

void add_build_functions(FunctionList& table) {
    table.push_back(function<zeros>(
        "zeros",
        "zeros(shape)\n--\n\nA new PyNDArray of the given shape (an int or a sequence of ints) "
        "filled with +0.0."));
    table.push_back(function<ones>(
        "ones",
        "ones(shape)\n--\n\nA new PyNDArray of the given shape filled with 1.0."));
    table.push_back(function<full>(
        "full",
        "full(shape, fill_value)\n--\n\nA new PyNDArray of the given shape filled with "
        "float(fill_value)."));
    table.push_back(function<arange_function>(
        "arange",
        "arange(start, stop=None, step=None)\n--\n\narange(stop) or arange(start, stop[, step]): "
        "the 1-D PyNDArray of the ceil((stop - start) / step) values start + i * step (the "
        "arguments as floats; each value one rounded multiply, then one rounded add)."));
    table.push_back(function<eye_function>(
        "eye",
        "eye(N, M=None, k=0)\n--\n\nA new N x M PyNDArray (M defaults to N) with 1.0 on the k-th "
        "diagonal (k > 0 above the main one, k < 0 below) and 0.0 elsewhere."));
    table.push_back(function<asarray>(
        "asarray",
        "asarray(obj)\n--\n\nobj as a tarnex array: a PyNDArray or PyBoolArray as it is; nested "
        "lists and tuples of numbers (a PyBoolArray when every leaf is a bool); a numpy array of "
        "any layout (bool stays bool, other real types become float64); or one number (0-d)."));
}

}  // namespace tarnex::io
