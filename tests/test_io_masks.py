"""tarnex_io's masks: the six comparisons, isnan and the boolean logic, against Python's own
operators on the same values, at lengths around every vector width."""

import math
import operator
import random
import struct

import pytest
from tarnex import PyBoolArray, PyNDArray

import tarnex_io

NAN_PAYLOAD = struct.unpack("<d", struct.pack("<Q", 0x7FF8_0000_0000_1234))[0]
SPECIALS = [math.nan, NAN_PAYLOAD, -math.nan, math.inf, -math.inf, 0.0, -0.0, 5e-324, -5e-324,
            1.0, -1.0]
COMPARISONS = {
    "greater": operator.gt, "greater_equal": operator.ge, "less": operator.lt,
    "less_equal": operator.le, "equal": operator.eq, "not_equal": operator.ne,
}
LENGTHS = [0, 1, 2, 3, 7, 8, 9, 15, 16, 17, 33, 1001]


def values(n, seed):
    rng = random.Random(seed)
    return [rng.choice(SPECIALS) if rng.random() < 0.4 else rng.choice([-2.0, 0.5, 1.0, 3.0])
            for _ in range(n)]


def flat_bytes(mask):
    data = tarnex_io.to_bytes(mask)
    assert set(data) <= {0, 1}
    return data


@pytest.mark.parametrize("name", list(COMPARISONS))
@pytest.mark.parametrize("n", LENGTHS)
def test_array_comparisons_follow_ieee(name, n):
    xs, ys = values(n, n), values(n, n + 1000)
    a, b = PyNDArray(xs, [n]), PyNDArray(ys, [n])
    m = getattr(tarnex_io, name)(a, b)
    assert type(m) is PyBoolArray and m.shape() == [n]
    assert flat_bytes(m) == bytes(COMPARISONS[name](x, y) for x, y in zip(xs, ys))


@pytest.mark.parametrize("name", list(COMPARISONS))
@pytest.mark.parametrize("scalar", [0.0, -0.0, 1.0, math.nan, math.inf, -math.inf])
def test_scalar_comparisons_follow_ieee(name, scalar):
    xs = values(37, 5)
    m = getattr(tarnex_io, name)(PyNDArray(xs, [37]), scalar)
    assert flat_bytes(m) == bytes(COMPARISONS[name](x, scalar) for x in xs)


def test_zero_signs_and_nan_in_detail():
    a = PyNDArray([-0.0, 0.0, math.nan, math.nan], [2, 2])
    b = PyNDArray([0.0, -0.0, math.nan, 1.0], [2, 2])
    assert tarnex_io.to_list(tarnex_io.equal(a, b)) == [True, True, False, False]
    assert tarnex_io.to_list(tarnex_io.not_equal(a, b)) == [False, False, True, True]
    assert tarnex_io.to_list(tarnex_io.greater_equal(a, a)) == [True, True, False, False]
    assert tarnex_io.to_list(tarnex_io.isnan(a)) == [False, False, True, True]


@pytest.mark.parametrize("shape", [[], [0], [2, 0], [1], [2, 3], [2, 2, 2]], ids=str)
def test_results_keep_the_operand_shape(shape):
    n = math.prod(shape)
    a = PyNDArray(values(n, 9), shape)
    m = PyBoolArray([i % 3 == 0 for i in range(n)], shape)
    for result in (tarnex_io.less(a, 1.0), tarnex_io.less(a, a), tarnex_io.isnan(a),
                   tarnex_io.logical_not(m), tarnex_io.logical_and(m, m),
                   tarnex_io.logical_or(m, m)):
        assert type(result) is PyBoolArray and result.shape() == shape


class Floaty:
    def __float__(self):
        return 2.0


class Indexy:
    def __index__(self):
        return 2


@pytest.mark.parametrize("b", [2, 2.0, True, Floaty(), Indexy(), 2**80], ids=repr)
def test_b_is_anything_the_float_conversion_takes(b):
    xs = [1.0, 2.0, 3.0]
    m = tarnex_io.greater_equal(PyNDArray(xs, [3]), b)
    assert tarnex_io.to_list(m) == [x >= float(b) for x in xs]


@pytest.mark.parametrize("n", LENGTHS)
def test_isnan_and_logic(n):
    xs = values(n, 3 * n)
    assert flat_bytes(tarnex_io.isnan(PyNDArray(xs, [n]))) == bytes(x != x for x in xs)
    rng = random.Random(n)
    p = [rng.random() < 0.5 for _ in range(n)]
    q = [rng.random() < 0.5 for _ in range(n)]
    m1, m2 = PyBoolArray(p, [n]), PyBoolArray(q, [n])
    assert flat_bytes(tarnex_io.logical_not(m1)) == bytes(not x for x in p)
    assert flat_bytes(tarnex_io.logical_and(m1, m2)) == bytes(x and y for x, y in zip(p, q))
    assert flat_bytes(tarnex_io.logical_or(m1, m2)) == bytes(x or y for x, y in zip(p, q))


def test_results_are_new_masks_usable_by_tarnex():
    a = PyNDArray([1.0, -2.0, 3.0, -4.0], [2, 2])
    keep = tarnex_io.greater(a, 0.0)
    assert a.boolean_mask(keep).shape() == [2]
    assert tarnex_io.to_list(a.where_(keep, a.scale(0.0))) == [1.0, 0.0, 3.0, 0.0]
    a.masked_fill(tarnex_io.logical_not(keep), 7.0)
    assert tarnex_io.to_list(a) == [1.0, 7.0, 3.0, 7.0]
    assert tarnex_io.to_list(keep) == [True, False, True, False]  # a copy, not a view


def test_keywords_are_accepted_by_parameter_name():
    a = PyNDArray([1.0, 2.0], [2])
    m = PyBoolArray([True, False], [2])
    assert tarnex_io.to_list(tarnex_io.less(b=1.5, a=a)) == [True, False]
    assert tarnex_io.to_list(tarnex_io.isnan(a=a)) == [False, False]
    assert tarnex_io.to_list(tarnex_io.logical_not(m=m)) == [False, True]
    assert tarnex_io.to_list(tarnex_io.logical_or(m2=m, m1=m)) == [True, False]


A = PyNDArray([1.0, 2.0], [2])
M = PyBoolArray([True, False], [2])


@pytest.mark.parametrize("call, exception, message", [
    (lambda: tarnex_io.greater([1.0], 0.0), TypeError,
     "argument 'a': 'list' object cannot be converted to 'PyNDArray'"),
    (lambda: tarnex_io.greater(M, 0.0), TypeError,
     "argument 'a': 'PyBoolArray' object cannot be converted to 'PyNDArray'"),
    (lambda: tarnex_io.less(A, "1"), TypeError, "argument 'b': must be real number, not str"),
    (lambda: tarnex_io.less(A, M), TypeError,
     "argument 'b': must be real number, not builtins.PyBoolArray"),
    (lambda: tarnex_io.equal(A, 2**1024), OverflowError, "int too large to convert to float"),
    (lambda: tarnex_io.equal(A, PyNDArray([1.0, 2.0, 3.0], [1, 3])), ValueError,
     "argument 'b': operands could not be broadcast together: shape [1, 3] against shape [2] "
     "of argument 'a'"),
    (lambda: tarnex_io.isnan(M), TypeError,
     "argument 'a': 'PyBoolArray' object cannot be converted to 'PyNDArray'"),
    (lambda: tarnex_io.logical_not(A), TypeError,
     "argument 'm': 'PyNDArray' object cannot be converted to 'PyBoolArray'"),
    (lambda: tarnex_io.logical_and(M, A), TypeError,
     "argument 'm2': 'PyNDArray' object cannot be converted to 'PyBoolArray'"),
    (lambda: tarnex_io.logical_or(M, PyBoolArray([True] * 3, [3])), ValueError,
     "argument 'm2': operands could not be broadcast together: shape [3] against shape [2] "
     "of argument 'm1'"),
    (lambda: tarnex_io.greater(A), TypeError, "greater() missing 1 required positional argument: 'b'"),
    (lambda: tarnex_io.logical_and(m1=M), TypeError,
     "logical_and() missing 1 required positional argument: 'm2'"),
])
def test_errors_name_the_parameter(call, exception, message):
    with pytest.raises(exception) as info:
        call()
    assert type(info.value) is exception and str(info.value).startswith(message)
