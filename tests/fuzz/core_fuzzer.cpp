// Coverage-guided fuzzing of the array core. Each input is decoded into a short program:
// arrays (rank 0 to 4, mostly small extents, some extents near 2^64 whose product must be
// refused cleanly) kept in a few slots, and a sequence of core operations on them. Every
// operation also runs on a plain sequential model of the array written here, element by
// element through index counters and checked element reads, and the two must agree:
// results bit for bit, failure messages exactly, and operands unchanged by every operation
// that is not an in-place write that succeeded. Any disagreement aborts with a description,
// which libFuzzer records as a crash.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "lib/elementwise/activations.hpp"
#include "lib/elementwise/elementwise.hpp"
#include "lib/matmul/matmul.hpp"
#include "lib/record/failure.hpp"
#include "lib/record/ndarray.hpp"
#include "lib/reductions/reductions.hpp"
#include "lib/selection/region_write.hpp"
#include "lib/selection/selection.hpp"
#include "lib/views/view.hpp"

namespace {

using tarnex::Bool;
using tarnex::BoolArray;
using tarnex::Buffer;
using tarnex::CoreFailure;
using tarnex::FloatArray;
using tarnex::NDArrayView;
using tarnex::Shape;
using u64 = std::uint64_t;
using Dims = std::vector<u64>;

// The core writes a report to standard error for every failure; run.sh closes standard error
// (libFuzzer keeps its own copy), so the harness writes its findings to a copy of its own.
int report_fd = 2;

[[noreturn]] void mismatch(const char* op, const char* fmt, ...) {
    char text[4096];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    dprintf(report_fd, "\n*** core disagrees with the model in %s: %s\n", op, text);
    std::abort();
}

// ---------------------------------------------------------------------------------------
// The model: row-major arrays as plain vectors, and the operations written as the
// straightforward loops they are defined by.

struct Fail {
    std::string message;
};

[[noreturn]] void refuse(std::string message) { throw Fail{std::move(message)}; }

template <class E>
struct Model {
    std::vector<E> data;
    Dims shape;
};
using FloatModel = Model<double>;
using BoolModel = Model<Bool>;

std::string dims_text(const Dims& dims) {
    std::string out = "[";
    for (std::size_t i = 0; i < dims.size(); ++i) {
        if (i != 0) out += ", ";
        out += std::to_string(dims[i]);
    }
    return out + "]";
}

std::string num(u64 v) { return std::to_string(v); }

// Extents multiplied from the first on; 0 as soon as one is 0; nothing beyond 64 bits.
std::optional<u64> product(const Dims& dims) {
    for (u64 e : dims) {
        if (e == 0) return 0;
    }
    u64 p = 1;
    for (u64 e : dims) {
        if (__builtin_mul_overflow(p, e, &p)) return std::nullopt;
    }
    return p;
}

// The element count of a shape an array is built with; the core refuses one beyond 64 bits.
u64 model_count(const Dims& dims) {
    const auto p = product(dims);
    if (!p) refuse("element count of shape " + dims_text(dims) + " does not fit in 64 bits");
    return *p;
}

// The count of a result about to be allocated (8-byte elements).
u64 model_allocation(const Dims& dims) {
    const auto p = product(dims);
    if (!p || *p > ((u64{1} << 63) - 8) / 8) refuse("capacity overflow");
    return *p;
}

// Row-major strides with a wrapping running product, as the record defines them.
Dims model_strides(const Dims& shape) {
    Dims strides(shape.size());
    u64 p = 1;
    for (std::size_t k = shape.size(); k-- > 0;) {
        strides[k] = p;
        p *= shape[k];
    }
    return strides;
}

template <class E>
Model<E> model_new(std::vector<E> data, Dims shape) {
    const u64 count = model_count(shape);
    if (data.size() != count) {
        refuse("data length " + num(data.size()) + " does not match shape " + dims_text(shape) +
               " (expected " + num(count) + ")");
    }
    return Model<E>{std::move(data), std::move(shape)};
}

// The checked element read of the record, on any layout.
u64 model_position(u64 len, const Dims& shape, const Dims& strides, u64 offset,
                   const Dims& index) {
    if (index.size() != shape.size()) refuse("length of the given index and shape must match.");
    u64 position = offset;
    for (std::size_t d = 0; d < shape.size(); ++d) {
        if (index[d] >= shape[d]) {
            refuse("index out of bounds for dimension " + num(d) + ": index " + num(index[d]) +
                   ", shape " + num(shape[d]));
        }
        position += index[d] * strides[d];
    }
    if (position >= len) {
        refuse("index out of bounds: the len is " + num(len) + " but the index is " +
               num(position));
    }
    return position;
}

template <class E>
E model_get(const Model<E>& m, const Dims& index) {
    return m.data[model_position(m.data.size(), m.shape, model_strides(m.shape), 0, index)];
}

// Advances a counter over [lower, upper) per dimension in row-major order.
void advance(Dims& counter, const Dims& lower, const Dims& upper) {
    for (std::size_t d = counter.size(); d-- > 0;) {
        if (++counter[d] < upper[d]) return;
        counter[d] = lower[d];
    }
}

struct ViewModel {
    const std::vector<double>* data;
    Dims shape, strides;
    u64 offset;
};

FloatModel model_to_owned(const ViewModel& v) {
    const u64 total = model_allocation(v.shape);
    std::vector<double> out;
    if (v.shape.empty()) {
        out.push_back((*v.data)[model_position(v.data->size(), {}, {}, v.offset, {})]);
    } else {
        Dims counter(v.shape.size(), 0);
        const Dims zeros(v.shape.size(), 0);
        for (u64 t = 0; t < total; ++t) {
            out.push_back((*v.data)[model_position(v.data->size(), v.shape, v.strides, v.offset,
                                                   counter)]);
            advance(counter, zeros, v.shape);
        }
    }
    return model_new(std::move(out), v.shape);
}

void model_require_2d(const FloatModel& a, const char* op) {
    if (a.shape.size() != 2) {
        refuse(std::string(op) + " requires a 2D array, got " + num(a.shape.size()) + "D");
    }
}

ViewModel model_reshape(const FloatModel& a, const Dims& new_shape) {
    const u64 count = model_count(new_shape);
    if (a.data.size() != count) {
        refuse("data length " + num(a.data.size()) + " does not match shape " +
               dims_text(new_shape) + " (expected " + num(count) + ")");
    }
    return {&a.data, new_shape, model_strides(new_shape), 0};
}

ViewModel model_transpose(const FloatModel& a) {
    model_require_2d(a, "transpose");
    const Dims t = model_strides(a.shape);
    return {&a.data, {a.shape[1], a.shape[0]}, {t[1], t[0]}, 0};
}

ViewModel model_slice_row(const FloatModel& a, u64 row) {
    model_require_2d(a, "slice_row");
    if (row >= a.shape[0]) {
        refuse("index out of bounds for dimension 0: index " + num(row) + ", shape " +
               num(a.shape[0]));
    }
    const Dims t = model_strides(a.shape);
    return {&a.data, {a.shape[1]}, {t[1]}, row * t[0]};
}

ViewModel model_slice_col(const FloatModel& a, u64 col) {
    model_require_2d(a, "slice_col");
    if (col >= a.shape[1]) {
        refuse("index out of bounds for dimension 1: index " + num(col) + ", shape " +
               num(a.shape[1]));
    }
    const Dims t = model_strides(a.shape);
    return {&a.data, {a.shape[0]}, {t[0]}, col * t[1]};
}

void model_axis_range(const Dims& shape, u64 axis, u64 start, u64 end) {
    if (axis >= shape.size()) {
        refuse("axis " + num(axis) + " is out of bounds for NDArray with " + num(shape.size()) +
               " dimensions");
    }
    if (start >= end) {
        refuse("invalid range: start " + num(start) + " must be less than end " + num(end));
    }
    if (end > shape[axis]) {
        refuse("range end " + num(end) + " is out of bounds for axis " + num(axis) +
               " with shape " + num(shape[axis]));
    }
}

ViewModel model_slice_range(const FloatModel& a, u64 axis, u64 start, u64 end) {
    model_axis_range(a.shape, axis, start, end);
    const Dims t = model_strides(a.shape);
    Dims shape = a.shape;
    shape[axis] = end - start;
    return {&a.data, shape, t, start * t[axis]};
}

void model_set_slice(FloatModel& a, u64 axis, u64 start, u64 end, double value) {
    model_axis_range(a.shape, axis, start, end);
    u64 count = end - start;
    for (std::size_t d = 0; d < a.shape.size(); ++d) {
        if (d != axis) count *= a.shape[d];
    }
    Dims lower(a.shape.size(), 0), upper = a.shape;
    lower[axis] = start;
    upper[axis] = end;
    Dims counter = lower;
    const Dims strides = model_strides(a.shape);
    for (u64 t = 0; t < count; ++t) {
        a.data[model_position(a.data.size(), a.shape, strides, 0, counter)] = value;
        advance(counter, lower, upper);
    }
}

std::string mask_mismatch(const Dims& mask, const Dims& self) {
    return "mask shape " + dims_text(mask) + " must equal self shape " + dims_text(self);
}

// Calls visit(index, t) for every index of `shape` in row-major order (once for rank 0),
// t counting the visits: the flat position of the index in a row-major buffer.
template <class Visit>
void walk(const Dims& shape, Visit visit) {
    const u64 total = *product(shape);
    Dims counter(shape.size(), 0);
    const Dims zeros(shape.size(), 0);
    for (u64 t = 0; t < total; ++t) {
        visit(counter, t);
        advance(counter, zeros, shape);
    }
}

void model_masked_fill(FloatModel& a, const BoolModel& mask, double value) {
    if (mask.shape != a.shape) refuse(mask_mismatch(mask.shape, a.shape));
    walk(a.shape, [&](const Dims&, u64 t) {
        if (mask.data[t] != 0) a.data[t] = value;
    });
}

// A quiet NaN with x's payload and sign, as an arithmetic instruction passes x on.
double quieted(double x) {
    u64 b;
    std::memcpy(&b, &x, 8);
    b |= u64{1} << 51;
    std::memcpy(&x, &b, 8);
    return x;
}

// x + y and x * y as the element-wise kernels compute them: where both are NaN, x's NaN (the
// compiler may order the operands of a plain + or * either way, so the choice is written out).
double first_nan_add(double x, double y) {
    return std::isnan(x) && std::isnan(y) ? quieted(x) : x + y;
}
double first_nan_mul(double x, double y) {
    return std::isnan(x) && std::isnan(y) ? quieted(x) : x * y;
}

FloatModel model_pair(const FloatModel& a, const FloatModel& b, const char* what, bool add) {
    if (a.shape != b.shape) {
        refuse(std::string("shape mismatch for ") + what + ": " + dims_text(a.shape) + " vs " +
               dims_text(b.shape));
    }
    std::vector<double> out(a.data.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = add ? first_nan_add(a.data[i], b.data[i]) : first_nan_mul(a.data[i], b.data[i]);
    }
    return model_new(std::move(out), a.shape);
}

template <class F>
FloatModel model_map(const FloatModel& a, F f) {
    std::vector<double> out(a.data.size());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = f(a.data[i]);
    return model_new(std::move(out), a.shape);
}

FloatModel model_softmax(const FloatModel& a) {
    std::vector<double> out(a.data.size());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = std::exp(a.data[i]);
    double s = -0.0;
    for (double e : out) s = s + e;
    for (double& e : out) e = e / s;
    return model_new(std::move(out), a.shape);
}

FloatModel model_cumsum(const FloatModel& a) {
    const u64 count = *product(a.shape);
    std::vector<double> out;
    double t = 0.0;
    walk(a.shape, [&](const Dims&, u64 k) {
        t = t + a.data[k];
        out.push_back(t);
    });
    return model_new(std::move(out), Dims{count});
}

double model_sum(const FloatModel& a) {
    double s = -0.0;
    for (double x : a.data) s = s + x;
    return s;
}

double model_mean(const FloatModel& a) {
    if (a.data.empty()) return 0.0;
    return model_sum(a) / static_cast<double>(a.data.size());
}

u64 model_argmax(const FloatModel& a) {
    if (a.data.empty()) refuse("argmax on empty array");
    double best = a.data[0];
    u64 result = 0;
    for (u64 i = 1; i < a.data.size(); ++i) {
        if (a.data[i] > best) {
            best = a.data[i];
            result = i;
        }
    }
    return result;
}

FloatModel model_gather(const FloatModel& a, u64 axis, const Dims& indices) {
    if (axis >= a.shape.size()) {
        refuse("axis " + num(axis) + " is out of bounds for NDArray with " + num(a.shape.size()) +
               " dimensions");
    }
    for (u64 index : indices) {
        if (index >= a.shape[axis]) {
            refuse("index " + num(index) + " out of bounds for axis " + num(axis) +
                   " with shape " + num(a.shape[axis]));
        }
    }
    Dims shape = a.shape;
    shape[axis] = indices.size();
    model_allocation(shape);
    std::vector<double> out;
    walk(shape, [&](const Dims& at, u64) {
        Dims source = at;
        source[axis] = indices[at[axis]];
        out.push_back(model_get(a, source));
    });
    return model_new(std::move(out), shape);
}

FloatModel model_fancy_index(const FloatModel& a, const Dims& indices) {
    if (a.shape.size() != 1) {
        refuse("fancy_index is only valid for 1D arrays, got " + num(a.shape.size()) + "D");
    }
    std::vector<double> out;
    for (u64 index : indices) out.push_back(model_get(a, Dims{index}));
    return model_new(std::move(out), Dims{indices.size()});
}

FloatModel model_boolean_mask(const FloatModel& a, const BoolModel& mask) {
    if (mask.shape != a.shape) refuse(mask_mismatch(mask.shape, a.shape));
    std::vector<double> out;
    walk(a.shape, [&](const Dims&, u64 t) {
        if (mask.data[t] != 0) out.push_back(a.data[t]);
    });
    const u64 n = out.size();
    return model_new(std::move(out), Dims{n});
}

FloatModel model_where(const FloatModel& a, const BoolModel& cond, const FloatModel& other) {
    if (cond.shape != a.shape || other.shape != a.shape) {
        refuse("shape mismatch: self.shape " + dims_text(a.shape) + ", condition.shape " +
               dims_text(cond.shape) + ", other.shape " + dims_text(other.shape));
    }
    std::vector<double> out;
    walk(a.shape, [&](const Dims&, u64 t) {
        out.push_back(cond.data[t] != 0 ? a.data[t] : other.data[t]);
    });
    return model_new(std::move(out), a.shape);
}

// Throws Fail for every refusal; a result too large to ask the core for in a fuzzing run (the
// allocator would have to refuse it) comes back as the shape [2^64 - 1] with no data.
FloatModel model_matmul(const FloatModel& a, const FloatModel& b) {
    if (a.shape.size() != 2 || b.shape.size() != 2) {
        refuse("matmul requires 2D arrays, got " + num(a.shape.size()) + "D and " +
               num(b.shape.size()) + "D");
    }
    if (a.shape[1] != b.shape[0]) {
        refuse("shape mismatch for matmul: self.shape[1] (" + num(a.shape[1]) +
               ") must equal other.shape[0] (" + num(b.shape[0]) + ")");
    }
    const u64 m = a.shape[0], k = a.shape[1], n = b.shape[1];
    u64 count = 0;
    if (__builtin_mul_overflow(m, n, &count) || count > ((u64{1} << 63) - 8) / 8) {
        refuse("capacity overflow");
    }
    std::vector<double> out;
    if (count > (u64{1} << 20)) return FloatModel{{}, {~u64{0}}};  // marker: too large to try
    out.assign(count, 0.0);
    for (u64 i = 0; i < m; ++i) {
        for (u64 j = 0; j < n; ++j) {
            double acc = 0.0;
            for (u64 p = 0; p < k; ++p) {
                const double x = a.data[i * k + p];
                const double y = b.data[p * n + j];
                const double prod = x * y;
                acc = acc + prod;
            }
            out[i * n + j] = acc;
        }
    }
    return model_new(std::move(out), Dims{m, n});
}

// ---------------------------------------------------------------------------------------
// Comparing the core with the model.

Dims dims_of(const Shape& s) { return Dims(s.begin(), s.end()); }
Shape shape_of(const Dims& d) {
    Shape s;
    for (u64 e : d) s.push_back(e);
    return s;
}

u64 bits_of(double x) {
    u64 b;
    std::memcpy(&b, &x, 8);
    return b;
}

// Values that only move, and the results of the element-wise add, mul and scale (whose
// kernels pin which NaN wins), must keep their bits; values computed by other arithmetic may
// differ only in the payload of a NaN (which operand's NaN a plain addition in a loop passes
// on is up to the compiler).
bool same_value(double core, double model, bool computed) {
    if (bits_of(core) == bits_of(model)) return true;
    return computed && std::isnan(core) && std::isnan(model);
}

template <class E>
void check_record(const char* op, const tarnex::NDArray<E>& core, const Model<E>& model,
                  bool computed) {
    if (dims_of(core.shape()) != model.shape) {
        mismatch(op, "shape %s, model %s", dims_text(dims_of(core.shape())).c_str(),
                 dims_text(model.shape).c_str());
    }
    if (dims_of(core.strides()) != model_strides(model.shape)) {
        mismatch(op, "strides %s for shape %s", dims_text(dims_of(core.strides())).c_str(),
                 dims_text(model.shape).c_str());
    }
    if (core.offset() != 0) mismatch(op, "offset %llu", (unsigned long long)core.offset());
    if (core.size() != model.data.size()) {
        mismatch(op, "length %llu, model %zu", (unsigned long long)core.size(),
                 model.data.size());
    }
    for (u64 i = 0; i < core.size(); ++i) {
        bool same;
        if constexpr (std::is_same_v<E, double>) {
            same = same_value(core.data()[i], model.data[i], computed);
        } else {
            same = core.data()[i] == model.data[i];
        }
        if (!same) {
            mismatch(op, "element %llu: %a, model %a", (unsigned long long)i,
                     (double)core.data()[i], (double)model.data[i]);
        }
    }
}

// The operands' complete state, to show that an operation left them as they were.
struct Snapshot {
    Dims shape, strides;
    u64 offset;
    std::vector<unsigned char> bytes;
};

template <class E>
Snapshot snapshot(const tarnex::NDArray<E>& a) {
    Snapshot s{dims_of(a.shape()), dims_of(a.strides()), a.offset(), {}};
    const auto* p = reinterpret_cast<const unsigned char*>(a.data());
    if (a.size() != 0) s.bytes.assign(p, p + a.size() * sizeof(E));
    return s;
}

template <class E>
void check_unchanged(const char* op, const char* role, const tarnex::NDArray<E>& a,
                     const Snapshot& before) {
    const Snapshot after = snapshot(a);
    if (after.shape != before.shape || after.strides != before.strides ||
        after.offset != before.offset || after.bytes != before.bytes) {
        mismatch(op, "operand %s changed", role);
    }
}

// Runs the model and the core; both must fail with the same message or both succeed.
// Returns true when both succeeded.
template <class ModelFn, class CoreFn>
bool agree(const char* op, ModelFn model, CoreFn core) {
    std::optional<std::string> model_failure, core_failure;
    try {
        model();
    } catch (const Fail& f) {
        model_failure = f.message;
    }
    try {
        core();
    } catch (const CoreFailure& f) {
        core_failure = f.message();
    }
    if (model_failure != core_failure) {
        mismatch(op, "core %s \"%s\", model %s \"%s\"", core_failure ? "failed" : "succeeded",
                 core_failure ? core_failure->c_str() : "",
                 model_failure ? "failed" : "succeeded",
                 model_failure ? model_failure->c_str() : "");
    }
    return !model_failure;
}

void check_view(const char* op, const NDArrayView& view, const ViewModel& model) {
    if (dims_of(view.shape()) != model.shape || dims_of(view.strides()) != model.strides ||
        view.offset() != model.offset) {
        mismatch(op, "view shape %s strides %s offset %llu, model %s %s %llu",
                 dims_text(dims_of(view.shape())).c_str(),
                 dims_text(dims_of(view.strides())).c_str(),
                 (unsigned long long)view.offset(), dims_text(model.shape).c_str(),
                 dims_text(model.strides).c_str(), (unsigned long long)model.offset);
    }
}

// ---------------------------------------------------------------------------------------
// Decoding the input.

constexpr u64 max_elements = 40000;

struct Slot {
    std::optional<FloatArray> core;
    FloatModel model;
};
struct BoolSlot {
    std::optional<BoolArray> core;
    BoolModel model;
};

constexpr int float_slots = 4;
constexpr int bool_slots = 2;

struct State {
    FuzzedDataProvider& in;
    Slot f[float_slots];
    BoolSlot b[bool_slots];
    u64 rng;

    u64 next() {  // splitmix64, seeded from the input
        u64 z = (rng += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
};

// An extent: mostly tiny, sometimes wider, sometimes near 2^64.
u64 extent(State& s) {
    const unsigned kind = s.in.ConsumeIntegralInRange<unsigned>(0, 15);
    if (kind < 10) return kind % 5;
    if (kind < 13) return s.in.ConsumeIntegralInRange<u64>(5, 70);
    static const u64 huge[] = {u64{1} << 32, (u64{1} << 32) + 1, u64{1} << 60, u64{1} << 63,
                               ~u64{0}, ~u64{0} - 1, (u64{1} << 61) + 3};
    if (kind < 15) return huge[s.in.ConsumeIntegralInRange<unsigned>(0, 6)];
    return s.in.ConsumeIntegral<u64>();
}

// A value that makes the edges of the index and range tests likely: 0, the last valid one,
// the first invalid one, one far past, the largest.
u64 position_near(State& s, u64 bound) {
    switch (s.in.ConsumeIntegralInRange<unsigned>(0, 7)) {
        case 0: return 0;
        case 1: return bound - 1;  // wraps to the largest for bound 0
        case 2: return bound;
        case 3: return bound + 1;
        case 4: return ~u64{0};
        case 5: return s.in.ConsumeIntegral<u64>();
        default: return bound == 0 ? 0 : s.in.ConsumeIntegralInRange<u64>(0, bound - 1);
    }
}

Dims random_shape(State& s) {
    Dims shape(s.in.ConsumeIntegralInRange<unsigned>(0, 4));
    for (u64& e : shape) e = extent(s);
    return shape;
}

// A shape for a new array: random, or related to an existing array so that the binary
// operations have matching operands.
Dims new_shape(State& s) {
    const unsigned mode = s.in.ConsumeIntegralInRange<unsigned>(0, 7);
    const Slot& other = s.f[s.in.ConsumeIntegralInRange<int>(0, float_slots - 1)];
    if (mode == 0 && other.core) return other.model.shape;
    if (mode == 1 && other.core && other.model.shape.size() == 2) {
        // Chains with `other` in a matrix product (k up to 600 reaches the blocked paths).
        return {other.model.shape[1], s.in.ConsumeIntegralInRange<u64>(0, 20)};
    }
    if (mode == 2) {
        return {s.in.ConsumeIntegralInRange<u64>(0, 24), s.in.ConsumeIntegralInRange<u64>(0, 600)};
    }
    if (mode == 3) return {s.in.ConsumeIntegralInRange<u64>(32000, max_elements)};  // pool sizes
    return random_shape(s);
}

double value(State& s, unsigned mode) {
    static const double special[] = {0.0, -0.0, 1.0, -1.0, 0.5, 2.0, INFINITY, -INFINITY, NAN,
                                     -NAN, 1e308, -1e308, 5e-324, 710.0, -746.0, 36.75, 3.0};
    const u64 r = s.next();
    switch (mode) {
        case 0: return static_cast<double>(static_cast<int>(r % 7) - 3);
        case 1: return special[r % (sizeof special / sizeof special[0])];
        case 2: {
            double x;
            std::memcpy(&x, &r, 8);
            return x;
        }
        default: return static_cast<double>(static_cast<std::int64_t>(r % 1600001) - 800000) / 1000.0;
    }
}

std::vector<double> values(State& s, u64 n) {
    const unsigned mode = s.in.ConsumeIntegralInRange<unsigned>(0, 3);
    std::vector<double> out(n);
    for (double& x : out) x = value(s, mode);
    return out;
}

// The data length for a shape: its count (mostly), one off, or something small when the
// count is too large to build.
u64 data_length(State& s, const Dims& shape) {
    const auto count = product(shape);
    if (!count || *count > max_elements) return s.in.ConsumeIntegralInRange<u64>(0, 8);
    switch (s.in.ConsumeIntegralInRange<unsigned>(0, 7)) {
        case 0: return *count + 1;
        case 1: return *count == 0 ? 1 : *count - 1;
        default: return *count;
    }
}

Buffer<double> buffer_of(const std::vector<double>& v) {
    Buffer<double> b = Buffer<double>::uninitialized(v.size());
    if (!v.empty()) std::memcpy(b.data(), v.data(), v.size() * 8);
    return b;
}

Buffer<Bool> buffer_of(const std::vector<Bool>& v) {
    Buffer<Bool> b = Buffer<Bool>::uninitialized(v.size());
    if (!v.empty()) std::memcpy(b.data(), v.data(), v.size());
    return b;
}

// A result of the core and the model goes into a slot (when it is small enough to keep).
void store(State& s, std::optional<FloatArray>& core, FloatModel& model) {
    if (model.data.size() > max_elements) return;
    Slot& slot = s.f[s.in.ConsumeIntegralInRange<int>(0, float_slots - 1)];
    slot.core.reset();
    slot.core.emplace(std::move(*core));
    slot.model = std::move(model);
}

// Runs a view-making operation, checks the view, copies it and checks the copy.
template <class ModelView, class CoreView>
void view_op(State& s, const char* op, const Slot& a, ModelView model_view, CoreView core_view) {
    const Snapshot before = snapshot(*a.core);
    std::optional<ViewModel> mv;
    std::optional<NDArrayView> cv;
    if (agree(op, [&] { mv = model_view(); }, [&] { cv.emplace(core_view()); })) {
        check_view(op, *cv, *mv);
        std::optional<FloatModel> mo;
        std::optional<FloatArray> co;
        if (agree(op, [&] { mo = model_to_owned(*mv); }, [&] { co.emplace(cv->to_owned()); })) {
            check_record(op, *co, *mo, false);
            check_unchanged(op, "self", *a.core, before);
            store(s, co, *mo);  // may replace `a`
            return;
        }
    }
    check_unchanged(op, "self", *a.core, before);
}

// An array-valued operation on up to three operands (the same array may appear twice).
template <class ModelFn, class CoreFn>
void array_op(State& s, const char* op, bool computed, std::initializer_list<const Slot*> ins,
              const BoolSlot* mask, ModelFn model_fn, CoreFn core_fn) {
    std::vector<Snapshot> before;
    for (const Slot* in : ins) before.push_back(snapshot(*in->core));
    std::optional<Snapshot> mask_before;
    if (mask) mask_before = snapshot(*mask->core);
    std::optional<FloatModel> mo;
    std::optional<FloatArray> co;
    const bool ok = agree(op, [&] { mo = model_fn(); }, [&] {
        if (mo && mo->shape.size() == 1 && mo->shape[0] == ~u64{0}) return;  // too large to try
        co.emplace(core_fn());
    });
    std::size_t i = 0;
    for (const Slot* in : ins) check_unchanged(op, "operand", *in->core, before[i++]);
    if (mask) check_unchanged(op, "mask", *mask->core, *mask_before);
    if (ok && co) {
        check_record(op, *co, *mo, computed);
        // Where the two NaNs differ in payload or sign, the model takes the core's, so that
        // later moves of the element compare bit for bit.
        for (u64 k = 0; k < co->size(); ++k) {
            if (bits_of(co->data()[k]) != bits_of(mo->data[k])) {
                if (std::getenv("TARNEX_FUZZ_NAN_NOTES") != nullptr) {
                    dprintf(report_fd, "note: %s element %llu: NaN %a, model %a\n", op,
                            (unsigned long long)k, co->data()[k], mo->data[k]);
                }
                mo->data[k] = co->data()[k];
            }
        }
        store(s, co, *mo);
    }
}

Dims index_list(State& s, u64 bound, unsigned max_len) {
    Dims out(s.in.ConsumeIntegralInRange<unsigned>(0, max_len));
    const bool wild = s.in.ConsumeIntegralInRange<unsigned>(0, 7) == 0;
    for (u64& x : out) {
        x = wild ? position_near(s, bound)
                 : (bound == 0 ? 0 : s.in.ConsumeIntegralInRange<u64>(0, bound - 1));
    }
    return out;
}

// Builds an array from data and shape in the model and in the core; when both agree, the
// slot holds the new pair.
template <class Slot, class E>
void new_into(const char* op, Slot& slot, const std::vector<E>& data, const Dims& shape) {
    using Core = typename decltype(slot.core)::value_type;
    std::optional<decltype(slot.model)> mo;
    std::optional<Core> co;
    if (agree(op, [&] { mo = model_new(data, shape); },
              [&] { co.emplace(Core::new_(buffer_of(data), shape_of(shape))); })) {
        check_record(op, *co, *mo, false);
        slot.core.reset();
        slot.core.emplace(std::move(*co));
        slot.model = std::move(*mo);
    }
}

void step(State& s) {
    const unsigned op = s.in.ConsumeIntegralInRange<unsigned>(0, 27);
    Slot& a = s.f[s.in.ConsumeIntegralInRange<int>(0, float_slots - 1)];
    Slot& b = s.f[s.in.ConsumeIntegralInRange<int>(0, float_slots - 1)];
    BoolSlot& m = s.b[s.in.ConsumeIntegralInRange<int>(0, bool_slots - 1)];

    if (op == 0) {  // new_ (float)
        Dims shape = new_shape(s);
        new_into("new_", a, values(s, data_length(s, shape)), shape);
        return;
    }
    if (op == 1) {  // new_ (boolean), mostly shaped like an existing array
        Dims shape = s.in.ConsumeBool() && a.core ? a.model.shape : new_shape(s);
        std::vector<Bool> data(data_length(s, shape));
        const unsigned density = s.in.ConsumeIntegralInRange<unsigned>(0, 4);
        for (Bool& x : data) {
            const u64 r = s.next();
            x = density == 0 ? 0 : density == 4 ? 1 : (r % 4 < density ? 1 : 0);
            if (density == 3 && r % 61 == 0) x = static_cast<Bool>(r >> 56 | 1);  // other true bytes
        }
        new_into("new_ (boolean)", m, data, shape);
        return;
    }
    if (!a.core) return;
    const Dims& shape = a.model.shape;
    const u64 ndim = shape.size();
    auto some_extent = [&] { return ndim == 0 ? 0 : shape[s.in.ConsumeIntegralInRange<u64>(0, ndim - 1)]; };

    switch (op) {
        case 2:
        case 3: {  // get, get_mut (and a write through it)
            Dims index(s.in.ConsumeIntegralInRange<unsigned>(0, 7) == 0
                           ? s.in.ConsumeIntegralInRange<u64>(0, 5)
                           : ndim);
            for (std::size_t d = 0; d < index.size(); ++d) {
                index[d] = position_near(s, d < ndim ? shape[d] : 1);
            }
            const Snapshot before = snapshot(*a.core);
            const double written = value(s, 1);
            double mv = 0, cv = 0;
            const bool ok = agree(op == 2 ? "get" : "get_mut", [&] { mv = model_get(a.model, index); },
                                  [&] {
                                      if (op == 2) {
                                          cv = a.core->get(shape_of(index));
                                      } else {
                                          double& ref = a.core->get_mut(shape_of(index));
                                          cv = ref;
                                          ref = written;
                                      }
                                  });
            if (ok && !same_value(cv, mv, false)) mismatch("get", "%a, model %a", cv, mv);
            if (ok && op == 3) {
                a.model.data[model_position(a.model.data.size(), shape, model_strides(shape), 0,
                                            index)] = written;
                check_record("get_mut", *a.core, a.model, false);
            } else {
                check_unchanged("get", "self", *a.core, before);
            }
            return;
        }
        case 4: {  // reshape
            Dims target;
            const unsigned mode = s.in.ConsumeIntegralInRange<unsigned>(0, 3);
            if (mode == 0) {
                target = random_shape(s);
            } else {
                // Factor the element count into up to four extents (1s and the rest).
                u64 rest = a.model.data.size();
                target.resize(s.in.ConsumeIntegralInRange<unsigned>(0, 4));
                for (std::size_t d = 0; d + 1 < target.size(); ++d) {
                    u64 f = s.in.ConsumeIntegralInRange<u64>(1, 4);
                    target[d] = rest % f == 0 ? f : 1;
                    rest /= target[d];
                }
                if (!target.empty()) target.back() = rest;
                if (mode == 3 && !target.empty()) target[0] = position_near(s, target[0]);
            }
            view_op(s, "reshape", a, [&] { return model_reshape(a.model, target); },
                    [&] { return tarnex::reshape(*a.core, shape_of(target)); });
            return;
        }
        case 5:
            view_op(s, "transpose", a, [&] { return model_transpose(a.model); },
                    [&] { return tarnex::transpose(*a.core); });
            return;
        case 6: {
            const u64 row = position_near(s, ndim > 0 ? shape[0] : 1);
            view_op(s, "slice_row", a, [&] { return model_slice_row(a.model, row); },
                    [&] { return tarnex::slice_row(*a.core, row); });
            return;
        }
        case 7: {
            const u64 col = position_near(s, ndim > 1 ? shape[1] : 1);
            view_op(s, "slice_col", a, [&] { return model_slice_col(a.model, col); },
                    [&] { return tarnex::slice_col(*a.core, col); });
            return;
        }
        case 8:
        case 9: {  // slice_range, set_slice
            const u64 axis = s.in.ConsumeIntegralInRange<unsigned>(0, 7) == 0
                                 ? position_near(s, ndim)
                                 : (ndim == 0 ? 0 : s.in.ConsumeIntegralInRange<u64>(0, ndim - 1));
            const u64 extent_here = axis < ndim ? shape[axis] : some_extent();
            const u64 end = position_near(s, extent_here + 1);
            const u64 start = s.in.ConsumeBool() ? position_near(s, end) : end - 1 - s.in.ConsumeIntegralInRange<u64>(0, 3);
            if (op == 8) {
                view_op(s, "slice_range", a,
                        [&] { return model_slice_range(a.model, axis, start, end); },
                        [&] { return tarnex::slice_range(*a.core, axis, start, end); });
            } else {
                const double v = value(s, 1);
                const Snapshot before = snapshot(*a.core);
                if (agree("set_slice", [&] { model_set_slice(a.model, axis, start, end, v); },
                          [&] { tarnex::set_slice(*a.core, axis, start, end, v); })) {
                    check_record("set_slice", *a.core, a.model, false);
                } else {
                    check_unchanged("set_slice", "self", *a.core, before);
                }
            }
            return;
        }
        case 10: {
            if (!m.core) return;
            const double v = value(s, 1);
            const Snapshot before = snapshot(*a.core);
            const Snapshot mask_before = snapshot(*m.core);
            if (agree("masked_fill", [&] { model_masked_fill(a.model, m.model, v); },
                      [&] { tarnex::masked_fill(*a.core, *m.core, v); })) {
                check_record("masked_fill", *a.core, a.model, false);
            } else {
                check_unchanged("masked_fill", "self", *a.core, before);
            }
            check_unchanged("masked_fill", "mask", *m.core, mask_before);
            return;
        }
        case 11:
        case 12: {
            if (!b.core) return;
            const bool add = op == 11;
            array_op(s, add ? "add" : "mul", false, {&a, &b}, nullptr,
                     [&] { return model_pair(a.model, b.model, add ? "addition" : "multiplication", add); },
                     [&] { return add ? tarnex::add(*a.core, *b.core) : tarnex::mul(*a.core, *b.core); });
            return;
        }
        case 13: {
            const double k = value(s, s.in.ConsumeIntegralInRange<unsigned>(0, 3));
            array_op(s, "scale", false, {&a}, nullptr,
                     [&] { return model_map(a.model, [k](double x) { return first_nan_mul(x, k); }); },
                     [&] { return tarnex::scale(*a.core, k); });
            return;
        }
        case 14:
            array_op(s, "relu", false, {&a}, nullptr,
                     [&] { return model_map(a.model, [](double x) { return x > 0.0 ? x : 0.0; }); },
                     [&] { return tarnex::relu(*a.core); });
            return;
        case 15:
            array_op(s, "sigmoid", true, {&a}, nullptr,
                     [&] {
                         return model_map(a.model, [](double x) {
                             const double t = std::exp(-x);
                             const double u = t + 1.0;
                             return 1.0 / u;
                         });
                     },
                     [&] { return tarnex::sigmoid(*a.core); });
            return;
        case 16:
            array_op(s, "softmax", true, {&a}, nullptr, [&] { return model_softmax(a.model); },
                     [&] { return tarnex::softmax(*a.core); });
            return;
        case 17:
            array_op(s, "cumsum", true, {&a}, nullptr, [&] { return model_cumsum(a.model); },
                     [&] { return tarnex::cumsum(*a.core); });
            return;
        case 18:
        case 19:
        case 20: {
            const Snapshot before = snapshot(*a.core);
            const char* name = op == 18 ? "sum" : op == 19 ? "mean" : "argmax";
            double mv = 0, cv = 0;
            u64 mi = 0, ci = 0;
            if (agree(name,
                      [&] {
                          if (op == 18) mv = model_sum(a.model);
                          if (op == 19) mv = model_mean(a.model);
                          if (op == 20) mi = model_argmax(a.model);
                      },
                      [&] {
                          if (op == 18) cv = tarnex::sum(*a.core);
                          if (op == 19) cv = tarnex::mean(*a.core);
                          if (op == 20) ci = tarnex::argmax(*a.core);
                      })) {
                if (!same_value(cv, mv, true)) mismatch(name, "%a, model %a", cv, mv);
                if (ci != mi) mismatch(name, "%llu, model %llu", (unsigned long long)ci, (unsigned long long)mi);
            }
            check_unchanged(name, "self", *a.core, before);
            return;
        }
        case 21: {
            const u64 axis = s.in.ConsumeIntegralInRange<unsigned>(0, 7) == 0
                                 ? position_near(s, ndim)
                                 : (ndim == 0 ? 0 : s.in.ConsumeIntegralInRange<u64>(0, ndim - 1));
            const Dims indices = index_list(s, axis < ndim ? shape[axis] : 1, 12);
            array_op(s, "gather", false, {&a}, nullptr,
                     [&] { return model_gather(a.model, axis, indices); },
                     [&] { return tarnex::gather(*a.core, axis, shape_of(indices)); });
            return;
        }
        case 22: {
            const Dims indices = index_list(s, ndim == 1 ? shape[0] : 3, 12);
            array_op(s, "fancy_index", false, {&a}, nullptr,
                     [&] { return model_fancy_index(a.model, indices); },
                     [&] { return tarnex::fancy_index(*a.core, shape_of(indices)); });
            return;
        }
        case 23:
            if (!m.core) return;
            array_op(s, "boolean_mask", false, {&a}, &m,
                     [&] { return model_boolean_mask(a.model, m.model); },
                     [&] { return tarnex::boolean_mask(*a.core, *m.core); });
            return;
        case 24:
            if (!m.core || !b.core) return;
            array_op(s, "where_", false, {&a, &b}, &m,
                     [&] { return model_where(a.model, m.model, b.model); },
                     [&] { return tarnex::where_(*a.core, *m.core, *b.core); });
            return;
        default: {  // matmul, the most frequent: its kernels have the most paths
            if (!b.core) return;
            array_op(s, "matmul", true, {&a, &b}, nullptr, [&] { return model_matmul(a.model, b.model); },
                     [&] { return tarnex::matmul(*a.core, *b.core); });
            return;
        }
    }
}

}  // namespace

// Fills every slot before the first step, from the input's seed alone, so that even a short
// input reaches the operations on two and three operands: two float arrays of one shape, one
// that chains with them in a matrix product, one of any shape, and a mask of each of the
// first two shapes.
void prime(State& s) {
    auto small_shape = [&] {
        Dims shape(s.next() % 4);
        for (u64& e : shape) e = s.next() % 5;
        return shape;
    };
    auto fill = [&](Slot& slot, Dims shape) {
        const unsigned mode = static_cast<unsigned>(s.next() % 4);
        std::vector<double> data(*product(shape));
        for (double& x : data) x = value(s, mode);
        slot.core.reset();
        slot.core.emplace(FloatArray::new_(buffer_of(data), shape_of(shape)));
        slot.model = FloatModel{std::move(data), std::move(shape)};
    };
    auto fill_mask = [&](BoolSlot& slot, Dims shape) {
        std::vector<Bool> data(*product(shape));
        const u64 density = s.next() % 5;
        for (Bool& x : data) x = s.next() % 4 < density ? 1 : 0;
        slot.core.reset();
        slot.core.emplace(BoolArray::new_(buffer_of(data), shape_of(shape)));
        slot.model = BoolModel{std::move(data), std::move(shape)};
    };
    const Dims first = small_shape();
    fill(s.f[0], first);
    fill(s.f[1], first);
    fill(s.f[2], first.size() == 2 ? Dims{first[1], s.next() % 5} : small_shape());
    fill(s.f[3], small_shape());
    fill_mask(s.b[0], first);
    fill_mask(s.b[1], s.f[2].model.shape);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Kept before libFuzzer closes standard error (-close_fd_mask=2).
    const int fd = dup(2);
    if (fd >= 0) report_fd = fd;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    State s{in, {}, {}, in.ConsumeIntegral<u64>()};
    prime(s);
    for (int steps = 0; steps < 32 && in.remaining_bytes() > 0; ++steps) step(s);
    return 0;
}
