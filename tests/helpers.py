"""Helpers shared by the test modules: exact float bits, failure messages, fresh
interpreters, reading arrays element by element and test data with awkward float values."""

import itertools
import math
import os
import random
import struct
import subprocess
import sys
import textwrap

import pytest
import tarnex
from tarnex import PyBoolArray, PyNDArray

try:  # the array-building helpers need numpy; the others work without it
    import numpy as np
except ImportError:
    np = None


def bits(x):
    """The IEEE-754 bytes of a float, so that -0.0, NaN payloads and 0.0 compare exactly."""
    return struct.pack("<d", x)


def panic_message(fn, *args, **kwargs):
    """Calls fn, asserts it raised the core-failure exception, and returns its message."""
    try:
        fn(*args, **kwargs)
    except Exception as e:  # the core-failure exception must not derive from Exception
        pytest.fail(f"expected PanicException, got {type(e).__name__}: {e}")
    except BaseException as e:
        if type(e).__name__ != "PanicException":
            raise
        assert type(e).__module__ == "pyo3_runtime"
        assert len(e.args) == 1 and isinstance(e.args[0], str)
        return e.args[0]
    pytest.fail("no PanicException raised")


def run_python(code, timeout=60, **env):
    """Runs code in a fresh interpreter that imports the tarnex under test.

    Keyword arguments are extra environment variables. Returns (returncode, stdout, stderr).
    """
    environ = {k: v for k, v in os.environ.items() if k != "TARNEX_BACKTRACE"}
    environ["PYTHONPATH"] = os.path.dirname(os.path.abspath(tarnex.__file__))
    environ.update(env)
    done = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        env=environ, capture_output=True, text=True, timeout=timeout,
    )
    return done.returncode, done.stdout, done.stderr


# Values whose bits a copy must keep: signed zeros, infinities, a subnormal and NaNs with
# distinct payloads and signs.
SPECIAL = [
    -0.0, 0.0, math.inf, -math.inf, 5e-324, -1.7976931348623157e308,
    struct.unpack("<d", struct.pack("<Q", 0x7FF8000000000123))[0],
    struct.unpack("<d", struct.pack("<Q", 0xFFF4000000000001))[0],
]


def values(a):
    """Every element of a in row-major order, read through get."""
    shape = a.shape()
    if 0 in shape:  # no elements, however large the other extents
        return []
    return [a.get(list(index)) for index in itertools.product(*(range(n) for n in shape))]


def raw(xs):
    """The IEEE-754 bytes of a sequence of floats."""
    return struct.pack(f"<{len(xs)}d", *xs)


def same(a, expected):
    """a has the shape and, bit for bit, the elements of the numpy array `expected`."""
    expected = np.array(expected, dtype=np.float64, order="C")
    return a.shape() == list(expected.shape) and raw(values(a)) == expected.tobytes()


def counting(shape):
    """0.0, 1.0, ... in the given shape, as a tarnex array and a numpy array."""
    data = [float(i) for i in range(math.prod(shape))]
    return PyNDArray(data, shape), np.array(data, dtype=np.float64).reshape(shape)


def mixed(shape, seed):
    """Random values with the special ones sprinkled in, as tarnex and numpy arrays."""
    rng = random.Random(seed)
    n = math.prod(shape)
    data = [rng.choice(SPECIAL) if rng.random() < 0.2 else rng.uniform(-1e3, 1e3)
            for _ in range(n)]
    return PyNDArray(data, shape), np.frombuffer(raw(data), dtype=np.float64).reshape(shape)


def bool_mask(shape, seed, density=0.5):
    """A random mask as a tarnex and a numpy boolean array."""
    rng = random.Random(seed)
    data = [rng.random() < density for _ in range(math.prod(shape))]
    return PyBoolArray(data, shape), np.array(data, dtype=bool).reshape(shape)


# The messages of the axis and range checks shared by slicing and slab writes.
def axis_message(axis, ndim):
    return f"axis {axis} is out of bounds for NDArray with {ndim} dimensions"


def range_message(start, end):
    return f"invalid range: start {start} must be less than end {end}"


def end_message(end, axis, extent):
    return f"range end {end} is out of bounds for axis {axis} with shape {extent}"
