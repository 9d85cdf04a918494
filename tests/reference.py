"""A plain-Python model of tarnex, written from its documented behaviour, for differential tests.

The model has its own array classes (RefNDArray, RefBoolArray, whose qualified names match
the real classes so that messages naming them read the same) and runs a call the way the
module does: match the arguments, borrow the receiver, convert the parameters in order,
run the operation, release the borrows. Failures are raised as the exception the module
raises: TypeError, OverflowError and RuntimeError as themselves, a failed check of the array
core as CoreFailure carrying the core's message.

Float results are Python floats computed with the same IEEE-754 operations in the same order.
When both operands of an addition, product or quotient are NaN, the hardware returns the NaN
of the instruction's first source. The element-wise add, mul and scale fix the operand order
(the receiver's NaN wins), and so does the matrix product (the second operand's NaN wins in a
product, the accumulator's in a sum): the model applies those orders and its results are
exact. The running sums (sum, mean, cumsum, the sum of softmax) are plain loops whose
commutative additions the compiler may order either way, so there a NaN's payload is not
pinned down: those operations return, with their result, which elements (or, for a scalar,
whether the value) depend on such a choice, and the comparison then checks only that both
sides are NaN there.
"""

import math
import operator
import struct
import sys

U64 = 1 << 64
MAX_ALLOCATION = (1 << 63) - 8

INF = math.inf
# The NaN the hardware makes for an invalid operation such as inf - inf.
DEFAULT_NAN = INF - INF


class CoreFailure(Exception):
    """A failed check of the array core; args[0] is the core's message."""


class Unmodelled(Exception):
    """A call whose outcome depends on the machine (a result too large to allocate, but not
    beyond the largest allowed allocation); differential tests skip it."""

MODELLED_ELEMENTS = 1 << 16


# ----------------------------------------------------------------------------------------
# Floats, bit for bit


def bits(x):
    return struct.unpack("<Q", struct.pack("<d", x))[0]


def from_bits(b):
    return struct.unpack("<d", struct.pack("<Q", b))[0]


def isnan(x):
    return x != x


def quiet(x):
    """A NaN with its quiet bit set, as an arithmetic operation returns it."""
    return from_bits(bits(x) | (1 << 51))


def add(a, b, loose_a=False, loose_b=False):
    """a + b and whether the payload of a NaN result is left open. `loose_*` say whether an
    operand's own payload was already open."""
    r = a + b
    if isnan(a) and isnan(b):
        return r, True
    return r, (loose_a and isnan(a)) or (loose_b and isnan(b))


def first_nan(operation, a, b):
    """a + b or a * b as the element-wise kernels compute it: where both are NaN, a's NaN."""
    if isnan(a) and isnan(b):
        return quiet(a)
    return operation(a, b)


def div(a, b, loose_a=False, loose_b=False):
    """a / b by IEEE-754 (Python refuses a zero divisor)."""
    if isnan(a) and isnan(b):
        return quiet(a), True
    if isnan(a):
        return quiet(a), loose_a
    if isnan(b):
        return quiet(b), loose_b
    if b == 0.0:
        if a == 0.0:
            return DEFAULT_NAN, False
        negative = (math.copysign(1.0, a) < 0) != (math.copysign(1.0, b) < 0)
        return (-INF if negative else INF), False
    return a / b, False


def exp(x):
    """The C library's exp, which math.exp calls; an overflow is +inf, not an error."""
    try:
        return math.exp(x)
    except OverflowError:
        return INF


def matmul_product(a, b):
    """a * b with the second operand's NaN winning."""
    if isnan(a) and isnan(b):
        return quiet(b)
    return a * b


def matmul_sum(acc, p):
    """acc + p with the accumulator's NaN winning."""
    if isnan(acc) and isnan(p):
        return quiet(acc)
    return acc + p


# ----------------------------------------------------------------------------------------
# Shapes and the array record


def show_shape(shape):
    return "[" + ", ".join(str(e) for e in shape) + "]"


def element_count(shape):
    """The product of the extents; a product beyond 64 bits is refused unless an extent is 0."""
    count = 1
    for e in shape:
        count *= e
    if count >= U64:
        raise CoreFailure(f"element count of shape {show_shape(shape)} does not fit in 64 bits")
    return count


def strides_of(shape):
    strides = [0] * len(shape)
    p = 1
    for k in range(len(shape) - 1, -1, -1):
        strides[k] = p
        p = (p * shape[k]) % U64
    return strides


def indices_of(shape):
    """Every index of `shape` in row-major order (one empty index for no dimensions)."""
    if any(e == 0 for e in shape):
        return
    index = [0] * len(shape)
    while True:
        yield list(index)
        d = len(shape) - 1
        while d >= 0:
            index[d] += 1
            if index[d] < shape[d]:
                break
            index[d] = 0
            d -= 1
        if d < 0:
            return


def check_position(shape, index):
    """The buffer position of `index` (of the right length), by the element access tests."""
    strides = strides_of(shape)
    position = 0
    for d, (i, e) in enumerate(zip(index, shape)):
        if i >= e:
            raise CoreFailure(f"index out of bounds for dimension {d}: index {i}, shape {e}")
        position += i * strides[d]
    return position


class RefArray:
    """Shared by both element types: data in row-major order, shape, borrow counter."""

    def __init__(self, data, shape):
        count = element_count(shape)
        if len(data) != count:
            raise CoreFailure(f"data length {len(data)} does not match shape "
                              f"{show_shape(shape)} (expected {count})")
        self.data = list(data)
        self.shape = list(shape)
        self.borrow = 0

    def position(self, index):
        if len(index) != len(self.shape):
            raise CoreFailure("length of the given index and shape must match.")
        position = check_position(self.shape, index)
        if position >= len(self.data):
            raise CoreFailure(f"index out of bounds: the len is {len(self.data)} but the "
                              f"index is {position}")
        return position

    def at(self, index):
        return self.data[self.position(index)]


class PyNDArray(RefArray):
    """The model of a float array. Its name is the real class's, for messages."""
    tp_name = "builtins.PyNDArray"


class PyBoolArray(RefArray):
    tp_name = "builtins.PyBoolArray"


RefNDArray, RefBoolArray = PyNDArray, PyBoolArray


class Result:
    """An array result, with the flat positions whose NaN payload is left open."""

    def __init__(self, array, loose=()):
        self.array = array
        self.loose = set(loose)


class Scalar:
    """A float result and whether its NaN payload is left open."""

    def __init__(self, value, loose=False):
        self.value = value
        self.loose = loose


# ----------------------------------------------------------------------------------------
# The array core


def same_shape(a, b):
    return a.shape == b.shape


def same_shape_elementwise(op, what):
    """The element-wise op of two arrays of one shape; `what` names it in the mismatch."""

    def method(self, other):
        if not same_shape(self, other):
            raise CoreFailure(f"shape mismatch for {what}: {show_shape(self.shape)} vs "
                              f"{show_shape(other.shape)}")
        out = [first_nan(op, x, y) for x, y in zip(self.data, other.data)]
        return Result(RefNDArray(out, self.shape))

    return method


op_add = same_shape_elementwise(operator.add, "addition")
op_mul = same_shape_elementwise(operator.mul, "multiplication")


def op_scale(self, scalar):
    return Result(RefNDArray([first_nan(operator.mul, x, scalar) for x in self.data],
                             self.shape))


def op_relu(self):
    return Result(RefNDArray([x if x > 0.0 else 0.0 for x in self.data], self.shape))


def op_sigmoid(self):
    out = []
    for x in self.data:
        t = exp(-x)
        u = t + 1.0  # at most one NaN operand: exact
        out.append(div(1.0, u)[0])
    return Result(RefNDArray(out, self.shape))


def op_softmax(self):
    exps = [exp(x) for x in self.data]
    s, s_loose = -0.0, False
    for e in exps:
        s, s_loose = add(s, e, s_loose, False)
    out, loose = [], []
    for i, e in enumerate(exps):
        r, l = div(e, s, False, s_loose)
        out.append(r)
        if l:
            loose.append(i)
    return Result(RefNDArray(out, self.shape), loose)


def op_cumsum(self):
    count = element_count(self.shape)
    t, t_loose = 0.0, False
    out, loose = [], []
    for k, index in enumerate(indices_of(self.shape)):
        t, t_loose = add(t, self.at(index), t_loose, False)
        out.append(t)
        if t_loose:
            loose.append(k)
    return Result(RefNDArray(out, [count]), loose)


def op_sum(self):
    s, loose = -0.0, False
    for x in self.data:
        s, loose = add(s, x, loose, False)
    return Scalar(s, loose)


def op_mean(self):
    if not self.data:
        return Scalar(0.0)
    total = op_sum(self)
    return Scalar(total.value / float(len(self.data)), total.loose and isnan(total.value))


def op_argmax(self):
    if not self.data:
        raise CoreFailure("argmax on empty array")
    best, result = self.data[0], 0
    for i in range(1, len(self.data)):
        if self.data[i] > best:
            best, result = self.data[i], i
    return result


def op_get(self, index):
    return Scalar(self.at(index))


def op_matmul(self, other):
    if len(self.shape) != 2 or len(other.shape) != 2:
        raise CoreFailure(f"matmul requires 2D arrays, got {len(self.shape)}D and "
                          f"{len(other.shape)}D")
    if self.shape[1] != other.shape[0]:
        raise CoreFailure(f"shape mismatch for matmul: self.shape[1] ({self.shape[1]}) must "
                          f"equal other.shape[0] ({other.shape[0]})")
    m, k, n = self.shape[0], self.shape[1], other.shape[1]
    if m * n >= U64 or m * n * 8 > MAX_ALLOCATION:
        raise CoreFailure("capacity overflow")
    if m * n > MODELLED_ELEMENTS:
        raise Unmodelled
    out = []
    for i in range(m):
        for j in range(n):
            acc = 0.0
            for p in range(k):
                acc = matmul_sum(acc, matmul_product(self.data[i * k + p], other.data[p * n + j]))
            out.append(acc)
    return Result(RefNDArray(out, [m, n]))


def copy_of(array, shape, strides, offset):
    """to_owned of a view: its elements in the row-major order of its own shape."""
    out = []
    for index in indices_of(shape):
        out.append(array.data[offset + sum(i * s for i, s in zip(index, strides))])
    return Result(RefNDArray(out, shape))


def op_reshape(self, new_shape):
    count = element_count(new_shape)
    if len(self.data) != count:
        raise CoreFailure(f"data length {len(self.data)} does not match shape "
                          f"{show_shape(new_shape)} (expected {count})")
    return Result(RefNDArray(self.data, new_shape))


def two_d(self, operation):
    if len(self.shape) != 2:
        raise CoreFailure(f"{operation} requires a 2D array, got {len(self.shape)}D")


def op_transpose(self):
    two_d(self, "transpose")
    strides = strides_of(self.shape)
    return copy_of(self, [self.shape[1], self.shape[0]], [strides[1], strides[0]], 0)


def slice_line(self, axis, index, name):
    """Line `index` of a 2-D array along `axis` (a row for 0, a column for 1)."""
    two_d(self, name)
    if index >= self.shape[axis]:
        raise CoreFailure(f"index out of bounds for dimension {axis}: index {index}, shape "
                          f"{self.shape[axis]}")
    strides = strides_of(self.shape)
    across = 1 - axis
    return copy_of(self, [self.shape[across]], [strides[across]], index * strides[axis])


def op_slice_row(self, row):
    return slice_line(self, 0, row, "slice_row")


def op_slice_col(self, col):
    return slice_line(self, 1, col, "slice_col")


def check_range(self, axis, start, end):
    if axis >= len(self.shape):
        raise CoreFailure(f"axis {axis} is out of bounds for NDArray with {len(self.shape)} "
                          "dimensions")
    if start >= end:
        raise CoreFailure(f"invalid range: start {start} must be less than end {end}")
    if end > self.shape[axis]:
        raise CoreFailure(f"range end {end} is out of bounds for axis {axis} with shape "
                          f"{self.shape[axis]}")


def op_slice_range(self, axis, start, end):
    check_range(self, axis, start, end)
    strides = strides_of(self.shape)
    shape = list(self.shape)
    shape[axis] = end - start
    return copy_of(self, shape, strides, start * strides[axis])


def op_set_slice(self, axis, start, end, value):
    check_range(self, axis, start, end)
    lower = [start if d == axis else 0 for d in range(len(self.shape))]
    upper = [end if d == axis else e for d, e in enumerate(self.shape)]
    sizes = [u - l for l, u in zip(lower, upper)]
    for offset in indices_of(sizes):
        self.data[self.position([l + o for l, o in zip(lower, offset)])] = value
    return None


def check_mask(mask, self):
    if mask.shape != self.shape:
        raise CoreFailure(f"mask shape {show_shape(mask.shape)} must equal self shape "
                          f"{show_shape(self.shape)}")


def op_masked_fill(self, mask, value):
    check_mask(mask, self)
    for index in indices_of(self.shape):
        if mask.at(index):
            self.data[self.position(index)] = value
    return None


def op_boolean_mask(self, mask):
    check_mask(mask, self)
    out = [self.at(index) for index in (indices_of(self.shape))
           if mask.at(index)]
    return Result(RefNDArray(out, [len(out)]))


def op_where_(self, condition, other):
    if condition.shape != self.shape or other.shape != self.shape:
        raise CoreFailure(f"shape mismatch: self.shape {show_shape(self.shape)}, "
                          f"condition.shape {show_shape(condition.shape)}, "
                          f"other.shape {show_shape(other.shape)}")
    out = [self.at(index) if condition.at(index) else other.at(index)
           for index in (indices_of(self.shape))]
    return Result(RefNDArray(out, self.shape))


def op_fancy_index(self, indices):
    if len(self.shape) != 1:
        raise CoreFailure(f"fancy_index is only valid for 1D arrays, got {len(self.shape)}D")
    return Result(RefNDArray([self.at([i]) for i in indices], [len(indices)]))


def op_gather(self, axis, indices):
    if axis >= len(self.shape):
        raise CoreFailure(f"axis {axis} is out of bounds for NDArray with {len(self.shape)} "
                          "dimensions")
    for i in indices:
        if i >= self.shape[axis]:
            raise CoreFailure(f"index {i} out of bounds for axis {axis} with shape "
                              f"{self.shape[axis]}")
    shape = list(self.shape)
    shape[axis] = len(indices)
    count = 0 if 0 in shape else math.prod(shape)
    if count >= U64 or count * 8 > MAX_ALLOCATION:
        raise CoreFailure("capacity overflow")
    if count > MODELLED_ELEMENTS:
        raise Unmodelled
    out = []
    for index in indices_of(shape):
        source = list(index)
        source[axis] = indices[index[axis]]
        out.append(self.at(source))
    return Result(RefNDArray(out, shape))


def op_shape(self):
    return list(self.shape)


# ----------------------------------------------------------------------------------------
# Converting arguments


class Reentrant:
    """The model of an argument whose float and index conversions first call a method of
    `target`: its sum, or a masked_fill that selects nothing (an exclusive borrow that writes
    nothing). The conversion then yields `value`."""

    def __init__(self, target, mode, value):
        self.target, self.mode, self.value = target, mode, value

    def run(self):
        if self.mode == "sum":
            call(self.target, "sum", (), {})
        else:
            mask = RefBoolArray([False] * len(self.target.data), self.target.shape)
            call(self.target, "masked_fill", (mask, 0.0), {})


def tp_name(obj):
    """The name the interpreter's own messages give the type of obj."""
    t = type(obj)
    if hasattr(t, "tp_name"):
        return t.tp_name
    if t.__flags__ & (1 << 9) or t.__module__ == "builtins":  # a class made in Python
        return t.__name__
    return f"{t.__module__}.{t.__name__}"


def qualname(obj):
    return type(obj).__qualname__


def cannot_convert(obj, target):
    return TypeError(f"'{qualname(obj)}' object cannot be converted to '{target}'")


def to_float(obj):
    """The interpreter's float conversion: a float's own value, else __float__, else
    __index__."""
    if isinstance(obj, Reentrant):
        obj.run()
        return float(obj.value)
    if isinstance(obj, float):
        return float.__float__(obj)
    convert = getattr(type(obj), "__float__", None)
    if convert is not None:
        return convert(obj)
    if getattr(type(obj), "__index__", None) is not None:
        return int.__float__(operator.index(obj))
    raise TypeError(f"must be real number, not {tp_name(obj)}")


def to_size(obj):
    if isinstance(obj, Reentrant):
        obj.run()
        obj = obj.value
    if not isinstance(obj, int):
        if isinstance(obj, RefArray):
            raise TypeError(f"'{tp_name(obj)}' object cannot be interpreted as an integer")
        obj = operator.index(obj)  # the interpreter's own error for anything else
    value = int.__int__(obj)
    if value < 0:
        raise OverflowError("can't convert negative int to unsigned")
    if value >= U64:
        raise OverflowError("int too big to convert")
    return value


def to_bool(obj):
    if type(obj) is bool:
        return obj
    t = type(obj)
    if f"{t.__module__}.{t.__name__}" in ("numpy.bool_", "numpy.bool"):
        method = getattr(t, "__bool__", None)
        if method is None:
            raise TypeError(f"object of type '{t}' does not define a '__bool__' conversion")
        result = method(obj)
        if type(result) is not bool:
            raise cannot_convert(result, "PyBool")
        return result
    raise cannot_convert(obj, "PyBool")


def is_sequence(obj):
    """The interpreter's sequence test: item access by position, dictionaries excluded. A
    class made in Python has it when it defines __getitem__; of the classes written in C,
    the model knows the built-in sequences (numpy's scalars, say, only have subscripts)."""
    if isinstance(obj, dict):
        return False
    if type(obj).__flags__ & (1 << 9):
        return getattr(type(obj), "__getitem__", None) is not None
    return isinstance(obj, (list, tuple, range, str, bytes, bytearray))


def to_list(obj, item, item_size):
    if isinstance(obj, str):
        raise TypeError("Can't extract `str` to `Vec`")
    if not is_sequence(obj):
        raise cannot_convert(obj, "Sequence")
    try:
        hint = len(obj)
    except Exception:
        hint = 0
    if hint * item_size > MAX_ALLOCATION:
        raise CoreFailure("capacity overflow")
    return [item(x) for x in obj]


def to_array(obj, cls):
    if not isinstance(obj, cls):
        raise cannot_convert(obj, cls.__qualname__)
    return obj


KINDS = {
    "float": to_float,
    "floats": lambda obj: to_list(obj, to_float, 8),
    "bools": lambda obj: to_list(obj, to_bool, 1),
    "size": to_size,
    "sizes": lambda obj: to_list(obj, to_size, 8),
    "array": lambda obj: to_array(obj, RefNDArray),
    "mask": lambda obj: to_array(obj, RefBoolArray),
}


def convert(name, kind, obj):
    """One parameter's conversion; an exact TypeError gains the argument prefix."""
    try:
        return KINDS[kind](obj)
    except TypeError as error:
        if type(error) is not TypeError:
            raise
        raise TypeError(f"argument '{name}': {error}") from None


# ----------------------------------------------------------------------------------------
# Methods and the argument matcher

# name: (parameters and their kinds, receiver borrow, operation); None for no parameters.
METHODS = {
    "get": ([("index", "sizes")], "shared", op_get),
    "shape": (None, "shared", op_shape),
    "sum": (None, "shared", op_sum),
    "mean": (None, "shared", op_mean),
    "relu": (None, "shared", op_relu),
    "sigmoid": (None, "shared", op_sigmoid),
    "softmax": (None, "shared", op_softmax),
    "transpose": (None, "shared", op_transpose),
    "argmax": (None, "shared", op_argmax),
    "scale": ([("scalar", "float")], "shared", op_scale),
    "add": ([("other", "array")], "shared", op_add),
    "mul": ([("other", "array")], "shared", op_mul),
    "matmul": ([("other", "array")], "shared", op_matmul),
    "matmul_blas": ([("other", "array")], "shared", op_matmul),
    "boolean_mask": ([("mask", "mask")], "shared", op_boolean_mask),
    "masked_fill": ([("mask", "mask"), ("value", "float")], "exclusive", op_masked_fill),
    "where_": ([("condition", "mask"), ("other", "array")], "shared", op_where_),
    "fancy_index": ([("indices", "sizes")], "shared", op_fancy_index),
    "slice_row": ([("row", "size")], "shared", op_slice_row),
    "slice_col": ([("col", "size")], "shared", op_slice_col),
    "slice_range": ([("axis", "size"), ("start", "size"), ("end", "size")], "shared",
                    op_slice_range),
    "reshape": ([("new_shape", "sizes")], "shared", op_reshape),
    "gather": ([("axis", "size"), ("indices", "sizes")], "shared", op_gather),
    "set_slice": ([("axis", "size"), ("start", "size"), ("end", "size"), ("value", "float")],
                  "exclusive", op_set_slice),
    "cumsum": (None, "shared", op_cumsum),
}
BOOL_METHODS = {"shape": (None, "shared", op_shape)}

QUALIFIED_NOARGS = sys.version_info >= (3, 9)


def quote_list(names):
    quoted = [f"'{n}'" for n in names]
    if len(quoted) == 1:
        return quoted[0]
    if len(quoted) == 2:
        return f"{quoted[0]} and {quoted[1]}"
    return ", ".join(quoted[:-1]) + ", and " + quoted[-1]


def match(full_name, names, args, kwargs):
    """The objects passed for each parameter, or the TypeError of the matcher."""
    if len(args) > len(names):
        verb = "was" if len(args) == 1 else "were"
        raise TypeError(f"{full_name} takes {len(names)} positional arguments but {len(args)} "
                        f"{verb} given")
    slots = list(args) + [None] * (len(names) - len(args))
    filled = [True] * len(args) + [False] * (len(names) - len(args))
    for key, value in kwargs.items():
        if key not in names:
            shown = key.encode("utf-8", "surrogatepass").decode("utf-8", "replace")
            raise TypeError(f"{full_name} got an unexpected keyword argument '{shown}'")
        i = names.index(key)
        if filled[i]:
            raise TypeError(f"{full_name} got multiple values for argument '{key}'")
        slots[i], filled[i] = value, True
    missing = [n for n, f in zip(names, filled) if not f]
    if missing:
        noun = "argument" if len(missing) == 1 else "arguments"
        raise TypeError(f"{full_name} missing {len(missing)} required positional {noun}: "
                        + quote_list(missing))
    return slots


class Borrowed:
    """Takes a borrow of a model array for the length of a `with` block."""

    def __init__(self, array, kind):
        self.array, self.kind = array, kind

    def __enter__(self):
        if self.kind == "shared":
            if self.array.borrow == -1:
                raise RuntimeError("Already mutably borrowed")
            self.array.borrow += 1
        else:
            if self.array.borrow != 0:
                raise RuntimeError("Already borrowed")
            self.array.borrow = -1
        return self.array

    def __exit__(self, *exc):
        if self.kind == "shared":
            self.array.borrow -= 1
        else:
            self.array.borrow = 0


def call(receiver, name, args, kwargs):
    """receiver.name(*args, **kwargs) on the model: the result, or the exception raised."""
    cls_name = type(receiver).__qualname__
    table = METHODS if isinstance(receiver, RefNDArray) else BOOL_METHODS
    params, access, operation = table[name]
    if params is None:
        shown = f"{cls_name}.{name}" if QUALIFIED_NOARGS else name
        if kwargs:
            raise TypeError(f"{shown}() takes no keyword arguments")
        if args:
            raise TypeError(f"{shown}() takes no arguments ({len(args)} given)")
        with Borrowed(receiver, access):
            return operation(receiver)
    slots = match(f"{cls_name}.{name}()", [n for n, _ in params], args, kwargs)
    with Borrowed(receiver, access):
        values = []
        borrows = []
        try:
            for (param, kind), obj in zip(params, slots):
                value = convert(param, kind, obj)
                if kind in ("array", "mask"):
                    borrows.append(Borrowed(value, "shared"))
                    borrows[-1].__enter__()
                values.append(value)
            return operation(receiver, *values)
        finally:
            for b in reversed(borrows):
                b.__exit__()


def construct(cls, args, kwargs):
    """cls(*args, **kwargs) on the model."""
    data_arg, shape_arg = match(f"{cls.__qualname__}.__new__()", ["data", "shape"], args, kwargs)
    data = convert("data", "floats" if cls is RefNDArray else "bools", data_arg)
    shape = convert("shape", "sizes", shape_arg)
    return cls(data, shape)
