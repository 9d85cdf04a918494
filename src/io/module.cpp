// The companion module's entry point and its function table: bulk export and import of
// tarnex arrays, and masks from comparisons, on the tarnex of the same build.
#include "io/functions.hpp"
#include "lib/cpu/isa.hpp"
#include "lib/exp/exp.hpp"

namespace tarnex::io {

PyObject* instruction_set(PyObject*, PyObject*) {
    return py::guarded([] { return py::new_text(cpu::isa_name(cpu::active_isa())).release(); });
}

PyObject* build_info(PyObject*, PyObject*) {
    return py::guarded([] {
        py::Ref info(py::check(PyDict_New()));
        const auto put = [&](const char* key, const char* value) {
            if (PyDict_SetItemString(info.get(), key, py::new_text(value).get()) != 0) {
                py::throw_python_error();
            }
        };
        put("instruction_set", cpu::isa_name(cpu::active_isa()));
        put("detected_instruction_set", cpu::isa_name(cpu::detected_isa()));
        put("build_cap", cpu::isa_name(cpu::build_cap()));
        put("compiler", __VERSION__);
        put("limited_api", "3.8");
        put("exp", exp_path());
        return info.release();
    });
}

void value_error(const char* name, const std::string& message) {
    py::raise(PyExc_ValueError, "argument '" + std::string(name) + "': " + message);
}

namespace {

// Every function of the module, group by group, then the table's end marker.
PyMethodDef* function_table() {
    static FunctionList table = [] {
        FunctionList all;
        add_export_functions(all);
        add_import_functions(all);
        add_mask_functions(all);
        add_elementwise_functions(all);
        add_reduction_functions(all);
        add_softmax_functions(all);
        add_product_functions(all);
        add_build_functions(all);
        add_join_functions(all);
        add_text_functions(all);
        all.push_back({"instruction_set", instruction_set, METH_NOARGS,
                       "instruction_set()\n--\n\nThe instruction-set level the kernels of this "
                       "build run at: \"avx512\", \"avx2\" or \"baseline\"."});
        all.push_back({"build_info", build_info, METH_NOARGS,
                       "build_info()\n--\n\nA dict describing this build: the active, detected "
                       "and highest allowed instruction-set levels, the compiler, and which "
                       "exponential runs (\"exp\": \"vector-fma\", \"vector\" or \"libm\")."});
        all.push_back({nullptr, nullptr, 0, nullptr});
        return all;
    }();
    return table.data();
}

PyModuleDef module_def = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "tarnex_io",
    .m_doc = "Bulk export and import of tarnex arrays, and masks from comparisons, without "
             "Python loops.\n\nWorks only with the tarnex of the same build (installed by the "
             "same wheel).",
    .m_size = 0,
    .m_methods = nullptr,  // the table, set at import
    .m_slots = nullptr,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nullptr,
};

}  // namespace
}  // namespace tarnex::io

// The entry point is the one symbol the module exports. The interpreter's headers before 3.9
// do not mark it visible themselves, and everything is compiled hidden by default.
#pragma GCC visibility push(default)
extern "C" PyMODINIT_FUNC PyInit_tarnex_io(void) {
    using namespace tarnex;
    return py::guarded([]() -> PyObject* {
        io::link_tarnex();
        io::module_def.m_methods = io::function_table();
        py::Ref module(py::check(PyModule_Create(&io::module_def)));
        io::register_pickling(module.get());
        return module.release();
    });
}
#pragma GCC visibility pop

