// Conversions of Python arguments to the values the core takes. Each returns its value or
// throws the conversion's error (PythonError); `argument` wraps an exact TypeError with the
// parameter's name.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "lib/ndarray.hpp"
#include "python/python_error.hpp"

namespace tarnex::py {

double to_float(PyObject* obj);
std::uint64_t to_size(PyObject* obj);
Shape to_size_list(PyObject* obj);

// A size list kept on the stack while short: element indices, converted on every read.
class SmallSizeList {
public:
    void push_back(std::uint64_t value) {
        if (heap_.empty() && size_ < inline_capacity) {
            inline_[size_++] = value;
            return;
        }
        if (heap_.empty()) heap_.assign(inline_, inline_ + size_);
        heap_.push_back(value);
        ++size_;
    }
    const std::uint64_t* data() const noexcept { return heap_.empty() ? inline_ : heap_.data(); }
    std::uint64_t size() const noexcept { return size_; }

private:
    static constexpr std::uint64_t inline_capacity = 8;
    std::uint64_t inline_[inline_capacity];
    Shape heap_;
    std::uint64_t size_ = 0;
};
void to_size_list(PyObject* obj, SmallSizeList& out);
Buffer<double> to_float_list(PyObject* obj);
Buffer<Bool> to_bool_list(PyObject* obj);
bool to_bool(PyObject* obj);

// The __qualname__ of the type of obj, or "<failed to extract type name>".
std::string type_qualname(PyObject* obj);

// "'{type qualname}' object cannot be converted to '{target}'" as a TypeError.
[[noreturn]] void raise_cannot_convert(PyObject* obj, const char* target);

// Replaces an exact TypeError by TypeError("argument '<name>': <message>") whose cause is
// set to the replaced error's cause (None when it had none); any other error passes
// unchanged.
[[noreturn]] void rethrow_for_argument(const char* name, const PythonError& error);

// Runs one conversion for the parameter `name`, wrapping its TypeError.
template <class Convert>
auto argument(const char* name, Convert&& convert) -> decltype(convert()) {
    try {
        return convert();
    } catch (const PythonError& error) {
        rethrow_for_argument(name, error);
    }
}

}  // namespace tarnex::py
