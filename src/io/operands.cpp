#include "io/operands.hpp"

namespace tarnex::io {
namespace {

// The 0-d shape of a number.
const Shape no_axes{};

double float_operand(PyObject* obj, Complaint complaint) {
    if (complaint == Complaint::float_conversion) return py::to_float(obj);
    try {
        return py::to_float(obj);
    } catch (const py::PythonError& error) {
        if (error.type() != PyExc_TypeError) throw;
        py::raise(PyExc_TypeError, "'" + py::type_qualname(obj) +
                                       "' object cannot be converted to 'PyNDArray' or a float");
    }
}

Bool bool_operand(PyObject* obj) {
    if (obj == Py_True || obj == Py_False) return obj == Py_True;
    try {
        return py::to_bool(obj) ? 1 : 0;
    } catch (const py::PythonError& error) {
        if (error.type() != PyExc_TypeError) throw;
        py::raise(PyExc_TypeError, "'" + py::type_qualname(obj) +
                                       "' object cannot be converted to 'PyBoolArray' or a bool");
    }
}

}  // namespace

template <class E>
void OutArg<E>::borrow() {
    if (object_ == nullptr) return;
    if (!is_array<E>(object_)) {
        py::argument("out", [&] { py::raise_cannot_convert(object_, class_name<E>()); });
    }
    borrow_.emplace(object_, reinterpret_cast<ArrayObject<E>*>(object_)->borrow,
                    Borrow::Kind::exclusive);
}

template <class E>
OperandArg<E>::OperandArg(const char* name, PyObject* obj, PyObject* out, Complaint complaint)
    : shape_(&no_axes) {
    if (is_array<E>(obj)) {
        if (obj != out) held_.emplace(obj);
        const NDArray<E>& array = reinterpret_cast<ArrayObject<E>*>(obj)->array;
        data_ = array.data();
        shape_ = &array.shape();
        return;
    }
    if constexpr (std::is_same_v<E, double>) {
        scalar_ = py::argument(name, [&] { return float_operand(obj, complaint); });
    } else {
        (void)complaint;
        scalar_ = py::argument(name, [&] { return bool_operand(obj); });
    }
}

void broadcast_error(const char* name, const Shape& shape, const char* against,
                     const Shape& against_shape) {
    value_error(name, "operands could not be broadcast together: shape " + format_shape(shape) +
                          " against shape " + format_shape(against_shape) + " of argument '" +
                          against + "'");
}

template <class E>
ResultArray<E>::ResultArray(Shape shape, OutArg<E>& out) : shape_(std::move(shape)) {
    if (out.given()) {
        NDArray<E>& array = out.array();
        if (array.shape() != shape_) {
            value_error("out", "shape " + format_shape(array.shape()) +
                                   " does not match the result's shape " + format_shape(shape_));
        }
        out_ = &out;
        size_ = array.size();
        data_ = array.mutable_data();
        return;
    }
    const auto count = extent_product(shape_);
    if (!count) {
        py::raise(PyExc_MemoryError,
                  "a result of shape " + format_shape(shape_) + " has too many elements");
    }
    size_ = *count;
    buffer_ = Buffer<E>::uninitialized(size_);
    data_ = buffer_.data();
}

template <class E>
PyObject* ResultArray<E>::finish() {
    if (out_ != nullptr) {
        Py_INCREF(out_->object());
        return out_->object();
    }
    return wrap(NDArray<E>::new_(std::move(buffer_), std::move(shape_)));
}

template class OutArg<double>;
template class OutArg<Bool>;
template class OperandArg<double>;
template class OperandArg<Bool>;
template class ResultArray<double>;
template class ResultArray<Bool>;

}  // namespace tarnex::io
