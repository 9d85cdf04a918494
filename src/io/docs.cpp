// The docstrings of the companion's functions, one table for them all: each begins with the
// function's text signature (its name, then its parameters), then "--" and the description,
// the form the interpreter reads a signature for help() and inspect from.
#include <cstring>

#include "io/functions.hpp"

namespace tarnex::io {
namespace {

constexpr const char* docstrings[] = {
    // Arrays out
    "to_list(a)\n--\n\nThe elements of a PyNDArray (floats) or a PyBoolArray (bools) as one "
    "flat list, in row-major order.",
    "to_bytes(a)\n--\n\nThe elements as bytes in row-major order: native float64 for a "
    "PyNDArray, one byte 0 or 1 each for a PyBoolArray.",
    "to_numpy(a)\n--\n\nA new numpy array of a's shape (float64 or bool) holding a copy of "
    "its elements.",

    // Arrays in
    "from_bytes(data, shape)\n--\n\nA new PyNDArray of the given shape from native float64 "
    "bytes in row-major order (bytes, bytearray, or an object with tobytes()).",
    "bools_from_bytes(data, shape)\n--\n\nA new PyBoolArray of the given shape from bytes "
    "that are each 0 or 1 (bytes, bytearray, or an object with tobytes()).",

    // Masks
    "greater(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a > b; a and b "
    "PyNDArrays or numbers broadcast together (numpy's rules). With out, a PyBoolArray of "
    "exactly the result's shape, the result is written into it and out is returned.",
    "greater_equal(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a >= b; "
    "broadcast and out as for greater.",
    "less(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a < b; broadcast and out "
    "as for greater.",
    "less_equal(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a <= b; broadcast "
    "and out as for greater.",
    "equal(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a == b (-0.0 equals 0.0; "
    "NaN equals nothing); broadcast and out as for greater.",
    "not_equal(a, b, *, out=None)\n--\n\nA PyBoolArray, true where a != b (always where "
    "either is NaN); broadcast and out as for greater.",
    "isnan(a, *, out=None)\n--\n\nA PyBoolArray, true where a is NaN (a number gives a "
    "0-d result); out as for greater.",
    "logical_not(m, *, out=None)\n--\n\nA PyBoolArray, true where m is false (m a "
    "PyBoolArray or a bool); out as for greater (it may be m).",
    "logical_and(m1, m2, *, out=None)\n--\n\nA PyBoolArray, true where both are; m1 and "
    "m2 PyBoolArrays or bools broadcast together; out as for greater (it may be m1 or m2).",
    "logical_or(m1, m2, *, out=None)\n--\n\nA PyBoolArray, true where either is; "
    "broadcast and out as for logical_and.",

    // Element-wise arithmetic
    "add(a, b, *, out=None)\n--\n\na + b element by element, a and b PyNDArrays or numbers "
    "broadcast together (numpy's rules); where both are NaN, a's NaN (quieted). With out, "
    "a PyNDArray of exactly the result's shape (it may be a or b), the result is written "
    "into it and out is returned.",
    "subtract(a, b, *, out=None)\n--\n\na - b element by element, broadcast; "
    "out as for add.",
    "multiply(a, b, *, out=None)\n--\n\na * b element by element, broadcast; where both "
    "are NaN, a's NaN (quieted); out as for add.",
    "divide(a, b, *, out=None)\n--\n\na / b element by element (true division), "
    "broadcast; out as for add.",
    "maximum(a, b, *, out=None)\n--\n\nThe larger of a and b element by element, "
    "broadcast: a where a is NaN, else b where b is NaN (NaNs propagate with their bits), "
    "and b where they are equal (so maximum(0.0, -0.0) is -0.0, as numpy's); out as for "
    "add.",
    "minimum(a, b, *, out=None)\n--\n\nThe smaller of a and b element by element, "
    "broadcast, with maximum's rules for NaN and ties; out as for add.",
    "negative(x, *, out=None)\n--\n\n-x element by element (the sign bit "
    "flipped, NaNs included). x is a PyNDArray or a number (a 0-d result); "
    "out as for add.",
    "abs(x, *, out=None)\n--\n\n|x| element by element (the sign bit cleared); out "
    "as for add.",
    "square(x, *, out=None)\n--\n\nx * x element by element; out as for add.",
    "sqrt(x, *, out=None)\n--\n\nThe correctly rounded square root element by "
    "element (NaN below -0.0); out as for add.",
    "exp(x, *, out=None)\n--\n\ne**x element by element, bit for bit the C "
    "library's exp; out as for add.",
    "log(x, *, out=None)\n--\n\nThe natural logarithm element by element, bit for "
    "bit the C library's log; out as for add.",
    "tanh(x, *, out=None)\n--\n\nThe hyperbolic tangent element by element, bit "
    "for bit the C library's tanh; out as for add.",
    "clip(a, lo, hi, *, out=None)\n--\n\nminimum(maximum(a, lo), hi) element by element, "
    "the three broadcast together (so NaN in any of them gives NaN, and lo > hi gives hi); "
    "out as for add.",
    "where(condition, a, b, *, out=None)\n--\n\na where condition is true, else b, element "
    "by element, the three broadcast together: condition a PyBoolArray or a bool, a and b "
    "PyNDArrays or numbers; the chosen element's bits are copied. out as for add.",

    // Reductions
    "sum(a, axis=None, *, keepdims=False)\n--\n\n"
    "The sum of a PyNDArray or PyBoolArray (true elements count 1) over all elements "
    "(a float) or along one axis (a PyNDArray). Each sum is -0.0 plus the elements in "
    "increasing index, one rounding per addition; an empty sum is -0.0.",
    "mean(a, axis=None, *, keepdims=False)\n--\n\n"
    "sum(a, axis) divided once by the number of elements summed (NaN for none); for a "
    "PyBoolArray the fraction of true elements.",
    "max(a, axis=None, *, keepdims=False)\n--\n\n"
    "The largest element of a PyNDArray, over all elements (a float) or along one axis. "
    "+0.0 counts as larger than -0.0; a NaN anywhere gives the first NaN. ValueError for "
    "an empty axis.",
    "min(a, axis=None, *, keepdims=False)\n--\n\n"
    "The smallest element, as max: -0.0 counts as smaller than +0.0; NaN propagates.",
    "argmax(a, axis=None, *, keepdims=False)\n--\n\n"
    "The position of the first largest element (the first NaN if there is one): a Python "
    "int over the flattened array, else a PyNDArray of exact integer values. ValueError "
    "for an empty axis.",
    "argmin(a, axis=None, *, keepdims=False)\n--\n\n"
    "The position of the first smallest element (the first NaN if there is one), as "
    "argmax.",

    // The softmax family
    "softmax(a, axis=-1)\n--\n\n"
    "exp(x - m) / s for each slice along the axis (None: the whole array), m the slice's "
    "maximum (0.0 in its place when it is not finite) and s = -0.0 + e_0 + e_1 + ... in "
    "increasing index. A slice of -inf only gives NaN.",
    "log_softmax(a, axis=-1)\n--\n\n"
    "(x - m) - log(s) for each slice along the axis, m and s as in softmax.",
    "logsumexp(a, axis=-1, *, keepdims=False)\n--\n\n"
    "m + log(s) for each slice along the axis (None: a float for the whole array), m and s "
    "as in softmax; -inf for an empty slice or a slice of -inf only.",

    // Products and index functions
    "matmul(a, b, *, transpose_a=False, transpose_b=False)\n--\n\n"
    "The matrix product op(a) @ op(b) of two 2-D PyNDArrays, where op transposes the "
    "operand whose flag is true,\nwithout making the transpose: bit for bit "
    "a.transpose().matmul(b), a.matmul(b.transpose()) and so on.\nElement (i, j) is "
    "(((+0.0 + op(a)[i,0]*op(b)[0,j]) + op(a)[i,1]*op(b)[1,j]) + ...) in increasing "
    "p,\nevery product and sum rounded on its own.",
    "one_hot(labels, classes)\n--\n\n"
    "A PyNDArray of shape labels.shape + [classes]: 1.0 at [..., label], +0.0 elsewhere. "
    "Every label must be an\ninteger value in [0, classes) (ValueError otherwise).",
    "add_at(target, axis, indices, values)\n--\n\n"
    "Adds values into target in place, the reverse of target.gather(axis, indices): "
    "values has the shape\ngather would give, and each of its elements is added to the "
    "element of target at its index with the axis\nindex t replaced by indices[t] "
    "(negative indices count from the end). A place picked several times\nreceives its "
    "values in increasing t, ((x + v_first) + v_second) + ..., as numpy's "
    "np.add.at does.\nEvery check comes before the first write. Returns None.",

    // Array makers
    "zeros(shape)\n--\n\nA new PyNDArray of the given shape (an int or a sequence of ints) "
    "filled with +0.0.",
    "ones(shape)\n--\n\nA new PyNDArray of the given shape filled with 1.0.",
    "full(shape, fill_value)\n--\n\nA new PyNDArray of the given shape filled with "
    "float(fill_value).",
    "arange(start, stop=None, step=None)\n--\n\narange(stop) or arange(start, stop[, step]): "
    "the 1-D PyNDArray of the ceil((stop - start) / step) values start + i * step (the "
    "arguments as floats; each value one rounded multiply, then one rounded add).",
    "eye(N, M=None, k=0)\n--\n\nA new N x M PyNDArray (M defaults to N) with 1.0 on the k-th "
    "diagonal (k > 0 above the main one, k < 0 below) and 0.0 elsewhere.",
    "asarray(obj)\n--\n\nobj as a tarnex array: a PyNDArray or PyBoolArray as it is; nested "
    "lists and tuples of numbers (a PyBoolArray when every leaf is a bool); a numpy array of "
    "any layout (bool stays bool, other real types become float64); or one number (0-d).",

    // Joins and reshape
    "concatenate(arrays, axis=0)\n--\n\nThe arrays (a sequence of PyNDArrays, or of "
    "PyBoolArrays) joined along an existing axis into a new array; axis=None joins them "
    "flattened.",
    "stack(arrays, axis=0)\n--\n\nThe arrays (all of one shape and one class) stacked along "
    "a new axis of the result.",
    "reshape(a, shape)\n--\n\nA new array holding a's elements in the given shape (one "
    "extent may be -1, found from the others).",

    // Arrays as text
    "array_str(a)\n--\n\nThe elements of a PyNDArray or PyBoolArray as text: nested brackets, "
    "elements separated by spaces, each float as its shortest repr (nan, inf), rows on "
    "lines of their own; more than 1000 elements show 3 at each end of every long axis.",
    "array_repr(a)\n--\n\nThe array as text naming its class and shape, e.g. "
    "\"PyNDArray([[1.0, 2.0],\\n           [3.0, 4.0]], shape=[2, 2])\": elements as in "
    "array_str, separated by commas.",
};

}  // namespace

const char* doc_of(const char* name) {
    const std::size_t length = std::strlen(name);
    for (const char* doc : docstrings) {
        if (std::strncmp(doc, name, length) == 0 && doc[length] == '(') return doc;
    }
    return nullptr;
}

}  // namespace tarnex::io
