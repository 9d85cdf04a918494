// The softmax family along one axis (the last by default; None takes all elements as one
// slice): softmax, log_softmax and logsumexp, each with the slice's maximum subtracted
// before the exponentials.
#include "io/axis.hpp"
#include "io/functions.hpp"
#include "lib/axis/axis.hpp"

namespace tarnex::io {
namespace {

// softmax and log_softmax (`log`): the result has a's shape.
template <bool log>
PyObject* softmax_family(const py::CallArgs& call) {
    static const char* const params[] = {"a", "axis"};
    return along_axis<false>(log ? "log_softmax" : "softmax", params, true, call,
                             [](const FloatArray& a, const Axis& axis, bool) {
        if (axis.all) return wrap(log ? log_softmax_all(a) : softmax_all(a));
        return wrap(log ? log_softmax_along(a, axis.index) : softmax_along(a, axis.index));
    });
}

PyObject* logsumexp(const py::CallArgs& call) {
    static const char* const params[] = {"a", "axis", "keepdims"};
    return along_axis<false>("logsumexp", params, true, call,
                             [](const FloatArray& a, const Axis& axis, bool keepdims) {
        if (!axis.all) return wrap(logsumexp_along(a, axis.index, keepdims));
        return whole_result(logsumexp_all(a), a.shape(), keepdims);
    });
}

}  // namespace

void add_softmax_functions(FunctionList& table) {
    add_functions<softmax_family<false>, softmax_family<true>, logsumexp>(
        table, {"softmax", "log_softmax", "logsumexp"});
}

}  // namespace tarnex::io
