// The receiver is borrowed exclusively for the whole call, so no other call can read it
// while it is being written.
#include "python/methods_region_write.hpp"

#include "lib/selection/region_write.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {

PyObject* method_masked_fill(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"mask", "value"};
        auto [mask_arg, value_arg] = match_method("masked_fill", params, call);
        Receiver<double> receiver(self, Borrow::Kind::exclusive);
        ArrayArg<Bool> mask = argument("mask", [&] { return ArrayArg<Bool>(mask_arg); });
        const double value = argument("value", [&] { return to_float(value_arg); });
        masked_fill(receiver.array_mut(), mask.array(), value);
        return none();
    });
}

PyObject* method_set_slice(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"axis", "start", "end", "value"};
        auto [axis_arg, start_arg, end_arg, value_arg] =
            match_method("set_slice", params, call);
        Receiver<double> receiver(self, Borrow::Kind::exclusive);
        const std::uint64_t axis = argument("axis", [&] { return to_size(axis_arg); });
        const std::uint64_t start = argument("start", [&] { return to_size(start_arg); });
        const std::uint64_t end = argument("end", [&] { return to_size(end_arg); });
        const double value = argument("value", [&] { return to_float(value_arg); });
        set_slice(receiver.array_mut(), axis, start, end, value);
        return none();
    });
}

}  // namespace tarnex::py
