"""Selection and masking: gather, fancy_index, boolean_mask and where_."""

import math

import numpy as np
import pytest
from helpers import bits, panic_message
from helpers import axis_message, bool_mask, counting, mixed, same, values
from tarnex import PyBoolArray, PyNDArray

U64_MAX = 2**64 - 1


def index_message(index, axis, extent):
    return f"index {index} out of bounds for axis {axis} with shape {extent}"


def where_message(shape, condition_shape, other_shape):
    return (f"shape mismatch: self.shape {shape}, condition.shape {condition_shape}, "
            f"other.shape {other_shape}")


# ------------------------------------------------------------------ gather

def test_gather_examples():
    a, _ = counting([3, 2])
    g = a.gather(0, [1, 1, 0])
    assert g.shape() == [3, 2] and values(g) == [2.0, 3.0, 2.0, 3.0, 0.0, 1.0]
    b, _ = counting([2, 3])
    h = b.gather(1, [2, 0])
    assert h.shape() == [2, 2] and values(h) == [2.0, 0.0, 5.0, 3.0]


@pytest.mark.parametrize("axis", [0, 1, 2])
@pytest.mark.parametrize("indices", [[], [0], [3, 3, 0, 1], [1] * 9, [2, 0, 3, 1, 2]])
def test_gather_matches_reference(axis, indices):
    a, expected = mixed([4, 4, 4], seed=axis)
    assert same(a.gather(axis, indices), np.take(expected, np.array(indices, dtype=np.intp), axis))


def test_gather_along_the_last_axis_of_many_rows():
    # Enough rows and picks for the row-by-row path with its read-ahead of the next row.
    a, expected = mixed([40, 300], seed=5)
    indices = [(7 * i) % 300 for i in range(350)]
    assert same(a.gather(1, indices), np.take(expected, indices, 1))


@pytest.mark.parametrize("shape, axis, indices, message", [
    ([], 0, [], axis_message(0, 0)),
    ([2, 3], 2, [9], axis_message(2, 2)),            # the axis is tested before any index
    ([2, 3], U64_MAX, [], axis_message(U64_MAX, 2)),
    ([2, 3], 1, [0, 3, 9], index_message(3, 1, 3)),  # the first bad index in list order
    ([2, 3], 0, [1, 0, U64_MAX], index_message(U64_MAX, 0, 2)),
    ([0, 3], 0, [0], index_message(0, 0, 0)),
])
def test_gather_failures(shape, axis, indices, message):
    a = PyNDArray([0.0] * math.prod(shape), shape)
    assert panic_message(a.gather, axis, indices) == message


def test_gather_on_empty_axes():
    assert PyNDArray([], [0, 3]).gather(0, []).shape() == [0, 3]
    assert PyNDArray([], [2, 0]).gather(0, [1, 1, 1]).shape() == [3, 0]
    assert PyNDArray([1.0, 2.0], [2]).gather(0, []).shape() == [0]


# ------------------------------------------------------------------ fancy_index

def test_fancy_index_example():
    a = PyNDArray([10.0, 20.0, 30.0], [3])
    assert values(a.fancy_index([2, 0, 2])) == [30.0, 10.0, 30.0]
    assert a.fancy_index([]).shape() == [0]


def test_fancy_index_matches_reference():
    a, expected = mixed([1000], seed=1)
    indices = [(i * 7919) % 1000 for i in range(2500)]
    assert same(a.fancy_index(indices), expected[indices])


@pytest.mark.parametrize("shape, indices, message", [
    ([3], [0, 3], "index out of bounds for dimension 0: index 3, shape 3"),
    ([3], [1, 7, 5], "index out of bounds for dimension 0: index 7, shape 3"),
    ([3], [U64_MAX], f"index out of bounds for dimension 0: index {U64_MAX}, shape 3"),
    ([0], [0], "index out of bounds for dimension 0: index 0, shape 0"),
    ([2, 2], [], "fancy_index is only valid for 1D arrays, got 2D"),
    ([], [0], "fancy_index is only valid for 1D arrays, got 0D"),
    ([1, 1, 1], [9], "fancy_index is only valid for 1D arrays, got 3D"),
])
def test_fancy_index_failures(shape, indices, message):
    a = PyNDArray([0.0] * math.prod(shape), shape)
    assert panic_message(a.fancy_index, indices) == message


# ------------------------------------------------------------------ boolean_mask

def test_boolean_mask_all_or_nothing():
    a, expected = mixed([2, 3], seed=2)
    assert a.boolean_mask(PyBoolArray([False] * 6, [2, 3])).shape() == [0]
    assert same(a.boolean_mask(PyBoolArray([True] * 6, [2, 3])), expected.reshape(6))


# Lengths around the eight-element vector width, so whole blocks and the tail both run.
@pytest.mark.parametrize("shape", [[1], [7], [8], [9], [17], [3, 5], [2, 3, 4], [1001]])
@pytest.mark.parametrize("density", [0.1, 0.5, 0.9])
def test_boolean_mask_matches_reference(shape, density):
    a, expected = mixed(shape, seed=len(shape))
    mask, np_mask = bool_mask(shape, seed=math.prod(shape), density=density)
    assert same(a.boolean_mask(mask), expected[np_mask])


@pytest.mark.parametrize("flag, expected", [(True, [4.5]), (False, [])])
def test_boolean_mask_zero_dimensional(flag, expected):
    r = PyNDArray([4.5], []).boolean_mask(PyBoolArray([flag], []))
    assert r.shape() == [len(expected)] and values(r) == expected


@pytest.mark.parametrize("shape", [[0], [0, 3], [3, 0, 2]])
def test_boolean_mask_empty(shape):
    assert PyNDArray([], shape).boolean_mask(PyBoolArray([], shape)).shape() == [0]


@pytest.mark.parametrize("shape, mask_shape", [
    ([2, 3], [3, 2]), ([2, 3], [6]), ([], [1]), ([1], []),
])
def test_boolean_mask_shape_mismatch(shape, mask_shape):
    a = PyNDArray([1.0] * math.prod(shape), shape)
    mask = PyBoolArray([True] * math.prod(mask_shape), mask_shape)
    assert panic_message(a.boolean_mask, mask) == (
        f"mask shape {mask_shape} must equal self shape {shape}")


# ------------------------------------------------------------------ where_

def test_where_picks_per_element():
    a, expected_a = mixed([3, 7], seed=8)
    b, expected_b = mixed([3, 7], seed=9)
    cond, np_cond = bool_mask([3, 7], seed=10)
    assert same(a.where_(cond, b), np.where(np_cond, expected_a, expected_b))


@pytest.mark.parametrize("n", [1, 7, 8, 9, 1001])
def test_where_all_true_or_all_false_copies_one_side(n):
    a, expected_a = mixed([n], seed=n)
    nans = PyNDArray([math.nan] * n, [n])
    assert same(a.where_(PyBoolArray([True] * n, [n]), nans), expected_a)
    assert same(nans.where_(PyBoolArray([False] * n, [n]), a), expected_a)


def test_where_with_one_array_in_several_roles():
    a, expected = mixed([4], seed=4)
    assert same(a.where_(PyBoolArray([True, False, True, False], [4]), a), expected)


def test_where_zero_dimensional_and_empty():
    a, b = PyNDArray([1.0], []), PyNDArray([-0.0], [])
    assert bits(a.where_(PyBoolArray([False], []), b).get([])) == bits(-0.0)
    assert a.where_(PyBoolArray([True], []), b).get([]) == 1.0
    assert PyNDArray([], [2, 0]).where_(PyBoolArray([], [2, 0]), PyNDArray([], [2, 0])).shape() \
        == [2, 0]


@pytest.mark.parametrize("shape, condition_shape, other_shape", [
    ([2, 3], [2, 3], [3, 2]),
    ([2, 3], [3, 2], [2, 3]),
    ([2, 3], [6], [6]),
    ([], [], [1]),
])
def test_where_shape_mismatch_shows_all_three_shapes(shape, condition_shape, other_shape):
    a = PyNDArray([0.0] * math.prod(shape), shape)
    cond = PyBoolArray([True] * math.prod(condition_shape), condition_shape)
    other = PyNDArray([0.0] * math.prod(other_shape), other_shape)
    assert panic_message(a.where_, cond, other) == where_message(shape, condition_shape,
                                                                 other_shape)


def test_where_checks_argument_types_in_order():
    a = PyNDArray([1.0], [1])
    with pytest.raises(TypeError, match="^argument 'condition': "):
        a.where_(PyNDArray([1.0], [1]), "not an array")
    with pytest.raises(TypeError, match="^argument 'other': "):
        a.where_(PyBoolArray([True], [1]), PyBoolArray([True], [1]))


# ------------------------------------------------------------------ the results are independent

@pytest.mark.parametrize("make", [
    lambda a, m: a.gather(0, [0, 1]),
    lambda a, m: a.gather(1, [0, 1, 2]),
    lambda a, m: a.reshape([6]).fancy_index([0, 1, 2, 3, 4, 5]),
    lambda a, m: a.boolean_mask(m),
    lambda a, m: a.where_(m, a),
])
def test_results_share_nothing_with_the_operands(make):
    a, _ = counting([2, 3])
    mask = PyBoolArray([True] * 6, [2, 3])
    r = make(a, mask)
    before = values(r)
    a.set_slice(0, 0, 2, -1.0)
    assert values(r) == before
    r.set_slice(0, 0, 1, 99.0)
    assert values(a) == [-1.0] * 6
