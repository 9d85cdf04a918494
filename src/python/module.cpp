// The module's entry point: creates the module once per process and adds the two classes.
#include "python/classes.hpp"
#include "python/guard.hpp"
#include "python/module_state.hpp"

namespace tarnex::py {
namespace {

PyModuleDef module_def = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "tarnex",
    .m_doc = "",
    .m_size = sizeof(ModuleState),
    .m_methods = nullptr,
    .m_slots = nullptr,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nullptr,
};

PyObject* module_cache = nullptr;

// Appends `name` to the module's __all__ (creating it when missing) and sets the attribute.
void add_class(PyObject* module, const char* name, PyTypeObject* type) {
    Ref all(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        const PythonError error = PythonError::fetch();
        if (!PyErr_GivenExceptionMatches(error.type(), PyExc_AttributeError)) throw error;
        all = Ref(check(PyList_New(0)));
        if (PyObject_SetAttrString(module, "__all__", all.get()) != 0) throw_python_error();
    }
    Ref text(check(PyUnicode_FromString(name)));
    if (PyList_Append(all.get(), text.get()) != 0) throw_python_error();
    if (PyObject_SetAttrString(module, name, reinterpret_cast<PyObject*>(type)) != 0) {
        throw_python_error();
    }
}

}  // namespace
}  // namespace tarnex::py

// The entry point is the one symbol the module exports. The interpreter's headers before 3.9
// do not mark it visible themselves, and everything is compiled hidden by default.
#pragma GCC visibility push(default)
extern "C" PyMODINIT_FUNC PyInit_tarnex(void) {
    using namespace tarnex::py;
    return guarded([]() -> PyObject* {
        if (module_cache != nullptr) {
            raise(PyExc_ImportError,
                  "PyO3 modules compiled for CPython 3.8 or older may only be initialized once "
                  "per interpreter process");
        }
        Ref module(check(PyModule_Create(&module_def)));
        static_cast<ModuleState*>(PyModule_GetState(module.get()))->panic_exception_type =
            panic_exception_type;
        add_class(module.get(), "PyNDArray", ndarray_type());
        add_class(module.get(), "PyBoolArray", bool_array_type());
        module_cache = module.get();
        Py_INCREF(module_cache);
        return module.release();
    });
}
#pragma GCC visibility pop

