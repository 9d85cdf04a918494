// Element-wise arithmetic with broadcasting: the arithmetic of two operands, the functions
// of one, clip and where, each with an optional out= array to write the result into.
#include "io/operands.hpp"

namespace tarnex::io {
namespace {

template <BinaryOp op>
PyObject* binary(const char* function, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"a", "b", "out"};
        auto [a_arg, b_arg, out_arg] = match_with_out(function, params, call);
        OutArg<double> out(out_arg);
        OperandArg<double> a("a", a_arg, out.object(), Complaint::array_class);
        OperandArg<double> b("b", b_arg, out.object(), Complaint::float_conversion);
        out.borrow();
        static const char* const names[] = {"a", "b"};
        const Shape* shapes[] = {&a.shape(), &b.shape()};
        ResultArray<double> result(broadcast_result(shapes, names), out);
        broadcast_binary(op, a.view(), b.view(), result.shape(), result.data());
        return result.finish();
    });
}

template <UnaryFunction f>
PyObject* unary(const char* function, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"x", "out"};
        auto [x_arg, out_arg] = match_with_out(function, params, call);
        OutArg<double> out(out_arg);
        OperandArg<double> x("x", x_arg, out.object(), Complaint::array_class);
        out.borrow();
        ResultArray<double> result(x.shape(), out);
        map_unary(f, x.data(), result.data(), result.size());
        return result.finish();
    });
}

PyObject* add(PyObject*, const py::CallArgs& call) { return binary<BinaryOp::add>("add", call); }
PyObject* subtract(PyObject*, const py::CallArgs& call) {
    return binary<BinaryOp::subtract>("subtract", call);
}
PyObject* multiply(PyObject*, const py::CallArgs& call) {
    return binary<BinaryOp::multiply>("multiply", call);
}
PyObject* divide(PyObject*, const py::CallArgs& call) {
    return binary<BinaryOp::divide>("divide", call);
}
PyObject* maximum(PyObject*, const py::CallArgs& call) {
    return binary<BinaryOp::maximum>("maximum", call);
}
PyObject* minimum(PyObject*, const py::CallArgs& call) {
    return binary<BinaryOp::minimum>("minimum", call);
}

PyObject* negative(PyObject*, const py::CallArgs& call) {
    return unary<UnaryFunction::negative>("negative", call);
}
PyObject* abs(PyObject*, const py::CallArgs& call) { return unary<UnaryFunction::abs>("abs", call); }
PyObject* square(PyObject*, const py::CallArgs& call) {
    return unary<UnaryFunction::square>("square", call);
}
PyObject* sqrt(PyObject*, const py::CallArgs& call) {
    return unary<UnaryFunction::sqrt>("sqrt", call);
}
PyObject* exp(PyObject*, const py::CallArgs& call) { return unary<UnaryFunction::exp>("exp", call); }
PyObject* log(PyObject*, const py::CallArgs& call) { return unary<UnaryFunction::log>("log", call); }
PyObject* tanh(PyObject*, const py::CallArgs& call) {
    return unary<UnaryFunction::tanh>("tanh", call);
}

PyObject* clip(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"a", "lo", "hi", "out"};
        auto [a_arg, lo_arg, hi_arg, out_arg] = match_with_out("clip", params, call);
        OutArg<double> out(out_arg);
        OperandArg<double> a("a", a_arg, out.object(), Complaint::array_class);
        OperandArg<double> lo("lo", lo_arg, out.object(), Complaint::float_conversion);
        OperandArg<double> hi("hi", hi_arg, out.object(), Complaint::float_conversion);
        out.borrow();
        static const char* const names[] = {"a", "lo", "hi"};
        const Shape* shapes[] = {&a.shape(), &lo.shape(), &hi.shape()};
        ResultArray<double> result(broadcast_result(shapes, names), out);
        broadcast_clip(a.view(), lo.view(), hi.view(), result.shape(), result.data());
        return result.finish();
    });
}

PyObject* where(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"condition", "a", "b", "out"};
        auto [c_arg, a_arg, b_arg, out_arg] = match_with_out("where", params, call);
        OutArg<double> out(out_arg);
        OperandArg<Bool> condition("condition", c_arg, out.object(), Complaint::array_class);
        OperandArg<double> a("a", a_arg, out.object(), Complaint::array_class);
        OperandArg<double> b("b", b_arg, out.object(), Complaint::float_conversion);
        out.borrow();
        static const char* const names[] = {"condition", "a", "b"};
        const Shape* shapes[] = {&condition.shape(), &a.shape(), &b.shape()};
        ResultArray<double> result(broadcast_result(shapes, names), out);
        broadcast_where(condition.view(), a.view(), b.view(), result.shape(), result.data());
        return result.finish();
    });
}

}  // namespace

void add_elementwise_functions(FunctionList& table) {
    table.push_back(function<add>(
        "add",
        "add(a, b, *, out=None)\n--\n\na + b element by element, a and b PyNDArrays or numbers "
        "broadcast together (numpy's rules); where both are NaN, a's NaN (quieted). With out, "
        "a PyNDArray of exactly the result's shape (it may be a or b), the result is written "
        "into it and out is returned."));
    table.push_back(function<subtract>(
        "subtract", "subtract(a, b, *, out=None)\n--\n\na - b element by element, broadcast; "
                    "out as for add."));
    table.push_back(function<multiply>(
        "multiply",
        "multiply(a, b, *, out=None)\n--\n\na * b element by element, broadcast; where both "
        "are NaN, a's NaN (quieted); out as for add."));
    table.push_back(function<divide>(
        "divide", "divide(a, b, *, out=None)\n--\n\na / b element by element (true division), "
                  "broadcast; out as for add."));
    table.push_back(function<maximum>(
        "maximum",
        "maximum(a, b, *, out=None)\n--\n\nThe larger of a and b element by element, "
        "broadcast: a where a is NaN, else b where b is NaN (NaNs propagate with their bits), "
        "and b where they are equal (so maximum(0.0, -0.0) is -0.0, as numpy's); out as for "
        "add."));
    table.push_back(function<minimum>(
        "minimum",
        "minimum(a, b, *, out=None)\n--\n\nThe smaller of a and b element by element, "
        "broadcast, with maximum's rules for NaN and ties; out as for add."));
    table.push_back(function<negative>(
        "negative", "negative(x, *, out=None)\n--\n\n-x element by element (the sign bit "
                    "flipped, NaNs included). x is a PyNDArray or a number (a 0-d result); "
                    "out as for add."));
    table.push_back(function<abs>(
        "abs", "abs(x, *, out=None)\n--\n\n|x| element by element (the sign bit cleared); out "
               "as for add."));
    table.push_back(function<square>(
        "square", "square(x, *, out=None)\n--\n\nx * x element by element; out as for add."));
    table.push_back(function<sqrt>(
        "sqrt", "sqrt(x, *, out=None)\n--\n\nThe correctly rounded square root element by "
                "element (NaN below -0.0); out as for add."));
    table.push_back(function<exp>(
        "exp", "exp(x, *, out=None)\n--\n\ne**x element by element, bit for bit the C "
               "library's exp; out as for add."));
    table.push_back(function<log>(
        "log", "log(x, *, out=None)\n--\n\nThe natural logarithm element by element, bit for "
               "bit the C library's log; out as for add."));
    table.push_back(function<tanh>(
        "tanh", "tanh(x, *, out=None)\n--\n\nThe hyperbolic tangent element by element, bit "
                "for bit the C library's tanh; out as for add."));
    table.push_back(function<clip>(
        "clip",
        "clip(a, lo, hi, *, out=None)\n--\n\nminimum(maximum(a, lo), hi) element by element, "
        "the three broadcast together (so NaN in any of them gives NaN, and lo > hi gives hi); "
        "out as for add."));
    table.push_back(function<where>(
        "where",
        "where(condition, a, b, *, out=None)\n--\n\na where condition is true, else b, element "
        "by element, the three broadcast together: condition a PyBoolArray or a bool, a and b "
        "PyNDArrays or numbers; the chosen element's bits are copied. out as for add."));
}

}  // namespace tarnex::io
