// Arrays in: from the native bytes of their elements.
//
// Accepted as data: bytes and bytearray (and their subclasses), read in place; and any
// other object with a tobytes() method that returns bytes (memoryview, array.array, numpy
// arrays), whose result is read. The interpreter's buffer protocol is not part of the
// stable ABI of the oldest interpreter this module loads into, so a general buffer cannot
// be read in place.
#include <cstring>
#include <string>
#include <type_traits>

#include "io/functions.hpp"

namespace tarnex::io {
namespace {

// The bytes passed as data, found before the shape is converted and read after it: the
// shape's conversion may run Python code, which could resize a bytearray, so its memory is
// only located once nothing else runs before the copy. (A tobytes() result is a bytes
// object of its own, which nothing can change.)
struct Source {
    py::Ref object;  // a bytes or a bytearray
    bool is_bytearray = false;

    const char* data() const {
        return is_bytearray ? PyByteArray_AsString(object.get()) : PyBytes_AsString(object.get());
    }
    std::uint64_t size() const {
        return static_cast<std::uint64_t>(is_bytearray ? PyByteArray_Size(object.get())
                                                       : PyBytes_Size(object.get()));
    }
};

Source to_source(PyObject* obj) {
    if (PyBytes_Check(obj)) return {py::Ref::borrowed(obj), false};
    if (PyByteArray_Check(obj)) return {py::Ref::borrowed(obj), true};
    py::Ref method(PyObject_GetAttrString(obj, "tobytes"));
    if (!method) {
        const py::PythonError error = py::PythonError::fetch();
        if (!PyErr_GivenExceptionMatches(error.type(), PyExc_AttributeError)) throw error;
        py::raise(PyExc_TypeError, "expected bytes, bytearray or an object with a tobytes() "
                                   "method such as memoryview, not '" +
                                       py::type_qualname(obj) + "'");
    }
    py::Ref result(py::check(PyObject_CallObject(method.get(), nullptr)));
    if (!PyBytes_Check(result.get())) {
        py::raise(PyExc_TypeError, "tobytes() returned '" + py::type_qualname(result.get()) +
                                       "', not bytes");
    }
    return {std::move(result), false};
}

template <class E>
PyObject* array_from_bytes(const py::CallArgs& call) {
    static const char* const params[] = {"data", "shape"};
    constexpr const char* function = std::is_same_v<E, double> ? "from_bytes" : "bools_from_bytes";
    auto [data_arg, shape_arg] = match(function, params, call);
    const Source source = py::argument("data", [&] { return to_source(data_arg); });
    Shape shape = py::argument("shape", [&] { return py::to_size_list(shape_arg); });

    // Checked before anything is allocated; a count beyond 64 bits matches no length.
    const auto count = extent_product(shape);
    const std::uint64_t size = source.size();
    const bool fits = count && *count <= size / sizeof(E);
    if (!fits || *count * sizeof(E) != size) {
        const char* unit = std::is_same_v<E, double> ? " (8 bytes per float64 element)"
                                                     : " (1 byte per element)";
        value_error("data", std::to_string(size) + " bytes do not match shape " +
                                format_shape(shape) +
                                (count ? ", which needs " + std::to_string(*count * sizeof(E)) +
                                             " bytes"
                                       : std::string(", which has more than 2**64 elements")) +
                                unit);
    }
    const char* bytes = source.data();
    if constexpr (std::is_same_v<E, Bool>) {
        // Only 0 and 1 are booleans; the first other byte is named by its position. Blocks
        // are tested whole (a loop that vectorises), and only a failing one byte by byte.
        const auto* u = reinterpret_cast<const unsigned char*>(bytes);
        constexpr std::uint64_t block = 4096;
        for (std::uint64_t start = 0; start < size; start += block) {
            const std::uint64_t end = size - start < block ? size : start + block;
            unsigned char seen = 0;
            for (std::uint64_t i = start; i < end; ++i) seen |= u[i];
            if ((seen & 0xFE) == 0) continue;
            for (std::uint64_t i = start; i < end; ++i) {
                if (u[i] > 1) {
                    value_error("data", "byte " + std::to_string(i) + " is " +
                                            std::to_string(u[i]) + ", not 0 (False) or 1 (True)");
                }
            }
        }
    }
    Buffer<E> elements = Buffer<E>::uninitialized(*count);
    if (size != 0) std::memcpy(elements.data(), bytes, size);
    return wrap(NDArray<E>::new_(std::move(elements), std::move(shape)));
}


}  // namespace

void add_import_functions(FunctionList& table) {
    add_functions<array_from_bytes<double>, array_from_bytes<Bool>>(
        table, {"from_bytes", "bools_from_bytes"});
}

}  // namespace tarnex::io
