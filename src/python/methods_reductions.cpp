#include "python/methods_reductions.hpp"

#include "lib/reductions/reductions.hpp"
#include "python/method_support.hpp"

namespace tarnex::py {
namespace {

// An index of at most this many entries, given as an exact list or tuple of exact ints, is
// read straight into a small array: the usual get needs no index list at all.
constexpr Py_ssize_t direct_index_entries = 6;

// Reads `obj` into `out` when it is an exact list or tuple of no more than
// direct_index_entries exact ints and returns the entry count; returns -1 (having read
// nothing that matters) for anything else, which to_size_list then converts. Reading an
// exact int runs no Python code, so giving up part-way and starting again with
// to_size_list sees the same items; an int out of range fails here exactly as it does there
// (the interpreter's OverflowError, at the first such entry).
Py_ssize_t read_direct_index(PyObject* obj, std::uint64_t (&out)[direct_index_entries]) {
    const bool list = Py_TYPE(obj) == &PyList_Type;
    if (!list && Py_TYPE(obj) != &PyTuple_Type) return -1;
    const Py_ssize_t n = list ? PyList_Size(obj) : PyTuple_Size(obj);
    if (n > direct_index_entries) return -1;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* item = list ? PyList_GetItem(obj, i) : PyTuple_GetItem(obj, i);
        if (Py_TYPE(item) != &PyLong_Type) return -1;
        const unsigned long long v = PyLong_AsUnsignedLongLong(item);
        if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw_python_error();
        out[i] = v;
    }
    return n;
}

}  // namespace

PyObject* method_get(PyObject* self, const CallArgs& call) {
    return guarded([&] {
        static const char* const params[] = {"index"};
        auto [index_arg] = match_method("get", params, call);
        Receiver<double> receiver(self, Borrow::Kind::shared);
        std::uint64_t direct[direct_index_entries];
        const Py_ssize_t n = argument("index", [&] { return read_direct_index(index_arg, direct); });
        if (n >= 0) return wrap(receiver.array().get(direct, static_cast<std::uint64_t>(n)));
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
