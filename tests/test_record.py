"""The array record: construction, the length test, shape overflow, and checked element reads."""

import math

import pytest
from helpers import bits, panic_message
from tarnex import PyBoolArray, PyNDArray

U64_MAX = 2**64 - 1


@pytest.mark.parametrize("data, shape", [
    ([7.0], []),
    ([], [0]),
    ([], [2, 0]),
    ([], [3, 0, 2]),
    ([1.0, 2.0, 3.0, 4.0, 5.0, 6.0], [2, 3]),
    (list(range(24)), [2, 3, 4]),
])
def test_construction_keeps_shape(data, shape):
    a = PyNDArray(data, shape)
    assert a.shape() == shape
    assert PyNDArray(shape=shape, data=data).shape() == shape


@pytest.mark.parametrize("cls, data, shape, slots", [
    (PyNDArray, [], [], (0, "[]", 1)),
    (PyNDArray, [1.0, 2.0], [], (2, "[]", 1)),
    (PyNDArray, [1.0, 2.0, 3.0], [2, 2], (3, "[2, 2]", 4)),
    (PyNDArray, [0.0] * 5, [2, 3], (5, "[2, 3]", 6)),
    (PyNDArray, [1.0], [0], (1, "[0]", 0)),
    (PyNDArray, [1.0], [2, 0, 3], (1, "[2, 0, 3]", 0)),
    (PyBoolArray, [True, False], [3], (2, "[3]", 3)),
    (PyBoolArray, [], [], (0, "[]", 1)),
])
def test_length_mismatch(cls, data, shape, slots):
    assert panic_message(cls, data, shape) == (
        "data length {} does not match shape {} (expected {})".format(*slots))


def test_bool_array_construction():
    assert PyBoolArray([True, False, True], [3]).shape() == [3]
    assert PyBoolArray([True], []).shape() == []


@pytest.mark.parametrize("shape, index, value", [
    ([2, 3], [0, 0], 0.0),
    ([2, 3], [1, 2], 5.0),
    ([2, 3], [1, 0], 3.0),
    ([2, 3, 4], [1, 2, 3], 23.0),
    ([2, 3, 4], [0, 1, 2], 6.0),
    ([6], [4], 4.0),
])
def test_get_reads_row_major(shape, index, value):
    a = PyNDArray([float(i) for i in range(math.prod(shape))], shape)
    assert a.get(index) == value


def test_get_zero_dimensional():
    assert PyNDArray([7.5], []).get([]) == 7.5


@pytest.mark.parametrize("value", [-0.0, 0.0, math.inf, -math.inf, math.nan, 5e-324, 1.7976931348623157e308])
def test_values_round_trip_bit_exact(value):
    assert bits(PyNDArray([1.0, value], [2]).get([1])) == bits(value)


LENGTH = "length of the given index and shape must match."


def bounds(d, i, n):
    return f"index out of bounds for dimension {d}: index {i}, shape {n}"


@pytest.mark.parametrize("shape, index, message", [
    ([2, 3], [2, 0], bounds(0, 2, 2)),
    ([2, 3], [1, 3], bounds(1, 3, 3)),
    ([2, 3], [5, 7], bounds(0, 5, 2)),  # the lowest offending dimension is reported
    ([2, 3], [0, U64_MAX], bounds(1, U64_MAX, 3)),
    ([2, 0], [0, 0], bounds(1, 0, 0)),
    ([2, 0], [2, 0], bounds(0, 2, 2)),
    ([0], [0], bounds(0, 0, 0)),
    ([2, 3], [0], LENGTH),
    ([2, 3], [0, 0, 0], LENGTH),
    ([2, 3], [9], LENGTH),  # the length test wins over the bounds test
    ([2, 3], [], LENGTH),
    ([], [0], LENGTH),
])
def test_get_failures(shape, index, message):
    a = PyNDArray([1.0] * math.prod(shape), shape)
    assert panic_message(a.get, index) == message
    assert a.shape() == shape


@pytest.mark.parametrize("shape", [
    [2**32, 2**32],
    [2**63, 2],
    [U64_MAX, U64_MAX],
    [2, 2**62, 2, 3],
])
@pytest.mark.parametrize("cls", [PyNDArray, PyBoolArray])
def test_shape_overflowing_64_bits_is_refused(cls, shape):
    # The product wraps to a small number (0 for the first one), which must not pass as a
    # short buffer for a gigantic shape.
    assert panic_message(cls, [], shape).startswith("element count of shape")


def test_huge_extents_with_a_zero_extent_are_empty():
    a = PyNDArray([], [U64_MAX, U64_MAX, 0])
    assert a.shape() == [U64_MAX, U64_MAX, 0]
    assert a.sum() == 0.0
    assert panic_message(a.get, [0, 0, 0]) == bounds(2, 0, 0)
