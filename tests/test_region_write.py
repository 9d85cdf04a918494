"""In-place writes: set_slice and masked_fill change the receiver only, or not at all."""

import math

import numpy as np
import pytest
from helpers import panic_message
from helpers import (SPECIAL, axis_message, bool_mask, counting, end_message, mixed,
                             range_message, raw, same, values)
from tarnex import PyBoolArray, PyNDArray

U64_MAX = 2**64 - 1


def mask_message(mask_shape, shape):
    return f"mask shape {mask_shape} must equal self shape {shape}"


# ------------------------------------------------------------------ set_slice

@pytest.mark.parametrize("shape, args, expected", [
    ([3, 2], (0, 1, 3, 9.0), [0.0, 1.0, 9.0, 9.0, 9.0, 9.0]),
    ([2, 4], (1, 1, 3, 9.0), [0.0, 9.0, 9.0, 3.0, 4.0, 9.0, 9.0, 7.0]),
    ([4], (0, 1, 4, -1.0), [0.0, -1.0, -1.0, -1.0]),
])
def test_set_slice_examples(shape, args, expected):
    a, _ = counting(shape)
    assert a.set_slice(*args) is None
    assert values(a) == expected


@pytest.mark.parametrize("axis", [0, 1, 2])
@pytest.mark.parametrize("start, end", [(0, 1), (1, 3), (0, 4), (3, 4)])
@pytest.mark.parametrize("value", [2.5, SPECIAL[0], SPECIAL[6], SPECIAL[7]])
def test_set_slice_matches_reference(axis, start, end, value):
    a, expected = mixed([4, 5, 4], seed=axis * 10 + start)
    expected = expected.copy()
    index = [slice(None)] * 3
    index[axis] = slice(start, end)
    expected[tuple(index)] = np.frombuffer(raw([value]), dtype=np.float64)[0]
    a.set_slice(axis, start, end, value)
    assert same(a, expected)


@pytest.mark.parametrize("shape, args, message", [
    ([2, 4], (0, 1, 1, 5.0), range_message(1, 1)),
    ([2, 4], (1, 0, 5, 5.0), end_message(5, 1, 4)),
    ([2, 4], (2, 0, 1, 5.0), axis_message(2, 2)),
    ([2, 4], (7, 3, 1, 5.0), axis_message(7, 2)),
    ([2, 4], (0, 3, 1, 5.0), range_message(3, 1)),
    ([2, 4], (0, 0, U64_MAX, 5.0), end_message(U64_MAX, 0, 2)),
    ([], (0, 0, 1, 5.0), axis_message(0, 0)),
])
def test_failed_set_slice_writes_nothing(shape, args, message):
    a, _ = counting(shape)
    before = values(a)
    assert panic_message(a.set_slice, *args) == message
    assert values(a) == before


def test_set_slice_on_an_empty_slab():
    a = PyNDArray([], [2, 0])
    assert a.set_slice(0, 0, 2, 1.0) is None
    assert a.shape() == [2, 0]
    assert panic_message(PyNDArray([], [0, 2]).set_slice, 0, 0, 1, 1.0) == end_message(1, 0, 0)


def test_set_slice_converts_arguments_before_testing_them():
    a, _ = counting([2, 2])
    with pytest.raises(TypeError, match="^argument 'value': "):
        a.set_slice(9, 9, 9, "x")
    with pytest.raises(OverflowError):
        a.set_slice(0, -1, 1, 0.0)
    assert values(a) == [0.0, 1.0, 2.0, 3.0]


# ------------------------------------------------------------------ masked_fill

def test_masked_fill_example():
    a, _ = counting([2, 2])
    assert a.masked_fill(PyBoolArray([True, False, False, True], [2, 2]), 7.0) is None
    assert values(a) == [7.0, 1.0, 2.0, 7.0]


# Lengths around the eight-element vector width, so whole blocks and the tail both run.
@pytest.mark.parametrize("n", [1, 7, 8, 9, 15, 16, 17, 1001])
@pytest.mark.parametrize("density", [0.0, 0.5, 1.0])
def test_masked_fill_matches_reference(n, density):
    a, expected = mixed([n], seed=n)
    mask, np_mask = bool_mask([n], seed=n + 1, density=density)
    value = SPECIAL[6]
    expected = expected.copy()
    expected[np_mask] = np.frombuffer(raw([value]), dtype=np.float64)[0]
    a.masked_fill(mask, value)
    assert same(a, expected)


@pytest.mark.parametrize("shape", [[3, 4], [2, 3, 5], [1, 1, 9]])
def test_masked_fill_in_several_dimensions(shape):
    a, expected = mixed(shape, seed=len(shape))
    mask, np_mask = bool_mask(shape, seed=7)
    expected = expected.copy()
    expected[np_mask] = -0.0
    a.masked_fill(mask, -0.0)
    assert same(a, expected)


@pytest.mark.parametrize("flag, expected", [(True, -2.0), (False, 5.0)])
def test_masked_fill_zero_dimensional(flag, expected):
    a = PyNDArray([5.0], [])
    a.masked_fill(PyBoolArray([flag], []), -2.0)
    assert a.get([]) == expected


def test_masked_fill_empty():
    a = PyNDArray([], [0, 3])
    assert a.masked_fill(PyBoolArray([], [0, 3]), 1.0) is None


@pytest.mark.parametrize("shape, mask_shape", [
    ([2, 3], [3, 2]), ([2, 3], [6]), ([2, 3], []), ([], [1]), ([0, 3], [0]),
])
def test_masked_fill_shape_mismatch_writes_nothing(shape, mask_shape):
    a = PyNDArray([1.5] * math.prod(shape), shape)
    mask = PyBoolArray([True] * math.prod(mask_shape), mask_shape)
    message = panic_message(a.masked_fill, mask, 0.0)
    assert message == mask_message(str(mask_shape).replace("'", ""), str(shape))
    assert values(a) == [1.5] * math.prod(shape)


def test_masked_fill_wants_a_boolean_mask():
    a, _ = counting([2])
    with pytest.raises(TypeError) as info:
        a.masked_fill(PyNDArray([1.0, 0.0], [2]), 0.0)
    assert str(info.value) == (
        "argument 'mask': 'PyNDArray' object cannot be converted to 'PyBoolArray'")
    assert values(a) == [0.0, 1.0]
