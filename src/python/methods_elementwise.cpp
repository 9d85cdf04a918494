#include "python/methods_elementwise.hpp"

#include "lib/elementwise/activations.hpp"
#include "lib/elementwise/elementwise.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {
namespace {

// The methods without parameters: borrow the receiver, run `operation`, wrap the result.
template <FloatArray (*operation)(const FloatArray&)>
PyObject* unary(PyObject* self) {
    return guarded([&] {
        Receiver<double> receiver(self, Borrow::Kind::shared);
        return wrap(operation(receiver.array()));
    });
}

}  // namespace

PyObject* method_relu(PyObject* self, PyObject*) { return unary<relu>(self); }
PyObject* method_sigmoid(PyObject* self, PyObject*) { return unary<sigmoid>(self); }
PyObject* method_softmax(PyObject* self, PyObject*) { return unary<softmax>(self); }
PyObject* method_cumsum(PyObject* self, PyObject*) { return unary<cumsum>(self); }

PyObject* method_scale(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"scalar"};
        auto [scalar_arg] = match_method("scale", params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        const double scalar = argument("scalar", [&] { return to_float(scalar_arg); });
        return wrap(scale(receiver.array(), scalar));
    });
}

PyObject* method_add(PyObject* self, const CallArgs& call) {
    return method_with_other<add>("add", self, call);
}

PyObject* method_mul(PyObject* self, const CallArgs& call) {
    return method_with_other<mul>("mul", self, call);
}

}  // namespace tarnex::py
