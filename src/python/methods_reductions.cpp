#include "python/methods_reductions.hpp"

#include "lib/reductions/reductions.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {

PyObject* method_get(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"index"};
        auto [index_arg] = match_method("get", params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        const Shape index = argument("index", [&] { return to_size_list(index_arg); });
        return wrap(receiver.array().get(index));
    });
}

PyObject* method_sum(PyObject* self, PyObject*) {
    return guarded([&] {
        Receiver<double> receiver(self, Borrow::Kind::shared);
        return wrap(sum(receiver.array()));
    });
}

PyObject* method_mean(PyObject* self, PyObject*) {
    return guarded([&] {
        Receiver<double> receiver(self, Borrow::Kind::shared);
        return wrap(mean(receiver.array()));
    });
}

PyObject* method_argmax(PyObject* self, PyObject*) {
    return guarded([&] {
        Receiver<double> receiver(self, Borrow::Kind::shared);
        return wrap(argmax(receiver.array()));
    });
}

}  // namespace tarnex::py
