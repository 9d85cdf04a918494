// Each method makes its view and copies it with to_owned within one expression, so the view
// never outlives the receiver's borrow.
#include "python/methods_views.hpp"

#include "lib/views/view.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {
namespace {

// slice_row and slice_col: one size parameter.
template <NDArrayView (*slice)(const FloatArray&, std::uint64_t)>
PyObject* one_position(const char* name, const char* const (&params)[1], PyObject* self,
                       const CallArgs& call) {
    return guarded([&] {
        auto [position_arg] = match_method(name, params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        const std::uint64_t position = argument(params[0], [&] { return to_size(position_arg); });
        return wrap(slice(receiver.array(), position).to_owned());
    });
}

}  // namespace

PyObject* method_transpose(PyObject* self, PyObject*) {
    return guarded([&] {
        Receiver<double> receiver(self, Borrow::Kind::shared);
        return wrap(transpose(receiver.array()).to_owned());
    });
}

PyObject* method_slice_row(PyObject* self, const CallArgs& call) {
    static const char* const params[] = {"row"};
    return one_position<slice_row>("slice_row", params, self, call);
}

PyObject* method_slice_col(PyObject* self, const CallArgs& call) {
    static const char* const params[] = {"col"};
    return one_position<slice_col>("slice_col", params, self, call);
}

PyObject* method_slice_range(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"axis", "start", "end"};
        auto [axis_arg, start_arg, end_arg] = match_method("slice_range", params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        const std::uint64_t axis = argument("axis", [&] { return to_size(axis_arg); });
        const std::uint64_t start = argument("start", [&] { return to_size(start_arg); });
        const std::uint64_t end = argument("end", [&] { return to_size(end_arg); });
        return wrap(slice_range(receiver.array(), axis, start, end).to_owned());
    });
}

PyObject* method_reshape(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"new_shape"};
        auto [shape_arg] = match_method("reshape", params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        Shape new_shape = argument("new_shape", [&] { return to_size_list(shape_arg); });
        return wrap(reshape(receiver.array(), std::move(new_shape)).to_owned());
    });
}

}  // namespace tarnex::py
