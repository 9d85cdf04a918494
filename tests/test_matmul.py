"""The matrix product: exact left-to-right sums, edge shapes, failures, and the two names."""

import math
import random
import struct

import pytest
from tarnex import PyBoolArray, PyNDArray

from helpers import bits, panic_message, values

METHODS = ["matmul", "matmul_blas"]
MISMATCH = "shape mismatch for matmul:"


def product(method, a, b):
    return getattr(a, method)(b)


def times(x, y):
    # When both are NaN, y's NaN is the result. The interpreter's own choice varies between
    # its generic and its specialised float operations, so the rule is written out.
    return y if (x != x and y != y) else x * y


def plus(acc, product):
    # When both are NaN, the accumulator's NaN is the result.
    return acc if (acc != acc and product != product) else acc + product


def reference(a, b, m, k, n):
    """The sums one by one: +0.0, then each rounded product added in increasing p."""
    out = []
    for i in range(m):
        for j in range(n):
            acc = 0.0
            for p in range(k):
                acc = plus(acc, times(a[i * k + p], b[p * n + j]))
            out.append(acc)
    return out


def float_from_bits(u):
    return struct.unpack("<d", struct.pack("<Q", u))[0]


NAN_A = float_from_bits(0x7FF8_0000_0000_1234)
NAN_B = float_from_bits(0xFFF8_0000_0000_0042)
DEFAULT_NAN = float_from_bits(0xFFF8_0000_0000_0000)  # what inf * 0 and inf - inf give
SPECIALS = [
    math.nan, NAN_A, NAN_B, math.inf, -math.inf,
    0.0, -0.0, 5e-324, -2.5e-310, 1e308, -1e308, 1e-160,
]


def random_values(rng, count, special_share):
    out = []
    for _ in range(count):
        if rng.random() < special_share:
            out.append(rng.choice(SPECIALS))
        else:
            out.append(rng.uniform(-1.0, 1.0) * 2.0 ** rng.randint(-30, 30))
    return out


def assert_same_bits(got, expected):
    assert len(got) == len(expected)
    for pos, (x, y) in enumerate(zip(got, expected)):
        assert bits(x) == bits(y), f"position {pos}: {x!r} != {y!r}"


# Sizes around the tile widths and heights of every kernel, narrow results of a few
# columns, and depths that split into several blocks, including ones whose result spans
# several column blocks.
SHAPES = [
    (1, 1, 1), (2, 3, 4), (1, 5, 1), (7, 13, 9), (6, 1, 32), (5, 2, 33), (13, 37, 70),
    (3, 300, 17), (2, 520, 300), (1, 40, 250), (40, 3, 1), (9, 24, 31), (17, 9, 2),
    (25, 31, 3),
]


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize("m, k, n", SHAPES)
@pytest.mark.parametrize("special_share", [0.0, 0.15])
def test_bits_equal_sequential_sums(method, m, k, n, special_share):
    rng = random.Random(m * 1_000_003 + k * 1009 + n + int(special_share * 100))
    a = random_values(rng, m * k, special_share)
    b = random_values(rng, k * n, special_share)
    c = product(method, PyNDArray(a, [m, k]), PyNDArray(b, [k, n]))
    assert c.shape() == [m, n]
    assert_same_bits(values(c), reference(a, b, m, k, n))


@pytest.mark.parametrize("method", METHODS)
def test_order_of_rounding(method):
    # Left to right: 1e16 + 1.0 rounds back to 1e16 before -1e16 is added.
    a = PyNDArray([1e16, 1.0, -1e16] * 3, [3, 3])
    ones = PyNDArray([1.0] * 3 * 40, [3, 40])
    assert_same_bits(values(product(method, a, ones)), [0.0] * 120)
    # Product rounded before the add: (1 + 2^-30)(1 - 2^-30) rounds to 1.0, so -1.0 plus it is
    # exactly 0.0, while a fused multiply-add would leave -2^-60. Every lane of every tile.
    rows, cols = 9, 41
    left = PyNDArray([-1.0, 1.0 + 2.0**-30] * rows, [rows, 2])
    right = PyNDArray([1.0] * cols + [1.0 - 2.0**-30] * cols, [2, cols])
    assert_same_bits(values(product(method, left, right)), [0.0] * (rows * cols))


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize("a, b, expected", [
    ([-0.0], [1.0], 0.0),                 # the sum starts at +0.0
    ([-0.0, -0.0], [1.0, 2.0], 0.0),
    ([2.0], [3.0], 6.0),
    ([math.inf, 1.0], [0.0, 1.0], DEFAULT_NAN),    # inf * 0 is NaN, and stays NaN
    ([math.inf, -math.inf], [1.0, 1.0], DEFAULT_NAN),
    ([math.nan, 1.0], [1.0, 1.0], math.nan),
    ([1e308, 1e308], [10.0, -10.0], DEFAULT_NAN),   # overflow to inf, then inf - inf
    ([5e-324, 5e-324], [0.5, 1.0], 5e-324),         # subnormals round as usual
    ([NAN_A], [NAN_B], NAN_B),                       # b's NaN in a * b
    ([math.inf, NAN_A], [0.0, 1.0], DEFAULT_NAN),    # the accumulator's NaN in acc + product
    ([NAN_A, NAN_B], [1.0, 1.0], NAN_A),
])
def test_single_element_sums(method, a, b, expected):
    k = len(a)
    c = product(method, PyNDArray(a, [1, k]), PyNDArray(b, [k, 1]))
    assert bits(c.get([0, 0])) == bits(expected)
    assert_same_bits([expected], reference(a, b, 1, k, 1))


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize("m, n", [(2, 3), (1, 1), (0, 5), (5, 0), (0, 0), (300, 70)])
def test_empty_inner_size_gives_positive_zeros(method, m, n):
    c = product(method, PyNDArray([], [m, 0]), PyNDArray([], [0, n]))
    assert c.shape() == [m, n]
    assert all(bits(x) == bits(0.0) for x in values(c))


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize("m, k, n", [(0, 3, 4), (4, 3, 0), (0, 3, 0)])
def test_empty_result(method, m, k, n):
    a = PyNDArray([1.0] * (m * k), [m, k])
    b = PyNDArray([1.0] * (k * n), [k, n])
    c = product(method, a, b)
    assert c.shape() == [m, n]
    assert c.sum() == 0.0


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize("m, n", [(2**32, 2**32), (2**63, 2), (2**64 - 1, 2**64 - 1),
                                  (2**60, 1), (1, 2**60), (2**31, 2**30)])
def test_oversized_result_is_refused(method, m, n):
    # With k = 0 both operands are empty, so any m and n can be asked for.
    a = PyNDArray([], [m, 0])
    b = PyNDArray([], [0, n])
    assert panic_message(product, method, a, b) == "capacity overflow"


@pytest.mark.parametrize("method", METHODS)
def test_largest_allowed_count_passes_the_size_check(method):
    # 2^60 - 1 elements (2^63 - 8 bytes) pass the byte limit; the core then asks the
    # allocator, which refuses, and that surfaces as MemoryError, not as "capacity overflow".
    a = PyNDArray([], [2**60 - 1, 0])
    b = PyNDArray([], [0, 1])
    with pytest.raises(MemoryError):
        product(method, a, b)


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize("a_shape, b_shape, message", [
    ([2, 3], [3], "matmul requires 2D arrays, got 2D and 1D"),
    ([4], [5, 6], "matmul requires 2D arrays, got 1D and 2D"),
    ([2, 2, 2], [2, 2], "matmul requires 2D arrays, got 3D and 2D"),
    ([], [], "matmul requires 2D arrays, got 0D and 0D"),
    ([3], [7], "matmul requires 2D arrays, got 1D and 1D"),
    ([2, 3], [2, 3], f"{MISMATCH} self.shape[1] (3) must equal other.shape[0] (2)"),
    ([0, 5], [0, 5], f"{MISMATCH} self.shape[1] (5) must equal other.shape[0] (0)"),
    ([2**40, 0], [1, 0], f"{MISMATCH} self.shape[1] (0) must equal other.shape[0] (1)"),
])
def test_failures_and_their_order(method, a_shape, b_shape, message):
    def filled(shape):
        count = math.prod(shape)
        return PyNDArray([float(x) for x in range(count)], shape)
    a, b = filled(a_shape), filled(b_shape)
    before = (values(a) if len(a_shape) == 2 else None, values(b) if len(b_shape) == 2 else None)
    assert panic_message(product, method, a, b) == message
    after = (values(a) if len(a_shape) == 2 else None, values(b) if len(b_shape) == 2 else None)
    assert after == before
    # The operands stay usable, borrows released.
    assert a.shape() == a_shape and b.shape() == b_shape


def test_failure_report_on_stderr(capfd):
    a = PyNDArray([1.0] * 6, [2, 3])
    panic_message(a.matmul, a)
    err = capfd.readouterr().err
    assert "panicked at src/lib/matmul/matmul.cpp:" in err
    assert "shape mismatch for matmul: self.shape[1] (3) must equal other.shape[0] (2)" in err


@pytest.mark.parametrize("method", METHODS)
def test_argument_errors_name_the_method_and_parameter(method):
    a = PyNDArray([1.0], [1, 1])
    name = f"PyNDArray.{method}()"
    call = getattr(a, method)
    cases = [
        ((), {}, f"{name} missing 1 required positional argument: 'other'"),
        ((a, a), {}, f"{name} takes 1 positional arguments but 2 were given"),
        ((), {"b": a}, f"{name} got an unexpected keyword argument 'b'"),
        ((a,), {"other": a}, f"{name} got multiple values for argument 'other'"),
        (([[1.0]],), {}, "argument 'other': 'list' object cannot be converted to 'PyNDArray'"),
        ((PyBoolArray([True], [1, 1]),), {},
         "argument 'other': 'PyBoolArray' object cannot be converted to 'PyNDArray'"),
    ]
    for args, kwargs, message in cases:
        with pytest.raises(TypeError) as info:
            call(*args, **kwargs)
        assert str(info.value) == message
    assert values(call(other=a)) == [1.0]


@pytest.mark.parametrize("method", METHODS)
def test_same_array_as_both_operands(method):
    data = [1.0, 2.0, -3.0, 0.5, 4.0, -1.5, 2.25, 0.0, 7.0]
    a = PyNDArray(data, [3, 3])
    c = product(method, a, a)
    assert_same_bits(values(c), reference(data, data, 3, 3, 3))
    assert values(a) == data


@pytest.mark.parametrize("method", METHODS)
def test_result_is_independent_of_operands(method):
    a = PyNDArray([1.0, 2.0, 3.0, 4.0], [2, 2])
    identity = PyNDArray([1.0, 0.0, 0.0, 1.0], [2, 2])
    c = product(method, a, identity)
    assert c is not a and c is not identity
    assert values(c) == [1.0, 2.0, 3.0, 4.0]
    if hasattr(c, "set_slice"):
        c.set_slice(0, 0, 2, 9.0)
        assert values(a) == [1.0, 2.0, 3.0, 4.0]
        assert values(identity) == [1.0, 0.0, 0.0, 1.0]
        a.set_slice(0, 0, 1, -1.0)
        assert values(c) == [9.0] * 4
