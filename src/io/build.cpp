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

// zeros(shape), ones(shape) and full(shape, fill_value).
enum class Fill { zeros, ones, full };
constexpr const char* fill_names[] = {"zeros", "ones", "full"};

template <Fill fill>
PyObject* filled_array(const py::CallArgs& call) {
    if constexpr (fill != Fill::full) {
        static const char* const params[] = {"shape"};
        auto [shape_arg] = match(name_of(fill_names, fill), params, call);
        Shape shape = to_shape("shape", shape_arg).extents;
        checked_count("shape", shape, sizeof(double));
        return wrap(filled(std::move(shape), fill == Fill::zeros ? 0.0 : 1.0));
    } else {
        static const char* const params[] = {"shape", "fill_value"};
        auto [shape_arg, fill_arg] = match(name_of(fill_names, fill), params, call);
        Shape shape = to_shape("shape", shape_arg).extents;
        const double value = py::argument("fill_value", [&] { return py::to_float(fill_arg); });
        checked_count("shape", shape, sizeof(double));
        return wrap(filled(std::move(shape), value));
    }
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

PyObject* arange_function(const py::CallArgs& call) {
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
}

PyObject* eye_function(const py::CallArgs& call) {
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
}

PyObject* asarray(const py::CallArgs& call) {
    static const char* const params[] = {"obj"};
    auto [obj] = match("asarray", params, call);
    if (is_array<double>(obj) || is_array<Bool>(obj)) {
        Py_INCREF(obj);
        return obj;
    }
    AnyArray array = array_from_object("obj", obj);
    if (auto* floats = std::get_if<FloatArray>(&array)) return wrap(std::move(*floats));
    return wrap(std::move(std::get<BoolArray>(array)));
}

}  // namespace

void add_build_functions(FunctionList& table) {
    for_each_op<Fill, std::size(fill_names)>(
        [&]<Fill fill> { add_function<filled_array<fill>>(table, name_of(fill_names, fill)); });
    add_functions<arange_function, eye_function, asarray>(table, {"arange", "eye", "asarray"});
}

}  // namespace tarnex::io
