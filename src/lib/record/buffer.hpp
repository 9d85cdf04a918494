// The owned element buffer of an array: one allocation, a length and a capacity.
// Unlike std::vector it can hand out room without initialising it, so kernels that write
// every position fill it exactly once.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

#include "lib/record/failure.hpp"

namespace tarnex {

// Largest request the system allows, in bytes.
inline constexpr std::uint64_t max_allocation_bytes = (std::uint64_t{1} << 63) - 8;

// Fails with "capacity overflow" when `count` elements of `size` bytes exceed the limit.
void check_capacity(std::uint64_t count, std::uint64_t size);

// Asks for huge pages behind a large fresh block (4 MiB or more).
void advise_huge_pages(void* data, std::uint64_t bytes) noexcept;

// Raw allocation behind every buffer: malloc, or calloc when `zeroed`. Throws
// AllocationFailure with the byte count when the allocator refuses.
void* allocate_bytes(std::uint64_t bytes, bool zeroed);

template <class T>
class Buffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    Buffer() noexcept = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    Buffer(Buffer&& other) noexcept
        : ptr_(std::exchange(other.ptr_, nullptr)),
          len_(std::exchange(other.len_, 0)),
          cap_(std::exchange(other.cap_, 0)) {}
    Buffer& operator=(Buffer&& other) noexcept {
        if (this != &other) {
            std::free(ptr_);
            ptr_ = std::exchange(other.ptr_, nullptr);
            len_ = std::exchange(other.len_, 0);
            cap_ = std::exchange(other.cap_, 0);
        }
        return *this;
    }
    ~Buffer() { std::free(ptr_); }

    // Empty buffer with room for `capacity` elements (nothing allocated for 0).
    static Buffer with_capacity(std::uint64_t capacity) {
        Buffer b;
        b.reserve_exact(capacity, false);
        return b;
    }
    // Buffer of `length` elements whose values the caller must write before reading.
    static Buffer uninitialized(std::uint64_t length) {
        Buffer b = with_capacity(length);
        b.len_ = length;
        return b;
    }
    // Buffer of `length` elements, every byte zero (+0.0 for floats, false for booleans).
    static Buffer zeroed(std::uint64_t length) {
        Buffer b;
        b.reserve_exact(length, true);
        b.len_ = length;
        return b;
    }

    T* data() noexcept { return ptr_; }
    const T* data() const noexcept { return ptr_; }
    std::uint64_t size() const noexcept { return len_; }
    std::uint64_t capacity() const noexcept { return cap_; }
    bool empty() const noexcept { return len_ == 0; }
    T& operator[](std::uint64_t i) noexcept { return ptr_[i]; }
    const T& operator[](std::uint64_t i) const noexcept { return ptr_[i]; }
    T* begin() noexcept { return ptr_; }
    T* end() noexcept { return ptr_ + len_; }
    const T* begin() const noexcept { return ptr_; }
    const T* end() const noexcept { return ptr_ + len_; }

    // Appends, doubling the room when full.
    void push_back(T value) {
        if (len_ == cap_) grow(len_ + 1);
        ptr_[len_++] = value;
    }
    // Sets the length within the capacity; used after filling reserved room directly.
    void set_size(std::uint64_t length) noexcept { len_ = length; }

    // Grows the room to at least `needed` elements.
    void grow(std::uint64_t needed) {
        std::uint64_t target = cap_ * 2 > needed ? cap_ * 2 : needed;
        if (target < 4) target = 4;
        const std::uint64_t limit = max_allocation_bytes / sizeof(T);
        if (target > limit) target = needed;
        check_capacity(target, sizeof(T));
        T* fresh = static_cast<T*>(allocate_bytes(target * sizeof(T), false));
        if (len_ != 0) std::memcpy(fresh, ptr_, len_ * sizeof(T));
        std::free(ptr_);
        ptr_ = fresh;
        cap_ = target;
    }

private:
    void reserve_exact(std::uint64_t capacity, bool zero) {
        if (capacity == 0) return;
        check_capacity(capacity, sizeof(T));
        ptr_ = static_cast<T*>(allocate_bytes(capacity * sizeof(T), zero));
        cap_ = capacity;
    }

    T* ptr_ = nullptr;
    std::uint64_t len_ = 0;
    std::uint64_t cap_ = 0;
};

}  // namespace tarnex
