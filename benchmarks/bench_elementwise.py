"""Element-wise arithmetic, activations and the running sum against numpy, with the floors
they are held to in the notes: for the pooled kernels at the largest size, the time one
thread of numpy.copyto takes to move the same bytes (the pool may beat it with several
threads), and the C library's exp for sigmoid and softmax (exp_floor.cpp, compiled on the
fly and timed in this process)."""
from __future__ import annotations

import ctypes
import functools
from typing import Callable, Iterator, Optional

import numpy as np

from common import Case, Result, compiled, median_time

import tarnex


def arrays(n: int, seed: int):
    x = np.random.default_rng(seed).uniform(-5.0, 5.0, n)
    return tarnex.PyNDArray(x.tolist(), [n]), x


@functools.lru_cache(maxsize=None)
def copy_bandwidth(n: int) -> float:
    """Bytes per second of numpy.copyto between two existing arrays of n doubles."""
    src, dst = np.random.default_rng(3).random(n), np.empty(n)
    return 2 * 8 * n / median_time(lambda: np.copyto(dst, src), samples=9)


def bandwidth_note(n: int, streams: int) -> Callable[[Result], str]:
    def note(r: Result) -> str:
        floor = streams * 8 * n / copy_bandwidth(n)
        return f"{r.tarnex / floor:.2f}x one numpy.copyto thread moving the same bytes"
    return note


@functools.lru_cache(maxsize=None)
def _exp_floor_library() -> Optional[ctypes.CDLL]:
    path = compiled("exp_floor.cpp", "-O2", "-ffp-contract=off", "-shared", "-fPIC")
    if path is None:
        return None
    lib = ctypes.CDLL(path)
    lib.exp_floor_seconds.restype = ctypes.c_double
    lib.exp_floor_seconds.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_long,
                                      ctypes.c_int]
    return lib


def exp_floor(x: np.ndarray) -> Optional[float]:
    """Seconds for one call of the C library's exp per element of x, or None without g++."""
    lib = _exp_floor_library()
    if lib is None:
        return None
    x = np.ascontiguousarray(x, dtype=np.float64)
    out = np.empty_like(x)
    return lib.exp_floor_seconds(x.ctypes.data, out.ctypes.data, len(x), 15)


def exp_note(x: np.ndarray) -> Callable[[Result], str]:
    def note(r: Result) -> str:
        floor = exp_floor(x)
        return "" if floor is None else f"{r.tarnex / floor:.2f}x the libc exp floor"
    return note


# The pooled kernels run on the calling thread below a cutoff and on the pool above it, so
# their sizes bracket the cutoff closely: each side of it must keep up with numpy.
POOLED_SIZES = (10**3, 10**4, 3 * 10**4, 10**5, 3 * 10**5, 10**6, 10**7)
POOLED_SIZES_QUICK = (10**3, 3 * 10**4, 3 * 10**5, 10**6)


def elementwise(quick: bool) -> Iterator[Case]:
    for n in POOLED_SIZES_QUICK if quick else POOLED_SIZES:
        (a, x), (b, y) = arrays(n, 1), arrays(n, 2)
        size = f"{n:.0e}"
        largest = n == POOLED_SIZES[-1]
        yield Case("element-wise", "add", size, lambda a=a, b=b: a.add(b),
                   lambda x=x, y=y: x + y, notes=bandwidth_note(n, 3) if largest else None)
        yield Case("element-wise", "mul", size, lambda a=a, b=b: a.mul(b),
                   lambda x=x, y=y: x * y, notes=bandwidth_note(n, 3) if largest else None)
        yield Case("element-wise", "scale", size, lambda a=a: a.scale(1.7),
                   lambda x=x: x * 1.7, notes=bandwidth_note(n, 2) if largest else None)


def activations(quick: bool) -> Iterator[Case]:
    for n in POOLED_SIZES_QUICK if quick else POOLED_SIZES:
        a, x = arrays(n, 4)
        size = f"{n:.0e}"
        largest = n == POOLED_SIZES[-1]

        def np_softmax(x=x):
            e = np.exp(x)
            return e / e.sum()

        yield Case("activations", "relu", size, a.relu, lambda x=x: np.maximum(x, 0.0),
                   notes=bandwidth_note(n, 2) if largest else None)
        # The exp-bound kernels are sequential: 1e3 and 1e6 already show their rate.
        if n in (10**3, 10**6):
            yield Case("activations", "sigmoid", size, a.sigmoid,
                       lambda x=x: 1.0 / (np.exp(-x) + 1.0),
                       notes=exp_note(x) if n == 10**6 else None)
            yield Case("activations", "softmax", size, a.softmax, np_softmax,
                       notes=exp_note(x) if n == 10**6 else None)
            yield Case("activations", "cumsum", size, a.cumsum, lambda x=x: np.cumsum(x))


GROUPS = {"element-wise": elementwise, "activations": activations}
