#include "io/axis.hpp"

#include "lib/axis/axis.hpp"

namespace tarnex::io {

Axis to_axis(const char* name, PyObject* obj, std::uint64_t ndim, bool default_last) {
    if (obj == Py_None || (obj == nullptr && !default_last)) return {.all = true, .index = 0};
    const auto n = static_cast<long long>(ndim);
    if (obj == nullptr) {
        if (n == 0) {
            value_error(name, "axis -1 is out of bounds for array of dimension 0");
        }
        return {.all = false, .index = ndim - 1};
    }
    // numpy refuses bools as axes, though they are integers.
    const py::Ref index = py::argument(name, [&] {
        if (PyBool_Check(obj)) py::raise(PyExc_TypeError, "an integer is required, not 'bool'");
        return py::Ref(py::check(PyNumber_Index(obj)));
    });
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (value == -1 && overflow == 0 && PyErr_Occurred()) py::throw_python_error();
    if (overflow != 0 || value < -n || value >= n) {
        PyErr_Format(PyExc_ValueError,
                     "argument '%s': axis %S is out of bounds for array of dimension %llu", name,
                     index.get(), static_cast<unsigned long long>(ndim));
        py::throw_python_error();
    }
    return {.all = false, .index = static_cast<std::uint64_t>(value < 0 ? value + n : value)};
}

bool to_keepdims(const char* name, PyObject* obj) {
    if (obj == nullptr) return false;
    return py::argument(name, [&] { return py::to_bool(obj); });
}

PyObject* whole_result(double value, const Shape& shape, bool keepdims) {
    if (!keepdims) return py::check(PyFloat_FromDouble(value));
    Buffer<double> one = Buffer<double>::uninitialized(1);
    one[0] = value;
    return wrap(FloatArray::new_(std::move(one), ones_shape(shape)));
}

}  // namespace tarnex::io
