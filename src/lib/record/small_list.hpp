// A list of trivially copyable values that keeps up to N of them inside itself and moves to
// one heap block beyond that. Shapes, strides and index counters have a handful of entries,
// so an array record and its temporaries need no allocation of their own for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <type_traits>

#include "lib/record/buffer.hpp"

namespace tarnex {

template <class T, std::size_t N>
class SmallList {
    static_assert(std::is_trivially_copyable_v<T> && N > 0);

public:
    SmallList() noexcept = default;
    SmallList(std::size_t count, T value) {
        reserve(count);
        for (std::size_t i = 0; i < count; ++i) data()[i] = value;
        size_ = count;
    }
    SmallList(std::initializer_list<T> values) { append(values.begin(), values.size()); }
    SmallList(const SmallList& other) { append(other.data(), other.size()); }
    SmallList(SmallList&& other) noexcept { take(other); }
    SmallList& operator=(const SmallList& other) {
        if (this != &other) {
            size_ = 0;
            append(other.data(), other.size());
        }
        return *this;
    }
    SmallList& operator=(SmallList&& other) noexcept {
        if (this != &other) {
            std::free(heap_);
            take(other);
        }
        return *this;
    }
    ~SmallList() { std::free(heap_); }

    T* data() noexcept { return heap_ != nullptr ? heap_ : inline_; }
    const T* data() const noexcept { return heap_ != nullptr ? heap_ : inline_; }
    std::size_t size() const noexcept { return size_; }
    std::size_t capacity() const noexcept { return capacity_; }
    bool empty() const noexcept { return size_ == 0; }
    T& operator[](std::size_t i) noexcept { return data()[i]; }
    const T& operator[](std::size_t i) const noexcept { return data()[i]; }
    T* begin() noexcept { return data(); }
    T* end() noexcept { return data() + size_; }
    const T* begin() const noexcept { return data(); }
    const T* end() const noexcept { return data() + size_; }

    void push_back(T value) {
        if (size_ == capacity_) reserve(size_ < SIZE_MAX / 2 ? size_ * 2 : size_ + 1);
        data()[size_++] = value;
    }
    // Room for at least `count` entries; throws AllocationFailure (or fails with
    // "capacity overflow") when it cannot be had, leaving the list as it was.
    void reserve(std::size_t count) {
        if (count <= capacity_) return;
        check_capacity(count, sizeof(T));
        T* fresh = static_cast<T*>(allocate_bytes(count * sizeof(T), false));
        std::memcpy(fresh, data(), size_ * sizeof(T));
        std::free(heap_);
        heap_ = fresh;
        capacity_ = count;
    }

    friend bool operator==(const SmallList& a, const SmallList& b) noexcept {
        return a.size_ == b.size_ && std::memcmp(a.data(), b.data(), a.size_ * sizeof(T)) == 0;
    }

private:
    void append(const T* values, std::size_t count) {
        reserve(size_ + count);
        std::memcpy(data() + size_, values, count * sizeof(T));
        size_ += count;
    }
    void take(SmallList& other) noexcept {
        heap_ = other.heap_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        if (heap_ == nullptr) std::memcpy(inline_, other.inline_, size_ * sizeof(T));
        other.heap_ = nullptr;
        other.size_ = 0;
        other.capacity_ = N;
    }

    T* heap_ = nullptr;  // null while the entries fit inside
    std::size_t size_ = 0;
    std::size_t capacity_ = N;
    T inline_[N];
};

}  // namespace tarnex
