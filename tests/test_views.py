"""Shape transforms and slices: reshape, transpose, slice_row, slice_col and slice_range."""

import pytest
from helpers import panic_message
from helpers import (axis_message, counting, end_message, mixed, range_message,
                             same, values)
from tarnex import PyNDArray

U64_MAX = 2**64 - 1


def mismatch(length, shape, expected):
    return f"data length {length} does not match shape {shape} (expected {expected})"


def out_of_bounds(dim, index, extent):
    return f"index out of bounds for dimension {dim}: index {index}, shape {extent}"


# ------------------------------------------------------------------ reshape

@pytest.mark.parametrize("old, new", [
    ([2, 3], [3, 2]), ([2, 3], [6]), ([2, 3], [1, 6]), ([2, 3], [6, 1]), ([2, 3], [2, 1, 3]),
    ([1], []), ([], [1, 1]), ([0, 3], [3, 0]), ([0, 3], [0]), ([0, 3], [5, 0, 2]),
    ([4, 5, 6], [120]), ([120], [2, 3, 4, 5]),
])
def test_reshape_keeps_buffer_order(old, new):
    a, expected = counting(old)
    assert same(a.reshape(new), expected.reshape(new))


@pytest.mark.parametrize("old, new, slots", [
    ([2, 3], [4, 2], (6, "[4, 2]", 8)),
    ([2, 3], [], (6, "[]", 1)),
    ([0, 3], [1], (0, "[1]", 1)),
    ([0], [], (0, "[]", 1)),
    ([5], [2, 0], (5, "[2, 0]", 0)),
])
def test_reshape_count_mismatch(old, new, slots):
    a, _ = counting(old)
    assert panic_message(a.reshape, new) == mismatch(*slots)


def test_reshape_refuses_a_count_beyond_64_bits():
    # Extents whose product wraps to 0 modulo 2**64 must not pass for an empty array.
    a = PyNDArray([], [0])
    message = panic_message(a.reshape, [2**32, 2**32])
    assert message == "element count of shape [4294967296, 4294967296] does not fit in 64 bits"
    # A zero extent makes the count 0 however large the others are.
    assert a.reshape([U64_MAX, 2, 0]).shape() == [U64_MAX, 2, 0]


# ------------------------------------------------------------------ transpose

def test_transpose_small():
    a, _ = counting([2, 3])
    t = a.transpose()
    assert t.shape() == [3, 2]
    assert values(t) == [0.0, 3.0, 1.0, 4.0, 2.0, 5.0]
    assert values(t.transpose()) == values(a)


# Sizes around the tile and block widths of the copy, and thin matrices.
@pytest.mark.parametrize("shape", [
    [1, 1], [1, 9], [9, 1], [7, 9], [8, 8], [16, 24], [65, 130], [129, 63], [3, 200], [200, 3],
])
def test_transpose_matches_reference_bit_for_bit(shape):
    a, expected = mixed(shape, seed=shape[0] * 1000 + shape[1])
    assert same(a.transpose(), expected.T)


@pytest.mark.parametrize("shape", [[0, 3], [3, 0], [0, 0]])
def test_transpose_empty(shape):
    a = PyNDArray([], shape)
    assert a.transpose().shape() == shape[::-1]


@pytest.mark.parametrize("shape", [[4], [], [2, 2, 2], [1, 1, 1, 1]])
def test_transpose_needs_two_dimensions(shape):
    a, _ = counting(shape)
    assert panic_message(a.transpose) == f"transpose requires a 2D array, got {len(shape)}D"


# ------------------------------------------------------------------ slice_row, slice_col

def test_rows_and_columns():
    a, expected = mixed([5, 7], seed=3)
    for r in range(5):
        assert same(a.slice_row(r), expected[r])
    for c in range(7):
        assert same(a.slice_col(c), expected[:, c])


@pytest.mark.parametrize("method, dim, index, extent", [
    ("slice_row", 0, 2, 2), ("slice_row", 0, U64_MAX, 2),
    ("slice_col", 1, 3, 3), ("slice_col", 1, U64_MAX, 3),
])
def test_row_and_column_out_of_range(method, dim, index, extent):
    a, _ = counting([2, 3])
    assert panic_message(getattr(a, method), index) == out_of_bounds(dim, index, extent)


def test_rows_and_columns_of_empty_matrices():
    assert panic_message(PyNDArray([], [0, 3]).slice_row, 0) == out_of_bounds(0, 0, 0)
    assert panic_message(PyNDArray([], [3, 0]).slice_col, 0) == out_of_bounds(1, 0, 0)
    assert [PyNDArray([], [2, 0]).slice_row(r).shape() for r in (0, 1)] == [[0], [0]]
    assert [PyNDArray([], [0, 2]).slice_col(c).shape() for c in (0, 1)] == [[0], [0]]


@pytest.mark.parametrize("method", ["slice_row", "slice_col"])
@pytest.mark.parametrize("shape", [[3], [], [2, 2, 2]])
def test_rank_is_tested_before_the_position(method, shape):
    a, _ = counting(shape)
    for position in (0, 99):
        assert panic_message(getattr(a, method), position) == (
            f"{method} requires a 2D array, got {len(shape)}D")


# ------------------------------------------------------------------ slice_range

def test_slice_range_examples():
    a, _ = counting([2, 4])
    b = a.slice_range(1, 1, 3)
    assert b.shape() == [2, 2] and values(b) == [1.0, 2.0, 5.0, 6.0]
    c = a.slice_range(0, 1, 2)
    assert c.shape() == [1, 4] and values(c) == [4.0, 5.0, 6.0, 7.0]


@pytest.mark.parametrize("axis", [0, 1, 2])
@pytest.mark.parametrize("start, end", [(0, 1), (1, 3), (0, 4), (3, 4), (2, 4)])
def test_slice_range_matches_reference(axis, start, end):
    a, expected = mixed([4, 4, 5], seed=axis)
    index = [slice(None)] * 3
    index[axis] = slice(start, end)
    assert same(a.slice_range(axis, start, end), expected[tuple(index)])


@pytest.mark.parametrize("shape, args, message", [
    ([2, 4], (1, 1, 5), end_message(5, 1, 4)),
    ([2, 4], (1, 2, 2), range_message(2, 2)),
    ([2, 4], (2, 0, 1), axis_message(2, 2)),
    # Test order: axis, then the range itself, then its end.
    ([2, 4], (5, 3, 1), axis_message(5, 2)),
    ([2, 4], (0, 9, 8), range_message(9, 8)),
    ([2, 4], (0, 0, U64_MAX), end_message(U64_MAX, 0, 2)),
    ([], (0, 0, 1), axis_message(0, 0)),
    ([3, 0], (1, 0, 1), end_message(1, 1, 0)),
])
def test_slice_range_failures(shape, args, message):
    a = PyNDArray([0.0] * (shape[0] * shape[1] if len(shape) == 2 else 1), shape)
    assert panic_message(a.slice_range, *args) == message


def test_slice_range_with_zero_extent_elsewhere():
    a = PyNDArray([], [4, 0])
    assert a.slice_range(0, 1, 3).shape() == [2, 0]


# ------------------------------------------------------------------ the copies are independent

@pytest.mark.parametrize("make", [
    lambda a: a.reshape([6]),
    lambda a: a.reshape([2, 3]),
    lambda a: a.transpose(),
    lambda a: a.slice_row(1),
    lambda a: a.slice_col(0),
    lambda a: a.slice_range(0, 0, 2),
])
def test_results_share_nothing_with_the_receiver(make):
    a, _ = counting([2, 3])
    b = make(a)
    before = values(b)
    a.set_slice(0, 0, 2, -1.0)
    assert values(b) == before
    b.set_slice(0, 0, 1, 99.0)
    assert values(a) == [-1.0] * 6


def test_large_views_match_reference():
    a, expected = mixed([300, 301], seed=11)
    assert same(a.transpose().slice_range(0, 100, 103), expected.T[100:103])
    assert same(a.slice_range(1, 7, 9), expected[:, 7:9])
    assert same(a.reshape([301, 300]).slice_col(299), expected.reshape(301, 300)[:, 299])
