"""tarnex_io's reductions along an axis and its softmax family, on random shapes, axes and
values: sums against numpy's in-order accumulation, maxima and positions against numpy,
the softmax family against a sequential model in Python floats."""

import math
import os
import struct
import subprocess
import sys

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st
from tarnex import PyBoolArray, PyNDArray

import tarnex_io as tio

SPECIALS = [math.nan, -math.nan, math.inf, -math.inf, 0.0, -0.0, 1.0, -1.0, 1e308, -1e308]
values = st.one_of(st.sampled_from(SPECIALS), st.floats(-1e3, 1e3, allow_nan=False))
finite_values = st.floats(-700.0, 700.0, allow_nan=False)


@st.composite
def arrays(draw, elements=values, max_rank=4):
    """A float64 array of rank 0..max_rank; the last two extents range wide enough to reach
    every level's vector groups and tails."""
    rank = draw(st.integers(0, max_rank))
    shape = [draw(st.integers(0, 4)) for _ in range(max(rank - 2, 0))]
    shape += [draw(st.integers(0, 37)) for _ in range(min(rank, 2))]
    if math.prod(shape) > 3000:
        shape = [min(e, 3) for e in shape]
    special = draw(st.floats(0.0, 1.0))
    n = math.prod(shape)
    rng = np.random.default_rng(draw(st.integers(0, 2**32 - 1)))
    x = rng.uniform(-50.0, 50.0, n)
    picks = rng.random(n) < special
    x[picks] = rng.choice(np.array(SPECIALS), int(picks.sum()))
    fixed = draw(st.lists(elements, max_size=4))
    x[:len(fixed)] = fixed[:n]
    return x.reshape(shape)


@st.composite
def array_and_axis(draw, elements=values, allow_none=True):
    x = draw(arrays(elements))
    choices = list(range(-x.ndim, x.ndim)) + ([None] if allow_none else [])
    if not choices:
        choices = [None]
    return x, draw(st.sampled_from(choices))


def to_tarnex(x):
    x = np.array(x, dtype=np.float64, order="C")  # (ascontiguousarray makes 0-d 1-d)
    return tio.from_bytes(x.tobytes(), list(x.shape))


def bits(x):
    return np.array(x, dtype=np.float64, order="C").view(np.uint64)


def same(ours, expected):
    """Bit for bit, except that any NaN matches any NaN."""
    ours = np.asarray(ours, dtype=np.float64)
    expected = np.asarray(expected, dtype=np.float64)
    assert ours.shape == expected.shape
    both_nan = np.isnan(ours) & np.isnan(expected)
    mismatch = (bits(ours) != bits(expected)) & ~both_nan
    assert not mismatch.any(), (ours[mismatch], expected[mismatch])


def result(r):
    """A tarnex_io result as numpy: arrays through to_numpy, scalars as they are."""
    return tio.to_numpy(r) if isinstance(r, PyNDArray) else r


def expected_shape(x, axis, keepdims):
    if axis is None:
        return (1,) * x.ndim if keepdims else None
    s = list(x.shape)
    if keepdims:
        s[axis] = 1
    else:
        del s[axis]
    return tuple(s)


def check_shape(r, x, axis, keepdims, scalar_type):
    shape = expected_shape(x, axis, keepdims)
    if shape is None:
        assert type(r) is scalar_type
    else:
        assert type(r) is PyNDArray and tuple(r.shape()) == shape


def in_order_sum(x, axis):
    """numpy's in-order chain at its last position; -0.0 for an empty axis."""
    if axis is None:
        x, axis = x.reshape(-1), 0
    if x.shape[axis] == 0:
        return np.full(np.delete(x.shape, axis), -0.0)
    with np.errstate(all="ignore"):
        return np.take(np.add.accumulate(x, axis=axis), -1, axis=axis)


# ---- sums and means -------------------------------------------------------------------------

@settings(max_examples=300, deadline=None)
@given(array_and_axis(), st.booleans())
def test_sums_and_means_are_in_order_chains(case, keepdims):
    x, axis = case
    a = to_tarnex(x)
    s = tio.sum(a, axis, keepdims=keepdims)
    check_shape(s, x, axis, keepdims, float)
    expected = in_order_sum(x, axis)
    same(np.reshape(result(s), np.shape(expected)), expected)
    if axis is None and not keepdims:
        assert struct.pack("<d", s) == struct.pack("<d", a.sum())
    count = x.size if axis is None else x.shape[axis]
    m = tio.mean(a, axis=axis, keepdims=keepdims)
    check_shape(m, x, axis, keepdims, float)
    with np.errstate(all="ignore"):
        same(np.reshape(result(m), np.shape(expected)), expected / np.float64(count))


@settings(max_examples=150, deadline=None)
@given(array_and_axis(), st.booleans())
def test_bool_sums_count_true_elements(case, keepdims):
    x, axis = case
    b = x > 0
    m = tio.greater(to_tarnex(x), 0.0)
    s = tio.sum(m, axis, keepdims=keepdims)
    check_shape(s, x, axis, keepdims, float)
    expected = in_order_sum(b.astype(np.float64), axis)
    same(np.reshape(result(s), np.shape(expected)), expected)
    count = x.size if axis is None else x.shape[axis]
    with np.errstate(all="ignore"):
        same(np.reshape(result(tio.mean(m, axis)), np.shape(expected)),
             expected / np.float64(count))


def test_accuracy_idiom():
    pred = to_tarnex(np.array([1.0, 2.0, 3.0, 4.0]))
    labels = to_tarnex(np.array([1.0, 0.0, 3.0, 4.0]))
    assert tio.mean(tio.equal(pred, labels)) == 0.75
    assert tio.sum(PyBoolArray([], [0])) == 0.0
    assert math.copysign(1.0, tio.sum(PyBoolArray([], [0]))) == -1.0


# ---- maxima, minima, positions --------------------------------------------------------------

def zero_rule(x, axis, largest):
    """The sign of a zero extreme: +0.0 for max (-0.0 for min) when the slice holds one."""
    want = 0 if largest else 1
    signs = np.signbit(x) if x.size else x.astype(bool)
    has = np.any((x == 0) & (signs == bool(want)), axis=axis)
    return np.where(has, want == 1, want == 0)


@settings(max_examples=300, deadline=None)
@given(array_and_axis(), st.booleans())
def test_extremes_and_positions_follow_numpy(case, keepdims):
    x, axis = case
    a = to_tarnex(x)
    empty = x.size == 0 if axis is None else x.shape[axis] == 0

    def reduced(name, empty_message, kind):
        """tio's `name` of a, its shape checked; None where it must refuse an empty axis."""
        if empty:
            with pytest.raises(ValueError, match=empty_message):
                getattr(tio, name)(a, axis)
            return None
        r = getattr(tio, name)(a, axis, keepdims=keepdims)
        check_shape(r, x, axis, keepdims, kind)
        return r

    for name, largest in (("max", True), ("min", False)):
        r = reduced(name, "zero-size array", float)
        if r is None:
            continue
        got = np.reshape(result(r), np.shape(getattr(np, name)(x, axis=axis)))
        expected = getattr(np, name)(x, axis=axis)
        assert np.array_equal(got, expected, equal_nan=True)
        zero = got == 0
        if np.any(zero):
            negative = np.broadcast_to(zero_rule(x, axis, largest), np.shape(got))
            assert np.array_equal(np.signbit(got)[zero], negative[zero])
    for name in ("argmax", "argmin"):
        r = reduced(name, "empty sequence", int)
        if r is not None:
            expected = getattr(np, name)(x, axis=axis, keepdims=keepdims)
            assert np.array_equal(result(r), expected)


def test_first_nan_wins_in_long_slices():
    # Past the first block of a row scan, and along columns.
    x = np.arange(3000.0)
    x[1500], x[2500] = math.nan, -math.nan
    a = to_tarnex(x)
    assert tio.argmax(a) == 1500 and tio.argmin(a) == 1500
    assert bits(tio.max(a)) == bits(x[1500])
    cols = to_tarnex(x.reshape(100, 30))
    assert np.array_equal(tio.to_numpy(tio.argmax(cols, 0)), np.argmax(x.reshape(100, 30), 0))


# ---- the softmax family ---------------------------------------------------------------------

def ieee_max(xs):
    m = xs[0]
    for v in xs[1:]:
        if math.isnan(m):
            break
        if math.isnan(v) or v > m or (v == m == 0 and math.copysign(1, v) > 0):
            m = v
    return m


def divide(a, b):
    with np.errstate(all="ignore"):
        return float(np.float64(a) / np.float64(b))


def exp(v):
    try:
        return math.exp(v)
    except OverflowError:
        return math.inf


def log(s):
    if math.isnan(s):
        return s
    return -math.inf if s == 0 else math.log(s)


def model(xs):
    """softmax, log_softmax and logsumexp of one slice, operation by operation."""
    m = ieee_max(xs) if xs else 0.0
    if not math.isfinite(m):
        m = 0.0
    d = [v - m for v in xs]
    e = [exp(v) for v in d]
    s = -0.0
    for v in e:
        s = s + v
    return [divide(v, s) for v in e], [v - log(s) for v in d], m + log(s)


def model_along(x, axis):
    if axis is None:
        flat = [float(v) for v in x.reshape(-1)]
        sm, ls, lse = model(flat)
        return np.reshape(sm, x.shape), np.reshape(ls, x.shape), np.float64(lse)
    moved = np.moveaxis(x, axis, -1)
    sm, ls = np.empty(moved.shape), np.empty(moved.shape)
    lse = np.empty(moved.shape[:-1])
    for index in np.ndindex(moved.shape[:-1]):
        sm[index], ls[index], lse[index] = model([float(v) for v in moved[index]])
    return np.moveaxis(sm, -1, axis), np.moveaxis(ls, -1, axis), lse


@settings(max_examples=200, deadline=None)
@given(array_and_axis(st.one_of(values, finite_values)), st.booleans())
def test_softmax_family_matches_the_sequential_model(case, keepdims):
    x, axis = case
    if x.ndim == 0 and axis is not None:
        return
    a = to_tarnex(x)
    sm, ls, lse = model_along(x, axis)
    same(tio.to_numpy(tio.softmax(a, axis)), sm)
    same(tio.to_numpy(tio.log_softmax(a, axis=axis)), ls)
    r = tio.logsumexp(a, axis, keepdims=keepdims)
    check_shape(r, x, axis, keepdims, float)
    same(np.reshape(result(r), np.shape(lse)), lse)
    if x.ndim > 0 and axis in (-1, x.ndim - 1):
        same(tio.to_numpy(tio.softmax(a)), sm)


def test_softmax_conventions():
    a = to_tarnex(np.array([[-math.inf, -math.inf], [1000.0, 1000.0], [math.inf, 0.0]]))
    sm = tio.to_numpy(tio.softmax(a))
    assert np.isnan(sm[0]).all() and list(sm[1]) == [0.5, 0.5]
    assert list(tio.to_numpy(tio.logsumexp(a))[:2]) == [-math.inf, 1000.0 + math.log(2.0)]
    assert tio.logsumexp(to_tarnex(np.zeros((2, 0)))).shape() == [2]
    assert tio.to_list(tio.logsumexp(to_tarnex(np.zeros((2, 0))))) == [-math.inf, -math.inf]


SCRIPT = """
import hashlib, numpy as np, tarnex_io as tio
x = np.random.default_rng(5).normal(0, 30, (301, 97))
a = tio.from_bytes(x.tobytes(), [301, 97])
h = hashlib.sha256()
for r in (tio.softmax(a), tio.log_softmax(a), tio.logsumexp(a), tio.softmax(a, 0)):
    h.update(tio.to_bytes(r))
print(h.hexdigest())
"""


def test_large_softmax_is_the_same_for_every_thread_count():
    digests = set()
    for threads in ("1", "2", "3"):
        env = dict(os.environ, RAYON_NUM_THREADS=threads)
        out = subprocess.run([sys.executable, "-c", SCRIPT], env=env, check=True,
                             capture_output=True, text=True).stdout
        digests.add(out)
    assert len(digests) == 1
    x = np.random.default_rng(5).normal(0, 30, (301, 97))
    sm, _, lse = model_along(x, -1)
    same(tio.to_numpy(tio.softmax(to_tarnex(x))), sm)
    same(tio.to_numpy(tio.logsumexp(to_tarnex(x))), lse)


# ---- arguments ------------------------------------------------------------------------------

FUNCTIONS = ["sum", "mean", "max", "min", "argmax", "argmin", "softmax", "log_softmax",
             "logsumexp"]


@pytest.mark.parametrize("name", FUNCTIONS)
def test_argument_errors_name_the_parameter(name):
    f = getattr(tio, name)
    a = to_tarnex(np.ones((2, 3)))
    for axis in (2, -3, 2**70):
        with pytest.raises(ValueError, match=r"argument 'axis': axis .* out of bounds for "
                                             r"array of dimension 2"):
            f(a, axis)
    for axis in (1.0, "1", True):
        with pytest.raises(TypeError, match="argument 'axis'"):
            f(a, axis)
    with pytest.raises(TypeError, match="argument 'a'"):
        f([1.0, 2.0])
    assert np.array_equal(result(f(a, np.int64(1))), result(f(a, axis=-1)))
    if name not in ("softmax", "log_softmax"):
        with pytest.raises(TypeError, match="argument 'keepdims'"):
            f(a, 0, keepdims=1)
        with pytest.raises(TypeError):
            f(a, 0, True)  # keepdims is keyword-only
    with pytest.raises(ValueError, match="dimension 0"):
        f(to_tarnex(np.float64(1.0)), 0)
    assert tio.to_list(a) == [1.0] * 6


def test_bool_arrays_are_for_sums_and_means_only():
    m = PyBoolArray([True, False], [2])
    assert tio.sum(m) == 1.0 and tio.mean(m) == 0.5
    for name in FUNCTIONS[2:]:
        with pytest.raises(TypeError, match="argument 'a'"):
            getattr(tio, name)(m)
