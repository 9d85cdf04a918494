// Masks without Python loops: comparisons, the NaN test and boolean logic, with
// broadcasting and an optional out= PyBoolArray.
#include "io/operands.hpp"

namespace tarnex::io {
namespace {

constexpr const char* comparison_names[] = {"greater", "greater_equal", "less",
                                            "less_equal", "equal", "not_equal"};
constexpr const char* logic_names[] = {"logical_and", "logical_or"};
static_assert(std::size(comparison_names) == comparison_count);
static_assert(std::size(logic_names) == logic_op_count);

// a op b, a and b PyNDArrays or numbers broadcast together, into a new PyBoolArray or out.
template <Comparison op>
PyObject* comparison(const py::CallArgs& call) {
    static const char* const params[] = {"a", "b", "out"};
    return broadcast_call<Bool, double, double>(
        name_of(comparison_names, op), params,
        {Complaint::array_class, Complaint::float_conversion}, call,
        [](Operand<double> a, Operand<double> b, ResultArray<Bool>& result) {
            broadcast_compare(op, a, b, result.shape(), result.data());
        });
}

// m1 op m2, PyBoolArrays or bools broadcast together.
template <LogicOp op>
PyObject* logic(const py::CallArgs& call) {
    static const char* const params[] = {"m1", "m2", "out"};
    return broadcast_call<Bool, Bool, Bool>(
        name_of(logic_names, op), params, {Complaint::array_class, Complaint::array_class}, call,
        [](Operand<Bool> m1, Operand<Bool> m2, ResultArray<Bool>& result) {
            broadcast_logic(op, m1, m2, result.shape(), result.data());
        });
}

// The masks of one operand: isnan(a) of a PyNDArray or number, logical_not(m) of a
// PyBoolArray or bool.
template <class E>
PyObject* mask_of_one(const py::CallArgs& call) {
    constexpr bool floats = std::is_same_v<E, double>;
    static const char* const params[] = {floats ? "a" : "m", "out"};
    return broadcast_call<Bool, E>(
        floats ? "isnan" : "logical_not", params, {Complaint::array_class}, call,
        [](Operand<E> x, ResultArray<Bool>& result) {
            if constexpr (floats) {
                map_isnan(x.data, result.data(), result.size());
            } else {
                map_logical_not(x.data, result.data(), result.size());
            }
        });
}

}  // namespace

void add_mask_functions(FunctionList& table) {
    for_each_op<Comparison, std::size(comparison_names)>([&]<Comparison op> {
        add_function<comparison<op>>(table, name_of(comparison_names, op));
    });
    add_functions<mask_of_one<double>, mask_of_one<Bool>>(table, {"isnan", "logical_not"});
    for_each_op<LogicOp, std::size(logic_names)>(
        [&]<LogicOp op> { add_function<logic<op>>(table, name_of(logic_names, op)); });
}

}  // namespace tarnex::io
