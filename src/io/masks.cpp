// Masks without Python loops: comparisons, the NaN test and boolean logic, with
// broadcasting and an optional out= PyBoolArray.
#include "io/operands.hpp"

namespace tarnex::io {
namespace {

// a op b, a and b PyNDArrays or numbers broadcast together, into a new PyBoolArray or out.
PyObject* comparison(const char* function, Comparison op, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"a", "b", "out"};
        auto [a_arg, b_arg, out_arg] = match_with_out(function, params, call);
        OutArg<Bool> out(out_arg);
        OperandArg<double> a("a", a_arg, out.object(), Complaint::array_class);
        OperandArg<double> b("b", b_arg, out.object(), Complaint::float_conversion);
        out.borrow();
        static const char* const names[] = {"a", "b"};
        const Shape* shapes[] = {&a.shape(), &b.shape()};
        ResultArray<Bool> result(broadcast_result(shapes, names), out);
        broadcast_compare(op, a.view(), b.view(), result.shape(), result.data());
        return result.finish();
    });
}

// m1 op m2, PyBoolArrays or bools broadcast together.
template <LogicOp op>
PyObject* logic(const char* function, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"m1", "m2", "out"};
        auto [m1_arg, m2_arg, out_arg] = match_with_out(function, params, call);
        OutArg<Bool> out(out_arg);
        OperandArg<Bool> m1("m1", m1_arg, out.object(), Complaint::array_class);
        OperandArg<Bool> m2("m2", m2_arg, out.object(), Complaint::array_class);
        out.borrow();
        static const char* const names[] = {"m1", "m2"};
        const Shape* shapes[] = {&m1.shape(), &m2.shape()};
        ResultArray<Bool> result(broadcast_result(shapes, names), out);
        broadcast_logic(op, m1.view(), m2.view(), result.shape(), result.data());
        return result.finish();
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
        static const char* const params[] = {"a", "out"};
        auto [a_arg, out_arg] = match_with_out("isnan", params, call);
        OutArg<Bool> out(out_arg);
        OperandArg<double> a("a", a_arg, out.object(), Complaint::array_class);
        out.borrow();
        ResultArray<Bool> result(a.shape(), out);
        map_isnan(a.data(), result.data(), result.size());
        return result.finish();
    });
}

PyObject* logical_not(PyObject*, const py::CallArgs& call) {
    return py::guarded([&] {
        static const char* const params[] = {"m", "out"};
        auto [m_arg, out_arg] = match_with_out("logical_not", params, call);
        OutArg<Bool> out(out_arg);
        OperandArg<Bool> m("m", m_arg, out.object(), Complaint::array_class);
        out.borrow();
        ResultArray<Bool> result(m.shape(), out);
        map_logical_not(m.data(), result.data(), result.size());
        return result.finish();
    });
}

PyObject* logical_and(PyObject*, const py::CallArgs& call) {
    return logic<LogicOp::logical_and>("logical_and", call);
}

PyObject* logical_or(PyObject*, const py::CallArgs& call) {
    return logic<LogicOp::logical_or>("logical_or", call);
}

}  // namespace

void add_mask_functions(FunctionList& table) {
    table.push_back(function<greater>(
        "greater",
        "greater(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a > b; a and b "
        "PyNDArrays or numbers broadcast together (numpy's rules). With out, a PyBoolArray of "
        "exactly the result's shape, the result is written into it and out is returned."));
    table.push_back(function<greater_equal>(
        "greater_equal",
        "greater_equal(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a >= b; "
        "broadcast and out as for greater."));
    table.push_back(function<less>(
        "less",
        "less(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a < b; broadcast and out "
        "as for greater."));
    table.push_back(function<less_equal>(
        "less_equal",
        "less_equal(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a <= b; broadcast "
        "and out as for greater."));
    table.push_back(function<equal>(
        "equal",
        "equal(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a == b (-0.0 equals 0.0; "
        "NaN equals nothing); broadcast and out as for greater."));
    table.push_back(function<not_equal>(
        "not_equal",
        "not_equal(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a != b (always where "
        "either is NaN); broadcast and out as for greater."));
    table.push_back(function<isnan>(
        "isnan",
        "isnan(a, *, out=None)\n--\n\nA PyBoolArray, true where a is NaN (a number gives a "
        "0-d result); out as for greater."));
    table.push_back(function<logical_not>(
        "logical_not",
        "logical_not(m, *, out=None)\n--\n\nA PyBoolArray, true where m is false (m a "
        "PyBoolArray or a bool); out as for greater (it may be m)."));
    table.push_back(function<logical_and>(
        "logical_and",
        "logical_and(m1, m2, *, out=None)\n--\n\nA PyBoolArray, true where both are; m1 and "
        "m2 PyBoolArrays or bools broadcast together; out as for greater (it may be m1 or m2)."));
    table.push_back(function<logical_or>(
        "logical_or",
        "logical_or(m1, m2, *, out=None)\n--\n\nA PyBoolArray, true where either is; "
        "broadcast and out as for logical_and."));
}

}  // namespace tarnex::io
