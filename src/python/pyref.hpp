// An owned reference to a Python object, released on every exit path.
#pragma once

#include <utility>

#include "python/python.hpp"

namespace tarnex::py {

class Ref {
public:
    Ref() noexcept = default;
    // Takes over a new reference (may be null).
    explicit Ref(PyObject* owned) noexcept : ptr_(owned) {}
    static Ref borrowed(PyObject* obj) noexcept {
        Py_XINCREF(obj);
        return Ref(obj);
    }
    Ref(const Ref& other) noexcept : ptr_(other.ptr_) { Py_XINCREF(ptr_); }
    Ref(Ref&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~Ref() { Py_XDECREF(ptr_); }

    PyObject* get() const noexcept { return ptr_; }
    PyObject* release() noexcept { return std::exchange(ptr_, nullptr); }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

private:
    PyObject* ptr_ = nullptr;
};

}  // namespace tarnex::py
