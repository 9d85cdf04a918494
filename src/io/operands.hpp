// The arguments of the element-wise functions: operands that are arrays or numbers, the
// optional out= array, and the result written either into it or into a new array.
//
// A call takes its arguments in order: the operands (each array borrowed shared, each
// number converted), then out (borrowed exclusively), then the shapes are broadcast and
// out's shape checked; only then is anything allocated or written. An operand that is the
// out object itself is read through out's exclusive borrow instead of a shared one of its
// own (a shared borrow would conflict with it); it then has the result's shape, so every
// element is read at the position it is written to.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "io/functions.hpp"
#include "lib/broadcast/broadcast.hpp"
#include "lib/broadcast/broadcast_shape.hpp"

namespace tarnex::io {

// What a wrong type of float operand says: the first float operand of a function names
// the array class ("'list' object cannot be converted to 'PyNDArray' or a float"), the
// others give the float conversion's own message ("must be real number, not str").
enum class Complaint { array_class, float_conversion };

// Matches (operand..., out): the operands required and positional, out keyword-only and
// optional; the usual call (operands by position, no keywords) without the general matcher.
template <std::size_t N>
std::array<PyObject*, N> match_with_out(const char* function, const char* const (&names)[N],
                                        const py::CallArgs& call) {
    if (!call.has_keywords() && call.positional_count() == static_cast<Py_ssize_t>(N - 1)) {
        std::array<PyObject*, N> slots;
        for (std::size_t i = 0; i + 1 < N; ++i) slots[i] = call.positional(static_cast<Py_ssize_t>(i));
        slots[N - 1] = nullptr;
        return slots;
    }
    return match(function, names, call, N - 1, N - 1);
}

// The out= argument for a result of element type E: not given when null or None.
template <class E>
class OutArg {
public:
    explicit OutArg(PyObject* obj) noexcept : object_(obj == Py_None ? nullptr : obj) {}
    OutArg(const OutArg&) = delete;
    OutArg& operator=(const OutArg&) = delete;

    bool given() const noexcept { return object_ != nullptr; }
    PyObject* object() const noexcept { return object_; }
    // Checks out's class (TypeError naming 'out') and borrows it exclusively (RuntimeError
    // while anything else borrows it).
    void borrow();
    NDArray<E>& array() noexcept { return reinterpret_cast<ArrayObject<E>*>(object_)->array; }

private:
    PyObject* object_;
    std::optional<Borrow> borrow_;
};

// One operand: an array of tarnex's class for E, or a number (a bool for E = Bool) as a 0-d
// operand. Not movable: a number's data pointer points into the object.
template <class E>
class OperandArg {
public:
    OperandArg(const char* name, PyObject* obj, PyObject* out, Complaint complaint);
    OperandArg(const OperandArg&) = delete;
    OperandArg& operator=(const OperandArg&) = delete;

    tarnex::Operand<E> view() const noexcept { return {data_, shape_}; }
    const E* data() const noexcept { return data_; }
    const Shape& shape() const noexcept { return *shape_; }

private:
    std::optional<Held<E>> held_;
    E scalar_{};
    const E* data_ = &scalar_;
    const Shape* shape_;
};

// ValueError naming `name`, whose shape does not broadcast against that of `against`.
[[noreturn]] void broadcast_error(const char* name, const Shape& shape, const char* against,
                                  const Shape& against_shape);

// Where a result goes: out's elements (ValueError naming 'out' unless its shape is exactly
// the result's), or a new buffer of the result's shape (MemoryError when it cannot be had).
template <class E>
class ResultArray {
public:
    ResultArray(Shape shape, OutArg<E>& out);
    ResultArray(const ResultArray&) = delete;
    ResultArray& operator=(const ResultArray&) = delete;

    E* data() noexcept { return data_; }
    const Shape& shape() const noexcept { return shape_; }
    std::uint64_t size() const noexcept { return size_; }
    // out, as a new reference, or a new array owning the buffer.
    PyObject* finish();

private:
    Shape shape_;
    std::uint64_t size_ = 0;
    OutArg<E>* out_ = nullptr;
    Buffer<E> buffer_;
    E* data_ = nullptr;
};

// The shape the operands broadcast to; ValueError naming the first operand that does not
// fit, with its shape and that of the operand it conflicts with. One operand's shape is the
// result's.
template <std::size_t N>
__attribute__((always_inline)) inline Shape broadcast_result(const Shape* const (&shapes)[N],
                                                         const char* const* names) {
    if constexpr (N == 1) {
        return *shapes[0];
    } else {
        Shape result;
        if (const auto conflict = broadcast_shapes(shapes, N, result)) {
            broadcast_error(names[conflict->operand], *shapes[conflict->operand],
                            names[conflict->against], *shapes[conflict->against]);
        }
        return result;
    }
}

// The body every broadcasting function shares, over operands of element types Es... and a
// result of element type R: matches (operand..., out) as `params` names them, takes each
// operand in order (`complaints` says how a wrong type of each is reported), borrows out,
// broadcasts the shapes and has the result computed by kernel(operand views..., result).
namespace detail {

// Takes operand k, of element type E, into a local of its own, then the operands after it,
// and returns done(every operand taken, in order).
template <std::size_t k, class E, class... Rest, class Slots, class Done, class... Taken>
PyObject* take_operands(const char* const* params, const Complaint* complaints,
                        const Slots& slots, PyObject* out, Done& done, const Taken&... taken) {
    const OperandArg<E> operand(params[k], slots[k], out, complaints[k]);
    if constexpr (sizeof...(Rest) == 0) {
        return done(taken..., operand);
    } else {
        return take_operands<k + 1, Rest...>(params, complaints, slots, out, done, taken...,
                                             operand);
    }
}

}  // namespace detail

template <class R, class... Es, class Kernel>
PyObject* broadcast_call(const char* function, const char* const (&params)[sizeof...(Es) + 1],
                         const Complaint (&complaints)[sizeof...(Es)], const py::CallArgs& call,
                         Kernel&& kernel) {
    const auto slots = match_with_out(function, params, call);
    OutArg<R> out(slots[sizeof...(Es)]);
    auto done = [&](const auto&... operands) {
        out.borrow();
        const Shape* shapes[] = {&operands.shape()...};
        ResultArray<R> result(broadcast_result(shapes, params), out);
        kernel(operands.view()..., result);
        return result.finish();
    };
    return detail::take_operands<0, Es...>(params, complaints, slots, out.object(), done);
}

extern template class OutArg<double>;
extern template class OutArg<Bool>;
extern template class OperandArg<double>;
extern template class OperandArg<Bool>;
extern template class ResultArray<double>;
extern template class ResultArray<Bool>;

}  // namespace tarnex::io
