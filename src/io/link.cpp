// Finding tarnex and making sure it is the one this module was built with.
//
// The companion reads tarnex's instance objects directly (the array record and the borrow
// counter behind the object header) and makes new ones the same way, so it must never meet
// a tarnex whose layout differs. Python gives no way to ask a module which build it is
// without adding something to its surface, and tarnex's surface must stay as it is. So each
// configure of the build draws a random key: tarnex carries it as a string in its file
// (compiled in, exported nowhere), and this module carries the same string. At import this
// module
//   1. imports tarnex and takes PyNDArray and PyBoolArray from it;
//   2. checks each is a heap type named builtins.<name>, neither a base type nor collected,
//      whose instances are exactly as large as this module's record of them;
//   3. reads the file tarnex was loaded from (tarnex.__file__) once and looks for the key;
//   4. takes tarnex's PanicException class from tarnex's module state, so that a core
//      failure in this module is raised as the one class tarnex raises.
// Anything else (another build, a module standing in for tarnex, a file that cannot be
// read) fails the import with ImportError before any tarnex object is read. The size test
// catches a mismatched layout even where the file test could not run; the key catches
// every other difference between builds (a changed record of the same size, other flags).
#include "io/link.hpp"

#include <cstdio>
#include <string>
#include <string_view>

#include "io/build_key.hpp"
#include "python/module_state.hpp"
#include "python/panic_exception.hpp"

namespace tarnex::io {
namespace {

PyTypeObject* float_class = nullptr;
PyTypeObject* bool_class = nullptr;

[[noreturn]] void mismatch(const std::string& detail) {
    py::raise(PyExc_ImportError,
              "tarnex_io was built for a different tarnex build (" + detail +
                  "); install tarnex and tarnex_io from the same wheel");
}

// The attribute `name` of obj as UTF-8 text, or empty when it is missing or not a str.
std::string text_attribute(PyObject* obj, const char* name) {
    py::Ref value(PyObject_GetAttrString(obj, name));
    if (!value || !PyUnicode_Check(value.get())) {
        PyErr_Clear();
        return {};
    }
    return py::utf8_text(value.get()).value_or(std::string());
}

long long integer_attribute(PyObject* obj, const char* name) {
    py::Ref value(PyObject_GetAttrString(obj, name));
    const long long v = value && PyLong_Check(value.get()) ? PyLong_AsLongLong(value.get()) : -1;
    PyErr_Clear();
    return v;
}

template <class E>
PyTypeObject* checked_class(PyObject* tarnex) {
    const char* name = class_name<E>();
    py::Ref found(PyObject_GetAttrString(tarnex, name));
    if (!found) {
        PyErr_Clear();
        mismatch(std::string("it has no class ") + name);
    }
    if (!PyType_Check(found.get())) mismatch(std::string(name) + " is not a class");
    auto* type = reinterpret_cast<PyTypeObject*>(found.get());
    const unsigned long flags = PyType_GetFlags(type);
    const bool layout_flags = (flags & Py_TPFLAGS_HEAPTYPE) != 0 &&
                              (flags & Py_TPFLAGS_BASETYPE) == 0 &&
                              (flags & Py_TPFLAGS_HAVE_GC) == 0;
    if (!layout_flags || text_attribute(found.get(), "__module__") != "builtins" ||
        text_attribute(found.get(), "__qualname__") != name ||
        integer_attribute(found.get(), "__basicsize__") !=
            static_cast<long long>(sizeof(ArrayObject<E>)) ||
        integer_attribute(found.get(), "__itemsize__") != 0) {
        mismatch(std::string("its class ") + name + " is laid out differently");
    }
    return reinterpret_cast<PyTypeObject*>(found.release());
}

// Whether the file at `path` holds the build marker of this module.
bool file_holds_marker(PyObject* path) {
    py::Ref encoded(PyUnicode_EncodeFSDefault(path));
    if (!encoded) {
        PyErr_Clear();
        return false;
    }
    std::FILE* file = std::fopen(PyBytes_AsString(encoded.get()), "rb");
    if (file == nullptr) return false;
    std::string contents;
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) contents.append(chunk, got);
    std::fclose(file);
    return std::string_view(contents).find(TARNEX_BUILD_MARKER) != std::string_view::npos;
}

}  // namespace

template <>
PyTypeObject* tarnex_class<double>() noexcept {
    return float_class;
}

template <>
PyTypeObject* tarnex_class<Bool>() noexcept {
    return bool_class;
}

void link_tarnex() {
    if (float_class != nullptr) return;  // checked once per process
    py::Ref tarnex(py::check(PyImport_ImportModule("tarnex")));
    py::Ref path(PyObject_GetAttrString(tarnex.get(), "__file__"));
    if (!path || !PyUnicode_Check(path.get())) {
        PyErr_Clear();
        mismatch("the tarnex found was not loaded from a file");
    }
    py::Ref floats(reinterpret_cast<PyObject*>(checked_class<double>(tarnex.get())));
    py::Ref bools(reinterpret_cast<PyObject*>(checked_class<Bool>(tarnex.get())));
    if (!file_holds_marker(path.get())) {
        mismatch("the tarnex at " + py::utf8_text(path.get()).value_or(std::string()) +
                 " is not its build");
    }
    // tarnex is this build, so its module state is laid out as this module knows it.
    auto* state = static_cast<py::ModuleState*>(PyModule_GetState(tarnex.get()));
    if (state == nullptr) {
        PyErr_Clear();
        mismatch("its module keeps no state");
    }
    PyObject* panic = py::check(state->panic_exception_type());
    Py_INCREF(panic);
    py::adopt_panic_exception_type(panic);
    // Kept for the life of the process, like tarnex's own references to them.
    float_class = reinterpret_cast<PyTypeObject*>(floats.release());
    bool_class = reinterpret_cast<PyTypeObject*>(bools.release());
}

}  // namespace tarnex::io
