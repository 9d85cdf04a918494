// The products and index functions of a classifier's forward and backward passes: the
// matrix product with either operand transposed in place, one-hot rows from labels, and the
// scatter-add that undoes a gather.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "io/functions.hpp"
#include "lib/matmul/matmul.hpp"
#include "lib/scatter/scatter.hpp"

namespace tarnex::io {
namespace {

// An integer argument under numpy's rules: an int or anything with __index__, bool
// included; an int beyond 64 bits is the interpreter's OverflowError.
std::int64_t to_integer(PyObject* obj) {
    py::Ref index(py::check(PyNumber_Index(obj)));
    const long long v = PyLong_AsLongLong(index.get());
    if (v == -1 && PyErr_Occurred()) py::throw_python_error();
    return v;
}

std::string float_text(double v) {
    py::Ref number(py::check(PyFloat_FromDouble(v)));
    return py::to_utf8(number.get()).value_or("?");
}

// The row-major index of flat position `position` in `shape`, as "[i, j, ...]".
std::string index_text(const Shape& shape, std::uint64_t position) {
    Shape index(shape.size(), 0);
    for (std::size_t d = shape.size(); d-- > 0;) {
        index[d] = position % shape[d];
        position /= shape[d];
    }
    return format_shape(index);
}

// ---- matmul ----

bool flag(const char* name, PyObject* obj) {
    return obj != nullptr && py::argument(name, [&] { return py::to_bool(obj); });
}

// The ValueError naming the operand that is not 2-D, or `b` when the inner sizes differ,
// with numpy's wording for the operands as they take part (transposed or not).
void check_product_shapes(const FloatArray& a, const FloatArray& b, Transposes transposes) {
    if (a.ndim() != 2) {
        value_error("a", "matmul: Input operand 0 must be 2-D, got shape " +
                             format_shape(a.shape()));
    }
    if (b.ndim() != 2) {
        value_error("b", "matmul: Input operand 1 must be 2-D, got shape " +
                             format_shape(b.shape()));
    }
    const std::uint64_t k = a.shape()[transposes.a ? 0 : 1];
    const std::uint64_t b_rows = b.shape()[transposes.b ? 1 : 0];
    if (k == b_rows) return;
    std::string taken;
    if (transposes.a || transposes.b) {
        taken = std::string(" (operands taken as ") + (transposes.a ? "a.T" : "a") + " and " +
                (transposes.b ? "b.T" : "b") + ")";
    }
    value_error("b", "matmul: Input operand 1 has a mismatch in its core dimension 0, with "
                     "gufunc signature (n,k),(k,m)->(n,m) (size " +
                         std::to_string(b_rows) + " is different from " + std::to_string(k) +
                         ")" + taken);
}

PyObject* matmul(const py::CallArgs& call) {
    static const char* const params[] = {"a", "b", "transpose_a", "transpose_b"};
    auto [a_arg, b_arg, ta_arg, tb_arg] = match("matmul", params, call, 2, 2);
    const Held<double> a = held_floats("a", a_arg);
    const Held<double> b = held_floats("b", b_arg);
    const Transposes transposes{.a = flag("transpose_a", ta_arg),
                                .b = flag("transpose_b", tb_arg)};
    check_product_shapes(a.array(), b.array(), transposes);
    return wrap(tarnex::matmul(a.array(), b.array(), transposes));
}

// ---- one_hot ----

PyObject* one_hot(const py::CallArgs& call) {
    static const char* const params[] = {"labels", "classes"};
    auto [labels_arg, classes_arg] = match("one_hot", params, call);
    const Held<double> labels = held_floats("labels", labels_arg);
    const std::int64_t classes =
        py::argument("classes", [&] { return to_integer(classes_arg); });
    if (classes < 0) value_error("classes", "must be >= 0, got " + std::to_string(classes));
    const auto count = static_cast<std::uint64_t>(classes);
    if (const auto bad = first_invalid_label(labels.array(), count)) {
        value_error("labels", "labels" + index_text(labels.array().shape(), *bad) + " = " +
                                  float_text(labels.array().data()[*bad]) +
                                  " is not an integer in [0, " + std::to_string(count) +
                                  ")");
    }
    return wrap(tarnex::one_hot(labels.array(), count));
}

// ---- add_at ----

// The target array, borrowed exclusively for the rest of the call.
struct Target {
    ArrayObject<double>* object;
    Borrow borrow;
    explicit Target(PyObject* obj)
        : object(reinterpret_cast<ArrayObject<double>*>(obj)),
          borrow(obj, object->borrow, Borrow::Kind::exclusive) {}
    FloatArray& array() noexcept { return object->array; }
};

// Indices as passed, before they are resolved against the axis extent: negative ones count
// from the end. Values beyond 64 bits are kept as the nearest 64-bit value, which is out of
// bounds for any extent.
using RawIndices = std::vector<std::int64_t>;

std::int64_t clamped_index(PyObject* item) {
    if (PyBool_Check(item)) {
        py::raise(PyExc_TypeError, "indices must be integers, not bool");
    }
    py::Ref index(py::check(PyNumber_Index(item)));
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (v == -1 && PyErr_Occurred()) py::throw_python_error();
    return overflow > 0 ? LLONG_MAX : overflow < 0 ? LLONG_MIN : v;
}

// A sequence of integers: read from a snapshot tuple, so code run by an item's __index__
// cannot change what is read. A one-dimensional numpy int64 array is read in place.
RawIndices indices_from_sequence(PyObject* obj) {
    py::NumpyMemory memory;
    if (py::numpy_memory(obj, "<i8", &memory) && memory.shape.size() == 1) {
        const auto* from = static_cast<const std::int64_t*>(memory.data);
        return RawIndices(from, from + memory.shape[0]);
    }
    if (PyUnicode_Check(obj) || PyBytes_Check(obj) || !PySequence_Check(obj)) {
        py::raise_cannot_convert(obj, "Sequence");
    }
    py::Ref items(py::check(PySequence_Tuple(obj)));
    const Py_ssize_t n = PyTuple_Size(items.get());
    RawIndices out;
    out.reserve(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) out.push_back(clamped_index(PyTuple_GetItem(items.get(), i)));
    return out;
}

// A one-dimensional PyNDArray of integer values (ValueError otherwise).
RawIndices indices_from_array(const FloatArray& array) {
    if (array.ndim() != 1) {
        value_error("indices", "must be 1-D, got shape " + format_shape(array.shape()));
    }
    RawIndices out(array.size());
    const double* data = array.data();
    for (std::uint64_t t = 0; t < array.size(); ++t) {
        const double v = data[t];
        if (!std::isfinite(v) || std::floor(v) != v) {
            value_error("indices", "indices[" + std::to_string(t) + "] = " + float_text(v) +
                                       " is not an integer");
        }
        // 2^63 and beyond, and below -2^63: out of bounds whatever the extent.
        out[t] = v >= 9223372036854775808.0    ? LLONG_MAX
                 : v < -9223372036854775808.0 ? LLONG_MIN
                                               : static_cast<std::int64_t>(v);
    }
    return out;
}

RawIndices raw_indices(PyObject* obj) {
    if (is_array<double>(obj)) {
        const Held<double> held = held_floats("indices", obj);
        return indices_from_array(held.array());
    }
    return py::argument("indices", [&] { return indices_from_sequence(obj); });
}

// The axis as a dimension of an array of `ndim` dimensions, negative counting from the end.
std::uint64_t resolved_axis(std::int64_t axis, std::uint64_t ndim) {
    const auto dims = static_cast<std::int64_t>(ndim);
    if (axis < -dims || axis >= dims) {
        value_error("axis", "axis " + std::to_string(axis) +
                                " is out of bounds for array of dimension " +
                                std::to_string(ndim));
    }
    return static_cast<std::uint64_t>(axis < 0 ? axis + dims : axis);
}

// The indices as positions along the axis: IndexError naming `indices` for one outside
// -extent .. extent - 1.
Shape resolved_indices(const RawIndices& raw, std::uint64_t axis, std::uint64_t extent) {
    Shape out(raw.size(), 0);
    const auto size = static_cast<std::int64_t>(extent);
    for (std::size_t t = 0; t < raw.size(); ++t) {
        const std::int64_t index = raw[t];
        if (index < -size || index >= size) {
            py::raise(PyExc_IndexError, "argument 'indices': index " + std::to_string(index) +
                                            " is out of bounds for axis " +
                                            std::to_string(axis) + " with size " +
                                            std::to_string(extent));
        }
        out[t] = static_cast<std::uint64_t>(index < 0 ? index + size : index);
    }
    return out;
}

FloatArray copy_of(const FloatArray& array) {
    Buffer<double> data = Buffer<double>::uninitialized(array.size());
    if (array.size() != 0) std::memcpy(data.data(), array.data(), array.size() * sizeof(double));
    return FloatArray::new_(std::move(data), array.shape());
}

// Everything is read and checked before the target is written: the indices are converted
// first (an array of them is released again, so the target itself may serve as indices),
// then the target is borrowed exclusively. Values that are the target itself are added as
// they were at the call, from a copy.
PyObject* add_at(const py::CallArgs& call) {
    static const char* const params[] = {"target", "axis", "indices", "values"};
    auto [target_arg, axis_arg, indices_arg, values_arg] = match("add_at", params, call);
    if (!is_array<double>(target_arg)) {
        py::argument("target", [&] { py::raise_cannot_convert(target_arg, "PyNDArray"); });
    }
    const std::int64_t axis_value = py::argument("axis", [&] { return to_integer(axis_arg); });
    const RawIndices raw = raw_indices(indices_arg);
    if (!is_array<double>(values_arg)) {
        py::argument("values", [&] { py::raise_cannot_convert(values_arg, "PyNDArray"); });
    }
    Target target(target_arg);
    FloatArray& array = target.array();
    const std::uint64_t axis = resolved_axis(axis_value, array.ndim());
    const Shape indices = resolved_indices(raw, axis, array.shape()[axis]);
    const Shape expected = gathered_shape(array.shape(), axis, indices.size());
    const auto check_values = [&](const FloatArray& values) {
        if (values.shape() != expected) {
            value_error("values", "shape " + format_shape(values.shape()) +
                                      " does not match shape " + format_shape(expected) +
                                      " (target's shape with the axis extent replaced by "
                                      "the number of indices)");
        }
    };
    if (values_arg == target_arg) {
        check_values(array);
        const FloatArray values = copy_of(array);
        tarnex::add_at(array, axis, indices, values);
    } else {
        Held<double> values(values_arg);
        check_values(values.array());
        tarnex::add_at(array, axis, indices, values.array());
    }
    Py_RETURN_NONE;
}

}  // namespace

void add_product_functions(FunctionList& table) {
    add_functions<matmul, one_hot, add_at>(table, {"matmul", "one_hot", "add_at"});
}

}  // namespace tarnex::io
