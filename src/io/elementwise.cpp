// Element-wise arithmetic with broadcasting: the arithmetic of two operands, the functions
// of one, clip and where, each with an optional out= array to write the result into.
#include "io/operands.hpp"

namespace tarnex::io {
namespace {

constexpr const char* binary_names[] = {"add",     "subtract", "multiply",
                                        "divide",  "maximum",  "minimum"};
constexpr const char* unary_names[] = {"negative", "abs", "square", "sqrt", "exp", "log", "tanh"};
static_assert(std::size(binary_names) == binary_op_count);

template <BinaryOp op>
PyObject* binary(const py::CallArgs& call) {
    static const char* const params[] = {"a", "b", "out"};
    return broadcast_call<double, double, double>(
        name_of(binary_names, op), params, {Complaint::array_class, Complaint::float_conversion},
        call, [](Operand<double> a, Operand<double> b, ResultArray<double>& result) {
            broadcast_binary(op, a, b, result.shape(), result.data());
        });
}

template <UnaryFunction f>
PyObject* unary(const py::CallArgs& call) {
    static const char* const params[] = {"x", "out"};
    return broadcast_call<double, double>(
        name_of(unary_names, f), params, {Complaint::array_class}, call,
        [](Operand<double> x, ResultArray<double>& result) {
            map_unary(f, x.data, result.data(), result.size());
        });
}

PyObject* clip(const py::CallArgs& call) {
    static const char* const params[] = {"a", "lo", "hi", "out"};
    return broadcast_call<double, double, double, double>(
        "clip", params,
        {Complaint::array_class, Complaint::float_conversion, Complaint::float_conversion}, call,
        [](Operand<double> a, Operand<double> lo, Operand<double> hi, ResultArray<double>& result) {
            broadcast_clip(a, lo, hi, result.shape(), result.data());
        });
}

PyObject* where(const py::CallArgs& call) {
    static const char* const params[] = {"condition", "a", "b", "out"};
    return broadcast_call<double, Bool, double, double>(
        "where", params,
        {Complaint::array_class, Complaint::array_class, Complaint::float_conversion}, call,
        [](Operand<Bool> condition, Operand<double> a, Operand<double> b,
           ResultArray<double>& result) {
            broadcast_where(condition, a, b, result.shape(), result.data());
        });
}

}  // namespace

void add_elementwise_functions(FunctionList& table) {
    for_each_op<BinaryOp, std::size(binary_names)>(
        [&]<BinaryOp op> { add_function<binary<op>>(table, name_of(binary_names, op)); });
    for_each_op<UnaryFunction, std::size(unary_names)>(
        [&]<UnaryFunction f> { add_function<unary<f>>(table, name_of(unary_names, f)); });
    add_functions<clip, where>(table, {"clip", "where"});
}

}  // namespace tarnex::io
