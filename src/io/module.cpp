// The companion module's entry point and its function table: bulk export and import of
// tarnex arrays, and masks from comparisons, on the tarnex of the same build.
#include "io/functions.hpp"
#include "lib/cpu/isa.hpp"

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
        return info.release();
    });
}

namespace {

constexpr int with_args = METH_VARARGS | METH_KEYWORDS;

template <class F>
PyCFunction as_cfunction(F* function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

PyMethodDef functions[] = {
    {"to_list", as_cfunction(to_list), with_args,
     "to_list(a)\n--\n\nThe elements of a PyNDArray (floats) or a PyBoolArray (bools) as one "
     "flat list, in row-major order."},
    {"to_bytes", as_cfunction(to_bytes), with_args,
     "to_bytes(a)\n--\n\nThe elements as bytes in row-major order: native float64 for a "
     "PyNDArray, one byte 0 or 1 each for a PyBoolArray."},
    {"to_numpy", as_cfunction(to_numpy), with_args,
     "to_numpy(a)\n--\n\nA new numpy array of a's shape (float64 or bool) holding a copy of "
     "its elements."},
    {"from_bytes", as_cfunction(from_bytes), with_args,
     "from_bytes(data, shape)\n--\n\nA new PyNDArray of the given shape from native float64 "
     "bytes in row-major order (bytes, bytearray, or an object with tobytes())."},
    {"bools_from_bytes", as_cfunction(bools_from_bytes), with_args,
     "bools_from_bytes(data, shape)\n--\n\nA new PyBoolArray of the given shape from bytes "
     "that are each 0 or 1 (bytes, bytearray, or an object with tobytes())."},
    {"greater", as_cfunction(greater), with_args,
     "greater(a, b)\n--\n\nA PyBoolArray, true where a > b (b a number or a PyNDArray of a's "
     "shape)."},
    {"greater_equal", as_cfunction(greater_equal), with_args,
     "greater_equal(a, b)\n--\n\nA PyBoolArray, true where a >= b."},
    {"less", as_cfunction(less), with_args, "less(a, b)\n--\n\nA PyBoolArray, true where a < b."},
    {"less_equal", as_cfunction(less_equal), with_args,
     "less_equal(a, b)\n--\n\nA PyBoolArray, true where a <= b."},
    {"equal", as_cfunction(equal), with_args,
     "equal(a, b)\n--\n\nA PyBoolArray, true where a == b (-0.0 equals 0.0; NaN equals "
     "nothing)."},
    {"not_equal", as_cfunction(not_equal), with_args,
     "not_equal(a, b)\n--\n\nA PyBoolArray, true where a != b (always where either is NaN)."},
    {"isnan", as_cfunction(isnan), with_args,
     "isnan(a)\n--\n\nA PyBoolArray, true where a is NaN."},
    {"logical_not", as_cfunction(logical_not), with_args,
     "logical_not(m)\n--\n\nA PyBoolArray, true where m is false."},
    {"logical_and", as_cfunction(logical_and), with_args,
     "logical_and(m1, m2)\n--\n\nA PyBoolArray, true where both masks are (same shape)."},
    {"logical_or", as_cfunction(logical_or), with_args,
     "logical_or(m1, m2)\n--\n\nA PyBoolArray, true where either mask is (same shape)."},
    {"instruction_set", instruction_set, METH_NOARGS,
     "instruction_set()\n--\n\nThe instruction-set level the kernels of this build run at: "
     "\"avx512\", \"avx2\" or \"baseline\"."},
    {"build_info", build_info, METH_NOARGS,
     "build_info()\n--\n\nA dict describing this build: the active, detected and highest "
     "allowed instruction-set levels, and the compiler."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "tarnex_io",
    "Bulk export and import of tarnex arrays, and masks from comparisons, without Python "
    "loops.\n\nWorks only with the tarnex of the same build (installed by the same wheel).",
    0,
    functions,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
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
        return py::check(PyModule_Create(&io::module_def));
    });
}
#pragma GCC visibility pop

