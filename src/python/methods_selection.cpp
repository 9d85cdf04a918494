#include "python/methods_selection.hpp"

#include "lib/selection/selection.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {

PyObject* method_boolean_mask(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"mask"};
        auto [mask_arg] = match_method("boolean_mask", params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        ArrayArg<Bool> mask = argument("mask", [&] { return ArrayArg<Bool>(mask_arg); });
        return wrap(boolean_mask(receiver.array(), mask.array()));
    });
}

PyObject* method_where_(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"condition", "other"};
        auto [condition_arg, other_arg] = match_method("where_", params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        ArrayArg<Bool> condition =
            argument("condition", [&] { return ArrayArg<Bool>(condition_arg); });
        ArrayArg<double> other = argument("other", [&] { return ArrayArg<double>(other_arg); });
        return wrap(where_(receiver.array(), condition.array(), other.array()));
    });
}

PyObject* method_fancy_index(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"indices"};
        auto [indices_arg] = match_method("fancy_index", params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        const Shape indices = argument("indices", [&] { return to_size_list(indices_arg); });
        return wrap(fancy_index(receiver.array(), indices));
    });
}

PyObject* method_gather(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"axis", "indices"};
        auto [axis_arg, indices_arg] = match_method("gather", params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        const std::uint64_t axis = argument("axis", [&] { return to_size(axis_arg); });
        const Shape indices = argument("indices", [&] { return to_size_list(indices_arg); });
        return wrap(gather(receiver.array(), axis, indices));
    });
}

}  // namespace tarnex::py
