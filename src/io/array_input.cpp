#include "io/array_input.hpp"

#include <cstring>
#include <string>

#include "io/shape_argument.hpp"

namespace tarnex::io {
namespace {

constexpr std::size_t max_nesting = 64;

// numpy's array struct (its __array_struct__ capsule holds one): a documented, fixed layout
// that gives an array's memory without its Python-level attributes.
struct ArrayStruct {
    int two;  // always 2
    int nd;
    char typekind;
    int itemsize;
    int flags;
    Py_intptr_t* shape;
    Py_intptr_t* strides;  // in bytes; null when C-contiguous
    void* data;
    PyObject* descr;
};
constexpr int c_contiguous = 0x0001;
constexpr int not_swapped = 0x0200;

template <class T>
T load(const char* p) noexcept {
    T v;
    std::memcpy(&v, p, sizeof v);  // numpy allows unaligned arrays
    return v;
}

// Writes the elements of an array struct in row-major order to `out`, each through
// `convert(load<Src>(address))`, walking the byte strides of any layout.
template <class Src, class Dst, class Convert>
void gather(const ArrayStruct& a, std::uint64_t count, Dst* out, Convert convert) {
    const char* base = static_cast<const char*>(a.data);
    if (a.nd == 0 || (a.flags & c_contiguous) != 0 || a.strides == nullptr) {
        if constexpr (std::is_same_v<Src, Dst>) {
            if (count != 0) std::memcpy(out, base, count * sizeof(Src));
        } else {
            for (std::uint64_t i = 0; i < count; ++i) out[i] = convert(load<Src>(base + i * sizeof(Src)));
        }
        return;
    }
    if (count == 0) return;
    const int last = a.nd - 1;
    const Py_intptr_t n = a.shape[last];
    const Py_intptr_t step = a.strides[last];
    Shape index(static_cast<std::size_t>(a.nd), 0);
    while (true) {
        const char* row = base;
        for (int d = 0; d < last; ++d) row += static_cast<Py_intptr_t>(index[d]) * a.strides[d];
        for (Py_intptr_t j = 0; j < n; ++j) *out++ = convert(load<Src>(row + j * step));
        int d = last - 1;
        for (; d >= 0; --d) {
            if (++index[d] < static_cast<std::uint64_t>(a.shape[d])) break;
            index[d] = 0;
        }
        if (d < 0) return;
    }
}

[[noreturn]] void unsupported_kind(const char* name, char kind, int itemsize) {
    py::raise(PyExc_TypeError,
              "argument '" + std::string(name) + "': " +
                  (kind == 'c' ? std::string("complex numpy elements do not convert to float64 "
                                             "(take their .real or abs() first)")
                               : "numpy elements of kind '" + std::string(1, kind) +
                                     std::to_string(itemsize) + "' do not convert to float64"));
}

AnyArray from_struct(const char* name, PyObject* obj, PyObject* capsule, int depth = 0);

// Elements numpy stores in a form read here natively (native byte order, the common widths).
template <class Src>
FloatArray floats_from_struct(const ArrayStruct& a, Shape shape, std::uint64_t count) {
    Buffer<double> data = Buffer<double>::uninitialized(count);
    gather<Src>(a, count, data.data(), [](Src v) { return static_cast<double>(v); });
    return FloatArray::new_(std::move(data), std::move(shape));
}

AnyArray from_struct(const char* name, PyObject* obj, PyObject* capsule, int depth) {
    const auto* a = static_cast<const ArrayStruct*>(PyCapsule_GetPointer(capsule, nullptr));
    if (a == nullptr) py::throw_python_error();
    if (a->two != 2 || a->nd < 0 || a->nd > static_cast<int>(max_nesting)) {
        value_error(name, "its __array_struct__ is not a valid array struct");
    }
    Shape shape;
    for (int d = 0; d < a->nd; ++d) {
        if (a->shape[d] < 0) value_error(name, "its __array_struct__ has a negative extent");
        shape.push_back(static_cast<std::uint64_t>(a->shape[d]));
    }
    const std::uint64_t count = checked_count(name, shape, sizeof(double));
    const bool native = (a->flags & not_swapped) != 0 || a->itemsize == 1;
    const char kind = a->typekind;
    const int size = a->itemsize;
    if (kind == 'b' && size == 1) {
        Buffer<Bool> data = Buffer<Bool>::uninitialized(count);
        gather<Bool>(*a, count, data.data(), [](Bool v) -> Bool { return v != 0; });
        if ((a->flags & c_contiguous) != 0 || a->nd == 0) {
            // A plain copy above; numpy's bools are 0 or 1 already, but any other byte is true.
            Bool* d = data.data();
            for (std::uint64_t i = 0; i < count; ++i) d[i] = d[i] != 0;
        }
        return BoolArray::new_(std::move(data), std::move(shape));
    }
    if (native) {
        if (kind == 'f' && size == 8) return floats_from_struct<double>(*a, std::move(shape), count);
        if (kind == 'f' && size == 4) return floats_from_struct<float>(*a, std::move(shape), count);
        if (kind == 'i' && size == 1) return floats_from_struct<std::int8_t>(*a, std::move(shape), count);
        if (kind == 'i' && size == 2) return floats_from_struct<std::int16_t>(*a, std::move(shape), count);
        if (kind == 'i' && size == 4) return floats_from_struct<std::int32_t>(*a, std::move(shape), count);
        if (kind == 'i' && size == 8) return floats_from_struct<std::int64_t>(*a, std::move(shape), count);
        if (kind == 'u' && size == 1) return floats_from_struct<std::uint8_t>(*a, std::move(shape), count);
        if (kind == 'u' && size == 2) return floats_from_struct<std::uint16_t>(*a, std::move(shape), count);
        if (kind == 'u' && size == 4) return floats_from_struct<std::uint32_t>(*a, std::move(shape), count);
        if (kind == 'u' && size == 8) return floats_from_struct<std::uint64_t>(*a, std::move(shape), count);
    }
    // Other real types (half and extended precision, swapped byte order) are converted by
    // numpy itself, once; its float64 result is then read as above.
    if ((kind != 'f' && kind != 'i' && kind != 'u') || depth != 0) {
        unsupported_kind(name, kind, size);
    }
    py::Ref converted(py::check(PyObject_CallMethod(obj, "astype", "s", "float64")));
    py::Ref inner(py::check(PyObject_GetAttrString(converted.get(), "__array_struct__")));
    if (!PyCapsule_CheckExact(inner.get())) unsupported_kind(name, kind, size);
    return from_struct(name, converted.get(), inner.get(), depth + 1);
}

bool is_nest(PyObject* obj) noexcept { return PyList_Check(obj) || PyTuple_Check(obj); }

Py_ssize_t nest_size(PyObject* seq) noexcept {
    return PyList_Check(seq) ? PyList_Size(seq) : PyTuple_Size(seq);
}

PyObject* nest_item(PyObject* seq, Py_ssize_t i) noexcept {  // borrowed; i < nest_size
    return PyList_Check(seq) ? PyList_GetItem(seq, i) : PyTuple_GetItem(seq, i);
}

// numpy's boolean scalar type, found by its name on a static type (which runs no Python
// code) and remembered for the life of the process.
PyObject* numpy_bool_type = nullptr;

bool is_numpy_bool(PyObject* obj) {
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(obj));
    if (numpy_bool_type != nullptr) return type == numpy_bool_type;
    if ((PyType_GetFlags(Py_TYPE(obj)) & Py_TPFLAGS_HEAPTYPE) != 0) return false;
    py::Ref module(PyObject_GetAttrString(type, "__module__"));
    py::Ref type_name(module ? PyObject_GetAttrString(type, "__name__") : nullptr);
    if (!type_name) {
        PyErr_Clear();
        return false;
    }
    const bool found = PyUnicode_Check(module.get()) && PyUnicode_Check(type_name.get()) &&
                       PyUnicode_CompareWithASCIIString(module.get(), "numpy") == 0 &&
                       (PyUnicode_CompareWithASCIIString(type_name.get(), "bool") == 0 ||
                        PyUnicode_CompareWithASCIIString(type_name.get(), "bool_") == 0);
    if (found) numpy_bool_type = py::Ref::borrowed(type).release();
    return found;
}

// Fills a float buffer from nested lists and tuples whose shape was found along their first
// items, checking every level against it.
class NestedReader {
public:
    NestedReader(const char* name, const Shape& shape, double* out)
        : name_(name), shape_(shape), out_(out) {}

    void read(PyObject* seq, std::size_t depth) {
        const Py_ssize_t n = static_cast<Py_ssize_t>(shape_[depth]);
        if (nest_size(seq) != n) ragged(depth);
        const bool leaves = depth + 1 == shape_.size();
        for (Py_ssize_t i = 0; i < n; ++i) {
            if (i >= nest_size(seq)) ragged(depth);  // shrunk by a conversion's Python code
            PyObject* item = nest_item(seq, i);
            if (is_nest(item) == leaves) ragged(depth + 1);
            // Held for as long as it is read: Python code run while reading it could drop
            // it from its list.
            if (leaves) {
                leaf(item);
            } else {
                const py::Ref held = py::Ref::borrowed(item);
                read(item, depth + 1);
            }
        }
        if (nest_size(seq) != n) ragged(depth);
    }

    void leaf(PyObject* item) {
        if (PyFloat_CheckExact(item)) {
            out_[position_++] = PyFloat_AsDouble(item);
        } else if (PyBool_Check(item)) {
            out_[position_++] = item == Py_True ? 1.0 : 0.0;
            ++bools_;
        } else if (PyLong_CheckExact(item)) {
            const double v = PyLong_AsDouble(item);
            if (v == -1.0 && PyErr_Occurred()) py::throw_python_error();
            out_[position_++] = v;
        } else {
            const py::Ref held = py::Ref::borrowed(item);
            if (is_numpy_bool(item)) {
                const int truth = PyObject_IsTrue(item);
                if (truth < 0) py::throw_python_error();
                out_[position_++] = truth != 0 ? 1.0 : 0.0;
                ++bools_;
                return;
            }
            const double v = py::argument(name_, [&] {
                const double f = PyFloat_AsDouble(item);
                if (f == -1.0 && PyErr_Occurred()) py::throw_python_error();
                return f;
            });
            out_[position_++] = v;
        }
    }

    std::uint64_t bools() const noexcept { return bools_; }

private:
    [[noreturn]] void ragged(std::size_t depth) const {
        Shape found;
        for (std::size_t d = 0; d < depth; ++d) found.push_back(shape_[d]);
        value_error(name_, "the nested sequences are ragged: the array has an inhomogeneous "
                           "shape after " + std::to_string(depth) +
                           " dimensions (the shape found was " + format_shape(found) +
                           " + an inhomogeneous part)");
    }

    const char* name_;
    const Shape& shape_;
    double* out_;
    std::uint64_t position_ = 0;
    std::uint64_t bools_ = 0;
};

AnyArray from_nested(const char* name, PyObject* obj) {
    // The shape, along the first item of every level. Nothing here runs Python code.
    Shape shape;
    for (PyObject* level = obj; is_nest(level);) {
        if (shape.size() == max_nesting) {
            value_error(name, "the sequences nest deeper than " + std::to_string(max_nesting) +
                                  " levels");
        }
        const Py_ssize_t n = nest_size(level);
        shape.push_back(static_cast<std::uint64_t>(n));
        if (n == 0) break;
        level = nest_item(level, 0);
    }
    const std::uint64_t count = checked_count(name, shape, sizeof(double));
    Buffer<double> data = Buffer<double>::uninitialized(count);
    NestedReader reader(name, shape, data.data());
    if (shape.empty()) {
        reader.leaf(obj);
    } else {
        reader.read(obj, 0);
    }
    if (count != 0 && reader.bools() == count) {
        Buffer<Bool> flags = Buffer<Bool>::uninitialized(count);
        for (std::uint64_t i = 0; i < count; ++i) flags[i] = data[i] != 0.0;
        return BoolArray::new_(std::move(flags), std::move(shape));
    }
    return FloatArray::new_(std::move(data), std::move(shape));
}

// The array struct capsule of obj, or null when it has none (an object without the
// attribute, or whose attribute is not a capsule).
py::Ref array_struct_of(PyObject* obj) {
    py::Ref capsule(PyObject_GetAttrString(obj, "__array_struct__"));
    if (!capsule) {
        const py::PythonError error = py::resume_if_panic(py::PythonError::fetch());
        if (!PyErr_GivenExceptionMatches(error.type(), PyExc_AttributeError)) throw error;
        return {};
    }
    if (!PyCapsule_CheckExact(capsule.get())) return {};
    return capsule;
}

}  // namespace

AnyArray array_from_object(const char* name, PyObject* obj) {
    if (is_nest(obj) || PyFloat_CheckExact(obj) || PyLong_CheckExact(obj) || PyBool_Check(obj)) {
        return from_nested(name, obj);
    }
    // numpy arrays, and numpy scalars, which also carry the struct.
    if (py::Ref capsule = array_struct_of(obj)) return from_struct(name, obj, capsule.get());
    return from_nested(name, obj);
}

}  // namespace tarnex::io
