"""tarnex_io's element-wise functions with broadcasting, against numpy (or the C library, for
exp, log and tanh) over random broadcastable shapes and special values, bit for bit; out=
with and without aliasing; and the errors."""

import ctypes
import ctypes.util
import math
import os
import subprocess
import sys

import numpy as np
import pytest
from hypothesis import given, strategies as st
from tarnex import PyBoolArray, PyNDArray

import tarnex_io as tio

BINARY = ["add", "subtract", "multiply", "divide", "maximum", "minimum"]
UNARY_NUMPY = ["negative", "abs", "square", "sqrt"]
UNARY_LIBM = ["exp", "log", "tanh"]
COMPARISONS = ["greater", "greater_equal", "less", "less_equal", "equal", "not_equal"]
LOGIC = ["logical_and", "logical_or"]
QUIET = np.uint64(1 << 51)

SPECIAL_BITS = [0x7FF8_0000_0000_0000, 0xFFF8_0000_0000_1234, 0x7FF0_0000_0000_0042,  # NaNs
                0x7FF0_0000_0000_0000, 0xFFF0_0000_0000_0000, 0, 1 << 63,  # inf, zeros
                1, (1 << 63) | 0x000F_FFFF_FFFF_FFFF]  # subnormals
SPECIALS = np.array(SPECIAL_BITS, dtype=np.uint64).view(np.float64)
LIBM = ctypes.CDLL(ctypes.util.find_library("m"))
for _name in UNARY_LIBM:
    getattr(LIBM, _name).restype = ctypes.c_double
    getattr(LIBM, _name).argtypes = [ctypes.c_double]


# --- helpers ------------------------------------------------------------------------------

def to_tarnex(x):
    """A PyNDArray (or PyBoolArray) with exactly x's elements, NaN payloads included."""
    x = np.array(x, order="C")  # (ascontiguousarray would make a 0-d array 1-d)
    if x.dtype == np.bool_:
        return tio.bools_from_bytes(x.tobytes(), list(x.shape))
    return tio.from_bytes(x.astype(np.float64).tobytes(), list(x.shape))


def as_numpy(r):
    return r if isinstance(r, (float, bool)) else tio.to_numpy(r)


def same_bits(got, want):
    got, want = np.asarray(got), np.asarray(want, dtype=got.dtype)
    assert got.shape == want.shape
    if got.dtype == np.float64:
        np.testing.assert_array_equal(got.view(np.uint64), want.view(np.uint64))
    else:
        np.testing.assert_array_equal(got, want)


def first_nan_rule(name, x, y, want):
    """numpy's add and multiply may take either NaN where both are; ours is x's, quieted."""
    if name not in ("add", "multiply"):
        return want
    x, y = np.broadcast_arrays(x, y)
    both = np.isnan(x) & np.isnan(y)
    want = np.array(want, dtype=np.float64)
    want.view(np.uint64)[both] = x.view(np.uint64)[both] | QUIET
    return want


# --- strategies ---------------------------------------------------------------------------

@st.composite
def shapes(draw, operands):
    """Shapes that broadcast together: one full shape, each operand keeping a suffix of it
    with some extents turned to 1 (empty and size-1 extents and 0-d shapes included)."""
    full = draw(st.lists(st.sampled_from([0, 1, 1, 2, 3, 5, 8, 17]), min_size=0, max_size=4))
    out = []
    for _ in range(operands):
        keep = draw(st.integers(0, len(full)))
        s = full[len(full) - keep:]
        out.append(tuple(1 if draw(st.booleans()) and draw(st.booleans()) else e for e in s))
    return out


@st.composite
def values(draw, shape, positive=False):
    n = int(np.prod(shape, dtype=np.int64))
    seed = draw(st.integers(0, 2**32 - 1))
    rng = np.random.default_rng(seed)
    x = rng.standard_normal(n) * 10.0 ** rng.integers(-3, 4, n)
    if positive:
        x = np.abs(x)
    special = rng.random(n) < draw(st.sampled_from([0.0, 0.2, 0.6]))
    x[special] = rng.choice(SPECIALS, int(special.sum()))
    return x.reshape(shape)


def operand(draw, shape, positive=False):
    """An array of `shape`, or for a 0-d shape sometimes a plain Python float."""
    x = draw(values(shape, positive))
    if shape == () and draw(st.booleans()):
        return float(x), x
    return to_tarnex(x), x


def mask_operand(draw, shape):
    x = np.random.default_rng(draw(st.integers(0, 2**32 - 1))).random(shape) < 0.5
    if shape == () and draw(st.booleans()):
        return bool(x), x
    return to_tarnex(x), x


# --- differential tests -------------------------------------------------------------------

@given(st.sampled_from(BINARY), st.data())
def test_binary_functions_match_numpy(name, data):
    sa, sb = data.draw(shapes(2))
    (a, x), (b, y) = operand(data.draw, sa), operand(data.draw, sb)
    with np.errstate(all="ignore"):
        want = getattr(np, name)(x, y)
    got = as_numpy(getattr(tio, name)(a, b))
    same_bits(got, first_nan_rule(name, x, y, want))


@given(st.sampled_from(UNARY_NUMPY + UNARY_LIBM), st.data())
def test_unary_functions_match_numpy_or_the_c_library(name, data):
    (shape,) = data.draw(shapes(1))
    a, x = operand(data.draw, shape, positive=data.draw(st.booleans()))
    got = as_numpy(getattr(tio, name)(a))
    if name in UNARY_LIBM:
        f = getattr(LIBM, name)
        want = np.array([f(v) for v in np.ravel(x)], dtype=np.float64).reshape(np.shape(x))
    else:
        with np.errstate(all="ignore"):
            want = getattr(np, name)(x)
    same_bits(got, want)


@given(st.data())
def test_clip_is_the_maximum_then_the_minimum(data):
    sa, sl, sh = data.draw(shapes(3))
    (a, x), (lo, xl), (hi, xh) = (operand(data.draw, s) for s in (sa, sl, sh))
    same_bits(as_numpy(tio.clip(a, lo, hi)), np.minimum(np.maximum(x, xl), xh))


@given(st.data())
def test_where_copies_the_chosen_bits(data):
    sc, sa, sb = data.draw(shapes(3))
    c, xc = mask_operand(data.draw, sc)
    (a, x), (b, y) = operand(data.draw, sa), operand(data.draw, sb)
    same_bits(as_numpy(tio.where(c, a, b)), np.where(xc, x, y))


@given(st.sampled_from(COMPARISONS + LOGIC), st.data())
def test_masks_broadcast_like_numpy(name, data):
    sa, sb = data.draw(shapes(2))
    if name in LOGIC:
        (a, x), (b, y) = mask_operand(data.draw, sa), mask_operand(data.draw, sb)
    else:
        (a, x), (b, y) = operand(data.draw, sa), operand(data.draw, sb)
    got = getattr(tio, name)(a, b)
    assert type(got) is PyBoolArray
    same_bits(tio.to_numpy(got), getattr(np, name)(x, y))
    assert set(tio.to_bytes(got)) <= {0, 1}


@given(st.sampled_from(BINARY + COMPARISONS), st.data())
def test_out_receives_the_result_and_may_be_an_operand(name, data):
    sa, sb = data.draw(shapes(2))
    (a, x), (b, y) = operand(data.draw, sa), operand(data.draw, sb)
    fresh = getattr(tio, name)(a, b)
    want = as_numpy(fresh)
    shape = list(np.shape(want))
    if name in COMPARISONS:
        out = PyBoolArray([False] * len(np.ravel(want)), shape)
    else:
        # Aliased with an operand of the result's shape where there is one.
        candidates = [o for o, s in ((a, sa), (b, sb))
                      if isinstance(o, PyNDArray) and list(s) == shape]
        out = data.draw(st.sampled_from(candidates)) if candidates and data.draw(
            st.booleans()) else to_tarnex(np.full(shape, 7.0))
    assert getattr(tio, name)(a, b, out=out) is out
    same_bits(tio.to_numpy(out), want)


# --- the pool, levels of work, and in-place updates ---------------------------------------

def test_large_broadcasts_match_numpy_and_every_thread_count():
    """Large enough for the worker pool, whose pieces start in the middle of rows."""
    code = """
import hashlib, numpy as np, tarnex_io as tio
rng = np.random.default_rng(5)
x = rng.standard_normal((1100, 1000)); x[rng.random(x.shape) < 0.1] = np.nan
c = rng.standard_normal((1100, 1)); r = rng.standard_normal((1, 1000))
t = lambda v: tio.from_bytes(v.tobytes(), list(v.shape))
parts = [tio.maximum(t(x), t(c)), tio.add(t(r), t(x)), tio.clip(t(x), t(r), 1.0),
         tio.greater(t(c), t(x)), tio.sqrt(t(np.abs(x)))]
print(hashlib.sha256(b"".join(tio.to_bytes(p) for p in parts)).hexdigest())
"""
    digests = set()
    for threads in ("1", "2", "3"):
        env = dict(os.environ, RAYON_NUM_THREADS=threads)
        run = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True,
                             text=True, timeout=120, check=True)
        digests.add(run.stdout.strip())
    assert len(digests) == 1
    rng = np.random.default_rng(5)
    x = rng.standard_normal((1100, 1000))
    x[rng.random(x.shape) < 0.1] = np.nan
    c = rng.standard_normal((1100, 1))
    same_bits(tio.to_numpy(tio.maximum(to_tarnex(x), to_tarnex(c))), np.maximum(x, c))


def test_an_update_in_place_reads_each_element_before_writing_it():
    p, g = np.linspace(-1.0, 1.0, 70001), np.cos(np.arange(70001.0))
    tp, tg = to_tarnex(p), to_tarnex(g)
    assert tio.subtract(tp, tio.multiply(0.01, tg), out=tp) is tp
    same_bits(tio.to_numpy(tp), p - 0.01 * g)
    assert tio.add(tp, tp, out=tp) is tp
    same_bits(tio.to_numpy(tp), 2 * (p - 0.01 * g))
    m = to_tarnex(p > 0)
    assert tio.logical_not(m, out=m) is m
    same_bits(tio.to_numpy(m), p <= 0)


def test_zero_signs_and_nan_payloads_of_maximum_and_minimum():
    n1, n2 = SPECIALS[0], SPECIALS[1]
    x = np.array([0.0, -0.0, n1, 1.0, n1])
    y = np.array([-0.0, 0.0, 1.0, n2, n2])
    a, b = to_tarnex(x), to_tarnex(y)
    # b on ties, else whichever is NaN, a's first; NaN bits unchanged.
    same_bits(tio.to_numpy(tio.maximum(a, b)), [-0.0, 0.0, n1, n2, n1])
    same_bits(tio.to_numpy(tio.minimum(a, b)), [-0.0, 0.0, n1, n2, n1])


# --- errors -------------------------------------------------------------------------------

A = PyNDArray([1.0, 2.0, 3.0, 4.0, 5.0, 6.0], [2, 3])
M = PyBoolArray([True, False, True, False, True, False], [2, 3])


@pytest.mark.parametrize("call, exception, message", [
    (lambda: tio.add(A, PyNDArray([1.0, 2.0], [2])), ValueError,
     "argument 'b': operands could not be broadcast together: shape [2] against shape [2, 3] "
     "of argument 'a'"),
    (lambda: tio.clip(A, 0.0, PyNDArray([1.0] * 4, [4, 1, 1])), None, None),
    (lambda: tio.where(PyBoolArray([True] * 2, [2]), A, 0.0), ValueError,
     "argument 'a': operands could not be broadcast together: shape [2, 3] against shape [2] "
     "of argument 'condition'"),
    (lambda: tio.add([1.0], A), TypeError,
     "argument 'a': 'list' object cannot be converted to 'PyNDArray' or a float"),
    (lambda: tio.multiply(A, "2"), TypeError, "argument 'b': must be real number, not str"),
    (lambda: tio.where(A, A, A), TypeError,
     "argument 'condition': 'PyNDArray' object cannot be converted to 'PyBoolArray' or a bool"),
    (lambda: tio.sqrt(M), TypeError,
     "argument 'x': 'PyBoolArray' object cannot be converted to 'PyNDArray' or a float"),
    (lambda: tio.add(A, 1.0, out=[0.0]), TypeError,
     "argument 'out': 'list' object cannot be converted to 'PyNDArray'"),
    (lambda: tio.less(A, 1.0, out=A), TypeError,
     "argument 'out': 'PyNDArray' object cannot be converted to 'PyBoolArray'"),
    (lambda: tio.add(A, 1.0, out=PyNDArray([0.0] * 6, [6])), ValueError,
     "argument 'out': shape [6] does not match the result's shape [2, 3]"),
    (lambda: tio.add(A, 1.0, None), TypeError, None),
])
def test_errors_name_the_parameter(call, exception, message):
    if exception is None:  # a broadcast that works
        call()
        return
    with pytest.raises(exception) as info:
        call()
    assert type(info.value) is exception
    if message is not None:
        assert str(info.value) == message


def test_a_refused_out_leaves_every_operand_unchanged_and_free():
    a = to_tarnex(np.arange(6.0).reshape(2, 3))
    small = to_tarnex(np.arange(3.0))
    before = sys.getrefcount(a), sys.getrefcount(small)
    for out in (small, PyNDArray([0.0] * 6, [3, 2])):
        with pytest.raises(ValueError, match="argument 'out'"):
            tio.subtract(a, small, out=out)
    assert (sys.getrefcount(a), sys.getrefcount(small)) == before
    same_bits(tio.to_numpy(a), np.arange(6.0).reshape(2, 3))
    same_bits(tio.to_numpy(small), np.arange(3.0))
    a.set_slice(0, 0, 1, 9.0)  # nothing left borrowed
    small.set_slice(0, 0, 1, 9.0)


def test_numbers_alone_give_0d_arrays():
    r = tio.divide(1, 4.0)
    assert type(r) is PyNDArray and r.shape() == [] and tio.to_list(r) == [0.25]
    m = tio.logical_or(False, True)
    assert type(m) is PyBoolArray and m.shape() == [] and tio.to_list(m) == [True]
    assert tio.to_list(tio.greater(2.0, A)) == [True, False, False, False, False, False]


# --- the exponential, the logistic and softmax against the C library ----------------------

def exp_inputs():
    """About 10^5 inputs: uniform in value over [-746, 710], uniform over the bit patterns, and
    where an exponential goes wrong first: zeros, infinities, NaN payloads, the overflow and
    underflow thresholds with their neighbours, the grid k ln2 / 128 and its half-way points,
    around +-512 and +-708, subnormal results, tiny inputs."""
    rng = np.random.default_rng(20261210)
    payloads = rng.integers(1, 1 << 52, 2000, dtype=np.uint64) | np.uint64(0x7FF0 << 48)
    payloads |= rng.integers(0, 2, 2000, dtype=np.uint64) << np.uint64(63)
    centres = np.array([709.782712893384, -708.3964185322641, -745.1332191019411, 512.0, -512.0,
                        708.0, -708.0, 1024.0, -1024.0, 2.0**-54, -(2.0**-54)]).view(np.uint64)
    near = (centres[:, None] + np.arange(-200, 201, dtype=np.int64).astype(np.uint64)).ravel()
    step = math.log(2.0) / 128
    k = rng.integers(-137800, 131200, 5000).astype(np.float64)
    grid = np.concatenate([k * step, (k + 0.5) * step]).view(np.uint64)
    grid = np.concatenate([grid - np.uint64(1), grid, grid + np.uint64(1)])
    parts = [SPECIALS, payloads.view(np.float64), near.view(np.float64), grid.view(np.float64),
             rng.uniform(-745.2, -708.3, 5000), rng.uniform(-524.0, -500.0, 3000),
             rng.uniform(500.0, 524.0, 3000), rng.uniform(-746.0, 710.0, 40000),
             rng.integers(0, 2**64, 30000, dtype=np.uint64).view(np.float64)]
    x = np.concatenate(parts)
    return x[rng.permutation(x.size)]


def libm_exp(x):
    return np.array([LIBM.exp(v) for v in x], dtype=np.float64)


def test_exp_sigmoid_and_softmax_give_the_c_librarys_bits():
    x = exp_inputs()
    e = libm_exp(x)
    same_bits(tio.to_numpy(tio.exp(to_tarnex(x))), e)
    with np.errstate(all="ignore"):
        same_bits(tio.to_numpy(to_tarnex(x).sigmoid()), 1.0 / (libm_exp(np.negative(x)) + 1.0))
    # softmax over rows of the inputs whose exponentials stay finite, so that every last bit
    # of every term shows in the sum; the sum runs left to right from -0.0.
    finite = x[(x < 700.0) & (x > -800.0)]
    rows = finite[:finite.size // 50 * 50].reshape(-1, 50)
    ef = libm_exp(rows.ravel()).reshape(rows.shape)
    want = ef / np.add.accumulate(ef, axis=1)[:, -1:]
    for row, w in zip(rows[:400], want):
        same_bits(tio.to_numpy(to_tarnex(row).softmax()), w)
    # tio.softmax subtracts each row's maximum first.
    d = rows - rows.max(axis=1, keepdims=True)
    ed = libm_exp(d.ravel()).reshape(d.shape)
    same_bits(tio.to_numpy(tio.softmax(to_tarnex(rows))), ed / np.add.accumulate(ed, axis=1)[:, -1:])


def test_the_c_librarys_exp_forced_gives_the_same_bits(tmp_path):
    """TARNEX_EXP=libm keeps the library's exp for the whole process; the results are the same."""
    path, x = tmp_path / "x.bin", exp_inputs()
    path.write_bytes(x.tobytes())
    code = f"""
import hashlib, tarnex_io as tio
x = tio.from_bytes(open({str(path)!r}, "rb").read(), [{x.size}])
parts = [tio.exp(x), x.sigmoid(), x.softmax(), tio.softmax(x)]
print(tio.build_info()["exp"], hashlib.sha256(b"".join(tio.to_bytes(p) for p in parts)).hexdigest())
"""
    runs = {}
    for forced in ("libm", None):
        env = dict(os.environ)
        env.pop("TARNEX_EXP", None)
        if forced:
            env["TARNEX_EXP"] = forced
        out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True,
                             text=True, timeout=120, check=True).stdout.split()
        runs[forced] = out
    assert runs["libm"][0] == "libm"
    assert runs[None][0] == tio.build_info()["exp"] or "TARNEX_EXP" in os.environ
    assert runs["libm"][1] == runs[None][1]
